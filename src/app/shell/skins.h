// Skins: the system look (skin 1) and four built-in style sheets (skins 2 to 5).
#pragma once

#include <QString>

class QApplication;

namespace aurisona::shell {

inline constexpr int kSystemSkin = 1;
inline constexpr int kFirstBuiltInSkin = 2;
inline constexpr int kLastBuiltInSkin = 5;

inline bool IsBuiltInSkin(int skin) { return skin >= kFirstBuiltInSkin && skin <= kLastBuiltInSkin; }

// The style sheet of a built-in skin; empty for any other number.
QString SkinStyleSheet(int skin);

// Puts the skin on the whole application (every window and dialog); any number
// other than a built-in skin gives the system look.
void ApplySkin(int skin);

}  // namespace aurisona::shell
