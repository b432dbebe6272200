#include "app/shell/registration.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "app/shell/icons.h"
#include "app/shell/resources.h"
#include "core/util/atomic_file.h"

namespace aurisona::shell {
namespace {

constexpr int kIconSize = 64;

QByteArray ReadFileBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

QByteArray ReadResource(const char* path) {
  EnsureResources();
  return ReadFileBytes(QString::fromLatin1(path));
}

// True when the file holds exactly these bytes.
bool IsCurrent(const QString& path, const QByteArray& expected) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  return file.readAll() == expected;
}

// Writes the file unless it is current; *written tells whether it was written.
bool Refresh(const QString& path, const QByteArray& content, bool* written) {
  *written = false;
  if (IsCurrent(path, content)) return true;
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
  const std::string bytes(content.constData(), static_cast<size_t>(content.size()));
  if (!WriteFileAtomically(QFile::encodeName(path).toStdString(), bytes)) return false;
  *written = true;
  return true;
}

bool HasControlCharacter(const QString& text) {
  for (QChar c : text) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7f) return true;
  }
  return false;
}

}  // namespace

QString XdgDataHome() {
  const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
  if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg)) return QDir::cleanPath(xdg);
  const QString home = qEnvironmentVariable("HOME");
  if (!home.isEmpty() && QDir::isAbsolutePath(home)) return QDir::cleanPath(home + QStringLiteral("/.local/share"));
  return {};
}

RegistrationFiles RegistrationFilesIn(const QString& dataHome) {
  return {dataHome + QStringLiteral("/applications/aurisona.desktop"),
          dataHome + QStringLiteral("/mime/packages/aurisona.xml"),
          dataHome + QStringLiteral("/icons/hicolor/64x64/apps/aurisona.png")};
}

QString DesktopExecProgram(const QString& executable) {
  static const QString kReserved = QStringLiteral(" \t\"'\\><~|&;$*?#()`");
  bool quote = false;
  for (QChar c : executable) {
    if (kReserved.contains(c)) quote = true;
  }
  QString program;
  for (QChar c : executable) {
    if (c == u'%') {
      program += QStringLiteral("%%");
    } else if (quote && (c == u'"' || c == u'`' || c == u'$' || c == u'\\')) {
      program += u'\\';
      program += c;
    } else {
      program += c;
    }
  }
  if (quote) program = u'"' + program + u'"';
  // The Exec value is itself a string value, whose backslashes are escaped.
  program.replace(u'\\', QStringLiteral("\\\\"));
  return program;
}

QByteArray ExpectedDesktopEntry(const QString& executable) {
  QByteArray entry = ReadResource(":/desktop/aurisona.desktop");
  entry.replace("@EXEC@", DesktopExecProgram(executable).toUtf8());
  return entry;
}

QByteArray ExpectedMimePackage() { return ReadResource(":/desktop/aurisona-lsn.xml"); }

QByteArray ExpectedIcon() {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  AppIconImage(kIconSize).save(&buffer, "PNG");
  return png;
}

void RunInstalledTool(const QString& program, const QStringList& arguments) {
  const QString path = QStandardPaths::findExecutable(program);
  if (path.isEmpty()) return;
  QProcess::startDetached(path, arguments);
}

