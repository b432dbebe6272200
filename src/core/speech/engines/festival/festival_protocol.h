// The socket between the Festival engine and its helper process (aurisona-festival).
//
// Festival cannot share a process with Flite (both export a global named val_string) and
// keeps its state in globals, so it runs in a helper of its own, which the engine starts
// and talks to over one stream socket: the helper sends kReady once its voice is loaded,
// then answers each request with one response, in order. Numbers are in the machine's
// own byte order (both ends are built together). Nothing here depends on the rest of the
// program, so the helper links only this and Festival.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace aurisona::festival_protocol {

// The descriptor the helper talks on.
constexpr int kHelperFd = 3;
// The helper's first message: its voice is loaded.
constexpr uint32_t kReady = 0x41524459;

// Limits a reader holds the other end to.
constexpr uint32_t kMaxTextBytes = 1u << 20;
constexpr uint32_t kMaxSamples = 32000u * 60 * 30;  // half an hour at the voice's rate

struct Request {
  int32_t rate = 0;     // -10..10
  double speed = 1.0;   // a factor on top of the rate's speed, 0.5..2
  std::string text;  // ASCII, one byte per UTF-16 unit of the caller's text
};

enum class Status : int32_t { kOk = 0, kNoWords = 1, kFailed = 2 };

struct Word {
  int32_t offset = 0;  // bytes into the request's text
  int32_t length = 0;
  int64_t sample = 0;
};

struct Response {
  Status status = Status::kFailed;
  int32_t sample_rate = 0;
  std::vector<int16_t> samples;
  std::vector<Word> words;
};

// Whole messages. A timeout is in milliseconds, negative to wait for ever; every
// function returns false when the other end is gone, too slow or talks nonsense.
bool WriteAll(int fd, const void* data, size_t size);
bool ReadAll(int fd, void* data, size_t size, int timeout_ms);
bool SendReady(int fd);
bool ReceiveReady(int fd, int timeout_ms);
bool SendRequest(int fd, const Request& request);
bool ReceiveRequest(int fd, Request* request);
bool SendResponse(int fd, const Response& response);
bool ReceiveResponse(int fd, Response* response, size_t text_size, int timeout_ms);

}  // namespace aurisona::festival_protocol
