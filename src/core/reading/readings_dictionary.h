// The user's readings dictionary: how a word or phrase is to be read aloud.
//
// A UTF-8 file, one entry a line: `written = spoken`. Blank lines and lines starting
// with "#" are comments. Latin words match whole and without regard to case; an entry
// with Chinese characters matches wherever it stands. The longest entry wins where
// several match at one place, and what an entry says is read as it stands (the number
// rules do not touch it again). A damaged line is reported with its number and skipped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace aurisona {

struct DictionaryMatch {
  int begin = 0;
  int end = 0;
  std::u16string spoken;
};

struct DictionaryProblem {
  int line = 0;  // 1-based; 0 for the file as a whole
  std::string reason;
};

class ReadingDictionary {
 public:
  struct Entry {
    std::u16string written;
    std::u16string spoken;
    bool operator==(const Entry&) const = default;
  };

  static constexpr uint64_t kMaxFileBytes = 4u << 20;
  static constexpr size_t kMaxEntries = 10000;
  static constexpr size_t kMaxWritten = 100;  // UTF-16 units
  static constexpr size_t kMaxSpoken = 500;

  // Reads the entries of `utf8`; every line that cannot be taken is listed.
  static ReadingDictionary Parse(std::string_view utf8, std::vector<DictionaryProblem>* problems);

  // Reads the file at `path`. A missing file is an empty dictionary. A file that cannot
  // be read or is too large gives an empty dictionary and a problem of line 0.
  static ReadingDictionary Load(const std::filesystem::path& path, std::vector<DictionaryProblem>* problems);

  // The file's text for these entries, with a heading comment.
  std::string Serialize() const;
  // Writes the file atomically; false with a one-line reason.
  [[nodiscard]] bool Save(const std::filesystem::path& path, std::string* error) const;

  // Checks one entry as the dictionary dialog would add it: empty when it can be taken,
  // else the reason.
  static std::string CheckEntry(const Entry& entry);

  const std::vector<Entry>& entries() const { return entries_; }
  // Replaces the entries (a later entry of the same written form wins).
  void SetEntries(std::vector<Entry> entries);
  bool empty() const { return entries_.empty(); }

  // The matches in `text`, left to right, not overlapping.
  std::vector<DictionaryMatch> Find(std::u16string_view text) const;

 private:
  void Index();

  std::vector<Entry> entries_;
  std::unordered_map<std::u16string, size_t> by_key_;  // lower-cased written -> entry
  std::vector<size_t> lengths_;                        // distinct key lengths, longest first
};

}  // namespace aurisona
