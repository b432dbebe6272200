// The music dialog, the play-time dialog and music from a file, on the
// offscreen platform; clips play through the test sound server.
#include <QCheckBox>
#include <QFileDialog>
#include <QListView>
#include <QLineEdit>
#include <QTableWidget>

#include "app_test_util.h"
#include "app/media/media_texts.h"
#include "app/editor/editor_commands.h"
#include "app/media/media_hooks.h"
#include "core/media/media_library.h"
#include "app/media/music_dialog.h"
#include "app/media/music_from_file.h"
#include "app/media/play_time_dialog.h"
#include "core/script/marks.h"

using namespace aurisona;
using namespace aurisona::media;
using namespace aurisona::app_test;
using namespace aurisona::media_text;

class MusicDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void PlayTimesShownStoredAndWritten();
  void DeletingKeepsNumbersAndMarksOnTheirFiles();
  void MusicFromFileCopiesAsksAndReuses();
  void MusicFileFilters();
  void PlaysAndReportsWhatCannotPlay();
};

namespace {

// Three clips a.wav, b.wav, c.wav; a.wav has 20 seconds in setup.ini.
struct Library {
  DataDir data;
  std::unique_ptr<MediaLibrary> media;
  Library() {
    for (const char* name : {"a.wav", "b.wav", "c.wav"}) {
      WriteFile(data.Music(QString::fromLatin1(name)), WavBytes(Tone(440, 0.3, 8000)));
    }
    WriteFile(data.Ini(), QByteArray("[音乐播放时间]\na.wav=20\n"));
    media = std::make_unique<MediaLibrary>(data.dir);
    media->Build();
    std::sort(media->lists().music.begin(), media->lists().music.end());
    media->lists().playTimes.clear();
    for (const auto& name : media->lists().music) {
      media->lists().playTimes.push_back(name == u"a.wav" ? 20 : 0);
    }
  }
};

QString Cell(QTableWidget* list, int row, int column) { return list->item(row, column)->text(); }

// Runs the play-time dialog that shows up next: ticks or clears the box and
// types `text` when ticked.
void AnswerPlayTime(bool tick, const QString& text) {
  OnNextModal<PlayTimeDialog>([=](PlayTimeDialog* dialog) {
    dialog->CheckBox()->setChecked(tick);
    if (tick) dialog->Edit()->setText(text);
    dialog->accept();
  });
}

}  // namespace

void MusicDialogTest::PlayTimesShownStoredAndWritten() {
  Library lib;
  MusicDialog dialog(*lib.media, 7, 0, nullptr);
  QCOMPARE(dialog.selection(), 0);  // outside the list: the first clip
  QTableWidget* list = dialog.List();
  QCOMPARE(list->rowCount(), 3);
  QCOMPARE(Cell(list, 0, 2), QStringLiteral("20秒"));
  QCOMPARE(Cell(list, 1, 2), QStringLiteral("全部"));
  dialog.show();

  // The dialog opens from the stored time: ticked, 20.
  bool checked = false;
  QString shown;
  OnNextModal<PlayTimeDialog>([&](PlayTimeDialog* d) {
    checked = d->CheckBox()->isChecked();
    shown = d->Edit()->text();
    d->reject();
  });
  dialog.EditPlayTime(0);
  QVERIFY(checked);
  QCOMPARE(shown, QStringLiteral("20"));
  QCOMPARE(lib.media->lists().playTimes[0], 20);

  // A time, no tick, and a tick with 0 (the whole clip too).
  const struct { int row; bool tick; const char* text; int stored; const char* shown; } edits[] = {
      {1, true, "15", 15, "15秒"}, {1, false, "", 0, "全部"}, {0, true, "0", 0, "全部"}};
  for (const auto& e : edits) {
    AnswerPlayTime(e.tick, QString::fromUtf8(e.text));
    dialog.EditPlayTime(e.row);
    QCOMPARE(lib.media->lists().playTimes[size_t(e.row)], e.stored);
    QCOMPARE(Cell(list, e.row, 2), QString::fromUtf8(e.shown));
  }
}

void MusicDialogTest::DeletingKeepsNumbersAndMarksOnTheirFiles() {
  Library lib;
  ScriptEditor editor;
  editor.SetMediaLists(&lib.media->lists());
  InstallMediaHooks(editor, *lib.media, nullptr, [] { return 0; });
  editor.ReadTaggedText(u"x<音乐:a.wav>y<音乐:b.wav>z<音乐:c.wav>", false, false);
  editor.FlushPendingEdits();

  QStringList numbers;
  OnNextModal<MusicDialog>([&](MusicDialog* dialog) {
    dialog->List()->selectRow(1);
    QCOMPARE(dialog->selection(), 1);
    AnswerMessageBox(QMessageBox::No);
    dialog->DeleteClicked();
    QCOMPARE(dialog->List()->rowCount(), 3);  // No keeps everything
    QString title;
    AnswerMessageBox(QMessageBox::Yes, &title);
    dialog->DeleteClicked();
    QCOMPARE(title, QStringLiteral("b.wav"));
    for (int row = 0; row < dialog->List()->rowCount(); ++row) numbers << Cell(dialog->List(), row, 0);
    dialog->List()->selectRow(1);
    dialog->Button(kInsertId)->click();
  });
  editor.SetSelection(editor.Length(), editor.Length());
  QVERIFY(editor.ExecuteCommand(kCmdMusicFromList));
  QCOMPARE(numbers, (QStringList{QStringLiteral("1"), QStringLiteral("3")}));
  QVERIFY(!QFile::exists(lib.data.Music(QStringLiteral("b.wav"))));
  QVERIFY((lib.media->lists().music == std::vector<std::u16string>{u"a.wav", u"c.wav"}));
  QVERIFY((lib.media->lists().playTimes == std::vector<int32_t>{20, 0}));
  // The marks on a.wav and c.wav still name them; the one on the deleted clip
  // falls back to the first clip, and the new mark is on c.wav.
  QCOMPARE(QString::fromStdU16String(editor.TaggedText(0, -1)),
           QStringLiteral("x<音乐:a.wav>y<音乐:a.wav>z<音乐:c.wav><音乐:c.wav>"));
}

