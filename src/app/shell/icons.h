// Icons drawn by the program: the toolbar's command pictures and the
// application icon.
#pragma once

#include <QIcon>
#include <QImage>

namespace aurisona::shell {

// The toolbar picture of a command; a null icon for commands without one.
QIcon CommandIcon(int id);

// The application icon, and one square image of it.
QIcon AppIcon();
QImage AppIconImage(int size);

}  // namespace aurisona::shell
