#include "core/script/tagged_text.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

#include "core/util/text.h"

namespace aurisona {
namespace {

bool StartsWith(std::u16string_view text, size_t at, std::u16string_view what) {
  return text.size() >= at && text.size() - at >= what.size() && text.compare(at, what.size(), what) == 0;
}

// The position of the first '>' at offsets [from, to] after `at`, or npos.
size_t FindClose(std::u16string_view text, size_t at, size_t from, size_t to) {
  for (size_t k = from; k <= to && at + k < text.size(); ++k) {
    if (text[at + k] == u'>') return at + k;
  }
  return std::u16string_view::npos;
}

// What the C library skips before a number (isspace in the "C" locale).
bool IsBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

// The decimal integer at the start of `s` as strtol reads it: blanks, a sign,
// digits; saturated at the int range; 0 when there is none.
int32_t ReadInteger(std::u16string_view s) {
  size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == u'-' || s[i] == u'+')) negative = s[i++] == u'-';
  int64_t value = 0;
  while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
    value = std::min<int64_t>(value * 10 + (s[i] - u'0'), int64_t{1} << 31);
    ++i;
  }
  if (negative) value = -value;
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// A decimal floating-point number at `pos` (leading blanks skipped), as the C
// library reads one: sign, digits, a fraction, an exponent.
std::optional<double> ReadDecimal(std::u16string_view text, size_t pos) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  std::string digits;
  if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) digits.push_back(static_cast<char>(text[pos++]));
  bool any = false;
  while (pos < text.size() && IsDigit(text[pos]) && digits.size() < 64) {
    digits.push_back(static_cast<char>(text[pos++]));
    any = true;
  }
  if (pos < text.size() && text[pos] == u'.') {
    digits.push_back('.');
    ++pos;
    while (pos < text.size() && IsDigit(text[pos]) && digits.size() < 64) {
      digits.push_back(static_cast<char>(text[pos++]));
      any = true;
    }
  }
  if (!any) return std::nullopt;
  if (pos + 1 < text.size() && (text[pos] == u'e' || text[pos] == u'E')) {
    size_t q = pos + 1;
    std::string exponent = "e";
    if (q < text.size() && (text[q] == u'+' || text[q] == u'-')) exponent.push_back(static_cast<char>(text[q++]));
    if (q < text.size() && IsDigit(text[q])) {
      while (q < text.size() && IsDigit(text[q]) && exponent.size() < 8) exponent.push_back(static_cast<char>(text[q++]));
      digits += exponent;
    }
  }
  return std::strtod(digits.c_str(), nullptr);
}

// The list entry a media tag names, and the length of the name. `rest` is the
// text after the colon, `window` the most characters the name may take. The
// name runs to a ">"; as a file name may hold ">" itself, an entry followed by
// one matches wherever it ends, the longest first, spelt exactly before
// ignoring the case of A-Z ("a.mp3" and "A.mp3" can both exist). Nothing when
// no entry is named there: the clip is missing, and no other stands for it.
struct NameMatch {
  int32_t index = 0;
  size_t length = 0;
};
std::optional<NameMatch> FindByName(const std::vector<std::u16string>& list, std::u16string_view rest,
                                    size_t window) {
  std::optional<NameMatch> best;
  for (const bool exact : {true, false}) {
    for (size_t k = 0; k < list.size(); ++k) {
      const std::u16string& name = list[k];
      if (name.empty() || name.size() >= rest.size() || name.size() > window || rest[name.size()] != u'>') continue;
      const std::u16string_view head = rest.substr(0, name.size());
      if (!(exact ? head == name : EqualsIgnoreAsciiCase(head, name))) continue;
      if (!best || name.size() > best->length) best = NameMatch{static_cast<int32_t>(k), name.size()};
    }
    if (best) return best;
  }
  return std::nullopt;
}

struct Token {
  size_t length = 0;                 // characters consumed
  std::optional<MarkRecord> record;  // no record: the tag is dropped
};

