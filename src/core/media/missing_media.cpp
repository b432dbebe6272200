#include "core/media/missing_media.h"

#include <algorithm>
#include <set>

#include "core/util/text.h"

namespace aurisona {

std::vector<MissingMedia> FindMissingMedia(const std::vector<Segment>& segments, const MediaLists& lists) {
  std::vector<MissingMedia> missing;
  std::set<std::pair<bool, std::u16string>> seen;
  for (const Segment& s : segments) {
    if (s.kind != kSegMusic && s.kind != kSegRecording) continue;
    const bool music = s.kind == kSegMusic;
    const auto& list = music ? lists.music : lists.recordings;
    if (std::find(list.begin(), list.end(), s.text) != list.end()) continue;
    if (!seen.emplace(music, s.text).second) continue;
    missing.push_back(MissingMedia{s.text, music, s.start});
  }
  return missing;
}

std::string MissingMediaNames(const std::vector<MissingMedia>& missing) {
  std::string line;
  for (const MissingMedia& m : missing) {
    if (!line.empty()) line += "; ";
    std::string name = Utf16ToUtf8(m.name);
    for (char& c : name) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    }
    line += name + (m.music ? " (music)" : " (recording)");
  }
  return line;
}

}  // namespace aurisona
