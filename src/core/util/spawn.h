// Starting a helper program: its standard streams and extra descriptors as the
// caller maps them, no signal blocked, the usual signals at their defaults, and a
// process group of its own (Ctrl+C at a terminal is the program's to handle, and
// the helper can be killed as a group).
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <utility>
#include <vector>

namespace aurisona {

// A descriptor of the child and the parent's descriptor it is made from; -1
// opens /dev/null there (for reading on 0, for writing elsewhere).
using ChildDescriptor = std::pair<int, int>;

// posix_spawn of `path` with `argv` (ending in nullptr) in the current
// environment; 0 and the child in *pid, or posix_spawn's error.
int SpawnHelper(pid_t* pid, const char* path, char* const argv[], const std::vector<ChildDescriptor>& descriptors);

// The helper program `name`: beside the executable (a portable folder), in
// PREFIX/libexec/aurisona for an executable in PREFIX/bin, or at `built` (where
// this build put it; may be null). Empty when none of them is an executable file.
std::filesystem::path FindHelperProgram(const char* name, const char* built);

}  // namespace aurisona
