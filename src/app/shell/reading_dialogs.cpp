#include "app/shell/reading_dialogs.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <map>
#include <set>

#include "audio-io/speech_player.h"
#include "core/output/timeline.h"
#include "core/script/compiler.h"
#include "core/script/memory_document.h"
#include "app/shell/dialogs.h"
#include "core/speech/composite_engine.h"
#include "core/speech/voice_slots.h"
#include "core/util/atomic_file.h"
#include "core/util/text.h"

namespace aurisona::shell {
namespace {

QString Q(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
std::u16string U(const QString& text) { return text.toStdU16String(); }

bool HasChinese(std::u16string_view text) {
  return std::any_of(text.begin(), text.end(), [](char16_t c) { return IsChineseCharacter(c); });
}

QTableWidgetItem* ReadOnlyItem(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  return item;
}

}  // namespace

QString DictionaryReasonText(const std::string& reason) {
  static const std::map<std::string, QString> kTexts = {
      {"nothing before \"=\"", QStringLiteral("写法为空")},
      {"the written form is longer than 100 characters", QStringLiteral("写法超过100个字符")},
      {"the reading is longer than 500 characters", QStringLiteral("读法超过500个字符")},
      {"control characters", QStringLiteral("含有控制字符")},
      {"more than one \"=\"", QStringLiteral("写法中不能有“=”")},
      {"line longer than 2000 bytes", QStringLiteral("这一行超过2000字节")},
      {"not UTF-8", QStringLiteral("不是UTF-8编码的文字")},
      {"no \"=\" between the written form and its reading", QStringLiteral("写法与读法之间缺少“=”")},
      {"more than 10000 entries; the rest is left out", QStringLiteral("超过10000条，其后各行未读取")},
  };
  const auto it = kTexts.find(reason);
  return it != kTexts.end() ? it->second : QString::fromStdString(reason);
}

// ---- The readings dictionary ----

ReadingsDictionaryDialog::ReadingsDictionaryDialog(std::filesystem::path path, DialogProvider& dialogs,
                                                   VoiceOf voiceOf, QWidget* parent)
    : QDialog(parent), path_(std::move(path)), dialogs_(dialogs), voiceOf_(std::move(voiceOf)) {
  setWindowTitle(QStringLiteral("朗读词典"));
  setSizeGripEnabled(true);
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel(QStringLiteral("按词典中的读法朗读这些写法（英文单词不分大小写，整词匹配）。"
                                          "\n词典文件：%1")
                               .arg(QString::fromStdString(path_.string())),
                           this);
  intro->setWordWrap(true);
  intro->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(intro);

  table_ = new QTableWidget(0, 2, this);
  table_->setHorizontalHeaderLabels({QStringLiteral("写法"), QStringLiteral("读法")});
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->verticalHeader()->setVisible(false);
  table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Interactive);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setColumnWidth(0, 160);
  layout->addWidget(table_, 1);

  auto* fields = new QGridLayout;
  written_ = new QLineEdit(this);
  spoken_ = new QLineEdit(this);
  written_->setMaxLength(static_cast<int>(ReadingDictionary::kMaxWritten) + 1);
  spoken_->setMaxLength(static_cast<int>(ReadingDictionary::kMaxSpoken) + 1);
  auto* writtenLabel = new QLabel(QStringLiteral("写法(&W)："), this);
  auto* spokenLabel = new QLabel(QStringLiteral("读法(&E)："), this);
  writtenLabel->setBuddy(written_);
  spokenLabel->setBuddy(spoken_);
  fields->addWidget(writtenLabel, 0, 0);
  fields->addWidget(written_, 0, 1);
  fields->addWidget(spokenLabel, 1, 0);
  fields->addWidget(spoken_, 1, 1);
  layout->addLayout(fields);

  auto* buttons = new QHBoxLayout;
  add_ = new QPushButton(QStringLiteral("添加(&A)"), this);
  change_ = new QPushButton(QStringLiteral("修改(&M)"), this);
  remove_ = new QPushButton(QStringLiteral("删除(&D)"), this);
  play_ = new QPushButton(QStringLiteral("试听(&P)"), this);
  for (QPushButton* b : {add_, change_, remove_, play_}) {
    b->setAutoDefault(false);
    buttons->addWidget(b);
  }
  buttons->addStretch(1);
  layout->addLayout(buttons);

  problemLabel_ = new QLabel(this);
  problemLabel_->setWordWrap(true);
  problemList_ = new QListWidget(this);
  problemList_->setMaximumHeight(90);
  layout->addWidget(problemLabel_);
  layout->addWidget(problemList_);

  auto* box = new QDialogButtonBox(this);
  ok_ = box->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
  QPushButton* cancel = box->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
  ok_->setAutoDefault(false);
  cancel->setAutoDefault(false);
  layout->addWidget(box);

