#include "app/shell/placeholder_marks.h"

#include <QTextDocument>
#include <QTextEdit>

#include "core/files/templates.h"

namespace aurisona::shell {

PlaceholderMarks::PlaceholderMarks(QTextEdit* editor) : QObject(editor), editor_(editor) {
  // Once per turn of the event loop, however many edits it brought.
  timer_.setSingleShot(true);
  timer_.setInterval(0);
  connect(&timer_, &QTimer::timeout, this, &PlaceholderMarks::Update);
  connect(editor->document(), &QTextDocument::contentsChanged, &timer_, qOverload<>(&QTimer::start));
  Update();
}

std::vector<std::pair<int, int>> PlaceholderMarks::Shown() const {
  std::vector<std::pair<int, int>> spans;
  for (const QTextEdit::ExtraSelection& s : editor_->extraSelections()) {
    spans.emplace_back(s.cursor.selectionStart(), s.cursor.selectionEnd());
  }
  return spans;
}

void PlaceholderMarks::Update() {
  const QString plain = editor_->document()->toPlainText();
  QList<QTextEdit::ExtraSelection> selections;
  QTextCharFormat format;
  format.setBackground(QColor(0xff, 0xe3, 0x94));
  format.setForeground(QColor(0x6b, 0x3d, 0x00));
  for (const auto& [start, end] : FindPlaceholders(plain.toStdU16String())) {
    QTextEdit::ExtraSelection selection;
    selection.cursor = QTextCursor(editor_->document());
    selection.cursor.setPosition(start);
    selection.cursor.setPosition(end, QTextCursor::KeepAnchor);
    selection.format = format;
    selections << selection;
  }
  editor_->setExtraSelections(selections);
}

}  // namespace aurisona::shell
