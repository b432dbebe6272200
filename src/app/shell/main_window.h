// The main window: menu bar, toolbar, status bar with tips, and a splitter
// with the settings panel's pane on the left and the script editor on the
// right. It routes every command and carries out the document operations.
#pragma once

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <memory>
#include <span>

#include "core/files/document_files.h"
#include "core/media/data_directory.h"
#include "core/media/media_library.h"
#include "app/shell/dialogs.h"
#include "app/shell/editor_port.h"
#include "app/shell/settings_panel_port.h"

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QSplitter;
class QToolButton;
class QUrl;
class QVBoxLayout;

namespace aurisona {
class SoundFilePlayer;
}

namespace aurisona::shell {

struct MenuEntry;
class ProgrammeView;

class MainWindow final : public QMainWindow {
  Q_OBJECT

 public:
  // `commandLineDocument` is opened at creation when not empty (see
  // CommandLineDocument). `dialogs` answers the message boxes and file
  // dialogs; nullptr gives the real ones.
  MainWindow(const DataDirectory& dataDirectory, const QString& commandLineDocument,
             std::unique_ptr<DialogProvider> dialogs = nullptr, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The one main window of the process, or nullptr.
  static MainWindow* Instance();

  // Carries out a command (cmd ids and prompt tones); a disabled command does
  // nothing.
  void ExecuteCommand(int id);
  bool IsCommandEnabled(int id) const;
  // Recomputes the enabled states and check marks of every command.
  void UpdateCommandStates();

  // Preview state: 0 playing, 1 stopped.
  void SetPreviewState(int state);
  // Remembers a pause code (1..39) as the last one and shows it on the
  // toolbar's pause button.
  void SetPauseButton(int code);

  // Puts the settings panel into the left pane. It receives the preview and
  // output commands and saves its settings when this window is destroyed.
  void InstallSettingsPanel(std::unique_ptr<SettingsPanelPort> panel);

  // Documents.
  bool OpenDocumentFile(const QString& path);
  // Asks to save a modified document. False: the user cancelled (or the save
  // he asked for did not happen), and the caller stops.
  bool SaveChangesPrompt();
  void DropFiles(const QList<QUrl>& urls);
  QString CurrentPath() const { return currentPath_; }
  // The documents of 文件 › 最近打开, newest first, and its menu.
  const QStringList& RecentDocuments() const { return recent_; }
  QMenu* RecentMenu() const { return recentMenu_; }
  // Opens a document of that list; one that is gone leaves the list with a message.
  void OpenRecent(const QString& path);
  // The folder the file dialogs start in: the one last used.
  QString LastFolder() const { return lastFolder_; }
  // Where 输出MP3 proposes to write: the document's name with .mp3 in its
  // folder (无标题.mp3 in the last folder for a new document).
  QString ProposedOutputPath() const;
  // The output's file dialog has been answered with `path`.
  void RememberFolderOf(const QString& path);

  // State, for the other parts and for tests.
  EditorPort& Editor() { return *editor_; }
  MediaLibrary& Media() { return media_; }
  DialogProvider& Dialogs() { return *dialogs_; }
  int SkinNumber() const { return skin_; }
  int PreviewMode() const { return previewMode_; }
  int LastPauseCode() const { return lastPauseCode_; }
  bool IsPanelShown() const;
  QList<QAction*> Actions(int id) const { return actions_.values(id); }
  QToolButton* ToolButton(int id) const;
  QMenu* ToneMenu() const { return toneMenu_; }
  // Plays a newly chosen prompt tone.
  const SoundFilePlayer& TonePlayer() const { return *tonePlayer_; }
  QSplitter* Splitter() const { return splitter_; }
  QFrame* PaneContainer() const { return paneContainer_; }
  QLabel* TipPane() const { return tipPane_; }
  // The status bar's pane for the programme's length (hidden until known).
  QLabel* LengthPane() const { return lengthPane_; }
  void ShowProgrammeLength(const QString& text);
  // Whether the length shown is from before the script last changed.
  bool IsProgrammeLengthStale() const { return lengthStale_; }
  QTimer& FirstRunTimer() { return firstRunTimer_; }
  // The programme view under the editor.
  ProgrammeView* Programme() const { return programme_; }
  bool IsProgrammeShown() const;
  QTimer& TipTimer() { return tipTimer_; }

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QAction* CreateAction(int id, const QString& text, QObject* owner);
  void BuildMenuBar();
  void BuildMenu(QMenu* menu, std::span<const MenuEntry> entries, size_t* index);
  void BuildToneMenu();
  void BuildToolbar();
  void BuildStatusBar();
  void BuildPanes();
  void ShowRandomTip();
  // Says in the status bar that a setting could not be written (false).
  void NoteSettingsWrite(bool written);
  void MarkProgrammeLengthStale();
  void OnFirstRunTimer();

  void ShowPanel(bool shown);
  void ChooseSkin(int skin);
  void PostPanelCommand(int panelCommand);
  // The parts of ExecuteCommand; each is true when it knew the command.
  bool RunDocumentCommand(int id);
  bool RunPanelCommand(int id);
  bool RunViewCommand(int id);

  void NewDocument();
  void NewFromTemplate();
  void SaveAsTemplate();
  void ShowProgramme(bool shown);
  void HighlightFirstPlaceholder();
  void OpenCommand();
  bool Save();
  bool SaveAs();
  bool SaveTo(const QString& path);
  void ShowBuiltInText(const std::u16string& tagged);
  void UpdateTitle();
  // Offers what can be read of a damaged listening document; true when it
  // was opened.
  bool OfferRecovery(const QString& path, DocumentMedia& media);
  void LoadRecent();
  void AddRecent(const QString& path);
  void RemoveRecent(const QString& path);
  void StoreRecent();
  void BuildRecentMenu();
  DocumentMedia MakeDocumentMedia();
  void FocusEditor();

  DataDirectory dataDirectory_;
  IniStore store_;
  MediaLibrary media_;
  std::unique_ptr<DialogProvider> dialogs_;
  EditorPort* editor_ = nullptr;
  std::unique_ptr<SettingsPanelPort> panel_;
  std::unique_ptr<SoundFilePlayer> tonePlayer_;

  QMultiHash<int, QAction*> actions_;
  QHash<int, QToolButton*> toolButtons_;
  QMenu* toneMenu_ = nullptr;
  QMenu* recentMenu_ = nullptr;
  QStringList recent_;
  QString lastFolder_;
  QString recoveredFrom_;  // the damaged document the unsaved one was recovered from
  QSplitter* splitter_ = nullptr;
  ProgrammeView* programme_ = nullptr;
  QFrame* paneContainer_ = nullptr;
  QVBoxLayout* paneLayout_ = nullptr;
  QWidget* panePlaceholder_ = nullptr;
  QLabel* readyPane_ = nullptr;
  QLabel* tipPane_ = nullptr;
  QLabel* noticePane_ = nullptr;
  QLabel* lengthPane_ = nullptr;
  QString currentTip_;
  QTimer tipTimer_;
  QTimer firstRunTimer_;

  int skin_ = 0;
  int previewMode_ = 1;
  int lastPauseCode_ = 0;
  QString currentPath_;
  bool lengthStale_ = false;
};

// The toolbar's text for a pause code: "0.1秒" ... "0.9秒", "1秒" ... "30秒".
QString PauseCodeText(int code);

}  // namespace aurisona::shell
