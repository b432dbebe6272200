#include "core/script/compiler.h"

#include <algorithm>
#include <array>

#include "core/reading/read_aloud.h"

namespace aurisona {
namespace {

constexpr std::u16string_view kSentenceEnds = u"\u3002\uFF1F\uFF01\uFF1B";

constexpr std::u16string_view kIgnorable =
    u"\u3000\uFF0C\u3001\uFF1A\u2026\u2014\u2013\u00B7\u02C9\u00A8\u2018\u2019\u201C\u201D"
    u"\uFF5E\u2016\u2236\uFF02\uFF07\uFF40\uFF5C\u3003\u3014\u3015\u3008\u3009\u300A\u300B"
    u"\u300C\u300D\u300E\u300F\u3016\u3017\u3010\u3011\uFF08\uFF09\uFF3B\uFF3D\uFF5B\uFF5D";

static_assert(kIgnorable.size() == 42);

constexpr std::u16string_view kNoReadMessage =
    u"发现一个不适当的禁止朗读标记，软件将自动清除该标记！";
constexpr std::u16string_view kRepeatMessage = u"发现一个不适当的重复标记，软件将自动清除该标记！";
constexpr std::u16string_view kRepeatCountMessage = u"发现一个重复次数过大的重复标记，软件已将次数改为99！";

class Compiler {
 public:
  Compiler(ScriptDocument& doc, const MediaLists& media, std::vector<Segment>& out,
           const CompilerReport& report)
      : doc_(doc), media_(media), out_(out), report_(report), text_(doc.Text(0, -1)) {}

  void Run() {
    const int length = static_cast<int>(text_.size());
    for (int i = 0; i < length; ++i) {
      const char16_t c = text_[static_cast<size_t>(i)];
      if (IsSentenceEnd(c)) {
        Break(i);
        continue;
      }
      if (IsIgnorablePunctuation(c)) continue;
      if (IsChineseCharacter(c)) chinese_ = 1;
      if (c == u'.' && (IsDecimalPoint(i) || IsAbbreviationPoint(text_, static_cast<size_t>(i)))) {
        // "3.5", "$2.50", "10.30": the number is read whole; "Mr. Smith", "9 a.m. to"
        // and "e.g. this" go on too.
      } else if (c == u'.' || c == u'?' || c == u'!' || c == u';' || c == u'"') {
        Break(i);
      } else if (c == u'\r' || c == u'\n') {
        if (i + 1 < length) {
          const char16_t next = text_[static_cast<size_t>(i) + 1];
          if ((c == u'\r' && next == u'\n') || (c == u'\n' && next == u'\r')) ++i;
        }
        Break(i);
      } else if (c == kMarkChar) {
        if (const auto record = doc_.MarkAt(i)) i = HandleMark(i, *record);
      }
    }
    if (length > start_) Flush(start_, length);
  }

 private:
  // A "." with an ASCII digit on both sides.
  bool IsDecimalPoint(int i) const {
    auto digit = [](char16_t d) { return d >= u'0' && d <= u'9'; };
    return i > 0 && static_cast<size_t>(i) + 1 < text_.size() &&
           digit(text_[static_cast<size_t>(i) - 1]) && digit(text_[static_cast<size_t>(i) + 1]);
  }

  // A break character at i ends the run there, itself included.
  void Break(int i) {
    if (i > start_) {
      Flush(start_, i + 1);
      start_ = i + 1;
      chinese_ = 0;
    }
  }

  // Replaces the faulty mark at i by a space, in the document and in the copy.
  void Remove(int i, CompilerMessage message) {
    if (report_) report_(message, i);
    doc_.SetSelection(i, i + 1);
    doc_.ReplaceSelection(u" ", true);
    text_[static_cast<size_t>(i)] = u' ';
  }

  void Append(int32_t kind, int32_t param, int i, std::u16string text = {}) {
    out_.push_back(Segment{kind, param, 0, i, i + 1, std::move(text)});
  }

  // Handles the mark at i; returns the index the walk continues from (its
  // loop then steps past it).
  int HandleMark(int i, const MarkRecord& record) {
    if (i > start_) Flush(start_, i);
    start_ = i + 1;
    chinese_ = 0;
    switch (record.kind) {
      case kMarkMale:
      case kMarkFemale:
      case kMarkMale1:
      case kMarkFemale1:
        voice_ = record.kind;
        text_[static_cast<size_t>(i)] = u' ';
        start_ = i;
        break;
      case kMarkPromptTone:
        Append(kSegPromptTone, 0, i);
        break;
      case kMarkNoReadBegin:
        return NoReadSpan(i);
      case kMarkNoReadEnd:
        Remove(i, CompilerMessage::kFaultyNoReadMark);
        break;
      case kMarkRepeatBegin:
      case kMarkAltRepeatBegin:
        RepeatBegin(i, record);
        break;
      case kMarkRepeatEnd:
      case kMarkAltRepeatEnd:
        RepeatEnd(i, record.kind == kMarkRepeatEnd);
        break;
      case kMarkMusic:
        Music(i, record.param);
        break;
      case kMarkRecording:
        if (const std::u16string* name = media_.RecordingName(record.param)) Append(kSegRecording, 0, i, *name);
        break;
      case kMarkPause:
        Pause(i, record.param);
        break;
      default:
        break;
    }
    return i;
  }

