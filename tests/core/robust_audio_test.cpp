// Sources that lie or never end: a recording whose header was never completed
// plays what it holds; a FIFO or a device adds nothing and blocks nobody.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <future>

#include "audio/piece_encoder.h"
#include "audio/render.h"
#include "core/output_test_support.h"
#include "core/test_util.h"

namespace aurisona {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;
using testing::WriteBytes;

void PutLe32(std::string& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::vector<uint8_t> Render(const fs::path& path, PieceKind kind = PieceKind::Recording) {
  MemorySink sink;
  const PieceSettings settings;
  const RenderResult result = RenderSoundFile(path, kind, 0, settings, sink);
  if (result != RenderResult::Rendered) return {};
  return sink.bytes();
}

TEST(RobustAudioTest, AnUnfinishedRecordingPlaysTheDataThatIsThere) {
  TempDir dir;
  const std::string whole = testing::WavBytes(testing::Sine(22050, 1, 440, 22050, 8000), 22050, 1);
  ASSERT_EQ(whole.size(), 44u + 44100u);
  WriteBytes(dir / "whole.wav", whole);
  const std::vector<uint8_t> expected = Render(dir / "whole.wav");
  ASSERT_FALSE(expected.empty());

  std::string zero = whole;  // what an interrupted recorder leaves
  PutLe32(zero, 4, 36);
  PutLe32(zero, 40, 0);
  WriteBytes(dir / "zero.wav", zero);
  EXPECT_EQ(Render(dir / "zero.wav"), expected);

  std::string large = whole;  // sizes beyond the end of the file
  PutLe32(large, 4, 0xFFFFFFF0u);
  PutLe32(large, 40, 0xFFFFFFD0u);
  WriteBytes(dir / "large.wav", large);
  EXPECT_EQ(Render(dir / "large.wav"), expected);

  // A really empty recording stays empty.
  WriteBytes(dir / "empty.wav", whole.substr(0, 44).replace(4, 4, std::string("\x24\0\0\0", 4)).replace(40, 4, std::string(4, '\0')));
  EXPECT_TRUE(Render(dir / "empty.wav").empty());
}

TEST(RobustAudioTest, FifosAndDevicesAddNothingAndBlockNobody) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "pipe.mp3").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo((dir / "pipe.wav").c_str(), 0600), 0);
  // Keep a writer open, so that a reader that opens them would wait for data.
  const int keepMp3 = ::open((dir / "pipe.mp3").c_str(), O_RDWR);
  const int keepWav = ::open((dir / "pipe.wav").c_str(), O_RDWR);
  ASSERT_GE(keepMp3, 0);
  ASSERT_GE(keepWav, 0);
  fs::create_symlink("/dev/zero", dir / "zero.mp3");
  fs::create_symlink("/dev/zero", dir / "zero.wav");
  fs::create_symlink("/dev/urandom", dir / "random.mp3");
  auto renders = std::async(std::launch::async, [&] {
    size_t bytes = 0;
    for (const char* name : {"pipe.mp3", "pipe.wav", "zero.mp3", "zero.wav", "random.mp3"}) {
      bytes += Render(dir / name, PieceKind::Music).size();
    }
    return bytes;
  });
  const bool finished = renders.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  // Let a blocked reader go before failing, so the test can end.
  ::close(keepMp3);
  ::close(keepWav);
  ASSERT_TRUE(finished) << "a render waited on a FIFO or read a device";
  EXPECT_EQ(renders.get(), 0u);
}

}  // namespace
}  // namespace aurisona