struct FixedTag {
  std::u16string_view tag;
  int32_t kind;
};

// Tags matched exactly, in the order they are tried.
constexpr FixedTag kFixedTags[] = {
    {kTagMale, kMarkMale},           {kTagFemale, kMarkFemale},
    {kTagMale1, kMarkMale1},         {kTagFemale1, kMarkFemale1},
    {u"<M>", kMarkMale},             {u"<m>", kMarkMale},
    {u"<W>", kMarkFemale},           {u"<w>", kMarkFemale},
};

constexpr FixedTag kLaterFixedTags[] = {
    {kTagRepeatEnd, kMarkRepeatEnd},     {kTagAltRepeatEnd, kMarkAltRepeatEnd},
    {kTagNoReadBegin, kMarkNoReadBegin}, {kTagNoReadEnd, kMarkNoReadEnd},
};

std::optional<Token> MatchMedia(std::u16string_view text, size_t i, std::u16string_view emptyTag,
                                std::u16string_view prefix, int32_t kind, const MediaLists& media) {
  const std::vector<std::u16string>& list = kind == kMarkMusic ? media.music : media.recordings;
  if (StartsWith(text, i, emptyTag)) return Token{emptyTag.size(), MarkRecord{kind, 0}};
  if (!StartsWith(text, i, prefix)) return std::nullopt;
  const size_t close = FindClose(text, i, 6, 259);
  if (close == std::u16string_view::npos) return std::nullopt;
  const size_t nameAt = i + prefix.size();
  if (const auto match = FindByName(list, text.substr(nameAt), 259 - prefix.size())) {
    return Token{prefix.size() + match->length + 1, MarkRecord{kind, match->index}};
  }
  const std::u16string name(text.substr(nameAt, close - nameAt));
  const int32_t param = kind == kMarkMusic ? media.MissingMusicParam(name) : media.MissingRecordingParam(name);
  return Token{close - i + 1, MarkRecord{kind, param}};
}

std::optional<Token> MatchRepeat(std::u16string_view text, size_t i, std::u16string_view prefix,
                                 int32_t kind) {
  if (!StartsWith(text, i, prefix)) return std::nullopt;
  const size_t close = FindClose(text, i, 6, 19);
  if (close == std::u16string_view::npos) return std::nullopt;
  int count = ReadInteger(text.substr(i + prefix.size(), close - i - prefix.size()));
  if (count < 2) count = 2;
  return Token{close - i + 1, MarkRecord{kind, count}};
}

std::optional<Token> MatchTag(std::u16string_view text, size_t i, const MediaLists& media) {
  for (const auto& fixed : kFixedTags) {
    if (StartsWith(text, i, fixed.tag)) return Token{fixed.tag.size(), MarkRecord{fixed.kind, 0}};
  }
  if (StartsWith(text, i, kTagPausePrefix)) {
    const size_t close = FindClose(text, i, 5, 11);
    if (close != std::u16string_view::npos) {
      const auto seconds = ReadDecimal(text.substr(0, close), i + kTagPausePrefix.size());
      const auto code = seconds ? PauseCodeFromSeconds(*seconds) : std::nullopt;
      if (!code) return Token{close - i + 1, std::nullopt};
      return Token{close - i + 1, MarkRecord{kMarkPause, *code}};
    }
  }
  if (StartsWith(text, i, kTagPromptTone)) return Token{kTagPromptTone.size(), MarkRecord{kMarkPromptTone, 0}};
  if (auto t = MatchMedia(text, i, kTagMusicEmpty, kTagMusicPrefix, kMarkMusic, media)) return t;
  if (auto t = MatchMedia(text, i, kTagRecordingEmpty, kTagRecordingPrefix, kMarkRecording, media)) return t;
  if (auto t = MatchRepeat(text, i, kTagRepeatPrefix, kMarkRepeatBegin)) return t;
  if (auto t = MatchRepeat(text, i, kTagAltRepeatPrefix, kMarkAltRepeatBegin)) return t;
  for (const auto& fixed : kLaterFixedTags) {
    if (StartsWith(text, i, fixed.tag)) return Token{fixed.tag.size(), MarkRecord{fixed.kind, 0}};
  }
  return std::nullopt;
}

}  // namespace

