#include "app/shell/main_window.h"

#include <algorithm>

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QRandomGenerator>
#include <QSplitter>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "audio-io/sound_file_player.h"
#include "core/script/bundled_texts.h"
#include "core/script/memory_document.h"
#include "core/script/marks.h"
#include "app/editor/editor_commands.h"
#include "app/media/media_hooks.h"
#include "core/script/tagged_text.h"
#include "core/settings/settings_keys.h"
#include "core/settings/settings_record.h"
#include "app/shell/commands.h"
#include "core/files/templates.h"
#include "app/shell/icons.h"
#include "app/shell/programme_view.h"
#include "app/shell/script_editor_port.h"
#include "app/shell/shell_texts.h"
#include "app/shell/skins.h"
#include "app/shell/template_dialog.h"

namespace aurisona::shell {
namespace {

constexpr int kInitialWidth = 1000;
constexpr int kInitialHeight = 638;
constexpr int kMinimumWidth = 720;
constexpr int kMinimumHeight = 630;
constexpr int kSplitterBar = 285;
constexpr int kTipPeriodMs = 20000;
constexpr int kFirstRunDelayMs = 500;
constexpr int kToolbarIconSize = 16;
// setup.ini, section 设置: whether the programme view is shown (1, the default) or not.
constexpr std::u16string_view kProgrammeViewKey = u"节目视图";

MainWindow* g_instance = nullptr;

QString Q(const char16_t* text) { return QString::fromUtf16(text); }
QString Q(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::filesystem::path ToPath(const QString& path) { return std::filesystem::path(QFile::encodeName(path).toStdString()); }

bool HasDocumentSuffix(const QString& path) {
  return path.endsWith(QStringLiteral(".lsn"), Qt::CaseInsensitive) ||
         path.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive);
}

// The menu-less text of a prompt (before the line break) and the tooltip.
struct PromptParts {
  QString statusTip;
  QString toolTip;
};
PromptParts PromptOf(const CommandInfo* info) {
  if (info == nullptr) return {};
  return {Q(info->prompt), info->toolTip != nullptr ? Q(info->toolTip) : QString()};
}

bool IsCheckable(int id) {
  return id == cmd::kSettingsPanel || id == cmd::kStatusBar || id == cmd::kProgrammeView ||
         (id >= cmd::kSkinSystem && id < cmd::kSkinSystem + kSkinCount) ||
         (id >= cmd::kToneFirst && id <= cmd::kToneLast);
}

// The first local file among dropped URLs, if the drop carries any.
bool HasLocalFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return false;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) return true;
  }
  return false;
}

// A toolbar button no wider than its picture and label need, so that the
// eighteen labelled buttons fit the window's initial width: QToolButton's own
// size hint pads the label with two blanks (a button with a drop-down arrow
// keeps them: the styles take them for the arrow).
class CompactToolButton final : public QToolButton {
 public:
  using QToolButton::QToolButton;

  QSize sizeHint() const override {
    QSize size = QToolButton::sizeHint();
    const int blanks = popupMode() == QToolButton::MenuButtonPopup ? 0 : 2;
    size.rwidth() -= blanks * fontMetrics().horizontalAdvance(u' ');
    return size;
  }
  QSize minimumSizeHint() const override { return sizeHint(); }
};

}  // namespace

QString PauseCodeText(int code) {
  if (code >= 1 && code <= 9) return QStringLiteral("0.%1秒").arg(code);
  if (code >= 10 && code <= kMaxPauseCode) return QStringLiteral("%1秒").arg(code - 9);
  return {};
}

MainWindow::MainWindow(const DataDirectory& dataDirectory, const QString& commandLineDocument,
                       std::unique_ptr<DialogProvider> dialogs, QWidget* parent)
    : QMainWindow(parent),
      dataDirectory_(dataDirectory),
      store_(dataDirectory.SetupIni()),
      media_(dataDirectory, IniStore(dataDirectory.SetupIni())),
      dialogs_(dialogs ? std::move(dialogs) : std::make_unique<QtDialogs>()),
      tonePlayer_(std::make_unique<SoundFilePlayer>()) {
  g_instance = this;
  setWindowIcon(AppIcon());
  resize(kInitialWidth, kInitialHeight);
  setMinimumSize(kMinimumWidth, kMinimumHeight);

  // The editor first: menus and toolbar route to it.
  auto* editorPort = new ScriptEditorPort(&media_.lists(), this);
  editor_ = editorPort;
  media::InstallMediaHooks(editorPort->editor(), media_, this,
                           [this] { return panel_ ? panel_->MusicFadeSeconds() : 0; });
  connect(editor_, &EditorPort::StateChanged, this, &MainWindow::UpdateCommandStates);
  connect(editor_, &EditorPort::PauseCodeRemembered, this, &MainWindow::SetPauseButton);
  connect(editor_, &EditorPort::ScriptChanged, this, &MainWindow::MarkProgrammeLengthStale);
  UpdateTitle();

  BuildMenuBar();
  LoadRecent();
  BuildRecentMenu();
  skin_ = ReadSkin(store_);
  ApplySkin(skin_);
  BuildToolbar();
  BuildStatusBar();
  BuildPanes();
  ShowPanel(ReadPanelShown(store_));
  ShowProgramme(store_.GetInt(kSettingsSection, kProgrammeViewKey, 1) != 0);

  media_.Build();
  BuildToneMenu();

  if (QClipboard* clipboard = QApplication::clipboard()) {
    connect(clipboard, &QClipboard::dataChanged, this, &MainWindow::UpdateCommandStates);
  }

  bool opened = false;
  if (!commandLineDocument.isEmpty()) opened = OpenDocumentFile(commandLineDocument);
  firstRunTimer_.setSingleShot(true);
  firstRunTimer_.setInterval(kFirstRunDelayMs);
  connect(&firstRunTimer_, &QTimer::timeout, this, &MainWindow::OnFirstRunTimer);
  if (!opened && ReadFirstRun(store_)) {
    NoteSettingsWrite(WriteFirstRun(store_, false));
    firstRunTimer_.start();
  }

  setAcceptDrops(true);
  UpdateCommandStates();
}

