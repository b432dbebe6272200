// The application's resources (skins, desktop files): one binary resource
// file, aurisona.rcc, found next to the executable and registered at start.
#pragma once

#include <QString>
#include <QStringList>

namespace aurisona::shell {

inline constexpr const char* kResourceFileName = "aurisona.rcc";

// Where the resource file was found, which also says how the program was
// installed.
enum class ResourceOrigin {
  kMissing,    // nowhere
  kPortable,   // beside the executable: a folder that holds the whole program
  kInstalled,  // PREFIX/share/aurisona for an executable in PREFIX/bin
  kBuildTree,  // the build folder the executable was built in
};

struct ResourceLocation {
  ResourceOrigin origin = ResourceOrigin::kMissing;
  QString file;         // the resource file; empty when missing
  QStringList searched; // every file looked for, in order
};

// Looks for the resource file beside the executable, then in
// ../share/aurisona from the executable's folder, then in the build folder's
// share/aurisona when the executable lies inside that build folder (buildDir
// may be empty: an installed program has none).
ResourceLocation LocateResources(const QString& executableDir, const QString& buildDir);

// The location for this process (computed once).
const ResourceLocation& ProcessResources();

// Registers the resource file of this process; safe to call more than once.
// False when it is missing or cannot be read.
bool EnsureResources();

// The one message a program without its resources shows: what is missing and
// where it was looked for; a file that exists but cannot be read is named as
// damaged.
QString ResourceProblemMessage(const ResourceLocation& location);

}  // namespace aurisona::shell
