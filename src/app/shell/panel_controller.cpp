#include "app/shell/panel_controller.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QComboBox>
#include <QSpinBox>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QVBoxLayout>

#include "core/media/missing_media.h"
#include "app/panel/settings_panel.h"
#include "core/script/compiler.h"
#include "app/shell/commands.h"
#include "app/shell/dialogs.h"
#include "app/shell/editor_port.h"
#include "app/shell/main_window.h"
#include "app/shell/preview_engine.h"
#include "app/shell/programme_view.h"
#include "core/script/memory_document.h"
#include "core/speech/worker_engine.h"
#include "app/shell/reading_dialogs.h"
#include "app/shell/shell_texts.h"
#include "core/output/job_cache.h"
#include "core/output/subtitles.h"
#include "core/output/timeline.h"
#include "core/speech/composite_engine.h"

namespace aurisona::shell {
namespace {

QString Q(std::u16string_view text) { return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size())); }

constexpr std::u16string_view kSubtitlesFailedMessage = u"字幕文件写入失败，请检查磁盘空间或换一个文件名后重试！";

// The progress bar takes int ranges; long scripts are scaled into it.
constexpr int kProgressMax = 1 << 20;

}  // namespace

OutputProgressDialog::OutputProgressDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("输出MP3"));
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(Q(kOutputProgressText), this);
  text_ = text;
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QString::number(ctl::kOutputProgressBar));
  bar_->setTextVisible(false);
  abort_ = new QPushButton(QStringLiteral("中止(&X)"), this);
  abort_->setObjectName(QString::number(ctl::kOutputAbort));
  abort_->setAutoDefault(false);
  auto* row = new QHBoxLayout;
  row->addWidget(bar_, 1);
  row->addWidget(abort_);
  layout->addWidget(text);
  layout->addLayout(row);
  setMinimumWidth(360);
  connect(abort_, &QPushButton::clicked, this, &OutputProgressDialog::AbortRequested);
}

void OutputProgressDialog::ShowMeasuring(bool measuring) {
  setWindowTitle(measuring ? QString::fromUtf16(text::kMeasureTitle) : QStringLiteral("输出MP3"));
  text_->setText(measuring ? QString::fromUtf16(text::kMeasureProgress) : Q(kOutputProgressText));
}

QString OutputProgressDialog::Text() const { return text_->text(); }

