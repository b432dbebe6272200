// The recording dialog with real capture: the test sound server's null sink
// monitor is the default input, so a tone played into the sink is recorded.
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>

#include "app_test_util.h"
#include "app/media/media_texts.h"
#include "app/media/level_meter.h"
#include "core/media/media_library.h"
#include "app/media/recording_dialog.h"

using namespace aurisona;
using namespace aurisona::media;
using namespace aurisona::app_test;
using namespace aurisona::media_text;
using aurisona::testing::ReadWav;
using aurisona::testing::WavFault;

class RecordingDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void NameDialogRefusesBadNames();
  void RecordsATonePlayedIntoTheSink();
  void RecordingAgainAsksAndKeepsOneEntry();
  void PlaysDeletesAndReports();
};

namespace {

struct Library {
  DataDir data;
  std::unique_ptr<MediaLibrary> media;
  Library() {
    WriteFile(data.Record(QStringLiteral("old.wav")), WavBytes(Tone(660, 0.4, 6000)));
    media = std::make_unique<MediaLibrary>(data.dir);
    media->Build();
  }
};

// Plays a 441 Hz tone of 1.5 s into the sink and waits for it, with the
// event loop running.
bool PlayToneIntoSink(const QString& folder) {
  const QString path = folder + QStringLiteral("/tone.wav");
  WriteFile(path, WavBytes(Tone(441, 1.5, 16000)));
  QProcess paplay;
  paplay.start(QStringLiteral("paplay"), {path});
  if (!paplay.waitForStarted(5000)) return false;
  (void)QTest::qWaitFor([&] { return paplay.state() == QProcess::NotRunning; }, 10000);
  return paplay.exitStatus() == QProcess::NormalExit && paplay.exitCode() == 0;
}

// Waits for `count` more capture buffers.
bool WaitBuffers(const RecordingDialog& dialog, uint64_t count) {
  const uint64_t target = dialog.BuffersSeen() + count;
  return QTest::qWaitFor([&] { return dialog.BuffersSeen() >= target; }, 5000);
}

}  // namespace

void RecordingDialogTest::NameDialogRefusesBadNames() {
  RecordingNameDialog dialog(nullptr);
  // Empty, with < or >, a path, or a name of dots: a message, and the dialog stays.
  for (const char* name : {"", "a<b", "../../escape", "sub/name", "."}) {
    dialog.Edit()->setText(QString::fromUtf8(name));
    QString text;
    AnswerMessageBox(QMessageBox::Ok, nullptr, &text);
    dialog.accept();
    QVERIFY2(!text.isEmpty() && dialog.result() == QDialog::Rejected, name);
  }
  dialog.Edit()->setText(QStringLiteral("第一课 lesson1"));
  dialog.accept();
  QCOMPARE(dialog.result(), int(QDialog::Accepted));
  QCOMPARE(dialog.name(), QStringLiteral("第一课 lesson1"));
}

void RecordingDialogTest::RecordsATonePlayedIntoTheSink() {
  Library lib;
  RecordingDialog dialog(*lib.media, 0, nullptr);
  dialog.show();
  QVERIFY(dialog.IsCapturing());
  QVERIFY(WaitBuffers(dialog, 1));

  dialog.askName = [] { return std::optional<QString>(QStringLiteral("lesson1")); };
  dialog.RecordClicked();
  QVERIFY(dialog.IsRecording());
  for (int id : {kInsertId, kCancelId, kPlayId, kDeleteId}) QVERIFY(!dialog.Button(id)->isEnabled());
  QCOMPARE(dialog.List()->count(), 2);
  QCOMPARE(dialog.selection(), 1);

  QVERIFY(PlayToneIntoSink(QFileInfo(lib.data.Ini()).path()));
  // The meter moved: the tone lights it above the green zone's top.
  const QImage meter = dialog.Meter()->grab().toImage();
  QVERIFY(dialog.Meter()->HeldLevel() > 0 || QColor(meter.pixel(37, 159)) == QColor(0, 255, 0));
  QVERIFY(WaitBuffers(dialog, 3));  // the tail passes the monitor
  dialog.RecordClicked();
  QVERIFY(!dialog.IsRecording());
  for (int id : {kInsertId, kCancelId, kPlayId, kRecordId, kDeleteId}) QVERIFY(dialog.Button(id)->isEnabled());

  const std::string bytes = ReadFile(lib.data.Record(QStringLiteral("lesson1.wav"))).toStdString();
  QCOMPARE(WavFault(bytes), std::string());
  const std::vector<int16_t> samples = ReadWav(bytes).samples;
  QVERIFY(!samples.empty());
  QCOMPARE(samples.size() % 2756, 0u);  // whole buffers
  QCOMPARE(ReadWav(bytes).rate, 22050);
  // The tone is there: about 1.5 s of loud sound crossing zero 882 times a second.
  size_t loud = 0, crossings = 0;
  for (size_t i = 1; i < samples.size(); ++i) {
    if (std::abs(samples[i]) > 8000) ++loud;
    if ((samples[i - 1] < 0) != (samples[i] < 0) && std::abs(samples[i - 1]) + std::abs(samples[i]) > 1000) {
      ++crossings;
    }
  }
  QVERIFY2(loud > 22050 / 2, qPrintable(QString::number(loud)));
  QVERIFY2(crossings > 1000 && crossings < 1500, qPrintable(QString::number(crossings)));
  QVERIFY(lib.media->lists().recordings.back() == u"lesson1.wav");

  // Closing while recording keeps the recording, its header completed.
  dialog.askName = [] { return std::optional<QString>(QStringLiteral("closing")); };
  dialog.RecordClicked();
  QVERIFY(WaitBuffers(dialog, 2));
  dialog.done(1);
  QVERIFY(!dialog.IsCapturing());
  const std::string closing = ReadFile(lib.data.Record(QStringLiteral("closing.wav"))).toStdString();
  QCOMPARE(WavFault(closing), std::string());
  QVERIFY(closing.size() >= 44 + 5512);
  QCOMPARE((closing.size() - 44) % 5512, 0u);
}

