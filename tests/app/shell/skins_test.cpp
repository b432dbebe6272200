// Every look (the system look and the four skins) read off the rendered
// widgets of a real main window: the chosen voices whole in the panel's lists
// (longer names too), disabled controls visibly dimmer, list rows readable,
// and the toolbar's overflow button visible in the smallest window.
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

#include "app_test_util.h"
#include "app/media/music_dialog.h"
#include "app/shell/settings_panel_port.h"
#include "app/shell/skins.h"

using namespace aurisona;
using namespace aurisona::shell;
using namespace aurisona::app_test;

namespace {

// Longer names than eSpeak NG's, as other engines give them.
std::vector<Voice> LongNamedVoices() {
  return {
      {u"中文男声", u"eSpeak NG Mandarin Male 22kHz", "cmn", VoiceGender::kMale, 22050, u"eSpeak NG"},
      {u"普通话女声(eSpeak)", u"eSpeak NG Mandarin Female 22kHz", "cmn", VoiceGender::kFemale, 22050, u"eSpeak NG"},
      {u"美音男声(Flite)", u"Flite US English Male", "en-US", VoiceGender::kMale, 16000, u"Flite"},
      {u"美音女声(Flite)", u"Flite US English Female", "en-US", VoiceGender::kFemale, 16000, u"Flite"},
      {u"英式英语男声乙", u"eSpeak NG UK English Male 22kHz", "en-GB", VoiceGender::kMale, 22050, u"eSpeak NG"},
  };
}

class PanelPort final : public SettingsPanelPort {
 public:
  explicit PanelPort(const std::filesystem::path& ini) : panel_(std::make_unique<SettingsPanel>(LongNamedVoices(), ini)) {}
  QWidget* Widget() override { return panel_.get(); }
  void HandleCommand(int) override {}
  void SaveSettings() override {}
  SettingsPanel& Panel() { return *panel_; }

 private:
  std::unique_ptr<SettingsPanel> panel_;
};

double Luminance(QRgb rgb) {
  auto channel = [](int c) {
    const double v = c / 255.0;
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) + 0.0722 * channel(qBlue(rgb));
}

double Contrast(QRgb a, QRgb b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The contrast of the strongest ink in `area` of a widget, as its window
// shows it, against the area's most common colour (the background).
double InkContrast(QWidget* widget, QRect area = {}) {
  if (area.isNull()) area = widget->rect();
  QWidget* window = widget->window();
  const QImage image =
      window->grab(QRect(widget->mapTo(window, area.topLeft()), area.size())).toImage().convertToFormat(QImage::Format_RGB32);
  const QRect pixels = image.rect();
  QHash<QRgb, int> counts;
  for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
    for (int x = pixels.left(); x <= pixels.right(); ++x) ++counts[image.pixel(x, y)];
  }
  const QRgb background = std::max_element(counts.cbegin(), counts.cend()).key();
  double best = 1.0;
  for (auto it = counts.cbegin(); it != counts.cend(); ++it) best = std::max(best, Contrast(it.key(), background));
  return best;
}

// The edit field of a closed, non-editable list as its style lays it out.
QRect TextField(QComboBox* list) {
  QStyleOptionComboBox option;
  option.initFrom(list);
  option.editable = false;
  option.frame = true;
  option.currentText = list->currentText();
  return list->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list);
}

}  // namespace

class SkinsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> temp_;
  DataDirectory data_;
  std::unique_ptr<MainWindow> window_;
  PanelPort* port_ = nullptr;

  void UseSkin(int skin) {
    window_->ExecuteCommand(SkinCommand(skin));
    window_->resize(1000, 638);
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }

  template <typename T>
  T* Control(int id) {
    T* control = window_->findChild<T*>(QString::number(id));
    if (control == nullptr) qFatal("no control %d", id);
    return control;
  }

 private slots:
  void initTestCase() {
    temp_ = std::make_unique<QTemporaryDir>();
    data_ = PrepareTestHome(*temp_);
    QVERIFY(IniStore(data_.SetupIni()).SetInt(kSettingsSection, setting_keys::kFirstRun, 0));
    // A second clip, so that the music list has a row that is not selected.
    const QString music = QString::fromStdString(data_.Music().string());
    const QStringList clips = QDir(music).entryList(QDir::Files);
    QVERIFY(!clips.isEmpty());
    QVERIFY(QFile::copy(music + u'/' + clips.first(), music + QStringLiteral("/另一首音乐.mp3")));
    window_ = std::make_unique<MainWindow>(data_, QString(), std::make_unique<ScriptedDialogs>());
    auto port = std::make_unique<PanelPort>(data_.SetupIni());
    port_ = port.get();
    window_->InstallSettingsPanel(std::move(port));
    window_->show();
  }
  void cleanupTestCase() {
    window_.reset();
    ApplySkin(kSystemSkin);
  }

  void skins_data() {
    QTest::addColumn<int>("skin");
    for (int skin = 1; skin <= kSkinCount; ++skin) QTest::addRow("skin %d", skin) << skin;
  }

  // Every name of every voice list fits its list's text field, and so do the
  // speed and volume entries; the editor keeps most of the window.
  void voiceListsReadWhole_data() { skins_data(); }
  void voiceListsReadWhole() {
    QFETCH(int, skin);
    UseSkin(skin);
    for (const panel::VoiceRowEntry& row : panel::kVoiceRows) {
      for (const int id : {row.voiceList, row.speedList, row.volumeList}) {
        auto* list = Control<QComboBox>(id);
        QVERIFY(list->count() > 0);
        const int chosen = list->currentIndex();
        for (int i = 0; i < list->count(); ++i) {
          list->setCurrentIndex(i);
          const int text = list->fontMetrics().horizontalAdvance(list->itemText(i));
          const QString what = QStringLiteral("%1 in list %2: %3 px of text, field %4 px");
          QVERIFY2(text + 2 <= TextField(list).width(),
                   qPrintable(what.arg(list->itemText(i)).arg(id).arg(text).arg(TextField(list).width())));
        }
        list->setCurrentIndex(chosen);
      }
    }
    QVERIFY(window_->Editor().Widget()->width() >= 500);
  }

  // Gain controls under automatic gain and the panel's buttons during a
  // preview look disabled: clearly fainter than enabled, yet still there.
  void disabledLooksDisabled_data() { skins_data(); }
  void disabledLooksDisabled() {
    QFETCH(int, skin);
    UseSkin(skin);
    SettingsPanel& panel = port_->Panel();
    auto* automatic = Control<QCheckBox>(panel::kTextAutoGain);
    QWidget* controls[] = {Control<QCheckBox>(panel::kTextGain), Control<QLineEdit>(panel::kTextGainEdit)};
    automatic->setChecked(false);
    QCoreApplication::processEvents();
    // The check box's label, not its box.
    auto area = [&](int i) {
      if (i != 0) return QRect();
      QStyleOptionButton option;
      option.initFrom(controls[0]);
      return controls[0]->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, controls[0]);
    };
    double enabled[2];
    for (int i = 0; i < 2; ++i) {
      QVERIFY(controls[i]->isEnabled());
      enabled[i] = InkContrast(controls[i], area(i));
    }
    automatic->setChecked(true);
    QCoreApplication::processEvents();
    for (int i = 0; i < 2; ++i) {
      QVERIFY(!controls[i]->isEnabled());
      const double disabled = InkContrast(controls[i], area(i));
      QVERIFY2(enabled[i] >= 4.5 && disabled <= 0.7 * enabled[i] && disabled >= 1.4,
               qPrintable(QStringLiteral("%1: enabled %2, disabled %3")
                              .arg(controls[i]->objectName())
                              .arg(enabled[i])
                              .arg(disabled)));
    }
    auto* button = Control<QPushButton>(panel::kOutputId);
    const double on = InkContrast(button, button->rect().adjusted(4, 4, -4, -4));
    panel.SetButtonEnabled(panel::kOutputId, false);
    QCoreApplication::processEvents();
    const double off = InkContrast(button, button->rect().adjusted(4, 4, -4, -4));
    panel.SetButtonEnabled(panel::kOutputId, true);
    QVERIFY2(on >= 4.5 && off <= 0.7 * on && off >= 1.4,
             qPrintable(QStringLiteral("button: enabled %1, disabled %2").arg(on).arg(off)));
  }

  // The music list's rows, selected or not, read against their background.
  void listRowsReadable_data() { skins_data(); }
  void listRowsReadable() {
    QFETCH(int, skin);
    UseSkin(skin);
    media::MusicDialog dialog(window_->Media(), 0, 0, window_.get());
    dialog.show();
    QCoreApplication::processEvents();
    auto* table = dialog.findChild<QTableWidget*>();
    QVERIFY(table != nullptr);
    QVERIFY(table->rowCount() >= 2);
    // Row 0 is selected (the highlight colours), row 1 is not.
    for (int row : {0, 1}) {
      QRect area = table->visualRect(table->model()->index(row, 1));
      area = area.adjusted(1, 1, -1, -1);
      const double contrast = InkContrast(table->viewport(), area);
      QVERIFY2(contrast >= (row == 0 ? 3.0 : 4.5), qPrintable(QStringLiteral("row %1: contrast %2").arg(row).arg(contrast)));
    }
    auto* header = table->horizontalHeader();
    QVERIFY(InkContrast(header) >= 4.5);
  }

  // In the smallest window the toolbar's overflow button is there and drawn.
  void toolbarOverflowVisible_data() { skins_data(); }
  void toolbarOverflowVisible() {
    QFETCH(int, skin);
    UseSkin(skin);
    window_->resize(window_->minimumSize());
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    auto* toolbar = window_->findChild<QToolBar*>();
    QVERIFY(toolbar != nullptr);
    auto* overflow = toolbar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"));
    QVERIFY(overflow != nullptr);
    QVERIFY(overflow->isVisible());
    QVERIFY2(overflow->width() >= 8 && overflow->height() >= 16,
             qPrintable(QStringLiteral("%1x%2").arg(overflow->width()).arg(overflow->height())));
    const double contrast = InkContrast(overflow);
    QVERIFY2(contrast >= 3.0, qPrintable(QString::number(contrast)));
  }
};

QTEST_MAIN(SkinsTest)
#include "skins_test.moc"
