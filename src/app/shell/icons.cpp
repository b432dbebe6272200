#include "app/shell/icons.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "app/shell/commands.h"

namespace aurisona::shell {
namespace {

// How a command's picture is drawn on a 48 x 48 canvas.
enum class Shape { kPage, kFolder, kDisk, kPages, kClipboard, kGlyph };

struct IconSpec {
  int id;
  Shape shape;
  const char16_t* glyph;  // kGlyph only
  QRgb color;
};

constexpr IconSpec kIcons[] = {
    {cmd::kNew, Shape::kPage, nullptr, 0xff3b7dd8},
    {cmd::kOpen, Shape::kFolder, nullptr, 0xffe0a526},
    {cmd::kSave, Shape::kDisk, nullptr, 0xff3b7dd8},
    {cmd::kCut, Shape::kGlyph, u"\u2702", 0xff5a6b7d},
    {cmd::kCopy, Shape::kPages, nullptr, 0xff3b7dd8},
    {cmd::kPaste, Shape::kClipboard, nullptr, 0xffb07a3b},
    {cmd::kUndo, Shape::kGlyph, u"\u21b6", 0xff5a6b7d},
    {cmd::kPreviewButton, Shape::kGlyph, u"\u25b6", 0xff2e9e4f},
    {cmd::kSettingsPanel, Shape::kGlyph, u"\u2699", 0xff6b5fb5},
    {cmd::kMale, Shape::kGlyph, u"\u2642", 0xff2f6fd0},
    {cmd::kFemale, Shape::kGlyph, u"\u2640", 0xffd0457a},
    {cmd::kLastPause, Shape::kGlyph, u"\u2016", 0xffd07a1f},
    {cmd::kPromptTone, Shape::kGlyph, u"\u266a", 0xff1f9aa6},
    {cmd::kMusicFromList, Shape::kGlyph, u"\u266b", 0xff8a3fc0},
    {cmd::kRecording, Shape::kGlyph, u"\u25c9", 0xffd03a2f},
    {cmd::kNoRead, Shape::kGlyph, u"\u2298", 0xff9a2a2a},
    {cmd::kRepeatSame, Shape::kGlyph, u"\u21bb", 0xff2e9e4f},
    {cmd::kRepeatAlternate, Shape::kGlyph, u"\u21c4", 0xffc06a1f},
};

constexpr int kCanvas = 48;

void DrawPage(QPainter& p, const QRectF& r, const QColor& color) {
  QPainterPath page;
  const qreal fold = r.width() * 0.3;
  page.moveTo(r.left(), r.top());
  page.lineTo(r.right() - fold, r.top());
  page.lineTo(r.right(), r.top() + fold);
  page.lineTo(r.right(), r.bottom());
  page.lineTo(r.left(), r.bottom());
  page.closeSubpath();
  p.setPen(QPen(color.darker(130), 2.5));
  p.setBrush(Qt::white);
  p.drawPath(page);
  p.setPen(QPen(color, 2));
  for (int i = 1; i <= 3; ++i) {
    const qreal y = r.top() + fold + i * (r.height() - fold) / 4.5;
    p.drawLine(QPointF(r.left() + 5, y), QPointF(r.right() - 5, y));
  }
}

void DrawShape(QPainter& p, const IconSpec& spec) {
  const QColor color = QColor::fromRgba(spec.color);
  switch (spec.shape) {
    case Shape::kPage:
      DrawPage(p, QRectF(10, 5, 28, 38), color);
      break;
    case Shape::kPages:
      DrawPage(p, QRectF(5, 4, 24, 32), color);
      DrawPage(p, QRectF(18, 13, 24, 32), color);
      break;
    case Shape::kFolder: {
      QPainterPath back;
      back.moveTo(4, 12);
      back.lineTo(18, 12);
      back.lineTo(22, 16);
      back.lineTo(44, 16);
      back.lineTo(44, 40);
      back.lineTo(4, 40);
      back.closeSubpath();
      p.setPen(QPen(color.darker(140), 2));
      p.setBrush(color);
      p.drawPath(back);
      QPainterPath front;
      front.moveTo(4, 40);
      front.lineTo(10, 22);
      front.lineTo(46, 22);
      front.lineTo(44, 40);
      front.closeSubpath();
      p.setBrush(color.lighter(130));
      p.drawPath(front);
      break;
    }
    case Shape::kDisk:
      p.setPen(QPen(color.darker(140), 2));
      p.setBrush(color);
      p.drawRoundedRect(QRectF(6, 6, 36, 36), 4, 4);
      p.setBrush(Qt::white);
      p.drawRect(QRectF(13, 8, 22, 12));
      p.setBrush(color.darker(130));
      p.drawRect(QRectF(12, 27, 24, 13));
      break;
    case Shape::kClipboard:
      p.setPen(QPen(color.darker(140), 2));
      p.setBrush(color);
      p.drawRoundedRect(QRectF(8, 7, 32, 37), 3, 3);
      p.setBrush(Qt::white);
      p.drawRect(QRectF(13, 14, 22, 25));
      p.setBrush(QColor(0x80, 0x80, 0x80));
      p.drawRoundedRect(QRectF(17, 3, 14, 8), 2, 2);
      break;
    case Shape::kGlyph: {
      // A light disc keeps the glyph legible on the dark and red skins.
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(255, 255, 255, 215));
      p.drawEllipse(QRectF(3, 3, 42, 42));
      QFont font(QStringLiteral("DejaVu Sans"));
      font.setPixelSize(34);
      font.setBold(true);
      p.setFont(font);
      p.setPen(color);
      p.drawText(QRectF(0, 0, kCanvas, kCanvas), Qt::AlignCenter, QString::fromUtf16(spec.glyph));
      break;
    }
  }
}

QPixmap Render(const IconSpec& spec, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  p.scale(static_cast<qreal>(size) / kCanvas, static_cast<qreal>(size) / kCanvas);
  DrawShape(p, spec);
  return pixmap;
}

}  // namespace

QIcon CommandIcon(int id) {
  for (const IconSpec& spec : kIcons) {
    if (spec.id != id) continue;
    QIcon icon;
    for (int size : {16, 24, 32, 48}) icon.addPixmap(Render(spec, size));
    return icon;
  }
  return {};
}

QImage AppIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 64.0, size / 64.0);
  QLinearGradient gradient(0, 0, 0, 64);
  gradient.setColorAt(0, QColor(0x3b, 0x8d, 0xe0));
  gradient.setColorAt(1, QColor(0x1d, 0x4f, 0x9a));
  p.setPen(Qt::NoPen);
  p.setBrush(gradient);
  p.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);
  // A speaker with sound waves.
  p.setBrush(Qt::white);
  QPainterPath speaker;
  speaker.moveTo(12, 26);
  speaker.lineTo(20, 26);
  speaker.lineTo(31, 16);
  speaker.lineTo(31, 48);
  speaker.lineTo(20, 38);
  speaker.lineTo(12, 38);
  speaker.closeSubpath();
  p.drawPath(speaker);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
  p.drawArc(QRectF(26, 22, 16, 20), -50 * 16, 100 * 16);
  p.drawArc(QRectF(24, 14, 28, 36), -50 * 16, 100 * 16);
  return image;
}

QIcon AppIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64, 128}) icon.addPixmap(QPixmap::fromImage(AppIconImage(size)));
  return icon;
}

}  // namespace aurisona::shell