  connect(box, &QDialogButtonBox::accepted, this, &ReadingsDictionaryDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &ReadingsDictionaryDialog::reject);
  connect(add_, &QPushButton::clicked, this, &ReadingsDictionaryDialog::Add);
  connect(change_, &QPushButton::clicked, this, &ReadingsDictionaryDialog::Change);
  connect(remove_, &QPushButton::clicked, this, &ReadingsDictionaryDialog::Remove);
  connect(play_, &QPushButton::clicked, this, &ReadingsDictionaryDialog::Play);
  table_->installEventFilter(this);  // Delete removes the selected entry
  connect(table_, &QTableWidget::itemSelectionChanged, this, &ReadingsDictionaryDialog::FillFields);
  connect(written_, &QLineEdit::textChanged, this, &ReadingsDictionaryDialog::UpdateButtons);
  // Enter in the fields adds the entry, or changes the selected one of the same written form.
  auto enter = [this] {
    const int row = table_->currentRow();
    if (row >= 0 && table_->item(row, 0)->text().compare(written_->text().trimmed(), Qt::CaseInsensitive) == 0) {
      Change();
    } else {
      Add();
    }
  };
  connect(written_, &QLineEdit::returnPressed, this, enter);
  connect(spoken_, &QLineEdit::returnPressed, this, enter);

