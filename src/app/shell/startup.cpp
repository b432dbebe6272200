#include "app/shell/startup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstring>
#include <utility>

#include "core/media/bundled_media.h"

namespace aurisona::shell {

QString CommandLineDocument(const QStringList& argumentsAfterProgram) {
  QString path = argumentsAfterProgram.join(u' ');
  path.remove(u'"');
  if (path.endsWith(QStringLiteral(".lsn"), Qt::CaseInsensitive) ||
      path.endsWith(QStringLiteral(".txt"), Qt::CaseInsensitive)) {
    return path;
  }
  return {};
}

namespace {

// The file dialog's type column: Qt 6 asks context QAbstractFileIconProvider,
// which Debian 12's Chinese Qt translations do not have yet.
class FileTypeTexts final : public QTranslator {
 public:
  using QTranslator::QTranslator;
  bool isEmpty() const override { return false; }
  QString translate(const char* context, const char* source, const char*, int) const override {
    if (context == nullptr || source == nullptr || std::strcmp(context, "QAbstractFileIconProvider") != 0) return {};
    static constexpr std::pair<const char*, const char16_t*> kTexts[] = {
        {"Folder", u"文件夹"}, {"Drive", u"驱动器"}, {"File", u"文件"}, {"%1 File", u"%1 文件"}};
    for (const auto& [english, chinese] : kTexts) {
      if (std::strcmp(source, english) == 0) return QString::fromUtf16(chinese);
    }
    return {};
  }
};

}  // namespace

void UseChineseFormats() {
  // Dates and sizes in the file dialogs follow the system locale's time and
  // number categories; the program speaks Chinese, so they do too, unless
  // LC_ALL decides everything.
  if (!qEnvironmentVariableIsEmpty("LC_ALL")) return;
  for (const char* category : {"LC_TIME", "LC_NUMERIC"}) {
    const QByteArray value = qgetenv(category).isEmpty() ? qgetenv("LANG") : qgetenv(category);
    if (!value.startsWith("zh")) qputenv(category, "zh_CN.UTF-8");
  }
}

void InstallQtChineseTexts() {
  QCoreApplication::installTranslator(new FileTypeTexts(QCoreApplication::instance()));
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QCoreApplication::installTranslator(translator);
  } else {
    delete translator;
  }
}

DataDirectory PrepareDataDirectory(const DataDirectory& dir) {
  const CreatedFolders created = dir.EnsureMediaFolders();
  InstallBundledMedia(dir, created);
  return dir;
}

}  // namespace aurisona::shell
