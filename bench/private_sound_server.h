// For benches that play through the sound device: each kind of private null
// sink measured in a process of its own. The server and the monitor recorder
// are the tests' (support/sound_server.h).
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/sound_server.h"

namespace aurisona::bench {

// The sink kinds a bench measures, each in a process of its own (PortAudio
// learns the devices once per process): norewinds, ordinary, and pipewire
// when it is installed.
inline std::vector<std::string> SinkKinds() {
  std::vector<std::string> kinds = {"norewinds", "ordinary"};
  if (std::system("command -v pipewire-pulse >/dev/null && command -v wireplumber >/dev/null") == 0) {
    kinds.push_back("pipewire");
  }
  return kinds;
}

// Runs this program again with `--kind=KIND` for each kind; 0 when all ran.
inline int RunPerKind(const char* self) {
  int failed = 0;
  for (const std::string& kind : SinkKinds()) {
    std::printf("== sink: %s\n", kind.c_str());
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
      const std::string arg = "--kind=" + kind;
      execl(self, self, arg.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failed;
  }
  return failed == 0 ? 0 : 1;
}

}  // namespace aurisona::bench
