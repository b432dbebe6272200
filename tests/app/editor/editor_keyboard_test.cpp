// The script editor's marks under the keyboard and the mouse: real key,
// input-method and mouse events on the widget, over a script that holds every
// mark kind, and after each path the document's tagged text.
#include <QClipboard>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTextBlock>

#include "app_test_util.h"
#include "app/editor/editor_commands.h"
#include "app/editor/editor_dialogs.h"

using namespace aurisona;
using namespace aurisona::app_test;

namespace {

// Tagged text as the clipboard holds it: lines end in LF.
QString Lf(std::u16string_view s) { return Q(s).replace(u'\r', u'\n'); }

// Every mark kind, on four lines. Positions (one per mark, CR between lines):
//   0 <禁读>  1-2 标题  3 <结束>  4 CR
//   5 <男>  6-11 "Hello "  12 <女>  13-17 "there"  18 <暂停0.5秒>  19 CR
//   20 <重复1:3>  21 <男1>  22-24 "one"  25 <结束1>  26 " "  27 <重复2:2>  28 <女1>
//   29-31 "two"  32 <结束2>  33 CR
//   34 <提示音>  35 <音乐:b.mp3>  36 <录音:me.wav>  37 <暂停2秒>  38-40 "end"
const std::u16string kLine1 = u"<禁读>标题<结束>";
const std::u16string kLine2 = u"<男>Hello <女>there<暂停0.5秒>";
const std::u16string kLine3 = u"<重复1:3><男1>one<结束1> <重复2:2><女1>two<结束2>";
const std::u16string kLine4 = u"<提示音><音乐:b.mp3><录音:me.wav><暂停2秒>end";
const std::u16string kScript = kLine1 + u"\r" + kLine2 + u"\r" + kLine3 + u"\r" + kLine4;
constexpr int kScriptLength = 41;
constexpr int kScriptMarks = 15;

struct Key {
  Qt::Key key;
  Qt::KeyboardModifiers modifiers = Qt::NoModifier;
};

int CountMarks(const ScriptEditor& editor) {
  int marks = 0;
  for (int i = 0; i < editor.Length(); ++i) marks += editor.MarkAt(i).has_value() ? 1 : 0;
  return marks;
}

// Characters of [start, end) that carry a mark's format but are no mark.
int StrayMarkFormats(const ScriptEditor& editor, int start, int end) {
  int stray = 0;
  for (QTextBlock block = editor.document()->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      const QTextCharFormat format = fragment.charFormat();
      if (format.objectType() != kMarkObjectType && !format.hasProperty(kMarkRecordProperty)) continue;
      for (int i = fragment.position(); i < fragment.position() + fragment.length(); ++i) {
        if (i >= start && i < end && !editor.MarkAt(i)) ++stray;
      }
    }
  }
  return stray;
}

QString Clipboard() { return QGuiApplication::clipboard()->text(); }

}  // namespace

class EditorKeyboardTest : public EditorSuite {
  Q_OBJECT

 private:
  ScriptEditor& Fresh(std::u16string_view tagged = kScript) {
    QGuiApplication::clipboard()->setText(QStringLiteral("clipboard before"));
    return EditorSuite::Fresh(tagged);
  }

  static void Press(ScriptEditor& editor, const QList<Key>& keys) {
    for (const Key& k : keys) QTest::keyClick(&editor, k.key, k.modifiers);
  }

  static std::u16string Tagged(const ScriptEditor& editor) { return editor.TaggedText(0, -1); }