MainWindow::~MainWindow() {
  // The editor outlives this object's members (it is deleted with the child
  // widgets) and may still report state changes while it goes; nothing of
  // this window is there to take them then.
  if (editor_ != nullptr) disconnect(editor_, nullptr, this, nullptr);
  // The programme view's measure speaks with the panel's engine, which goes first.
  if (programme_ != nullptr) {
    disconnect(editor_, nullptr, programme_, nullptr);
    programme_->prepare = nullptr;
    programme_->Cancel();
  }
  // The settings panel keeps the settings record; it is written now.
  if (panel_) panel_->SaveSettings();
  if (g_instance == this) g_instance = nullptr;
}

MainWindow* MainWindow::Instance() { return g_instance; }

// ---------------------------------------------------------------------------
// Menus, toolbar, status bar, panes

QAction* MainWindow::CreateAction(int id, const QString& label, QObject* owner) {
  auto* action = new QAction(label, owner);
  const PromptParts prompt = PromptOf(FindCommand(id));
  action->setStatusTip(prompt.statusTip);
  if (!prompt.toolTip.isEmpty()) action->setToolTip(prompt.toolTip);
  action->setCheckable(IsCheckable(id));
  action->setData(id);
  connect(action, &QAction::triggered, this, [this, id] { ExecuteCommand(id); });
  actions_.insert(id, action);
  return action;
}

void MainWindow::BuildMenu(QMenu* menu, std::span<const MenuEntry> entries, size_t* index) {
  while (*index < entries.size()) {
    const MenuEntry& entry = entries[(*index)++];
    switch (entry.kind) {
      case MenuEntryKind::kCommand: {
        const CommandInfo* info = FindCommand(entry.id);
        const char16_t* label = entry.text != nullptr ? entry.text : (info != nullptr ? info->menuText : u"");
        QAction* action = CreateAction(entry.id, Q(label), menu);
        menu->addAction(action);
        break;
      }
      case MenuEntryKind::kSeparator:
        menu->addSeparator();
        break;
      case MenuEntryKind::kBeginMenu:
        BuildMenu(menu->addMenu(Q(entry.text)), entries, index);
        break;
      case MenuEntryKind::kEndMenu:
        return;
      case MenuEntryKind::kToneMenu:
        toneMenu_ = menu->addMenu(Q(entry.text));
        break;
      case MenuEntryKind::kRecentMenu:
        recentMenu_ = menu->addMenu(Q(entry.text));
        break;
    }
  }
}

void MainWindow::BuildMenuBar() {
  const std::span<const MenuEntry> layout = MenuBarLayout();
  size_t index = 0;
  while (index < layout.size()) {
    const MenuEntry& entry = layout[index++];
    if (entry.kind != MenuEntryKind::kBeginMenu) continue;
    BuildMenu(menuBar()->addMenu(Q(entry.text)), layout, &index);
  }
  // The keys the menu labels show for New, Open and Save.
  const std::pair<int, QKeySequence::StandardKey> keys[] = {
      {cmd::kNew, QKeySequence::New}, {cmd::kOpen, QKeySequence::Open}, {cmd::kSave, QKeySequence::Save}};
  for (const auto& [id, key] : keys) {
    for (QAction* action : actions_.values(id)) action->setShortcut(key);
  }
}

void MainWindow::BuildToneMenu() {
  if (toneMenu_ == nullptr) return;
  for (QAction* action : toneMenu_->actions()) {
    actions_.remove(action->data().toInt(), action);
    delete action;
  }
  const auto& tones = media_.tones();
  for (size_t i = 0; i < tones.size() && cmd::kToneFirst + static_cast<int>(i) <= cmd::kToneLast; ++i) {
    const int id = cmd::kToneFirst + static_cast<int>(i);
    toneMenu_->addAction(CreateAction(id, Q(tones[i]), toneMenu_));
  }
  // The current tone is checked once here; items from 35010 on are not kept
  // up to date afterwards.
  for (QAction* action : toneMenu_->actions()) {
    action->setChecked(action->data().toInt() - cmd::kToneFirst == media_.promptToneIndex());
  }
}

