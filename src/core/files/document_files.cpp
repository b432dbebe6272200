#include "core/files/document_files.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "core/media/sound_files.h"
#include "core/script/memory_document.h"
#include "core/script/tagged_text.h"
#include "core/util/atomic_file.h"
#include "core/util/regular_file.h"
#include "core/util/text.h"

namespace aurisona {
namespace fs = std::filesystem;

namespace {

using File = StdioFile;

// The CRC-32 of a regular file, or nothing when there is none to read.
std::optional<uint32_t> RegularFileCrc32(const fs::path& path) {
  File f = OpenRegularStream(path);
  if (!f) return std::nullopt;
  uLong crc = crc32(0L, Z_NULL, 0);
  std::vector<unsigned char> buffer(65536);
  size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), f.get())) > 0) {
    crc = crc32(crc, buffer.data(), static_cast<uInt>(n));
  }
  if (std::ferror(f.get())) return std::nullopt;
  return static_cast<uint32_t>(crc);
}

// Reads exactly n bytes; false on a short read.
bool ReadExact(FILE* f, void* out, size_t n) { return std::fread(out, 1, n, f) == n; }

bool ReadU32(FILE* f, uint32_t* value) {
  unsigned char b[4];
  if (!ReadExact(f, b, 4)) return false;
  *value = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
  return true;
}

std::string U32Bytes(uint32_t v) {
  return std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                     static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
}

// The UTF-16LE text up to its first NUL.
std::u16string NulTerminated(std::string_view bytes) {
  std::u16string text = FromUtf16Le(bytes);
  const size_t nul = text.find(u'\0');
  if (nul != std::u16string::npos) text.resize(nul);
  return text;
}

std::u16string WithCrLf(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size() + text.size() / 16);
  for (char16_t c : text) {
    if (c == u'\r') {
      out += u"\r\n";
    } else {
      out.push_back(c);
    }
  }
  return out;
}

void LoadScript(ScriptDocument& doc, const MediaLists& lists, std::u16string_view tagged) {
  doc.SetSelection(0, -1);
  // Emptied first: an empty script inserts nothing that would replace it.
  doc.ReplaceSelection(u"", false);
  doc.ClearMarks();
  TaggedTextReader(doc, lists, tagged, true, false);
}

constexpr size_t kCopyPiece = 10240;

class LsnReader {
 public:
  LsnReader(FILE* f, uint64_t size, DocumentMedia& media, OpenResult& result)
      : f_(f), size_(size), media_(media), result_(result) {}

  // Reads the records; true with the script text when the text record came.
  bool Run(std::u16string* script) {
    for (;;) {
      unsigned char kindBytes[4];
      const size_t got = std::fread(kindBytes, 1, 4, f_);
      if (got == 0) return Damaged("the document ends before its text");
      if (got < 4) return Damaged("a record is cut short");
      const uint32_t kind = kindBytes[0] | (kindBytes[1] << 8) | (kindBytes[2] << 16) |
                            (static_cast<uint32_t>(kindBytes[3]) << 24);
      if (kind == kRecordText) return ReadText(script);
      if (kind != kRecordMusic && kind != kRecordRecording) return Damaged("unknown record kind " + std::to_string(kind));
      if (!ReadMedia(kind)) return false;
    }
  }

 private:
  bool Damaged(std::string why) {
    result_.status = OpenStatus::kDamaged;
    result_.detail = std::move(why);
    return false;
  }

  uint64_t Remaining() const {
    const long pos = std::ftell(f_);
    return pos < 0 || static_cast<uint64_t>(pos) > size_ ? 0 : size_ - static_cast<uint64_t>(pos);
  }

  bool ReadText(std::u16string* script) {
    uint32_t length;
    if (!ReadU32(f_, &length)) return Damaged("the text record is cut short");
    if (length > Remaining()) return Damaged("the text record is cut short");
    if (length > kMaxTextFileBytes) return Damaged("the text record is larger than 64 MB");
    std::string bytes(length, '\0');
    if (!ReadExact(f_, bytes.data(), length)) return Damaged("the text record is cut short");
    *script = NulTerminated(bytes);
    return true;
  }

