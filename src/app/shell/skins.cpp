#include "app/shell/skins.h"

#include <QApplication>
#include <QFile>

#include "app/shell/resources.h"

namespace aurisona::shell {
namespace {

// Style sheet resources of skins 2 to 5, in the order of the skin menu.
constexpr const char* kSkinResources[] = {
    ":/skins/black.qss",
    ":/skins/china.qss",
    ":/skins/golden.qss",
    ":/skins/metal.qss",
};

// Every look, the system one included, keeps the toolbar's eighteen labelled
// buttons compact enough for the window's initial width.
constexpr const char* kCompactToolbar =
    "QToolBar { spacing: 0px; padding: 1px; }\n"
    "QToolBar QToolButton { padding: 0px 1px; margin: 0px; }\n";
// The system look's toolbar buttons: flat, in the platform's colours.
constexpr const char* kSystemToolbar =
    "QToolBar QToolButton { border: none; border-radius: 3px; background: transparent; }\n"
    "QToolBar QToolButton:hover { background: palette(midlight); }\n"
    "QToolBar QToolButton:pressed, QToolBar QToolButton:checked { background: palette(mid); }\n"
    "QToolBar QToolButton::menu-button { border: none; width: 12px; }\n"
    "QToolBar::separator { width: 1px; margin: 4px 2px; background: palette(mid); }\n";

}  // namespace

QString SkinStyleSheet(int skin) {
  if (!IsBuiltInSkin(skin)) return {};
  EnsureResources();
  QFile file(QString::fromLatin1(kSkinResources[skin - kFirstBuiltInSkin]));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QString::fromUtf8(file.readAll());
}

void ApplySkin(int skin) {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (app == nullptr) return;
  const QString look = IsBuiltInSkin(skin) ? SkinStyleSheet(skin) : QString::fromLatin1(kSystemToolbar);
  app->setStyleSheet(QString::fromLatin1(kCompactToolbar) + look);
}

}  // namespace aurisona::shell
