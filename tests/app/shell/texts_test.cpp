// Texts the user reads outside the editor: the music file dialog's filters,
// and the voices the help text and the tips recommend.
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QListView>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "media/music_from_file.h"
#include "script/bundled_texts.h"
#include "shell/shell_texts.h"
#include "shell/shell_test_util.h"

using namespace aurisona;
using namespace aurisona::shell;

class TextsTest : public QObject {
  Q_OBJECT

 private slots:
  // Each filter of the music file dialog reads once, and each shows the
  // files it names.
  void musicFileFilters() {
    QTemporaryDir dir;
    for (const char* name : {"a.mp3", "b.wav", "c.txt", "d.MP3"}) {
      QFile file(dir.filePath(QString::fromLatin1(name)));
      QVERIFY(file.open(QIODevice::WriteOnly));
    }
    std::unique_ptr<QFileDialog> dialog(media::CreateMusicFileDialog(nullptr));
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setDirectory(dir.path());
    dialog->show();
    auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    QVERIFY(types != nullptr);
    QStringList shown;
    for (int i = 0; i < types->count(); ++i) shown << types->itemText(i);
    QCOMPARE(shown, (QStringList{QStringLiteral("音乐文件(mp3,wav) (*.mp3 *.wav)"), QStringLiteral("mp3文件(*.mp3)"),
                                 QStringLiteral("wav文件(*.wav)")}));
    auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
    QVERIFY(view != nullptr);
    auto listed = [&] {
      QStringList names;
      const QModelIndex root = view->rootIndex();
      for (int row = 0; row < view->model()->rowCount(root); ++row) {
        names << view->model()->index(row, 0, root).data().toString();
      }
      names.sort();
      return names;
    };
    QTRY_COMPARE(listed(), (QStringList{"a.mp3", "b.wav", "d.MP3"}));
    dialog->selectNameFilter(shown[1]);
    QTRY_COMPARE(listed(), (QStringList{"a.mp3", "d.MP3"}));
    dialog->selectNameFilter(shown[2]);
    QTRY_COMPARE(listed(), QStringList{"b.wav"});
  }

  // The help text and the tips name the voices this program speaks with,
  // not voice products of another system.
  void recommendedVoicesExist() {
    QStringList texts{Q(BundledHelpText())};
    for (const char16_t* tip : text::kTips) texts << QString::fromUtf16(tip);
    bool named = false;
    for (const QString& t : texts) {
      for (const char* foreign : {"NeoSpeech", "IVONA", "Liang", "Julie", "Microsoft"}) {
        QVERIFY2(!t.contains(QLatin1String(foreign)), qPrintable(t));
      }
      named = named || (t.contains(QStringLiteral("eSpeak NG")) && t.contains(QStringLiteral("Flite")));
    }
    QVERIFY(named);
    QVERIFY(Q(BundledHelpText()).startsWith(QStringLiteral("澄聆听力合成系统帮助")));
  }
};

QTEST_MAIN(TextsTest)
#include "texts_test.moc"
