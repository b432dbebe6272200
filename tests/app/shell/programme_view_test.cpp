// The programme view against `aurisona-cli timeline` for a script with every
// kind of piece, clicks on its blocks moving the caret, and the templates'
// menu path.
#include <QInputDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>

#include "app_test_util.h"
#include "core/files/templates.h"
#include "app/shell/programme_view.h"
#include "app/shell/script_editor_port.h"
#include "app/shell/template_dialog.h"

using namespace aurisona;
using namespace aurisona::shell;
using namespace aurisona::app_test;

namespace {

constexpr char16_t kEveryPiece[] =
    u"<女>现在开始。<暂停1秒>\n<提示音>\n<音乐:theme.mp3>\n<录音:talk.wav>\n"
    u"<重复2:2>M:Good morning. How are you?\nW:Fine, thanks.\n<暂停0.5秒><结束2>\n";

const char* const kKindNames[] = {"speech", "pause", "tone", "music", "recording"};  // by BlockKind
const char* KindName(BlockKind kind) { return kKindNames[static_cast<int>(kind)]; }

}  // namespace

class ProgrammeViewTest : public WindowSuite {
  Q_OBJECT

 private:
  ProgrammeView& View() { return *window_->Programme(); }
  int CaretAfterClick(const QPoint& at) {
    QTest::mouseClick(&View(), Qt::LeftButton, {}, at);
    return window_->Editor().Document().Selection().first;
  }

 private slots:
  void init() {
    StartHome();
    // One second of a tone as a recording.
    QVERIFY(WriteFile(QString::fromStdString((data_.Record() / "talk.wav").string()), WavBytes(Tone(440, 1, 8000))));
    StartWindow();
  }
  void cleanup() { StopWindow(); }

  void blocksFollowTheTimelineAndClicksMoveTheCaret() {
    View().SetDelay(0);
    LoadInto(*window_, kEveryPiece);
    QTRY_VERIFY_WITH_TIMEOUT(!View().IsStale() && !View().IsMeasuring() && !View().Blocks().empty(), 120000);

    const QString script = Path(QStringLiteral("every.txt"));
    QVERIFY(WriteFile(script, QString::fromUtf16(kEveryPiece).toUtf8()));
    QProcess cli;
    cli.start(QStringLiteral(AURISONA_CLI_PATH),
              {QStringLiteral("timeline"), script, QStringLiteral("--data-dir"),
               QString::fromStdString(data_.root().string())});
    QVERIFY(cli.waitForFinished(120000));
    QCOMPARE(cli.exitCode(), 0);
    QList<QJsonObject> pieces;
    for (const QByteArray& line : cli.readAllStandardOutput().split('\n')) {
      if (!line.isEmpty()) pieces << QJsonDocument::fromJson(line).object();
    }
    const std::vector<ProgrammeBlock>& blocks = View().Blocks();
    QCOMPARE(qsizetype(blocks.size()), pieces.size() - 1);
    // The tool prints milliseconds.
    auto near = [](double a, double b) { return std::abs(a - b) < 6e-4; };
    QVERIFY(near(View().TotalSeconds(), pieces.last().value(QStringLiteral("total")).toDouble()));
    QStringList kinds;
    for (size_t i = 0; i < blocks.size(); ++i) {
      const QJsonObject& piece = pieces.at(qsizetype(i));
      const ProgrammeBlock& block = blocks[i];
      kinds << QString::fromLatin1(KindName(block.kind)) + QString::number(block.pass);
      QCOMPARE(QString::fromLatin1(KindName(block.kind)) + QString::number(block.voiceSlot),
               piece.value(QStringLiteral("kind")).toString() + QString::number(piece.value(QStringLiteral("voice")).toInt()));
      QVERIFY(near(block.start, piece.value(QStringLiteral("start")).toDouble()) &&
              near(block.length, piece.value(QStringLiteral("length")).toDouble()));
      QCOMPARE(block.pass, piece.value(QStringLiteral("pass")).toInt(1));
    }
    // Both passes of the alternating repeat, the male and female voices swapped.
    QCOMPARE(kinds.join(u' '), QStringLiteral("speech1 pause1 tone1 music1 recording1 speech1 speech1 pause1 "
                                              "speech2 speech2 pause2"));
    QCOMPARE(blocks[5].voiceSlot + blocks[8].voiceSlot * 10, 43);

    // A click on a sentence or a mark puts the caret there, in any pass.
    const std::u16string text = window_->Editor().Document().Text(0, -1);
    const int how = int(text.find(u"How are"));
    const int tone = blocks[2].position;
    for (size_t index : {size_t(5), size_t(8)}) {
      const QRect r = View().BlockRect(index);
      QCOMPARE(CaretAfterClick(QPoint(r.left() + 1, r.center().y())), int(text.find(u"Good")));
      QCOMPARE(CaretAfterClick(QPoint(r.right() - 1, r.center().y())), how);
    }
    QCOMPARE(CaretAfterClick(View().BlockRect(2).center()), tone);
    QCOMPARE(window_->Editor().Document().MarkAt(tone)->kind, int32_t(kMarkPromptTone));
    QVERIFY(window_->Editor().Widget()->hasFocus());
  }

  // 文件 › 从模板新建 with the keys, then 文件 › 存为模板 under a name typed in.
  void templateFromTheMenuAndSavedAsOwn() {
    int offered = 0;
    OnNextModal<TemplateDialog>([&](TemplateDialog* dialog) {
      offered = dialog->List()->count();
      QTest::keyClick(dialog->List(), Qt::Key_End);
      QTest::keyClick(dialog->List(), Qt::Key_Return);
    });
    window_->Actions(cmd::kNewFromTemplate).first()->trigger();
    QCOMPARE(offered, 3);
    auto& port = static_cast<ScriptEditorPort&>(window_->Editor());
    const QString tagged = QString::fromStdU16String(port.editor().TaggedText(0, -1));
    QCOMPARE(tagged.count(QStringLiteral("<男>【Type the ")), 5);
    QVERIFY(!window_->Editor().IsModified() && window_->CurrentPath().isEmpty());
    QTRY_COMPARE(port.editor().extraSelections().size(), 5);  // the placeholders stand out
    QVERIFY(port.editor().textCursor().selectedText().startsWith(QStringLiteral("【Type the first sentence")));

    OnNextModal<QInputDialog>([](QInputDialog* dialog) {
      QTest::keyClicks(dialog->findChild<QLineEdit*>(), QStringLiteral("Unit 5"));
      QTest::keyClick(dialog->findChild<QLineEdit*>(), Qt::Key_Return);
    });
    window_->Actions(cmd::kSaveAsTemplate).first()->trigger();
    const std::vector<DocumentTemplate> list = ListTemplates(data_.Templates());
    QCOMPARE(list.size(), size_t(4));
    QCOMPARE(list[3].file, data_.Templates() / "Unit 5.lsn");
  }
};

QTEST_MAIN(ProgrammeViewTest)
#include "programme_view_test.moc"
