// The zip script editor's window: loading, the two lists, the field filters,
// the date rule and closing.
#include "EditorFixture.h"
#include "storage/Scramble.h"

#include <QDateEdit>
#include <QRadioButton>

using namespace tarvik;
using namespace Qt::StringLiterals;

class ZipScriptEditorTest : public QObject {
    Q_OBJECT
private slots:
    void loadsFileSpecs_data();
    void loadsFileSpecs();
    void loadsCompressionMode_data();
    void loadsCompressionMode();
    void loadsFieldsAndStartsUnchanged();
    void addModeStartsFromDefaults();
    void addFileSpec_data();
    void addFileSpec();
    void editFileSpec_data();
    void editFileSpec();
    void deletingLastLinesDisablesButtons();
    void keyFilters_data();
    void keyFilters();
    void dateRule_data();
    void dateRule();
    void closing_data();
    void closing();
};

void ZipScriptEditorTest::loadsFileSpecs_data() {
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("delete marks in either case")
        << QStringList{u"File1=x,/data/*.log"_s, u"File2=X,/data/b.txt"_s, u"File3=/c.txt"_s}
        << QStringList{u"/data/*.log [X]"_s, u"/data/b.txt [X]"_s, u"/c.txt"_s};
    QTest::newRow("list ends at the first gap")
        << QStringList{u"File1=/a"_s, u"File2=/b"_s, u"File4=/d"_s}
        << QStringList{u"/a"_s, u"/b"_s};
    QTest::newRow("mark then blank is kept")
        << QStringList{u"File1=X, /a"_s} << QStringList{u" /a [X]"_s};
}

void ZipScriptEditorTest::loadsFileSpecs() {
    QFETCH(QStringList, keys);
    QFETCH(QStringList, lines);
    EditorFixture f;
    f.writeScript(u"s.zsc"_s, keys);
    f.open(false, u"s.zsc"_s);
    QCOMPARE(f.lines("fileSpecList"), lines);
    QCOMPARE(f.find<QListWidget>("fileSpecList")->currentRow(), 0);
    QVERIFY(f.button("clearAllDeleteMarksButton")->isEnabled());
}

void ZipScriptEditorTest::loadsCompressionMode_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("option");
    QTest::newRow("NONE") << u"NONE"_s << u"compressionNone"_s;
    QTest::newRow("fast") << u"fast"_s << u"compressionFast"_s;
    QTest::newRow("Normal") << u"Normal"_s << u"compressionNormal"_s;
    QTest::newRow("unknown word") << u"Maximum"_s << u"compressionBest"_s;
}

void ZipScriptEditorTest::loadsCompressionMode() {
    QFETCH(QString, value);
    QFETCH(QString, option);
    EditorFixture f;
    f.writeScript(u"s.zsc"_s, {u"CompressionMode="_s + value});
    f.open(false, u"s.zsc"_s);
    QVERIFY(f.form->findChild<QRadioButton*>(option)->isChecked());
}

void ZipScriptEditorTest::loadsFieldsAndStartsUnchanged() {
    EditorFixture f;
    f.writeScript(u"week.v2.zsc"_s,
                  {u"Dir1=/out/a"_s, u"Dir2=/out/b"_s, u"ZipFile=week"_s,
                   u"ModifiedDate=03/15/2004"_s, u"Password="_s + *Scramble(u"Se cret!"),
                   u"Description=Weekly"_s, u"StorePaths=YES"_s, u"StoreSubDirs=true"_s});
    f.open(false, u"week.v2.zsc"_s);
    QCOMPARE(f.form->windowTitle(), u"Tarvik - Edit zip script file week.v2.zsc"_s);
    QCOMPARE(f.find<QLineEdit>("scriptNameBox")->text(), u"week.v2"_s);
    QCOMPARE(f.find<QLineEdit>("passwordBox")->text(), u"Se cret!"_s);
    QCOMPARE(f.find<QDateEdit>("modifiedDatePicker")->date(), QDate(2004, 3, 15));
    QVERIFY(f.find<QRadioButton>("storePathsYes")->isChecked());
    QVERIFY(f.find<QRadioButton>("storeSubfoldersNo")->isChecked()); // "true" is not "yes"
    QCOMPARE(f.lines("directoryList"), (QStringList{u"/out/a"_s, u"/out/b"_s}));
    QVERIFY(f.button("deleteAllDirectoriesButton")->isEnabled());
    QVERIFY(!f.button("editFileSpecButton")->isEnabled()); // no file specs
    QVERIFY(!f.saveEnabled());
}

