#include "audio-io/recording_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include "core/media/sound_files.h"

namespace aurisona {

namespace {

void PutLe32(char* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Writes all of `size` bytes at `offset`; the bytes written go to `written`.
bool WriteAt(int fd, const char* data, size_t size, off_t offset, size_t* written) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = pwrite(fd, data + done, size - done, offset + off_t(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      break;
    }
    done += size_t(n);
  }
  if (written != nullptr) *written = done;
  return done == size;
}

// Largest data chunk whose RIFF size (36 + bytes) still fits 32 bits.
constexpr uint32_t kMaxDataBytes = (std::numeric_limits<uint32_t>::max() - 36) & ~uint32_t{1};

}  // namespace

std::string RecordingHeader(uint32_t dataBytes) {
  std::string header(kRecordingHeaderBytes, '\0');
  char* h = header.data();
  std::memcpy(h, "RIFF", 4);
  PutLe32(h + 4, 36 + dataBytes);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  PutLe32(h + 16, 16);
  h[20] = 1;  // PCM
  h[22] = 1;  // mono
  PutLe32(h + 24, kRecordingSampleRate);
  PutLe32(h + 28, kRecordingSampleRate * 2);
  h[32] = 2;   // block align
  h[34] = 16;  // bits per sample
  std::memcpy(h + 36, "data", 4);
  PutLe32(h + 40, dataBytes);
  return header;
}

RecordingFile::~RecordingFile() { Finish(); }

RecordingStart RecordingFile::Start(const std::filesystem::path& recordFolder, std::u16string_view name) {
  if (!IsPlainFileName(name) || name.find_first_of(u"<>") != std::u16string_view::npos) {
    return RecordingStart::kBadName;
  }
  return StartAt(MediaFilePath(recordFolder, name));
}

RecordingStart RecordingFile::StartAt(const std::filesystem::path& path) {
  if (IsRecording()) return RecordingStart::kBusy;
  // Recorded beside the final name: a recording that never finishes leaves an
  // old file of the name as it was.
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  std::string temp = (folder / ("." + path.filename().string() + ".XXXXXX")).string();
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    error_ = std::strerror(errno);
    return RecordingStart::kCannotCreate;
  }
  const std::string header = RecordingHeader(0);
  if (!WriteAt(fd, header.data(), header.size(), 0, nullptr)) {
    error_ = std::strerror(errno);
    close(fd);
    unlink(temp.c_str());
    return RecordingStart::kCannotCreate;
  }
  fd_ = fd;
  path_ = path;
  temp_ = temp;
  ticket_ = TempTicket(temp_);
  dataBytes_ = 0;
  writeFailed_ = false;
  error_.clear();
  return RecordingStart::kStarted;
}

bool RecordingFile::Append(const int16_t* samples, size_t count) {
  if (!IsRecording() || writeFailed_) return false;
  size_t bytes = count * 2;
  if (bytes > kMaxDataBytes - dataBytes_) {
    writeFailed_ = true;
    error_ = "the recording has reached the largest size a WAV file can describe";
    bytes = kMaxDataBytes - dataBytes_;
  }
  size_t written = 0;
  const bool ok = WriteAt(fd_, reinterpret_cast<const char*>(samples), bytes,
                          off_t(kRecordingHeaderBytes) + off_t(dataBytes_), &written);
  if (!ok) {
    writeFailed_ = true;
    error_ = std::strerror(errno);
    // Keep whole samples only.
    if (written % 2 != 0) {
      --written;
      if (ftruncate(fd_, off_t(kRecordingHeaderBytes) + off_t(dataBytes_) + off_t(written)) != 0) {
        // The header still counts whole samples only; a trailing byte is harmless.
      }
    }
  }
  dataBytes_ += static_cast<uint32_t>(written);
  return !writeFailed_;
}

bool RecordingFile::Finish() {
  if (!IsRecording()) return true;
  char field[4];
  PutLe32(field, 36 + dataBytes_);
  bool ok = WriteAt(fd_, field, 4, 4, nullptr);
  PutLe32(field, dataBytes_);
  ok = WriteAt(fd_, field, 4, 40, nullptr) && ok;
  if (!ok && error_.empty()) error_ = std::strerror(errno);
  ok = close(fd_) == 0 && ok;
  fd_ = -1;
  // What was recorded replaces the old file; a recording that failed before
  // a single sample was written leaves the old file alone.
  if (dataBytes_ == 0 && (writeFailed_ || !ok)) {
    unlink(temp_.c_str());
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    chmod(temp_.c_str(), 0666 & ~mask);
    if (rename(temp_.c_str(), path_.c_str()) != 0) {
      if (error_.empty()) error_ = "cannot replace " + path_.string() + ": " + std::strerror(errno);
      unlink(temp_.c_str());
      ok = false;
    }
  }
  ticket_.Release();
  return ok && !writeFailed_;
}

}  // namespace aurisona
