// The voice settings panel with real widgets, real voices and real setup.ini files.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
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
  static QComboBox* List(SettingsPanel& p, int id) { return qobject_cast<QComboBox*>(p.Control(id)); }
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

  void automaticGainGreysOutFixedGain_data() {
    QTest::addColumn<int>("row");
    for (int i = 0; i < 3; ++i) QTest::addRow("%d", kGainRows[static_cast<size_t>(i)].automaticBox) << i;
  }
  void automaticGainGreysOutFixedGain() {
    QFETCH(int, row);
    const GainRowEntry& g = kGainRows[static_cast<size_t>(row)];
    SettingsPanel p(voices_, Ini());
    p.show();
    QVERIFY(QTest::qWaitForWindowExposed(&p));
    auto gainOf = [&] {
      const SettingsRecord r = p.Record();
      return row == 0 ? r.textGain : row == 1 ? r.musicGain : r.recordingGain;
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

  // Each voice list names the engine, so that like names of two engines read
  // apart; the stored name still selects its voice and is what is saved.
  void voiceListsNameTheEngine() {
    const std::vector<Voice> alike{{u"美语女声", u"a", "en-US", VoiceGender::kFemale, 16000, u"Flite"},
                                   {u"美音女声", u"b", "en-US", VoiceGender::kFemale, 22050, u"eSpeak NG"},
                                   {u"US Female", u"c", "en-US", VoiceGender::kFemale, 32000, u"Festival"}};
    const auto ini = Ini("女英引擎=美音女声\n");
    SettingsPanel q(alike, ini);
    QStringList texts;
    for (int i = 0; i < List(q, kEnFemaleVoice)->count(); ++i) texts << List(q, kEnFemaleVoice)->itemText(i);
    QCOMPARE(texts, QStringList({QStringLiteral("美语女声 · Flite"), QStringLiteral("美音女声 · eSpeak NG"),
                                 QStringLiteral("US Female · Festival")}));
    QCOMPARE(List(q, kEnFemaleVoice)->currentText(), QStringLiteral("美音女声 · eSpeak NG"));
    QCOMPARE(q.VoiceSlotQuery(4)->voice, u"美音女声");
    List(q, kEnFemaleVoice)->setCurrentIndex(0);
    QVERIFY(q.Save());
    QCOMPARE(IniStore(ini).GetString(kSettingsSection, u"女英引擎", u""), u"美语女声");
  }

  void enterAndEscapeDoNothing() {
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
  }

  void buttonsSendTheirCommands() {
    SettingsPanel p(voices_, Ini());
    QSignalSpy commands(&p, &SettingsPanel::commandRequested);
    for (const ButtonEntry& b : kButtons) {
      auto* button = qobject_cast<QPushButton*>(p.Control(b.id));
      button->click();
      QCOMPARE(commands.takeFirst().at(0).toInt(), b.id);
    }
    QVERIFY(p.PostCommand(kPreviewFromCaretId));
    QVERIFY(!p.PostCommand(kTextGainEdit));
    QCOMPARE(commands.count(), 0);  // posted, not sent
    QTRY_COMPARE(commands.count(), 1);
    QCOMPARE(commands.takeFirst().at(0).toInt(), kPreviewFromCaretId);
  }
};

QTEST_MAIN(SettingsPanelTest)
#include "settings_panel_test.moc"
