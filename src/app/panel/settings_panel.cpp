#include "app/panel/settings_panel.h"

#include <algorithm>
#include <utility>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QStylePainter>
#include <QVBoxLayout>

#include "core/speech/speech_engine.h"
#include "core/util/text.h"

namespace aurisona {

namespace {

using namespace panel;

QString Qs(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::u16string U16Of(const QString& text) { return text.toStdU16String(); }

void SetId(QWidget* widget, int id) { widget->setObjectName(QString::number(id)); }

QString SpeedEntryText(int rate) {
  if (rate < 0) return Qs(kSlowFormatPrefix) + QString::number(-rate);
  if (rate == 0) return Qs(kNormalSpeedText);
  return Qs(kFastFormatPrefix) + QString::number(rate);
}

QString VolumeEntryText(int volume) { return QString::number(volume) + QLatin1Char('%'); }

// The decimal number an edit holds, within [low, high]: an empty edit or 0
// gives `low`, digits beyond the limits give the limit.
int EditValue(const QLineEdit* edit, int low, int high) {
  return std::clamp(LeadingInt(U16Of(edit->text())), low, high);
}

// A centred, digits-only number edit.
QLineEdit* MakeNumberEdit(QWidget* parent, int id) {
  auto* edit = new QLineEdit(parent);
  SetId(edit, id);
  edit->setAlignment(Qt::AlignCenter);
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
  return edit;
}

// A drop-down list that asks for the width its longest entry needs in the
// style in force (a skin's padding and arrow included), so every entry reads
// whole when chosen.
class FittedList : public QComboBox {
 public:
  explicit FittedList(QWidget* parent) : QComboBox(parent) {}

  QSize sizeHint() const override {
    const QSize least = QComboBox::sizeHint();
    return QSize(std::max(least.width(), WidthFor(WidestEntry(fontMetrics()))), least.height());
  }
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  // The styles draw the label a pixel in from each side of the edit field.
  static constexpr int kLabelInset = 1;

  QRect TextField() const {
    QStyleOptionComboBox option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  }

  int WidestEntry(const QFontMetrics& fm) const {
    int widest = 0;
    for (int i = 0; i < count(); ++i) widest = std::max(widest, fm.horizontalAdvance(itemText(i)));
    return widest;
  }

 private:
  // The width whose edit field holds `textWidth`: frame, padding and arrow
  // don't grow with the width.
  int WidthFor(int textWidth) const {
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.rect = QRect(0, 0, 400, std::max(height(), QComboBox::sizeHint().height()));
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    return textWidth + 2 * kLabelInset + option.rect.width() - field.width() + 1;
  }
};

// A voice list: its width is that of its longest name (the splitter then
// gives the pane that width), so the chosen voice reads whole; should it get
// less all the same, the name is elided in the middle, with the full name as
// its tool tip. The list pops up wide enough for the longest entry.
class VoiceList final : public FittedList {
 public:
  explicit VoiceList(QWidget* parent) : FittedList(parent) {
    connect(this, &QComboBox::currentTextChanged, this, &QWidget::setToolTip);
  }

  void FitPopupToEntries() {
    const QFontMetrics fm(view()->font());
    view()->setMinimumWidth(WidestEntry(fm) + 32);
    updateGeometry();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    option.currentText = option.fontMetrics.elidedText(option.currentText, Qt::ElideMiddle,
                                                       TextField().width() - 2 * kLabelInset);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
  }
};

// Wide enough for four digits in the edit's font and style.
int NumberEditWidth(const QLineEdit* edit) {
  QStyleOptionFrame option;
  option.initFrom(edit);
  option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
  const QMargins margins = edit->textMargins();
  constexpr int kLineEditMargin = 2;  // QLineEdit's own horizontal text margin, each side
  const int text = option.fontMetrics.horizontalAdvance(QStringLiteral("0000")) + 2 * kLineEditMargin +
                   margins.left() + margins.right();
  return edit->style()
      ->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(text, option.fontMetrics.height()), edit)
      .width();
}

}  // namespace

QString VoiceEngineName(const Voice& voice) { return Qs(voice.engine); }

QString VoiceListLabel(const Voice& voice) {
  const QString engine = VoiceEngineName(voice);
  return engine.isEmpty() ? Qs(voice.name) : Qs(voice.name) + QStringLiteral(" · ") + engine;
}

SettingsPanel::SettingsPanel(const std::vector<Voice>& voices, std::filesystem::path settingsFile,
                             QWidget* parent)
    : QWidget(parent), store_(std::move(settingsFile)) {
  setObjectName(QString::number(kPanelDialogId));
  BuildControls();
  FillLists(voices);
  Load();
}

SettingsPanel::SettingsPanel(SpeechEngine& speech, std::filesystem::path settingsFile, QWidget* parent)
    : SettingsPanel(speech.ListVoices(), std::move(settingsFile), parent) {}

constexpr int kGroupMargin = 4;
constexpr int kColumnSpacing = 3;

void SettingsPanel::BuildControls() {
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(2, 2, 2, 4);
  outer->setSpacing(2);
  BuildVoiceGroups(outer);
  outer->addWidget(BuildOutputGroup());
  outer->addStretch(1);
  outer->addLayout(BuildButtons());
}

// The captions over the speed and volume columns, then the groups of voice rows.
void SettingsPanel::BuildVoiceGroups(QVBoxLayout* outer) {
  auto* captions = new QHBoxLayout;
  captions->setContentsMargins(0, 0, kGroupMargin + 1, 0);
  captions->setSpacing(kColumnSpacing);
  captions->addStretch(1);
  speedCaption_ = new QLabel(Qs(kSpeedCaption), this);
  volumeCaption_ = new QLabel(Qs(kVolumeCaption), this);
  captions->addWidget(speedCaption_);
  captions->addWidget(volumeCaption_);
  outer->addLayout(captions);

  for (size_t g = 0; g < kVoiceGroupTitles.size(); ++g) {
    auto* box = new QGroupBox(Qs(kVoiceGroupTitles[g]), this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(kGroupMargin, 2, kGroupMargin, kGroupMargin);
    grid->setHorizontalSpacing(kColumnSpacing);
    grid->setVerticalSpacing(1);
    grid->setColumnStretch(1, 1);
    voiceGrids_[g] = grid;
    outer->addWidget(box);
  }

  std::array<int, kVoiceGroupTitles.size()> nextRow{};
  for (size_t i = 0; i < kVoiceRows.size(); ++i) {
    const VoiceRowEntry& entry = kVoiceRows[i];
    const auto group = static_cast<size_t>(entry.group);
    QGridLayout* grid = voiceGrids_[group];
    QWidget* box = grid->parentWidget();
    const int row = nextRow[group]++;
    VoiceRow& r = voiceRows_[i];
    r.voice = new VoiceList(box);
    r.speed = new FittedList(box);
    r.volume = new FittedList(box);
    SetId(r.voice, entry.voiceList);
    SetId(r.speed, entry.speedList);
    SetId(r.volume, entry.volumeList);
    r.voice->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    r.voice->setMinimumContentsLength(3);
    r.voice->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // Same entries, same width: the columns line up across the groups.
    for (QComboBox* list : {r.speed, r.volume}) {
      list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
      list->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }
    rowLabels_[i] = new QLabel(Qs(entry.label), box);
    grid->addWidget(rowLabels_[i], row, 0);
    grid->addWidget(r.voice, row, 1);
    grid->addWidget(r.speed, row, 2);
    grid->addWidget(r.volume, row, 3);
  }

}

// The gains, the fade, loudness and subtitles.
QGroupBox* SettingsPanel::BuildOutputGroup() {
  auto* output = new QGroupBox(Qs(kOutputGroupTitle), this);
  auto* outGrid = new QGridLayout(output);
  outGrid->setContentsMargins(kGroupMargin, 2, kGroupMargin, kGroupMargin);
  outGrid->setHorizontalSpacing(kColumnSpacing);
  outGrid->setVerticalSpacing(1);
  // Each automatic box on a line of its own, the controls it greys out
  // indented below it.
  outGrid->setColumnMinimumWidth(0, 14);
  outGrid->setColumnStretch(4, 1);
  for (size_t i = 0; i < kGainRows.size(); ++i) {
    const GainRowEntry& entry = kGainRows[i];
    GainRow& r = gainRows_[i];
    r.automatic = new QCheckBox(Qs(entry.automaticText), output);
    r.fixed = new QCheckBox(Qs(entry.fixedText), output);
    r.percent = MakeNumberEdit(output, entry.percentEdit);
    r.percentSign = new QLabel(Qs(kPercentSign), output);
    SetId(r.automatic, entry.automaticBox);
    SetId(r.fixed, entry.fixedBox);
    SetId(r.percentSign, entry.percentLabel);
    const int row = 2 * static_cast<int>(i);
    outGrid->addWidget(r.automatic, row, 0, 1, 5, Qt::AlignLeft);
    outGrid->addWidget(r.fixed, row + 1, 1);
    outGrid->addWidget(r.percent, row + 1, 2);
    outGrid->addWidget(r.percentSign, row + 1, 3);

    connect(r.automatic, &QCheckBox::toggled, this, [this, i](bool on) {
      GainOf(i).automatic = on;
      ApplyGainEnabling(i);
    });
    connect(r.fixed, &QCheckBox::toggled, this, [this, i](bool on) { GainOf(i).fixed = on; });
    connect(r.percent, &QLineEdit::textChanged, this, [this, i] {
      GainOf(i).percent = EditValue(gainRows_[i].percent, kMinGainPercent, kMaxGainPercent);
    });
  }
  fadeBox_ = new QCheckBox(Qs(kFadeBoxText), output);
  fadeEdit_ = MakeNumberEdit(output, kFadeEditId);
  SetId(fadeBox_, kFadeBoxId);
  const int fadeRow = 2 * static_cast<int>(kGainRows.size());
  auto* fadeLine = new QHBoxLayout;
  fadeLine->setSpacing(kColumnSpacing);
  fadeLine->addWidget(fadeBox_);
  fadeLine->addWidget(fadeEdit_);
  fadeLine->addStretch(1);
  outGrid->addLayout(fadeLine, fadeRow, 0, 1, 5);
  connect(fadeBox_, &QCheckBox::toggled, this, [this](bool on) { record_.fadeOn = on; });
  connect(fadeEdit_, &QLineEdit::textChanged, this,
          [this] { record_.fadeSeconds = EditValue(fadeEdit_, kMinFadeSeconds, kMaxFadeSeconds); });
  BuildLoudnessAndSubtitles(output, outGrid, fadeRow + 1);
  return output;
}

QHBoxLayout* SettingsPanel::BuildButtons() {
  auto* buttonRow = new QHBoxLayout;
  buttonRow->setSpacing(4);
  for (size_t i = 0; i < kButtons.size(); ++i) {
    const int id = kButtons[i].id;
    auto* button = new QPushButton(Qs(kButtons[i].text), this);
    SetId(button, id);
    // Enter must not click a button, not even inside a dialog.
    button->setAutoDefault(false);
    button->setDefault(false);
    connect(button, &QPushButton::clicked, this, [this, id] { emit commandRequested(id); });
    buttonRow->addWidget(button);
    buttons_[i] = button;
  }
  return buttonRow;
}

void SettingsPanel::FillLists(const std::vector<Voice>& voices) {
  // Entry by entry, each appended to all eight lists before the next.
  for (int rate = kMinRate; rate <= kMaxRate; ++rate) {
    for (VoiceRow& r : voiceRows_) r.speed->addItem(SpeedEntryText(rate));
  }
  for (int volume = kMinVolume; volume <= kMaxVolume; volume += kVolumeStep) {
    for (VoiceRow& r : voiceRows_) r.volume->addItem(VolumeEntryText(volume));
  }
  const VoiceSlotLists lists = DistributeVoices(voices);
  for (size_t i = 0; i < voiceRows_.size(); ++i) {
    QComboBox* list = voiceRows_[i].voice;
    // Each entry shows its voice's engine; the name setup.ini stores is its data.
    for (const std::u16string& name : lists[i]) {
      const auto voice = std::find_if(voices.begin(), voices.end(), [&](const Voice& v) { return v.name == name; });
      list->addItem(voice != voices.end() ? VoiceListLabel(*voice) : Qs(name), Qs(name));
    }
    static_cast<VoiceList*>(list)->FitPopupToEntries();
  }
  FitColumns();
}

void SettingsPanel::FitColumns() {
  ensurePolished();  // the sizes below are those of the style in force
  speedCaption_->setFixedWidth(voiceRows_[0].speed->sizeHint().width());
  volumeCaption_->setFixedWidth(voiceRows_[0].volume->sizeHint().width());
  int labelWidth = 0;
  for (const QLabel* label : rowLabels_) labelWidth = std::max(labelWidth, label->sizeHint().width());
  for (QGridLayout* grid : voiceGrids_) grid->setColumnMinimumWidth(0, labelWidth);
  for (const GainRow& r : gainRows_) r.percent->setFixedWidth(NumberEditWidth(r.percent));
  fadeEdit_->setFixedWidth(NumberEditWidth(fadeEdit_));
}

void SettingsPanel::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::StyleChange || event->type() == QEvent::FontChange) {
    // After the children have taken the new style or font.
    QMetaObject::invokeMethod(this, [this] { FitColumns(); }, Qt::QueuedConnection);
  }
}