void MusicDialogTest::MusicFromFileCopiesAsksAndReuses() {
  Library lib;
  QTemporaryDir elsewhere;
  const QString source = elsewhere.path() + QStringLiteral("/new clip.wav");
  WriteFile(source, QByteArray("first"));
  auto answer = [](int value) { return [value](int) -> std::optional<int> { return value; }; };

  QVERIFY(AddMusicFromFile(*lib.media, source, nullptr, answer(15)) == std::optional<int>(3));
  QCOMPARE(ReadFile(lib.data.Music(QStringLiteral("new clip.wav"))), QByteArray("first"));
  QCOMPARE(lib.media->lists().playTimes.back(), 15);

  // The same name again: the overwrite question; No changes nothing.
  WriteFile(source, QByteArray("second"));
  QString title;
  AnswerMessageBox(QMessageBox::No, &title);
  QVERIFY(AddMusicFromFile(*lib.media, source, nullptr, answer(7)) == std::nullopt);
  QCOMPARE(title, QStringLiteral("new clip.wav"));
  QCOMPARE(ReadFile(lib.data.Music(QStringLiteral("new clip.wav"))), QByteArray("first"));
  QCOMPARE(lib.media->lists().playTimes.back(), 15);

  // Yes replaces the clip and reuses its entry; a cancelled play time is 0.
  AnswerMessageBox(QMessageBox::Yes);
  QVERIFY(AddMusicFromFile(*lib.media, source, nullptr, [](int) { return std::optional<int>(); }) ==
          std::optional<int>(3));
  QCOMPARE(ReadFile(lib.data.Music(QStringLiteral("new clip.wav"))), QByteArray("second"));
  QCOMPARE(lib.media->lists().music.size(), size_t(4));
  QCOMPARE(lib.media->lists().playTimes.back(), 0);

  // The clip inside the Music folder itself is not copied onto itself.
  QVERIFY(AddMusicFromFile(*lib.media, lib.data.Music(QStringLiteral("a.wav")), nullptr, answer(3)) ==
          std::optional<int>(0));
  QCOMPARE(ReadFile(lib.data.Music(QStringLiteral("a.wav"))).size(), 44 + 2 * 6615);

  // A source that cannot be read: the question, then the copy error.
  QString error;
  AnswerMessageBox(QMessageBox::Yes, nullptr, nullptr, QStringLiteral("Music文件夹中已经存在这个文件，是否要覆盖它?"));
  AnswerMessageBox(QMessageBox::Ok, nullptr, &error, QStringLiteral("复制失败,可能文件正在使用中,请检查后重试!"));
  QVERIFY(AddMusicFromFile(*lib.media, elsewhere.path() + QStringLiteral("/a.wav"), nullptr, answer(1)) ==
          std::nullopt);
  QCOMPARE(error, QStringLiteral("复制失败,可能文件正在使用中,请检查后重试!"));
  QCOMPARE(ReadFile(lib.data.Music(QStringLiteral("a.wav"))).size(), 44 + 2 * 6615);
}

// The music file dialog's three filters (each read once) show mp3 and wav
// files in any case, and nothing else.
void MusicDialogTest::MusicFileFilters() {
  QTemporaryDir dir;
  for (const char* name : {"a.mp3", "b.wav", "c.txt", "d.MP3"}) QVERIFY(WriteFile(dir.filePath(name), {}));
  std::unique_ptr<QFileDialog> dialog(media::CreateMusicFileDialog(nullptr));
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setDirectory(dir.path());
  dialog->show();
  QCOMPARE(dialog->nameFilters().size(), 3);
  auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
  QVERIFY(view != nullptr);
  auto listed = [&] {
    QStringList names;
    for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row) {
      names << view->model()->index(row, 0, view->rootIndex()).data().toString();
    }
    names.sort();
    return names;
  };
  QTRY_COMPARE(listed(), (QStringList{"a.mp3", "b.wav", "d.MP3"}));
}

void MusicDialogTest::PlaysAndReportsWhatCannotPlay() {
  Library lib;
  MusicDialog dialog(*lib.media, 0, 1, nullptr);
  dialog.show();
  QPushButton* play = dialog.Button(kPlayId);
  dialog.PlayClicked();
  QVERIFY(dialog.IsPlaying());
  QCOMPARE(play->text(), QStringLiteral("停止(&S)"));
  // Another row while playing plays that clip.
  dialog.List()->selectRow(2);
  QCOMPARE(dialog.selection(), 2);
  QVERIFY(dialog.IsPlaying());
  QTRY_COMPARE_WITH_TIMEOUT(play->text(), QStringLiteral("试播(&P)"), 5000);
  QVERIFY(!dialog.IsPlaying());

  // A clip that is not a sound file: reported, and the button is back at once.
  WriteFile(lib.data.Music(QStringLiteral("b.wav")), QByteArray("not a sound file"));
  dialog.List()->selectRow(1);
  QString text;
  AnswerMessageBox(QMessageBox::Ok, nullptr, &text);
  dialog.PlayClicked();
  QCOMPARE(text, QStringLiteral("无法播放这个文件，它可能已被删除或者格式不正确!"));
  QCOMPARE(play->text(), QStringLiteral("试播(&P)"));
  QVERIFY(!dialog.IsPlaying());
}

QTEST_MAIN(MusicDialogTest)
#include "music_dialog_test.moc"