  bool Skip(uint64_t n) { return std::fseek(f_, static_cast<long>(n), SEEK_CUR) == 0; }

  bool Refuse(const std::u16string& name, bool music, std::string reason, uint32_t size) {
    ++result_.mediaSkipped;
    result_.mediaProblems.push_back({name, music, std::move(reason)});
    return Skip(size) || Damaged("cannot skip a media record");
  }

  bool ReadMedia(uint32_t kind) {
    uint32_t crc, nameBytes, playTime, size;
    if (!ReadU32(f_, &crc) || !ReadU32(f_, &nameBytes)) return Damaged("a media record is cut short");
    if (nameBytes > kMaxMediaNameBytes) return Damaged("a media name is longer than 260 bytes");
    std::string rawName(nameBytes, '\0');
    if (!ReadExact(f_, rawName.data(), nameBytes) || !ReadU32(f_, &playTime) || !ReadU32(f_, &size)) {
      return Damaged("a media record is cut short");
    }
    // The content must be there in full before anything on disk is touched.
    if (size > Remaining()) return Damaged("a media record is cut short");
    return PutMedia(kind == kRecordMusic, NulTerminated(rawName), crc, playTime, size);
  }

 public:
  // Takes the media record whose `size` content bytes start at the stream's
  // position: into its folder, or skipped when the folder has it already.
  bool PutMedia(bool music, const std::u16string& name, uint32_t crc, uint32_t playTime, uint32_t size) {
    if (!IsPlainFileName(name)) {
      return Refuse(name, music, "not a plain file name a tag can carry", size);
    }
    const fs::path target = (music ? media_.musicFolder : media_.recordFolder) / PathFromU16(name);
    const int32_t seconds = static_cast<int32_t>(playTime);
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(target, ec);
    if (fs::exists(status) && !fs::is_regular_file(status) && !fs::is_symlink(status)) {
      return Refuse(name, music, Utf16ToUtf8(name) + " is in the folder and is not a file", size);
    }
    // Equal only when there is a file with that content (an empty record
    // against a missing file is put into the folder too).
    if (RegularFileCrc32(target) == std::optional<uint32_t>(crc)) {
      if (!Skip(size)) return Damaged("cannot skip a media record");
      if (music && media_.lists) {
        auto& lists = *media_.lists;
        for (size_t k = 0; k < lists.music.size(); ++k) {
          if (lists.music[k] != name) continue;
          if (lists.playTimes.size() < lists.music.size()) lists.playTimes.resize(lists.music.size(), 0);
          lists.playTimes[k] = seconds;
          if (media_.storePlayTime && media_.writeMedia) media_.storePlayTime(name, seconds);
          break;
        }
      }
      return true;
    }
    if (!media_.writeMedia) {
      if (!Skip(size)) return Damaged("cannot skip a media record");
    } else {
      std::string why;
      const ExtractResult extracted = Extract(target, size, &why);
      if (extracted == ExtractResult::kCutShort) return Damaged("a media record is cut short");
      if (extracted == ExtractResult::kNotWritten) {
        ++result_.mediaSkipped;
        result_.mediaProblems.push_back({name, music, why});
        return true;  // the bytes were consumed; go on with the next record
      }
    }
    if (media_.writeMedia) ++result_.mediaExtracted;
    if (media_.lists) {
      auto& lists = *media_.lists;
      if (music) {
        lists.playTimes.resize(lists.music.size(), 0);
        lists.music.push_back(name);
        lists.playTimes.push_back(seconds);
        if (media_.storePlayTime && media_.writeMedia) media_.storePlayTime(name, seconds);
      } else {
        lists.recordings.push_back(name);
      }
    }
    return true;
  }

 private:
  enum class ExtractResult { kWritten, kNotWritten, kCutShort };