void SettingsPanel::BuildLoudnessAndSubtitles(QWidget* output, QGridLayout* grid, int row) {
  loudnessBox_ = new QCheckBox(Qs(kLoudnessBoxText), output);
  SetId(loudnessBox_, kLoudnessBoxId);
  loudnessTarget_ = new QSpinBox(output);
  SetId(loudnessTarget_, kLoudnessTargetId);
  loudnessTarget_->setRange(kMinLoudnessTarget, kMaxLoudnessTarget);
  loudnessTarget_->setSuffix(Qs(kLoudnessUnit));
  loudnessTarget_->setAlignment(Qt::AlignCenter);
  auto* line = new QHBoxLayout;
  line->setSpacing(3);
  line->addWidget(loudnessBox_);
  line->addWidget(loudnessTarget_);
  line->addStretch(1);
  grid->addLayout(line, row, 0, 1, 5);
  subtitlesBox_ = new QCheckBox(Qs(kSubtitlesBoxText), output);
  SetId(subtitlesBox_, kSubtitlesBoxId);
  grid->addWidget(subtitlesBox_, row + 1, 0, 1, 5, Qt::AlignLeft);

  connect(loudnessBox_, &QCheckBox::toggled, this, [this](bool on) {
    record_.loudnessOn = on;
    for (size_t i = 0; i < gainRows_.size(); ++i) ApplyGainEnabling(i);
  });
  connect(loudnessTarget_, &QSpinBox::valueChanged, this, [this](int value) { record_.loudnessTarget = value; });
  connect(subtitlesBox_, &QCheckBox::toggled, this, [this](bool on) { record_.subtitlesOn = on; });
}

