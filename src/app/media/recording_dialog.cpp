#include "app/media/recording_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaObject>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

#include "app/media/level_meter.h"
#include "app/media/media_common.h"
#include "core/media/media_library.h"
#include "app/media/media_texts.h"
#include "core/media/sound_files.h"

namespace aurisona::media {
namespace {

constexpr int kNameMax = 259;

bool EndsWithMp3(const std::u16string& name) {
  return Q(name).endsWith(QStringLiteral(".mp3"), Qt::CaseInsensitive);
}

}  // namespace

// ---------------------------------------------------------------------------
// The name dialog

const char16_t* RecordingNameProblem(const QString& name) {
  if (name.isEmpty()) return media_text::kNameEmpty;
  if (name.contains(u'<') || name.contains(u'>')) return media_text::kNameAngle;
  if (!IsPlainFileName(U(name + QStringLiteral(".wav")))) return media_text::kNameUnsafe;
  return nullptr;
}

RecordingNameDialog::RecordingNameDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(Q(media_text::kNameTitle));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(Q(media_text::kNameLabel), this));
  edit_ = new QLineEdit(this);
  edit_->setMaxLength(kNameMax);
  layout->addWidget(edit_);
  auto* buttons = new QDialogButtonBox(this);
  buttons->addButton(Q(media_text::kOk), QDialogButtonBox::AcceptRole)->setDefault(true);
  buttons->addButton(Q(media_text::kCancel), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  setFixedSize(sizeHint().expandedTo(QSize(260, 0)));
}

void RecordingNameDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOverParent(this);
}

void RecordingNameDialog::accept() {
  const QString text = edit_->text().left(kNameMax);
  if (const char16_t* problem = RecordingNameProblem(text)) {
    ShowMessage(this, QMessageBox::Information, Q(media_text::kErrorTitle), Q(problem));
    edit_->setFocus();
    return;
  }
  name_ = text;
  QDialog::accept();
}

// ---------------------------------------------------------------------------
// The recording dialog

RecordingDialog::RecordingDialog(MediaLibrary& media, int initial, QWidget* parent)
    : QDialog(parent), media_(media), player_(this, [this](bool played) { PlaybackEnded(played); }) {
  setWindowTitle(Q(media_text::kRecordingTitle));
  const auto& recordings = media_.lists().recordings;
  selection_ = initial >= 0 && static_cast<size_t>(initial) < recordings.size() ? initial : 0;

  auto* layout = new QHBoxLayout(this);
  auto* left = new QVBoxLayout;
  left->addWidget(new QLabel(Q(media_text::kRecordingLabel), this));
  list_ = new QListWidget(this);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  list_->setMinimumSize(240, 220);
  for (const std::u16string& name : recordings) list_->addItem(Q(name));
  left->addWidget(list_);
  layout->addLayout(left, 1);

  auto* meterColumn = new QVBoxLayout;
  meterColumn->addWidget(new QLabel(Q(media_text::kLevelLabel), this), 0, Qt::AlignHCenter);
  meter_ = new LevelMeter(this);
  meterColumn->addWidget(meter_, 0, Qt::AlignHCenter);
  meterColumn->addStretch(1);
  layout->addLayout(meterColumn);

  auto* buttons = new QVBoxLayout;
  insert_ = new QPushButton(Q(media_text::kInsert), this);
  cancel_ = new QPushButton(Q(media_text::kCancel), this);
  record_ = new QPushButton(Q(media_text::kRecord), this);
  play_ = new QPushButton(Q(media_text::kPlay), this);
  delete_ = new QPushButton(Q(media_text::kDelete), this);
  insert_->setDefault(true);
  buttons->addSpacing(QFontMetrics(font()).height() + 4);
  for (QPushButton* button : {insert_, cancel_, record_, play_, delete_}) buttons->addWidget(button);
  buttons->addStretch(1);
  layout->addLayout(buttons);

  connect(insert_, &QPushButton::clicked, this, [this] { done(media_text::kInsertId); });
  connect(cancel_, &QPushButton::clicked, this, [this] { done(media_text::kCancelId); });
  connect(record_, &QPushButton::clicked, this, &RecordingDialog::RecordClicked);
  connect(play_, &QPushButton::clicked, this, &RecordingDialog::PlayClicked);
  connect(delete_, &QPushButton::clicked, this, &RecordingDialog::DeleteClicked);
  connect(list_, &QListWidget::itemDoubleClicked, this, [this] { RecordAgain(); });

  if (selection_ < list_->count()) list_->setCurrentRow(selection_);
  connect(list_, &QListWidget::itemSelectionChanged, this, &RecordingDialog::SelectionChanged);

  // Capture runs while the dialog is open; each full buffer comes to this
  // thread as a copy.
  recorder_.SetBufferSize(WaveRecorder::kRecordingBufferBytes);
  recorder_.SetBitsPerSample(16);
  recorder_.SetSampleRate(WaveRecorder::kRecordingSampleRate);
  recorder_.SetChannels(1);
  recorder_.SetHandler([this](std::span<const int16_t> samples) {
    std::vector<int16_t> copy(samples.begin(), samples.end());
    QMetaObject::invokeMethod(this, [this, copy = std::move(copy)] { BufferArrived(copy); },
                              Qt::QueuedConnection);
  });
  recorder_.Begin();
}

