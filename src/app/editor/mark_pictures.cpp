#include "app/editor/mark_pictures.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QRectF>

namespace aurisona {
namespace {

// One entry per mark kind. Voices of set 0 are light, those of set 1 darker;
// paired marks share a colour.
constexpr MarkPictureStyle kStyles[] = {
    {kMarkMale, u"男", qRgb(0x1f, 0x5f, 0xbf), BadgeShape::kRound},
    {kMarkFemale, u"女", qRgb(0xc8, 0x2a, 0x6e), BadgeShape::kRound},
    {kMarkMale1, u"男1", qRgb(0x12, 0x3c, 0x80), BadgeShape::kRound},
    {kMarkFemale1, u"女1", qRgb(0x8a, 0x1c, 0x4c), BadgeShape::kRound},
    {kMarkPromptTone, u"提示音", qRgb(0xd9, 0x7a, 0x00), BadgeShape::kRound},
    {kMarkNoReadBegin, u"禁读", qRgb(0x70, 0x70, 0x70), BadgeShape::kBegin},
    {kMarkNoReadEnd, u"结束", qRgb(0x70, 0x70, 0x70), BadgeShape::kEnd},
    {kMarkRepeatBegin, u"重复1", qRgb(0x1b, 0x80, 0x4a), BadgeShape::kBegin},
    {kMarkRepeatEnd, u"结束1", qRgb(0x1b, 0x80, 0x4a), BadgeShape::kEnd},
    {kMarkAltRepeatBegin, u"重复2", qRgb(0x0b, 0x7a, 0x86), BadgeShape::kBegin},
    {kMarkAltRepeatEnd, u"结束2", qRgb(0x0b, 0x7a, 0x86), BadgeShape::kEnd},
    {kMarkMusic, u"音乐", qRgb(0x6a, 0x3d, 0xb0), BadgeShape::kRound},
    {kMarkRecording, u"录音", qRgb(0xb0, 0x3a, 0x2e), BadgeShape::kRound},
    {kMarkPause, u"秒", qRgb(0x44, 0x55, 0x66), BadgeShape::kRound},
};

constexpr QRgb kMissingFill = qRgb(0xb0, 0xb0, 0xb0);
constexpr qreal kPadding = 3.0;
constexpr qreal kArrow = 4.0;  // the point of begin and end badges

QFont LabelFont() {
  QFont font;
  font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Sans SC"),
                    QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK")});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(12);
  font.setWeight(QFont::Medium);
  font.setHintingPreference(QFont::PreferFullHinting);
  return font;
}

const QFont& CachedLabelFont() {
  static const QFont font = LabelFont();
  return font;
}

QString PauseLabel(int code) {
  if (code < 10) return QStringLiteral("0.%1秒").arg(code);
  return QStringLiteral("%1秒").arg(code - 9);
}

BadgeShape ShapeOf(const MarkRecord* record) {
  const MarkPictureStyle* style = record ? FindMarkPictureStyle(record->kind) : nullptr;
  return style ? style->shape : BadgeShape::kRound;
}

}  // namespace

const MarkPictureStyle* FindMarkPictureStyle(int32_t kind) {
  for (const auto& style : kStyles) {
    if (style.kind == kind) return &style;
  }
  return nullptr;
}

QString MarkPictureLabel(const MarkRecord* record) {
  const MarkPictureStyle* style = record ? FindMarkPictureStyle(record->kind) : nullptr;
  if (!style) return QStringLiteral("?");
  switch (record->kind) {
    case kMarkPause:
      return IsValidPauseCode(record->param) ? PauseLabel(record->param) : QStringLiteral("?秒");
    case kMarkRepeatBegin:
    case kMarkAltRepeatBegin:
      return QString::fromUtf16(style->label) + QStringLiteral("×%1").arg(record->param);
    default:
      return QString::fromUtf16(style->label);
  }
}

QSizeF MarkPictureSize(const MarkRecord* record) {
  const QFontMetricsF metrics(CachedLabelFont());
  qreal width = metrics.horizontalAdvance(MarkPictureLabel(record)) + 2 * kPadding;
  if (ShapeOf(record) != BadgeShape::kRound) width += kArrow;
  return QSizeF(std::ceil(width) + 2, kMarkPictureHeight);  // one pixel of air either side
}

void PaintMarkPicture(QPainter& painter, const QRectF& rect, const MarkRecord* record) {
  const MarkPictureStyle* style = record ? FindMarkPictureStyle(record->kind) : nullptr;
  const QColor fill = style ? QColor(style->fill) : QColor(kMissingFill);
  const BadgeShape shape = ShapeOf(record);

  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  const QRectF badge = rect.adjusted(1.0, 0.5, -1.0, -0.5);
  const qreal radius = 3.0;
  QPainterPath path;
  switch (shape) {
    case BadgeShape::kRound:
      path.addRoundedRect(badge, radius, radius);
      break;
    case BadgeShape::kBegin: {
      // Rounded on the left, a point on the right: the stretch starts here.
      QPainterPath body;
      body.addRoundedRect(QRectF(badge.left(), badge.top(), badge.width() - kArrow, badge.height()), radius,
                          radius);
      QPainterPath tip;
      tip.moveTo(badge.right() - kArrow - radius, badge.top());
      tip.lineTo(badge.right() - kArrow, badge.top());
      tip.lineTo(badge.right(), badge.center().y());
      tip.lineTo(badge.right() - kArrow, badge.bottom());
      tip.lineTo(badge.right() - kArrow - radius, badge.bottom());
      tip.closeSubpath();
      path = body.united(tip);
      break;
    }
    case BadgeShape::kEnd: {
      QPainterPath body;
      body.addRoundedRect(QRectF(badge.left() + kArrow, badge.top(), badge.width() - kArrow, badge.height()),
                          radius, radius);
      QPainterPath tip;
      tip.moveTo(badge.left() + kArrow + radius, badge.top());
      tip.lineTo(badge.left() + kArrow, badge.top());
      tip.lineTo(badge.left(), badge.center().y());
      tip.lineTo(badge.left() + kArrow, badge.bottom());
      tip.lineTo(badge.left() + kArrow + radius, badge.bottom());
      tip.closeSubpath();
      path = body.united(tip);
      break;
    }
  }
  painter.setPen(QPen(fill.darker(130), 1.0));
  painter.setBrush(fill);
  painter.drawPath(path);

  QRectF textRect = badge;
  if (shape == BadgeShape::kBegin) textRect.setRight(textRect.right() - kArrow);
  if (shape == BadgeShape::kEnd) textRect.setLeft(textRect.left() + kArrow);
  painter.setFont(CachedLabelFont());
  painter.setPen(Qt::white);
  painter.drawText(textRect, Qt::AlignCenter, MarkPictureLabel(record));
  painter.restore();
}

QImage RenderMarkPicture(const MarkRecord* record, qreal devicePixelRatio) {
  const QSizeF size = MarkPictureSize(record);
  QImage image((size * devicePixelRatio).toSize(), QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(devicePixelRatio);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  PaintMarkPicture(painter, QRectF(QPointF(0, 0), size), record);
  return image;
}

}  // namespace aurisona