  Load();
  resize(520, 460);
}

bool ReadingsDictionaryDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == table_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
    Remove();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

ReadingsDictionaryDialog::~ReadingsDictionaryDialog() {
  if (player_) player_->Stop();
}

void ReadingsDictionaryDialog::Load() {
  const ReadingDictionary dictionary = ReadingDictionary::Load(path_, &problems_);
  table_->setRowCount(0);
  for (const ReadingDictionary::Entry& entry : dictionary.entries()) SetRow(table_->rowCount(), entry);

  QByteArray bytes;
  if (QFile file(QString::fromStdString(path_.string())); file.open(QIODevice::ReadOnly)) {
    bytes = file.read(static_cast<qint64>(ReadingDictionary::kMaxFileBytes) + 1);
  }
  const QList<QByteArray> lines = bytes.split('\n');
  for (const DictionaryProblem& p : problems_) {
    if (p.line <= 0) {
      unreadable_ = p.reason;
      continue;
    }
    // Past the last entry the parser takes, every line is kept.
    const bool rest = p.reason == "more than 10000 entries; the rest is left out";
    for (qsizetype i = p.line - 1; i < lines.size() && (i == p.line - 1 || rest); ++i) {
      QByteArray line = lines[i];
      if (line.endsWith('\r')) line.chop(1);
      if (rest && i + 1 == lines.size() && line.isEmpty()) break;
      damagedLines_.push_back(line.toStdString());
    }
  }
  for (const DictionaryProblem& p : problems_) {
    problemList_->addItem(p.line > 0 ? QStringLiteral("第%1行：%2").arg(p.line).arg(DictionaryReasonText(p.reason))
                                     : QStringLiteral("整个文件：%1").arg(DictionaryReasonText(p.reason)));
  }
  if (!unreadable_.empty()) {
    problemLabel_->setText(QStringLiteral("词典文件无法读取，不能在这里修改（请先修复或移走该文件）："));
  } else {
    problemLabel_->setText(QStringLiteral("词典文件中以下各行无法读取，已跳过（保存时作为注释保留在文件中）："));
  }
  problemLabel_->setVisible(!problems_.empty());
  problemList_->setVisible(!problems_.empty());
  UpdateButtons();
}

void ReadingsDictionaryDialog::SetRow(int row, const ReadingDictionary::Entry& entry) {
  if (row >= table_->rowCount()) table_->insertRow(row);
  table_->setItem(row, 0, ReadOnlyItem(Q(entry.written)));
  table_->setItem(row, 1, ReadOnlyItem(Q(entry.spoken)));
}

std::vector<ReadingDictionary::Entry> ReadingsDictionaryDialog::Entries() const {
  std::vector<ReadingDictionary::Entry> entries;
  for (int row = 0; row < table_->rowCount(); ++row) {
    entries.push_back({U(table_->item(row, 0)->text()), U(table_->item(row, 1)->text())});
  }
  return entries;
}

int ReadingsDictionaryDialog::SlotFor(const std::u16string& written) { return HasChinese(written) ? 1 : 3; }

void ReadingsDictionaryDialog::FillFields() {
  const int row = table_->currentRow();
  if (row >= 0 && table_->item(row, 0)->isSelected()) {
    written_->setText(table_->item(row, 0)->text());
    spoken_->setText(table_->item(row, 1)->text());
  }
  UpdateButtons();
}

void ReadingsDictionaryDialog::UpdateButtons() {
  const bool selected = !table_->selectedItems().isEmpty();
  const bool editable = unreadable_.empty();
  add_->setEnabled(editable);
  change_->setEnabled(editable && selected);
  remove_->setEnabled(editable && selected);
  play_->setEnabled(!written_->text().trimmed().isEmpty());
}

std::optional<ReadingDictionary::Entry> ReadingsDictionaryDialog::CheckedFields(int replacingRow) {
  const ReadingDictionary::Entry entry{U(written_->text().trimmed()), U(spoken_->text().trimmed())};
  if (const std::string reason = ReadingDictionary::CheckEntry(entry); !reason.empty()) {
    dialogs_.ShowError(this, QStringLiteral("不能采用这一条：%1。").arg(DictionaryReasonText(reason)));
    return std::nullopt;
  }
  for (int row = 0; row < table_->rowCount(); ++row) {
    if (row != replacingRow && table_->item(row, 0)->text().compare(Q(entry.written), Qt::CaseInsensitive) == 0) {
      dialogs_.ShowError(this, QStringLiteral("词典中已有“%1”，请选中它再修改。").arg(table_->item(row, 0)->text()));
      return std::nullopt;
    }
  }
  return entry;
}

void ReadingsDictionaryDialog::Add() {
  if (!add_->isEnabled()) return;
  const std::optional<ReadingDictionary::Entry> entry = CheckedFields(-1);
  if (!entry) return;
  const int row = table_->rowCount();
  SetRow(row, *entry);
  table_->selectRow(row);
  table_->scrollToItem(table_->item(row, 0));
}

void ReadingsDictionaryDialog::Change() {
  const int row = table_->currentRow();
  if (!change_->isEnabled() || row < 0) return;
  const std::optional<ReadingDictionary::Entry> entry = CheckedFields(row);
  if (!entry) return;
  SetRow(row, *entry);
}

void ReadingsDictionaryDialog::Remove() {
  const int row = table_->currentRow();
  if (!remove_->isEnabled() || row < 0) return;
  table_->removeRow(row);
  table_->clearSelection();
  written_->clear();
  spoken_->clear();
  UpdateButtons();
}

void ReadingsDictionaryDialog::Play() {
  const std::u16string written = U(written_->text().trimmed());
  if (written.empty()) return;
  // The fields' entry is heard as a sentence would read it with the dictionary being edited.
  std::vector<ReadingDictionary::Entry> entries = Entries();
  const ReadingDictionary::Entry fields{written, U(spoken_->text().trimmed())};
  if (ReadingDictionary::CheckEntry(fields).empty()) entries.push_back(fields);
  auto dictionary = std::make_shared<ReadingDictionary>();
  dictionary->SetEntries(std::move(entries));
  if (!playEngine_) {
    playEngine_ = std::make_unique<ReadingSpeechEngine>(CreateSpeechEngine());
    player_ = std::make_unique<SpeechPlayer>(*playEngine_, SpeechEvents{});
  }
  playEngine_->SetDictionary(std::move(dictionary));
  const int slot = SlotFor(written);
  const VoiceSlot voice = voiceOf_ ? voiceOf_(slot).value_or(VoiceSlot{}) : VoiceSlot{};
  if (played) played(slot, playEngine_->Spoken(written).text);
  player_->Speak(written, voice.voice, voice.rate, voice.volume);
}

void ReadingsDictionaryDialog::accept() {
  const QString where = QString::fromStdString(path_.string());
  if (!unreadable_.empty()) {
    dialogs_.ShowError(this, QStringLiteral("朗读词典 %1 无法读取（%2），没有改写它。")
                                 .arg(where, DictionaryReasonText(unreadable_)));
    return;
  }
  auto dictionary = std::make_shared<ReadingDictionary>();
  dictionary->SetEntries(Entries());
  std::string error;
  bool saved = false;
  if (damagedLines_.empty()) {
    saved = dictionary->Save(path_, &error);
  } else {
    // The lines that could not be read stay in the file, as comments.
    std::string text = dictionary->Serialize();
    if (!text.empty() && text.back() != '\n') text += '\n';
    text += "# Lines that could not be read, kept as they were:\n";
    for (const std::string& line : damagedLines_) text += "# " + line + "\n";
    saved = WriteFileAtomically(path_, text, &error);
  }
  if (!saved) {
    dialogs_.ShowError(this, QStringLiteral("无法保存朗读词典 %1：%2").arg(where, QString::fromStdString(error)));
    return;
  }
  if (player_) player_->Stop();
  if (applied) applied(std::move(dictionary));
  QDialog::accept();
}

// ---- What the engine is handed ----

QString VoiceSlotText(int slot) {
  static const char16_t* const kNames[] = {u"中文男声", u"中文女声", u"英文男声", u"英文女声",
                                           u"中文男声1", u"中文女声1", u"英文男声1", u"英文女声1"};
  if (slot < 1 || slot > 8) return QString::number(slot);
  return QStringLiteral("%1 %2").arg(slot).arg(QString::fromUtf16(kNames[slot - 1]));
}

std::vector<SpokenRow> SpokenRows(const ScriptDocument& doc, const MediaLists& lists,
                                  const ReadingDictionary* dictionary, int start, int end) {
  // A copy keeps the compiler's mending of faulty marks out of the user's script.
  MemoryScriptDocument copy;
  const std::u16string text = doc.Text(0, -1);
  copy.ReplaceSelection(text, false);
  for (int i = 0; i < static_cast<int>(text.size()); ++i) {
    if (text[static_cast<size_t>(i)] != kMarkChar) continue;
    if (const std::optional<MarkRecord> mark = doc.MarkAt(i)) {
      copy.SetSelection(i, i + 1);
      copy.InsertMark(*mark, false);
    }
  }
  std::vector<Segment> segments;
  ScriptCompiler(copy, lists, segments);
  std::vector<SpokenRow> rows;
  for (const Segment& s : segments) {
    if (s.kind != kSegSpeech) continue;
    if (start != end && (s.end <= start || s.start >= end)) continue;
    const bool chinese = s.IsChinese();
    const ReadingLanguage language = chinese ? ReadingLanguage::kMandarin : ReadingLanguage::kEnglish;
    for (const SentenceSpan& sentence : SplitSentences(s.text)) {
      rows.push_back({s.Slot(), chinese, sentence.text,
                      ReadAloud(sentence.text, dictionary, language).text});
    }
  }
  return rows;
}

SpokenTextDialog::SpokenTextDialog(const std::vector<SpokenRow>& rows, bool wholeScript, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(QStringLiteral("查看朗读文本"));
  setSizeGripEnabled(true);
  auto* layout = new QVBoxLayout(this);
  QString intro = wholeScript ? QStringLiteral("全部内容中每一句的原文与实际朗读的文字：")
                              : QStringLiteral("所选内容中每一句的原文与实际朗读的文字：");
  if (rows.empty()) intro = QStringLiteral("没有要朗读的句子。");
  auto* label = new QLabel(intro, this);
  layout->addWidget(label);

  table_ = new QTableWidget(static_cast<int>(rows.size()), 4, this);
  table_->setHorizontalHeaderLabels(
      {QStringLiteral("声部"), QStringLiteral("语言"), QStringLiteral("原文"), QStringLiteral("朗读")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->setWordWrap(true);
  table_->verticalHeader()->setVisible(false);
  QHeaderView* header = table_->horizontalHeader();
  header->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  header->setSectionResizeMode(1, QHeaderView::ResizeToContents);
  header->setSectionResizeMode(2, QHeaderView::Stretch);
  header->setSectionResizeMode(3, QHeaderView::Stretch);
  for (size_t i = 0; i < rows.size(); ++i) {
    const int row = static_cast<int>(i);
    table_->setItem(row, 0, ReadOnlyItem(VoiceSlotText(rows[i].slot)));
    table_->setItem(row, 1, ReadOnlyItem(rows[i].chinese ? QStringLiteral("中文") : QStringLiteral("英文")));
    table_->setItem(row, 2, ReadOnlyItem(Q(rows[i].written)));
    table_->setItem(row, 3, ReadOnlyItem(Q(rows[i].spoken)));
  }
  // Wrapped sentences take the height they need at the columns' width of the moment.
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  layout->addWidget(table_, 1);

  auto* copy = new QAction(table_);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  table_->addAction(copy);
  connect(copy, &QAction::triggered, this, [this] { QApplication::clipboard()->setText(SelectedText()); });

  auto* box = new QDialogButtonBox(this);
  QPushButton* copyButton = box->addButton(QStringLiteral("复制(&C)"), QDialogButtonBox::ActionRole);
  QPushButton* close = box->addButton(QStringLiteral("关闭"), QDialogButtonBox::RejectRole);
  copyButton->setAutoDefault(false);
  close->setDefault(true);
  connect(copyButton, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(SelectedText()); });
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(box);
  resize(760, 420);
}

QString SpokenTextDialog::SelectedText() const {
  std::set<int> rows;
  for (const QModelIndex& index : table_->selectionModel()->selectedRows()) rows.insert(index.row());
  if (rows.empty()) {
    for (int row = 0; row < table_->rowCount(); ++row) rows.insert(row);
  }
  QString out;
  for (int row : rows) {
    QStringList cells;
    for (int column = 0; column < table_->columnCount(); ++column) cells << table_->item(row, column)->text();
    out += cells.join(u'\t') + u'\n';
  }
  return out;
}

}  // namespace aurisona::shell
