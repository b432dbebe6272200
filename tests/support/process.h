// Child processes for the tests and benches: aurisona-cli and other programs
// run to the end with their output captured, or started to be signalled and
// waited for.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace aurisona::testing {

struct CliRun {
  int exitCode = -1;  // -1: ended by a signal, -2: killed after the time allowed
  std::string out;
  std::string err;
};

// Runs aurisona-cli with `args` (a shell command line, so redirections work);
// standard error goes through a file in `scratch`.
CliRun RunCli(const std::string& args, const std::filesystem::path& scratch);

// How a child starts: `env` ("NAME=value") added to this process's
// environment, standard output to `out` (or the descriptor `outFd`), standard
// error to `err` (else the output files of RunChild), and no file larger than
// `fileSizeLimit` bytes.
struct ChildOptions {
  std::vector<std::string> env;
  int outFd = -1;
  std::filesystem::path out = "/dev/null";
  std::filesystem::path err = "/dev/null";
  rlim_t fileSizeLimit = RLIM_INFINITY;
};
// Starts `argv` (looked up in PATH); -1 when it cannot be started.
pid_t StartChild(const std::vector<std::string>& argv, const ChildOptions& options = {});
// Waits for a child at most `timeout` (then kills it): its exit code as in CliRun.
int WaitChild(pid_t pid, std::chrono::seconds timeout = std::chrono::seconds(60));
// Runs `argv` to its end, standard output and error captured through files in `scratch`.
CliRun RunChild(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                const std::filesystem::path& scratch, std::chrono::seconds timeout = std::chrono::seconds(60));

// Runs `body` in a forked child whose files may not grow beyond `fileSizeLimit`
// bytes (a write past it fails, it does not kill): the child's exit code, which
// is what `body` returns, or -1 when it did not exit.
int RunUnderFileSizeLimit(rlim_t fileSizeLimit, const std::function<int()>& body);

// Polls `done` every 5 ms for at most `timeout`.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
// Waits until a file in `folder` whose name begins with `prefix` holds more than `bytes`.
bool WaitForFile(const std::filesystem::path& folder, const std::string& prefix, uintmax_t bytes = 0,
                 std::chrono::seconds timeout = std::chrono::seconds(60));

}  // namespace aurisona::testing
