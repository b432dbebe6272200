// Placeholders (【…】 spans, as templates write them) stand out in the editor:
// each is shown on an amber ground, without changing the document.
#pragma once

#include <QObject>
#include <QTimer>

class QTextEdit;

namespace aurisona::shell {

class PlaceholderMarks final : public QObject {
  Q_OBJECT

 public:
  // Follows the editor's document from now on; a child of the editor.
  explicit PlaceholderMarks(QTextEdit* editor);

  // The placeholders shown now, as [start, end) positions.
  std::vector<std::pair<int, int>> Shown() const;

 private:
  void Update();

  QTextEdit* editor_;
  QTimer timer_;
};

}  // namespace aurisona::shell
