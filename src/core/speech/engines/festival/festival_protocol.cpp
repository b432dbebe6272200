#include "core/speech/engines/festival/festival_protocol.h"

#include <chrono>
#include <cstring>

#include "core/util/socket_io.h"

namespace aurisona::festival_protocol {
namespace {

template <typename T>
bool Put(int fd, const T& value) {
  return WriteAll(fd, &value, sizeof value);
}

template <typename T>
bool Get(int fd, T* value, int timeout_ms) {
  return ReadAll(fd, value, sizeof *value, timeout_ms);
}

}  // namespace

bool WriteAll(int fd, const void* data, size_t size) { return WriteFully(fd, data, size); }

bool ReadAll(int fd, void* data, size_t size, int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
  return ReadFully(fd, data, size, deadline, timeout_ms < 0);
}

bool SendReady(int fd) { return Put(fd, kReady); }

bool ReceiveReady(int fd, int timeout_ms) {
  uint32_t word = 0;
  return Get(fd, &word, timeout_ms) && word == kReady;
}

bool SendRequest(int fd, const Request& request) {
  const auto size = static_cast<uint32_t>(request.text.size());
  return size <= kMaxTextBytes && Put(fd, request.rate) && Put(fd, request.speed) && Put(fd, size) && WriteAll(fd, request.text.data(), size);
}

bool ReceiveRequest(int fd, Request* request) {
  uint32_t size = 0;
  if (!Get(fd, &request->rate, -1) || !Get(fd, &request->speed, -1) || !Get(fd, &size, -1) || size > kMaxTextBytes) {
    return false;
  }
  if (!(request->speed >= 0.5 && request->speed <= 2.0)) request->speed = 1.0;
  request->text.resize(size);
  return ReadAll(fd, request->text.data(), size, -1);
}

bool SendResponse(int fd, const Response& response) {
  const auto samples = static_cast<uint32_t>(response.samples.size());
  const auto words = static_cast<uint32_t>(response.words.size());
  return Put(fd, response.status) && Put(fd, response.sample_rate) && Put(fd, samples) &&
         WriteAll(fd, response.samples.data(), samples * sizeof(int16_t)) && Put(fd, words) &&
         WriteAll(fd, response.words.data(), words * sizeof(Word));
}

bool ReceiveResponse(int fd, Response* response, size_t text_size, int timeout_ms) {
  uint32_t samples = 0;
  uint32_t words = 0;
  if (!Get(fd, &response->status, timeout_ms) || !Get(fd, &response->sample_rate, timeout_ms) ||
      !Get(fd, &samples, timeout_ms) || samples > kMaxSamples) {
    return false;
  }
  response->samples.resize(samples);
  if (!ReadAll(fd, response->samples.data(), samples * sizeof(int16_t), timeout_ms)) return false;
  if (!Get(fd, &words, timeout_ms) || words > text_size) return false;
  response->words.resize(words);
  if (!ReadAll(fd, response->words.data(), words * sizeof(Word), timeout_ms)) return false;
  const auto status = static_cast<int32_t>(response->status);
  if (status < 0 || status > static_cast<int32_t>(Status::kFailed)) return false;
  if (response->status == Status::kOk && (response->sample_rate < 8000 || response->sample_rate > 192000)) return false;
  // Words lie inside the text and the audio, in order.
  int64_t end = 0;
  int64_t last = 0;
  for (const Word& w : response->words) {
    if (w.offset < end || w.length <= 0 || static_cast<size_t>(w.offset) + static_cast<size_t>(w.length) > text_size ||
        w.sample < last || w.sample > static_cast<int64_t>(samples)) {
      return false;
    }
    end = w.offset + w.length;
    last = w.sample;
  }
  return true;
}

}  // namespace aurisona::festival_protocol
