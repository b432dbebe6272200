// A recording being written: a 22050 Hz mono 16-bit PCM WAV file whose 44-byte
// header is written first for an empty data chunk and completed when the
// recording finishes. The file is written beside its name (a hidden temporary
// file in the same folder) and renamed over it when the recording finishes, so
// an interrupted recording never costs the old file of that name. A file whose
// recording never finished keeps 36 and 0 in its size fields (readers take the
// data that is there).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/util/temp_registry.h"

namespace aurisona {

inline constexpr size_t kRecordingHeaderBytes = 44;
inline constexpr uint32_t kRecordingSampleRate = 22050;

// The header of a recording holding `dataBytes` bytes of samples.
std::string RecordingHeader(uint32_t dataBytes);

enum class RecordingStart {
  kStarted,
  kBadName,       // empty, a path separator, "..", "<" or ">": nothing was created
  kCannotCreate,  // the file could not be created (or its header written)
  kBusy,          // a recording is already open
};

class RecordingFile {
 public:
  RecordingFile() = default;
  ~RecordingFile();  // finishes an open recording
  RecordingFile(const RecordingFile&) = delete;
  RecordingFile& operator=(const RecordingFile&) = delete;

  // Starts `name` in `recordFolder` (an existing file of that name is replaced
  // when the recording finishes) and writes the header for an empty data chunk. The name must be
  // a plain file name that a recording tag can hold.
  RecordingStart Start(const std::filesystem::path& recordFolder, std::u16string_view name);
  // The same for a path already checked.
  RecordingStart StartAt(const std::filesystem::path& path);

  // Appends samples. False once a write has failed (a full disk): the samples
  // written before stay, nothing more is written, and Error() says why.
  bool Append(const int16_t* samples, size_t count);

  // Completes the header for the bytes written, closes the file and puts it in
  // place under its name. False when a write failed during the recording or
  // the header could not be completed (what was written is kept; nothing
  // replaces the old file when not a sample could be written).
  // Nothing (true) when no recording is open.
  bool Finish();

  bool IsRecording() const { return fd_ >= 0; }
  uint32_t DataBytes() const { return dataBytes_; }
  bool WriteFailed() const { return writeFailed_; }
  const std::string& Error() const { return error_; }
  const std::filesystem::path& path() const { return path_; }
  // The file being written while a recording is open.
  const std::string& temporaryPath() const { return temp_; }

 private:
  int fd_ = -1;
  uint32_t dataBytes_ = 0;
  bool writeFailed_ = false;
  std::string error_;
  std::filesystem::path path_;
  std::string temp_;  // where the recording is written until it finishes
  TempTicket ticket_;
};

}  // namespace aurisona