void ZipScriptEditorTest::addModeStartsFromDefaults() {
    EditorFixture f;
    f.settings.zipFile = u"backup"_s;
    f.settings.zipScriptFile = u"daily"_s;
    f.open(true);
    QCOMPARE(f.form->windowTitle(), u"Tarvik - Add a new zip script file"_s);
    QCOMPARE(f.find<QLineEdit>("zipFileBox")->text(), u"backup"_s);
    QCOMPARE(f.find<QLineEdit>("scriptNameBox")->text(), u"daily"_s);
    QVERIFY(f.find<QRadioButton>("compressionBest")->isChecked());
    QVERIFY(!f.saveEnabled());
}

void ZipScriptEditorTest::addFileSpec_data() {
    QTest::addColumn<QString>("pick");
    QTest::addColumn<bool>("wildcards");
    QTest::addColumn<QVariant>("typed"); // null: the input box is cancelled
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("status");
    const QStringList old{u"/Data/A.txt"_s};
    QTest::newRow("as picked") << u"/data/b.txt"_s << false << QVariant()
                               << QStringList{u"/Data/A.txt"_s, u"/data/b.txt"_s} << QString();
    QTest::newRow("with wildcards") << u"/data/b.txt"_s << true << QVariant(u" /data/*.txt "_s)
                                    << QStringList{u"/Data/A.txt"_s, u"/data/*.txt"_s} << QString();
    QTest::newRow("input box cancelled")
        << u"/data/b.txt"_s << true << QVariant() << old << QString();
    QTest::newRow("same but for case")
        << u"/data/a.txt"_s << false << QVariant() << old << u"Item already exists."_s;
    QTest::newRow("picker cancelled") << QString() << false << QVariant() << old << QString();
}

void ZipScriptEditorTest::addFileSpec() {
    QFETCH(QString, pick);
    QFETCH(bool, wildcards);
    QFETCH(QVariant, typed);
    QFETCH(QStringList, lines);
    QFETCH(QString, status);
    EditorFixture f;
    f.writeScript(u"s.zsc"_s, {u"File1=/Data/A.txt"_s});
    f.open(false, u"s.zsc"_s);
    f.dialogs.picks.append(pick);
    f.dialogs.answers.append(wildcards ? MessageAnswer::Yes : MessageAnswer::No);
    f.dialogs.texts.append(typed.isNull() ? std::nullopt : std::optional(typed.toString()));
    f.click("addFileSpecButton");
    QCOMPARE(f.lines("fileSpecList"), lines);
    QCOMPARE(f.status(), status);
    QCOMPARE(f.dialogs.events.contains(u"beep"_s), !status.isEmpty());
    QCOMPARE(f.saveEnabled(), lines.size() == 2);
    QCOMPARE(f.find<QListWidget>("fileSpecList")->currentRow(), 0); // the remembered line
    QCOMPARE(f.settings.lastFolder, pick.isEmpty() ? f.root.path() : u"/data"_s);
    if (!pick.isEmpty())
        QCOMPARE(f.dialogs.messages.first().text,
                 u"You have selected file "_s + pick +
                     u".\nDo you want to include wildcard characters?"_s);
}

void ZipScriptEditorTest::editFileSpec_data() {
    QTest::addColumn<QVariant>("typed");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("changed");
    const QStringList old{u"/a.txt [X]"_s, u"/b.txt"_s};
    QTest::newRow("new text keeps the mark")
        << QVariant(u"/c.txt"_s) << QStringList{u"/c.txt [X]"_s, u"/b.txt"_s} << QString() << true;
    QTest::newRow("case only, no duplicate test")
        << QVariant(u"/A.TXT"_s) << QStringList{u"/A.TXT [X]"_s, u"/b.txt"_s} << QString() << true;
    QTest::newRow("duplicate") << QVariant(u"/B.txt"_s) << old << u"Item already exists."_s
                               << false;
    QTest::newRow("erased") << QVariant(u"  "_s) << old << QString() << false;
    QTest::newRow("cancelled") << QVariant() << old << QString() << false;
}

void ZipScriptEditorTest::editFileSpec() {
    QFETCH(QVariant, typed);
    QFETCH(QStringList, lines);
    QFETCH(QString, status);
    QFETCH(bool, changed);
    EditorFixture f;
    f.writeScript(u"s.zsc"_s, {u"File1=X,/a.txt"_s, u"File2=/b.txt"_s});
    f.open(false, u"s.zsc"_s);
    f.dialogs.texts.append(typed.isNull() ? std::nullopt : std::optional(typed.toString()));
    f.click("editFileSpecButton");
    QCOMPARE(f.lines("fileSpecList"), lines);
    QCOMPARE(f.status(), status);
    QCOMPARE(f.saveEnabled(), changed);
}