void RecordingDialogTest::RecordingAgainAsksAndKeepsOneEntry() {
  Library lib;
  WriteFile(lib.data.Record(QStringLiteral("talk.mp3")), QByteArray("ID3"));
  lib.media->Build();
  RecordingDialog dialog(*lib.media, 0, nullptr);
  dialog.show();
  QVERIFY(WaitBuffers(dialog, 1));
  const QByteArray old = ReadFile(lib.data.Record(QStringLiteral("old.wav")));

  // The name of an existing recording: No records nothing.
  dialog.askName = [] { return std::optional<QString>(QStringLiteral("old")); };
  QString text;
  AnswerMessageBox(QMessageBox::No, nullptr, &text);
  dialog.RecordClicked();
  QCOMPARE(text, QStringLiteral("当前已经存在相同的录音，是否覆盖旧的录音!"));
  QVERIFY(!dialog.IsRecording());
  QCOMPARE(ReadFile(lib.data.Record(QStringLiteral("old.wav"))), old);

  // Yes records over it, selects it, and adds no second entry.
  const auto& names = lib.media->lists().recordings;
  const int oldRow = static_cast<int>(std::find(names.begin(), names.end(), u"old.wav") - names.begin());
  dialog.List()->setCurrentRow(1 - oldRow);
  AnswerMessageBox(QMessageBox::Yes);
  dialog.RecordClicked();
  QVERIFY(dialog.IsRecording());
  QCOMPARE(dialog.selection(), oldRow);
  QVERIFY(WaitBuffers(dialog, 2));
  dialog.RecordClicked();
  QCOMPARE(lib.media->lists().recordings.size(), size_t(2));
  QCOMPARE(dialog.List()->count(), 2);
  QByteArray again = ReadFile(lib.data.Record(QStringLiteral("old.wav")));
  QVERIFY(again != old);
  QCOMPARE((again.size() - 44) % 5512, 0);

  // Double-click: an MP3 recording only warns; a WAV one asks, then records.
  dialog.List()->setCurrentRow(1 - oldRow);
  QString title;
  AnswerMessageBox(QMessageBox::Ok, &title);
  dialog.RecordAgain();
  QCOMPARE(title, QStringLiteral("talk.mp3"));
  QVERIFY(!dialog.IsRecording());
  dialog.List()->setCurrentRow(oldRow);
  AnswerMessageBox(QMessageBox::Yes);
  dialog.RecordAgain();
  QVERIFY(dialog.IsRecording());
  dialog.RecordAgain();  // ignored while recording: no question, still recording
  QVERIFY(dialog.IsRecording());
  dialog.done(2);
}

void RecordingDialogTest::PlaysDeletesAndReports() {
  Library lib;
  WriteFile(lib.data.Record(QStringLiteral("bad.wav")), QByteArray("RIFF but not really"));
  lib.media->Build();
  auto& recordings = lib.media->lists().recordings;
  std::sort(recordings.begin(), recordings.end());  // bad.wav, old.wav
  RecordingDialog dialog(*lib.media, 1, nullptr);
  std::vector<int> removed;
  dialog.entryRemoved = [&](int index) { removed.push_back(index); };
  dialog.show();
  QCOMPARE(dialog.selection(), 1);

  dialog.PlayClicked();
  QVERIFY(dialog.IsPlaying());
  QCOMPARE(dialog.Button(kPlayId)->text(), QStringLiteral("停止(&S)"));
  QVERIFY(!dialog.Button(kRecordId)->isEnabled());
  QVERIFY(!dialog.Button(kDeleteId)->isEnabled());
  QTRY_COMPARE_WITH_TIMEOUT(dialog.Button(kPlayId)->text(), QStringLiteral("试播(&P)"), 5000);
  QVERIFY(dialog.Button(kRecordId)->isEnabled());
  QVERIFY(dialog.Button(kDeleteId)->isEnabled());

  // A file that cannot be played is reported and the buttons come back.
  dialog.List()->setCurrentRow(0);
  QString title;
  AnswerMessageBox(QMessageBox::Ok, &title);
  dialog.PlayClicked();
  QCOMPARE(title, QStringLiteral("bad.wav"));
  QVERIFY(!dialog.IsPlaying() && dialog.Button(kRecordId)->isEnabled() && dialog.Button(kDeleteId)->isEnabled());

  AnswerMessageBox(QMessageBox::Yes, &title);
  dialog.DeleteClicked();
  QCOMPARE(title, QStringLiteral("bad.wav"));
  QVERIFY(!QFile::exists(lib.data.Record(QStringLiteral("bad.wav"))));
  QVERIFY(recordings == std::vector<std::u16string>{u"old.wav"});
  QCOMPARE(dialog.List()->count(), 1);
  QVERIFY(removed == std::vector<int>{0});

  // Recording again what is playing stops the playback first.
  dialog.PlayClicked();
  QVERIFY(dialog.IsPlaying());
  AnswerMessageBox(QMessageBox::Yes);
  dialog.RecordAgain();
  QVERIFY(!dialog.IsPlaying());
  QVERIFY(dialog.IsRecording());
  QVERIFY(!dialog.Button(kPlayId)->isEnabled() && dialog.Button(kRecordId)->isEnabled());
  dialog.done(2);
  QCOMPARE((ReadFile(lib.data.Record(QStringLiteral("old.wav"))).size() - 44) % 5512, 0);
}

QTEST_MAIN(RecordingDialogTest)
#include "recording_dialog_test.moc"
