// Pictures of the main window in every skin and of every dialog, for
// checking the look by eye.
#pragma once

#include <QString>

#include "media/data_directory.h"

namespace aurisona::shell {

// Saves PNG files into `outDir` (created when missing); returns the process
// exit code (0 when every picture was saved).
int TakeScreenshots(const DataDirectory& dataDirectory, const QString& outDir);

}  // namespace aurisona::shell
