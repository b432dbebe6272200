#include "shell/startup.h"

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

DataDirectory PrepareDataDirectory(const DataDirectory& dir) {
  const CreatedFolders created = dir.EnsureMediaFolders();
  InstallBundledMedia(dir, created);
  return dir;
}

}  // namespace aurisona::shell
