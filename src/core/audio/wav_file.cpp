#include "core/audio/wav_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/util/regular_file.h"

namespace aurisona {

namespace {

uint32_t GetLe32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void PutLe32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>((v >> (8 * i)) & 0xFF);
}

bool IsChunkId(const unsigned char* p) {
  for (int i = 0; i < 4; ++i) {
    if (p[i] < 0x20 || p[i] > 0x7E) return false;
  }
  return true;
}

bool ReadAt(int fd, unsigned char* out, size_t n, uint64_t offset) {
  size_t done = 0;
  while (done < n) {
    const ssize_t got = ::pread(fd, out + done, n - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

// What a channel of a file with more than two gives the left and the right
// output: left and right channels their own side, every other one (centre,
// low-frequency, back centre, top centre) both at -3 dB.
struct ChannelWeights {
  float left = 0;
  float right = 0;
};

enum class Side { kLeft, kRight, kBoth };

Side SideOfMapped(int position) {
  switch (position) {
    case SF_CHANNEL_MAP_LEFT:
    case SF_CHANNEL_MAP_FRONT_LEFT:
    case SF_CHANNEL_MAP_REAR_LEFT:
    case SF_CHANNEL_MAP_SIDE_LEFT:
    case SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER:
    case SF_CHANNEL_MAP_TOP_FRONT_LEFT:
    case SF_CHANNEL_MAP_TOP_REAR_LEFT:
      return Side::kLeft;
    case SF_CHANNEL_MAP_RIGHT:
    case SF_CHANNEL_MAP_FRONT_RIGHT:
    case SF_CHANNEL_MAP_REAR_RIGHT:
    case SF_CHANNEL_MAP_SIDE_RIGHT:
    case SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER:
    case SF_CHANNEL_MAP_TOP_FRONT_RIGHT:
    case SF_CHANNEL_MAP_TOP_REAR_RIGHT:
      return Side::kRight;
    default:
      return Side::kBoth;
  }
}

// Without a channel map, the order WAVE files use: FL FR FC LFE BL BR FLC FRC
// BC SL SR TC TFL TFC TFR TBL TBC TBR.
Side SideOfIndex(uint32_t index) {
  switch (index) {
    case 0: case 4: case 6: case 9: case 12: case 15: return Side::kLeft;
    case 1: case 5: case 7: case 10: case 14: case 17: return Side::kRight;
    default: return Side::kBoth;
  }
}

// Every channel mixed into two, scaled so that channels of unrelated sound
// keep their loudness together (the square root of the summed squares).
std::vector<ChannelWeights> DownmixWeights(SNDFILE* file, uint32_t channels) {
  std::vector<int> map(channels, 0);
  const bool mapped = sf_command(file, SFC_GET_CHANNEL_MAP_INFO, map.data(),
                                 static_cast<int>(map.size() * sizeof(int))) == SF_TRUE;
  std::vector<ChannelWeights> weights(channels);
  double left = 0;
  double right = 0;
  for (uint32_t c = 0; c < channels; ++c) {
    const Side side = mapped ? SideOfMapped(map[c]) : SideOfIndex(c);
    const float both = static_cast<float>(M_SQRT1_2);
    weights[c] = side == Side::kLeft ? ChannelWeights{1, 0} : side == Side::kRight ? ChannelWeights{0, 1}
                                                                                   : ChannelWeights{both, both};
    left += double{weights[c].left} * weights[c].left;
    right += double{weights[c].right} * weights[c].right;
  }
  const float scale = static_cast<float>(1.0 / std::sqrt(std::max({left, right, 1.0})));
  for (auto& w : weights) {
    w.left *= scale;
    w.right *= scale;
  }
  return weights;
}

}  // namespace

struct WavFile::Source {
  int fd = -1;
  uint64_t size = 0;      // fixed at opening: nothing past it is read
  uint64_t position = 0;
  struct Patch {
    uint64_t offset;
    unsigned char bytes[4];
  };
  std::vector<Patch> patches;

  ~Source() {
    if (fd >= 0) ::close(fd);
  }

  // Finds the size fields a recording that never finished leaves at 0 (or
  // that claim more than the file holds) and notes the sizes to read instead.
  void PlanPatches() {
    unsigned char header[12];
    if (size < 12 || !ReadAt(fd, header, 12, 0)) return;
    if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0) return;
    const uint64_t riffWanted = std::min<uint64_t>(size - 8, 0xFFFFFFFFull);
    const uint32_t riff = GetLe32(header + 4);
    uint64_t offset = 12;
    for (int chunks = 0; chunks < 4096 && offset + 8 <= size; ++chunks) {
      unsigned char chunk[8];
      if (!ReadAt(fd, chunk, 8, offset)) return;
      const uint32_t length = GetLe32(chunk + 4);
      const uint64_t available = size - offset - 8;
      if (std::memcmp(chunk, "data", 4) == 0) {
        bool unfinished = length > available;
        if (length == 0 && available >= 8) {
          // Data follow, unless they are the next chunk of a file whose data
          // chunk is really empty.
          unsigned char next[8];
          unfinished = ReadAt(fd, next, 8, offset + 8) && !(IsChunkId(next) && GetLe32(next + 4) <= available - 8);
        } else if (length == 0 && available > 0) {
          unfinished = true;
        }
        if (unfinished) {
          Add(offset + 4, static_cast<uint32_t>(std::min<uint64_t>(available, 0xFFFFFFFFull - 36) & ~uint64_t{1}));
          if (riff != riffWanted) Add(4, static_cast<uint32_t>(riffWanted));
        }
        return;
      }
      offset += 8 + uint64_t{length} + (length & 1);
    }
  }

  void Add(uint64_t offset, uint32_t value) {
    Patch p{offset, {}};
    PutLe32(p.bytes, value);
    patches.push_back(p);
  }

  static sf_count_t Length(void* user) { return static_cast<sf_count_t>(static_cast<Source*>(user)->size); }

  static sf_count_t Seek(sf_count_t offset, int whence, void* user) {
    auto* s = static_cast<Source*>(user);
    sf_count_t base = 0;
    if (whence == SEEK_CUR) base = static_cast<sf_count_t>(s->position);
    if (whence == SEEK_END) base = static_cast<sf_count_t>(s->size);
    const sf_count_t target = base + offset;
    if (target < 0) return -1;
    s->position = static_cast<uint64_t>(target);
    return target;
  }

  static sf_count_t Read(void* out, sf_count_t count, void* user) {
    auto* s = static_cast<Source*>(user);
    if (count <= 0 || s->position >= s->size) return 0;
    const uint64_t n = std::min<uint64_t>(static_cast<uint64_t>(count), s->size - s->position);
    auto* bytes = static_cast<unsigned char*>(out);
    size_t done = 0;
    while (done < n) {
      const ssize_t got = ::pread(s->fd, bytes + done, n - done, static_cast<off_t>(s->position + done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      done += static_cast<size_t>(got);
    }
    for (const Patch& p : s->patches) {
      for (uint64_t k = 0; k < 4; ++k) {
        const uint64_t at = p.offset + k;
        if (at >= s->position && at < s->position + done) bytes[at - s->position] = p.bytes[k];
      }
    }
    s->position += done;
    return static_cast<sf_count_t>(done);
  }

  static sf_count_t Write(const void*, sf_count_t, void*) { return 0; }
  static sf_count_t Tell(void* user) { return static_cast<sf_count_t>(static_cast<Source*>(user)->position); }
};

std::unique_ptr<WavFile> WavFile::Open(const std::filesystem::path& path, SF_INFO* info) {
  auto source = std::make_unique<Source>();
  source->fd = OpenRegularFile(path);
  if (source->fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(source->fd, &st) != 0) return nullptr;
  source->size = static_cast<uint64_t>(st.st_size);
  source->PlanPatches();
  static SF_VIRTUAL_IO io{&Source::Length, &Source::Seek, &Source::Read, &Source::Write, &Source::Tell};
  std::unique_ptr<WavFile> wav(new WavFile());
  *info = SF_INFO{};
  wav->file_ = sf_open_virtual(&io, SFM_READ, info, source.get());
  if (!wav->file_) return nullptr;
  wav->source_ = std::move(source);
  return wav;
}

WavFile::~WavFile() {
  if (file_) sf_close(file_);
}

ChannelMixer::ChannelMixer(SNDFILE* file, uint32_t channels) : channels_(channels) {
  if (channels_ > 2) {
    for (const ChannelWeights& w : DownmixWeights(file, channels_)) {
      left_.push_back(w.left);
      right_.push_back(w.right);
    }
  }
}

void ChannelMixer::Mix(const float* in, size_t frames, float* out) const {
  if (channels_ <= 2) {
    std::copy(in, in + frames * channels_, out);
    return;
  }
  for (size_t i = 0; i < frames; ++i) {
    float left = 0;
    float right = 0;
    for (uint32_t c = 0; c < channels_; ++c) {
      left += in[i * channels_ + c] * left_[c];
      right += in[i * channels_ + c] * right_[c];
    }
    out[2 * i] = left;
    out[2 * i + 1] = right;
  }
}

}  // namespace aurisona
