#include "support/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>

#include "support/files.h"

extern char** environ;

namespace aurisona::testing {

CliRun RunCli(const std::string& args, const std::filesystem::path& scratch) {
  const std::string errPath = (scratch / "cli-stderr.txt").string();
  CliRun run;
  run.out = Shell(std::string(AURISONA_CLI_PATH) + " " + args + " 2>" + errPath, &run.exitCode);
  run.err = ReadBytes(errPath);
  return run;
}

pid_t StartChild(const std::vector<std::string>& argv, const ChildOptions& options) {
  // Everything the child needs is made before fork: it only opens files and execs.
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const std::string& extra : options.env) replaced |= entry.compare(0, extra.find('=') + 1, extra, 0, extra.find('=') + 1) == 0;
    if (!replaced) env.push_back(entry);
  }
  env.insert(env.end(), options.env.begin(), options.env.end());
  std::vector<char*> args, envp;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  const rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
  const pid_t pid = fork();
  if (pid != 0) return pid;
  const int in = open("/dev/null", O_RDONLY);
  const int out = options.outFd >= 0 ? options.outFd : open(options.out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int err = open(options.err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(126);
  if (options.fileSizeLimit != RLIM_INFINITY && setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(125);
  execvpe(args[0], args.data(), envp.data());
  _exit(127);
}

int RunUnderFileSizeLimit(rlim_t fileSizeLimit, const std::function<int()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{fileSizeLimit, fileSizeLimit};
    _exit(setrlimit(RLIMIT_FSIZE, &limit) == 0 ? body() : 125);
  }
  int status = 0;
  if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int WaitChild(pid_t pid, std::chrono::seconds timeout) {
  if (pid < 0) return -1;
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -2;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

CliRun RunChild(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                const std::filesystem::path& scratch, std::chrono::seconds timeout) {
  CliRun run;
  ChildOptions options;
  options.env = env;
  options.out = scratch / "child-out.txt";
  options.err = scratch / "child-err.txt";
  run.exitCode = WaitChild(StartChild(argv, options), timeout);
  run.out = ReadBytes(options.out);
  run.err = ReadBytes(options.err);
  return run;
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

bool WaitForFile(const std::filesystem::path& folder, const std::string& prefix, uintmax_t bytes,
                 std::chrono::seconds timeout) {
  return WaitUntil(
      [&] {
        for (const std::string& name : Names(folder)) {
          std::error_code ec;
          const uintmax_t size = std::filesystem::file_size(folder / name, ec);
          if (name.rfind(prefix, 0) == 0 && !ec && size > bytes) return true;
        }
        return false;
      },
      timeout);
}

}  // namespace aurisona::testing
