#include "app/media/level_meter.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstdlib>

namespace aurisona::media {
namespace {

struct Zone {
  QColor bright;
  QColor dark;
};
const Zone kRed{QColor(255, 0, 0), QColor(127, 0, 0)};
const Zone kYellow{QColor(255, 255, 0), QColor(127, 127, 0)};
const Zone kGreen{QColor(0, 255, 0), QColor(0, 127, 0)};

constexpr int kScaleMarks = 7;
constexpr int kScaleStep = 6;

}  // namespace

LevelMeter::LevelMeter(QWidget* parent) : QWidget(parent) {
  setFixedSize(kDefaultWidth, kDefaultHeight);
  picture_ = QImage(size(), QImage::Format_RGB32);
  picture_.fill(Qt::white);
  clock_.start();
}

void LevelMeter::Update(std::span<const int16_t> samples) { UpdateAt(samples, clock_.elapsed()); }

void LevelMeter::UpdateAt(std::span<const int16_t> samples, int64_t nowMs) {
  const int h = picture_.height();
  const int w = picture_.width();
  if (h <= 0 || w <= 0) return;

  int peak = 0;
  for (const int16_t sample : samples) peak = std::max(peak, std::abs(static_cast<int>(sample)));
  peak = std::min(peak, 32767);  // -32768 reads as full scale
  const int level = static_cast<int>(static_cast<int64_t>(h) * peak / 32767);
  const int lit = h - level;  // rows from here down are lit
  const int red = 7 * h / 100;
  const int yellow = h / 4;

  QPainter painter(&picture_);
  const auto band = [&](int top, int bottom, const Zone& zone) {
    if (bottom <= top) return;
    const int split = std::clamp(lit, top, bottom);
    painter.fillRect(0, top, w, split - top, zone.dark);
    painter.fillRect(0, split, w, bottom - split, zone.bright);
  };
  band(0, red, kRed);
  band(red, yellow, kYellow);
  band(yellow, h, kGreen);

  if (held_ >= level && nowMs - heldAt_ <= kHoldMs) {
    const QColor& line = held_ > h - red ? kRed.bright : (held_ <= h - yellow ? kGreen.bright : kYellow.bright);
    painter.fillRect(0, h - held_, w, 1, line);
  } else {
    held_ = level;
    heldAt_ = nowMs;
  }

  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(12);
  font.setWeight(QFont::Normal);
  painter.setFont(font);
  painter.setPen(Qt::black);
  const QFontMetrics metrics(font);
  for (int k = 1; k <= kScaleMarks; ++k) {
    const int y = k * (h / 8);
    painter.drawText(10, y - 4 + metrics.ascent(), QString::number(kScaleStep * k));
    painter.drawLine(3, y, 6, y);  // x = 3 up to, not including, 7
  }
  painter.end();
  update();
}

void LevelMeter::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(rect(), picture_);
}

}  // namespace aurisona::media
