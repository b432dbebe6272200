#include "core/media/media_library.h"

#include "core/media/sound_files.h"
#include "core/settings/settings_keys.h"

namespace aurisona {

MediaLibrary::MediaLibrary(DataDirectory dir) : MediaLibrary(dir, IniStore(dir.SetupIni())) {}

MediaLibrary::MediaLibrary(DataDirectory dir, IniStore store) : dir_(std::move(dir)), store_(std::move(store)) {}

void MediaLibrary::Build() {
  const IniDocument settings = store_.Snapshot();

  ListSoundFiles(dir_.Music(), &lists_.music);
  lists_.playTimes.clear();
  for (const std::u16string& name : lists_.music) {
    lists_.playTimes.push_back(settings.GetInt(kPlayTimeSection, name, 0));
  }
  ListSoundFiles(dir_.Record(), &lists_.recordings);

  int index = settings.GetInt(kSettingsSection, setting_keys::kPromptTone,
                              SettingIntDefault(setting_keys::kPromptTone));
  ListSoundFiles(dir_.Sound(), &tones_);
  if (tones_.empty()) {
    promptToneIndex_ = -1;
    currentPromptTone_.clear();
    return;
  }
  if (index < 0 || static_cast<size_t>(index) >= tones_.size()) index = 0;
  promptToneIndex_ = index;
  currentPromptTone_ = MediaFilePath(dir_.Sound(), tones_[static_cast<size_t>(index)]);
}

bool MediaLibrary::ChooseTone(int index, bool* saved) {
  if (index < 0 || static_cast<size_t>(index) >= tones_.size()) return false;
  promptToneIndex_ = index;
  currentPromptTone_ = MediaFilePath(dir_.Sound(), tones_[static_cast<size_t>(index)]);
  const bool ok = store_.SetInt(kSettingsSection, setting_keys::kPromptTone, index);
  if (saved) *saved = ok;
  return true;
}

bool MediaLibrary::SetPlayTime(size_t musicIndex, int seconds, bool* saved) {
  if (musicIndex >= lists_.music.size()) return false;
  if (lists_.playTimes.size() < lists_.music.size()) lists_.playTimes.resize(lists_.music.size(), 0);
  lists_.playTimes[musicIndex] = seconds;
  const bool ok = store_.SetInt(kPlayTimeSection, lists_.music[musicIndex], seconds);
  if (saved) *saved = ok;
  return true;
}

std::filesystem::path MediaLibrary::MusicPath(size_t index) const {
  if (index >= lists_.music.size()) return {};
  return MediaFilePath(dir_.Music(), lists_.music[index]);
}

std::filesystem::path MediaLibrary::RecordingPath(size_t index) const {
  if (index >= lists_.recordings.size()) return {};
  return MediaFilePath(dir_.Record(), lists_.recordings[index]);
}

}  // namespace aurisona
