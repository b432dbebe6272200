#include "core/script/marks.h"

#include <cstdio>

#include "core/util/text.h"

namespace aurisona {
namespace {

constexpr MarkKindInfo kMarkKinds[] = {
    {kMarkMale, "male", u"<男>"},
    {kMarkFemale, "female", u"<女>"},
    {kMarkMale1, "male1", u"<男1>"},
    {kMarkFemale1, "female1", u"<女1>"},
    {kMarkPromptTone, "prompt-tone", u"<提示音>"},
    {kMarkNoReadBegin, "no-read-begin", u"<禁读>"},
    {kMarkNoReadEnd, "no-read-end", u"<结束>"},
    {kMarkRepeatBegin, "repeat-begin", u"<重复1:"},
    {kMarkRepeatEnd, "repeat-end", u"<结束1>"},
    {kMarkAltRepeatBegin, "alt-repeat-begin", u"<重复2:"},
    {kMarkAltRepeatEnd, "alt-repeat-end", u"<结束2>"},
    {kMarkMusic, "music", u"<音乐:"},
    {kMarkRecording, "recording", u"<录音:"},
    {kMarkPause, "pause", u"<暂停"},
};

}  // namespace

const MarkKindInfo* FindMarkKind(int32_t kind) {
  for (const auto& info : kMarkKinds) {
    if (info.kind == kind) return &info;
  }
  return nullptr;
}

bool IsKnownMarkKind(int32_t kind) { return FindMarkKind(kind) != nullptr; }

bool IsValidPauseCode(int code) { return code >= kMinPauseCode && code <= kMaxPauseCode; }

int PauseCodeToMilliseconds(int code) { return code < 10 ? code * 100 : (code - 9) * 1000; }

std::optional<int> PauseCodeFromSeconds(double seconds) {
  // NaN fails both comparisons and is refused too.
  if (!(seconds >= 0.1 && seconds <= 30.0)) return std::nullopt;
  if (seconds < 1.0) {
    // Whole tenths; a small tolerance keeps 0.7 (0.69999...) at 7.
    int tenths = static_cast<int>(seconds * 10.0 + 1e-9);
    if (tenths < 1) tenths = 1;
    return tenths;
  }
  return static_cast<int>(seconds) + 9;
}

std::u16string PauseTag(int code) {
  if (code < 10) return u"<暂停0." + IntToU16(code) + u"秒>";
  return u"<暂停" + IntToU16(code - 9) + u"秒>";
}

}  // namespace aurisona
