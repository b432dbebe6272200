// MPEG audio frame headers: parsing one header and walking a stream of frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace aurisona {

enum class Mp3ChannelMode { Stereo = 0, JointStereo = 1, DualChannel = 2, Mono = 3 };

struct Mp3FrameHeader {
  int version = 0;        // 10 = MPEG-1, 20 = MPEG-2, 25 = MPEG-2.5
  int layer = 0;          // 1..3
  bool crcProtected = false;
  int bitrateKbps = 0;
  int sampleRate = 0;
  bool padding = false;
  bool privateBit = false;
  Mp3ChannelMode mode = Mp3ChannelMode::Stereo;
  int modeExtension = 0;
  bool copyright = false;
  bool original = false;
  int emphasis = 0;
  size_t frameBytes = 0;      // header included
  int samplesPerFrame = 0;    // per channel
};

// The header in the first four bytes, or nothing when they are not a valid
// header (bad sync, reserved values, free-format bit rate).
std::optional<Mp3FrameHeader> ParseMp3FrameHeader(const uint8_t* bytes, size_t size);

// Consecutive whole frames from the start of `bytes`; stops at the first
// position that does not hold a whole valid frame (`bytesCovered` tells where).
struct Mp3FrameScan {
  std::vector<Mp3FrameHeader> frames;
  size_t bytesCovered = 0;
};
Mp3FrameScan ScanMp3Frames(const uint8_t* bytes, size_t size);

// True when the frame at `frame` (whose header is `header`) carries a Xing or
// Info tag instead of audio.
bool IsXingOrInfoFrame(const Mp3FrameHeader& header, const uint8_t* frame, size_t size);

}  // namespace aurisona
