// 文件 › 从模板新建: the list of document templates to start a new document from.
#pragma once

#include <QDialog>

#include <vector>

#include "core/files/templates.h"

class QListWidget;

namespace aurisona::shell {

class TemplateDialog final : public QDialog {
  Q_OBJECT

 public:
  TemplateDialog(std::vector<DocumentTemplate> templates, QWidget* parent);

  QListWidget* List() const { return list_; }
  // The template chosen; nullptr before one is.
  const DocumentTemplate* Chosen() const;

 private:
  std::vector<DocumentTemplate> templates_;
  QListWidget* list_;
};

}  // namespace aurisona::shell
