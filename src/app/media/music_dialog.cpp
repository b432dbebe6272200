#include "app/media/music_dialog.h"

#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "app/media/media_common.h"
#include "core/media/media_library.h"
#include "app/media/media_texts.h"
#include "app/media/play_time_dialog.h"

namespace aurisona::media {
namespace {

constexpr int kColumnNumber = 0;
constexpr int kColumnName = 1;
constexpr int kColumnTime = 2;

struct Column {
  const char16_t* header;
  int width;
  Qt::Alignment alignment;
};
constexpr Column kColumns[] = {
    {media_text::kColumnNumber, 26, Qt::AlignCenter},
    {media_text::kColumnName, 180, Qt::AlignLeft | Qt::AlignVCenter},
    {media_text::kColumnTime, 60, Qt::AlignCenter},
};

QTableWidgetItem* Cell(const QString& text, int column) {
  auto* item = new QTableWidgetItem(text);
  item->setTextAlignment(kColumns[column].alignment);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  return item;
}

}  // namespace

MusicDialog::MusicDialog(MediaLibrary& media, int initial, int fadeSeconds, QWidget* parent)
    : QDialog(parent),
      media_(media),
      fade_(std::max(fadeSeconds, 0)),
      player_(this, [this](bool played) { PlaybackEnded(played); }) {
  setWindowTitle(Q(media_text::kMusicTitle));
  const MediaLists& lists = media_.lists();
  selection_ = initial >= 0 && static_cast<size_t>(initial) < lists.music.size() ? initial : 0;

  auto* layout = new QHBoxLayout(this);
  auto* left = new QVBoxLayout;
  left->addWidget(new QLabel(Q(media_text::kMusicLabel), this));
  list_ = new QTableWidget(static_cast<int>(lists.music.size()), 3, this);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setShowGrid(true);
  list_->setWordWrap(false);
  list_->verticalHeader()->hide();
  list_->horizontalHeader()->setHighlightSections(false);
  int width = 0;
  for (int c = 0; c < 3; ++c) {
    auto* header = new QTableWidgetItem(Q(kColumns[c].header));
    header->setTextAlignment(kColumns[c].alignment);
    list_->setHorizontalHeaderItem(c, header);
    list_->setColumnWidth(c, kColumns[c].width);
    width += kColumns[c].width;
  }
  list_->horizontalHeader()->setStretchLastSection(true);
  list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 4);
  for (int row = 0; row < list_->rowCount(); ++row) {
    const auto index = static_cast<size_t>(row);
    list_->setItem(row, kColumnNumber, Cell(QString::number(row + 1), kColumnNumber));
    list_->setItem(row, kColumnName, Cell(Q(lists.music[index]), kColumnName));
    list_->setItem(row, kColumnTime, Cell(PlayTimeText(lists.PlayTimeAt(index)), kColumnTime));
  }
  list_->setMinimumSize(width + 2 * list_->frameWidth() + 20, 240);
  left->addWidget(list_);
  layout->addLayout(left, 1);

  auto* buttons = new QVBoxLayout;
  insert_ = new QPushButton(Q(media_text::kInsert), this);
  cancel_ = new QPushButton(Q(media_text::kCancel), this);
  delete_ = new QPushButton(Q(media_text::kDelete), this);
  play_ = new QPushButton(Q(media_text::kPlay), this);
  insert_->setDefault(true);
  buttons->addSpacing(QFontMetrics(font()).height() + 4);
  for (QPushButton* button : {insert_, cancel_, delete_, play_}) buttons->addWidget(button);
  buttons->addStretch(1);
  layout->addLayout(buttons);

  connect(insert_, &QPushButton::clicked, this, [this] {
    if (player_.IsRunning()) {
      player_.Stop();
      play_->setText(Q(media_text::kPlay));
    }
    done(media_text::kInsertId);
  });
  connect(cancel_, &QPushButton::clicked, this, [this] { done(media_text::kCancelId); });
  connect(delete_, &QPushButton::clicked, this, &MusicDialog::DeleteClicked);
  connect(play_, &QPushButton::clicked, this, &MusicDialog::PlayClicked);
  connect(list_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { EditPlayTime(row); });