void MainWindow::BuildToolbar() {
  QToolBar* toolbar = addToolBar(QStringLiteral("toolbar"));
  toolbar->setObjectName(QStringLiteral("mainToolbar"));
  toolbar->setMovable(false);
  toolbar->setFloatable(false);
  toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
  toolbar->toggleViewAction()->setEnabled(false);
  toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  toolbar->setIconSize(QSize(kToolbarIconSize, kToolbarIconSize));
  const auto drops = DropMenus();
  for (const ToolbarButton& button : ToolbarLayout()) {
    if (button.id == 0) {
      toolbar->addSeparator();
      continue;
    }
    QAction* action = CreateAction(button.id, Q(button.label), toolbar);
    action->setIcon(CommandIcon(button.id));
    if (action->toolTip().isEmpty() || action->toolTip() == Q(button.label)) action->setToolTip(Q(button.label));
    auto* toolButton = new CompactToolButton(toolbar);
    toolButton->setDefaultAction(action);
    toolButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolButton->setIconSize(toolbar->iconSize());
    toolButton->setAutoRaise(true);
    toolbar->addWidget(toolButton);
    toolButtons_.insert(button.id, toolButton);
    if (button.dropMenu >= 0) {
      auto* menu = new QMenu(toolButton);
      size_t index = 0;
      BuildMenu(menu, drops[static_cast<size_t>(button.dropMenu)], &index);
      toolButton->setMenu(menu);
      toolButton->setPopupMode(QToolButton::MenuButtonPopup);
    }
  }
}

void MainWindow::ShowProgrammeLength(const QString& text) {
  lengthStale_ = false;
  lengthPane_->setText(text);
  lengthPane_->setToolTip(QString());
  lengthPane_->setEnabled(true);
  lengthPane_->setVisible(!text.isEmpty());
}

void MainWindow::MarkProgrammeLengthStale() {
  // The length was that of the script before this change.
  if (lengthStale_ || lengthPane_->isHidden()) return;
  lengthStale_ = true;
  lengthPane_->setText(lengthPane_->text() + Q(text::kLengthStale));
  lengthPane_->setToolTip(Q(text::kLengthStaleToolTip));
  lengthPane_->setEnabled(false);
}

void MainWindow::NoteSettingsWrite(bool written) {
  if (written || tipPane_ == nullptr) return;
  tipPane_->setText(Q(text::kSettingsNotSaved) + QString::fromStdString(store_.lastError()));
}

void MainWindow::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  readyPane_ = new QLabel(Q(text::kReady), bar);
  readyPane_->setFixedWidth(readyPane_->fontMetrics().horizontalAdvance(Q(text::kReady)) + 8);
  tipPane_ = new QLabel(bar);
  tipPane_->setMinimumWidth(1);
  noticePane_ = new QLabel(Q(text::kNotice), bar);
  noticePane_->setFixedWidth(noticePane_->sizeHint().width() + 8);
  bar->addWidget(readyPane_);
  bar->addWidget(tipPane_, 1);
  lengthPane_ = new QLabel(bar);
  lengthPane_->setObjectName(QStringLiteral("programmeLength"));
  lengthPane_->hide();
  bar->addPermanentWidget(lengthPane_);
  bar->addPermanentWidget(noticePane_);
  ShowRandomTip();
  tipTimer_.setInterval(kTipPeriodMs);
  connect(&tipTimer_, &QTimer::timeout, this, &MainWindow::ShowRandomTip);
  tipTimer_.start();
}

