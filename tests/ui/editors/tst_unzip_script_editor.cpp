// The unzip script editor on real script files: what a new script starts with
// and writes, what an edited script keeps or loses on saving, the required
// fields, duplicates, the archive picker and closing with unsaved changes.
#include "EditorFixture.h"
#include "ui/editors/UnzipScriptEditor.h"

#include <QRadioButton>

using namespace tarvik;
using namespace Qt::StringLiterals;

namespace {

using Fixture = EditorFixtureFor<UnzipScriptEditor>;

const QStringList kStored{u"ZipFile=/in/data"_s, u"File1=*.txt"_s,       u"Dir1=/out"_s,
                          u"Password="_s,        u"Delete=No"_s,         u"Overwrite=Yes"_s,
                          u"Extract=Newer"_s,    u"Description=daily"_s, u"LastRun=2004/01/02"_s,
                          u"Error=X"_s};

} // namespace

class UnzipScriptEditorTest : public QObject {
    Q_OBJECT
private slots:
    void newScript_data();
    void newScript();
    void missingFields();
    void loadOptions_data();
    void loadOptions();
    void saveEdited_data();
    void saveEdited();
    void savesIntoTheFileItWasOpenedOn_data();
    void savesIntoTheFileItWasOpenedOn();
    void renameOntoExisting();
    void longDescriptionKeptWhole();
    void duplicateSpecs();
    void closing_data();
    void closing();
};

void UnzipScriptEditorTest::newScript_data() {
    QTest::addColumn<QString>("picked");
    QTest::addColumn<QString>("shown");
    QTest::newRow("upper-case ending") << u"/b/Data.ZIP"_s << u"/b/Data"_s;
    QTest::newRow("two endings, last cut") << u"/b/a.zip.zip"_s << u"/b/a.zip"_s;
    QTest::newRow("no ending") << u"/b/archive"_s << u"/b/archive"_s;
}

void UnzipScriptEditorTest::newScript() {
    QFETCH(QString, picked);
    QFETCH(QString, shown);
    Fixture f;
    f.settings.unzipScriptFile = u"nightly"_s;
    UnzipScriptEditor& form = f.open(true);
    QCOMPARE(form.windowTitle(), u"Tarvik - Add a new unzip script file"_s);
    QCOMPARE(f.lines("fileSpecList"), QStringList{u"*.*"_s});
    QCOMPARE(f.find<QListWidget>("fileSpecList")->currentRow(), 0);
    QVERIFY(f.button("editFileSpecButton")->isEnabled());
    QCOMPARE(f.find<QLineEdit>("scriptNameBox")->text(), u"nightly"_s);
    QVERIFY(!f.saveEnabled());

    f.dialogs.picks = {picked, u"/target"_s};
    f.click("chooseZipFileButton");
    QCOMPARE(f.find<QLineEdit>("zipFileBox")->text(), shown);
    QCOMPARE(f.settings.lastFolder, u"/b"_s);
    f.click("addDirectoryButton");
    f.find<QLineEdit>("descriptionBox")->setText(u"restore"_s);
    f.find<QRadioButton>("extractNewerAndNonExisting")->click();
    f.click("saveButton");

    const QString name = u"nightly.usc"_s;
    QCOMPARE(f.key(name, "File1"), u"*.*"_s);
    QCOMPARE(f.key(name, "Dir1"), u"/target"_s);
    QCOMPARE(f.key(name, "ZipFile"), shown);
    QCOMPARE(f.key(name, "Extract"), u"Newer and non-existing"_s);
    QCOMPARE(f.key(name, "Delete"), u"No"_s);
    QCOMPARE(f.key(name, "Overwrite"), u"Yes"_s);
    QCOMPARE(f.list.calls, QStringList{u"add nightly.usc|Unzip|restore"_s});
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Accepted));
}

void UnzipScriptEditorTest::missingFields() {
    Fixture f;
    f.open(true);
    f.dialogs.answers = {MessageAnswer::Yes};
    f.click("deleteFileSpecButton"); // the "*.*" line
    f.click("saveButton");
    QCOMPARE(f.dialogs.messages.last().text,
             u"Warning! The following items are missing:\r\n\r\nDescription\r\nScript File "
             "Name\r\nDirectories\r\nFiles To Process\r\nFile To Unzip\r\n\r\nPlease enter this "
             "information"_s);
    QCOMPARE(f.pointer.busyAtMessage.last(), false); // the normal pointer is back first
    QCOMPARE(QDir(f.settings.scriptFilePath).entryList(QDir::Files), QStringList());
    QVERIFY(f.list.calls.isEmpty());
}