void ZipScriptEditorTest::deletingLastLinesDisablesButtons() {
    EditorFixture f;
    f.writeScript(u"s.zsc"_s, {u"File1=/a"_s, u"Dir1=/out"_s});
    f.open(false, u"s.zsc"_s);
    f.dialogs.answers = {MessageAnswer::No, MessageAnswer::Yes, MessageAnswer::Yes};
    f.click("deleteFileSpecButton"); // No keeps the line
    QCOMPARE(f.lines("fileSpecList"), QStringList{u"/a"_s});
    QVERIFY(!f.saveEnabled());
    f.click("deleteFileSpecButton");
    f.click("deleteAllDirectoriesButton");
    QVERIFY(f.lines("fileSpecList").isEmpty() && f.lines("directoryList").isEmpty());
    for (const char* name :
         {"editFileSpecButton", "deleteFileSpecButton", "deleteAllFileSpecsButton",
          "setAllDeleteMarksButton", "clearAllDeleteMarksButton", "deleteDirectoryButton",
          "deleteAllDirectoriesButton"})
        QVERIFY2(!f.button(name)->isEnabled(), name);
    QVERIFY(f.saveEnabled());
    QCOMPARE(f.dialogs.messages.last().defaultButton, MessageAnswer::No);
}

void ZipScriptEditorTest::keyFilters_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("zip name drops dots") << u"zipFileBox"_s << u"a.b c"_s << u"ab c"_s;
    QTest::newRow("script name drops dots") << u"scriptNameBox"_s << u"x.zsc"_s << u"xzsc"_s;
    QTest::newRow("password drops blanks") << u"passwordBox"_s << u"p w.d"_s << u"pw.d"_s;
    QTest::newRow("description keeps all") << u"descriptionBox"_s << u"a. b"_s << u"a. b"_s;
}

void ZipScriptEditorTest::keyFilters() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    EditorFixture f;
    f.open(true);
    auto* edit = f.form->findChild<QLineEdit*>(box);
    edit->setFocus();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), kept);
}

void ZipScriptEditorTest::dateRule_data() {
    QTest::addColumn<QDate>("entered");
    QTest::addColumn<QDate>("shown");
    QTest::addColumn<bool>("refused");
    QTest::newRow("before 1980") << QDate(1979, 12, 31) << QDate(2004, 3, 15) << true;
    QTest::newRow("first day") << QDate(1980, 1, 1) << QDate(1980, 1, 1) << false;
    QTest::newRow("last day") << QDate(9999, 12, 31) << QDate(9999, 12, 31) << false;
}

void ZipScriptEditorTest::dateRule() {
    QFETCH(QDate, entered);
    QFETCH(QDate, shown);
    QFETCH(bool, refused);
    EditorFixture f;
    f.writeScript(u"s.zsc"_s, {u"ModifiedDate=03/15/2004"_s});
    f.open(false, u"s.zsc"_s);
    f.find<QDateEdit>("modifiedDatePicker")->setDate(entered);
    QCOMPARE(f.find<QDateEdit>("modifiedDatePicker")->date(), shown);
    QCOMPARE(f.status(), refused ? u"Invalid date. Must be a date 01/01/1980 through 12/31/9999."_s
                                 : QString());
    QCOMPARE(f.saveEnabled(), !refused);
}

void ZipScriptEditorTest::closing_data() {
    QTest::addColumn<bool>("change");
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("staysOpen");
    QTest::newRow("unchanged closes unasked") << false << -1 << false;
    QTest::newRow("Yes stays open") << true << int(MessageAnswer::Yes) << true;
    QTest::newRow("No closes") << true << int(MessageAnswer::No) << false;
}

void ZipScriptEditorTest::closing() {
    QFETCH(bool, change);
    QFETCH(int, answer);
    QFETCH(bool, staysOpen);
    EditorFixture f;
    f.writeScript(u"s.zsc"_s, {u"Description=old"_s});
    f.open(false, u"s.zsc"_s);
    if (change)
        f.setText("descriptionBox", u"new"_s);
    if (answer >= 0)
        f.dialogs.answers.append(MessageAnswer(answer));
    QTest::keyClick(f.form.get(), Qt::Key_Escape);
    QCOMPARE(f.form->isVisible(), staysOpen);
    QCOMPARE(f.dialogs.messages.size(), change ? 1 : 0);
    QCOMPARE(f.scriptLines(u"s.zsc"_s), QStringList{u"Description=old"_s});
}

QTEST_MAIN(ZipScriptEditorTest)
#include "tst_zip_script_editor.moc"
