// The recording dialog's level meter: a bar in three zones (red at the top,
// yellow, green) lit from the bottom up to the peak of each capture buffer,
// with the last high peak held as a line for 600 ms and a scale of ticks.
// It is drawn into a picture of the size it had when set up, and that picture
// is shown stretched to the widget.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <span>

namespace aurisona::media {

class LevelMeter final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kHoldMs = 600;
  static constexpr int kDefaultWidth = 40;
  static constexpr int kDefaultHeight = 160;

  explicit LevelMeter(QWidget* parent = nullptr);

  // Draws the level of one buffer of 16-bit samples.
  void Update(std::span<const int16_t> samples);
  // The same at a given time (milliseconds on any steady clock).
  void UpdateAt(std::span<const int16_t> samples, int64_t nowMs);

  const QImage& Picture() const { return picture_; }
  int HeldLevel() const { return held_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
  int held_ = 0;
  int64_t heldAt_ = 0;
  QElapsedTimer clock_;
};

}  // namespace aurisona::media
