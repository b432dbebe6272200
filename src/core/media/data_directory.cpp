#include "core/media/data_directory.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>
#include <vector>

namespace aurisona {

namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string PasswdHome() {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  if (size <= 0) size = 16384;
  std::vector<char> buffer(static_cast<size_t>(size));
  passwd pw{};
  passwd* result = nullptr;
  if (getpwuid_r(getuid(), &pw, buffer.data(), buffer.size(), &result) != 0 || !result || !pw.pw_dir) return {};
  return pw.pw_dir;
}

bool IsRegularFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

// Creates one folder; true only when it did not exist before.
bool MakeFolder(const fs::path& p, bool withParents) {
  std::error_code ec;
  return withParents ? fs::create_directories(p, ec) : fs::create_directory(p, ec);
}

}  // namespace

fs::path DataDirectory::ExecutableDirectory() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return {};
  return exe.parent_path();
}

DataDirectory DataDirectory::Resolve(const fs::path& override, const fs::path& executableDir,
                                     const std::string& xdgDataHome, const std::string& home) {
  if (!override.empty()) return DataDirectory(override);
  if (!executableDir.empty() && IsRegularFile(executableDir / "setup.ini")) return DataDirectory(executableDir);
  // Relative XDG paths are invalid and ignored.
  if (!xdgDataHome.empty() && fs::path(xdgDataHome).is_absolute()) {
    return DataDirectory(fs::path(xdgDataHome) / "aurisona");
  }
  if (!home.empty()) return DataDirectory(fs::path(home) / ".local" / "share" / "aurisona");
  return DataDirectory(executableDir.empty() ? fs::path(".") : executableDir);
}

DataDirectory DataDirectory::Resolve(const fs::path& override) {
  if (!override.empty()) return DataDirectory(override);
  std::string home = Env("HOME");
  if (home.empty()) home = PasswdHome();
  return Resolve(override, ExecutableDirectory(), Env("XDG_DATA_HOME"), home);
}

CreatedFolders DataDirectory::EnsureMediaFolders() const {
  CreatedFolders made;
  made.dataDirectory = MakeFolder(root_, true);
  made.music = MakeFolder(Music(), false);
  made.record = MakeFolder(Record(), false);
  made.sound = MakeFolder(Sound(), false);
  return made;
}

}  // namespace aurisona