RecordingDialog::~RecordingDialog() {
  FinishRecordingFile();
  EndCapture();
  player_.Stop();
}

void RecordingDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOverParent(this);
}

QPushButton* RecordingDialog::Button(int id) const {
  switch (id) {
    case media_text::kInsertId: return insert_;
    case media_text::kCancelId: return cancel_;
    case media_text::kRecordId: return record_;
    case media_text::kPlayId: return play_;
    case media_text::kDeleteId: return delete_;
    default: return nullptr;
  }
}

void RecordingDialog::EndCapture() {
  if (recorder_.IsBegun()) recorder_.End();
}

void RecordingDialog::done(int result) {
  FinishRecordingFile();
  EndCapture();
  QDialog::done(result);
}

void RecordingDialog::BufferArrived(const std::vector<int16_t>& samples) {
  ++buffersSeen_;
  meter_->Update(samples);
  if (file_.IsRecording()) file_.Append(samples.data(), samples.size());
}

bool RecordingDialog::StartRecordingFile(const std::u16string& name, bool isNew) {
  if (!recorder_.IsBegun()) return false;
  const RecordingStart started = file_.Start(media_.directory().Record(), name);
  if (started != RecordingStart::kStarted) {
    ShowMessage(this, QMessageBox::Critical, Q(media_text::kErrorTitle), Q(media_text::kCreateFailed));
    return false;
  }
  if (isNew) {
    media_.lists().recordings.push_back(name);
    list_->addItem(Q(name));
    list_->setCurrentRow(list_->count() - 1);
    selection_ = list_->count() - 1;
  }
  setWindowTitle(Q(media_text::kRecordingBusyTitle));
  return true;
}

void RecordingDialog::FinishRecordingFile() {
  if (!file_.IsRecording()) return;
  file_.Finish();
  setWindowTitle(Q(media_text::kRecordingTitle));
}

void RecordingDialog::SetRecordingControls(bool recording) {
  record_->setText(Q(recording ? media_text::kStop : media_text::kRecord));
  for (QPushButton* button : {insert_, cancel_, play_, delete_}) button->setEnabled(!recording);
}

void RecordingDialog::SetPlayingControls(bool playing) {
  play_->setText(Q(playing ? media_text::kStop : media_text::kPlay));
  record_->setEnabled(!playing);
  delete_->setEnabled(!playing);
}

