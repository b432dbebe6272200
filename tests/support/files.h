// Files and folders for the tests and benches: a temporary folder, whole-file
// reads and writes, folder listings, and what a shell command prints.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace aurisona::testing {

// A fresh temporary folder, removed with everything in it when the object dies.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
std::string ReadBytes(const std::filesystem::path& path);

// The names in a folder, sorted.
std::vector<std::string> Names(const std::filesystem::path& folder);
// The line breaks in a text.
size_t Lines(const std::string& text);
// What a shell command line writes to its standard output; its exit code in
// `exitCode` (-1 when it did not exit) if given.
std::string Shell(const std::string& command, int* exitCode = nullptr);
// The little-endian number of `size` bytes at `at`.
uint32_t LittleEndian(const std::string& bytes, size_t at, int size = 4);

// A data directory, made once per program, whose voices/ folder describes one
// command voice, "eSpeak命令" (espeak-ng --stdout, US English, male, 22050 Hz).
const std::filesystem::path& CommandVoiceDataDirectory();

}  // namespace aurisona::testing
