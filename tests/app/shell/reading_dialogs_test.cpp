// The reading commands of the main window: the readings dictionary dialog (entries
// added, changed and removed with the keyboard and mouse, refused entries, damaged
// lines listed and kept, the file written and handed to the engine) and the view of
// what the engine reads for each sentence of the selection.
#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QTableWidget>

#include "core/reading/readings_dictionary.h"
#include "app_test_util.h"
#include "app/shell/reading_dialogs.h"

using namespace aurisona;
using namespace aurisona::shell;
using namespace aurisona::app_test;

class ReadingDialogsTest : public WindowSuite {
  Q_OBJECT

 private:

  QString ReadingsPath() const { return QString::fromStdString(data_.Readings().string()); }

  // A window over a readings file of `text` (none when null), and its dictionary dialog.
  ReadingsDictionaryDialog* OpenDictionary(const char* text = nullptr) {
    if (text && !WriteFile(ReadingsPath(), text)) return nullptr;
    StartWindow();
    window_->ExecuteCommand(cmd::kReadingsDictionary);
    if (!QTest::qWaitFor([&] { return panel_->DictionaryDialog() != nullptr; })) return nullptr;
    ReadingsDictionaryDialog* dialog = panel_->DictionaryDialog();
    QApplication::setActiveWindow(dialog);
    return dialog;
  }

  // Types an entry into the two fields as the user does.
  static void Type(ReadingsDictionaryDialog* dialog, const QString& written, const QString& spoken) {
    for (QLineEdit* edit : {dialog->WrittenEdit(), dialog->SpokenEdit()}) {
      edit->setFocus();
      edit->selectAll();
      QTest::keyClick(edit, Qt::Key_Delete);
    }
    TypeText(dialog->WrittenEdit(), written);
    TypeText(dialog->SpokenEdit(), spoken);
  }

  // Key presses carrying each character, Chinese ones too.
  static void TypeText(QWidget* widget, const QString& text) {
    for (QChar c : text) {
      QTest::sendKeyEvent(QTest::Click, widget, c.unicode() < 128 ? Qt::Key(QChar(c).toUpper().unicode()) : Qt::Key_unknown,
                          QString(c), Qt::NoModifier);
    }
  }

