// Start-up: the command-line document and the data directory.
#pragma once

#include <QString>
#include <QStringList>

#include "core/media/data_directory.h"

namespace aurisona::shell {

// The document named on the command line. The arguments after the program
// name are one path (joined by blanks, so an unquoted path with blanks still
// counts), with every double quote removed. Empty unless it ends with ".lsn"
// or ".txt" in any case.
QString CommandLineDocument(const QStringList& argumentsAfterProgram);

// Loads Qt's own Chinese texts (file dialogs, standard buttons), when
// installed: the program speaks Chinese whatever the system's language.
void InstallQtChineseTexts();
// Chinese dates and numbers for what Qt formats by the system locale (the file
// dialogs' dates and sizes). Call before the application object is made.
void UseChineseFormats();

// The data directory with its Music, Record and Sound folders; folders made
// now get the bundled prompt tones and music. Failures are ignored.
DataDirectory PrepareDataDirectory(const DataDirectory& dir);

}  // namespace aurisona::shell
