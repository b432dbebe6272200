#include "shell/startup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include "media/bundled_media.h"

namespace aurisona::shell {

QString CommandLineDocument(const QStringList& argumentsAfterProgram) {
  QString path = argumentsAfterProgram.join(u' ');
  path.remove(u'"');
  if (path.endsWith(QStringLiteral(".lsn"), Qt::CaseInsensitive) ||
      path.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive)) {
    return path;
  }
  return {};
}

void InstallQtChineseTexts() {
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(translator);
  } else {
    delete translator;
  }
}

DataDirectory PrepareDataDirectory(const DataDirectory& dir) {
  const CreatedFolders created = dir.EnsureMediaFolders();
  InstallBundledMedia(dir, created);
  return dir;
}

}  // namespace aurisona::shell
