// aurisona: the desktop application.
//
//   aurisona [DOCUMENT]              opens the document (.lsn or .txt) when given
//   aurisona --screenshot DIR        saves pictures of the windows into DIR
#include <QApplication>

#include "media/data_directory.h"
#include "shell/main_window.h"
#include "shell/registration.h"
#include "shell/screenshots.h"
#include "shell/startup.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("aurisona"));
  QApplication::setApplicationDisplayName(QString());
  using namespace aurisona;
  shell::InstallQtChineseTexts();

  const QStringList arguments = QApplication::arguments().mid(1);
  const DataDirectory dataDirectory = shell::PrepareDataDirectory(DataDirectory::Resolve());
  if (arguments.size() == 2 && arguments.constFirst() == QStringLiteral("--screenshot")) {
    return shell::TakeScreenshots(dataDirectory, arguments.at(1));
  }

  shell::RegisterDocumentType(shell::XdgDataHome(), QCoreApplication::applicationFilePath());

  shell::MainWindow window(dataDirectory, shell::CommandLineDocument(arguments));
  window.show();
  return QApplication::exec();
}