void SettingsPanel::Load() {
  record_.Load(store_);
  for (size_t i = 0; i < voiceRows_.size(); ++i) {
    const VoiceSlot slot = *record_.VoiceSlotQuery(static_cast<int>(i) + 1);
    voiceRows_[i].volume->setCurrentIndex(slot.volume / kVolumeStep - 1);
    voiceRows_[i].speed->setCurrentIndex(slot.rate - kMinRate);
  }
  for (size_t i = 0; i < gainRows_.size(); ++i) ShowGain(i);
  {
    // The fade time is shown as stored; only what the user types is clamped.
    const QSignalBlocker blockEdit(fadeEdit_);
    const QSignalBlocker blockBox(fadeBox_);
    fadeEdit_->setText(QString::number(record_.fadeSeconds));
    fadeBox_->setChecked(record_.fadeOn);
  }
  {
    const QSignalBlocker blockBox(loudnessBox_);
    const QSignalBlocker blockTarget(loudnessTarget_);
    const QSignalBlocker blockSubtitles(subtitlesBox_);
    loudnessBox_->setChecked(record_.loudnessOn);
    loudnessTarget_->setValue(record_.loudnessTarget);
    subtitlesBox_->setChecked(record_.subtitlesOn);
  }
  for (size_t i = 0; i < gainRows_.size(); ++i) ApplyGainEnabling(i);
  for (size_t i = 0; i < voiceRows_.size(); ++i) {
    QComboBox* list = voiceRows_[i].voice;
    std::vector<std::u16string> names;
    names.reserve(static_cast<size_t>(list->count()));
    for (int e = 0; e < list->count(); ++e) names.push_back(U16Of(list->itemData(e).toString()));
    list->setCurrentIndex(SelectVoice(names, record_.VoiceSlotQuery(static_cast<int>(i) + 1)->voice));
  }
}