  // Copies `size` bytes into a new file at `target`. A file already there is
  // kept as target.bak (target.1.bak, target.2.bak, ... when that name holds
  // something else), unless this document put it there itself (a second
  // record of the name). The old file is linked to its .bak name before the
  // new one replaces it in one step, so that at no moment is the name missing
  // or the user's file only half kept, whenever the program is stopped. When
  // it cannot be kept, nothing is written.
  ExtractResult Extract(const fs::path& target, uint32_t size, std::string* why) {
    AtomicFileWriter writer(target, {.durable = media_.durable, .followSymlinks = false});
    std::vector<char> piece(kCopyPiece);
    uint32_t left = size;
    while (left > 0) {
      const size_t n = std::fread(piece.data(), 1, std::min<size_t>(left, piece.size()), f_);
      if (n == 0) break;
      writer.Write(piece.data(), n);  // a failed write is seen by ok(); the bytes are consumed all the same
      left -= static_cast<uint32_t>(n);
    }
    if (left > 0) return ExtractResult::kCutShort;
    if (!writer.ok()) {
      *why = writer.error();
      return ExtractResult::kNotWritten;
    }
    std::error_code ec;
    const bool ours = written_.count(target) > 0;
    fs::path made;  // a .bak made here, undone when the new file cannot be put in place
    if (!ours && fs::exists(fs::symlink_status(target, ec)) && !KeepAside(target, &made, why)) {
      return ExtractResult::kNotWritten;
    }
    if (!writer.Commit()) {
      *why = writer.error();
      if (!made.empty()) ::unlink(made.c_str());
      return ExtractResult::kNotWritten;
    }
    written_.insert(target);
    return ExtractResult::kWritten;
  }

  // Keeps the file at `target` under the first .bak name that is free or
  // already holds the same bytes; `made` is the name linked here.
  static bool KeepAside(const fs::path& target, fs::path* made, std::string* why) {
    const std::optional<uint32_t> crc = RegularFileCrc32(target);
    std::error_code ec;
    const uintmax_t size = fs::file_size(target, ec);
    for (int n = 0; n < 1000; ++n) {
      fs::path backup = target;
      backup += n == 0 ? std::string(".bak") : "." + std::to_string(n) + ".bak";
      const fs::file_status status = fs::symlink_status(backup, ec);
      if (fs::exists(status)) {
        std::error_code sizeError;
        if (crc && fs::is_regular_file(status) && fs::file_size(backup, sizeError) == size && !sizeError &&
            RegularFileCrc32(backup) == crc) {
          return true;  // kept there already
        }
        continue;  // holds something else
      }
      if (::link(target.c_str(), backup.c_str()) == 0) {
        *made = backup;
        return true;
      }
      if (errno == EEXIST) continue;
      // A file system without hard links: a copy, made only where nothing is.
      if (CopyToNew(target, backup, why)) {
        *made = backup;
        return true;
      }
      return false;
    }
    *why = "cannot keep the existing " + target.filename().string() + ": every .bak name up to 999 is taken";
    return false;
  }

  static bool CopyToNew(const fs::path& from, const fs::path& to, std::string* why) {
    auto fail = [&](const char* what) {
      *why = "cannot keep the existing " + from.filename().string() + " as " + to.filename().string() + " (" +
             what + ": " + std::strerror(errno) + ")";
      return false;
    };
    File in = OpenRegularStream(from);
    if (!in) return fail("read");
    const int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return fail("create");
    std::vector<char> buffer(65536);
    bool ok = true;
    size_t n;
    while (ok && (n = std::fread(buffer.data(), 1, buffer.size(), in.get())) > 0) {
      for (size_t at = 0; ok && at < n;) {
        const ssize_t wrote = ::write(fd, buffer.data() + at, n - at);
        if (wrote < 0 && errno == EINTR) continue;
        ok = wrote > 0;
        if (ok) at += static_cast<size_t>(wrote);
      }
    }
    ok = ok && !std::ferror(in.get()) && ::fsync(fd) == 0;
    const int saved = errno;
    ::close(fd);
    if (!ok) {
      ::unlink(to.c_str());
      errno = saved;
      return fail("write");
    }
    return true;
  }

  std::set<fs::path> written_;  // files this document has put into the folders
  FILE* f_;
  uint64_t size_;
  DocumentMedia& media_;
  OpenResult& result_;
};

