// Whole reads and writes on a socket to a helper process.
#pragma once

#include <chrono>
#include <cstddef>

namespace aurisona {

// Writes all `size` bytes; a closed other end is an error, not a SIGPIPE.
bool WriteFully(int fd, const void* data, size_t size);

// Reads exactly `size` bytes, waiting until `deadline` at most (or without end
// when `forever`). False on a timeout, an error or the end of the stream.
bool ReadFully(int fd, void* data, size_t size, std::chrono::steady_clock::time_point deadline, bool forever);

}  // namespace aurisona