void UnzipScriptEditorTest::loadOptions_data() {
    QTest::addColumn<QString>("deleteValue");
    QTest::addColumn<QString>("extract");
    QTest::addColumn<QString>("deleteOption");
    QTest::addColumn<QString>("extractOption");
    QTest::newRow("yes, newer") << u"YES"_s << u"newer"_s << u"deleteZipFileYes"_s
                                << u"extractNewer"_s;
    QTest::newRow("y, both") << u"y"_s << u"NEWER AND NON-EXISTING"_s << u"deleteZipFileNo"_s
                             << u"extractNewerAndNonExisting"_s;
    QTest::newRow("unknown extract")
        << u"No"_s << u"some"_s << u"deleteZipFileNo"_s << u"extractAll"_s;
    QTest::newRow("empty extract")
        << QString() << QString() << u"deleteZipFileNo"_s << u"extractAll"_s;
}

void UnzipScriptEditorTest::loadOptions() {
    QFETCH(QString, deleteValue);
    QFETCH(QString, extract);
    QFETCH(QString, deleteOption);
    QFETCH(QString, extractOption);
    Fixture f;
    f.writeScript(u"a.usc"_s, kStored);
    WriteIni(u"Options"_s, u"Delete"_s, deleteValue, f.scriptPath(u"a.usc"_s));
    WriteIni(u"Options"_s, u"Extract"_s, extract, f.scriptPath(u"a.usc"_s));
    UnzipScriptEditor& form = f.open(false, u"a.usc"_s);
    QCOMPARE(form.windowTitle(), u"Tarvik - Edit unzip script file a.usc"_s);
    QVERIFY(f.find<QRadioButton>(qPrintable(deleteOption))->isChecked());
    QVERIFY(f.find<QRadioButton>(qPrintable(extractOption))->isChecked());
    QVERIFY(!f.saveEnabled());
}

void UnzipScriptEditorTest::saveEdited_data() {
    // Steps: "dir" adds /more, "desc" changes the description, "name:X"
    // renames, "gone" removes the file behind the editor's back; then Save.
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("file");      // the file saved
    QTest::addColumn<bool>("keepsRunKeys"); // LastRun and Error still there
    QTest::addColumn<QStringList>("changes");
    QTest::newRow("directory added") << u"dir"_s << u"a.usc"_s << false << QStringList();
    QTest::newRow("description only")
        << u"desc"_s << u"a.usc"_s << true << QStringList{u"description weekly"_s};
    QTest::newRow("renamed") << u"name:b"_s << u"b.usc"_s << false << QStringList{u"name b.usc"_s};
    QTest::newRow("file removed meanwhile")
        << u"gone desc"_s << u"a.usc"_s << false << QStringList{u"description weekly"_s};
}

void UnzipScriptEditorTest::saveEdited() {
    QFETCH(QString, steps);
    QFETCH(QString, file);
    QFETCH(bool, keepsRunKeys);
    QFETCH(QStringList, changes);
    Fixture f;
    f.writeScript(u"a.usc"_s, kStored);
    UnzipScriptEditor& form = f.open(false, u"a.usc"_s);
    f.dialogs.picks = {u"/more"_s};
    for (const QString& step : steps.split(u' ')) {
        if (step == u"dir")
            f.click("addDirectoryButton");
        else if (step == u"gone")
            QFile::remove(f.scriptPath(u"a.usc"_s));
        else if (step == u"desc")
            f.find<QLineEdit>("descriptionBox")->setText(u"weekly"_s);
        else
            f.find<QLineEdit>("scriptNameBox")->setText(step.mid(5));
    }
    f.click("saveButton");
    QCOMPARE(f.status(), u"Unzip script saved."_s);
    QVERIFY(form.isVisible());
    QCOMPARE(f.list.calls, changes);
    QCOMPARE(f.key(file, "LastRun"), keepsRunKeys ? u"2004/01/02"_s : u"<none>"_s);
    QCOMPARE(f.key(file, "Error"), keepsRunKeys ? u"X"_s : u"<none>"_s);
    QCOMPARE(f.key(file, "File1"), u"*.txt"_s);
    QCOMPARE(f.key(file, "Extract"), u"Newer"_s);
    QCOMPARE(f.key(file, "Dir2"), steps == u"dir" ? u"/more"_s : u"<none>"_s);
    QCOMPARE(QDir(f.settings.scriptFilePath).entryList(QDir::Files), QStringList{file});

    // A further change saves again without an "already exists" message.
    f.find<QRadioButton>("deleteZipFileYes")->click();
    f.click("saveButton");
    QCOMPARE(f.status(), u"Unzip script saved."_s);
    QCOMPARE(f.key(file, "Delete"), u"Yes"_s);
}

void UnzipScriptEditorTest::savesIntoTheFileItWasOpenedOn_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("dots in the name") << u"week.v2.usc"_s;
    QTest::newRow("upper-case ending") << u"DAILY.USC"_s;
}

