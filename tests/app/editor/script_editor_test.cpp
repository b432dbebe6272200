// The script editor's commands, dialogs, drops and double-clicks driven as a
// widget on the offscreen platform, and the editor against the in-memory
// document.
#include <QClipboard>
#include <QMimeData>
#include <QSignalSpy>
#include <random>

#include "app_test_util.h"
#include "app/editor/editor_commands.h"
#include "app/editor/editor_dialogs.h"
#include "core/script/memory_document.h"

using namespace aurisona;
using namespace aurisona::app_test;

namespace {

// The kinds and params of the marks in [start, end).
QList<QPair<int, int>> MarksIn(const ScriptDocument& doc, int start = 0, int end = -1) {
  QList<QPair<int, int>> marks;
  if (end < 0) end = doc.Length();
  for (int i = start; i < end; ++i) {
    if (const auto mark = doc.MarkAt(i)) marks.append({mark->kind, mark->param});
  }
  return marks;
}

// The commands its context menu offers enabled, its submenus' too.
QList<int> EnabledIds(ScriptEditor& editor) {
  std::unique_ptr<QMenu> menu(editor.CreateContextMenu(nullptr));
  QList<int> ids;
  std::function<void(QMenu*)> walk = [&](QMenu* m) {
    for (QAction* a : m->actions()) {
      if (a->menu()) walk(a->menu());
      else if (!a->isSeparator() && a->isEnabled()) ids << a->data().toInt();
    }
  };
  walk(menu.get());
  return ids;
}

}  // namespace

class ScriptEditorTest : public EditorSuite {
  Q_OBJECT

 private slots:
  // An insert command puts its mark at the caret or over the selection, the
  // caret behind it; a pause is remembered.
  void insertCommands() {
    const struct { int id, kind, param; } rows[] = {
        {kCmdFemale1, kMarkFemale1, 0}, {kCmdPromptTone, kMarkPromptTone, 0}, {kCmdPause03, kMarkPause, 3},
        {kCmdPause10, kMarkPause, 19}};
    for (const auto& [id, kind, param] : rows) {
      for (const bool select : {false, true}) {
        ScriptEditor& editor = Fresh(u"abcdef");
        QSignalSpy modified(&editor, &ScriptEditor::modifiedChanged);
        QSignalSpy pause(&editor, &ScriptEditor::lastPauseCodeChanged);
        editor.SetSelection(2, select ? 4 : 2);
        QVERIFY(editor.ExecuteCommand(id));
        QCOMPARE(Q(editor.Text(0, -1)), select ? QStringLiteral("ab\uFFFCef") : QStringLiteral("ab\uFFFCcdef"));
        QCOMPARE(MarksIn(editor), (QList<QPair<int, int>>{{kind, param}}));
        QCOMPARE(editor.Selection(), std::make_pair(3, 3));
        QCOMPARE(modified.count(), 1);
        QCOMPARE(pause.count(), kind == kMarkPause ? 1 : 0);
        QCOMPARE(editor.LastPauseCode(), kind == kMarkPause ? param : 0);
      }
    }
  }

  // A wrap needs a selection; both its marks go in one undo step, and a
  // cancelled count changes nothing (the count dialog's keys: keyboard suite).
  void wrapSelection() {
    ScriptEditor& editor = Fresh(u"one two three");
    for (const int id : {kCmdRepeat, kCmdAltRepeat, kCmdNoRead}) {
      QString text;
      AnswerMessageBox(QMessageBox::Ok, nullptr, &text);
      QVERIFY(!editor.ExecuteCommand(id));
      QVERIFY(!text.isEmpty());
    }
    QVERIFY(!editor.IsModified());
    editor.SetSelection(4, 7);
    OnNextModal<RepeatCountDialog>([](RepeatCountDialog* d) { d->accept(); });
    QVERIFY(editor.ExecuteCommand(kCmdAltRepeat));
    editor.SetSelection(12, 15);
    QVERIFY(editor.ExecuteCommand(kCmdNoRead));
    QCOMPARE(editor.TaggedText(0, -1), u"one <重复2:2>two<结束2> th<禁读>ree<结束>");
    editor.SetSelection(0, 3);
    OnNextModal<RepeatCountDialog>([](RepeatCountDialog* d) { d->reject(); });
    QVERIFY(!editor.ExecuteCommand(kCmdRepeat));
    QCOMPARE(editor.Length(), 17);
    editor.undo();
    QCOMPARE(editor.TaggedText(0, -1), u"one <重复2:2>two<结束2> three");
  }

