// The desktop registration of the document type, and the command-line document.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "shell/shell_test_util.h"
#include "shell/registration.h"
#include "shell/startup.h"

using namespace aurisona::shell;

namespace {

struct ToolCalls {
  QStringList calls;
  ToolRunner Runner() {
    return [this](const QString& program, const QStringList& arguments) {
      calls << program + u' ' + arguments.join(u' ');
    };
  }
};

}  // namespace

class RegistrationTest : public QObject {
  Q_OBJECT

 private slots:
  void writesOnceAndRewritesOnlyWhatIsStale() {
    QTemporaryDir temp;
    const QString home = temp.filePath(QStringLiteral("share"));
    const QString exe = QStringLiteral("/opt/aurisona/bin/aurisona");
    ToolCalls tools;

    RegistrationResult first = RegisterDocumentType(home, exe, tools.Runner());
    QVERIFY(first.desktopEntryWritten && first.mimePackageWritten && first.iconWritten && !first.failed);
    QCOMPARE(tools.calls, (QStringList{QStringLiteral("update-mime-database ") + home + QStringLiteral("/mime"),
                                       QStringLiteral("update-desktop-database ") + home +
                                           QStringLiteral("/applications")}));
    const RegistrationFiles files = RegistrationFilesIn(home);
    const QByteArray entry = ReadFile(files.desktopEntry);
    QVERIFY(entry.contains("Exec=/opt/aurisona/bin/aurisona %f\n"));
    QVERIFY(entry.contains("MimeType=application/x-aurisona-lsn;\n"));
    const QByteArray mime = ReadFile(files.mimePackage);
    QVERIFY(mime.contains("<glob pattern=\"*.lsn\"/>"));
    QVERIFY(mime.contains("type=\"application/x-aurisona-lsn\""));
    QVERIFY(ReadFile(files.icon).startsWith("\x89PNG"));

    // Current files are left alone and no tool runs.
    const QDateTime stamp = QFileInfo(files.mimePackage).lastModified();
    tools.calls.clear();
    RegistrationResult second = RegisterDocumentType(home, exe, tools.Runner());
    QVERIFY(!second.desktopEntryWritten && !second.mimePackageWritten && !second.iconWritten);
    QVERIFY(tools.calls.isEmpty());
    QCOMPARE(QFileInfo(files.mimePackage).lastModified(), stamp);

    // Another executable makes the desktop entry stale, and only it.
    RegistrationResult moved = RegisterDocumentType(home, QStringLiteral("/usr/bin/aurisona"), tools.Runner());
    QVERIFY(moved.desktopEntryWritten && !moved.mimePackageWritten && !moved.iconWritten);
    QCOMPARE(tools.calls.size(), 1);
    QVERIFY(ReadFile(files.desktopEntry).contains("Exec=/usr/bin/aurisona %f\n"));

    // A file edited by hand counts as stale too.
    QFile mimeFile(files.mimePackage);
    QVERIFY(mimeFile.open(QIODevice::WriteOnly));
    mimeFile.write("<mime-info/>");
    mimeFile.close();
    QVERIFY(RegisterDocumentType(home, QStringLiteral("/usr/bin/aurisona"), tools.Runner()).mimePackageWritten);
    QCOMPARE(ReadFile(files.mimePackage), mime);
  }

  void failuresAreQuiet() {
    QTemporaryDir temp;
    // The data folder is a file: nothing can be written, nothing runs.
    const QString blocked = temp.filePath(QStringLiteral("file"));
    QFile file(blocked);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    ToolCalls tools;
    RegistrationResult result = RegisterDocumentType(blocked, QStringLiteral("/usr/bin/aurisona"), tools.Runner());
    QVERIFY(result.failed && !result.desktopEntryWritten);
    QVERIFY(tools.calls.isEmpty());
    // A path that would break the desktop entry's lines is not registered.
    QVERIFY(RegisterDocumentType(temp.path(), QStringLiteral("/tmp/a\nb"), tools.Runner()).failed);
    QVERIFY(!QFile::exists(RegistrationFilesIn(temp.path()).desktopEntry));
  }

  void execQuoting() {
    QCOMPARE(DesktopExecProgram(QStringLiteral("/usr/bin/aurisona")), QStringLiteral("/usr/bin/aurisona"));
    QCOMPARE(DesktopExecProgram(QStringLiteral("/home/li/my apps/aurisona")),
             QStringLiteral("\"/home/li/my apps/aurisona\""));
    // Inside quotes: \" \` \$ \\ ; then the string-value escape doubles backslashes.
    QCOMPARE(DesktopExecProgram(QStringLiteral("/a$b/\"c\"")), QStringLiteral("\"/a\\\\$b/\\\\\"c\\\\\"\""));
    QCOMPARE(DesktopExecProgram(QStringLiteral("/opt/100%/aurisona")), QStringLiteral("/opt/100%%/aurisona"));
  }

  void xdgDataHome() {
    qputenv("XDG_DATA_HOME", "/srv/data");
    QCOMPARE(XdgDataHome(), QStringLiteral("/srv/data"));
    qputenv("XDG_DATA_HOME", "relative/data");
    qputenv("HOME", "/home/li");
    QCOMPARE(XdgDataHome(), QStringLiteral("/home/li/.local/share"));
  }

  void commandLineDocument() {
    QCOMPARE(CommandLineDocument({}), QString());
    QCOMPARE(CommandLineDocument({QStringLiteral("/tmp/exam.lsn")}), QStringLiteral("/tmp/exam.lsn"));
    // Unquoted blanks: the whole text is one path.
    QCOMPARE(CommandLineDocument({QStringLiteral("/tmp/my"), QStringLiteral("exam.LSN")}),
             QStringLiteral("/tmp/my exam.LSN"));
    QCOMPARE(CommandLineDocument({QStringLiteral("\"/tmp/a b.Txt\"")}), QStringLiteral("/tmp/a b.Txt"));
    QCOMPARE(CommandLineDocument({QStringLiteral("/tmp/song.mp3")}), QString());
    QCOMPARE(CommandLineDocument({QStringLiteral("/tmp/exam.lsn"), QStringLiteral("--verbose")}), QString());
    QCOMPARE(CommandLineDocument({QStringLiteral(".lsn")}), QStringLiteral(".lsn"));
  }
};

QTEST_MAIN(RegistrationTest)
#include "registration_test.moc"