void UnzipScriptEditorTest::savesIntoTheFileItWasOpenedOn() {
    QFETCH(QString, file);
    Fixture f;
    f.writeScript(file, kStored);
    f.open(false, file);
    f.find<QLineEdit>("descriptionBox")->setText(u"weekly"_s);
    f.click("saveButton");
    QCOMPARE(QDir(f.settings.scriptFilePath).entryList(QDir::Files), QStringList{file});
    QCOMPARE(f.key(file, "Description"), u"weekly"_s);
    QCOMPARE(f.key(file, "LastRun"), u"2004/01/02"_s); // only what changed was written
    QCOMPARE(f.list.calls, QStringList{u"description weekly"_s});
}

void UnzipScriptEditorTest::renameOntoExisting() {
    Fixture f;
    f.writeScript(u"a.usc"_s, kStored);
    f.writeScript(u"b.usc"_s, {u"Description=other"_s});
    f.open(false, u"a.usc"_s);
    f.find<QLineEdit>("scriptNameBox")->setText(u"b"_s);
    f.click("saveButton");
    QCOMPARE(f.status(), u"File "_s + f.scriptPath(u"b.usc"_s) +
                             u" already exists. Please enter a different file name."_s);
    QCOMPARE(f.dialogs.events.last(), u"beep"_s);
    QCOMPARE(f.key(u"a.usc"_s, "Description"), u"daily"_s);
    QCOMPARE(f.key(u"b.usc"_s, "Description"), u"other"_s);
    QVERIFY(f.saveEnabled());
}

void UnzipScriptEditorTest::longDescriptionKeptWhole() {
    Fixture f;
    const QString description(300, u'd');
    f.writeScript(u"a.usc"_s, kStored);
    WriteIni(u"Options"_s, u"Description"_s, description, f.scriptPath(u"a.usc"_s));
    f.open(false, u"a.usc"_s);
    f.find<QRadioButton>("overwriteNo")->click();
    f.click("saveButton");
    QCOMPARE(f.key(u"a.usc"_s, "Description"), description);
}

void UnzipScriptEditorTest::duplicateSpecs() {
    Fixture f;
    f.writeScript(u"a.usc"_s, kStored);
    f.open(false, u"a.usc"_s);
    f.dialogs.texts = {u" *.TXT "_s, u"*.TXT"_s};
    f.click("addFileSpecButton"); // the same spec in other letters
    QCOMPARE(f.status(), u"Item already exists."_s);
    QCOMPARE(f.lines("fileSpecList"), QStringList{u"*.txt"_s});
    QVERIFY(!f.saveEnabled());
    f.click("editFileSpecButton"); // editing the letter case alone is accepted
    QCOMPARE(f.lines("fileSpecList"), QStringList{u"*.TXT"_s});
    QVERIFY(f.saveEnabled());

    // Typed "." in the name and a typed blank in the password are dropped.
    QTest::keyClicks(f.find<QLineEdit>("scriptNameBox"), u"x.y"_s);
    QTest::keyClicks(f.find<QLineEdit>("passwordBox"), u"p w"_s);
    QCOMPARE(f.find<QLineEdit>("scriptNameBox")->text(), u"axy"_s);
    QCOMPARE(f.find<QLineEdit>("passwordBox")->text(), u"pw"_s);
}

void UnzipScriptEditorTest::closing_data() {
    QTest::addColumn<bool>("change");
    QTest::addColumn<int>("answer"); // MessageAnswer
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("open");
    QTest::newRow("unchanged") << false << int(MessageAnswer::No) << false << false;
    QTest::newRow("changed, Yes") << true << int(MessageAnswer::Yes) << true << true;
    QTest::newRow("changed, No") << true << int(MessageAnswer::No) << true << false;
}

void UnzipScriptEditorTest::closing() {
    QFETCH(bool, change);
    QFETCH(int, answer);
    QFETCH(bool, asked);
    QFETCH(bool, open);
    Fixture f;
    f.writeScript(u"a.usc"_s, kStored);
    UnzipScriptEditor& form = f.open(false, u"a.usc"_s);
    if (change)
        f.find<QLineEdit>("descriptionBox")->setText(u"changed"_s);
    f.dialogs.answers = {MessageAnswer(answer)};
    QTest::keyClick(&form, Qt::Key_Escape);
    QCOMPARE(!f.dialogs.messages.isEmpty(), asked);
    if (asked)
        QCOMPARE(f.dialogs.messages.first().text,
                 u"Do you want to save your changes before closing this screen?"_s);
    QCOMPARE(form.isVisible(), open);
    QCOMPARE(f.key(u"a.usc"_s, "Description"), u"daily"_s);
}

QTEST_MAIN(UnzipScriptEditorTest)
#include "tst_unzip_script_editor.moc"
