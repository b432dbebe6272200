// Small helpers shared by the shell's test suites.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtTest>
#include <string_view>

#include "media/data_directory.h"
#include "output/output_job.h"
#include "script/tagged_text.h"
#include "shell/commands.h"
#include "shell/main_window.h"
#include "shell/panel_controller.h"
#include "shell/startup.h"

namespace aurisona::shell {

inline QString Q(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

inline QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Points HOME, XDG_DATA_HOME and XDG_CACHE_HOME into the temporary folder, so nothing of the
// user's setup is touched, and prepares a data directory there.
inline DataDirectory PrepareTestHome(const QTemporaryDir& temp) {
  qputenv("HOME", QFile::encodeName(temp.path()));
  qputenv("XDG_DATA_HOME", QFile::encodeName(temp.filePath(QStringLiteral("share"))));
  qputenv("XDG_CACHE_HOME", QFile::encodeName(temp.filePath(QStringLiteral("cache"))));
  return PrepareDataDirectory(DataDirectory(QFile::encodeName(temp.filePath(QStringLiteral("data"))).toStdString()));
}

// Replaces the editor's whole content with a tagged script.
inline void LoadTagged(MainWindow& window, std::u16string_view tagged) {
  ScriptDocument& doc = window.Editor().Document();
  doc.SetSelection(0, -1);
  TaggedTextReader(doc, window.Media().lists(), tagged, true, false);
  QCoreApplication::processEvents();
}

// Runs the window's output command into `target` and waits for the job to end.
inline OutputResult RunOutput(MainWindow& window, PanelController& panel, const QString& target) {
  panel.askOutputPath = [target] { return target; };
  OutputResult result;
  bool done = false;
  panel.outputFinished = [&](const OutputResult& r) {
    result = r;
    done = true;
  };
  window.ExecuteCommand(cmd::kOutputMp3);
  if (!QTest::qWaitFor([&] { return done; }, 120000)) qFatal("the output job did not end");
  return result;
}

}  // namespace aurisona::shell