GainGroup& SettingsPanel::GainOf(size_t row) {
  switch (kGainRows[row].kind) {
    case GainKind::kText:
      return record_.textGain;
    case GainKind::kMusic:
      return record_.musicGain;
    case GainKind::kRecording:
      break;
  }
  return record_.recordingGain;
}

void SettingsPanel::ShowGain(size_t row) {
  const GainGroup gain = GainOf(row);
  GainRow& r = gainRows_[row];
  {
    const QSignalBlocker blockEdit(r.percent);
    const QSignalBlocker blockAuto(r.automatic);
    const QSignalBlocker blockFixed(r.fixed);
    r.percent->setText(QString::number(gain.percent));
    r.automatic->setChecked(gain.automatic);
    r.fixed->setChecked(gain.fixed);
  }
  ApplyGainEnabling(row);
}

void SettingsPanel::ApplyGainEnabling(size_t row) {
  // Loudness normalisation sets every gain itself.
  const bool loudness = loudnessBox_ != nullptr && loudnessBox_->isChecked();
  const bool enabled = !GainOf(row).automatic && !loudness;
  GainRow& r = gainRows_[row];
  r.automatic->setEnabled(!loudness);
  r.fixed->setEnabled(enabled);
  r.percent->setEnabled(enabled);
  r.percentSign->setEnabled(enabled);
}

