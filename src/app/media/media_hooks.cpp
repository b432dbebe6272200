#include "app/media/media_hooks.h"

#include "app/editor/script_editor.h"
#include "core/media/media_library.h"
#include "app/media/media_texts.h"
#include "app/media/music_dialog.h"
#include "app/media/music_from_file.h"
#include "app/media/recording_dialog.h"
#include "core/script/marks.h"

namespace aurisona::media {

void InstallMediaHooks(ScriptEditor& editor, MediaLibrary& media, QWidget* parent,
                       std::function<int()> musicFade) {
  ScriptEditor* target = &editor;
  MediaLibrary* library = &media;
  auto& hooks = editor.hooks();
  hooks.chooseMusic = [target, library, parent, musicFade](int current) -> std::optional<int> {
    MusicDialog dialog(*library, current, musicFade ? musicFade() : 0, parent);
    dialog.entryRemoved = [target](int index) { target->MediaEntryRemoved(kMarkMusic, index); };
    if (dialog.exec() != media_text::kInsertId) return std::nullopt;
    return dialog.selection();
  };
  hooks.chooseRecording = [target, library, parent](int current) -> std::optional<int> {
    RecordingDialog dialog(*library, current, parent);
    dialog.entryRemoved = [target](int index) { target->MediaEntryRemoved(kMarkRecording, index); };
    if (dialog.exec() != media_text::kInsertId) return std::nullopt;
    return dialog.selection();
  };
  hooks.musicFromFile = [library, parent]() -> std::optional<int> {
    const QString path = AskMusicFile(parent);
    if (path.isEmpty()) return std::nullopt;
    return AddMusicFromFile(*library, path, parent);
  };
}

}  // namespace aurisona::media