  // Typed pauses: tenths below a second, then whole seconds up to 30 (the
  // dialog's Enter and its refusal: keyboard suite).
  void pauseEntry() {
    const std::pair<const char*, int> rows[] = {{"0.35", 3}, {"0.1秒", 1}, {"0.9", 9},  {"0.0", 0}, {"0.", 0},
                                                {"1", 10},   {"5.9", 14},  {"30秒", 39}, {"31", 0},  {"0", 0},
                                                {"-3", 0},   {"abc", 0},   {"", 0}};
    for (const auto& [entry, code] : rows) QCOMPARE(ParsePauseEntry(QString::fromUtf8(entry)).value_or(0), code);
  }

  void dragBehindItself() {
    ScriptEditor& editor = Fresh(u"ab<男>cd|efgh");
    editor.SetSelection(1, 4);  // "b", the mark, "c"
    QVERIFY(editor.MoveSelectionTo(8));
    QCOMPARE(editor.TaggedText(0, -1), u"ad|efb<男>cgh");
    QCOMPARE(editor.Selection(), std::make_pair(5, 8));
    QVERIFY(editor.IsModified());
    // Before itself, and onto itself (nothing moves).
    QVERIFY(editor.MoveSelectionTo(0));
    QCOMPARE(editor.TaggedText(0, -1), u"b<男>cad|efgh");
    QCOMPARE(editor.Selection(), std::make_pair(0, 3));
    QVERIFY(!editor.MoveSelectionTo(2));
    QCOMPARE(editor.TaggedText(0, -1), u"b<男>cad|efgh");
    // A text drop from elsewhere is read as tagged text at the drop point.
    QMimeData mime;
    mime.setText(QStringLiteral("<女>z"));
    const QPoint point = editor.cursorRect(editor.textCursor()).center();
    QDragEnterEvent enter(point, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor.viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(point, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor.viewport(), &drop);
    QVERIFY(editor.TaggedText(0, -1).find(u"<女>z") != std::u16string::npos);
    // Files are left to the main window.
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.lsn"))});
    files.setText(QStringLiteral("/tmp/a.lsn"));
    const int before = editor.Length();
    QDragEnterEvent fileEnter(point, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor.viewport(), &fileEnter);
    QVERIFY(!fileEnter.isAccepted());
    QDropEvent fileDrop(point, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor.viewport(), &fileDrop);
    QCOMPARE(editor.Length(), before);
  }

  void doubleClickEdits() {
    ScriptEditor& editor = Fresh(u"<男>a<重复1:3>b<结束1><暂停1秒><音乐:b.mp3><提示音>");
    int askedCount = 0, askedMusic = -5;
    editor.hooks().askRepeatCount = [&](int current) { askedCount = current; return std::optional<int>(7); };
    editor.hooks().askPauseCode = [](int) { return std::optional<int>(5); };
    editor.hooks().chooseMusic = [&](int current) { askedMusic = current; return std::optional<int>(0); };
    QSignalSpy pause(&editor, &ScriptEditor::lastPauseCodeChanged);
    QTest::mouseDClick(editor.viewport(), Qt::LeftButton, {}, MarkCentre(editor, 2));
    QCOMPARE(askedCount, 3);
    QCOMPARE(editor.MarkAt(2)->param, 7);
    QVERIFY(editor.IsModified());
    QTest::mouseDClick(editor.viewport(), Qt::LeftButton, {}, MarkCentre(editor, 5));
    QCOMPARE(editor.MarkAt(5)->param, 5);
    QCOMPARE(pause.count(), 1);
    QTest::mouseDClick(editor.viewport(), Qt::LeftButton, {}, MarkCentre(editor, 6));
    QCOMPARE(askedMusic, 1);
    QCOMPARE(editor.MarkAt(6)->param, 0);
    // A voice mark offers the voice menu; the choice replaces the mark.
    QTimer::singleShot(50, [] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      QVERIFY(menu);
      menu->setActiveAction(menu->actions().at(3));  // 男声1 (after the separator)
      QTest::keyClick(menu, Qt::Key_Return);
    });
    QTest::mouseDClick(editor.viewport(), Qt::LeftButton, {}, MarkCentre(editor, 0));
    QCOMPARE(editor.MarkAt(0)->kind, int(kMarkMale1));
    // Text and marks without an editor are left alone; no word gets selected.
    editor.SetSelection(1, 1);
    QTest::mouseDClick(editor.viewport(), Qt::LeftButton, {}, MarkCentre(editor, 1));
    QVERIFY(!editor.textCursor().hasSelection());
    QCOMPARE(editor.TaggedText(0, -1), u"<男1>a<重复1:7>b<结束1><暂停0.5秒><音乐:A.MP3><提示音>");
  }

