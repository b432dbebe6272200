#include "test_util.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace aurisona::testing {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "aurisona-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

namespace {

// Every test starts with an empty piece cache of its own ($XDG_CACHE_HOME, inherited
// by the command-line tool a test starts): no test finds another's or the user's pieces.
class FreshCacheListener final : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    dir_ = std::make_unique<TempDir>();
    setenv("XDG_CACHE_HOME", dir_->path().c_str(), 1);
  }
  void OnTestEnd(const ::testing::TestInfo&) override { dir_.reset(); }
  std::unique_ptr<TempDir> dir_;
};

[[maybe_unused]] const bool kFreshCacheListener = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new FreshCacheListener);
  return true;
}();

}  // namespace

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

CliRun RunCli(const std::string& args, const std::filesystem::path& scratch) {
  const std::string errPath = (scratch / "cli-stderr.txt").string();
  const std::string command = std::string(AURISONA_CLI_PATH) + " " + args + " 2>" + errPath;
  CliRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), n);
  const int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.err = ReadBytes(errPath);
  return run;
}

const std::filesystem::path& CommandVoiceDataDirectory() {
  static const TempDir dir;
  static const bool written = [] {
    std::filesystem::create_directories(dir / "voices");
    WriteBytes(dir / "voices" / "espeak.ini",
               "# eSpeak NG's program as a command voice\n[voice]\nname = eSpeak命令\ndisplay = eSpeak NG by command\n"
               "language = en-US\ngender = male\nrate = 22050\ncommand = espeak-ng --stdout -v en-us -s {wpm}\n");
    return true;
  }();
  (void)written;
  return dir.path();
}

}  // namespace aurisona::testing