uint32_t U32At(std::string_view data, uint64_t at) {
  const auto b = [&](uint64_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(data[at + k])); };
  return b(0) | (b(1) << 8) | (b(2) << 16) | (b(3) << 24);
}

// A media record found whole in a damaged document.
struct FoundMedia {
  bool music = true;
  std::u16string name;
  uint32_t crc = 0;
  uint32_t playTime = 0;
  uint32_t size = 0;
  uint64_t contentAt = 0;
};

// What a scan of a damaged document found.
struct DocumentScan {
  std::vector<FoundMedia> media;
  RecoveryReport report;
};

// Reads damaged listening documents record by record; where a record cannot
// be read it looks further on for the next one that can: a media record whose
// content matches its CRC, or a text record that ends exactly at the end of
// the file. CRC work is bounded by a multiple of the file's size.
class DocumentScanner {
 public:
  explicit DocumentScanner(std::string_view data) : data_(data), crcBudget_(64 * (data.size() + 65536)) {}

  DocumentScan Run() {
    uint64_t pos = sizeof(kListeningMagic);
    const uint64_t n = data_.size();
    while (pos < n) {
      if (n - pos < 4) {
        scan_.report.bytesLost += n - pos;
        break;
      }
      const uint32_t kind = U32At(data_, pos);
      if (kind == kRecordText && n - pos >= 8) {
        ReadText(pos);
        return std::move(scan_);
      }
      if (kind == kRecordMusic || kind == kRecordRecording) {
        std::u16string name;
        if (auto found = MediaAt(pos, &name)) {
          pos = found->contentAt + found->size;
          scan_.report.mediaRecovered.push_back(found->name);
          scan_.media.push_back(std::move(*found));
          continue;
        }
        if (!name.empty()) scan_.report.mediaLost.push_back(name);
      }
      pos = Resync(pos);
    }
    return std::move(scan_);
  }

 private:
  // The text record at `at`: whole, or up to the end of the file.
  void ReadText(uint64_t at) {
    RecoveryReport& report = scan_.report;
    const uint64_t length = U32At(data_, at + 4);
    const uint64_t available = data_.size() - at - 8;
    report.textFound = true;
    // Only the terminating NUL missing: the text is whole.
    report.textComplete = length <= available + 2;
    const uint64_t taken = std::min<uint64_t>({length, available, kMaxTextFileBytes}) & ~uint64_t{1};
    report.text = NulTerminated(data_.substr(at + 8, taken));
    if (length < available) report.bytesLost += available - length;
  }

  // A whole media record at `at`. `name` receives the record's name when its
  // header could be read, so that a damaged one can be named.
  std::optional<FoundMedia> MediaAt(uint64_t at, std::u16string* name) {
    const uint64_t n = data_.size();
    if (n - at < 12) return std::nullopt;
    const uint32_t nameBytes = U32At(data_, at + 8);
    if (nameBytes < 4 || nameBytes > kMaxMediaNameBytes || nameBytes % 2 != 0) return std::nullopt;
    if (n - at - 12 < static_cast<uint64_t>(nameBytes) + 8) return std::nullopt;
    const std::string_view raw = data_.substr(at + 12, nameBytes);
    if (raw[nameBytes - 1] != 0 || raw[nameBytes - 2] != 0) return std::nullopt;
    const std::u16string found = NulTerminated(raw);
    if (found.size() * 2 + 2 != nameBytes || !IsPlainFileName(found)) return std::nullopt;
    *name = found;
    FoundMedia media;
    media.music = U32At(data_, at) == kRecordMusic;
    media.name = found;
    media.crc = U32At(data_, at + 4);
    media.playTime = U32At(data_, at + 12 + nameBytes);
    media.size = U32At(data_, at + 16 + nameBytes);
    media.contentAt = at + 20 + nameBytes;
    if (media.size > n - media.contentAt || media.size > crcBudget_) return std::nullopt;
    crcBudget_ -= media.size;
    const auto* bytes = reinterpret_cast<const Bytef*>(data_.data() + media.contentAt);
    uLong crc = crc32(0L, Z_NULL, 0);
    for (uint64_t done = 0; done < media.size;) {
      const uInt piece = static_cast<uInt>(std::min<uint64_t>(media.size - done, 1u << 30));
      crc = crc32(crc, bytes + done, piece);
      done += piece;
    }
    if (static_cast<uint32_t>(crc) != media.crc) return std::nullopt;
    return media;
  }

