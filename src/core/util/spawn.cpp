#include "core/util/spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

extern char** environ;

namespace aurisona {

int SpawnHelper(pid_t* pid, const char* path, char* const argv[], const std::vector<ChildDescriptor>& descriptors) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (const auto& [child, parent] : descriptors) {
    if (parent < 0) {
      posix_spawn_file_actions_addopen(&actions, child, "/dev/null", child == 0 ? O_RDONLY : O_WRONLY, 0);
    } else {
      posix_spawn_file_actions_adddup2(&actions, parent, child);
    }
  }
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  sigset_t defaults;
  sigemptyset(&defaults);
  for (const int s : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGCHLD}) sigaddset(&defaults, s);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
  const int spawned = posix_spawn(pid, path, &actions, &attributes, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return spawned;
}

std::filesystem::path FindHelperProgram(const char* name, const char* built) {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  std::vector<std::filesystem::path> candidates;
  if (!error) {
    candidates.push_back(exe.parent_path() / name);
    candidates.push_back(exe.parent_path() / ".." / "libexec" / "aurisona" / name);
  }
  if (built) candidates.emplace_back(built);
  for (const std::filesystem::path& path : candidates) {
    if (std::filesystem::is_regular_file(path, error) && access(path.c_str(), X_OK) == 0) return path;
  }
  return {};
}

}  // namespace aurisona
