// The pictures of the control marks, drawn by the program: a small rounded
// badge per mark kind (and per pause code) with a short Chinese label.
#pragma once

#include <QColor>
#include <QImage>
#include <QSizeF>
#include <QString>

#include "core/script/marks.h"

class QPainter;
class QRectF;

namespace aurisona {

// Height of every mark picture in device-independent pixels.
inline constexpr int kMarkPictureHeight = 16;

// How a badge is shaped: begin marks open to the right, end marks close it.
enum class BadgeShape { kRound, kBegin, kEnd };

struct MarkPictureStyle {
  int32_t kind;
  const char16_t* label;  // fixed label; kinds with a parameter extend it (see MarkPictureLabel)
  QRgb fill;
  BadgeShape shape;
};

// The style of a mark kind, or nullptr for an unknown kind.
const MarkPictureStyle* FindMarkPictureStyle(int32_t kind);

// The label a mark shows: "男", "女1", "提示音", "0.5秒", "重复1×3", "音乐"...
// Unknown kinds and marks without a record show "?".
QString MarkPictureLabel(const MarkRecord* record);

// Size of the picture for a record (nullptr: a mark whose record is gone).
QSizeF MarkPictureSize(const MarkRecord* record);

// Draws the picture into `rect` (normally of MarkPictureSize).
void PaintMarkPicture(QPainter& painter, const QRectF& rect, const MarkRecord* record);

// The picture as an image at the given device pixel ratio, transparent around the badge.
QImage RenderMarkPicture(const MarkRecord* record, qreal devicePixelRatio = 1.0);

}  // namespace aurisona
