#include "core/output/subtitles.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/util/atomic_file.h"
#include "core/util/text.h"

namespace aurisona {

namespace {

// One line of subtitle text: no line breaks or control characters, and none
// of the characters a format gives a meaning (full-width look-alikes instead).
std::string SubtitleLine(std::u16string_view text, bool lrc) {
  std::u16string out;
  for (char16_t c : text) {
    // C0 and C1 controls (NEXT LINE, U+0085, among them) and the Unicode line breaks.
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029) c = u' ';
    if (lrc && c == u'[') c = u'［';
    if (lrc && c == u']') c = u'］';
    if (!lrc && c == u'<') c = u'＜';
    if (!lrc && c == u'>') c = u'＞';
    if (!lrc && c == u'{') c = u'｛';
    if (!lrc && c == u'}') c = u'｝';
    out.push_back(c);
  }
  std::string utf8 = Utf16ToUtf8(out);
  // An arrow would read as a cue's time line.
  for (size_t at = utf8.find("-->"); at != std::string::npos; at = utf8.find("-->", at)) utf8.replace(at, 3, "→");
  return utf8;
}

int64_t Centiseconds(double seconds) { return std::llround(std::max(seconds, 0.0) * 100.0); }
int64_t Milliseconds(double seconds) { return std::llround(std::max(seconds, 0.0) * 1000.0); }

std::string SrtTime(int64_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld,%03lld", static_cast<long long>(ms / 3600000),
                static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                static_cast<long long>(ms % 1000));
  return text;
}

std::vector<const SentenceTime*> Sentences(const Timeline& timeline) {
  std::vector<const SentenceTime*> out;
  for (const TimelineEntry& e : timeline.entries) {
    for (const SentenceTime& s : e.sentences) out.push_back(&s);
  }
  return out;
}

std::filesystem::path WithEnding(const std::filesystem::path& mp3, const char* ending) {
  std::filesystem::path p = mp3;
  p.replace_extension(ending);
  return p;
}

}  // namespace

std::string LrcText(const Timeline& timeline, std::u16string_view title) {
  std::string out;
  if (!title.empty()) out += "[ti:" + SubtitleLine(title, true) + "]\n";
  for (const SentenceTime* s : Sentences(timeline)) {
    const int64_t cs = Centiseconds(s->start);
    char tag[32];
    std::snprintf(tag, sizeof tag, "[%02lld:%02lld.%02lld]", static_cast<long long>(cs / 6000),
                  static_cast<long long>(cs / 100 % 60), static_cast<long long>(cs % 100));
    out += tag + SubtitleLine(s->text, true) + "\n";
  }
  return out;
}

std::string SrtText(const Timeline& timeline) {
  std::string out;
  const std::vector<const SentenceTime*> all = Sentences(timeline);
  for (size_t k = 0; k < all.size(); ++k) {
    const int64_t start = Milliseconds(all[k]->start);
    int64_t end = std::max(Milliseconds(all[k]->end), start + 1);
    if (k + 1 < all.size()) end = std::max(std::min(end, Milliseconds(all[k + 1]->start)), start + 1);
    out += std::to_string(k + 1) + "\n" + SrtTime(start) + " --> " + SrtTime(end) + "\n" +
           SubtitleLine(all[k]->text, false) + "\n\n";
  }
  return out;
}

std::filesystem::path LrcPathFor(const std::filesystem::path& mp3) { return WithEnding(mp3, ".lrc"); }
std::filesystem::path SrtPathFor(const std::filesystem::path& mp3) { return WithEnding(mp3, ".srt"); }

bool WriteSubtitles(const std::filesystem::path& mp3, const Timeline& timeline, std::u16string_view title, bool lrc,
                    bool srt, std::string* error) {
  if (lrc && !WriteFileAtomically(LrcPathFor(mp3), LrcText(timeline, title), error)) return false;
  if (srt && !WriteFileAtomically(SrtPathFor(mp3), SrtText(timeline), error)) return false;
  return true;
}

}  // namespace aurisona
