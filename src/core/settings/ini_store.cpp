#include "core/settings/ini_store.h"

#include <system_error>

#include "core/util/atomic_file.h"
#include "core/util/text.h"

namespace aurisona {

namespace {

constexpr size_t npos = std::string::npos;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }
bool IsBlank16(char16_t c) { return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// UTF-8 bytes compared ignoring the case of A-Z; other bytes must be equal.
bool EqualsIgnoreAsciiCase8(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

bool IsWellFormedUtf16(std::u16string_view s) {
  for (size_t i = 0; i < s.size(); ++i) {
    const char16_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 >= s.size() || s[i + 1] < 0xDC00 || s[i + 1] > 0xDFFF) return false;
      ++i;
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      return false;
    }
  }
  return true;
}

bool HasLineBreakOrNul(std::u16string_view s) {
  for (char16_t c : s) {
    if (c == u'\r' || c == u'\n' || c == u'\0') return true;
  }
  return false;
}

bool HasOuterBlank(std::u16string_view s) {
  return !s.empty() && (IsBlank16(s.front()) || IsBlank16(s.back()));
}

enum class LineKind { kOther, kSection, kKey };

struct Parsed {
  LineKind kind = LineKind::kOther;
  std::string_view name;   // section name or key
  std::string_view value;  // key lines: the value, trimmed, quotes still on
  size_t valueStart = 0;   // key lines: offset just past the '='
};

Parsed ParseLine(std::string_view line) {
  Parsed p;
  std::string_view s = line;
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  if (s.empty() || s.front() == ';') return p;
  if (s.front() == '[') {
    // A header is "[name]", optionally followed by blanks and a comment.
    const size_t close = s.find(']');
    if (close != npos) {
      const std::string_view rest = Trim(s.substr(close + 1));
      if (rest.empty() || rest.front() == ';') {
        p.kind = LineKind::kSection;
        p.name = Trim(s.substr(1, close - 1));
        return p;
      }
    }
  }
  const size_t eq = s.find('=');
  if (eq == npos) return p;
  p.kind = LineKind::kKey;
  p.name = Trim(s.substr(0, eq));
  p.value = Trim(s.substr(eq + 1));
  p.valueStart = static_cast<size_t>(s.data() - line.data()) + eq + 1;
  return p;
}

std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
  return v;
}

std::string EncodeValue(std::u16string_view value) {
  std::string utf8 = Utf16ToUtf8(value);
  const bool quoted = HasOuterBlank(value) ||
                      (value.size() >= 2 && value.front() == u'"' && value.back() == u'"');
  return quoted ? "\"" + utf8 + "\"" : utf8;
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool HasHighByte(std::string_view bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

// Splits at LF, CR LF and lone CR. The bytes of GB18030 never hold CR or LF
// inside a character, so the split is the same in both encodings.
template <typename Visit>
void ForEachLine(std::string_view text, Visit visit) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = start;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
    std::string_view eol;
    if (end < text.size()) {
      eol = (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? text.substr(end, 2)
                                                                                 : text.substr(end, 1);
    }
    visit(text.substr(start, end - start), eol);
    start = end + eol.size();
  }
}

}  // namespace

// ---- IniBatch ----

void IniBatch::SetString(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
  writes_.push_back({std::u16string(section), std::u16string(key), std::u16string(value)});
}

void IniBatch::SetInt(std::u16string_view section, std::u16string_view key, int value) {
  SetString(section, key, IntToU16(value));
}

// ---- IniDocument ----

