#include "app/media/music_from_file.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

#include "app/media/media_common.h"
#include "core/media/media_library.h"
#include "app/media/media_texts.h"
#include "app/media/play_time_dialog.h"
#include "core/media/sound_files.h"

namespace aurisona::media {
namespace {

namespace fs = std::filesystem;

fs::path ToPath(const QString& path) { return fs::path(QFile::encodeName(path).toStdString()); }

// Copies `from` to `to` through a temporary file beside `to`, then renames it
// over `to`: either the whole new clip is there or the old one stays.
bool ReplaceByCopy(const fs::path& from, const fs::path& to) {
  fs::path temp = to;
  temp += ".copying";
  std::error_code error;
  fs::remove(temp, error);
  if (!fs::copy_file(from, temp, fs::copy_options::none, error) || error) {
    fs::remove(temp, error);
    return false;
  }
  fs::rename(temp, to, error);
  if (error) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    return false;
  }
  return true;
}

}  // namespace

QFileDialog* CreateMusicFileDialog(QWidget* parent) {
  auto* dialog = new QFileDialog(parent, Q(media_text::kOpenTitle), QString(), Q(media_text::kOpenFilter));
  dialog->setFileMode(QFileDialog::ExistingFile);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  return dialog;
}

QString AskMusicFile(QWidget* parent) {
  // The dialog starts where the last clip was chosen in this run.
  static QString lastFolder;
  std::unique_ptr<QFileDialog> dialog(CreateMusicFileDialog(parent));
  if (!lastFolder.isEmpty()) dialog->setDirectory(lastFolder);
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return {};
  const QString chosen = dialog->selectedFiles().constFirst();
  lastFolder = QFileInfo(chosen).absolutePath();
  return chosen;
}

std::optional<int> AddMusicFromFile(MediaLibrary& media, const QString& source, QWidget* parent,
                                    const std::function<std::optional<int>(int)>& askPlayTime) {
  const QString fileName = QFileInfo(source).fileName();
  const std::u16string name = U(fileName);
  if (!IsPlainFileName(name)) return std::nullopt;
  const fs::path from = ToPath(source);
  const fs::path target = MediaFilePath(media.directory().Music(), name);

  std::error_code error;
  if (fs::exists(target, error) && fs::equivalent(from, target, error)) {
    // The clip chosen is the one in the Music folder already: nothing to copy.
  } else if (!fs::copy_file(from, target, fs::copy_options::none, error)) {
    if (!AskYesNo(parent, fileName, Q(media_text::kOverwriteMusic))) return std::nullopt;
    if (!ReplaceByCopy(from, target)) {
      ShowMessage(parent, QMessageBox::Critical, fileName, Q(media_text::kCopyFailed));
      return std::nullopt;
    }
  }

  int playTime = 0;
  if (askPlayTime) {
    playTime = askPlayTime(0).value_or(0);
  } else {
    PlayTimeDialog dialog(parent, 0);
    if (dialog.exec() == QDialog::Accepted) playTime = dialog.playTime();
  }

  MediaLists& lists = media.lists();
  lists.playTimes.resize(lists.music.size(), 0);
  auto found = std::find(lists.music.begin(), lists.music.end(), name);
  size_t index = static_cast<size_t>(found - lists.music.begin());
  if (found == lists.music.end()) {
    lists.music.push_back(name);
    lists.playTimes.push_back(0);
    index = lists.music.size() - 1;
  }
  media.SetPlayTime(index, playTime);
  return static_cast<int>(index);
}

}  // namespace aurisona::media
