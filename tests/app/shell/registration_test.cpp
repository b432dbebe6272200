// The desktop registration of the document type, and the command-line document.
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
    const QByteArray mime = ReadFile(files.mimePackage);
    QVERIFY(mime.contains("*.lsn"));
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
    const QString prefix = temp.filePath(QStringLiteral("prefix")), share = prefix + QStringLiteral("/share");
    QVERIFY(QDir().mkpath(prefix + QStringLiteral("/bin")));
    WriteBytes(share + QStringLiteral("/aurisona/aurisona.rcc"), "rcc");
    WriteBytes(RegistrationFilesIn(share).desktopEntry, "[Desktop Entry]\n");
    WriteBytes(RegistrationFilesIn(share).mimePackage, ExpectedMimePackage());
    const ResourceLocation installed = LocateResources(prefix + QStringLiteral("/bin"), QString());
    QCOMPARE(installed.origin, ResourceOrigin::kInstalled);
    const ResourceLocation build{ResourceOrigin::kBuildTree, temp.filePath(QStringLiteral("b/aurisona.rcc")), {}};
    const QString exe = prefix + QStringLiteral("/bin/aurisona"), home = temp.filePath(QStringLiteral("home"));
    const QString seen = QStringLiteral("/usr/share:relative/share:") + share + QStringLiteral("/");
    const RegistrationFiles user = RegistrationFilesIn(home);
    const QString refreshed =
        QStringLiteral("update-mime-database %1/mime update-desktop-database %1/applications").arg(home);
    const struct {
      const char* name;
      const ResourceLocation& resources;
      QString dataHome, dataDirs;
      StartRegistration expected;
      bool userFiles;  // the desktop entry is there afterwards
      QString calls;
    } rows[] = {
        // The default data folders (/usr/local/share:/usr/share) do not hold the prefix.
        {"installation not seen", installed, home, QString(), StartRegistration::kUser, true, refreshed},
        // The user's copies made by the program would shadow the installed entry.
        {"installation seen", installed, home, seen, StartRegistration::kSystem, false, refreshed},
        {"again, nothing to remove", installed, home, seen, StartRegistration::kSystem, false, {}},
        {"build folder", build, home, seen, StartRegistration::kUser, true, refreshed},
        // Installed into the user's data folder itself: its files are left as installed.
        {"installed into the data folder", installed, share, QString(), StartRegistration::kSystem, true, {}},
    };
    for (const auto& [name, resources, dataHome, dataDirs, expected, userFiles, calls] : rows) {
      ToolCalls tools;
      QVERIFY2(RegisterAtStart(resources, dataHome, exe, dataDirs, tools.Runner()) == expected, name);
      QVERIFY2(QFile::exists(RegistrationFilesIn(dataHome).desktopEntry) == userFiles, name);
      QVERIFY2(QFile::exists(user.mimePackage) == QFile::exists(user.icon), name);
      QCOMPARE(tools.calls.join(u' '), calls);
    }
    QCOMPARE(ReadFile(RegistrationFilesIn(share).desktopEntry), QByteArray("[Desktop Entry]\n"));
    QVERIFY(ReadFile(user.desktopEntry).contains("Exec=" + exe.toUtf8() + " %f\n"));

    // An entry the user edited is not ours to remove.
    QByteArray edited = ReadFile(user.desktopEntry);
    edited.replace("Terminal=false", "Terminal=true");
    WriteBytes(user.desktopEntry, edited);
    const UnregistrationResult removed = RemoveUserRegistration(home, ToolCalls().Runner());
    QVERIFY(!removed.desktopEntryRemoved && removed.mimePackageRemoved && removed.iconRemoved);
    QCOMPARE(ReadFile(user.desktopEntry), edited);
    // The installation counts only while both of its files are there.
    QFile::remove(RegistrationFilesIn(share).mimePackage);
    QVERIFY(!SystemRegistrationCovers(share, seen));
  }

  // The resource file is looked for beside the executable (a portable folder,
  // tried by the package test), in the installation prefix, then in the build
  // folder the program was built in.
  void resourcesAreFoundWhereTheProgramRuns() {
    QTemporaryDir temp;
    const QString root = temp.path(), build = root + QStringLiteral("/build");
    WriteBytes(build + QStringLiteral("/share/aurisona/aurisona.rcc"), "rcc");
    // A folder of that name is not the file.
    QVERIFY(QDir().mkpath(root + QStringLiteral("/dir/share/aurisona/aurisona.rcc")));
    const struct {
      const char* executableDir;
      ResourceOrigin origin;
    } rows[] = {
        {"/build/src/app", ResourceOrigin::kBuildTree},
        {"/elsewhere/bin", ResourceOrigin::kMissing},
        {"/build2/bin", ResourceOrigin::kMissing},  // only starts with the build folder's name
        {"/dir/bin", ResourceOrigin::kMissing},
    };
    for (const auto& row : rows) {
      QVERIFY(QDir().mkpath(root + QLatin1String(row.executableDir)));
      QVERIFY2(LocateResources(root + QLatin1String(row.executableDir), build).origin == row.origin, row.executableDir);
    }
    const ResourceLocation built = LocateResources(root + QStringLiteral("/build/src/app"), build);
    QCOMPARE(built.file, build + QStringLiteral("/share/aurisona/aurisona.rcc"));

    // Missing: the message names every place looked at; a file that is there
    // but unreadable is named as damaged.
    const ResourceLocation outside = LocateResources(root + QStringLiteral("/elsewhere/bin"), build);
    QCOMPARE(outside.searched, (QStringList{root + QStringLiteral("/elsewhere/bin/aurisona.rcc"),
                                            root + QStringLiteral("/elsewhere/share/aurisona/aurisona.rcc")}));
    for (const QString& path : outside.searched) QVERIFY(ResourceProblemMessage(outside).contains(path));
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
