// MP3 pieces, decoded with libmpg123 in feed mode: a measuring pass for the
// length and the peak, then the encoding pass.
#include <mpg123.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <vector>

#include "core/audio/piece_output.h"
#include "core/audio/render.h"
#include "core/util/regular_file.h"

namespace aurisona {

namespace {

constexpr size_t kInputBlockBytes = 16384;
constexpr size_t kMeasureBufferBytes = 8192;
// Input the decoder may hold back without producing audio (it keeps a tag or
// garbage it cannot skip yet); beyond this the source is given up, so that
// memory stays bounded whatever the file holds.
constexpr long kMaxDecoderBacklog = 1 << 20;
// Successive decoder calls that neither produce audio nor ask for input.
constexpr int kMaxIdleDecodes = 64;

void InitMpg123Once() {
  static std::once_flag once;
  std::call_once(once, [] { mpg123_init(); });
}

struct Mpg123Deleter {
  void operator()(mpg123_handle* handle) const {
    mpg123_close(handle);
    mpg123_delete(handle);
  }
};
using Mpg123Ptr = std::unique_ptr<mpg123_handle, Mpg123Deleter>;

// A decoder that yields signed 16-bit samples only, at any rate, mono or stereo.
Mpg123Ptr NewDecoder() {
  InitMpg123Once();
  Mpg123Ptr handle(mpg123_new(nullptr, nullptr));
  if (!handle) return nullptr;
  mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_SKIP_ID3V2, 0.0);
  mpg123_format_none(handle.get());
  const long* rates = nullptr;
  size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (size_t i = 0; i < rateCount; ++i) {
    mpg123_format(handle.get(), rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  }
  if (mpg123_open_feed(handle.get()) != MPG123_OK) return nullptr;
  return handle;
}

// Offset of the audio data: after any ID3v2 tags at the start of the file,
// which the decoder would otherwise have to hold whole in memory.
long AudioStart(std::FILE* file) {
  long offset = 0;
  for (;;) {
    unsigned char header[10];
    if (std::fseek(file, offset, SEEK_SET) != 0 || std::fread(header, 1, 10, file) != 10) break;
    if (header[0] != 'I' || header[1] != 'D' || header[2] != '3' || header[3] == 0xFF ||
        header[4] == 0xFF || ((header[6] | header[7] | header[8] | header[9]) & 0x80) != 0) {
      break;
    }
    const long size = (long(header[6]) << 21) | (long(header[7]) << 14) | (long(header[8]) << 7) |
                      long(header[9]);
    const bool footer = (header[5] & 0x10) != 0;
    offset += 10 + size + (footer ? 10 : 0);
  }
  return offset;
}

struct StreamFormat {
  long rate = 0;
  int channels = 0;
  bool operator==(const StreamFormat&) const = default;
};

bool ReadFormat(mpg123_handle* handle, StreamFormat* format) {
  int encoding = 0;
  if (mpg123_getformat(handle, &format->rate, &format->channels, &encoding) != MPG123_OK) {
    return false;
  }
  return encoding == MPG123_ENC_SIGNED_16 && (format->channels == 1 || format->channels == 2) &&
         format->rate > 0;
}

bool BacklogTooLarge(mpg123_handle* handle) {
  long fill = 0;
  double ignored = 0;
  return mpg123_getstate(handle, MPG123_BUFFERFILL, &fill, &ignored) != MPG123_OK ||
         fill > kMaxDecoderBacklog;
}

// Decodes the file block by block and hands every piece of audio to
// `consume(bytes, size) -> bool` (false ends decoding). The audio of every
// decoder call counts, also of the one that asks for more input. Ends at the
// end of the file, at a change of format, or when the decoder stalls.
// `format` is set from the first format the stream reports; when
// `expected` is given, a different first format ends decoding too.
template <typename Consume>
void DecodeStream(std::FILE* file, uint64_t readLimit, mpg123_handle* handle, unsigned char* input,
                  unsigned char* output, size_t outputSize, const StreamFormat* expected,
                  StreamFormat* format, bool* haveFormat, Consume consume) {
  uint64_t readSoFar = 0;
  for (;;) {
    if (readSoFar >= readLimit) return;
    const size_t got = std::fread(input, 1, std::min<uint64_t>(kInputBlockBytes, readLimit - readSoFar), file);
    if (got == 0) return;
    readSoFar += got;
    size_t done = 0;
    int result = mpg123_decode(handle, input, got, output, outputSize, &done);
    int idle = 0;
    for (;;) {
      // A reopened stream need not announce an unchanged format again.
      if (result == MPG123_NEW_FORMAT || (done > 0 && !*haveFormat)) {
        StreamFormat now;
        if (!ReadFormat(handle, &now)) return;
        if (*haveFormat ? !(now == *format) : (expected != nullptr && !(now == *expected))) return;
        *format = now;
        *haveFormat = true;
      }
      if (done > 0 && !consume(output, done)) return;
      if (result != MPG123_OK && result != MPG123_NEW_FORMAT) break;
      idle = (done == 0) ? idle + 1 : 0;
      if (idle > kMaxIdleDecodes) break;
      result = mpg123_decode(handle, nullptr, 0, output, outputSize, &done);
    }
    if (BacklogTooLarge(handle)) return;
  }
}

}  // namespace

RenderResult RenderMp3Source(const std::filesystem::path& path, PieceKind kind,
                             int32_t playTimeSeconds, const PieceSettings& settings,
                             PcmSink& sink) {
  // Regular files only, read no further than the size they had when opened.
  uint64_t fileSize = 0;
  StdioFile file = OpenRegularStream(path, nullptr, &fileSize);
  if (!file) return RenderResult::Undecodable;
  Mpg123Ptr decoder = NewDecoder();
  if (!decoder) return RenderResult::Undecodable;
  std::unique_ptr<unsigned char[]> input(new (std::nothrow) unsigned char[kInputBlockBytes]);
  std::unique_ptr<int16_t[]> measure(new (std::nothrow) int16_t[kMeasureBufferBytes / 2]);
  if (!input || !measure) return RenderResult::OutOfMemory;
  const long audioStart = AudioStart(file.get());
  if (std::fseek(file.get(), audioStart, SEEK_SET) != 0) return RenderResult::Undecodable;

  // Measuring pass: the length T, cut to the play time, and the peak.
  StreamFormat format;
  bool haveFormat = false;
  uint64_t total = 0;
  int32_t peak = 0;
  // DC and infrasound go before the peak is taken: the filter is primed with
  // the start of the stream, held back until there is enough of it.
  const bool filter = RemovesInfrasound(settings, kind);
  std::optional<InfrasoundFilter> primed;
  std::optional<InfrasoundFilter> measuring;
  std::vector<int16_t> head;
  auto measureSamples = [&](int16_t* samples, size_t count) {
    if (measuring) measuring->Process(samples, count);
    peak = UpdatePeak(peak, samples, count);
  };
  auto primeNow = [&] {
    const auto channels = static_cast<uint32_t>(format.channels);
    primed.emplace(static_cast<uint32_t>(format.rate), channels);
    primed->Prime(head.data(), head.size() / channels);
    measuring = *primed;
    measureSamples(head.data(), head.size());
    head = {};
  };
  const uint64_t audioBytes = fileSize > uint64_t(audioStart) ? fileSize - uint64_t(audioStart) : 0;
  DecodeStream(file.get(), audioBytes, decoder.get(), input.get(),
               reinterpret_cast<unsigned char*>(measure.get()), kMeasureBufferBytes, nullptr,
               &format, &haveFormat, [&](unsigned char*, size_t bytes) {
                 uint64_t limit = kMaxPieceBytes;
                 const uint64_t frameBytes = uint64_t(format.channels) * 2;
                 if (playTimeSeconds > 0) {
                   limit = std::min(limit, uint64_t(format.rate) * frameBytes * uint64_t(playTimeSeconds));
                 }
                 limit -= limit % frameBytes;
                 const uint64_t take = std::min<uint64_t>(bytes, limit - total) & ~uint64_t{1};
                 const size_t count = static_cast<size_t>(take / 2);
                 if (filter && !primed) {
                   head.insert(head.end(), measure.get(), measure.get() + count);
                   if (head.size() >= InfrasoundFilter::HeadFrames(static_cast<uint32_t>(format.rate)) *
                                          static_cast<size_t>(format.channels)) {
                     primeNow();
                   }
                 } else {
                   measureSamples(measure.get(), count);
                 }
                 total += take;
                 return total < limit;
               });
  if (!haveFormat || total == 0) return RenderResult::Undecodable;
  if (filter && !primed) primeNow();

  PieceOutput output(sink);
  if (auto failure = output.Open(static_cast<uint32_t>(format.rate))) return *failure;

  PieceShape shape;
  shape.channels = static_cast<uint32_t>(format.channels);
  shape.totalBytes = total;
  if (FadeApplies(settings, kind)) {
    shape.fadeLength = ComputeFadeLength(shape.channels, static_cast<uint32_t>(format.rate),
                                         settings.fadeSeconds, total);
  }
  shape.gainPercent = ChooseGainPercent(PieceGainOf(settings, kind), peak);

  // Encoding pass: the same stream again, decoded straight into the PCM buffer.
  mpg123_close(decoder.get());
  if (std::fseek(file.get(), audioStart, SEEK_SET) != 0 ||
      mpg123_open_feed(decoder.get()) != MPG123_OK) {
    return output.Finish();
  }
  const size_t room = output.SourceRoom(shape.channels) * 2;
  StreamFormat again;
  bool haveAgain = false;
  uint64_t position = 0;
  std::optional<InfrasoundFilter> encoding = primed;
  DecodeStream(file.get(), audioBytes, decoder.get(), input.get(),
               reinterpret_cast<unsigned char*>(output.buffer()), room, &format, &again,
               &haveAgain, [&](unsigned char*, size_t bytes) {
                 const uint64_t take = std::min<uint64_t>(bytes, total - position) & ~uint64_t{1};
                 if (encoding) encoding->Process(output.buffer(), static_cast<size_t>(take / 2));
                 if (take > 0 && !output.Emit(shape, static_cast<size_t>(take / 2), position)) {
                   return false;
                 }
                 return position < total;
               });
  return output.Finish();
}

}  // namespace aurisona
