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
#include "core/util/text.h"

using namespace aurisona;
using namespace aurisona::panel;

namespace {

QString Qs(std::u16string_view s) { return QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

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

  void noFileGivesDefaultsAndSaveWritesInstalledNames() {
    const auto ini = Ini();
    EspeakSpeechEngine speech;
    SettingsPanel p(speech, ini);
    const VoiceSlotLists lists = DistributeVoices(voices_);
    for (const VoiceRowEntry& row : kVoiceRows) {
      // "VW ..." is not installed: the first voice of each list is chosen.
      const auto& names = lists[static_cast<size_t>(row.slot - 1)];
      QCOMPARE(List(p, row.voiceList)->currentData().toString(), names.empty() ? QString() : Qs(names[0]));
      QCOMPARE(List(p, row.speedList)->currentText(), QStringLiteral("正常"));
      QCOMPARE(List(p, row.volumeList)->currentText(), QStringLiteral("100%"));
    }
    for (const GainRowEntry& g : kGainRows) {
      QVERIFY(Box(p, g.automaticBox)->isChecked() && Box(p, g.fixedBox)->isChecked());
      QCOMPARE(Edit(p, g.percentEdit)->text(), QStringLiteral("200"));
      QVERIFY(!Edit(p, g.percentEdit)->isEnabled() && !Box(p, g.fixedBox)->isEnabled());
    }
    QVERIFY(Box(p, kFadeBoxId)->isChecked());
    QCOMPARE(Edit(p, kFadeEditId)->text(), QStringLiteral("3"));

    QVERIFY(p.Save());
    SettingsRecord saved;
    saved.Load(IniStore(ini));
    QCOMPARE(saved, p.Record());
    QCOMPARE(saved.VoiceSlotQuery(1)->voice, lists[0].empty() ? std::u16string() : lists[0][0]);
    QVERIFY(!p.VoiceSlotQuery(0) && !p.VoiceSlotQuery(9));
  }

  void valuesRoundTripThroughSetupIni() {
    const auto ini = Ini(
        "男中音量=55\n女英速度_1=-3\n文本增益=5000\n音乐增益=0\n录音增益=-7\n"
        "文本自动增益=0\n音乐指定增益=0\n淡入淡出时间=25\n音乐淡入淡出=0\n");
    {
      SettingsPanel p(voices_, ini);
      QCOMPARE(List(p, kCnMaleVolume)->currentText(), QStringLiteral("50%"));
      QCOMPARE(p.VoiceSlotQuery(1)->volume, 50);
      QCOMPARE(List(p, kEnFemale1Speed)->currentText(), QStringLiteral("慢速:3"));
      QCOMPARE(Edit(p, kTextGainEdit)->text(), QStringLiteral("999"));
      QCOMPARE(Edit(p, kMusicGainEdit)->text(), QStringLiteral("1"));
      QCOMPARE(Edit(p, kRecordingGainEdit)->text(), QStringLiteral("1"));
      QVERIFY(Edit(p, kTextGainEdit)->isEnabled() && !Edit(p, kMusicGainEdit)->isEnabled());
      QVERIFY(!Box(p, kMusicGain)->isChecked() && !Box(p, kFadeBoxId)->isChecked());
      // A fade time out of range stays as stored until it is edited.
      QCOMPARE(Edit(p, kFadeEditId)->text(), QStringLiteral("25"));
      QCOMPARE(p.Record().fadeSeconds, 25);
      List(p, kEnMaleSpeed)->setCurrentIndex(20);
      List(p, kEnFemale1Volume)->setCurrentIndex(0);
      QVERIFY(p.Save());
    }
    SettingsPanel again(voices_, ini);
    const SettingsRecord r = again.Record();
    QCOMPARE(r.VoiceSlotQuery(3)->rate, 10);
    QCOMPARE(r.VoiceSlotQuery(8)->volume, 10);
    QCOMPARE(r.VoiceSlotQuery(8)->rate, -3);
    QCOMPARE(r.textGain, (GainGroup{999, false, true}));
    QCOMPARE(r.musicGain, (GainGroup{1, true, false}));
    QVERIFY(!r.fadeOn);
  }

  void typedValuesAreClampedButShownAsTyped() {
    SettingsPanel p(voices_, Ini());
    QLineEdit* gain = Edit(p, kRecordingGainEdit);
    QLineEdit* fade = Edit(p, kFadeEditId);
    const struct { const char* text; int gain; int fade; } cases[] = {
        {"0", 1, 1}, {"", 1, 1}, {"1", 1, 1}, {"10", 10, 10}, {"11", 11, 10},
        {"999", 999, 10}, {"1500", 999, 10}, {"99999999999999", 999, 10}};
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

  void voiceListsFollowGenderAndLanguage() {
    const std::vector<Voice> voices{{u"Zh M", u"a", "cmn", VoiceGender::kMale, 16000, u"Test"},
                                    {u"En F", u"b", "en-US", VoiceGender::kFemale, 16000, u"Test"},
                                    {u"Odd", u"c", "en-US", VoiceGender::kUnknown, 16000, u"Test"}};
    SettingsPanel p(voices, Ini());
    auto texts = [](int id, SettingsPanel& in) {
      QStringList t;
      for (int i = 0; i < List(in, id)->count(); ++i) t << List(in, id)->itemText(i);
      return t;
    };
    for (const VoiceRowEntry& row : kVoiceRows) {
      QStringList expected;
      if (row.slot == 1 || row.slot == 5) expected << QStringLiteral("Zh M · Test");
      if (row.slot == 4 || row.slot == 8) expected << QStringLiteral("En F · Test");
      expected << QStringLiteral("Odd · Test");
      QCOMPARE(texts(row.voiceList, p), expected);
    }

    // Like names of two engines read apart; the stored name still selects its voice.
    const std::vector<Voice> alike{{u"美语女声", u"a", "en-US", VoiceGender::kFemale, 16000, u"Flite"},
                                   {u"美音女声", u"b", "en-US", VoiceGender::kFemale, 22050, u"eSpeak NG"},
                                   {u"US Female", u"c", "en-US", VoiceGender::kFemale, 32000, u"Festival"}};
    const auto ini = Ini("女英引擎=美音女声\n");
    SettingsPanel q(alike, ini);
    QCOMPARE(texts(kEnFemaleVoice, q), QStringList({QStringLiteral("美语女声 · Flite"), QStringLiteral("美音女声 · eSpeak NG"),
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
      QCOMPARE(button->text(), Qs(b.text));
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
