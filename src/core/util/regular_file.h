// Opening and reading files that must be regular files of a sane size: a FIFO
// never blocks the caller, a device (/dev/zero) is never read without end.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace aurisona {

// Largest script, text document or settings file read whole into memory.
inline constexpr uint64_t kMaxTextFileBytes = 64ull << 20;

// Opens `path` for reading when it is a regular file (symbolic links are
// followed to one). Never blocks on a FIFO: the file is opened without waiting
// and checked before anything is read. Returns a descriptor, or -1 with a
// one-line reason in *error.
int OpenRegularFile(const std::filesystem::path& path, std::string* error = nullptr);

struct StdioCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using StdioFile = std::unique_ptr<std::FILE, StdioCloser>;

// The same as a stdio stream ("rb"); its size (at opening) in *size when given.
StdioFile OpenRegularStream(const std::filesystem::path& path, std::string* error = nullptr,
                            uint64_t* size = nullptr);

// True when `path` is a regular file or a symbolic link to one.
bool IsRegularFile(const std::filesystem::path& path);

// Reads a whole regular file of at most `maxBytes` bytes. False, with a
// one-line reason, when it is not a regular file, cannot be read, or is larger.
[[nodiscard]] bool ReadRegularFile(const std::filesystem::path& path, std::string* bytes, uint64_t maxBytes,
                     std::string* error = nullptr);

}  // namespace aurisona
