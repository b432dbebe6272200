// The desktop registration of the document type, and the command-line document.
#include <QDir>

#include "app_test_util.h"
#include "app/shell/registration.h"
#include "app/shell/resources.h"

using namespace aurisona::shell;
using aurisona::app_test::ReadFile;

namespace {

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes);
}

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
    WriteBytes(files.mimePackage, "<mime-info/>");
    QVERIFY(RegisterDocumentType(home, QStringLiteral("/usr/bin/aurisona"), tools.Runner()).mimePackageWritten);
    QCOMPARE(ReadFile(files.mimePackage), mime);
  }

  // An installed program leaves the user's folders to its package; run from a
  // build folder (or an installation the desktop does not see) it registers.
  void registrationAtStartDependsOnTheInstallation() {
    QTemporaryDir temp;
    const QString prefix = temp.filePath(QStringLiteral("prefix"));
    const QString share = prefix + QStringLiteral("/share");
    QVERIFY(QDir().mkpath(prefix + QStringLiteral("/bin")));
    WriteBytes(share + QStringLiteral("/aurisona/aurisona.rcc"), "rcc");
    const ResourceLocation installed = LocateResources(prefix + QStringLiteral("/bin"), QString());
    QCOMPARE(installed.origin, ResourceOrigin::kInstalled);
    const QString exe = prefix + QStringLiteral("/bin/aurisona");
    const QString home = temp.filePath(QStringLiteral("home"));
    const RegistrationFiles user = RegistrationFilesIn(home);
    ToolCalls tools;

    // The prefix is not among the desktop's data folders: the user registration is made.
    WriteBytes(RegistrationFilesIn(share).desktopEntry, "[Desktop Entry]\n");
    WriteBytes(RegistrationFilesIn(share).mimePackage, ExpectedMimePackage());
    QCOMPARE(RegisterAtStart(installed, home, exe, QString(), tools.Runner()), StartRegistration::kUser);
    QVERIFY(QFile::exists(user.desktopEntry) && QFile::exists(user.mimePackage) && QFile::exists(user.icon));

    // Once it is, the user's copies made by the program go (they would shadow
    // the installed entry), and the caches are refreshed.
    tools.calls.clear();
    const QString dirs = QStringLiteral("/usr/share:") + share + QStringLiteral("/");
    QCOMPARE(RegisterAtStart(installed, home, exe, dirs, tools.Runner()), StartRegistration::kSystem);
    QVERIFY(!QFile::exists(user.desktopEntry) && !QFile::exists(user.mimePackage) && !QFile::exists(user.icon));
    QCOMPARE(tools.calls, (QStringList{QStringLiteral("update-mime-database ") + home + QStringLiteral("/mime"),
                                       QStringLiteral("update-desktop-database ") + home +
                                           QStringLiteral("/applications")}));
    // Nothing of the user's is written, and a start with nothing to remove runs nothing.
    tools.calls.clear();
    QCOMPARE(RegisterAtStart(installed, home, exe, dirs, tools.Runner()), StartRegistration::kSystem);
    QVERIFY(!QFile::exists(user.desktopEntry) && tools.calls.isEmpty());

    // An entry the user wrote, or one for another program, is not ours to remove.
    RegisterDocumentType(home, QStringLiteral("/home/li/build/aurisona"), tools.Runner());
    QVERIFY(QFile::exists(user.desktopEntry));
    QByteArray edited = ReadFile(user.desktopEntry);
    edited.replace("Terminal=false", "Terminal=true");
    WriteBytes(user.desktopEntry, edited);
    const UnregistrationResult removed = RemoveUserRegistration(home, tools.Runner());
    QVERIFY(!removed.desktopEntryRemoved && removed.mimePackageRemoved && removed.iconRemoved);
    QCOMPARE(ReadFile(user.desktopEntry), edited);

    // A program in the build folder or a portable folder registers for the user.
    QFile::remove(user.desktopEntry);
    ResourceLocation build;
    build.origin = ResourceOrigin::kBuildTree;
    build.file = temp.filePath(QStringLiteral("build/share/aurisona/aurisona.rcc"));
    QCOMPARE(RegisterAtStart(build, home, exe, dirs, tools.Runner()), StartRegistration::kUser);
    QVERIFY(ReadFile(user.desktopEntry).contains("Exec=" + exe.toUtf8() + " %f\n"));

    // Installed into the user's data folder itself: its files are left as installed.
    const QByteArray installedEntry = ExpectedDesktopEntry(QStringLiteral("aurisona"));
    WriteBytes(RegistrationFilesIn(share).desktopEntry, installedEntry);
    tools.calls.clear();
    QCOMPARE(RegisterAtStart(installed, share, exe, QString(), tools.Runner()), StartRegistration::kSystem);
    QCOMPARE(ReadFile(RegistrationFilesIn(share).desktopEntry), installedEntry);
    QVERIFY(QFile::exists(RegistrationFilesIn(share).mimePackage) && tools.calls.isEmpty());

    // The installation registers only when both of its files are there.
    QVERIFY(SystemRegistrationCovers(share, dirs));
    QVERIFY(!SystemRegistrationCovers(share, QString()));  // default: /usr/local/share:/usr/share
    QVERIFY(!SystemRegistrationCovers(share, QStringLiteral("relative/share")));
    QFile::remove(RegistrationFilesIn(share).mimePackage);
    QVERIFY(!SystemRegistrationCovers(share, dirs));
  }

  // The resource file is looked for beside the executable (a portable folder,
  // tried by the package test), in the installation prefix, then in the build
  // folder the program was built in.
  void resourcesAreFoundWhereTheProgramRuns() {
    QTemporaryDir temp;
    const QString root = temp.path();
    // Build folder: only for executables inside it.
    WriteBytes(root + QStringLiteral("/build/share/aurisona/aurisona.rcc"), "rcc");
    QVERIFY(QDir().mkpath(root + QStringLiteral("/build/src/app")));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/elsewhere/bin")));
    ResourceLocation built = LocateResources(root + QStringLiteral("/build/src/app"), root + QStringLiteral("/build"));
    QCOMPARE(built.origin, ResourceOrigin::kBuildTree);
    QCOMPARE(built.file, root + QStringLiteral("/build/share/aurisona/aurisona.rcc"));
    ResourceLocation outside =
        LocateResources(root + QStringLiteral("/elsewhere/bin"), root + QStringLiteral("/build"));
    QCOMPARE(outside.origin, ResourceOrigin::kMissing);
    QVERIFY(outside.file.isEmpty());
    // A folder that merely starts with the build folder's name is outside it.
    QVERIFY(QDir().mkpath(root + QStringLiteral("/build2/bin")));
    QCOMPARE(LocateResources(root + QStringLiteral("/build2/bin"), root + QStringLiteral("/build")).origin,
             ResourceOrigin::kMissing);

    // Missing: the message names the file and every place looked at.
    QCOMPARE(outside.searched, (QStringList{root + QStringLiteral("/elsewhere/bin/aurisona.rcc"),
                                            root + QStringLiteral("/elsewhere/share/aurisona/aurisona.rcc")}));
    const QString message = ResourceProblemMessage(outside);
    QVERIFY(message.contains(QStringLiteral("aurisona.rcc")));
    for (const QString& path : outside.searched) QVERIFY2(message.contains(path), qPrintable(message));
    // A folder of that name is not the file.
    QVERIFY(QDir().mkpath(root + QStringLiteral("/dir/share/aurisona/aurisona.rcc")));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/dir/bin")));
    QCOMPARE(LocateResources(root + QStringLiteral("/dir/bin"), QString()).origin, ResourceOrigin::kMissing);
    // A file that is there but unreadable is named as damaged.
    QVERIFY(ResourceProblemMessage(built).contains(QStringLiteral("已损坏，无法读取：\n") + built.file));
  }

  void failuresAreQuiet() {
    QTemporaryDir temp;
    // The data folder is a file: nothing can be written, nothing runs.
    const QString blocked = temp.filePath(QStringLiteral("file"));
    WriteBytes(blocked, {});
    ToolCalls tools;
    RegistrationResult result = RegisterDocumentType(blocked, QStringLiteral("/usr/bin/aurisona"), tools.Runner());
    QVERIFY(result.failed && !result.desktopEntryWritten);
    QVERIFY(tools.calls.isEmpty());
    // A path that would break the desktop entry's lines is not registered.
    QVERIFY(RegisterDocumentType(temp.path(), QStringLiteral("/tmp/a\nb"), tools.Runner()).failed);
    QVERIFY(!QFile::exists(RegistrationFilesIn(temp.path()).desktopEntry));
  }

  // The program in a desktop entry's Exec line, and the document named on the
  // command line (unquoted blanks: the whole text is one path).
  void execQuotingAndCommandLineDocument() {
    const QString exec[][2] = {
        {"/usr/bin/aurisona", "/usr/bin/aurisona"},
        {"/home/li/my apps/aurisona", "\"/home/li/my apps/aurisona\""},
        // Inside quotes: \" \` \$ \\ ; then the string-value escape doubles backslashes.
        {"/a$b/\"c\"", "\"/a\\\\$b/\\\\\"c\\\\\"\""},
        {"/opt/100%/aurisona", "/opt/100%%/aurisona"},
    };
    for (const auto& [program, quoted] : exec) QCOMPARE(DesktopExecProgram(program), quoted);
    const std::pair<QStringList, QString> documents[] = {
        {{}, {}},
        {{"/tmp/exam.lsn"}, "/tmp/exam.lsn"},
        {{"/tmp/my", "exam.LSN"}, "/tmp/my exam.LSN"},
        {{"\"/tmp/a b.Txt\""}, "/tmp/a b.Txt"},
        {{"/tmp/song.mp3"}, {}},
        {{"/tmp/exam.lsn", "--verbose"}, {}},
        {{".lsn"}, ".lsn"},
    };
    for (const auto& [args, document] : documents) QCOMPARE(CommandLineDocument(args), document);
  }

  void xdgDataHome() {
    qputenv("XDG_DATA_HOME", "/srv/data");
    QCOMPARE(XdgDataHome(), QStringLiteral("/srv/data"));
    qputenv("XDG_DATA_HOME", "relative/data");
    qputenv("HOME", "/home/li");
    QCOMPARE(XdgDataHome(), QStringLiteral("/home/li/.local/share"));
  }
};

QTEST_MAIN(RegistrationTest)
#include "registration_test.moc"