void OutputProgressDialog::keyPressEvent(QKeyEvent* event) {
  // Enter and Esc would close the dialog and take the abort button away.
  if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void OutputProgressDialog::closeEvent(QCloseEvent* event) {
  // Closing the window asks for the abort instead; the job closes the dialog.
  event->ignore();
  emit AbortRequested();
}

PanelController::PanelController(MainWindow& window)
    : window_(window),
      speech_(std::make_unique<ReadingSpeechEngine>(CreateSpeechEngine({window.Media().directory().root()}))),
      outputSpeech_(
          std::make_unique<ReadingSpeechEngine>(CreateWorkerSpeechEngine({window.Media().directory().root()}))) {
  const auto dictionary = std::make_shared<const ReadingDictionary>(
      ReadingDictionary::Load(window.Media().directory().Readings(), nullptr));
  speech_->SetDictionary(dictionary);
  outputSpeech_->SetDictionary(dictionary);
  StartSpeechEnginesEarly();  // loaded while the window opens, ready for the first preview
  panel_ = std::make_unique<SettingsPanel>(*speech_, window.Media().directory().SetupIni());
  preview_ = new PreviewEngine(window, *panel_, *speech_);
  connect(panel_.get(), &SettingsPanel::commandRequested, this, [this](int id) { HandleCommand(id); });
  askOutputPath = [this] { return AskOutputPathWithDialog(); };
  // A voice, speed, volume, gain or fade chosen changes the programme as an edit does.
  if (ProgrammeView* view = window.Programme()) {
    for (QComboBox* box : panel_->findChildren<QComboBox*>()) {
      connect(box, &QComboBox::currentIndexChanged, view, &ProgrammeView::ScriptChanged);
    }
    for (QAbstractButton* button : panel_->findChildren<QAbstractButton*>()) {
      if (button->isCheckable()) connect(button, &QAbstractButton::toggled, view, &ProgrammeView::ScriptChanged);
    }
    for (QSpinBox* spin : panel_->findChildren<QSpinBox*>()) {
      connect(spin, &QSpinBox::valueChanged, view, &ProgrammeView::ScriptChanged);
    }
  }
}

PanelController::~PanelController() {
  abort_.store(true);
  if (worker_.joinable()) worker_.join();
}

QWidget* PanelController::Widget() { return panel_.get(); }

void PanelController::SaveSettings() { panel_->Save(); }

int PanelController::MusicFadeSeconds() const {
  const SettingsRecord record = panel_->Record();
  return record.fadeOn ? std::max(record.fadeSeconds, 0) : 0;
}

bool PanelController::PrepareProgramme(ProgrammeRequest* request) {
  MemoryScriptDocument copy;
  CopyScriptDocument(window_.Editor().Document(), copy);
  MediaLibrary& media = window_.Media();
  OutputJob& job = request->job;
  request->script = copy.Text(0, -1);
  ScriptCompiler(copy, media.lists(), job.segments, {});
  const std::vector<MissingMedia> missing = FindMissingMedia(job.segments, media.lists());
  if (!missing.empty()) {
    QStringList names;
    for (const MissingMedia& m : missing) names << Q(m.name);
    request->missing = Q(kMediaMissingMessage) + names.join(QStringLiteral("、"));
  }
  job.musicFolder = media.directory().Music();
  job.recordFolder = media.directory().Record();
  job.promptTone = media.currentPromptTone();
  job.settings = OutputSettingsFrom(panel_->Record());
  request->speech = speech_.get();
  return true;
}

void PanelController::HandleCommand(int panelCommand) {
  if (worker_.joinable()) return;  // the window takes no commands while the output runs
  switch (panelCommand) {
    case panel_cmd::kOutputMp3:
      if (!preview_->InProgress()) StartOutput();
      break;
    case panel_cmd::kMeasureLength:
      if (!preview_->InProgress()) StartMeasure();
      break;
    case panel_cmd::kPreviewAll:
      preview_->StartOrStop(0);
      break;
    case panel_cmd::kPreviewFromCaret:
      preview_->StartOrStop(std::max(0, window_.Editor().Document().Selection().first));
      break;
    case panel_cmd::kReadingsDictionary:
      ShowDictionaryDialog();
      break;
    case panel_cmd::kShowSpoken:
      ShowSpokenDialog();
      break;
    case panel_cmd::kPieceCache:
      ShowPieceCacheDialog();
      break;
    default:
      break;
  }
}

ReadingsDictionaryDialog* PanelController::DictionaryDialog() const { return dictionaryDialog_.data(); }
SpokenTextDialog* PanelController::SpokenDialog() const { return spokenDialog_.data(); }

void PanelController::ShowDictionaryDialog() {
  if (dictionaryDialog_) {
    dictionaryDialog_->raise();
    dictionaryDialog_->activateWindow();
    return;
  }
  dictionaryDialog_ = new ReadingsDictionaryDialog(
      window_.Media().directory().Readings(), window_.Dialogs(),
      [this](int slot) { return panel_->VoiceSlotQuery(slot); }, &window_);
  dictionaryDialog_->setAttribute(Qt::WA_DeleteOnClose);
  // From the next sentence on, render, preview, timeline and the length measure read with it.
  dictionaryDialog_->applied = [this](std::shared_ptr<const ReadingDictionary> dictionary) {
    speech_->SetDictionary(dictionary);
    outputSpeech_->SetDictionary(std::move(dictionary));
  };
  dictionaryDialog_->open();
}

void PanelController::ShowSpokenDialog() {
  if (spokenDialog_) spokenDialog_->close();
  ScriptDocument& doc = window_.Editor().Document();
  const auto [start, end] = doc.Selection();
  const std::shared_ptr<const ReadingDictionary> dictionary = speech_->Dictionary();
  const std::vector<SpokenRow> rows = SpokenRows(doc, window_.Media().lists(), dictionary.get(), start, end);
  spokenDialog_ = new SpokenTextDialog(rows, start == end, &window_);
  spokenDialog_->setAttribute(Qt::WA_DeleteOnClose);
  spokenDialog_->show();
}

QString PanelController::AskOutputPathWithDialog() {
  QFileDialog dialog(&window_, QStringLiteral("保存..."));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters({QStringLiteral("mp3文件(*.mp3)"), QStringLiteral("所有文件(*)")});
  dialog.setDefaultSuffix(QStringLiteral("mp3"));
  // The document's name with .mp3, in the document's folder.
  ProposeFile(&dialog, window_.ProposedOutputPath());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

OutputJob PanelController::PrepareJob(OutputCallbacks* callbacks) {
  ScriptDocument& doc = window_.Editor().Document();
  const auto [start, end] = doc.Selection();
  savedStart_ = start;
  savedEnd_ = end;
  auto* scroll = qobject_cast<QAbstractScrollArea*>(window_.Editor().Widget());
  savedScroll_ = scroll ? scroll->verticalScrollBar()->value() : 0;

  OutputJob job;
  MediaLibrary& media = window_.Media();
  ScriptCompiler(doc, media.lists(), job.segments, [this](CompilerMessage message, int) {
    window_.Dialogs().ShowError(window_.Editor().Widget(), Q(CompilerMessageText(message)));
  });
  job.musicFolder = media.directory().Music();
  job.recordFolder = media.directory().Record();
  job.promptTone = media.currentPromptTone();
  job.settings = OutputSettingsFrom(panel_->Record());
  // A cache of its own per job: one that turned itself off is tried again next time.
  cache_ = OpenPieceCache(media.directory(), media.store());
  job.cache = cache_;

  if (!progress_) {
    progress_ = new OutputProgressDialog(&window_);
    connect(progress_, &OutputProgressDialog::AbortRequested, this, [this] { abort_.store(true); });
  }
  const int length = std::max(doc.Length(), 1);
  progressScale_ = length > kProgressMax ? (length + kProgressMax - 1) / kProgressMax : 1;
  progress_->Bar()->setRange(0, length / progressScale_);
  progress_->Bar()->setValue(0);
  // Window-modal: the main window takes no input while the job runs, the
  // dialog's abort button does, and the event loop keeps running.
  progress_->setWindowModality(Qt::WindowModal);
  progress_->show();
  abort_.store(false);

  callbacks->segment = [this](int s, int e) {
    QMetaObject::invokeMethod(this, [this, s, e] { window_.Editor().Document().SetSelection(s, e); },
                              Qt::QueuedConnection);
  };
  callbacks->progress = [this](int position) {
    QMetaObject::invokeMethod(
        this, [this, position] { if (progress_) progress_->Bar()->setValue(position / progressScale_); },
        Qt::QueuedConnection);
  };
  return job;
}

bool PanelController::ShowMissingMedia(const std::vector<Segment>& segments) {
  const std::vector<MissingMedia> missing = FindMissingMedia(segments, window_.Media().lists());
  if (missing.empty()) return false;
  QString names;
  for (const MissingMedia& m : missing) names += u'\n' + Q(m.name);
  if (progress_) progress_->hide();
  window_.Dialogs().ShowError(panel_.get(), Q(kMediaMissingMessage) + names);
  RestoreEditor();
  return true;
}

void PanelController::StartOutput() {
  if (worker_.joinable()) return;
  ScriptDocument& doc = window_.Editor().Document();
  if (doc.Length() == 0) {
    window_.Dialogs().ShowError(panel_.get(), Q(kOutputEmptyMessage));
    return;
  }
  const QString path = askOutputPath ? askOutputPath() : QString();
  if (path.isEmpty()) return;
  outputPath_ = QFileInfo(path).absoluteFilePath();
  window_.RememberFolderOf(outputPath_);

  OutputCallbacks callbacks;
  OutputJob job = PrepareJob(&callbacks);
  if (ShowMissingMedia(job.segments)) return;
  progress_->ShowMeasuring(false);
  job.output = std::filesystem::path(path.toStdString());
  const bool subtitles = panel_->Record().subtitlesOn;
  // The subtitles' title: the script's file name, else the MP3's.
  const QString current = window_.CurrentPath();
  const std::u16string title =
      std::filesystem::path((current.isEmpty() ? path : current).toStdString()).stem().u16string();
  worker_ = std::thread([this, job = std::move(job), callbacks, subtitles, title]() mutable {
    const std::filesystem::path output = job.output;
    Timeline timeline;
    const OutputResult result = RunOutputJobWithTimeline(std::move(job), *outputSpeech_, abort_, callbacks, &timeline);
    QString subtitleError;
    std::string error;
    if (subtitles && result.status != OutputStatus::kFailed &&
        !WriteSubtitles(output, timeline, title, true, true, &error)) {
      subtitleError = QString::fromStdString(error);
    }
    const double seconds = timeline.seconds();
    QMetaObject::invokeMethod(
        this, [this, result, seconds, subtitleError] { FinishOutput(result, seconds, subtitleError); },
        Qt::QueuedConnection);
  });
}

void PanelController::StartMeasure() {
  if (worker_.joinable()) return;
  if (window_.Editor().Document().Length() == 0) {
    window_.Dialogs().ShowError(panel_.get(), Q(kOutputEmptyMessage));
    return;
  }
  OutputCallbacks callbacks;
  OutputJob job = PrepareJob(&callbacks);
  if (ShowMissingMedia(job.segments)) return;
  progress_->ShowMeasuring(true);
  job.measureOnly = true;
  worker_ = std::thread([this, job = std::move(job), callbacks]() mutable {
    Timeline timeline;
    const OutputResult result = RunOutputJobWithTimeline(std::move(job), *outputSpeech_, abort_, callbacks, &timeline);
    const double seconds = timeline.seconds();
    QMetaObject::invokeMethod(this, [this, result, seconds] { FinishMeasure(result, seconds); },
                              Qt::QueuedConnection);
  });
}

void PanelController::ShowCacheWarning() {
  if (!cache_ || cache_->warning().empty()) return;
  window_.statusBar()->showMessage(QStringLiteral("片段缓存已停用：") + QString::fromStdString(cache_->warning()),
                                   kCacheWarningMs);
}

QString PieceCacheText(uint64_t bytes, uint64_t entries) {
  return QStringLiteral("片段缓存占用 %1 MB（%2 个片段）。")
      .arg(double(bytes) / (1024.0 * 1024.0), 0, 'f', 1)
      .arg(entries);
}

void PanelController::ShowPieceCacheDialog() {
  MediaLibrary& media = window_.Media();
  const std::shared_ptr<PieceCache> cache = OpenPieceCache(media.directory(), media.store());
  const PieceCacheUsage usage = cache->Usage();
  const QString text = PieceCacheText(usage.bytes, usage.entries) + u'\n' +
                       QString::fromStdString(cache->folder().string());
  if (usage.entries == 0) {
    window_.Dialogs().ShowInformation(&window_, QStringLiteral("片段缓存"), text);
    return;
  }
  if (!window_.Dialogs().AskYesNo(&window_, QStringLiteral("片段缓存"), text + QStringLiteral("\n\n清空片段缓存吗？"))) {
    return;
  }
  std::string error;
  if (!cache->Clear(&error)) {
    window_.Dialogs().ShowError(&window_, QStringLiteral("清空片段缓存失败：") + QString::fromStdString(error));
    return;
  }
  window_.statusBar()->showMessage(QStringLiteral("片段缓存已清空"), kCacheWarningMs);
}

QString ProgrammeLengthText(double seconds) {
  return QStringLiteral("节目总长度：") + QString::fromStdString(FormatDuration(seconds));
}

void PanelController::RestoreEditor() {
  // The editor shows what it showed before the job.
  window_.Editor().Document().SetSelection(savedStart_, savedEnd_);
  if (auto* scroll = qobject_cast<QAbstractScrollArea*>(window_.Editor().Widget())) {
    scroll->verticalScrollBar()->setValue(savedScroll_);
  }
  window_.Editor().Widget()->setFocus();
}

void PanelController::FinishOutput(const OutputResult& result, double seconds, const QString& subtitleError) {
  if (worker_.joinable()) worker_.join();
  if (progress_) progress_->hide();
  ShowCacheWarning();
  if (result.status != OutputStatus::kFailed) window_.ShowProgrammeLength(ProgrammeLengthText(seconds));
  if (result.status == OutputStatus::kFinished) {
    window_.Dialogs().ShowInformation(panel_.get(), Q(kOutputDoneTitle),
                                      Q(kOutputDoneMessage) + u'\n' + outputPath_ + u'\n' +
                                          ProgrammeLengthText(seconds));
  } else if (result.status == OutputStatus::kFailed) {
    // The message, then which file and why.
    QString why = Q(kOutputFailedMessage) + u'\n' + outputPath_;
    if (!result.error.empty()) why += QStringLiteral("：") + QString::fromStdString(result.error);
    window_.Dialogs().ShowError(panel_.get(), why);
  }
  if (!subtitleError.isEmpty()) window_.Dialogs().ShowError(panel_.get(), Q(kSubtitlesFailedMessage));
  RestoreEditor();
  if (outputFinished) outputFinished(result);
}

void PanelController::FinishMeasure(const OutputResult& result, double seconds) {
  if (worker_.joinable()) worker_.join();
  if (progress_) progress_->hide();
  RestoreEditor();
  ShowCacheWarning();
  if (result.status == OutputStatus::kFinished) {
    window_.ShowProgrammeLength(ProgrammeLengthText(seconds));
    window_.Dialogs().ShowInformation(panel_.get(), QString::fromUtf16(text::kMeasureTitle),
                                      ProgrammeLengthText(seconds));
  }
  if (lengthMeasured) lengthMeasured(result, seconds);
}

}  // namespace aurisona::shell
