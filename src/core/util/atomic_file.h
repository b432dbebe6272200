// Whole-file writes that replace the target only once the new content is complete.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace aurisona {

// Writes the bytes to a temporary file beside `path`, flushes it to disk and
// renames it over `path`. On any failure the temporary file is removed, the old
// file stays as it was, and false is returned with a reason in *error.
// A symbolic link is followed (the file it leads to is replaced, the link
// stays); a target that exists and is not a regular file is refused.
[[nodiscard]] bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string* error = nullptr);

// Reads a whole regular file of at most kMaxTextFileBytes. False, with a
// one-line reason, when it cannot be opened or read or is larger.
[[nodiscard]] bool ReadWholeFile(const std::filesystem::path& path, std::string* bytes, std::string* error = nullptr);

// The file a path names once symbolic links are followed (the path itself when
// it is no link; a dangling link gives the path it points to). Empty when the
// links loop.
std::filesystem::path FollowSymlinks(const std::filesystem::path& path);

}  // namespace aurisona

namespace aurisona {

// Streams a new file into a temporary file beside the target; Commit() flushes
// it and renames it over the target. Without a successful Commit() the
// temporary file is removed and the target is left as it was.
//
// The target's symbolic links are followed; a target that exists and is not a
// regular file (a FIFO, a device, a folder) is refused. A replaced file keeps
// its permissions; a new one gets the usual ones (0666 less the umask). The
// temporary file is private (0600) while it is written. `durable` = false
// skips flushing to disk, for files that need not survive a crash (scratch);
// `followSymlinks` = false replaces a link at the target instead.
class AtomicFileWriter {
 public:
  struct Options {
    bool durable = true;         // flush to disk before the rename
    bool followSymlinks = true;  // false: a link at the target is replaced itself
  };
  explicit AtomicFileWriter(std::filesystem::path target) : AtomicFileWriter(std::move(target), Options{}) {}
  AtomicFileWriter(std::filesystem::path target, Options options);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  bool ok() const { return fd_ >= 0 && error_.empty(); }
  const std::string& error() const { return error_; }
  // A failed write is kept: ok() turns false and Commit fails with the reason.
  bool Write(const void* data, size_t size);
  bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
  [[nodiscard]] bool Commit();

 private:
  std::filesystem::path target_;
  std::string temp_;
  int fd_ = -1;
  bool durable_ = true;
  uint64_t tempTicket_ = 0;
  std::string error_;
};

// A path from a UTF-16 file name or path.
std::filesystem::path PathFromU16(std::u16string_view name);

}  // namespace aurisona
