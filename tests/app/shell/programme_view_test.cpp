// The programme view against `aurisona-cli timeline` for a script with every
// kind of piece, clicks on its blocks moving the caret, and the templates'
// menu path.
#include <QInputDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>

#include "app_test_util.h"
#include "core/files/templates.h"
#include "core/settings/ini_store.h"
#include "core/settings/settings_keys.h"
#include "app/shell/programme_view.h"
#include "app/shell/script_editor_port.h"
#include "support/wav.h"
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

class ProgrammeViewTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> temp_;
  DataDirectory data_;
  std::unique_ptr<MainWindow> window_;

  void MakeWindow() {
    QVERIFY(IniStore(data_.SetupIni()).SetInt(kSettingsSection, setting_keys::kFirstRun, 0));
    window_ = std::make_unique<MainWindow>(data_, QString(), std::make_unique<ScriptedDialogs>());
    window_->InstallSettingsPanel(std::make_unique<PanelController>(*window_));
    window_->show();
  }
  ProgrammeView& View() { return *window_->Programme(); }
  int CaretAfterClick(const QPoint& at) {
    QTest::mouseClick(&View(), Qt::LeftButton, {}, at);
    return window_->Editor().Document().Selection().first;
  }

 private slots:
  void init() {
    temp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(temp_->isValid());
    data_ = PrepareTestHome(*temp_);
    // One second of a tone as a recording.
    std::ofstream(data_.Record() / "talk.wav", std::ios::binary)
        << aurisona::testing::WavBytes(aurisona::testing::Sine(22050, 1, 440, 22050, 8000), 22050, 1);
    MakeWindow();
  }
  void cleanup() {
    window_.reset();
    temp_.reset();
  }

  void blocksFollowTheTimelineAndClicksMoveTheCaret() {
    View().SetDelay(0);
    LoadInto(*window_, kEveryPiece);
    QTRY_VERIFY_WITH_TIMEOUT(!View().IsStale() && !View().IsMeasuring() && !View().Blocks().empty(), 120000);

    const QString script = temp_->filePath(QStringLiteral("every.txt"));
    std::ofstream(script.toStdString()) << QString::fromUtf16(kEveryPiece).toStdString();
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
    QTimer::singleShot(0, [] {
      auto* dialog = qobject_cast<TemplateDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog != nullptr);
      QCOMPARE(dialog->List()->count(), 3);
      QTest::keyClick(dialog->List(), Qt::Key_End);
      QTest::keyClick(dialog->List(), Qt::Key_Return);
    });
    window_->Actions(cmd::kNewFromTemplate).first()->trigger();
    auto& port = static_cast<ScriptEditorPort&>(window_->Editor());
    const QString tagged = QString::fromStdU16String(port.editor().TaggedText(0, -1));
    QCOMPARE(tagged.count(QStringLiteral("<男>【Type the ")), 5);
    QVERIFY(!window_->Editor().IsModified() && window_->CurrentPath().isEmpty());
    QTRY_COMPARE(port.editor().extraSelections().size(), 5);  // the placeholders stand out
    QVERIFY(port.editor().textCursor().selectedText().startsWith(QStringLiteral("【Type the first sentence")));

    QTimer::singleShot(0, [] {
      auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog != nullptr);
      auto* edit = dialog->findChild<QLineEdit*>();
      QTest::keyClicks(edit, QStringLiteral("Unit 5"));
      QTest::keyClick(edit, Qt::Key_Return);
    });
    window_->Actions(cmd::kSaveAsTemplate).first()->trigger();
    const std::vector<DocumentTemplate> list = ListTemplates(data_.Templates());
    QCOMPARE(list.size(), size_t(4));
    QCOMPARE(list[3].file, data_.Templates() / "Unit 5.lsn");
  }
};

QTEST_MAIN(ProgrammeViewTest)
#include "programme_view_test.moc"