IniDocument IniDocument::Parse(std::string_view bytes) {
  IniDocument doc;
  std::string utf16Text;
  std::string_view text = bytes;
  bool mixed = false;
  if (bytes.substr(0, 2) == "\xFF\xFE") {
    utf16Text = Utf16ToUtf8(FromUtf16Le(bytes.substr(2)));
    text = utf16Text;
  } else {
    mixed = !IsValidUtf8(text);
  }
  // Byte order marks at the start are dropped, so the text a rewrite produces
  // parses back to the same lines.
  while (text.substr(0, 3) == kUtf8Bom) text.remove_prefix(3);

  // The encoding is decided line by line: one stray byte in a UTF-8 file
  // must not turn the whole file into GB18030. A line that is not UTF-8 is
  // read as GB18030; in a file that also holds UTF-8 text beyond ASCII, such a
  // line keeps its bytes when the file is rewritten (it may be UTF-8 damaged
  // by one byte), as does a line GB18030 cannot decode either. A file that is
  // GB18030 throughout is rewritten as UTF-8.
  bool utf8Beyond = false;
  if (mixed) {
    ForEachLine(text, [&](std::string_view line, std::string_view) {
      if (!utf8Beyond && HasHighByte(line) && IsValidUtf8(line)) utf8Beyond = true;
    });
  }
  bool firstEol = true;
  ForEachLine(text, [&](std::string_view raw, std::string_view eol) {
    Line line;
    line.eol = std::string(eol);
    if (mixed && !IsValidUtf8(raw)) {
      const std::u16string decoded = Gb18030ToUtf16(raw);
      line.text = Utf16ToUtf8(decoded);
      if (utf8Beyond || decoded.find(u'\uFFFD') != std::u16string::npos) line.raw = std::string(raw);
    } else {
      line.text = std::string(raw);
    }
    if (!eol.empty() && firstEol) {
      doc.newline_ = line.eol;
      firstEol = false;
    }
    doc.lines_.push_back(std::move(line));
  });
  return doc;
}

std::string IniDocument::Serialize() const {
  std::string out;
  for (const Line& line : lines_) {
    out += line.raw ? *line.raw : line.text;
    out += line.eol;
  }
  return out;
}

size_t IniDocument::FindSection(std::string_view name) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Parsed p = ParseLine(lines_[i].text);
    if (p.kind == LineKind::kSection && EqualsIgnoreAsciiCase8(p.name, name)) return i;
  }
  return npos;
}

size_t IniDocument::FindKey(size_t section, std::string_view key, size_t* end) const {
  // The first key spelt exactly so; else the first that differs only in the
  // case of A-Z (on Linux "a.mp3" and "A.mp3" are two clips).
  size_t exact = npos;
  size_t folded = npos;
  size_t i = section + 1;
  for (; i < lines_.size(); ++i) {
    const Parsed p = ParseLine(lines_[i].text);
    if (p.kind == LineKind::kSection) break;
    if (p.kind != LineKind::kKey) continue;
    if (exact == npos && p.name == key) exact = i;
    if (folded == npos && EqualsIgnoreAsciiCase8(p.name, key)) folded = i;
  }
  if (end) *end = i;
  return exact != npos ? exact : folded;
}

std::optional<std::u16string> IniDocument::Find(std::u16string_view section, std::u16string_view key) const {
  const size_t s = FindSection(Utf16ToUtf8(section));
  if (s == npos) return std::nullopt;
  const size_t k = FindKey(s, Utf16ToUtf8(key), nullptr);
  if (k == npos) return std::nullopt;
  return Utf8ToUtf16(Unquote(ParseLine(lines_[k].text).value));
}

std::u16string IniDocument::GetString(std::u16string_view section, std::u16string_view key,
                                      std::u16string_view defaultValue) const {
  std::optional<std::u16string> v = Find(section, key);
  return v ? std::move(*v) : std::u16string(defaultValue);
}

int IniDocument::GetInt(std::u16string_view section, std::u16string_view key, int defaultValue) const {
  const std::optional<std::u16string> v = Find(section, key);
  return v ? LeadingInt(*v) : defaultValue;
}

bool IniDocument::IsStorableSection(std::u16string_view section) {
  if (section.empty() || HasLineBreakOrNul(section) || HasOuterBlank(section) || !IsWellFormedUtf16(section)) {
    return false;
  }
  // It must read back as the same section name.
  const std::string line = "[" + Utf16ToUtf8(section) + "]";
  const Parsed p = ParseLine(line);
  return p.kind == LineKind::kSection && p.name == std::string_view(line).substr(1, line.size() - 2);
}

bool IniDocument::IsStorableKey(std::u16string_view key) {
  if (key.empty() || HasLineBreakOrNul(key) || HasOuterBlank(key) || !IsWellFormedUtf16(key)) return false;
  // It must read back as a key line of the same name ("[x]" or ";x" would not).
  const std::string key8 = Utf16ToUtf8(key);
  const std::string line = key8 + "=";
  const Parsed p = ParseLine(line);
  return p.kind == LineKind::kKey && p.name == key8;
}