 private slots:
  // Moving and selecting never changes the document, and a copy of the
  // selection is its tagged text.
  void moveSelectCopy() {
    const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
    const Qt::KeyboardModifiers ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    const Key ctrlA{Qt::Key_A, Qt::ControlModifier};
    const struct {
      const char* name;
      int caret;
      QList<Key> keys;
      QString copied;  // empty: nothing selected
    } rows[] = {
        {"Shift+End over a line of marks", 5, {{Qt::Key_End, shift}}, Q(kLine2)},
        {"Shift+Right onto the line break", 17, QList<Key>(3, {Qt::Key_Right, shift}), QStringLiteral("e<暂停0.5秒>\n")},
        {"Shift+Left over four marks", 38, QList<Key>(4, {Qt::Key_Left, shift}),
         QStringLiteral("<提示音><音乐:b.mp3><录音:me.wav><暂停2秒>")},
        {"Shift+Right then back", 20, {{Qt::Key_Right, shift}, {Qt::Key_Right, shift}, {Qt::Key_Left, shift}},
         QStringLiteral("<重复1:3>")},
        {"Shift+Down", 0, {{Qt::Key_Down, shift}}, Lf(kLine1 + u"\r")},
        {"Ctrl+Shift+End", 0, {{Qt::Key_End, ctrlShift}}, Lf(kScript)},
        {"Ctrl+Shift+Right, a word and a mark", 21, {{Qt::Key_Right, ctrlShift}}, {}},
        {"Ctrl+A", 12, {ctrlA}, Lf(kScript)},
        // Moving without Shift, from a selection too (a selection that is given
        // up must not take its marks with it).
        {"arrows", 5, {{Qt::Key_Right}, {Qt::Key_Right}, {Qt::Key_Down}, {Qt::Key_Left}, {Qt::Key_Up}}, {}},
        {"Home End PgUp PgDn", 12, {{Qt::Key_Home}, {Qt::Key_End}, {Qt::Key_PageDown}, {Qt::Key_PageUp}}, {}},
        {"select, then arrow", 5, {{Qt::Key_End, shift}, {Qt::Key_Right}, {Qt::Key_Left, shift}, {Qt::Key_Left}}, {}},
    };
    for (const auto& [name, caret, keys, copied] : rows) {
      qInfo("%s", name);
      MoveSelectCopy(caret, keys, copied);
      if (QTest::currentTestFailed()) return;
    }
  }

 private:
  void MoveSelectCopy(int caret, const QList<Key>& keys, const QString& copied) {
    ScriptEditor& editor = Fresh();
    editor.SetSelection(caret, caret);
    Press(editor, keys);
    const bool selected = editor.textCursor().hasSelection();
    QCOMPARE(Tagged(editor), kScript);
    if (!copied.isEmpty() || selected) {
      // Ctrl+C: the tagged text of the selection, and the document untouched.
      QTest::keyClick(&editor, Qt::Key_C, Qt::ControlModifier);
      const auto [start, end] = editor.Selection();
      if (!copied.isEmpty()) QCOMPARE(Clipboard(), copied);
      QCOMPARE(Clipboard(), Lf(editor.TaggedText(start, end)));
      QVERIFY(!QGuiApplication::clipboard()->mimeData()->hasHtml());
      // Leaving the selection with a key keeps it whole too.
      QTest::keyClick(&editor, Qt::Key_Right);
    } else {
      QTest::keyClick(&editor, Qt::Key_C, Qt::ControlModifier);
      QCOMPARE(Clipboard(), QStringLiteral("clipboard before"));
    }
    QCOMPARE(Tagged(editor), kScript);
    QCOMPARE(CountMarks(editor), kScriptMarks);
    QVERIFY(!editor.IsModified());
    QVERIFY(!editor.document()->isUndoAvailable());
  }

