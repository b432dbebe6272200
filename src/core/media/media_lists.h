// The media lists the script reads and writes by name: music clips with their
// play times, and recordings. Control marks hold indices into these lists.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace aurisona {

struct MediaLists {
  std::vector<std::u16string> music;      // file names in the Music folder
  std::vector<int32_t> playTimes;         // seconds per music entry, 0 = whole clip
  std::vector<std::u16string> recordings; // file names in the Record folder

  // Play time of music entry `index`; 0 when the play-time list is shorter.
  int32_t PlayTimeAt(size_t index) const { return index < playTimes.size() ? playTimes[index] : 0; }
};

}  // namespace aurisona
