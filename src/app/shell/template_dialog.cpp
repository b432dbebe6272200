#include "app/shell/template_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace aurisona::shell {
namespace {

QString Q(const std::u16string& text) { return QString::fromStdU16String(text); }

}  // namespace

TemplateDialog::TemplateDialog(std::vector<DocumentTemplate> templates, QWidget* parent)
    : QDialog(parent), templates_(std::move(templates)) {
  setWindowTitle(QStringLiteral("从模板新建"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("选择一份模板。【】中的文字是占位内容，换成本次考试的材料即可。"), this));
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("templateList"));
  list_->setWordWrap(true);
  list_->setSpacing(3);
  for (const DocumentTemplate& t : templates_) {
    QString text = Q(t.title);
    if (t.bundled) {
      text += u'\n' + Q(t.description);
    } else {
      text += QStringLiteral("\n我的模板");
    }
    auto* item = new QListWidgetItem(text, list_);
    item->setToolTip(t.bundled ? Q(t.description) : QString::fromStdString(t.file.string()));
  }
  if (list_->count() > 0) list_->setCurrentRow(0);
  layout->addWidget(list_, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("新建"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(list_, &QListWidget::itemActivated, this, &QDialog::accept);
  resize(460, 340);
}

const DocumentTemplate* TemplateDialog::Chosen() const {
  const int row = list_->currentRow();
  return row >= 0 && static_cast<size_t>(row) < templates_.size() ? &templates_[static_cast<size_t>(row)] : nullptr;
}

}  // namespace aurisona::shell