 private slots:
  // Cut and paste by the keyboard give back the same marks; undo and redo
  // take the document through the same states.
  void cutPasteUndoRedo() {
    ScriptEditor& editor = Fresh();
    // Line 3 with Ctrl+X, pasted at the end with Ctrl+V.
    editor.SetSelection(20, 20);
    Press(editor, {{Qt::Key_End, Qt::ShiftModifier}, {Qt::Key_X, Qt::ControlModifier}});
    QCOMPARE(Clipboard(), Q(kLine3));
    const std::u16string cut = kLine1 + u"\r" + kLine2 + u"\r\r" + kLine4;
    QCOMPARE(Tagged(editor), cut);
    QVERIFY(editor.IsModified());
    Press(editor, {{Qt::Key_End, Qt::ControlModifier}, {Qt::Key_V, Qt::ControlModifier}});
    const std::u16string pasted = cut + kLine3;
    QCOMPARE(Tagged(editor), pasted);
    QCOMPARE(CountMarks(editor), kScriptMarks);  // the tags come from the records of real marks
    // Line 4's marks with Shift+Del, back with Shift+Ins at the start.
    editor.SetSelection(21, 21);
    Press(editor, {{Qt::Key_End, Qt::ShiftModifier}, {Qt::Key_Delete, Qt::ShiftModifier}});
    QCOMPARE(Clipboard(), Q(kLine4 + kLine3));
    Press(editor, {{Qt::Key_Home, Qt::ControlModifier}, {Qt::Key_Insert, Qt::ShiftModifier}});
    const std::u16string moved = kLine4 + kLine3 + kLine1 + u"\r" + kLine2 + u"\r\r";
    QCOMPARE(Tagged(editor), moved);
    // Undo each step with Ctrl+Z, then redo them all.
    const std::u16string states[] = {moved, kLine1 + u"\r" + kLine2 + u"\r\r", pasted, cut, kScript};
    for (size_t i = 1; i < std::size(states); ++i) {
      QTest::keySequence(&editor, QKeySequence::Undo);
      QCOMPARE(Tagged(editor), states[i]);
    }
    QVERIFY(!editor.document()->isUndoAvailable());
    for (size_t i = std::size(states) - 1; i-- > 0;) {
      QTest::keySequence(&editor, QKeySequence::Redo);
      QCOMPARE(Tagged(editor), states[i]);
    }
    QCOMPARE(CountMarks(editor), kScriptMarks);
  }

  // Typing over a selection replaces it (its marks too) with plain text, in
  // a way that undo takes back.
  void typingOverSelection() {
    ScriptEditor& editor = Fresh();
    editor.SetSelection(19, 19);
    Press(editor, {{Qt::Key_Home, Qt::ShiftModifier}});
    QTest::keyClicks(&editor, "abc");
    QCOMPARE(Tagged(editor), kLine1 + u"\rabc\r" + kLine3 + u"\r" + kLine4);
    QCOMPARE(StrayMarkFormats(editor, 0, editor.Length()), 0);
    QVERIFY(editor.IsModified());
    for (int i = 0; i < 3 && Tagged(editor) != kScript; ++i) QTest::keySequence(&editor, QKeySequence::Undo);
    QCOMPARE(Tagged(editor), kScript);
    // A selection that ends in a mark, replaced by Return.
    editor.SetSelection(34, 34);
    Press(editor, {{Qt::Key_Right, Qt::ShiftModifier}, {Qt::Key_Right, Qt::ShiftModifier}, {Qt::Key_Return}});
    QTest::keyClicks(&editor, "x");
    QCOMPARE(Tagged(editor), kLine1 + u"\r" + kLine2 + u"\r" + kLine3 + u"\r\rx<录音:me.wav><暂停2秒>end");
    QCOMPARE(StrayMarkFormats(editor, 0, editor.Length()), 0);
  }

  // Right after a mark, before one at the start of a line, and on the line a
  // Return opens behind one, typed text is plain text.
  void typingNextToMarks() {
    ScriptEditor& editor = Fresh();
    editor.SetSelection(6, 6);  // behind <男>
    QTest::keyClicks(&editor, "X");
    editor.SetSelection(21, 21);  // first on line 3, before <重复1:3>
    QTest::keyClicks(&editor, "Y");
    editor.SetSelection(40, 40);  // behind <暂停2秒>
    QTest::keyClick(&editor, Qt::Key_Return);
    QTest::keyClicks(&editor, "Z");
    QCOMPARE(Tagged(editor), kLine1 + u"\r<男>XHello <女>there<暂停0.5秒>\rY" + kLine3 + u"\r" +
                                 u"<提示音><音乐:b.mp3><录音:me.wav><暂停2秒>\rZend");
    QCOMPARE(StrayMarkFormats(editor, 0, editor.Length()), 0);
    QCOMPARE(CountMarks(editor), kScriptMarks);
  }

