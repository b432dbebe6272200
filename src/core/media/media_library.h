// The media the main window keeps for its lifetime: the music list with its
// play times, the recording list, the tone list and the current prompt tone.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/media/data_directory.h"
#include "core/media/media_lists.h"
#include "core/settings/ini_store.h"

namespace aurisona {

class MediaLibrary {
 public:
  // Works on the data directory's folders and its setup.ini.
  explicit MediaLibrary(DataDirectory dir);
  // The same with another settings store.
  MediaLibrary(DataDirectory dir, IniStore store);

  // Lists Music (with each clip's play time from section "音乐播放时间",
  // default 0), Record and Sound, and sets up the prompt tone from key "提示音"
  // (default 0): no tones gives index -1 and no current tone; an index outside
  // the tone list gives 0, without rewriting setup.ini.
  void Build();

  // Makes tone `index` the current prompt tone and writes the index to
  // setup.ini at once. Out of range: nothing happens and false is returned.
  // *saved (when given) tells whether the write succeeded.
  bool ChooseTone(int index, bool* saved = nullptr);

  // Sets the play time of music entry `musicIndex` and writes it ("%d") under
  // the clip's name at once. Out of range: nothing happens, false.
  bool SetPlayTime(size_t musicIndex, int seconds, bool* saved = nullptr);

  const DataDirectory& directory() const { return dir_; }
  IniStore& store() { return store_; }

  MediaLists& lists() { return lists_; }
  const MediaLists& lists() const { return lists_; }
  const std::vector<std::u16string>& tones() const { return tones_; }
  int promptToneIndex() const { return promptToneIndex_; }
  // The Sound folder path of the current tone; empty when there is none.
  const std::filesystem::path& currentPromptTone() const { return currentPromptTone_; }

  // Paths of list entries in their folders; empty for an index out of range.
  std::filesystem::path MusicPath(size_t index) const;
  std::filesystem::path RecordingPath(size_t index) const;

 private:
  DataDirectory dir_;
  IniStore store_;
  MediaLists lists_;
  std::vector<std::u16string> tones_;
  int promptToneIndex_ = -1;
  std::filesystem::path currentPromptTone_;
};

}  // namespace aurisona
