// Listening documents (.lsn: tagged text plus copies of the clips and
// recordings it uses) and text files (.txt: tagged text alone).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/media/media_lists.h"
#include "core/script/compiler.h"
#include "core/script/script_document.h"

namespace aurisona {

// The four bytes every listening document starts with: "lsn" and 1.
inline constexpr char kListeningMagic[4] = {'l', 's', 'n', '\x01'};
inline constexpr uint32_t kMaxMediaNameBytes = 260;
inline constexpr uint32_t kRecordText = 0;
inline constexpr uint32_t kRecordMusic = 2;
inline constexpr uint32_t kRecordRecording = 3;

// Messages shown for the failures below.
inline constexpr std::u16string_view kOpenFailedMessage = u"文件打开失败，请重新选择文件！";
inline constexpr std::u16string_view kCreateFailedMessage = u"文件创建错误，请换一个名称后重试！";
inline constexpr std::u16string_view kDamagedMessage = u"文件已损坏，无法读取其中的听力内容！";
inline constexpr std::u16string_view kErrorTitle = u"错误";

// Where documents put and find their media, and the lists they update.
struct DocumentMedia {
  std::filesystem::path musicFolder;
  std::filesystem::path recordFolder;
  MediaLists* lists = nullptr;
  // Stores a clip's play time (setup.ini, section "音乐播放时间"); may be empty.
  std::function<void(const std::u16string& name, int32_t seconds)> storePlayTime;
  // False: opening updates the lists as if the media had been put into the
  // folders, but writes nothing (for tools that only read a document).
  bool writeMedia = true;
  // False for throw-away folders: extracted files are not flushed to disk.
  bool durable = true;
};

enum class OpenStatus {
  kOpened,
  kCannotOpen,  // nothing changed
  kDamaged,     // media read before the damage took effect; the script is unchanged
};

// A media record the document carries that was not put into its folder.
struct MediaProblem {
  std::u16string name;
  bool music = true;
  std::string reason;  // one line, for logs and the command line
};

struct [[nodiscard]] OpenResult {
  OpenStatus status = OpenStatus::kOpened;
  bool listening = false;     // a listening document (else read as text)
  int mediaExtracted = 0;     // media files written into the folders
  int mediaSkipped = 0;       // media records refused (unsafe name, unwritable file)
  // Every refused record (name, reason). Such a clip is not added to the lists:
  // a clip of that name already in the folder is not the document's.
  std::vector<MediaProblem> mediaProblems;
  std::string detail;         // what went wrong, for logs and the command line
};

// The message shown when a document's clips or recordings could not be put
// into their folders, and the name list that follows it.
inline constexpr std::u16string_view kMediaNotWrittenMessage =
    u"文档中的以下音乐或录音文件无法写入，相应标记将不能播放：";

// Opens a listening document or a text file into the document: select all,
// clear the marks, read the tagged text. Media records are put into the Music
// and Record folders (a differing file on disk is kept as name.bak first; when
// it cannot be moved there, it stays and the record is refused). Only regular
// files are opened; a text file above kMaxTextFileBytes is refused.
OpenResult OpenDocument(const std::filesystem::path& path, ScriptDocument& doc, DocumentMedia& media);

// What could still be read of a damaged listening document, and what not.
struct RecoveryReport {
  bool textFound = false;     // the text record's start was found
  bool textComplete = false;  // ... and it is whole
  std::u16string text;        // the script text read (the part before a cut)
  std::vector<std::u16string> mediaRecovered;  // whole media records, in order
  std::vector<std::u16string> mediaLost;       // records whose name was read but whose content was not whole
  uint64_t bytesLost = 0;                      // bytes no record could be read from
  bool TextRead() const { return textFound && (textComplete || !text.empty()); }
};

// Largest listening document read whole for recovery.
inline constexpr uint64_t kMaxRecoverableBytes = 1ull << 30;

// Opens what can still be read of a listening document that OpenDocument
// found damaged: every media record whose content matches its CRC (put into
// the folders as OpenDocument puts them; a record that cannot be put there is
// listed as lost) and the script text, whole or the part before the cut, which
// the document receives. Records after a damaged one are found again by their
// CRC. kOpened when script text was read; kDamaged when not: the document is
// unchanged (the media found have been taken all the same).
OpenResult RecoverDocument(const std::filesystem::path& path, ScriptDocument& doc, DocumentMedia& media,
                           RecoveryReport* report);

// Decodes the bytes of a text file: UTF-16LE after a byte order mark, else
// UTF-8 when valid (a UTF-8 byte order mark is dropped), else line by line:
// each line UTF-8 when it is valid UTF-8, GB18030 when it is not.
std::u16string DecodeTextFile(std::string_view bytes);

struct [[nodiscard]] SaveResult {
  bool ok = false;
  int mediaEmbedded = 0;
  int mediaLeftOut = 0;  // media that could not be read
  std::string detail;
};

// Writes a listening document: the media of every music and recording segment
// (once per file name), then the tagged text. Runs the compiler, which may
// repair marks and report through `report`. The old file is replaced only once
// the new one is complete.
SaveResult SaveListeningDocument(const std::filesystem::path& path, ScriptDocument& doc,
                                 const DocumentMedia& media, const CompilerReport& report = {});

// Writes a text file: UTF-16LE with a byte order mark, CR LF line breaks.
SaveResult SaveTextDocument(const std::filesystem::path& path, const ScriptDocument& doc,
                            const MediaLists& lists);

// Saves by the path's ending: ".lsn" (any case) as a listening document,
// anything else as a text file.
SaveResult SaveDocumentByName(const std::filesystem::path& path, ScriptDocument& doc,
                              const DocumentMedia& media, const CompilerReport& report = {});

// The tagged text of the whole document with CR LF line breaks.
std::u16string TaggedTextForFile(const ScriptDocument& doc, const MediaLists& lists);

// The standard CRC-32 of a regular file's content; 0 when it cannot be read.
uint32_t FileCrc32(const std::filesystem::path& path);

}  // namespace aurisona