  if (selection_ < list_->rowCount()) {
    list_->selectRow(selection_);
    list_->setCurrentCell(selection_, kColumnNumber);
  }
  connect(list_, &QTableWidget::itemSelectionChanged, this, &MusicDialog::SelectionChanged);
  list_->setFocus();
}

MusicDialog::~MusicDialog() { player_.Stop(); }

void MusicDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOverParent(this);
}

QPushButton* MusicDialog::Button(int id) const {
  switch (id) {
    case media_text::kInsertId: return insert_;
    case media_text::kCancelId: return cancel_;
    case media_text::kDeleteId: return delete_;
    case media_text::kPlayId: return play_;
    default: return nullptr;
  }
}

int MusicDialog::FirstSelectedRow() const {
  int first = -1;
  for (const QModelIndex& index : list_->selectionModel()->selectedRows()) {
    if (first < 0 || index.row() < first) first = index.row();
  }
  return first;
}

bool MusicDialog::PlaySelection() {
  const auto index = static_cast<size_t>(selection_);
  if (!player_.Play(media_.MusicPath(index), media_.lists().PlayTimeAt(index), fade_)) {
    play_->setText(Q(media_text::kPlay));
    ShowMessage(this, QMessageBox::Warning, Q(media_.lists().music[index]), Q(media_text::kCannotPlay));
    return false;
  }
  play_->setText(Q(media_text::kStop));
  return true;
}

void MusicDialog::PlayClicked() {
  if (player_.IsRunning()) {
    player_.Stop();
    play_->setText(Q(media_text::kPlay));
  } else if (selection_ >= 0 && static_cast<size_t>(selection_) < media_.lists().music.size()) {
    PlaySelection();
  }
  list_->setFocus();
}

void MusicDialog::SelectionChanged() {
  const int row = FirstSelectedRow();
  if (row < 0 || row == selection_) return;
  selection_ = row;
  if (player_.IsRunning() && static_cast<size_t>(row) < media_.lists().music.size()) {
    player_.Stop();
    PlaySelection();
  }
}

void MusicDialog::PlaybackEnded(bool played) {
  play_->setText(Q(media_text::kPlay));
  if (!played && selection_ >= 0 && static_cast<size_t>(selection_) < media_.lists().music.size()) {
    ShowMessage(this, QMessageBox::Warning, Q(media_.lists().music[static_cast<size_t>(selection_)]),
                Q(media_text::kCannotPlay));
  }
}

void MusicDialog::EditPlayTime(int row) {
  if (row < 0 || row >= list_->rowCount()) return;
  const auto index = static_cast<size_t>(row);
  if (index >= media_.lists().music.size()) return;
  const int current = media_.lists().PlayTimeAt(index);
  std::optional<int> answer;
  if (askPlayTime) {
    answer = askPlayTime(current);
  } else {
    PlayTimeDialog dialog(this, current);
    if (dialog.exec() == QDialog::Accepted) answer = dialog.playTime();
  }
  if (!answer || *answer == current) return;
  media_.SetPlayTime(index, *answer);
  list_->item(row, kColumnTime)->setText(PlayTimeText(*answer));
}

void MusicDialog::DeleteClicked() {
  const int row = FirstSelectedRow();
  if (row < 0) return;
  selection_ = row;
  MediaLists& lists = media_.lists();
  const auto index = static_cast<size_t>(row);
  if (index >= lists.music.size()) return;
  if (!AskYesNo(this, Q(lists.music[index]), Q(media_text::kDeleteMusic))) return;
  std::error_code ignored;
  std::filesystem::remove(media_.MusicPath(index), ignored);
  // The row goes without firing a selection change for the rows after it.
  {
    const QSignalBlocker blocker(list_);
    list_->removeRow(row);
  }
  lists.music.erase(lists.music.begin() + row);
  if (index < lists.playTimes.size()) lists.playTimes.erase(lists.playTimes.begin() + row);
  if (entryRemoved) entryRemoved(row);
  SelectionChanged();
}

}  // namespace aurisona::media