void MainWindow::BuildPanes() {
  splitter_ = new QSplitter(Qt::Horizontal, this);
  splitter_->setObjectName(QStringLiteral("mainSplitter"));
  splitter_->setChildrenCollapsible(false);

  paneContainer_ = new QFrame(splitter_);
  paneContainer_->setObjectName(QStringLiteral("settingsPane"));
  paneContainer_->setFrameShape(QFrame::StyledPanel);
  auto* layout = new QVBoxLayout(paneContainer_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  auto* header = new QWidget(paneContainer_);
  header->setObjectName(QStringLiteral("settingsPaneHeader"));
  auto* headerLayout = new QHBoxLayout(header);
  headerLayout->setContentsMargins(2, 2, 2, 2);
  headerLayout->addStretch(1);
  auto* close = new QToolButton(header);
  close->setObjectName(QStringLiteral("paneCloseButton"));
  close->setAutoRaise(true);
  close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
  close->setIconSize(QSize(12, 12));
  close->setToolTip(Q(text::kPaneCloseToolTip));
  connect(close, &QToolButton::clicked, this, [this] { ExecuteCommand(cmd::kPaneClose); });
  headerLayout->addWidget(close);
  layout->addWidget(header);
  // The settings panel takes this place (InstallSettingsPanel).
  panePlaceholder_ = new QWidget(paneContainer_);
  layout->addWidget(panePlaceholder_, 1);
  paneLayout_ = layout;

  QWidget* editorWidget = editor_->Widget();
  // The editor with the programme view along its foot.
  auto* editorPane = new QWidget(splitter_);
  editorPane->setObjectName(QStringLiteral("editorPane"));
  auto* editorLayout = new QVBoxLayout(editorPane);
  editorLayout->setContentsMargins(0, 0, 0, 0);
  editorLayout->setSpacing(0);
  editorWidget->setParent(editorPane);
  editorLayout->addWidget(editorWidget, 1);
  programme_ = new ProgrammeView(editorPane);
  editorLayout->addWidget(programme_);
  programme_->prepare = [this]() -> std::optional<ProgrammeRequest> {
    ProgrammeRequest request;
    if (!panel_ || !panel_->PrepareProgramme(&request)) return std::nullopt;
    return request;
  };
  connect(editor_, &EditorPort::ScriptChanged, programme_, &ProgrammeView::ScriptChanged);
  connect(editor_, &EditorPort::StateChanged, programme_,
          [this] { programme_->SetPaused(editor_->IsReadOnly() || !IsProgrammeShown()); });
  connect(programme_, &ProgrammeView::PositionClicked, this, [this](int position) { editor_->MoveCaret(position); });
  splitter_->addWidget(paneContainer_);
  splitter_->addWidget(editorPane);
  splitter_->setStretchFactor(0, 0);
  splitter_->setStretchFactor(1, 1);
  splitter_->setSizes({kSplitterBar, kInitialWidth - kSplitterBar});
  setCentralWidget(splitter_);

  // Files dropped on the editor open as documents (its text drops stay its own).
  editorWidget->installEventFilter(this);
  if (auto* area = qobject_cast<QAbstractScrollArea*>(editorWidget)) area->viewport()->installEventFilter(this);
}

void MainWindow::InstallSettingsPanel(std::unique_ptr<SettingsPanelPort> panel) {
  if (!panel) return;
  panel_ = std::move(panel);
  QWidget* widget = panel_->Widget();
  if (panePlaceholder_ != nullptr) {
    delete paneLayout_->replaceWidget(panePlaceholder_, widget);  // the old item is ours to free
    delete panePlaceholder_;
    panePlaceholder_ = nullptr;
  } else {
    paneLayout_->addWidget(widget, 1);
  }
  widget->show();
  // The programme view can be measured from now on.
  if (IsProgrammeShown()) programme_->ScriptChanged();
}

void MainWindow::ShowRandomTip() {
  const auto index = QRandomGenerator::global()->bounded(static_cast<quint32>(text::kTips.size()));
  currentTip_ = Q(text::kTips[index]);
  tipPane_->setText(currentTip_);
}

void MainWindow::OnFirstRunTimer() {
  firstRunTimer_.stop();
  // The sample is shown while the welcome box is open.
  QMetaObject::invokeMethod(this, [this] { ExecuteCommand(cmd::kShowSample); }, Qt::QueuedConnection);
  dialogs_->ShowInformation(this, Q(text::kWelcomeTitle), Q(text::kWelcome));
}

bool MainWindow::event(QEvent* event) {
  if (event->type() == QEvent::StatusTip) {
    // Menu prompts go to the tip pane; leaving the item brings the tip back.
    const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
    if (tipPane_ != nullptr) tipPane_->setText(tip.isEmpty() ? currentTip_ : tip);
    return true;
  }
  return QMainWindow::event(event);
}

// ---------------------------------------------------------------------------
// Commands

bool MainWindow::IsCommandEnabled(int id) const {
  const CommandInfo* info = FindCommand(id);
  if (info == nullptr) return id >= cmd::kToneFirst && id <= cmd::kToneLast;
  const bool editable = !editor_->IsReadOnly();
  switch (info->enable) {
    case EnableRule::kAlways:
      return true;
    case EnableRule::kEditable:
      return editable;
    case EnableRule::kUndo:
      return editable && editor_->CanUndo();
    case EnableRule::kSelection:
      return editable && editor_->HasSelection();
    case EnableRule::kPaste: {
      const QClipboard* clipboard = QApplication::clipboard();
      return editable && clipboard != nullptr && clipboard->mimeData() != nullptr &&
             clipboard->mimeData()->hasText();
    }
    case EnableRule::kModified:
      return editor_->IsModified();
  }
  return true;
}

void MainWindow::UpdateCommandStates() {
  setWindowModified(editor_->IsModified());
  if (recentMenu_ != nullptr) recentMenu_->setEnabled(!editor_->IsReadOnly());
  for (auto it = actions_.cbegin(); it != actions_.cend(); ++it) {
    const int id = it.key();
    QAction* action = it.value();
    action->setEnabled(IsCommandEnabled(id));
    if (id >= cmd::kToneFirst && id <= cmd::kToneCheckedLast) {
      action->setChecked(id - cmd::kToneFirst == media_.promptToneIndex());
    } else if (id >= cmd::kSkinSystem && id < cmd::kSkinSystem + kSkinCount) {
      action->setChecked(skin_ == id - cmd::kSkinSystem + 1);
    } else if (id == cmd::kSettingsPanel) {
      action->setChecked(IsPanelShown());
    } else if (id == cmd::kStatusBar) {
      action->setChecked(!statusBar()->isHidden());
    } else if (id == cmd::kProgrammeView) {
      action->setChecked(IsProgrammeShown());
    }
  }
}

void MainWindow::ExecuteCommand(int id) {
  if (!IsCommandEnabled(id)) return;
  const CommandInfo* info = FindCommand(id);
  if (info != nullptr && info->editorCommand != 0) {
    FocusEditor();
    editor_->ExecuteCommand(info->editorCommand);
    UpdateCommandStates();
    return;
  }
  if (id >= cmd::kToneFirst && id <= cmd::kToneLast) {
    // Choosing stores the tone at once and plays it, so that it is heard.
    if (media_.ChooseTone(id - cmd::kToneFirst)) {
      if (tonePlayer_->IsRunning()) tonePlayer_->Stop();
      tonePlayer_->Play(media_.currentPromptTone(), nullptr, 0, 0);
    }
    UpdateCommandStates();
    return;
  }
  if (!RunDocumentCommand(id) && !RunPanelCommand(id)) RunViewCommand(id);
  UpdateCommandStates();
}

bool MainWindow::RunDocumentCommand(int id) {
  switch (id) {
    case cmd::kNew:
      NewDocument();
      return true;
    case cmd::kNewFromTemplate:
      NewFromTemplate();
      return true;
    case cmd::kSaveAsTemplate:
      SaveAsTemplate();
      return true;
    case cmd::kOpen:
      OpenCommand();
      return true;
    case cmd::kSave:
      Save();
      return true;
    case cmd::kSaveAs:
      SaveAs();
      return true;
    case cmd::kShowSample:
      ShowBuiltInText(BundledSampleScript());
      return true;
    case cmd::kShowHelp:
      ShowBuiltInText(BundledHelpText());
      return true;
    case cmd::kExit:
      QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
      return true;
    case cmd::kLastPause:
      FocusEditor();
      if (lastPauseCode_ != 0) {
        editor_->InsertPause(lastPauseCode_, false);
      } else {
        editor_->ExecuteCommand(kCmdOtherPause);
      }
      return true;
    default:
      return false;
  }
}

// Commands the settings panel carries out: preview, output, the programme's
// length and the reading dialogs.
bool MainWindow::RunPanelCommand(int id) {
  switch (id) {
    case cmd::kPreviewAll:
      previewMode_ = 1;
      PostPanelCommand(panel_cmd::kPreviewAll);
      return true;
    case cmd::kPreviewPart:
    case cmd::kPreviewFromCaret:
      previewMode_ = 0;
      PostPanelCommand(panel_cmd::kPreviewFromCaret);
      return true;
    case cmd::kPreviewButton:
      PostPanelCommand(previewMode_ == 1 ? panel_cmd::kPreviewAll : panel_cmd::kPreviewFromCaret);
      return true;
    case cmd::kOutputMp3:
      PostPanelCommand(panel_cmd::kOutputMp3);
      return true;
    case cmd::kMeasureLength:
      PostPanelCommand(panel_cmd::kMeasureLength);
      return true;
    case cmd::kReadingsDictionary:
      PostPanelCommand(panel_cmd::kReadingsDictionary);
      return true;
    case cmd::kPieceCache:
      PostPanelCommand(panel_cmd::kPieceCache);
      return true;
    case cmd::kShowSpoken:
      PostPanelCommand(panel_cmd::kShowSpoken);
      return true;
    default:
      return false;
  }
}

// The pane, the status bar, the skins and the about box.
bool MainWindow::RunViewCommand(int id) {
  switch (id) {
    case cmd::kSettingsPanel: {
      const bool shown = !IsPanelShown();
      NoteSettingsWrite(WritePanelShown(store_, shown));
      ShowPanel(shown);
      return true;
    }
    case cmd::kProgrammeView: {
      const bool shown = !IsProgrammeShown();
      NoteSettingsWrite(store_.SetInt(kSettingsSection, kProgrammeViewKey, shown ? 1 : 0));
      ShowProgramme(shown);
      return true;
    }
    case cmd::kPaneClose:
      ShowPanel(false);
      return true;
    case cmd::kStatusBar:
      statusBar()->setVisible(statusBar()->isHidden());
      return true;
    case cmd::kSkinSystem:
    case cmd::kSkinBlack:
    case cmd::kSkinChina:
    case cmd::kSkinGolden:
    case cmd::kSkinMetal:
      ChooseSkin(id - cmd::kSkinSystem + 1);
      return true;
    case cmd::kAbout:
      dialogs_->ShowAbout(QApplication::activeWindow() != nullptr ? QApplication::activeWindow() : this);
      return true;
    default:
      return false;
  }
}

void MainWindow::PostPanelCommand(int panelCommand) {
  // Preview and output are the settings panel's; until it is installed these
  // commands have nothing to start.
  if (!panel_) return;
  QMetaObject::invokeMethod(
      this, [this, panelCommand] { if (panel_) panel_->HandleCommand(panelCommand); }, Qt::QueuedConnection);
}

bool MainWindow::IsProgrammeShown() const { return programme_ != nullptr && !programme_->isHidden(); }

void MainWindow::ShowProgramme(bool shown) {
  programme_->setVisible(shown);
  // Measured while it is shown; a hidden view waits until it is shown again.
  if (shown) programme_->ScriptChanged();
  programme_->SetPaused(!shown || editor_->IsReadOnly());
  UpdateCommandStates();
}

bool MainWindow::IsPanelShown() const { return paneContainer_ != nullptr && !paneContainer_->isHidden(); }

void MainWindow::ShowPanel(bool shown) {
  paneContainer_->setVisible(shown);
  if (shown) {
    const int total = splitter_->width() > kSplitterBar ? splitter_->width() : kInitialWidth;
    splitter_->setSizes({kSplitterBar, total - kSplitterBar});
  }
  UpdateCommandStates();
}

void MainWindow::ChooseSkin(int skin) {
  if (skin == kSystemSkin) {
    if (skin_ == kSystemSkin) return;
    skin_ = kSystemSkin;
    NoteSettingsWrite(WriteSkin(store_, kSystemSkin));
    ApplySkin(kSystemSkin);
    return;
  }
  // Choosing the current skin again reloads it.
  ApplySkin(skin);
  NoteSettingsWrite(WriteSkin(store_, skin));
  skin_ = skin;
}

void MainWindow::SetPreviewState(int state) {
  const char16_t* label = state == 0 ? kPreviewStopLabel : (previewMode_ == 1 ? kPreviewAllLabel : kPreviewPartLabel);
  if (QToolButton* button = ToolButton(cmd::kPreviewButton)) button->defaultAction()->setText(Q(label));
}

void MainWindow::SetPauseButton(int code) {
  if (!IsValidPauseCode(code)) return;
  lastPauseCode_ = code;
  if (QToolButton* button = ToolButton(cmd::kLastPause)) button->defaultAction()->setText(PauseCodeText(code));
}

QToolButton* MainWindow::ToolButton(int id) const { return toolButtons_.value(id, nullptr); }

// ---------------------------------------------------------------------------
// Documents

void MainWindow::FocusEditor() { editor_->Widget()->setFocus(Qt::OtherFocusReason); }

DocumentMedia MainWindow::MakeDocumentMedia() {
  DocumentMedia media;
  media.musicFolder = dataDirectory_.Music();
  media.recordFolder = dataDirectory_.Record();
  media.lists = &media_.lists();
  media.storePlayTime = [this](const std::u16string& name, int32_t seconds) {
    NoteSettingsWrite(store_.SetInt(kPlayTimeSection, name, seconds));
  };
  media.writeMedia = true;
  return media;
}

void MainWindow::UpdateTitle() {
  // "[*]" shows the unsaved changes (setWindowModified).
  const QString name = currentPath_.isEmpty() ? Q(text::kUntitled) : QFileInfo(currentPath_).fileName();
  setWindowTitle(Q(text::kAppTitle) + QStringLiteral(" - [") + name + QStringLiteral("][*]"));
  setWindowModified(editor_->IsModified());
}

// ---------------------------------------------------------------------------
// 最近打开 and the folder last used

namespace {

std::u16string RecentKey(int index) {
  return std::u16string(text::kRecentKeyPrefix) + QString::number(index + 1).toStdU16String();
}

}  // namespace

void MainWindow::LoadRecent() {
  recent_.clear();
  for (int i = 0; i < text::kRecentCount; ++i) {
    const QString path = QString::fromStdU16String(store_.GetString(kSettingsSection, RecentKey(i), u""));
    if (!path.isEmpty() && !recent_.contains(path)) recent_ << path;
  }
  lastFolder_ = QString::fromStdU16String(store_.GetString(kSettingsSection, text::kLastFolderKey, u""));
}

void MainWindow::StoreRecent() {
  IniBatch batch;
  for (int i = 0; i < text::kRecentCount; ++i) {
    batch.SetString(kSettingsSection, RecentKey(i), i < recent_.size() ? recent_.at(i).toStdU16String() : u"");
  }
  batch.SetString(kSettingsSection, text::kLastFolderKey, lastFolder_.toStdU16String());
  NoteSettingsWrite(store_.Write(batch));
}

void MainWindow::AddRecent(const QString& path) {
  const QString absolute = QFileInfo(path).absoluteFilePath();
  recent_.removeAll(absolute);
  recent_.prepend(absolute);
  while (recent_.size() > text::kRecentCount) recent_.removeLast();
  lastFolder_ = QFileInfo(absolute).absolutePath();
  StoreRecent();
  BuildRecentMenu();
}

void MainWindow::RemoveRecent(const QString& path) {
  if (recent_.removeAll(path) == 0) return;
  StoreRecent();
  BuildRecentMenu();
}

void MainWindow::RememberFolderOf(const QString& path) {
  if (path.isEmpty()) return;
  lastFolder_ = QFileInfo(path).absolutePath();
  StoreRecent();
}

void MainWindow::BuildRecentMenu() {
  if (recentMenu_ == nullptr) return;
  recentMenu_->clear();
  if (recent_.isEmpty()) {
    recentMenu_->addAction(Q(text::kRecentEmpty))->setEnabled(false);
    return;
  }
  for (int i = 0; i < recent_.size(); ++i) {
    const QString path = recent_.at(i);
    QAction* action = recentMenu_->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(path).fileName()));
    action->setStatusTip(path);
    action->setToolTip(path);
    action->setData(path);
    connect(action, &QAction::triggered, this, [this, path] { OpenRecent(path); });
  }
}

