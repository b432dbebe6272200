// The editor's music-from-a-file command: the clip is copied into the Music
// folder, its play time asked and stored, and its music index returned.
#pragma once

#include <QString>
#include <functional>
#include <optional>

class QFileDialog;
class QWidget;

namespace aurisona {
class MediaLibrary;
}

namespace aurisona::media {

// The open dialog of the command (title, filters), for the caller to run.
QFileDialog* CreateMusicFileDialog(QWidget* parent);
// Runs it; an empty path when cancelled.
QString AskMusicFile(QWidget* parent);

// Copies `source` into the Music folder (asking before it replaces a clip of
// that name; a replaced clip is swapped in whole, so a failed copy leaves the
// old one), asks the play time (`askPlayTime`, default PlayTimeDialog from 0;
// cancel gives 0), puts the clip into the lists (an entry of the same name is
// reused) and writes its play time to setup.ini. Nothing on a refused
// overwrite or a failed copy.
std::optional<int> AddMusicFromFile(MediaLibrary& media, const QString& source, QWidget* parent,
                                    const std::function<std::optional<int>(int)>& askPlayTime = {});

}  // namespace aurisona::media
