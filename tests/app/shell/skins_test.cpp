// Every look (the system look and the four skins) read off the rendered
// widgets of a real main window: list rows and their header, a button enabled
// and disabled, and the toolbar's overflow button in the smallest window
// stand out from their background, the disabled button visibly fainter.
#include <QHeaderView>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>

#include "app_test_util.h"
#include "app/media/music_dialog.h"

using namespace aurisona;
using namespace aurisona::shell;
using namespace aurisona::app_test;

namespace {

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

}  // namespace

class SkinsTest : public WindowSuite {
  Q_OBJECT

 private slots:
  void initTestCase() {
    StartHome();
    // A second clip, so that the music list has a row that is not selected.
    const QString music = QString::fromStdString(data_.Music().string());
    const QStringList clips = QDir(music).entryList(QDir::Files);
    QVERIFY(!clips.isEmpty());
    QVERIFY(QFile::copy(music + u'/' + clips.first(), music + QStringLiteral("/另一首音乐.mp3")));
    StartWindow();
  }
  void cleanupTestCase() { StopWindow(); }

  void everySkinIsReadable_data() {
    QTest::addColumn<int>("skin");
    for (int skin = 1; skin <= kSkinCount; ++skin) QTest::addRow("skin %d", skin) << skin;
  }
  void everySkinIsReadable() {
    QFETCH(int, skin);
    window_->ExecuteCommand(SkinCommand(skin));
    // The chosen skin is checked in the menu and kept in setup.ini.
    QVERIFY(window_->Actions(SkinCommand(skin)).first()->isChecked());
    QCOMPARE(Store().GetInt(kSettingsSection, setting_keys::kSkin, 0), skin);
    window_->resize(1000, 638);
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    auto* button = Control<QPushButton>(panel::kOutputId);
    const QRect face = button->rect().adjusted(4, 4, -4, -4);
    const double enabled = InkContrast(button, face);
    panel_->Panel().SetButtonEnabled(panel::kOutputId, false);
    QCoreApplication::processEvents();
    const double disabled = InkContrast(button, face);
    panel_->Panel().SetButtonEnabled(panel::kOutputId, true);

    media::MusicDialog dialog(window_->Media(), 0, 0, window_.get());
    dialog.show();
    window_->resize(window_->minimumSize());
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    auto* table = dialog.findChild<QTableWidget*>();
    auto* overflow = window_->findChild<QToolBar*>()->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"));
    QVERIFY(table != nullptr && table->rowCount() >= 2 && overflow != nullptr && overflow->isVisible());
    QVERIFY(overflow->width() >= 8 && overflow->height() >= 16);
    auto row = [&](int r) { return table->visualRect(table->model()->index(r, 1)).adjusted(1, 1, -1, -1); };
    // Row 0 is selected (the highlight colours), row 1 is not.
    const struct {
      const char* what;
      double contrast, least, most;
    } inks[] = {
        {"selected row", InkContrast(table->viewport(), row(0)), 3.0, 100},
        {"row", InkContrast(table->viewport(), row(1)), 4.5, 100},
        {"header", InkContrast(table->horizontalHeader()), 4.5, 100},
        {"toolbar overflow", InkContrast(overflow), 3.0, 100},
        {"enabled button", enabled, 4.5, 100},
        {"disabled button", disabled, 1.4, 0.7 * enabled},
    };
    for (const auto& ink : inks) {
      QVERIFY2(ink.contrast >= ink.least && ink.contrast <= ink.most,
               qPrintable(QStringLiteral("%1: contrast %2").arg(ink.what).arg(ink.contrast)));
    }
  }
};

QTEST_MAIN(SkinsTest)
#include "skins_test.moc"