void MainWindow::OpenRecent(const QString& path) {
  if (editor_->IsReadOnly()) return;
  if (!QFileInfo(path).isFile()) {
    RemoveRecent(path);
    dialogs_->ShowError(this, Q(text::kRecentMissing) + u'\n' + path);
    return;
  }
  if (!SaveChangesPrompt()) return;
  OpenDocumentFile(path);
}

QString MainWindow::ProposedOutputPath() const {
  const QString source = !currentPath_.isEmpty() ? currentPath_ : recoveredFrom_;
  if (!source.isEmpty()) {
    const QFileInfo info(source);
    return info.absoluteDir().filePath(info.completeBaseName() + QStringLiteral(".mp3"));
  }
  const QString folder = lastFolder_.isEmpty() ? QDir::homePath() : lastFolder_;
  return QDir(folder).filePath(Q(text::kUntitled) + QStringLiteral(".mp3"));
}

bool MainWindow::OpenDocumentFile(const QString& path) {
  DocumentMedia media = MakeDocumentMedia();
  FocusEditor();
  const OpenResult result = OpenDocument(ToPath(path), editor_->Document(), media);
  switch (result.status) {
    case OpenStatus::kOpened:
      editor_->SetModified(false);
      currentPath_ = QFileInfo(path).absoluteFilePath();
      recoveredFrom_.clear();
      AddRecent(currentPath_);
      UpdateTitle();
      UpdateCommandStates();
      if (!result.mediaProblems.empty()) {
        // Clips the document carries that could not be put into their folders.
        QString names;
        for (const MediaProblem& problem : result.mediaProblems) names += u'\n' + Q(problem.name);
        dialogs_->ShowError(this, Q(kMediaNotWrittenMessage) + names);
      }
      return true;
    case OpenStatus::kCannotOpen:
      dialogs_->ShowError(this, Q(kOpenFailedMessage));
      return false;
    case OpenStatus::kDamaged:
      // The editor keeps its content, and the file name stays as it was, so
      // that a later Save cannot overwrite the damaged file.
      dialogs_->ShowError(this, Q(kDamagedMessage));
      return OfferRecovery(path, media);
  }
  return false;
}

