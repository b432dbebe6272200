// Helpers shared by the music and recording dialogs.
#pragma once

#include <QMessageBox>
#include <QString>
#include <string>
#include <string_view>

class QDialog;
class QWidget;

namespace aurisona::media {

inline QString Q(const char16_t* text) { return QString::fromUtf16(text); }
inline QString Q(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}
inline std::u16string U(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
}

// A modal message box with an OK button.
void ShowMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text);
// A modal question with Yes and No; true for Yes.
bool AskYesNo(QWidget* parent, const QString& title, const QString& text);

// Centres `dialog` over its parent, kept inside the parent's screen.
void CentreOverParent(QDialog* dialog);

}  // namespace aurisona::media
