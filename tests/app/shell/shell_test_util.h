// Small helpers shared by the shell's test suites.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <string_view>

#include "media/data_directory.h"
#include "shell/startup.h"

namespace aurisona::shell {

inline QString Q(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Points HOME and XDG_DATA_HOME into the temporary folder, so nothing of the
// user's setup is touched, and prepares a data directory there.
inline DataDirectory PrepareTestHome(const QTemporaryDir& temp) {
  qputenv("HOME", QFile::encodeName(temp.path()));
  qputenv("XDG_DATA_HOME", QFile::encodeName(temp.filePath(QStringLiteral("share"))));
  return PrepareDataDirectory(DataDirectory(QFile::encodeName(temp.filePath(QStringLiteral("data"))).toStdString()));
}

}  // namespace aurisona::shell