bool SettingsPanel::Save() { return Record().Save(store_); }

std::optional<VoiceSlot> SettingsPanel::VoiceSlotQuery(int slot) const {
  if (slot < 1 || slot > kVoiceSlotCount) return std::nullopt;
  const VoiceRow& r = voiceRows_[static_cast<size_t>(slot - 1)];
  VoiceSlot result;
  result.voice = U16Of(r.voice->currentData().toString());
  result.rate = r.speed->currentIndex() + kMinRate;
  result.volume = (r.volume->currentIndex() + 1) * kVolumeStep;
  return result;
}

SettingsRecord SettingsPanel::Record() const {
  SettingsRecord record = record_;
  for (int slot = 1; slot <= kVoiceSlotCount; ++slot) *record.SlotAt(slot) = *VoiceSlotQuery(slot);
  return record;
}

QWidget* SettingsPanel::Control(int id) const {
  return findChild<QWidget*>(QString::number(id));
}

QPushButton* SettingsPanel::Button(int id) const {
  for (size_t i = 0; i < kButtons.size(); ++i) {
    if (kButtons[i].id == id) return buttons_[i];
  }
  return nullptr;
}

void SettingsPanel::SetButtonText(int id, const QString& text) {
  if (QPushButton* button = Button(id)) button->setText(text);
}

void SettingsPanel::SetButtonEnabled(int id, bool enabled) {
  if (QPushButton* button = Button(id)) button->setEnabled(enabled);
}

void SettingsPanel::ResetButtons() {
  for (size_t i = 0; i < kButtons.size(); ++i) {
    buttons_[i]->setText(Qs(kButtons[i].text));
    buttons_[i]->setEnabled(true);
  }
}

bool SettingsPanel::PostCommand(int id) {
  if (!Button(id)) return false;
  QMetaObject::invokeMethod(this, [this, id] { emit commandRequested(id); }, Qt::QueuedConnection);
  return true;
}

void SettingsPanel::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      event->accept();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

}  // namespace aurisona