  // Delete and Backspace take one mark, never a neighbour; undo brings it back
  // with its record.
  void deleteAndBackspaceByMarks() {
    ScriptEditor& editor = Fresh();
    editor.SetSelection(13, 13);
    QTest::keyClick(&editor, Qt::Key_Backspace);  // <女>
    QCOMPARE(Tagged(editor), kLine1 + u"\r<男>Hello there<暂停0.5秒>\r" + kLine3 + u"\r" + kLine4);
    editor.SetSelection(17, 17);
    QTest::keyClick(&editor, Qt::Key_Delete);  // <暂停0.5秒>
    QCOMPARE(Tagged(editor), kLine1 + u"\r<男>Hello there\r" + kLine3 + u"\r" + kLine4);
    editor.SetSelection(32, 32);  // start of line 4: joins the lines
    QTest::keyClick(&editor, Qt::Key_Backspace);
    QCOMPARE(Tagged(editor), kLine1 + u"\r<男>Hello there\r" + kLine3 + kLine4);
    editor.SetSelection(18, 18);  // <重复1:3>, <男1> and "one" with Shift+Right, then Delete
    Press(editor, QList<Key>(5, {Qt::Key_Right, Qt::ShiftModifier}) << Key{Qt::Key_Delete});
    QCOMPARE(Tagged(editor), kLine1 + u"\r<男>Hello there\r<结束1> <重复2:2><女1>two<结束2>" + kLine4);
    QVERIFY(editor.IsModified());
    for (int i = 0; i < 4; ++i) QTest::keyClick(&editor, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Tagged(editor), kScript);
    QCOMPARE(CountMarks(editor), kScriptMarks);
  }