  static void ClickRow(ReadingsDictionaryDialog* dialog, int row) {
    QTableWidget* table = dialog->Table();
    const QRect rect = table->visualItemRect(table->item(row, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rect.center());
  }

  static QStringList Rows(QTableWidget* table) {
    QStringList rows;
    for (int row = 0; row < table->rowCount(); ++row) {
      QStringList cells;
      for (int column = 0; column < table->columnCount(); ++column) cells << table->item(row, column)->text();
      rows << cells.join(u'|');
    }
    return rows;
  }

  std::vector<ReadingDictionary::Entry> FileEntries() {
    return ReadingDictionary::Load(data_.Readings(), nullptr).entries();
  }

 private slots:
  void init() { StartHome(); }
  void cleanup() { StopWindow(); }

  void entriesAreAddedChangedRemovedAndSaved() {
    ReadingsDictionaryDialog* dialog = OpenDictionary("TA = teaching assistant\nNo = Number\n");
    QVERIFY(dialog);
    QCOMPARE(Rows(dialog->Table()), QStringList({"TA|teaching assistant", "No|Number"}));

    // Play reads the fields' entry with the dictionary being edited, in an
    // English voice or a Chinese one by its writing; add with Enter in the
    // reading field, then with the button.
    QStringList played;
    dialog->played = [&](int slot, const std::u16string& text) { played << QString::number(slot) + Q(text); };
    Type(dialog, "PE", "P E");
    QTest::mouseClick(dialog->PlayButton(), Qt::LeftButton);
    QTest::keyClick(dialog->SpokenEdit(), Qt::Key_Return);
    Type(dialog, QStringLiteral("重庆"), QStringLiteral("崇庆"));
    QTest::mouseClick(dialog->PlayButton(), Qt::LeftButton);
    QTest::mouseClick(dialog->AddButton(), Qt::LeftButton);
    QCOMPARE(played, QStringList({QStringLiteral("3P E"), QStringLiteral("1崇庆")}));
    // Change the row clicked: its fields are filled, the reading retyped.
    ClickRow(dialog, 1);
    QCOMPARE(dialog->WrittenEdit()->text(), QStringLiteral("No"));
    dialog->SpokenEdit()->selectAll();
    TypeText(dialog->SpokenEdit(), "number");
    QTest::mouseClick(dialog->ChangeButton(), Qt::LeftButton);
    // Remove the first with the Delete key.
    ClickRow(dialog, 0);
    QTest::keyClick(dialog->Table(), Qt::Key_Delete);
    QCOMPARE(Rows(dialog->Table()), QStringList({"No|number", "PE|P E", QStringLiteral("重庆|崇庆")}));
    QVERIFY(dialogs_->errors.isEmpty());
    // Until OK the engine keeps the dictionary it had.
    QCOMPARE(panel_->Speech().Spoken(u"Ask the TA.").text, std::u16string(u"Ask the teaching assistant."));

    QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
    QTRY_VERIFY(panel_->DictionaryDialog() == nullptr);
    const std::vector<ReadingDictionary::Entry> expected = {
        {u"No", u"number"}, {u"PE", u"P E"}, {u"重庆", u"崇庆"}};
    QCOMPARE(FileEntries(), expected);
    // The engine reads with it at once.
    QCOMPARE(panel_->Speech().Spoken(u"Go to No 5 for PE.").text, std::u16string(u"Go to number five for P E."));
    QCOMPARE(panel_->Speech().Spoken(u"Ask the TA.").text, std::u16string(u"Ask the TA."));
  }

  void invalidEntriesAreRefused_data() {
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("spoken");
    QTest::addColumn<QString>("error");
    QTest::newRow("= in written") << "a=b" << "x" << QStringLiteral("不能采用这一条：写法中不能有“=”。");
    QTest::newRow("same word") << "dr" << "x" << QStringLiteral("词典中已有“Dr”，请选中它再修改。");
  }

  void invalidEntriesAreRefused() {
    QFETCH(QString, written);
    QFETCH(QString, spoken);
    QFETCH(QString, error);
    ReadingsDictionaryDialog* dialog = OpenDictionary("Dr = Doctor\n");
    QVERIFY(dialog);
    Type(dialog, written, spoken);
    QTest::mouseClick(dialog->AddButton(), Qt::LeftButton);
    QCOMPARE(dialogs_->errors, QStringList{error});
    QCOMPARE(dialog->Table()->rowCount(), 1);
  }

  // Lines the dialog cannot take are listed, and kept at the end as comments
  // when it saves; past the 10000th entry every line is kept.
  void damagedLinesAreListedAndKept() {
    QByteArray many;
    for (int i = 0; i <= 10001; ++i) many += "w" + QByteArray::number(i) + " = s\n";
    const struct {
      QByteArray text;
      int rows;
      QStringList problems;
      QByteArray kept;
    } cases[] = {
        {"# mine\nDr = Doctor\nbroken line\n= nothing\nSt = Saint\n", 2,
         {QStringLiteral("第3行：写法与读法之间缺少“=”"), QStringLiteral("第4行：写法为空")}, "\n# broken line\n# = nothing\n"},
        {many, 10000, {QStringLiteral("第10001行：超过10000条，其后各行未读取")}, "\nw9999 = s\n"},
    };
    for (const auto& c : cases) {
      ReadingsDictionaryDialog* dialog = OpenDictionary(c.text.constData());
      QVERIFY(dialog);
      QCOMPARE(dialog->Table()->rowCount(), c.rows);
      QStringList problems;
      for (int i = 0; i < dialog->ProblemList()->count(); ++i) problems << dialog->ProblemList()->item(i)->text();
      QCOMPARE(problems, c.problems);
      QVERIFY(dialog->ProblemList()->isVisible());
      QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
      QTRY_VERIFY(panel_->DictionaryDialog() == nullptr);
      const QByteArray saved = ReadFile(ReadingsPath());
      QVERIFY(saved.contains(c.kept));
      QCOMPARE(FileEntries().size(), size_t(c.rows));
    }
    QVERIFY(ReadFile(ReadingsPath()).endsWith("\n# w10000 = s\n# w10001 = s\n"));
  }

  void unwritableFileNamesPathAndReason() {
    ReadingsDictionaryDialog* dialog = OpenDictionary();
    QVERIFY(dialog);
    // A folder where the file should be cannot be replaced.
    QVERIFY(QDir().mkpath(ReadingsPath()));
    Type(dialog, "PE", "P E");
    QTest::mouseClick(dialog->AddButton(), Qt::LeftButton);
    QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
    QCOMPARE(dialogs_->errors.size(), 1);
    QVERIFY2(dialogs_->errors.first().startsWith(QStringLiteral("无法保存朗读词典 ") + ReadingsPath() + u'：'),
             qPrintable(dialogs_->errors.first()));
    QVERIFY(panel_->DictionaryDialog() != nullptr);  // still open, nothing lost
    QVERIFY(panel_->Speech().Dictionary()->empty());
  }

  void spokenViewListsTheSelectionsSentences_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("selected");  // empty: nothing selected
    QTest::addColumn<QStringList>("rows");
    // "See you." is a sentence of the same run: the selection's run is listed whole.
    QTest::newRow("english") << "<男>Dr. Smith at 10.30. See you." << "Dr. Smith"
                             << QStringList{QStringLiteral("3 英文男声|英文|Dr. Smith at 10.30.|Doctor Smith at ten thirty."),
                                            QStringLiteral("3 英文男声|英文|See you.|See you.")};
    QTest::newRow("chinese") << QStringLiteral("<女>会议8:30开始。") << ""
                             << QStringList{QStringLiteral("2 中文女声|中文|会议8:30开始。|会议八点三十分开始。")};
    // Runs outside the selection are left out.
    QTest::newRow("one run of three") << QStringLiteral("<男>Room 5.\r<女>我们9:00见。\r<男>Call 120.")
                                      << QStringLiteral("我们")
                                      << QStringList{QStringLiteral("2 中文女声|中文|我们9:00见。|我们九点见。")};
  }

