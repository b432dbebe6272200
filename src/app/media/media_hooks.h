// Connects the editor's media commands to the music and recording dialogs.
#pragma once

#include <functional>

class QWidget;

namespace aurisona {
class MediaLibrary;
class ScriptEditor;
}

namespace aurisona::media {

// Sets the editor's chooseMusic, chooseRecording and musicFromFile hooks.
// `musicFade` gives the fade for playing clips (0: none). Deleting a clip or a
// recording in a dialog keeps the editor's marks on their files.
void InstallMediaHooks(ScriptEditor& editor, MediaLibrary& media, QWidget* parent,
                       std::function<int()> musicFade);

}  // namespace aurisona::media