  // Text from an input method: committed over a selection and behind a mark,
  // with a pre-edit stage before it.
  void inputMethodText() {
    ScriptEditor& editor = Fresh();
    editor.SetSelection(20, 20);
    Press(editor, {{Qt::Key_End, Qt::ShiftModifier}});
    QInputMethodEvent preedit(QStringLiteral("ni"), {});
    QApplication::sendEvent(&editor, &preedit);
    QCOMPARE(Tagged(editor), kLine1 + u"\r" + kLine2 + u"\r\r" + kLine4);  // the selection gives way
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("你好"));
    QApplication::sendEvent(&editor, &commit);
    QCOMPARE(Tagged(editor), kLine1 + u"\r" + kLine2 + u"\r你好\r" + kLine4);
    QVERIFY(editor.IsModified());
    editor.SetSelection(25, 25);  // behind <音乐:b.mp3>
    QInputMethodEvent behind;
    behind.setCommitString(QStringLiteral("啊"));
    QApplication::sendEvent(&editor, &behind);
    QCOMPARE(Tagged(editor), kLine1 + u"\r" + kLine2 + u"\r你好\r<提示音><音乐:b.mp3>啊<录音:me.wav><暂停2秒>end");
    QCOMPARE(StrayMarkFormats(editor, 0, editor.Length()), 0);
    // Undo takes back the text and the selection it replaced.
    for (int i = 0; i < 3; ++i) QTest::keySequence(&editor, QKeySequence::Undo);
    QCOMPARE(Tagged(editor), kScript);
  }

  // The pause and repeat dialogs take a typed number with one Enter.
  void dialogsTakeOneEnter() {
    ScriptEditor& editor = Fresh(u"ab");
    editor.SetSelection(1, 1);
    int presses = 0;
    OnNextModal<PauseTimeDialog>([&](PauseTimeDialog* d) {
      QTest::keyClicks(d->entry(), "5");
      QTest::keyClick(d->entry(), Qt::Key_Return);
      ++presses;
      if (d->isVisible()) {  // the fault: a second Enter was needed
        QTest::keyClick(d->entry(), Qt::Key_Return);
        ++presses;
      }
    });
    QVERIFY(editor.ExecuteCommand(kCmdOtherPause));
    QCOMPARE(presses, 1);
    QCOMPARE(Tagged(editor), u"a<暂停5秒>b");
    // A count of 1 is raised to 2 (never completed to "10").
    editor.SetSelection(0, 3);
    OnNextModal<RepeatCountDialog>([&](RepeatCountDialog* d) {
      d->entry()->lineEdit()->selectAll();
      QTest::keyClicks(d->entry(), "1");
      QTest::keyClick(d->entry(), Qt::Key_Return);
      if (d->isVisible()) d->reject();
    });
    QVERIFY(editor.ExecuteCommand(kCmdRepeat));
    QCOMPARE(Tagged(editor), u"<重复1:2>a<暂停5秒>b<结束1>");
    // A wrong pause with Enter keeps the dialog and says why.
    OnNextModal<PauseTimeDialog>([&](PauseTimeDialog* d) {
      OnNextModal<QMessageBox>([](QMessageBox* box) { box->accept(); });
      QTest::keyClicks(d->entry(), "31");
      QTest::keyClick(d->entry(), Qt::Key_Return);
      QVERIFY(d->isVisible());
      QTest::keyClick(d, Qt::Key_Escape);
    });
    QVERIFY(!editor.ExecuteCommand(kCmdOtherPause));
  }

  // Pasted text with stray U+FFFC characters: the tags in it become marks,
  // and every mark already there stays.
  void pasteWithStrayPlaceholders() {
    ScriptEditor& editor = Fresh();
    QGuiApplication::clipboard()->setText(QStringLiteral("x\uFFFC<男>y\uFFFC\uFFFC<暂停1秒>"));
    editor.SetSelection(kScriptLength, kScriptLength);
    QTest::keyClick(&editor, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(CountMarks(editor), kScriptMarks + 2);
    QCOMPARE(editor.TaggedText(0, kScriptLength), kScript);
    QCOMPARE(editor.MarkAt(kScriptLength + 2)->kind, int(kMarkMale));
    QCOMPARE(editor.MarkAt(kScriptLength + 6)->kind, int(kMarkPause));
    // Selecting across them with the keyboard and cutting loses nothing else.
    Press(editor, {{Qt::Key_Home, Qt::ShiftModifier}, {Qt::Key_X, Qt::ControlModifier}});
    Press(editor, {{Qt::Key_Home, Qt::ControlModifier}, {Qt::Key_V, Qt::ControlModifier}});
    QCOMPARE(CountMarks(editor), kScriptMarks + 2);
    QVERIFY(Tagged(editor).ends_with(kLine3 + u"\r"));
  }

  // A document opened while a mark's dialog or menu is open: the answer was
  // meant for the old document and is dropped; the new one keeps its marks.
  void documentOpenedUnderADialog_data() {
    QTest::addColumn<int>("position");  // double-clicked mark; -1: wrap line 2
    QTest::newRow("repeat count") << 20;
    QTest::newRow("pause time") << 18;
    QTest::newRow("voice menu") << 12;
    QTest::newRow("wrap in a repeat") << -1;
  }
  void documentOpenedUnderADialog() {
    QFETCH(int, position);
    ScriptEditor& editor = Fresh();
    const std::u16string opened = u"<女>new<暂停1秒>";
    auto load = [&] { editor.LoadTaggedText(opened); };
    const auto answer = [&](auto* d) {
      load();
      d->entry()->setEditText(QStringLiteral("3"));
      d->accept();
    };
    if (position == 20 || position < 0) {
      OnNextModal<RepeatCountDialog>(answer);
    } else if (position == 18) {
      OnNextModal<PauseTimeDialog>(answer);
    } else {
      OnNextPopup([&](QMenu* menu) {
        load();
        menu->setActiveAction(menu->actions().at(0));
        QTest::keyClick(menu, Qt::Key_Return);
      });
    }
    if (position >= 0) {
      QTest::mouseDClick(editor.viewport(), Qt::LeftButton, {}, MarkCentre(editor, position));
    } else {
      editor.SetSelection(5, 19);
      QVERIFY(!editor.ExecuteCommand(kCmdRepeat));
    }
    QCOMPARE(Tagged(editor), opened);
    QVERIFY(!editor.IsModified());
    QCOMPARE(CountMarks(editor), 2);
  }
};

QTEST_MAIN(EditorKeyboardTest)
#include "editor_keyboard_test.moc"
