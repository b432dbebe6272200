// Documents, files and folders under hostile and unlucky conditions: nothing
// the user had is lost, nothing blocks on a FIFO or reads a device for ever.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/document_files.h"
#include "script/memory_document.h"
#include "script/tagged_text.h"
#include "support/lsn.h"
#include "test_util.h"
#include "util/atomic_file.h"
#include "util/regular_file.h"
#include "util/temp_registry.h"
#include "util/text.h"

namespace aurisona {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

using testing::Names;

std::string MediaRecord(uint32_t kind, const std::u16string& name, const std::string& content) {
  return testing::LsnMedia(kind, name, content, 7);
}

std::string Document(const std::string& records, const std::u16string& text = u"<音乐:a.mp3>") {
  return testing::Lsn(records, text);
}

class RobustDocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir / "Music");
    fs::create_directories(dir / "Record");
    media.musicFolder = dir / "Music";
    media.recordFolder = dir / "Record";
    media.lists = &lists;
  }
  OpenResult Open(const std::string& bytes) {
    WriteBytes(dir / "d.lsn", bytes);
    return OpenDocument(dir / "d.lsn", doc, media);
  }
  TempDir dir;
  MediaLists lists;
  DocumentMedia media;
  MemoryScriptDocument doc;
};

TEST_F(RobustDocumentTest, NoBakThatHoldsSomethingElseIsEverOverwritten) {
  // Documents opened one after another, each carrying its own a.mp3 (one or
  // more records of it): every file that stood in the folder is still there,
  // under a .bak name, and a .bak that holds the same bytes is not made twice.
  struct Case {
    std::vector<std::string> before;  // a.mp3, a.mp3.bak, a.mp3.1.bak, ... as they stand
    std::vector<std::vector<std::string>> documents;
    std::vector<std::string> after;
  };
  const Case cases[] = {
      {{"USER"}, {{"DOC ONE"}, {"DOC TWO"}}, {"DOC TWO", "USER", "DOC ONE"}},
      {{"USER", "OLDER BAK"}, {{"DOC ONE"}}, {"DOC ONE", "OLDER BAK", "USER"}},
      {{"USER", "USER"}, {{"DOC ONE"}}, {"DOC ONE", "USER"}},
      {{"USER"}, {{"DOC ONE"}, {"DOC ONE"}, {"DOC TWO"}, {"USER"}}, {"USER", "USER", "DOC ONE", "DOC TWO"}},
      // A document's second record of a name replaces its first, and only the user's file is kept.
      {{"USER"}, {{"DOC ONE", "DOC TWO", "DOC ONE"}}, {"DOC ONE", "USER"}},
  };
  auto nameAt = [](size_t k) {
    return k == 0 ? std::string("a.mp3") : k == 1 ? std::string("a.mp3.bak") : "a.mp3." + std::to_string(k - 1) + ".bak";
  };
  for (const Case& c : cases) {
    fs::remove_all(dir / "Music");
    fs::create_directories(dir / "Music");
    for (size_t k = 0; k < c.before.size(); ++k) WriteBytes(dir / "Music" / nameAt(k), c.before[k]);
    for (const auto& clips : c.documents) {
      std::string records;
      for (const std::string& clip : clips) records += MediaRecord(2, u"a.mp3", clip);
      const OpenResult opened = Open(Document(records));
      ASSERT_EQ(opened.status, OpenStatus::kOpened) << opened.detail;
      EXPECT_TRUE(opened.mediaProblems.empty());
    }
    std::vector<std::string> after;
    for (size_t k = 0; fs::exists(dir / "Music" / nameAt(k)); ++k) after.push_back(ReadBytes(dir / "Music" / nameAt(k)));
    EXPECT_EQ(after, c.after) << c.documents.size() << " documents";
    EXPECT_EQ(Names(dir / "Music").size(), c.after.size());
  }
}

TEST_F(RobustDocumentTest, ABakNameThatIsAFolderIsPassedOver) {
  WriteBytes(dir / "Music" / "a.mp3", "USER");
  fs::create_directories(dir / "Music" / "a.mp3.bak" / "inside");
  lists.music = {u"a.mp3"};
  lists.playTimes = {3};
  const OpenResult opened = Open(Document(MediaRecord(2, u"a.mp3", "DOC") + MediaRecord(3, u"r.wav", "REC")));
  ASSERT_EQ(opened.status, OpenStatus::kOpened) << opened.detail;
  EXPECT_TRUE(opened.mediaProblems.empty());
  EXPECT_EQ(ReadBytes(dir / "Music" / "a.mp3"), "DOC");
  EXPECT_EQ(ReadBytes(dir / "Music" / "a.mp3.1.bak"), "USER");
  EXPECT_TRUE(fs::is_directory(dir / "Music" / "a.mp3.bak" / "inside"));
  EXPECT_EQ(ReadBytes(dir / "Record" / "r.wav"), "REC");
  EXPECT_EQ(opened.mediaExtracted, 2);
}