bool IniDocument::IsStorableValue(std::u16string_view value) {
  return !HasLineBreakOrNul(value) && IsWellFormedUtf16(value);
}

bool IniDocument::SetString(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
  if (!IsStorableSection(section) || !IsStorableKey(key) || !IsStorableValue(value)) return false;
  const std::string key8 = Utf16ToUtf8(key);
  const std::string encoded = EncodeValue(value);

  const size_t s = FindSection(Utf16ToUtf8(section));
  if (s != npos) {
    size_t end = 0;
    const size_t k = FindKey(s, key8, &end);
    if (k != npos) {
      Line& line = lines_[k];
      line.text = line.text.substr(0, ParseLine(line.text).valueStart) + encoded;
      line.raw.reset();
      return true;
    }
    // After the last non-blank line of the section, so blank separator lines stay
    // in front of the next section.
    size_t at = end;
    while (at > s + 1 && Trim(lines_[at - 1].text).empty()) --at;
    if (lines_[at - 1].eol.empty()) lines_[at - 1].eol = newline_;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{key8 + "=" + encoded, newline_, std::nullopt});
    return true;
  }
  if (!lines_.empty()) {
    if (lines_.back().eol.empty()) lines_.back().eol = newline_;
    if (!Trim(lines_.back().text).empty()) lines_.push_back(Line{"", newline_, std::nullopt});
  }
  lines_.push_back(Line{"[" + Utf16ToUtf8(section) + "]", newline_, std::nullopt});
  lines_.push_back(Line{key8 + "=" + encoded, newline_, std::nullopt});
  return true;
}

bool IniDocument::SetInt(std::u16string_view section, std::u16string_view key, int value) {
  return SetString(section, key, IntToU16(value));
}

bool IniDocument::Apply(const IniBatch& batch) {
  bool all = true;
  for (const IniWrite& w : batch.writes()) {
    if (!SetString(w.section, w.key, w.value)) all = false;
  }
  return all;
}

// ---- IniStore ----

bool IniStore::Load(IniDocument* doc, std::string* original) const {
  original->clear();
  *doc = IniDocument();
  std::error_code ec;
  const auto status = std::filesystem::status(path_, ec);
  if (status.type() == std::filesystem::file_type::not_found) return true;
  if (ec || !ReadWholeFile(path_, original)) return false;
  *doc = IniDocument::Parse(*original);
  return true;
}

IniDocument IniStore::Snapshot() const {
  IniDocument doc;
  std::string original;
  Load(&doc, &original);
  return doc;
}

std::u16string IniStore::GetString(std::u16string_view section, std::u16string_view key,
                                   std::u16string_view defaultValue) const {
  return Snapshot().GetString(section, key, defaultValue);
}

int IniStore::GetInt(std::u16string_view section, std::u16string_view key, int defaultValue) const {
  return Snapshot().GetInt(section, key, defaultValue);
}

bool IniStore::Commit(const IniDocument& doc, const std::string& original) {
  const std::string bytes = doc.Serialize();
  if (bytes == original) return true;  // nothing changed, not even the encoding
  std::string why;
  if (!WriteFileAtomically(path_, bytes, &why)) {
    lastError_ = why;
    return false;
  }
  return true;
}

bool IniStore::SetString(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
  IniBatch batch;
  batch.SetString(section, key, value);
  return Write(batch);
}

bool IniStore::SetInt(std::u16string_view section, std::u16string_view key, int value) {
  return SetString(section, key, IntToU16(value));
}

bool IniStore::Write(const IniBatch& batch) {
  lastError_.clear();
  IniDocument doc;
  std::string original;
  if (!Load(&doc, &original)) {
    lastError_ = "cannot read " + path_.string() + "; left as it is";
    return false;
  }
  const bool allStored = doc.Apply(batch);
  if (!allStored) lastError_ = "a section, key or value cannot be stored in an INI file";
  // A refused write leaves the document as it was; the others are committed.
  const bool written = Commit(doc, original);
  return allStored && written;
}

}  // namespace aurisona
