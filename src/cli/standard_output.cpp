#include "cli/standard_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace aurisona::cli {
namespace {

int failedErrno = 0;  // the errno of the first failed write, or 0

void NoteFailure() {
  if (failedErrno == 0) failedErrno = errno != 0 ? errno : EIO;
}

}  // namespace

bool Out(std::string_view text) {
  if (failedErrno != 0) return false;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::ferror(stdout)) {
    NoteFailure();
    return false;
  }
  return true;
}

int FinishOutput(int code) {
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) NoteFailure();
  if (failedErrno == 0) return code;
  if (code != 0) return code;
  std::fprintf(stderr, "aurisona-cli: cannot write to standard output (%s)\n", std::strerror(failedErrno));
  return 1;
}

}  // namespace aurisona::cli