UnregistrationResult RemoveUserRegistration(const QString& dataHome, const ToolRunner& run) {
  UnregistrationResult result;
  if (dataHome.isEmpty()) return result;
  const RegistrationFiles files = RegistrationFilesIn(dataHome);
  const QByteArray entry = ReadFileBytes(files.desktopEntry);
  const QByteArray form = ReadResource(":/desktop/aurisona.desktop");
  const qsizetype exec = form.indexOf("@EXEC@");
  if (!entry.isEmpty() && exec >= 0) {
    const QByteArray before = form.left(exec);
    const QByteArray after = form.mid(exec + 6);
    const bool ours = entry.size() > before.size() + after.size() && entry.startsWith(before) &&
                      entry.endsWith(after) &&
                      !entry.mid(before.size(), entry.size() - before.size() - after.size()).contains('\n');
    result.desktopEntryRemoved = ours && QFile::remove(files.desktopEntry);
  }
  result.mimePackageRemoved = IsCurrent(files.mimePackage, ExpectedMimePackage()) && QFile::remove(files.mimePackage);
  result.iconRemoved = IsCurrent(files.icon, ExpectedIcon()) && QFile::remove(files.icon);
  if (run && result.mimePackageRemoved) run(QStringLiteral("update-mime-database"), {dataHome + QStringLiteral("/mime")});
  if (run && result.desktopEntryRemoved) {
    run(QStringLiteral("update-desktop-database"), {dataHome + QStringLiteral("/applications")});
  }
  return result;
}

bool SystemRegistrationCovers(const QString& shareDir, const QString& xdgDataDirs) {
  if (shareDir.isEmpty()) return false;
  const QString share = QDir::cleanPath(shareDir);
  const RegistrationFiles files = RegistrationFilesIn(share);
  if (!QFileInfo(files.desktopEntry).isFile() || !QFileInfo(files.mimePackage).isFile()) return false;
  const QString dirs = xdgDataDirs.isEmpty() ? QStringLiteral("/usr/local/share:/usr/share") : xdgDataDirs;
  const QString canonical = QFileInfo(share).canonicalFilePath();
  for (const QString& dir : dirs.split(u':', Qt::SkipEmptyParts)) {
    if (!QDir::isAbsolutePath(dir)) continue;
    if (QDir::cleanPath(dir) == share || QFileInfo(dir).canonicalFilePath() == canonical) return true;
  }
  return false;
}

StartRegistration RegisterAtStart(const ResourceLocation& resources, const QString& dataHome, const QString& executable,
                                  const QString& xdgDataDirs, const ToolRunner& run) {
  if (resources.origin == ResourceOrigin::kInstalled) {
    // PREFIX/share/aurisona/aurisona.rcc -> PREFIX/share
    const QString share = QFileInfo(QFileInfo(resources.file).absolutePath()).absolutePath();
    // Installed into the user's own data folder (cmake --install --prefix
    // ~/.local): the installed files are the user's registration.
    const RegistrationFiles installed = RegistrationFilesIn(share);
    if (!dataHome.isEmpty() && QFileInfo(share) == QFileInfo(dataHome) && QFileInfo(installed.desktopEntry).isFile() &&
        QFileInfo(installed.mimePackage).isFile()) {
      return StartRegistration::kSystem;
    }
    if (SystemRegistrationCovers(share, xdgDataDirs)) {
      RemoveUserRegistration(dataHome, run);
      return StartRegistration::kSystem;
    }
  }
  RegisterDocumentType(dataHome, executable, run);
  return StartRegistration::kUser;
}

RegistrationResult RegisterDocumentType(const QString& dataHome, const QString& executable,
                                        const ToolRunner& run) {
  RegistrationResult result;
  if (dataHome.isEmpty() || executable.isEmpty() || HasControlCharacter(executable)) {
    result.failed = true;
    return result;
  }
  const RegistrationFiles files = RegistrationFilesIn(dataHome);
  bool ok = Refresh(files.mimePackage, ExpectedMimePackage(), &result.mimePackageWritten);
  ok = Refresh(files.icon, ExpectedIcon(), &result.iconWritten) && ok;
  ok = Refresh(files.desktopEntry, ExpectedDesktopEntry(executable), &result.desktopEntryWritten) && ok;
  result.failed = !ok;
  if (run && result.mimePackageWritten) {
    run(QStringLiteral("update-mime-database"), {dataHome + QStringLiteral("/mime")});
  }
  if (run && result.desktopEntryWritten) {
    run(QStringLiteral("update-desktop-database"), {dataHome + QStringLiteral("/applications")});
  }
  return result;
}

}  // namespace aurisona::shell
