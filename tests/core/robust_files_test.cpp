// Files written under hostile and unlucky conditions: links, FIFOs, devices,
// private modes, temporary files removed from outside. (Documents under such
// conditions are tested with the document files.)
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "test_util.h"
#include "core/util/atomic_file.h"
#include "core/util/temp_registry.h"

namespace aurisona {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

using testing::Names;

TEST(RobustAtomicFileTest, LinksAreWrittenThroughAndOtherFilesRefused) {
  TempDir dir;
  WriteBytes(dir / "real.mp3", "old");
  fs::create_symlink("real.mp3", dir / "link.mp3");
  ASSERT_TRUE(WriteFileAtomically(dir / "link.mp3", "new"));
  EXPECT_TRUE(fs::is_symlink(dir / "link.mp3"));
  EXPECT_EQ(ReadBytes(dir / "real.mp3"), "new");
  // A dangling link creates the file it names.
  fs::create_symlink("later.mp3", dir / "dangling.mp3");
  ASSERT_TRUE(WriteFileAtomically(dir / "dangling.mp3", "x"));
  EXPECT_EQ(ReadBytes(dir / "later.mp3"), "x");

  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  fs::create_symlink("fifo", dir / "to-fifo");
  fs::create_symlink("/dev/null", dir / "to-null");
  for (const char* name : {"fifo", "to-fifo", "to-null"}) {
    std::string why;
    EXPECT_FALSE(WriteFileAtomically(dir / name, "x", &why)) << name;
    EXPECT_NE(why.find("not a regular file"), std::string::npos) << why;
  }
  EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  fs::create_symlink("loop2", dir / "loop1");
  fs::create_symlink("loop1", dir / "loop2");
  EXPECT_FALSE(WriteFileAtomically(dir / "loop1", "x"));
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"dangling.mp3", "fifo", "later.mp3", "link.mp3", "loop1",
                                                         "loop2", "real.mp3", "to-fifo", "to-null"}));
}

TEST(RobustAtomicFileTest, PrivateFilesStayPrivateAndTempsCanBeRemovedFromOutside) {
  TempDir dir;
  const mode_t mask = umask(022);
  WriteBytes(dir / "private.wav", "x");
  ASSERT_EQ(chmod((dir / "private.wav").c_str(), 0600), 0);
  ASSERT_TRUE(WriteFileAtomically(dir / "private.wav", "speech"));
  EXPECT_EQ(fs::status(dir / "private.wav").permissions(), fs::perms::owner_read | fs::perms::owner_write);
  ASSERT_TRUE(WriteFileAtomically(dir / "new.txt", "x"));
  EXPECT_EQ(fs::status(dir / "new.txt").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
  umask(mask);

  {
    AtomicFileWriter writer(dir / "big.mp3", {.durable = false});
    ASSERT_TRUE(writer.Write("partial"));
    EXPECT_EQ(Names(dir.path()).size(), 3u);  // the temporary file beside
    RemoveRegisteredTemps();                  // what a stop signal does
    EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"new.txt", "private.wav"}));
    EXPECT_FALSE(writer.Commit());
  }
  EXPECT_FALSE(fs::exists(dir / "big.mp3"));
}

}  // namespace
}  // namespace aurisona