TEST_F(RobustDocumentTest, ANameTheFileSystemRefusesIsReported) {
  // 120 characters: 242 bytes in the document, 364 bytes as a file name.
  std::u16string name(116, u'听');
  name += u".mp3";
  const OpenResult opened = Open(Document(MediaRecord(2, name, "DOC"), u"text"));
  ASSERT_EQ(opened.status, OpenStatus::kOpened) << opened.detail;
  ASSERT_EQ(opened.mediaProblems.size(), 1u);
  EXPECT_EQ(opened.mediaProblems[0].name, name);
  EXPECT_TRUE(lists.music.empty());
  EXPECT_TRUE(fs::is_empty(dir / "Music"));
}

TEST_F(RobustDocumentTest, NamesTagsCannotCarryAreSkippedAndReported) {
  const OpenResult opened = Open(Document(MediaRecord(2, u"a>b.mp3", "X") + MediaRecord(3, u"two\r\nlines.wav", "Y") +
                                          MediaRecord(3, u"bell\x07.wav", "Z") + MediaRecord(2, u"ok.mp3", "OK")));
  ASSERT_EQ(opened.status, OpenStatus::kOpened) << opened.detail;
  EXPECT_EQ(opened.mediaProblems.size(), 3u);
  EXPECT_EQ(lists.music, (std::vector<std::u16string>{u"ok.mp3"}));
  EXPECT_TRUE(lists.recordings.empty());
  EXPECT_EQ(Names(dir / "Music"), (std::vector<std::string>{"ok.mp3"}));
  EXPECT_TRUE(fs::is_empty(dir / "Record"));
}

TEST_F(RobustDocumentTest, AnEmptyMediaRecordIsExtractedLikeAnyOther) {
  const OpenResult opened = Open(Document(MediaRecord(3, u"empty.wav", "")));
  ASSERT_EQ(opened.status, OpenStatus::kOpened);
  EXPECT_EQ(opened.mediaExtracted, 1);
  ASSERT_TRUE(fs::is_regular_file(dir / "Record" / "empty.wav"));
  EXPECT_EQ(fs::file_size(dir / "Record" / "empty.wav"), 0u);
  EXPECT_EQ(lists.recordings, (std::vector<std::u16string>{u"empty.wav"}));
  // Opened again, the empty file on disk equals the record.
  lists = {};
  EXPECT_EQ(OpenDocument(dir / "d.lsn", doc, media).mediaExtracted, 0);
}

TEST_F(RobustDocumentTest, FifosAndDevicesAreNeverReadAsDocumentsOrMedia) {
  ASSERT_EQ(mkfifo((dir / "pipe.lsn").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((dir / "Music" / "a.mp3").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", dir / "zero.txt");
  for (const fs::path& path : {dir / "pipe.lsn", dir / "zero.txt", fs::path("/dev/zero")}) {
    const OpenResult opened = OpenDocument(path, doc, media);
    EXPECT_EQ(opened.status, OpenStatus::kCannotOpen) << path;
    EXPECT_NE(opened.detail.find("not a regular file"), std::string::npos) << opened.detail;
  }
  // A FIFO where the document's clip goes: refused, left as it is.
  const OpenResult opened = Open(Document(MediaRecord(2, u"a.mp3", "DOC")));
  EXPECT_EQ(opened.mediaProblems.size(), 1u);
  EXPECT_TRUE(fs::is_fifo(dir / "Music" / "a.mp3"));
  // Saving leaves a FIFO clip out.
  lists.music = {u"a.mp3"};
  MemoryScriptDocument fresh;
  TaggedTextReader(fresh, lists, u"<音乐:a.mp3>", false, false);
  const SaveResult saved = SaveListeningDocument(dir / "out.lsn", fresh, media);
  EXPECT_TRUE(saved.ok);
  EXPECT_EQ(saved.mediaLeftOut, 1);
}

TEST_F(RobustDocumentTest, ReadsAreBoundedAndEveryFailureIsOneLine) {
  // /proc files are regular with size 0; reading memory at offset 0 fails.
  const OpenResult mem = OpenDocument("/proc/self/mem", doc, media);
  EXPECT_EQ(mem.status, OpenStatus::kCannotOpen);
  EXPECT_EQ(mem.detail.find('\n'), std::string::npos);
  // A text file above the limit (sparse: nothing is really written).
  {
    const int fd = ::open((dir / "huge.txt").c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(kMaxTextFileBytes + 1)), 0);
    ::close(fd);
  }
  const OpenResult huge = OpenDocument(dir / "huge.txt", doc, media);
  EXPECT_EQ(huge.status, OpenStatus::kCannotOpen);
  EXPECT_NE(huge.detail.find("larger than"), std::string::npos) << huge.detail;
  std::string bytes;
  std::string why;
  EXPECT_TRUE(ReadRegularFile("/proc/self/status", &bytes, 1 << 20, &why)) << why;
  EXPECT_NE(bytes.find("Name:"), std::string::npos);
  EXPECT_FALSE(ReadRegularFile("/proc/self/status", &bytes, 8, &why));
}

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