  void readOnlyRefusesEdits() {
    ScriptEditor& editor = Fresh(u"ab<男>cd");
    QGuiApplication::clipboard()->setText(QStringLiteral("<女>zz"));
    editor.hooks().askPauseCode = [](int) { return std::optional<int>(5); };
    editor.hooks().askRepeatCount = [](int) { return std::optional<int>(3); };
    editor.SetReadOnlyPreview(true);
    editor.SetSelection(1, 3);
    for (auto c = EditorCommandsBegin(); c != EditorCommandsEnd(); ++c) {
      if (c->id == kCmdCopy || c->id == kCmdSelectAll) continue;
      QVERIFY2(!editor.IsCommandEnabled(c->id), qPrintable(QString::number(c->id)));
      QVERIFY2(!editor.ExecuteCommand(c->id), qPrintable(QString::number(c->id)));
    }
    QVERIFY(editor.ExecuteCommand(kCmdCopy));
    editor.setFocus();
    QTest::keyClicks(&editor, "xyz");
    QTest::keyClick(&editor, Qt::Key_Backspace);
    QTest::keyClick(&editor, Qt::Key_V, Qt::ControlModifier);
    QVERIFY(!editor.MoveSelectionTo(0));
    QVERIFY(!editor.EditMarkAt(2, {}));
    QCOMPARE(editor.TaggedText(0, -1), u"ab<男>cd");
    QVERIFY(!editor.IsModified());
    // The context menu greys everything that would change the document.
    QCOMPARE(EnabledIds(editor), (QList<int>{kCmdCopy, kCmdSelectAll}));
    editor.SetReadOnlyPreview(false);
    QVERIFY(editor.ExecuteCommand(kCmdPause05));
  }

  void contextMenuGreyRules() {
    ScriptEditor& editor = Fresh(u"");
    QGuiApplication::clipboard()->clear();
    auto enabledIds = [&] {
      QList<int> ids = EnabledIds(editor);
      ids.removeIf([](int id) { return id >= kFirstInsertCommand; });
      return ids;
    };
    QCOMPARE(enabledIds(), QList<int>{});
    QTest::keyClicks(&editor, "abc");
    QVERIFY(editor.IsModified());
    QCOMPARE(enabledIds(), (QList<int>{kCmdUndo, kCmdSelectAll}));
    editor.SetSelection(0, 1);
    QGuiApplication::clipboard()->setText(QStringLiteral("q"));
    QCOMPARE(enabledIds(), (QList<int>{kCmdUndo, kCmdCopy, kCmdCut, kCmdDelete, kCmdPaste, kCmdSelectAll}));
    editor.SetSelection(0, -1);
    QVERIFY(!enabledIds().contains(kCmdSelectAll));
    QVERIFY(editor.ExecuteCommand(kCmdDelete));
    QCOMPARE(editor.Length(), 0);
  }

  // The editor answers every document operation as the in-memory document does.
  void matchesMemoryDocument_data() {
    QTest::addColumn<unsigned>("seed");
    for (unsigned seed = 1; seed <= 6; ++seed) QTest::addRow("seed %u", seed) << seed;
  }
  void matchesMemoryDocument() {
    QFETCH(unsigned, seed);
    ScriptEditor& editor = Fresh();
    MemoryScriptDocument memory;
    std::mt19937 random(seed);
    const std::u16string alphabet = u"ab中 .\r\n\uFFFC\u2028";
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    for (int step = 0; step < 250; ++step) {
      const int op = pick(10);
      if (op < 3) {
        const int length = memory.Length() + 3;
        const int a = pick(length + 1) - 1, b = pick(length + 2) - 2;
        memory.SetSelection(a, b);
        editor.SetSelection(a, b);
      } else if (op < 7) {
        std::u16string text;
        for (int n = pick(7); n > 0; --n) text.push_back(alphabet[size_t(pick(int(alphabet.size())))]);
        const bool undoable = pick(2);
        memory.ReplaceSelection(text, undoable);
        editor.ReplaceSelection(text, undoable);
      } else if (op < 9) {
        const MarkRecord record{pick(13), pick(40)};
        memory.InsertMark(record, true);
        editor.InsertMark(record, true);
      } else if (pick(4) == 0) {
        memory.ClearMarks();
        editor.ClearMarks();
      }
      QCOMPARE(editor.Length(), memory.Length());
      QCOMPARE(editor.Selection(), memory.Selection());
      if (step % 10 == 0 || step == 249) {
        QCOMPARE(Q(editor.Text(0, -1)), Q(memory.Text(0, -1)));
        QCOMPARE(Q(editor.Text(2, 9)), Q(memory.Text(2, 9)));
        for (int i = -1; i <= memory.Length(); ++i) QCOMPARE(editor.MarkAt(i), memory.MarkAt(i));
        QCOMPARE(editor.TaggedText(0, -1), TaggedTextWriter(memory, media_, 0, -1));
      }
    }
  }
};

QTEST_MAIN(ScriptEditorTest)
#include "script_editor_test.moc"