  void spokenViewListsTheSelectionsSentences() {
    QFETCH(QString, script);
    QFETCH(QString, selected);
    QFETCH(QStringList, rows);
    StartWindow();
    Load(script.toStdU16String());
    ScriptDocument& doc = window_->Editor().Document();
    if (!selected.isEmpty()) {
      const int at = static_cast<int>(doc.Text(0, -1).find(selected.toStdU16String()));
      QVERIFY(at >= 0);
      doc.SetSelection(at, at + static_cast<int>(selected.size()));
    } else {
      doc.SetSelection(0, 0);
    }
    const std::u16string before = doc.Text(0, -1);
    window_->ExecuteCommand(cmd::kShowSpoken);
    QTRY_VERIFY(panel_->SpokenDialog() != nullptr);
    SpokenTextDialog* dialog = panel_->SpokenDialog();
    QCOMPARE(Rows(dialog->Table()), rows);
    QVERIFY(dialog->Table()->editTriggers() == QAbstractItemView::NoEditTriggers);
    QCOMPARE(doc.Text(0, -1), before);  // the view compiles a copy
    // Ctrl+C copies the selected row as tab-separated text.
    dialog->Table()->setFocus();
    dialog->Table()->selectRow(0);
    QTest::keyClick(dialog->Table(), Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), rows.first().replace(u'|', u'\t') + u'\n');
  }
};

QTEST_MAIN(ReadingDialogsTest)
#include "reading_dialogs_test.moc"
