#include "shell/registration.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "shell/icons.h"
#include "shell/resources.h"
#include "util/atomic_file.h"

namespace aurisona::shell {
namespace {

constexpr int kIconSize = 64;

QByteArray ReadResource(const char* path) {
  EnsureResources();
  QFile file(QString::fromLatin1(path));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
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
