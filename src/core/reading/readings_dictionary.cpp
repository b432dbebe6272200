#include "core/reading/readings_dictionary.h"

#include <algorithm>
#include <set>

#include "core/util/atomic_file.h"
#include "core/util/regular_file.h"
#include "core/util/text.h"

namespace aurisona {
namespace {

constexpr size_t kMaxLineBytes = 2000;

bool IsAsciiAlnum(char16_t c) {
  return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

std::u16string LowerAscii(std::u16string_view s) {
  std::u16string out(s);
  for (char16_t& c : out) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return out;
}

std::u16string_view Trim(std::u16string_view s) {
  auto blank = [](char16_t c) { return c == u' ' || c == u'\t' || c == 0x3000 || c == 0xA0; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

bool HasControl(std::u16string_view s) {
  return std::any_of(s.begin(), s.end(), [](char16_t c) {
    return c < 0x20 || c == 0x7F || c == 0xFFFC || c == 0x2028 || c == 0x2029 || c == 0x85;
  });
}

}  // namespace

std::string ReadingDictionary::CheckEntry(const Entry& entry) {
  if (Trim(entry.written).empty()) return "nothing before \"=\"";
  if (entry.written.size() > kMaxWritten) return "the written form is longer than 100 characters";
  if (entry.spoken.size() > kMaxSpoken) return "the reading is longer than 500 characters";
  if (HasControl(entry.written) || HasControl(entry.spoken)) return "control characters";
  if (entry.written.find(u'=') != std::u16string::npos) return "more than one \"=\"";
  return {};
}

ReadingDictionary ReadingDictionary::Parse(std::string_view utf8, std::vector<DictionaryProblem>* problems) {
  auto report = [&](int line, std::string reason) {
    if (problems) problems->push_back({line, std::move(reason)});
  };
  if (utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
  std::vector<Entry> entries;
  int number = 0;
  size_t pos = 0;
  while (pos < utf8.size()) {
    size_t eol = utf8.find('\n', pos);
    if (eol == std::string_view::npos) eol = utf8.size();
    std::string_view line = utf8.substr(pos, eol - pos);
    pos = eol + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > kMaxLineBytes) {
      report(number, "line longer than 2000 bytes");
      continue;
    }
    if (!IsValidUtf8(line)) {
      report(number, "not UTF-8");
      continue;
    }
    const std::u16string text = Utf8ToUtf16(line);
    const std::u16string_view trimmed = Trim(text);
    if (trimmed.empty() || trimmed.front() == u'#') continue;
    const size_t eq = trimmed.find(u'=');
    if (eq == std::u16string_view::npos) {
      report(number, "no \"=\" between the written form and its reading");
      continue;
    }
    Entry entry{std::u16string(Trim(trimmed.substr(0, eq))), std::u16string(Trim(trimmed.substr(eq + 1)))};
    if (std::string reason = CheckEntry(entry); !reason.empty()) {
      report(number, std::move(reason));
      continue;
    }
    if (entries.size() >= kMaxEntries) {
      report(number, "more than 10000 entries; the rest is left out");
      break;
    }
    entries.push_back(std::move(entry));
  }
  ReadingDictionary dictionary;
  dictionary.SetEntries(std::move(entries));
  return dictionary;
}

ReadingDictionary ReadingDictionary::Load(const std::filesystem::path& path,
                                          std::vector<DictionaryProblem>* problems) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return {};
  std::string bytes;
  std::string error;
  if (!ReadRegularFile(path, &bytes, kMaxFileBytes, &error)) {
    if (problems) problems->push_back({0, error});
    return {};
  }
  return Parse(bytes, problems);
}

std::string ReadingDictionary::Serialize() const {
  std::string out = "# Aurisona readings: written = spoken, one entry a line\n";
  for (const Entry& e : entries_) out += Utf16ToUtf8(e.written) + " = " + Utf16ToUtf8(e.spoken) + "\n";
  return out;
}

bool ReadingDictionary::Save(const std::filesystem::path& path, std::string* error) const {
  return WriteFileAtomically(path, Serialize(), error);
}

void ReadingDictionary::SetEntries(std::vector<Entry> entries) {
  // A later entry of the same written form replaces an earlier one, in its place.
  std::vector<Entry> kept;
  std::unordered_map<std::u16string, size_t> seen;
  for (Entry& e : entries) {
    const std::u16string key = LowerAscii(e.written);
    if (auto it = seen.find(key); it != seen.end()) {
      kept[it->second] = std::move(e);
    } else {
      seen.emplace(key, kept.size());
      kept.push_back(std::move(e));
    }
  }
  entries_ = std::move(kept);
  Index();
}

void ReadingDictionary::Index() {
  by_key_.clear();
  std::set<size_t, std::greater<>> lengths;
  for (size_t k = 0; k < entries_.size(); ++k) {
    std::u16string key = LowerAscii(entries_[k].written);
    lengths.insert(key.size());
    by_key_[std::move(key)] = k;
  }
  lengths_.assign(lengths.begin(), lengths.end());
}

std::vector<DictionaryMatch> ReadingDictionary::Find(std::u16string_view text) const {
  std::vector<DictionaryMatch> matches;
  if (entries_.empty()) return matches;
  const std::u16string lower = LowerAscii(text);
  const std::u16string_view view(lower);
  size_t i = 0;
  while (i < view.size()) {
    bool found = false;
    for (const size_t len : lengths_) {
      if (i + len > view.size()) continue;
      const auto it = by_key_.find(std::u16string(view.substr(i, len)));
      if (it == by_key_.end()) continue;
      // Latin words match whole: no letter or digit may touch the match.
      if (IsAsciiAlnum(view[i]) && i > 0 && IsAsciiAlnum(view[i - 1])) continue;
      if (IsAsciiAlnum(view[i + len - 1]) && i + len < view.size() && IsAsciiAlnum(view[i + len])) continue;
      matches.push_back({static_cast<int>(i), static_cast<int>(i + len), entries_[it->second].spoken});
      i += len;
      found = true;
      break;
    }
    if (!found) ++i;
  }
  return matches;
}

}  // namespace aurisona