  // A repeat opens while no other is open; a count over the limit is capped in the
  // document too.
  void RepeatBegin(int i, const MarkRecord& record) {
    if (sameOpen_ || altOpen_) {
      Remove(i, CompilerMessage::kFaultyRepeatMark);
      return;
    }
    count_ = std::max(record.param, 2);
    if (count_ > kMaxRepeatCount) {
      count_ = kMaxRepeatCount;
      if (report_) report_(CompilerMessage::kRepeatCountCapped, i);
      doc_.SetSelection(i, i + 1);
      doc_.InsertMark(MarkRecord{record.kind, count_}, true);
    }
    const bool same = record.kind == kMarkRepeatBegin;
    Append(same ? kSegRepeatBegin : kSegAltRepeatBegin, count_, i);
    (same ? sameOpen_ : altOpen_) = true;
  }

  // An end closes the open repeat of its own kind only.
  void RepeatEnd(int i, bool same) {
    bool& open = same ? sameOpen_ : altOpen_;
    const bool other = same ? altOpen_ : sameOpen_;
    if (!open || other) {
      Remove(i, CompilerMessage::kFaultyRepeatMark);
      return;
    }
    Append(same ? kSegRepeatEnd : kSegAltRepeatEnd, count_, i);
    open = false;
  }

  // A name in neither list stays itself: the clip is missing, not replaced.
  void Music(int i, int32_t index) {
    const std::u16string* name = media_.MusicName(index);
    if (!name) return;
    const bool listed = index >= 0 && static_cast<size_t>(index) < media_.music.size();
    const int32_t playTime = listed ? media_.PlayTimeAt(static_cast<size_t>(index)) : media_.PlayTimeOf(*name);
    Append(kSegMusic, playTime, i, *name);
  }

  // Codes below 10 are tenths of a second, from 10 on whole seconds (10 is one second).
  // Wide arithmetic: a damaged record may hold any code.
  void Pause(int i, int32_t code) {
    const long long ms = code < 10 ? code * 100LL : (code - 9LL) * 1000LL;
    Append(static_cast<int32_t>(std::clamp<long long>(ms, kMinPauseMs, kMaxPauseMs)), 0, i);
  }

  // A no-read begin at i: everything up to its end mark is skipped.
  int NoReadSpan(int i) {
    const int length = static_cast<int>(text_.size());
    for (int j = i + 1; j < length; ++j) {
      if (text_[static_cast<size_t>(j)] != kMarkChar) continue;
      const auto record = doc_.MarkAt(j);
      if (!record) continue;
      if (record->kind == kMarkNoReadBegin) {
        Remove(j, CompilerMessage::kFaultyNoReadMark);
      } else if (record->kind == kMarkNoReadEnd) {
        Append(kSegNoReadBegin, 0, i);
        Append(kSegNoReadEnd, 0, j);
        start_ = j + 1;
        return j;
      }
    }
    return i;
  }

  bool IsBlankRun(std::u16string_view run) const {
    return std::all_of(run.begin(), run.end(), [](char16_t c) {
      return c == u' ' || c == u'\r' || c == u'\n' || IsIgnorablePunctuation(c);
    });
  }

  void Flush(int a, int b) {
    std::u16string run;
    if (b > a) run = text_.substr(static_cast<size_t>(a), static_cast<size_t>(b - a));
    if (!out_.empty()) {
      Segment& last = out_.back();
      if (last.kind == kSegSpeech && last.param == voice_ && last.chinese == chinese_) {
        // Runs are joined by one blank: the next run usually starts with its own.
        auto blank = [](char16_t c) { return c == u' ' || c == u'\r' || c == u'\n'; };
        if (run.empty() || last.text.empty() || !(blank(run.front()) || blank(last.text.back()))) {
          last.text.push_back(u' ');
        }
        last.text += run;
        last.end += static_cast<int32_t>(run.size());
        return;
      }
    }
    if (run.empty() || IsBlankRun(run)) return;
    const int32_t runEnd = a + static_cast<int32_t>(run.size());
    out_.push_back(Segment{kSegSpeech, voice_, chinese_, a, runEnd, std::move(run)});
  }

  ScriptDocument& doc_;
  const MediaLists& media_;
  std::vector<Segment>& out_;
  const CompilerReport& report_;
  std::u16string text_;  // working copy: voice marks and removed marks become spaces
  int32_t voice_ = 0;
  int32_t chinese_ = 0;
  int start_ = 0;
  bool sameOpen_ = false;
  bool altOpen_ = false;
  int32_t count_ = 2;
};

}  // namespace

bool IsSentenceEnd(char16_t c) { return kSentenceEnds.find(c) != std::u16string_view::npos; }
bool IsIgnorablePunctuation(char16_t c) { return kIgnorable.find(c) != std::u16string_view::npos; }
bool IsChineseCharacter(char16_t c) { return c >= 0x4E00 && c <= 0x9FA5; }

std::u16string_view CompilerMessageText(CompilerMessage message) {
  switch (message) {
    case CompilerMessage::kFaultyNoReadMark:
      return kNoReadMessage;
    case CompilerMessage::kFaultyRepeatMark:
      return kRepeatMessage;
    case CompilerMessage::kRepeatCountCapped:
      return kRepeatCountMessage;
  }
  return kRepeatMessage;
}

void ScriptCompiler(ScriptDocument& doc, const MediaLists& media, std::vector<Segment>& segments,
                    const CompilerReport& report) {
  Compiler(doc, media, segments, report).Run();
}

}  // namespace aurisona