  // The position of the next record that can be read after `from`, or the
  // end of the file; the bytes passed over count as lost.
  uint64_t Resync(uint64_t from) {
    const uint64_t n = data_.size();
    for (uint64_t q = from + 1; q + 4 <= n && crcBudget_ > 0; ++q) {
      const uint32_t kind = U32At(data_, q);
      std::u16string name;
      const bool found =
          (kind == kRecordText && n - q >= 10 && U32At(data_, q + 4) == n - q - 8 && data_[n - 1] == 0 &&
           data_[n - 2] == 0) ||
          ((kind == kRecordMusic || kind == kRecordRecording) && MediaAt(q, &name).has_value());
      if (found) {
        scan_.report.bytesLost += q - from;
        return q;
      }
    }
    scan_.report.bytesLost += n - from;
    return n;
  }

  std::string_view data_;
  uint64_t crcBudget_;
  DocumentScan scan_;
};

}  // namespace

OpenResult RecoverDocument(const fs::path& path, ScriptDocument& doc, DocumentMedia& media, RecoveryReport* report) {
  OpenResult result;
  result.listening = true;
  std::string data;
  if (!ReadRegularFile(path, &data, kMaxRecoverableBytes, &result.detail)) {
    result.status = OpenStatus::kCannotOpen;
    return result;
  }
  if (data.size() < sizeof(kListeningMagic) || !std::equal(kListeningMagic, kListeningMagic + 4, data.begin())) {
    result.status = OpenStatus::kDamaged;
    result.detail = "not a listening document";
    return result;
  }
  DocumentScan scan = DocumentScanner(data).Run();
  File f = OpenRegularStream(path);
  if (!f) {
    result.status = OpenStatus::kCannotOpen;
    return result;
  }
  LsnReader reader(f.get(), data.size(), media, result);
  for (const FoundMedia& found : scan.media) {
    if (std::fseek(f.get(), static_cast<long>(found.contentAt), SEEK_SET) != 0 ||
        !reader.PutMedia(found.music, found.name, found.crc, found.playTime, found.size)) {
      scan.report.mediaLost.push_back(found.name);
    }
  }
  if (scan.report.TextRead()) {
    MediaLists none;
    LoadScript(doc, media.lists ? *media.lists : none, scan.report.text);
  } else {
    result.status = OpenStatus::kDamaged;
    result.detail = "the script text cannot be read";
  }
  if (report) *report = std::move(scan.report);
  return result;
}

uint32_t FileCrc32(const fs::path& path) { return RegularFileCrc32(path).value_or(0); }

std::u16string DecodeTextFile(std::string_view bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    return FromUtf16Le(bytes.substr(2));
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (IsValidUtf8(bytes)) return Utf8ToUtf16(bytes);
  // Decided line by line: a file put together from UTF-8 and GB18030 pieces
  // keeps both readable.
  std::u16string text;
  while (!bytes.empty()) {
    const size_t end = bytes.find('\n');
    const std::string_view line = bytes.substr(0, end == std::string_view::npos ? bytes.size() : end + 1);
    text += IsValidUtf8(line) ? Utf8ToUtf16(line) : Gb18030ToUtf16(line);
    bytes.remove_prefix(line.size());
  }
  return text;
}

OpenResult OpenDocument(const fs::path& path, ScriptDocument& doc, DocumentMedia& media) {
  OpenResult result;
  uint64_t size = 0;
  File f = OpenRegularStream(path, &result.detail, &size);
  if (!f) {
    result.status = OpenStatus::kCannotOpen;
    return result;
  }
  MediaLists none;
  const MediaLists& lists = media.lists ? *media.lists : none;
  char magic[4];
  if (ReadExact(f.get(), magic, 4) && std::equal(magic, magic + 4, kListeningMagic)) {
    result.listening = true;
    std::u16string script;
    LsnReader reader(f.get(), size, media, result);
    if (!reader.Run(&script)) return result;
    LoadScript(doc, lists, script);
    return result;
  }
  std::string bytes;
  if (!ReadWholeFile(path, &bytes, &result.detail)) {
    result.status = OpenStatus::kCannotOpen;
    return result;
  }
  LoadScript(doc, lists, DecodeTextFile(bytes));
  return result;
}

