#include "core/util/temp_registry.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <mutex>

namespace aurisona {

namespace {

struct Entry {
  std::filesystem::path path;
  bool folder = false;
};

std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}

std::map<uint64_t, Entry>& Registry() {
  static auto* registry = new std::map<uint64_t, Entry>();  // outlives static destructors
  return *registry;
}

uint64_t gNext = 1;
bool gClosed = false;  // the process is ending: nothing new may stay

void RemoveEntry(const Entry& entry) {
  std::error_code ec;
  if (entry.folder) {
    std::filesystem::remove_all(entry.path, ec);
  } else {
    std::filesystem::remove(entry.path, ec);
  }
}

void RemoveAllLocked() {
  // Newest first: a temporary file goes before the file it would be renamed
  // over, so a rename racing with the removal cannot bring that file back.
  auto& registry = Registry();
  for (auto it = registry.rbegin(); it != registry.rend(); ++it) RemoveEntry(it->second);
  registry.clear();
}

}  // namespace

uint64_t RegisterTemp(const std::filesystem::path& path, bool folder) {
  if (path.empty()) return 0;
  std::lock_guard guard(RegistryLock());
  if (gClosed) {
    RemoveEntry(Entry{path, folder});
    return 0;
  }
  const uint64_t ticket = gNext++;
  Registry().emplace(ticket, Entry{path, folder});
  return ticket;
}

int CreateRegisteredTemp(std::string& pattern, int suffixLength, bool folder, uint64_t* ticket) {
  *ticket = 0;
  std::lock_guard guard(RegistryLock());
  int fd = 0;
  if (folder) {
    if (mkdtemp(pattern.data()) == nullptr) return -1;
  } else {
    fd = mkstemps(pattern.data(), suffixLength);
    if (fd < 0) return -1;
  }
  if (gClosed) {
    // The process is ending: made and removed at once, as RegisterTemp does.
    RemoveEntry(Entry{pattern, folder});
    return fd;
  }
  *ticket = gNext++;
  Registry().emplace(*ticket, Entry{pattern, folder});
  return fd;
}

void UnregisterTemp(uint64_t ticket) {
  if (ticket == 0) return;
  std::lock_guard guard(RegistryLock());
  Registry().erase(ticket);
}

void RemoveRegisteredTemps() {
  std::lock_guard guard(RegistryLock());
  RemoveAllLocked();
}

void RemoveRegisteredTempsForExit() {
  std::lock_guard guard(RegistryLock());
  gClosed = true;
  RemoveAllLocked();
}

void RemoveRegisteredTempsAndExit(int code, const char* message) {
  RegistryLock().lock();  // held until the process ends
  gClosed = true;
  RemoveAllLocked();
  std::fputs(message, stderr);
  std::fflush(stderr);
  _exit(code);
}

}  // namespace aurisona