bool MainWindow::OfferRecovery(const QString& path, DocumentMedia& media) {
  // What can be read is found first without touching anything.
  MemoryScriptDocument probe;
  MediaLists lists = media_.lists();
  DocumentMedia dryRun = media;
  dryRun.lists = &lists;
  dryRun.storePlayTime = {};
  dryRun.writeMedia = false;
  RecoveryReport found;
  if (RecoverDocument(ToPath(path), probe, dryRun, &found).status != OpenStatus::kOpened) return false;

  QStringList readable;
  readable << (found.textComplete ? Q(text::kRecoverTextWhole)
                                  : Q(text::kRecoverTextCut).arg(found.text.size()));
  if (!found.mediaRecovered.empty()) readable << Q(text::kRecoverMedia).arg(found.mediaRecovered.size());
  QStringList lost;
  if (!found.textComplete) lost << Q(text::kRecoverLostTextEnd);
  for (const std::u16string& name : found.mediaLost) lost << Q(name);
  if (found.bytesLost > 0) lost << Q(text::kRecoverLostBytes).arg(found.bytesLost);
  QString question = Q(text::kRecoverQuestion) + u'\n' + Q(text::kRecoverReadable) + readable.join(u'、');
  if (!lost.isEmpty()) question += u'\n' + Q(text::kRecoverLost) + lost.join(u'、');
  question += u'\n' + Q(text::kRecoverSaveHint);
  if (!dialogs_->AskYesNo(this, Q(text::kRecoverTitle), question)) return false;

  FocusEditor();
  RecoveryReport report;
  if (RecoverDocument(ToPath(path), editor_->Document(), media, &report).status != OpenStatus::kOpened) return false;
  // An unsaved new document: Save asks for a name, so the damaged file stays.
  currentPath_.clear();
  recoveredFrom_ = QFileInfo(path).absoluteFilePath();
  lastFolder_ = QFileInfo(recoveredFrom_).absolutePath();
  editor_->SetModified(true);
  UpdateTitle();
  UpdateCommandStates();
  return true;
}

