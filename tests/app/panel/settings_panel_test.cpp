// The voice settings panel with real widgets, real voices and real setup.ini files.
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QtTest>

#include "app/panel/settings_panel.h"
#include "core/speech/engines/espeak/espeak_engine.h"

using namespace aurisona;
using namespace aurisona::panel;

class SettingsPanelTest : public QObject {
  Q_OBJECT

 private:
  std::vector<Voice> voices_;
  QTemporaryDir dir_;

  std::filesystem::path Ini(const char* utf8Lines = nullptr) {
    const QString path = dir_.filePath(QStringLiteral("setup.ini"));
    QFile::remove(path);
    if (utf8Lines) {
      QFile f(path);
      if (f.open(QIODevice::WriteOnly)) f.write(QByteArray("[设置]\n") + utf8Lines);
    }
    return path.toStdString();
  }
  static QLineEdit* Edit(SettingsPanel& p, int id) { return qobject_cast<QLineEdit*>(p.Control(id)); }
  static QCheckBox* Box(SettingsPanel& p, int id) { return qobject_cast<QCheckBox*>(p.Control(id)); }

 private slots:
  void initTestCase() {
    voices_ = EspeakSpeechEngine().ListVoices();
    QVERIFY2(!voices_.empty(), "no eSpeak voice installed");
    QVERIFY(dir_.isValid());
  }

  void typedValuesAreClampedButShownAsTyped() {
    SettingsPanel p(voices_, Ini());
    QLineEdit* gain = Edit(p, kRecordingGainEdit);
    QLineEdit* fade = Edit(p, kFadeEditId);
    const struct { const char* text; int gain; int fade; } cases[] = {
        {"0", 1, 1}, {"", 1, 1}, {"10", 10, 10}, {"11", 11, 10}, {"1500", 999, 10}, {"99999999999999", 999, 10}};
    for (const auto& c : cases) {
      gain->setText(QString::fromLatin1(c.text));
      fade->setText(QString::fromLatin1(c.text));
      QCOMPARE(gain->text(), QString::fromLatin1(c.text));
      QCOMPARE(p.Record().recordingGain.percent, c.gain);
      QCOMPARE(p.Record().fadeSeconds, c.fade);
    }
    // Only digits can be typed.
    Box(p, kRecordingAutoGain)->setChecked(false);
    gain->clear();
    QTest::keyClicks(gain, QStringLiteral("4x-2"));
    QCOMPARE(gain->text(), QStringLiteral("42"));
    QCOMPARE(p.Record().recordingGain.percent, 42);
  }

  // The rows of the gain table are one code path: the music row stands for all.
  void automaticGainGreysOutFixedGain() {
    const GainRowEntry& g = kGainRows[1];
    SettingsPanel p(voices_, Ini());
    p.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p));
    auto gainOf = [&] {
      return p.Record().musicGain;
    };
    QWidget* dependents[] = {p.Control(g.fixedBox), p.Control(g.percentEdit), p.Control(g.percentLabel)};
    QTest::mouseClick(Box(p, g.automaticBox), Qt::LeftButton);
    QVERIFY(!gainOf().automatic);
    for (QWidget* w : dependents) QVERIFY(w->isEnabled());
    QTest::mouseClick(Box(p, g.fixedBox), Qt::LeftButton);
    QCOMPARE(gainOf(), (GainGroup{200, false, false}));
    QTest::mouseClick(Box(p, g.automaticBox), Qt::LeftButton);
    for (QWidget* w : dependents) QVERIFY(!w->isEnabled());
    QCOMPARE(gainOf(), (GainGroup{200, true, false}));
    // The other rows keep their state.
    for (const GainRowEntry& other : kGainRows) {
      if (other.automaticBox != g.automaticBox) QVERIFY(!p.Control(other.percentEdit)->isEnabled());
    }
    QTest::mouseClick(Box(p, kFadeBoxId), Qt::LeftButton);
    QVERIFY(!p.Record().fadeOn);
    QVERIFY(p.Control(kFadeEditId)->isEnabled());
  }

  // The buttons send their commands; Enter and Escape on any control neither
  // send one nor close a dialog around the panel.
  void onlyButtonsSendCommands() {
    QDialog dialog;
    auto* p = new SettingsPanel(voices_, Ini(), &dialog);
    (new QVBoxLayout(&dialog))->addWidget(p);
    QSignalSpy commands(p, &SettingsPanel::commandRequested);
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    for (int id : {kTextGainEdit, kOutputId, kPreviewAllId, kCnMaleVoice}) {
      QWidget* w = p->Control(id);
      w->setFocus();
      for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) QTest::keyClick(w, Qt::Key(key));
    }
    QCoreApplication::processEvents();
    QVERIFY(dialog.isVisible());
    QCOMPARE(finished.count(), 0);
    QCOMPARE(commands.count(), 0);
    QCOMPARE(Edit(*p, kTextGainEdit)->text(), QStringLiteral("200"));

    for (const ButtonEntry& b : kButtons) {
      qobject_cast<QPushButton*>(p->Control(b.id))->click();
      QCOMPARE(commands.takeFirst().at(0).toInt(), b.id);
    }
    QVERIFY(p->PostCommand(kPreviewFromCaretId));
    QVERIFY(!p->PostCommand(kTextGainEdit));
    QCOMPARE(commands.count(), 0);  // posted, not sent
    QTRY_COMPARE(commands.count(), 1);
    QCOMPARE(commands.takeFirst().at(0).toInt(), kPreviewFromCaretId);
  }
};

QTEST_MAIN(SettingsPanelTest)
#include "settings_panel_test.moc"
