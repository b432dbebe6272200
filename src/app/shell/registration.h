// Per-user registration of the listening document type with the desktop:
// a desktop entry that opens documents with this executable, a
// shared-mime-info package for *.lsn and the application icon, all under the
// user's XDG data folder. An installed program leaves this to its package.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "app/shell/resources.h"

namespace aurisona::shell {

inline constexpr const char* kLsnMimeType = "application/x-aurisona-lsn";

// $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share; empty
// when neither is known.
QString XdgDataHome();

// The files the registration consists of, below a data folder.
struct RegistrationFiles {
  QString desktopEntry;  // applications/aurisona.desktop
  QString mimePackage;   // mime/packages/aurisona.xml
  QString icon;          // icons/hicolor/64x64/apps/aurisona.png
};
RegistrationFiles RegistrationFilesIn(const QString& dataHome);

// The content the files must have for this executable.
QByteArray ExpectedDesktopEntry(const QString& executable);
QByteArray ExpectedMimePackage();
QByteArray ExpectedIcon();

// The executable path as the first word of a desktop entry's Exec key:
// quoted when needed, with the escapes that key requires.
QString DesktopExecProgram(const QString& executable);

// Runs a helper program (update-mime-database, update-desktop-database) with
// its arguments; the result is not examined.
using ToolRunner = std::function<void(const QString& program, const QStringList& arguments)>;
// Starts the program detached when it is installed.
void RunInstalledTool(const QString& program, const QStringList& arguments);

struct RegistrationResult {
  bool desktopEntryWritten = false;
  bool mimePackageWritten = false;
  bool iconWritten = false;
  bool failed = false;  // some file could not be written (nothing is reported)
};

// Writes every file that is missing or differs from what it should be, then
// lets the desktop refresh its caches for what changed. Files that are current
// are not touched. Failures are ignored.
RegistrationResult RegisterDocumentType(const QString& dataHome, const QString& executable,
                                        const ToolRunner& run = RunInstalledTool);

struct UnregistrationResult {
  bool desktopEntryRemoved = false;
  bool mimePackageRemoved = false;
  bool iconRemoved = false;
};

// Removes the per-user files that the registration wrote (for whatever
// executable); files with other content are the user's and stay.
UnregistrationResult RemoveUserRegistration(const QString& dataHome, const ToolRunner& run = RunInstalledTool);

// True when an installation registers the program for every user: the share
// folder of its prefix holds the desktop entry and the MIME package, and is
// one of the XDG data folders (`xdgDataDirs` as $XDG_DATA_DIRS; empty means
// the default "/usr/local/share:/usr/share").
bool SystemRegistrationCovers(const QString& shareDir, const QString& xdgDataDirs);

// What start-up does. A program run from a build or portable folder registers
// itself for the user. An installed program whose installation registers it
// writes nothing into the user's folders, and removes a per-user registration
// of its own (one left by a run from a build folder, say) so that it cannot
// shadow the installed desktop entry. An installation into the user's own
// data folder is left as it is.
enum class StartRegistration { kUser, kSystem };
StartRegistration RegisterAtStart(const ResourceLocation& resources, const QString& dataHome, const QString& executable,
                                  const QString& xdgDataDirs, const ToolRunner& run = RunInstalledTool);

}  // namespace aurisona::shell
