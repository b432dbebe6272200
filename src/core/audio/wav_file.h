// Opening a WAV file for libsndfile: regular files only, and a header whose
// sizes were never completed (a recording that was interrupted) is read with
// the data that is there.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <filesystem>
#include <memory>

namespace aurisona {

class WavFile {
 public:
  // Opens `path` when it is a regular file that libsndfile can read. A RIFF or
  // data chunk size of 0, or one larger than the file, is taken as "up to the
  // end of the file" (what is there is read). Nothing when it cannot be opened.
  static std::unique_ptr<WavFile> Open(const std::filesystem::path& path, SF_INFO* info);
  ~WavFile();
  WavFile(const WavFile&) = delete;
  WavFile& operator=(const WavFile&) = delete;

  SNDFILE* get() const { return file_; }

  struct Source;  // the file as libsndfile sees it

 private:
  WavFile() = default;
  std::unique_ptr<Source> source_;
  SNDFILE* file_ = nullptr;
};

}  // namespace aurisona