std::u16string TagFor(const MarkRecord& record, const MediaLists& media) {
  switch (record.kind) {
    case kMarkMale: return std::u16string(kTagMale);
    case kMarkFemale: return std::u16string(kTagFemale);
    case kMarkMale1: return std::u16string(kTagMale1);
    case kMarkFemale1: return std::u16string(kTagFemale1);
    case kMarkPromptTone: return std::u16string(kTagPromptTone);
    case kMarkNoReadBegin: return std::u16string(kTagNoReadBegin);
    case kMarkNoReadEnd: return std::u16string(kTagNoReadEnd);
    case kMarkRepeatBegin: return std::u16string(kTagRepeatPrefix) + IntToU16(record.param) + u">";
    case kMarkRepeatEnd: return std::u16string(kTagRepeatEnd);
    case kMarkAltRepeatBegin: return std::u16string(kTagAltRepeatPrefix) + IntToU16(record.param) + u">";
    case kMarkAltRepeatEnd: return std::u16string(kTagAltRepeatEnd);
    case kMarkMusic: {
      const std::u16string* name = media.MusicName(record.param);
      if (!name) return std::u16string(kTagMusicEmpty);
      return std::u16string(kTagMusicPrefix) + *name + u">";
    }
    case kMarkRecording: {
      const std::u16string* name = media.RecordingName(record.param);
      if (!name) return std::u16string(kTagRecordingEmpty);
      return std::u16string(kTagRecordingPrefix) + *name + u">";
    }
    case kMarkPause: return PauseTag(record.param);
    default: return {};
  }
}

std::u16string TaggedTextWriter(const ScriptDocument& doc, const MediaLists& media, int start, int end) {
  const int length = doc.Length();
  if (end < 0 || end > length) end = length;
  if (start < 0) start = 0;
  if (end <= start) return {};
  const std::u16string text = doc.Text(start, end);
  std::u16string out;
  out.reserve(text.size() + text.size() / 4);
  size_t pending = 0;
  for (size_t k = 0; k < text.size(); ++k) {
    if (text[k] != kMarkChar) continue;
    const auto record = doc.MarkAt(start + static_cast<int>(k));
    if (!record || !IsKnownMarkKind(record->kind)) continue;
    out.append(text, pending, k - pending);
    out += TagFor(*record, media);
    pending = k + 1;
  }
  out.append(text, pending, std::u16string::npos);
  return out;
}

void TaggedTextReader(ScriptDocument& doc, const MediaLists& media, std::u16string_view text,
                      bool scrollToTop, bool undoable) {
  size_t pending = 0;
  auto flush = [&](size_t upTo) {
    if (upTo > pending) doc.ReplaceSelection(text.substr(pending, upTo - pending), undoable);
  };
  for (size_t i = 0; i < text.size();) {
    const char16_t c = text[i];
    std::optional<Token> token;
    if ((c == u'M' || c == u'm') && i + 1 < text.size() && text[i + 1] == u':') {
      token = Token{2, MarkRecord{kMarkMale, 0}};
    } else if ((c == u'W' || c == u'w') && i + 1 < text.size() && text[i + 1] == u':') {
      token = Token{2, MarkRecord{kMarkFemale, 0}};
    } else if (c == u'<') {
      token = MatchTag(text, i, media);
    }
    if (!token) {
      ++i;
      continue;
    }
    flush(i);
    if (token->record) doc.InsertMark(*token->record, undoable);
    i += token->length;
    pending = i;
  }
  flush(text.size());
  if (scrollToTop) doc.ScrollToTop();
}

}  // namespace aurisona
