// Helpers shared by the core tests.
#pragma once

#include <filesystem>
#include <string>

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

// A data directory, made once per test program, whose voices/ folder describes one
// command voice, "eSpeak命令" (espeak-ng --stdout, US English, male, 22050 Hz).
const std::filesystem::path& CommandVoiceDataDirectory();
std::string ReadBytes(const std::filesystem::path& path);

// Runs aurisona-cli with `args` (a shell command line), capturing both streams;
// standard error goes through a file in `scratch`.
struct CliRun {
  int exitCode = -1;
  std::string out;
  std::string err;
};
CliRun RunCli(const std::string& args, const std::filesystem::path& scratch);

}  // namespace aurisona::testing