std::u16string TaggedTextForFile(const ScriptDocument& doc, const MediaLists& lists) {
  return WithCrLf(TaggedTextWriter(doc, lists, 0, -1));
}

SaveResult SaveListeningDocument(const fs::path& path, ScriptDocument& doc, const DocumentMedia& media,
                                 const CompilerReport& report) {
  SaveResult result;
  MediaLists none;
  const MediaLists& lists = media.lists ? *media.lists : none;
  AtomicFileWriter out(path);
  if (!out.ok()) {
    result.detail = out.error();
    return result;
  }
  out.Write(kListeningMagic, 4);
  // The text is taken before the compiler repairs anything, as it stood.
  const std::u16string text = TaggedTextForFile(doc, lists);
  std::vector<Segment> segments;
  ScriptCompiler(doc, lists, segments, report);

  std::set<std::u16string> embedded;
  std::vector<char> buffer(65536);
  for (const Segment& s : segments) {
    if (s.kind != kSegMusic && s.kind != kSegRecording) continue;
    if (!embedded.insert(s.text).second) continue;
    const uint32_t nameBytes = static_cast<uint32_t>(2 * s.text.size() + 2);
    const fs::path source = (s.kind == kSegMusic ? media.musicFolder : media.recordFolder) / PathFromU16(s.text);
    uint64_t size = 0;
    File in = OpenRegularStream(source, nullptr, &size);
    // A name too long for the format, or a file over 4 GiB, could not be read back.
    if (!in || nameBytes > kMaxMediaNameBytes || size > 0xFFFFFFFFull || !IsPlainFileName(s.text)) {
      ++result.mediaLeftOut;
      continue;
    }
    const uint32_t crc = FileCrc32(source);
    std::string header = U32Bytes(static_cast<uint32_t>(s.kind)) + U32Bytes(crc) + U32Bytes(nameBytes);
    header += ToUtf16Le(s.text);
    header += std::string(2, '\0');
    header += U32Bytes(s.kind == kSegMusic ? static_cast<uint32_t>(s.PlayTime()) : 0);
    header += U32Bytes(static_cast<uint32_t>(size));
    out.Write(header);
    uint64_t left = size;
    while (left > 0) {
      const size_t n = std::fread(buffer.data(), 1, std::min<uint64_t>(left, buffer.size()), in.get());
      if (n == 0) break;
      out.Write(buffer.data(), n);
      left -= n;
    }
    if (left > 0) {
      // The file shrank while it was copied: the document would be damaged.
      result.detail = "a media file changed while it was saved: " + source.string();
      return result;
    }
    ++result.mediaEmbedded;
  }
  out.Write(U32Bytes(kRecordText) + U32Bytes(static_cast<uint32_t>(2 * text.size() + 2)));
  out.Write(ToUtf16Le(text) + std::string(2, '\0'));
  result.ok = out.Commit();
  if (!result.ok) result.detail = out.error();
  return result;
}

SaveResult SaveTextDocument(const fs::path& path, const ScriptDocument& doc, const MediaLists& lists) {
  SaveResult result;
  std::string bytes = "\xFF\xFE";
  bytes += ToUtf16Le(TaggedTextForFile(doc, lists));
  result.ok = WriteFileAtomically(path, bytes, &result.detail);
  return result;
}

SaveResult SaveDocumentByName(const fs::path& path, ScriptDocument& doc, const DocumentMedia& media,
                              const CompilerReport& report) {
  if (EndsWithIgnoreAsciiCase(Utf8ToUtf16(path.string()), u".lsn")) {
    return SaveListeningDocument(path, doc, media, report);
  }
  MediaLists none;
  return SaveTextDocument(path, doc, media.lists ? *media.lists : none);
}

}  // namespace aurisona
