// A small INI store with the semantics of the Windows private-profile functions.
//
// File format
// - Written as UTF-8 without a byte order mark. Read as UTF-16LE after the
//   UTF-16LE BOM; otherwise (a UTF-8 BOM dropped) line by line: a line that is
//   valid UTF-8 as UTF-8, any other line as GB18030 (what an "ANSI" profile
//   file written on Chinese Windows holds). A GB18030 file is rewritten as
//   UTF-8 on its next write; in a UTF-8 file with a damaged line (one stray
//   byte), and for a line GB18030 cannot decode either, the line keeps its
//   bytes until it is written to, so nothing is lost.
// - Lines end in LF, CR LF or a lone CR. Untouched lines keep their bytes and
//   line endings on rewrite; new lines use the ending of the file's first line
//   (LF for a new file).
// - A line whose first non-blank character is '[' and whose first ']' is
//   followed by nothing but blanks or a ';' comment is a section header; the
//   name is the text between the brackets, surrounding blanks trimmed. A line
//   whose first non-blank character is ';' is a comment. Any other line with
//   '=' is a key line: the key is the text before the first '=' and the value
//   the text after it, both with surrounding blanks (space, tab, VT, FF)
//   trimmed; a value enclosed in a pair of double quotes loses the quotes.
//   Other lines (and key lines before the first section) are kept but never
//   match.
// - Section and key names compare ignoring the case of A-Z. The first section of
//   a name and, inside it, the first key of a name count; later duplicates are
//   kept as they are.
//
// What can be stored (a write that breaks a rule returns false and changes
// nothing, so no value can inject a line, a key or a section):
// - Section names and keys: not empty, no CR, LF or NUL, no leading or trailing
//   blank, and they must read back as themselves: a section name has no ']'; a
//   key has no '=', does not start with ';', and does not look like a section
//   header ("[a]" is a fine key, "[a] ;b" is not).
// - Values: any text without CR, LF or NUL. A value with leading or trailing
//   blanks, or one that both starts and ends with '"', is written enclosed in
//   double quotes, so every storable value reads back exactly.
// - All three must be well-formed UTF-16 (no unpaired surrogate).
//
// A music clip whose file name is not a storable key (it holds '=', say) gets
// no play time key: its play time reads as 0 and writing it fails.
//
// Integer reads return the default when the key is missing and otherwise the
// leading decimal number of the value (0 when there is none). Integers are
// written with "%d".
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace aurisona {

// One queued write of an IniBatch.
struct IniWrite {
  std::u16string section;
  std::u16string key;
  std::u16string value;
};

// Several writes applied in one rewrite of the file (see IniStore::Write).
class IniBatch {
 public:
  void SetString(std::u16string_view section, std::u16string_view key, std::u16string_view value);
  void SetInt(std::u16string_view section, std::u16string_view key, int value);
  const std::vector<IniWrite>& writes() const { return writes_; }
  bool empty() const { return writes_.empty(); }

 private:
  std::vector<IniWrite> writes_;
};

// The parsed content of an INI file, in memory. Parsing accepts any bytes.
class IniDocument {
 public:
  IniDocument() = default;
  static IniDocument Parse(std::string_view bytes);

  // The file content as UTF-8 (no BOM).
  std::string Serialize() const;

  // The value of a key, or nothing when the section or the key is missing.
  std::optional<std::u16string> Find(std::u16string_view section, std::u16string_view key) const;
  std::u16string GetString(std::u16string_view section, std::u16string_view key,
                           std::u16string_view defaultValue) const;
  int GetInt(std::u16string_view section, std::u16string_view key, int defaultValue) const;

  // Sets a key, adding the key (after the last non-blank line of its section) or
  // the section (at the end) when missing. False, with nothing changed, when the
  // section, key or value cannot be stored.
  [[nodiscard]] bool SetString(std::u16string_view section, std::u16string_view key, std::u16string_view value);
  [[nodiscard]] bool SetInt(std::u16string_view section, std::u16string_view key, int value);
  // Applies the writes in order; false when any of them was refused (the others
  // are applied all the same).
  [[nodiscard]] bool Apply(const IniBatch& batch);

  static bool IsStorableSection(std::u16string_view section);
  static bool IsStorableKey(std::u16string_view key);
  static bool IsStorableValue(std::u16string_view value);

 private:
  struct Line {
    std::string text;  // UTF-8, without the line ending
    std::string eol;   // "\n", "\r\n", "\r" or "" for a last line without one
    std::optional<std::string> raw;  // the bytes written back while the line is unchanged
  };
  // Index of the first line of the named section's header, or npos.
  size_t FindSection(std::string_view name) const;
  // Index of the first key line of that name in the section starting at header
  // `section`, or npos. *end receives the index just past the section's lines.
  size_t FindKey(size_t section, std::string_view key, size_t* end) const;

  std::vector<Line> lines_;
  std::string newline_ = "\n";
};

// An INI file on disk. Every read loads the file afresh (a missing or
// unreadable file reads as empty), every write rewrites it atomically (a
// temporary file renamed over it): a failed write leaves the old file whole and
// returns false. A file that exists but cannot be read is never overwritten.
class IniStore {
 public:
  IniStore() = default;
  explicit IniStore(std::filesystem::path path) : path_(std::move(path)) {}

  const std::filesystem::path& path() const { return path_; }

  // The file as it is now; empty when it is missing or unreadable.
  IniDocument Snapshot() const;

  std::u16string GetString(std::u16string_view section, std::u16string_view key,
                           std::u16string_view defaultValue) const;
  int GetInt(std::u16string_view section, std::u16string_view key, int defaultValue) const;

  [[nodiscard]] bool SetString(std::u16string_view section, std::u16string_view key, std::u16string_view value);
  [[nodiscard]] bool SetInt(std::u16string_view section, std::u16string_view key, int value);

  // All writes of the batch in one rewrite. The file ends up as the same
  // sequence of single writes would leave it; a refused write (see IniDocument)
  // is skipped and makes the result false. When the file cannot be written,
  // nothing of the batch is written.
  [[nodiscard]] bool Write(const IniBatch& batch);

  // The reason of the last failed write, for front ends that report it.
  const std::string& lastError() const { return lastError_; }

 private:
  // Loads the file; false when it exists but cannot be read.
  bool Load(IniDocument* doc, std::string* original) const;
  bool Commit(const IniDocument& doc, const std::string& original);

  std::filesystem::path path_;
  std::string lastError_;
};

}  // namespace aurisona
