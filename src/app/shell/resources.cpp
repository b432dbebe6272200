#include "app/shell/resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QResource>

namespace aurisona::shell {
namespace {

QString BuildDirectory() {
#ifdef AURISONA_BUILD_DIR
  return QString::fromUtf8(AURISONA_BUILD_DIR);
#else
  return {};
#endif
}

bool IsInside(const QString& path, const QString& folder) {
  if (folder.isEmpty()) return false;
  const QString inner = QFileInfo(path).canonicalFilePath();
  const QString outer = QFileInfo(folder).canonicalFilePath();
  if (inner.isEmpty() || outer.isEmpty()) return false;
  return inner == outer || inner.startsWith(outer + u'/');
}

QString ExecutableDirectory() {
  // applicationDirPath needs the application object; /proc/self/exe does not.
  if (QCoreApplication::instance() != nullptr) return QCoreApplication::applicationDirPath();
  return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

struct Registration {
  ResourceLocation location;
  bool registered = false;
};

Registration& ProcessRegistration() {
  static Registration registration = [] {
    Registration r;
    r.location = LocateResources(ExecutableDirectory(), BuildDirectory());
    if (!r.location.file.isEmpty()) r.registered = QResource::registerResource(r.location.file);
    return r;
  }();
  return registration;
}

}  // namespace

ResourceLocation LocateResources(const QString& executableDir, const QString& buildDir) {
  ResourceLocation location;
  const QString name = QString::fromLatin1(kResourceFileName);
  const auto tryFile = [&](const QString& file, ResourceOrigin origin) {
    const QString path = QDir::cleanPath(file);
    location.searched << path;
    if (!QFileInfo(path).isFile()) return false;
    location.origin = origin;
    location.file = path;
    return true;
  };
  if (!executableDir.isEmpty()) {
    if (tryFile(executableDir + u'/' + name, ResourceOrigin::kPortable)) return location;
    if (tryFile(executableDir + QStringLiteral("/../share/aurisona/") + name, ResourceOrigin::kInstalled)) {
      return location;
    }
  }
  if (!buildDir.isEmpty() && IsInside(executableDir, buildDir) &&
      tryFile(buildDir + QStringLiteral("/share/aurisona/") + name, ResourceOrigin::kBuildTree)) {
    return location;
  }
  return location;
}

const ResourceLocation& ProcessResources() { return ProcessRegistration().location; }

bool EnsureResources() { return ProcessRegistration().registered; }

QString ResourceProblemMessage(const ResourceLocation& location) {
  if (!location.file.isEmpty()) {
    return QStringLiteral("程序的资源文件已损坏，无法读取：\n%1\n请重新安装澄聆听力合成系统。").arg(location.file);
  }
  return QStringLiteral("找不到程序的资源文件 %1，程序无法启动。已查找：\n%2\n请重新安装澄聆听力合成系统。")
      .arg(QString::fromLatin1(kResourceFileName), location.searched.join(u'\n'));
}

}  // namespace aurisona::shell
