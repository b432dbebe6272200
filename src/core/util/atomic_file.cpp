#include "util/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "util/text.h"

namespace aurisona {

namespace fs = std::filesystem;

bool WriteFileAtomically(const fs::path& path, std::string_view bytes, std::string* error) {
  AtomicFileWriter writer(path);
  const bool ok = writer.Write(bytes) && writer.Commit();
  if (!ok && error) *error = writer.error();
  return ok;
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

namespace aurisona {

AtomicFileWriter::AtomicFileWriter(std::filesystem::path target) : target_(std::move(target)) {
  std::filesystem::path dir = target_.parent_path();
  if (dir.empty()) dir = ".";
  temp_ = (dir / ("." + target_.filename().string() + ".XXXXXX")).string();
  fd_ = mkstemp(temp_.data());
  if (fd_ < 0) error_ = std::string("cannot create a file in ") + dir.string() + ": " + std::strerror(errno);
}

AtomicFileWriter::~AtomicFileWriter() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(temp_.c_str());
  }
}

bool AtomicFileWriter::Write(const void* data, size_t size) {
  if (!ok()) return false;
  auto p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd_, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = std::string("write failed: ") + std::strerror(errno);
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool AtomicFileWriter::Commit() {
  if (!ok()) return false;
  const int fd = fd_;
  fd_ = -1;
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    error_ = std::string("write failed: ") + std::strerror(errno);
    ::unlink(temp_.c_str());
    return false;
  }
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::chmod(temp_.c_str(), 0666 & ~mask);
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    error_ = std::string("cannot replace ") + target_.string() + ": " + std::strerror(errno);
    ::unlink(temp_.c_str());
    return false;
  }
  return true;
}

std::filesystem::path PathFromU16(std::u16string_view name) {
  return std::filesystem::path(Utf16ToUtf8(name));
}

}  // namespace aurisona
