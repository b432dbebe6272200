// The programme timeline's frame counts against what the encoder writes, at
// every rate, and its sentences.
#include <gtest/gtest.h>

#include "core/audio/mp3_frame.h"
#include "core/output_test_support.h"
#include "core/output/timeline.h"

namespace aurisona {
namespace {

using testing::Sine;

// Frames PieceEncoder writes for `frames` stereo frames at `rate`, handed over
// in uneven chunks as a decoder hands them.
size_t EncodedFrames(uint32_t rate, size_t frames) {
  MemorySink sink;
  PieceEncoder encoder(sink);
  if (encoder.Open(rate) != SinkStatus::Ok) return 0;
  const std::vector<int16_t> pcm = Sine(frames, 2, 440, int(rate), 8000);
  const size_t chunks[] = {1152, 577, 1000, 3, 1152, 64};
  size_t at = 0;
  for (size_t k = 0; at < frames; ++k) {
    const size_t n = std::min(chunks[k % 6], frames - at);
    if (encoder.Write(pcm.data() + 2 * at, 2 * n) != SinkStatus::Ok) return 0;
    at += n;
  }
  if (encoder.Close() != SinkStatus::Ok) return 0;
  return ScanMp3Frames(sink.bytes().data(), sink.bytes().size()).frames.size();
}

TEST(OutputTimeline, FrameCountIsWhatTheEncoderWritesAtEveryRate) {
  for (const uint32_t rate : {8000u, 11025u, 16000u, 22050u, 24000u, 32000u, 44100u, 48000u}) {
    // Around the boundaries: the resampler's window, a frame's worth of input,
    // lengths whose padding just fits or spills into another frame.
    for (const size_t frames : {size_t{1}, size_t{16}, size_t{17}, size_t{575}, size_t{1152}, size_t{1729},
                                size_t{rate / 3 + 11}, size_t{rate + 577}}) {
      EXPECT_EQ(Mp3FramesForPiece(rate, frames), EncodedFrames(rate, frames)) << rate << " Hz, " << frames;
    }
  }
  EXPECT_EQ(Mp3FramesForPiece(44100, 0), 0u);
  EXPECT_EQ(Mp3FramesForPiece(44100, 132300), (576u + 132300 + 576 + 1151) / 1152);
}

TEST(OutputTimeline, SentencesSplitAtTheirEndsWithMarksAndBreaksRemoved) {
  const auto spans = SplitSentences(u" Good morning. It costs 3.5 yuan!\r\nWhy?\"Yes.\" 你好。\uFFFC再见 ");
  std::vector<std::u16string> texts;
  for (const auto& s : spans) texts.push_back(s.text);
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"Good morning.", u"It costs 3.5 yuan!", u"Why?\"", u"Yes.\"",
                                                u"你好。", u"再见"}));
  EXPECT_EQ(spans[0].offset, 0);
  EXPECT_TRUE(SplitSentences(u" \r\n\uFFFC ").empty());
  texts.clear();
  for (const auto& s : SplitSentences(u"Where is Mr.  Smith going? Ask Dr. Li. I am Mr.")) texts.push_back(s.text);
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"Where is Mr. Smith going?", u"Ask Dr. Li.", u"I am Mr."}));
  EXPECT_EQ(FormatDuration(59.5), "1:00");
  EXPECT_EQ(FormatDuration(3725), "1:02:05");
}

}  // namespace
}  // namespace aurisona
