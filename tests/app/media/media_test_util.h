// Helpers of the media dialog tests: a scratch data directory, WAV clips made
// on the fly, and answering the modal dialogs that show up.
#pragma once

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <cmath>
#include <functional>
#include <vector>

#include "audio-io/recording_file.h"
#include "media/data_directory.h"

namespace aurisona::media_test {

inline std::filesystem::path P(const QString& path) { return std::filesystem::path(QFile::encodeName(path).toStdString()); }

// A data directory with empty Music, Record and Sound folders.
struct DataDir {
  QTemporaryDir temp;
  DataDirectory dir;
  DataDir() : dir(P(temp.path())) { dir.EnsureMediaFolders(); }
  QString Music(const QString& name) const { return temp.path() + QStringLiteral("/Music/") + name; }
  QString Record(const QString& name) const { return temp.path() + QStringLiteral("/Record/") + name; }
  QString Ini() const { return temp.path() + QStringLiteral("/setup.ini"); }
};

inline QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) file.write(bytes);
}

// A 22050 Hz mono 16-bit WAV file.
inline QByteArray WavBytes(const std::vector<int16_t>& samples) {
  const std::string header = RecordingHeader(static_cast<uint32_t>(samples.size() * 2));
  QByteArray bytes(header.data(), static_cast<qsizetype>(header.size()));
  bytes.append(reinterpret_cast<const char*>(samples.data()), static_cast<qsizetype>(samples.size() * 2));
  return bytes;
}

// A sine tone at 22050 Hz.
inline std::vector<int16_t> Tone(double hz, double seconds, double amplitude) {
  std::vector<int16_t> samples(static_cast<size_t>(22050 * seconds));
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(amplitude * std::sin(2 * M_PI * hz * static_cast<double>(i) / 22050));
  }
  return samples;
}

inline uint32_t Le32(const QByteArray& bytes, int at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

// Runs `handle` once on the first modal widget of type T that shows up (and
// that `accept` takes, when given).
template <typename T>
void OnNextModal(std::function<void(T*)> handle, std::function<bool(T*)> accept = {}) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, handle, accept] {
    auto* widget = qobject_cast<T*>(QApplication::activeModalWidget());
    if (widget && widget->isVisible() && (!accept || accept(widget))) {
      timer->stop();
      timer->deleteLater();
      handle(widget);
    }
  });
  timer->start();
}

// Answers the next message box with `button` and keeps its title and text;
// with `only`, just the box of that text.
inline void AnswerMessageBox(QMessageBox::StandardButton button, QString* title = nullptr,
                             QString* text = nullptr, const QString& only = {}) {
  OnNextModal<QMessageBox>(
      [=](QMessageBox* box) {
        if (title) *title = box->windowTitle();
        if (text) *text = box->text();
        box->button(button)->click();
      },
      [only](QMessageBox* box) { return only.isEmpty() || box->text() == only; });
}

// Saves a picture of `widget` when AURISONA_SCREENSHOTS names a folder.
inline void SaveScreenshot(QWidget* widget, const QString& name) {
  const QString folder = qEnvironmentVariable("AURISONA_SCREENSHOTS");
  if (folder.isEmpty()) return;
  QDir().mkpath(folder);
  widget->grab().save(folder + u'/' + name + QStringLiteral(".png"));
}

}  // namespace aurisona::media_test
