// What the files of the script editor share: conversions between the
// editor's UTF-16 strings and Qt's.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace aurisona::editor_detail {

inline QString ToQString(std::u16string_view text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

inline std::u16string ToU16(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size()));
}

}  // namespace aurisona::editor_detail
