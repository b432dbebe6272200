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

  // Names that tags gave for clips and recordings that are in neither list.
  // A mark for one holds a negative param, -1 - its index here, so that it
  // keeps its name instead of standing for another clip. They only grow, like
  // the mark records, and reading a tag may add to them: that is why they can
  // change on a const MediaLists.
  mutable std::vector<std::u16string> missingMusic;
  mutable std::vector<std::u16string> missingRecordings;

  // Play time of music entry `index`; 0 when the play-time list is shorter.
  int32_t PlayTimeAt(size_t index) const { return index < playTimes.size() ? playTimes[index] : 0; }

  // The name a music or recording mark stands for: its list entry, its missing
  // name (a negative param), the first entry for an index past the list;
  // nullptr when there is none.
  const std::u16string* MusicName(int32_t param) const;
  const std::u16string* RecordingName(int32_t param) const;

  // The param of a mark for a name that is in neither list.
  int32_t MissingMusicParam(const std::u16string& name) const;
  int32_t MissingRecordingParam(const std::u16string& name) const;

  // The play time of the music entry of that exact name; 0 when there is none.
  int32_t PlayTimeOf(const std::u16string& name) const;
};

}  // namespace aurisona