void RecordingDialog::RecordClicked() {
  if (file_.IsRecording()) {
    FinishRecordingFile();
    SetRecordingControls(false);
    return;
  }
  std::optional<QString> typed;
  if (askName) {
    typed = askName();
  } else {
    RecordingNameDialog dialog(this);
    if (dialog.exec() == QDialog::Accepted) typed = dialog.name();
  }
  if (!typed) return;
  const std::u16string name = U(*typed + QStringLiteral(".wav"));
  bool isNew = true;
  const auto& recordings = media_.lists().recordings;
  for (size_t i = 0; i < recordings.size(); ++i) {
    if (recordings[i] != name) continue;
    if (!AskYesNo(this, Q(media_text::kNameExistsTitle), Q(media_text::kNameExists))) return;
    list_->setCurrentRow(static_cast<int>(i));
    selection_ = static_cast<int>(i);
    isNew = false;
  }
  if (StartRecordingFile(name, isNew)) SetRecordingControls(true);
}

void RecordingDialog::RecordAgain() {
  if (file_.IsRecording()) return;
  const auto& recordings = media_.lists().recordings;
  const int row = list_->currentRow();
  if (row >= 0) selection_ = row;
  if (selection_ < 0 || static_cast<size_t>(selection_) >= recordings.size()) return;
  const std::u16string name = recordings[static_cast<size_t>(selection_)];
  if (EndsWithMp3(name)) {
    ShowMessage(this, QMessageBox::Warning, Q(name), Q(media_text::kMp3NoRerecord));
    return;
  }
  if (!AskYesNo(this, Q(name), Q(media_text::kRerecord))) return;
  // The file is about to be written anew: nothing may be reading it.
  if (player_.IsRunning()) {
    player_.Stop();
    SetPlayingControls(false);
  }
  if (StartRecordingFile(name, false)) SetRecordingControls(true);
}

bool RecordingDialog::PlaySelection() {
  const auto index = static_cast<size_t>(selection_);
  if (!player_.Play(media_.RecordingPath(index), 0, 0)) {
    SetPlayingControls(false);
    ShowMessage(this, QMessageBox::Warning, Q(media_.lists().recordings[index]), Q(media_text::kCannotPlay));
    return false;
  }
  SetPlayingControls(true);
  return true;
}

void RecordingDialog::PlayClicked() {
  if (player_.IsRunning()) {
    player_.Stop();
    SetPlayingControls(false);
  } else if (selection_ >= 0 && static_cast<size_t>(selection_) < media_.lists().recordings.size()) {
    PlaySelection();
  }
}

void RecordingDialog::SelectionChanged() {
  const int row = list_->currentRow();
  if (row < 0 || row == selection_) return;
  selection_ = row;
  if (player_.IsRunning() && static_cast<size_t>(row) < media_.lists().recordings.size()) {
    player_.Stop();
    PlaySelection();
  }
}

void RecordingDialog::PlaybackEnded(bool played) {
  SetPlayingControls(false);
  if (!played && selection_ >= 0 && static_cast<size_t>(selection_) < media_.lists().recordings.size()) {
    ShowMessage(this, QMessageBox::Warning, Q(media_.lists().recordings[static_cast<size_t>(selection_)]),
                Q(media_text::kCannotPlay));
  }
}

void RecordingDialog::DeleteClicked() {
  const int row = list_->currentRow();
  if (row >= 0) selection_ = row;
  auto& recordings = media_.lists().recordings;
  if (selection_ < 0 || static_cast<size_t>(selection_) >= recordings.size()) return;
  const int index = selection_;
  if (!AskYesNo(this, Q(recordings[static_cast<size_t>(index)]), Q(media_text::kDeleteRecording))) return;
  std::error_code ignored;
  std::filesystem::remove(media_.RecordingPath(static_cast<size_t>(index)), ignored);
  {
    const QSignalBlocker blocker(list_);
    delete list_->takeItem(index);
  }
  recordings.erase(recordings.begin() + index);
  if (entryRemoved) entryRemoved(index);
  SelectionChanged();
}

}  // namespace aurisona::media
