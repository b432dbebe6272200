// Whole-file writes that replace the target only once the new content is complete.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace aurisona {

// Writes the bytes to a temporary file beside `path`, flushes it to disk and
// renames it over `path`. On any failure the temporary file is removed, the old
// file stays as it was, and false is returned with a reason in *error.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string* error = nullptr);

// Reads a whole file. False when it cannot be opened or read.
bool ReadWholeFile(const std::filesystem::path& path, std::string* bytes);

}  // namespace aurisona

namespace aurisona {

// Streams a new file into a temporary file beside the target; Commit() flushes
// it and renames it over the target. Without a successful Commit() the
// temporary file is removed and the target is left as it was.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(std::filesystem::path target);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  bool ok() const { return fd_ >= 0 && error_.empty(); }
  const std::string& error() const { return error_; }
  bool Write(const void* data, size_t size);
  bool Write(std::string_view bytes) { return Write(bytes.data(), bytes.size()); }
  bool Commit();

 private:
  std::filesystem::path target_;
  std::string temp_;
  int fd_ = -1;
  std::string error_;
};

// A path from a UTF-16 file name or path.
std::filesystem::path PathFromU16(std::u16string_view name);

}  // namespace aurisona
