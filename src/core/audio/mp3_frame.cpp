#include "core/audio/mp3_frame.h"

#include <cstring>

namespace aurisona {

namespace {

// Bit rates in kbit/s by [MPEG-1 ? 0 : 1][layer - 1][index].
constexpr int kBitrates[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};

constexpr int kSampleRates[3] = {44100, 48000, 32000};

}  // namespace

std::optional<Mp3FrameHeader> ParseMp3FrameHeader(const uint8_t* bytes, size_t size) {
  if (size < 4 || bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0) return std::nullopt;
  const int versionBits = (bytes[1] >> 3) & 3;
  const int layerBits = (bytes[1] >> 1) & 3;
  const int bitrateIndex = bytes[2] >> 4;
  const int rateIndex = (bytes[2] >> 2) & 3;
  if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
      rateIndex == 3) {
    return std::nullopt;
  }
  Mp3FrameHeader h;
  h.version = versionBits == 3 ? 10 : versionBits == 2 ? 20 : 25;
  h.layer = 4 - layerBits;
  h.crcProtected = (bytes[1] & 1) == 0;
  const bool mpeg1 = h.version == 10;
  h.bitrateKbps = kBitrates[mpeg1 ? 0 : 1][h.layer - 1][bitrateIndex];
  h.sampleRate = kSampleRates[rateIndex] / (mpeg1 ? 1 : h.version == 20 ? 2 : 4);
  h.padding = (bytes[2] & 2) != 0;
  h.privateBit = (bytes[2] & 1) != 0;
  h.mode = static_cast<Mp3ChannelMode>(bytes[3] >> 6);
  h.modeExtension = (bytes[3] >> 4) & 3;
  h.copyright = (bytes[3] & 8) != 0;
  h.original = (bytes[3] & 4) != 0;
  h.emphasis = bytes[3] & 3;
  const size_t bitrate = size_t(h.bitrateKbps) * 1000;
  if (h.layer == 1) {
    h.samplesPerFrame = 384;
    h.frameBytes = (12 * bitrate / size_t(h.sampleRate) + (h.padding ? 1 : 0)) * 4;
  } else {
    h.samplesPerFrame = (h.layer == 3 && !mpeg1) ? 576 : 1152;
    const size_t slotsFactor = size_t(h.samplesPerFrame) / 8;  // 144 or 72
    h.frameBytes = slotsFactor * bitrate / size_t(h.sampleRate) + (h.padding ? 1 : 0);
  }
  return h;
}

Mp3FrameScan ScanMp3Frames(const uint8_t* bytes, size_t size) {
  Mp3FrameScan scan;
  while (scan.bytesCovered < size) {
    const auto header = ParseMp3FrameHeader(bytes + scan.bytesCovered, size - scan.bytesCovered);
    if (!header || header->frameBytes > size - scan.bytesCovered) break;
    scan.frames.push_back(*header);
    scan.bytesCovered += header->frameBytes;
  }
  return scan;
}

bool IsXingOrInfoFrame(const Mp3FrameHeader& header, const uint8_t* frame, size_t size) {
  if (header.layer != 3) return false;
  const bool mono = header.mode == Mp3ChannelMode::Mono;
  const size_t sideInfo = header.version == 10 ? (mono ? 17 : 32) : (mono ? 9 : 17);
  const size_t offset = 4 + (header.crcProtected ? 2 : 0) + sideInfo;
  if (size < offset + 4) return false;
  return std::memcmp(frame + offset, "Xing", 4) == 0 || std::memcmp(frame + offset, "Info", 4) == 0;
}

}  // namespace aurisona