bool MainWindow::SaveTo(const QString& path) {
  const CompilerReport report = [this](CompilerMessage message, int) {
    dialogs_->ShowError(editor_->Widget(), Q(CompilerMessageText(message)));
  };
  const SaveResult result = SaveDocumentByName(ToPath(path), editor_->Document(), MakeDocumentMedia(), report);
  if (!result.ok) {
    // The message, then which file and what the system said.
    dialogs_->ShowError(this, Q(kCreateFailedMessage) + u'\n' + QFileInfo(path).absoluteFilePath() +
                                  QStringLiteral("：") + QString::fromStdString(result.detail));
    return false;
  }
  editor_->SetModified(false);
  return true;
}

bool MainWindow::Save() {
  if (!currentPath_.isEmpty() && SaveTo(currentPath_)) {
    UpdateTitle();
    return true;
  }
  return SaveAs();
}

bool MainWindow::SaveAs() {
  QString proposed = currentPath_.isEmpty() ? lastFolder_ : currentPath_;
  if (currentPath_.isEmpty() && !recoveredFrom_.isEmpty()) {
    const QFileInfo damaged(recoveredFrom_);
    proposed = damaged.absoluteDir().filePath(damaged.completeBaseName() + Q(text::kRecoveredSuffix) +
                                              QStringLiteral(".lsn"));
  }
  const QString path = dialogs_->AskSavePath(this, proposed);
  if (path.isEmpty()) return false;
  if (!SaveTo(path)) return false;
  currentPath_ = QFileInfo(path).absoluteFilePath();
  recoveredFrom_.clear();
  AddRecent(currentPath_);
  UpdateTitle();
  return true;
}

bool MainWindow::SaveChangesPrompt() {
  if (!editor_->IsModified()) return true;
  switch (dialogs_->AskSaveChanges(this)) {
    case SaveAnswer::kCancel:
      return false;
    case SaveAnswer::kNo:
      return true;
    case SaveAnswer::kYes:
      // A save that did not happen stops the caller, so nothing unsaved is
      // thrown away.
      return Save();
  }
  return false;
}

void MainWindow::NewDocument() {
  if (!SaveChangesPrompt()) return;
  currentPath_.clear();
  recoveredFrom_.clear();
  FocusEditor();
  ScriptDocument& doc = editor_->Document();
  doc.SetSelection(0, -1);
  doc.ReplaceSelection(u"", false);
  doc.ClearMarks();
  editor_->SetModified(false);
  UpdateTitle();
}

