// Clips and recordings a compiled script names that are not there.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/media/media_lists.h"
#include "core/script/compiler.h"

namespace aurisona {

struct MissingMedia {
  std::u16string name;
  bool music = true;      // else a recording
  int32_t position = 0;   // of the first mark that names it
};

// The music and recording segments whose name is in neither list, once per
// name, in script order.
std::vector<MissingMedia> FindMissingMedia(const std::vector<Segment>& segments, const MediaLists& lists);

// The message shown before the names of missing clips and recordings.
inline constexpr std::u16string_view kMediaMissingMessage = u"找不到以下音乐或录音文件：";

// "intro.mp3 (music); talk.wav (recording)", control characters as "?".
std::string MissingMediaNames(const std::vector<MissingMedia>& missing);

}  // namespace aurisona
