#include "core/util/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include "core/util/regular_file.h"
#include "core/util/temp_registry.h"
#include "core/util/text.h"

namespace aurisona {

namespace fs = std::filesystem;

bool WriteFileAtomically(const fs::path& path, std::string_view bytes, std::string* error) {
  AtomicFileWriter writer(path);
  const bool ok = writer.Write(bytes) && writer.Commit();
  if (!ok && error) *error = writer.error();
  return ok;
}

bool ReadWholeFile(const fs::path& path, std::string* bytes, std::string* error) {
  return ReadRegularFile(path, bytes, kMaxTextFileBytes, error);
}

fs::path FollowSymlinks(const fs::path& path) {
  fs::path current = path;
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(current, ec))) return current;
    const fs::path link = fs::read_symlink(current, ec);
    if (ec) return current;
    current = link.is_absolute() ? link : current.parent_path() / link;
  }
  return {};
}

}  // namespace aurisona

namespace aurisona {

AtomicFileWriter::AtomicFileWriter(std::filesystem::path target, Options options)
    : target_(options.followSymlinks ? FollowSymlinks(target) : target), durable_(options.durable) {
  if (target_.empty()) {
    error_ = target.string() + ": too many levels of symbolic links";
    return;
  }
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(target_, ec);
  if (fs::exists(status) && !fs::is_regular_file(status) && !fs::is_symlink(status)) {
    error_ = target.string() + ": not a regular file; left as it is";
    return;
  }
  std::filesystem::path dir = target_.parent_path();
  if (dir.empty()) dir = ".";
  temp_ = (dir / ("." + target_.filename().string() + ".XXXXXX")).string();
  fd_ = CreateRegisteredTemp(temp_, 0, false, &tempTicket_);
  if (fd_ < 0) {
    error_ = std::string("cannot create a file in ") + dir.string() + ": " + std::strerror(errno);
    return;
  }
}

AtomicFileWriter::~AtomicFileWriter() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(temp_.c_str());
  }
  UnregisterTemp(tempTicket_);
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
  if ((durable_ && ::fsync(fd) != 0) || ::close(fd) != 0) {
    error_ = std::string("write failed: ") + std::strerror(errno);
    ::unlink(temp_.c_str());
    UnregisterTemp(tempTicket_);
    tempTicket_ = 0;
    return false;
  }
  // A replaced file keeps its permissions (a private file stays private).
  struct stat old {};
  if (::lstat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    ::chmod(temp_.c_str(), old.st_mode & 07777);
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::chmod(temp_.c_str(), 0666 & ~mask);
  }
  const bool renamed = ::rename(temp_.c_str(), target_.c_str()) == 0;
  if (!renamed) {
    error_ = std::string("cannot replace ") + target_.string() + ": " + std::strerror(errno);
    ::unlink(temp_.c_str());
  }
  UnregisterTemp(tempTicket_);
  tempTicket_ = 0;
  return renamed;
}

std::filesystem::path PathFromU16(std::u16string_view name) {
  return std::filesystem::path(Utf16ToUtf8(name));
}

}  // namespace aurisona
