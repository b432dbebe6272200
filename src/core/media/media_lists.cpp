#include "core/media/media_lists.h"

#include <algorithm>

namespace aurisona {
namespace {

const std::u16string* NameFor(const std::vector<std::u16string>& list, const std::vector<std::u16string>& missing,
                              int32_t param) {
  if (param < 0) {
    const size_t k = static_cast<size_t>(-(int64_t{param} + 1));
    if (k < missing.size()) return &missing[k];
  } else if (static_cast<size_t>(param) < list.size()) {
    return &list[static_cast<size_t>(param)];
  }
  return list.empty() ? nullptr : &list.front();
}

int32_t MissingParam(std::vector<std::u16string>& missing, const std::u16string& name) {
  auto found = std::find(missing.begin(), missing.end(), name);
  if (found == missing.end()) found = missing.insert(missing.end(), name);
  return -1 - static_cast<int32_t>(found - missing.begin());
}

}  // namespace

const std::u16string* MediaLists::MusicName(int32_t param) const { return NameFor(music, missingMusic, param); }

const std::u16string* MediaLists::RecordingName(int32_t param) const {
  return NameFor(recordings, missingRecordings, param);
}

int32_t MediaLists::MissingMusicParam(const std::u16string& name) const { return MissingParam(missingMusic, name); }

int32_t MediaLists::MissingRecordingParam(const std::u16string& name) const {
  return MissingParam(missingRecordings, name);
}

int32_t MediaLists::PlayTimeOf(const std::u16string& name) const {
  const auto found = std::find(music.begin(), music.end(), name);
  return found == music.end() ? 0 : PlayTimeAt(static_cast<size_t>(found - music.begin()));
}

}  // namespace aurisona
