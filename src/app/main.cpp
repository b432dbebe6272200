// aurisona: the desktop application.
//
//   aurisona [DOCUMENT]              opens the document (.lsn or .txt) when given
//   aurisona --version               prints the version
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "aurisona_version.h"
#include "core/media/data_directory.h"
#include "app/shell/dialogs.h"
#include "app/shell/main_window.h"
#include "app/shell/panel_controller.h"
#include "app/shell/registration.h"
#include "app/shell/resources.h"
#include "app/shell/startup.h"

int main(int argc, char** argv) {
  // Answered before the application object, which needs a display.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("aurisona %s\n", AURISONA_VERSION);
    return 0;
  }
  aurisona::shell::UseChineseFormats();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("aurisona"));
  QApplication::setApplicationDisplayName(QString());
  using namespace aurisona;
  shell::InstallQtChineseTexts();

  const QStringList arguments = QApplication::arguments().mid(1);

  // A broken installation says what is missing, before anything is created.
  if (!shell::EnsureResources()) {
    const QString message = shell::ResourceProblemMessage(shell::ProcessResources());
    std::fprintf(stderr, "aurisona: %s\n", message.toUtf8().constData());
    shell::QtDialogs().ShowError(nullptr, message);
    return 1;
  }

  const DataDirectory dataDirectory = shell::PrepareDataDirectory(DataDirectory::Resolve());

  shell::RegisterAtStart(shell::ProcessResources(), shell::XdgDataHome(), QCoreApplication::applicationFilePath(),
                         qEnvironmentVariable("XDG_DATA_DIRS"));

  shell::MainWindow window(dataDirectory, shell::CommandLineDocument(arguments));
  window.InstallSettingsPanel(std::make_unique<shell::PanelController>(window));
  window.show();
  return QApplication::exec();
}
