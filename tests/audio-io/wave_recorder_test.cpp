#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <mutex>

#include "audio-io/device_test_util.h"
#include "audio-io/recording_file.h"
#include "audio-io/wave_recorder.h"

namespace aurisona {
namespace {

using namespace std::chrono_literals;
using testing::ReadBytes;

using RecordingFileTest = testing::DeviceTest;
using WaveRecorderTest = testing::DeviceTest;

TEST_F(RecordingFileTest, HeaderStartsEmptyAndIsCompletedForWhatWasWritten) {
  RecordingFile file;
  ASSERT_EQ(file.Start(dir_.path(), u"lesson1.wav"), RecordingStart::kStarted);
  EXPECT_EQ(file.Start(dir_.path(), u"other.wav"), RecordingStart::kBusy);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "lesson1.wav"));  // written beside the name until finished
  const std::string empty = ReadBytes(file.temporaryPath());
  EXPECT_EQ(empty, RecordingHeader(0));
  EXPECT_EQ(testing::WavFault(empty), "");

  const std::vector<int16_t> buffer(WaveRecorder::kRecordingBufferBytes / 2, 1234);
  EXPECT_TRUE(file.Append(buffer.data(), buffer.size()));
  EXPECT_TRUE(file.Finish());
  const std::string bytes = ReadBytes(dir_ / "lesson1.wav");
  EXPECT_EQ(bytes.size(), 44u + 5512u);
  EXPECT_EQ(testing::WavFault(bytes), "");

  // Recording the name again replaces the file.
  ASSERT_EQ(file.Start(dir_.path(), u"lesson1.wav"), RecordingStart::kStarted);
  EXPECT_TRUE(file.Finish());
  EXPECT_EQ(ReadBytes(dir_ / "lesson1.wav"), RecordingHeader(0));
}

TEST_F(RecordingFileTest, NamesThatLeaveTheFolderAreRefused) {
  std::filesystem::create_directory(dir_ / "Record");
  RecordingFile file;
  for (const std::u16string name : {u"", u"..", u"../up.wav", u"..up.wav", u"a/b.wav", u"a\\b.wav", u"<男>.wav"}) {
    EXPECT_EQ(file.Start(dir_ / "Record", name), RecordingStart::kBadName);
  }
  EXPECT_TRUE(std::filesystem::is_empty(dir_ / "Record"));
  EXPECT_EQ(file.Start(dir_ / "missing", u"x.wav"), RecordingStart::kCannotCreate);
  EXPECT_FALSE(file.Error().empty());
}

TEST_F(RecordingFileTest, FullDiskStopsWritingAndTheHeaderCountsWhatWasWritten) {
  const auto path = dir_ / "full.wav";
  // A file size limit stands in for a full disk.
  ASSERT_EQ(testing::RunUnderFileSizeLimit(44 + 8000, [&] {
              RecordingFile file;
              if (file.StartAt(path) != RecordingStart::kStarted) return 10;
              const std::vector<int16_t> buffer(2756, 7);
              if (!file.Append(buffer.data(), buffer.size())) return 11;
              if (file.Append(buffer.data(), buffer.size())) return 12;  // runs out part way
              if (!file.WriteFailed() || file.Error().empty()) return 13;
              if (file.Append(buffer.data(), buffer.size())) return 14;
              return file.Finish() ? 15 : 0;  // reports the failure
            }),
            0);
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(bytes.size(), 44u + 8000u);
  EXPECT_EQ(testing::WavFault(bytes), "");
}

TEST_F(WaveRecorderTest, BeginRefusesWhatItCannotCapture) {
  WaveRecorder recorder;
  recorder.SetSampleRate(22050);
  recorder.SetBufferSize(5512);
  EXPECT_FALSE(recorder.Begin());  // no handler
  recorder.SetHandler([](std::span<const int16_t>) {});
  recorder.SetBitsPerSample(8);
  EXPECT_FALSE(recorder.Begin());
  recorder.SetBitsPerSample(16);
  recorder.SetChannels(2);
  recorder.SetBufferSize(5514);  // not whole stereo frames
  EXPECT_FALSE(recorder.Begin());
  EXPECT_FALSE(recorder.IsBegun());
}

TEST_F(WaveRecorderTest, RecordsWhatIsPlayedIntoTheSinkInWholeBuffers) {
  // A 441 Hz tone, 1.5 s, 22050 Hz mono, played into the sink whose monitor
  // is the default input.
  const auto tone = Wav("tone.wav", testing::Sine(22050 * 3 / 2, 1, 441, 22050, 16000), 22050, 1);

  RecordingFile file;
  std::mutex lock;  // the file's, shared with the recorder's thread
  std::atomic<size_t> buffers{0}, partial{0};
  WaveRecorder recorder;
  recorder.SetBufferSize(WaveRecorder::kRecordingBufferBytes);
  recorder.SetSampleRate(WaveRecorder::kRecordingSampleRate);
  recorder.SetChannels(1);
  recorder.SetHandler([&](std::span<const int16_t> samples) {
    std::lock_guard<std::mutex> guard(lock);
    partial += samples.size() != 2756;
    if (file.IsRecording()) file.Append(samples.data(), samples.size());
    ++buffers;
  });
  ASSERT_TRUE(recorder.Begin());
  EXPECT_FALSE(recorder.Begin());
  ASSERT_TRUE(testing::WaitUntil([&] { return buffers > 0; }, 5s));
  {
    std::lock_guard<std::mutex> guard(lock);
    ASSERT_EQ(file.StartAt(dir_ / "take.wav"), RecordingStart::kStarted);
  }
  const auto play = testing::RunChild({"paplay", tone.string()}, {}, dir_.path());
  EXPECT_EQ(play.exitCode, 0) << play.err;
  // Let the tail pass the monitor's latency: three more buffers.
  const size_t seen = buffers;
  EXPECT_TRUE(testing::WaitUntil([&] { return buffers >= seen + 3; }, 5s));
  recorder.End();
  EXPECT_FALSE(recorder.IsBegun());
  EXPECT_TRUE(file.Finish());
  EXPECT_EQ(partial, 0u);

  const std::string bytes = ReadBytes(dir_ / "take.wav");
  EXPECT_EQ(testing::WavFault(bytes), "");
  EXPECT_EQ((bytes.size() - 44) % 5512, 0u);
  // The tone is there: about 1.5 s of loud sound crossing zero 882 times a second.
  const std::vector<int16_t> samples = testing::ReadWav(bytes).samples;
  size_t loud = 0, crossings = 0;
  for (size_t i = 1; i < samples.size(); ++i) {
    if (std::abs(samples[i]) > 8000) ++loud;
    if ((samples[i - 1] < 0) != (samples[i] < 0) && std::abs(samples[i - 1]) + std::abs(samples[i]) > 1000) ++crossings;
  }
  EXPECT_GT(loud, 22050u / 2);
  EXPECT_NEAR(double(crossings), 882 * 1.5, 882 * 0.1);
}

}  // namespace
}  // namespace aurisona
