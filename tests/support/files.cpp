#include "support/files.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace aurisona::testing {

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "aurisona-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> Names(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(folder, ec); !ec && it != std::filesystem::directory_iterator();
       it.increment(ec)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

size_t Lines(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

std::string Shell(const std::string& command, int* exitCode) {
  std::string out;
  if (std::FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    const int status = pclose(pipe);
    if (exitCode != nullptr) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  return out;
}

uint32_t LittleEndian(const std::string& bytes, size_t at, int size) {
  uint32_t v = 0;
  for (int i = 0; i < size && at + size_t(i) < bytes.size(); ++i) {
    v |= uint32_t(uint8_t(bytes[at + size_t(i)])) << (8 * i);
  }
  return v;
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
