// The pipe between the program and its speech workers (aurisona-speech).
//
// A worker is started with a stream socket on descriptor kWorkerFd and sends kReady once
// its engines are made; then it answers each request with one response, in order. Every
// message is a 32-bit byte count followed by that many bytes; numbers are little-endian
// and texts UTF-16 (code units) or UTF-8 (a failure's reason). The parsers take a whole
// message and check every count and value against the limits below, so a worker that
// talks nonsense is caught, never trusted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/speech/speech_engine.h"

namespace aurisona::speech_worker {

constexpr int kWorkerFd = 3;
constexpr std::string_view kReady = "aurisona-speech ready";  // the first message

constexpr uint32_t kMaxTextUnits = 1u << 20;
constexpr uint32_t kMaxVoiceUnits = 1024;
constexpr uint32_t kMaxReasonBytes = 4096;
constexpr uint32_t kMaxSamples = 48000u * 60 * 30;  // half an hour at 48 kHz
constexpr uint32_t kMaxMessageBytes = 2 * kMaxSamples + 16 * kMaxTextUnits + 4 * kMaxTextUnits + 65536;

struct Request {
  std::u16string voice;  // an exact voice name
  int32_t rate = 0;      // -10..10
  int32_t volume = 100;  // 10..100
  std::u16string text;
};

struct Response {
  SynthesisStatus status = SynthesisStatus::kFailed;
  std::u16string voice;  // the voice that spoke (empty when none did)
  int32_t sample_rate = 0;
  std::vector<int16_t> samples;
  std::vector<WordBoundary> words;
  std::string reason;  // why it failed, naming the voice; may be empty
};

std::string EncodeRequest(const Request& request);
std::string EncodeResponse(const Response& response);

// nullopt when the message is not one whole, valid request or response. A response's
// words lie inside a text of `text_units` units, in order, and inside its audio.
std::optional<Request> ParseRequest(std::span<const uint8_t> message);
std::optional<Response> ParseResponse(std::span<const uint8_t> message, size_t text_units);

// One message over the socket. A timeout is in milliseconds, negative to wait for ever;
// false when the other end is gone, too slow, or announces more than kMaxMessageBytes.
bool SendMessage(int fd, const std::string& payload);
bool ReceiveMessage(int fd, std::string* payload, int timeout_ms);

}  // namespace aurisona::speech_worker
