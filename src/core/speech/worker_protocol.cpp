#include "core/speech/worker_protocol.h"

#include <algorithm>
#include <chrono>

#include "core/util/socket_io.h"

namespace aurisona::speech_worker {
namespace {

class Writer {
 public:
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) out_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void I64(int64_t v) {
    U32(static_cast<uint32_t>(static_cast<uint64_t>(v) & 0xFFFFFFFFu));
    U32(static_cast<uint32_t>(static_cast<uint64_t>(v) >> 32));
  }
  void Text(std::u16string_view text) {
    U32(static_cast<uint32_t>(text.size()));
    for (const char16_t c : text) {
      out_.push_back(static_cast<char>(c & 0xFF));
      out_.push_back(static_cast<char>(c >> 8));
    }
  }
  void Bytes(std::string_view bytes) {
    U32(static_cast<uint32_t>(bytes.size()));
    out_.append(bytes);
  }
  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

// Reads from a whole message; any read past its end makes it invalid.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> in) : in_(in) {}
  bool ok() const { return ok_; }
  bool AtEnd() const { return ok_ && at_ == in_.size(); }

  uint32_t U32() {
    if (!Has(4)) return 0;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(in_[at_ + static_cast<size_t>(i)]) << (8 * i);
    at_ += 4;
    return v;
  }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  int64_t I64() {
    const uint64_t low = U32();
    const uint64_t high = U32();
    return static_cast<int64_t>(low | (high << 32));
  }
  // A count no greater than `limit` whose `unit`-byte items fit in what is left.
  uint32_t Count(uint32_t limit, size_t unit) {
    const uint32_t n = U32();
    if (n > limit || !Has(static_cast<size_t>(n) * unit)) {
      ok_ = false;
      return 0;
    }
    return n;
  }
  std::u16string Text(uint32_t limit) {
    const uint32_t n = Count(limit, 2);
    std::u16string text(n, u'\0');
    for (uint32_t i = 0; i < n; ++i) text[i] = static_cast<char16_t>(in_[at_ + 2 * i] | (in_[at_ + 2 * i + 1] << 8));
    at_ += 2 * static_cast<size_t>(n);
    return text;
  }
  std::string Bytes(uint32_t limit) {
    const uint32_t n = Count(limit, 1);
    std::string bytes(reinterpret_cast<const char*>(in_.data() + at_), n);
    at_ += n;
    return bytes;
  }
  int16_t I16() {
    if (!Has(2)) return 0;
    const auto v = static_cast<int16_t>(static_cast<uint16_t>(in_[at_] | (in_[at_ + 1] << 8)));
    at_ += 2;
    return v;
  }

 private:
  bool Has(size_t n) {
    if (!ok_ || in_.size() - at_ < n) ok_ = false;
    return ok_;
  }
  std::span<const uint8_t> in_;
  size_t at_ = 0;
  bool ok_ = true;
};

}  // namespace

std::string EncodeRequest(const Request& request) {
  Writer w;
  w.Text(request.voice);
  w.I32(request.rate);
  w.I32(request.volume);
  w.Text(request.text);
  return w.Take();
}

std::string EncodeResponse(const Response& response) {
  Writer w;
  w.I32(static_cast<int32_t>(response.status));
  w.Text(response.voice);
  w.I32(response.sample_rate);
  w.U32(static_cast<uint32_t>(response.samples.size()));
  std::string pcm;
  pcm.reserve(2 * response.samples.size());
  for (const int16_t s : response.samples) {
    pcm.push_back(static_cast<char>(static_cast<uint16_t>(s) & 0xFF));
    pcm.push_back(static_cast<char>(static_cast<uint16_t>(s) >> 8));
  }
  std::string out = w.Take();
  out += pcm;
  Writer tail;
  tail.U32(static_cast<uint32_t>(response.words.size()));
  for (const WordBoundary& word : response.words) {
    tail.I32(word.offset);
    tail.I32(word.length);
    tail.I64(word.sample);
  }
  tail.Bytes(response.reason.substr(0, kMaxReasonBytes));
  return out + tail.Take();
}

std::optional<Request> ParseRequest(std::span<const uint8_t> message) {
  Reader r(message);
  Request request;
  request.voice = r.Text(kMaxVoiceUnits);
  request.rate = r.I32();
  request.volume = r.I32();
  request.text = r.Text(kMaxTextUnits);
  if (!r.AtEnd() || request.rate < -10 || request.rate > 10 || request.volume < 10 || request.volume > 100) {
    return std::nullopt;
  }
  return request;
}

std::optional<Response> ParseResponse(std::span<const uint8_t> message, size_t text_units) {
  Reader r(message);
  Response response;
  const int32_t status = r.I32();
  if (status < static_cast<int32_t>(SynthesisStatus::kOk) || status > static_cast<int32_t>(SynthesisStatus::kStopped)) {
    return std::nullopt;
  }
  response.status = static_cast<SynthesisStatus>(status);
  response.voice = r.Text(kMaxVoiceUnits);
  response.sample_rate = r.I32();
  const uint32_t samples = r.Count(kMaxSamples, 2);
  response.samples.resize(samples);
  for (uint32_t i = 0; i < samples; ++i) response.samples[i] = r.I16();
  const uint32_t words = r.Count(static_cast<uint32_t>(std::min<size_t>(text_units, kMaxTextUnits)), 16);
  response.words.resize(words);
  for (WordBoundary& w : response.words) {
    w.offset = r.I32();
    w.length = r.I32();
    w.sample = r.I64();
  }
  response.reason = r.Bytes(kMaxReasonBytes);
  if (!r.AtEnd()) return std::nullopt;
  if (response.status == SynthesisStatus::kOk &&
      (response.sample_rate < 1000 || response.sample_rate > 384000 || response.voice.empty())) {
    return std::nullopt;
  }
  // Words lie inside the text and the audio, in order of their sample positions.
  int64_t last = 0;
  for (const WordBoundary& w : response.words) {
    if (w.offset < 0 || w.length < 0 || static_cast<size_t>(w.offset) + static_cast<size_t>(w.length) > text_units ||
        w.sample < last || w.sample > static_cast<int64_t>(samples)) {
      return std::nullopt;
    }
    last = w.sample;
  }
  return response;
}

bool SendMessage(int fd, const std::string& payload) {
  if (payload.size() > kMaxMessageBytes) return false;
  const auto size = static_cast<uint32_t>(payload.size());
  const char head[4] = {static_cast<char>(size & 0xFF), static_cast<char>((size >> 8) & 0xFF),
                        static_cast<char>((size >> 16) & 0xFF), static_cast<char>(size >> 24)};
  return WriteFully(fd, head, 4) && WriteFully(fd, payload.data(), payload.size());
}

bool ReceiveMessage(int fd, std::string* payload, int timeout_ms) {
  const bool forever = timeout_ms < 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(forever ? 0 : timeout_ms);
  unsigned char head[4];
  if (!ReadFully(fd, head, 4, deadline, forever)) return false;
  const uint32_t size = head[0] | (head[1] << 8) | (head[2] << 16) | (static_cast<uint32_t>(head[3]) << 24);
  if (size > kMaxMessageBytes) return false;
  payload->resize(size);
  return ReadFully(fd, payload->data(), size, deadline, forever);
}

}  // namespace aurisona::speech_worker
