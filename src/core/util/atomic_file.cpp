#include "util/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

namespace aurisona {

namespace fs = std::filesystem;

bool WriteFileAtomically(const fs::path& path, std::string_view bytes, std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  fs::path dir = path.parent_path();
  if (dir.empty()) dir = ".";
  std::string tmpl = (dir / ("." + path.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(tmpl.data());
  if (fd < 0) return fail(std::string("cannot create a file in ") + dir.string() + ": " + std::strerror(errno));
  const char* p = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      const std::string why = std::string("write failed: ") + std::strerror(errno);
      ::close(fd);
      ::unlink(tmpl.c_str());
      return fail(why);
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    const std::string why = std::string("write failed: ") + std::strerror(errno);
    ::unlink(tmpl.c_str());
    return fail(why);
  }
  // mkstemp creates the file with mode 0600; give it the usual mode of a new file.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::chmod(tmpl.c_str(), 0666 & ~mask);
  if (::rename(tmpl.c_str(), path.c_str()) != 0) {
    const std::string why = std::string("cannot replace ") + path.string() + ": " + std::strerror(errno);
    ::unlink(tmpl.c_str());
    return fail(why);
  }
  return true;
}

bool ReadWholeFile(const fs::path& path, std::string* bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::error_code ec;
  if (fs::is_directory(path, ec)) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace aurisona