void MainWindow::HighlightFirstPlaceholder() {
  // The first placeholder is selected, so that typing replaces it.
  const std::vector<std::pair<int, int>> spans = FindPlaceholders(editor_->Document().Text(0, -1));
  if (!spans.empty()) editor_->Document().SetSelection(spans.front().first, spans.front().second);
}

void MainWindow::NewFromTemplate() {
  if (!SaveChangesPrompt()) return;
  TemplateDialog dialog(ListTemplates(dataDirectory_.Templates()), this);
  if (dialog.exec() != QDialog::Accepted || dialog.Chosen() == nullptr) return;
  const DocumentTemplate chosen = *dialog.Chosen();
  DocumentMedia media = MakeDocumentMedia();
  FocusEditor();
  const OpenResult result = LoadTemplate(chosen, editor_->Document(), media);
  if (result.status != OpenStatus::kOpened) {
    dialogs_->ShowError(this, Q(result.status == OpenStatus::kDamaged ? kDamagedMessage : kOpenFailedMessage) +
                                  u'\n' + QString::fromStdString(chosen.file.string()));
    return;
  }
  // A new document: Save asks for its name; the template stays as it is.
  currentPath_.clear();
  recoveredFrom_.clear();
  editor_->SetModified(false);
  UpdateTitle();
  HighlightFirstPlaceholder();
  if (!result.mediaProblems.empty()) {
    QString names;
    for (const MediaProblem& problem : result.mediaProblems) names += u'\n' + Q(problem.name);
    dialogs_->ShowError(this, Q(kMediaNotWrittenMessage) + names);
  }
}

void MainWindow::SaveAsTemplate() {
  if (editor_->Document().Length() == 0) {
    dialogs_->ShowError(this, Q(text::kTemplateEmpty));
    return;
  }
  QString name = currentPath_.isEmpty() ? QString() : QFileInfo(currentPath_).completeBaseName();
  const std::filesystem::path folder = dataDirectory_.Templates();
  for (;;) {
    bool ok = false;
    name = QInputDialog::getText(this, Q(text::kSaveAsTemplateTitle), Q(text::kTemplateNameLabel), QLineEdit::Normal,
                                 name, &ok)
               .trimmed();
    if (!ok) return;
    const TemplateNameProblem problem = CheckTemplateName(name.toStdU16String());
    if (problem != TemplateNameProblem::kNone) {
      dialogs_->ShowError(this, Q(TemplateNameMessage(problem)));
      continue;
    }
    std::error_code ec;
    if (std::filesystem::exists(OwnTemplatePath(folder, name.toStdU16String()), ec) &&
        !dialogs_->AskYesNo(this, Q(text::kSaveAsTemplateTitle), Q(text::kTemplateReplace).arg(name))) {
      continue;
    }
    break;
  }
  const CompilerReport report = [this](CompilerMessage message, int) {
    dialogs_->ShowError(editor_->Widget(), Q(CompilerMessageText(message)));
  };
  const SaveResult result = SaveTemplate(folder, name.toStdU16String(), editor_->Document(), MakeDocumentMedia(), report);
  if (!result.ok) {
    const QString path = QString::fromStdString(OwnTemplatePath(folder, name.toStdU16String()).string());
    dialogs_->ShowError(this, Q(kCreateFailedMessage) + u'\n' + path + QStringLiteral("：") +
                                  QString::fromStdString(result.detail));
    return;
  }
  tipPane_->setText(Q(text::kTemplateSaved).arg(name));
}

void MainWindow::OpenCommand() {
  if (!SaveChangesPrompt()) return;
  const QString path = dialogs_->AskOpenPath(this, lastFolder_);
  if (path.isEmpty()) return;
  OpenDocumentFile(path);
}

void MainWindow::ShowBuiltInText(const std::u16string& tagged) {
  if (!SaveChangesPrompt()) return;
  currentPath_.clear();
  recoveredFrom_.clear();
  FocusEditor();
  ScriptDocument& doc = editor_->Document();
  doc.SetSelection(0, -1);
  doc.ClearMarks();
  TaggedTextReader(doc, media_.lists(), tagged, true, false);
  editor_->SetModified(false);
  UpdateTitle();
}

void MainWindow::DropFiles(const QList<QUrl>& urls) {
  if (urls.isEmpty()) return;
  // Only the first file counts, and it replaces the document without asking.
  const QString path = urls.constFirst().toLocalFile();
  if (path.isEmpty() || !HasDocumentSuffix(path)) return;
  OpenDocumentFile(path);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!SaveChangesPrompt()) {
    event->ignore();
    return;
  }
  firstRunTimer_.stop();
  event->accept();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (HasLocalFile(event->mimeData())) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
  if (!HasLocalFile(event->mimeData())) return;
  event->acceptProposedAction();
  DropFiles(event->mimeData()->urls());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDragMoveEvent*>(event);
      if (!HasLocalFile(drag->mimeData())) break;
      drag->acceptProposedAction();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      if (!HasLocalFile(drop->mimeData())) break;
      drop->acceptProposedAction();
      DropFiles(drop->mimeData()->urls());
      return true;
    }
    default:
      break;
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace aurisona::shell
