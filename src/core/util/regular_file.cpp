#include "core/util/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace aurisona {

namespace {

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

}  // namespace

int OpenRegularFile(const std::filesystem::path& path, std::string* error) {
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    SetError(error, path.string() + ": " + std::strerror(errno));
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    SetError(error, path.string() + ": " + std::strerror(errno));
    ::close(fd);
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    SetError(error, path.string() + ": not a regular file");
    ::close(fd);
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

StdioFile OpenRegularStream(const std::filesystem::path& path, std::string* error, uint64_t* size) {
  const int fd = OpenRegularFile(path, error);
  if (fd < 0) return nullptr;
  if (size) {
    struct stat st {};
    *size = ::fstat(fd, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
  }
  std::FILE* f = ::fdopen(fd, "rb");
  if (!f) {
    SetError(error, path.string() + ": " + std::strerror(errno));
    ::close(fd);
    return nullptr;
  }
  return StdioFile(f);
}

bool IsRegularFile(const std::filesystem::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool ReadRegularFile(const std::filesystem::path& path, std::string* bytes, uint64_t maxBytes, std::string* error) {
  bytes->clear();
  const int fd = OpenRegularFile(path, error);
  if (fd < 0) return false;
  // The size a file reports is a hint only (files under /proc report 0): read
  // until the end, but never past the limit.
  struct stat st {};
  if (::fstat(fd, &st) == 0 && static_cast<uint64_t>(st.st_size) > maxBytes) {
    SetError(error, path.string() + ": the file is larger than " + std::to_string(maxBytes >> 20) + " MB");
    ::close(fd);
    return false;
  }
  if (st.st_size > 0) bytes->reserve(static_cast<size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetError(error, path.string() + ": cannot be read (" + std::strerror(errno) + ")");
      ::close(fd);
      bytes->clear();
      return false;
    }
    if (n == 0) break;
    if (bytes->size() + static_cast<size_t>(n) > maxBytes) {
      SetError(error, path.string() + ": the file is larger than " + std::to_string(maxBytes >> 20) + " MB");
      ::close(fd);
      bytes->clear();
      return false;
    }
    bytes->append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

}  // namespace aurisona
