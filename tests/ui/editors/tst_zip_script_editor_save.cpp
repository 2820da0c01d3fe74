// Saving from the zip script editor: required fields, names, the keys
// written, renames, and the e-mail settings button.
#include "EditorFixture.h"
#include "storage/PlatformError.h"
#include "storage/Scramble.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QRadioButton>
#include <QRegularExpression>

using namespace tarvik;
using namespace Qt::StringLiterals;

class ZipScriptEditorSaveTest : public QObject {
    Q_OBJECT
private slots:
    void requiredFields_data();
    void requiredFields();
    void addModeWritesKeysInOrder();
    void nameTaken_data();
    void nameTaken();
    void shrunkListLeavesNoOldKeys();
    void renameKeepsEveryKey_data();
    void renameKeepsEveryKey();
    void savesIntoTheFileItWasOpenedOn_data();
    void savesIntoTheFileItWasOpenedOn();
    void unscramblablePasswordWritesNothing();
    void longStoredValuesKeptWhole();
    void emailSettingsOfNewScript_data();
    void emailSettingsOfNewScript();
    void emailRefusedAfterUnsavedRename_data();
    void emailRefusedAfterUnsavedRename();
};

void ZipScriptEditorSaveTest::requiredFields_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("filled");
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QString>("focus");
    QTest::newRow("save, all missing")
        << u"saveButton"_s << QStringList{}
        << u"Description\nScript File Name\nZip File Name\nDirectories\nFile specs\n"_s
        << u"fileSpecList"_s;
    QTest::newRow("e-mail, all missing") << u"emailSettingsButton"_s << QStringList{}
                                         << u"Description\nScript File Name\nZip File "
                                            "Name\nDirectories\nFile specs\n"_s
                                         << u"fileSpecList"_s;
    QTest::newRow("only the description")
        << u"saveButton"_s << QStringList{u"scriptNameBox"_s, u"zipFileBox"_s, u"lists"_s}
        << u"Description\n"_s << u"descriptionBox"_s;
    QTest::newRow("names and directories")
        << u"saveButton"_s << QStringList{u"descriptionBox"_s, u"lists"_s}
        << u"Script File Name\nZip File Name\n"_s << u"zipFileBox"_s;
}

void ZipScriptEditorSaveTest::requiredFields() {
    QFETCH(QString, button);
    QFETCH(QStringList, filled);
    QFETCH(QString, missing);
    QFETCH(QString, focus);
    EditorFixture f;
    f.open(true);
    f.setText("descriptionBox", u"typed and erased"_s); // Save starts disabled
    f.setText("descriptionBox", QString());
    for (const QString& name : filled) {
        if (name == u"lists") {
            f.addSpecs({u"/data/a.txt"_s});
            f.addDirs({u"/out"_s});
        } else {
            f.form->findChild<QLineEdit*>(name)->setText(u"x"_s);
        }
    }
    f.click(button.toLatin1().constData());
    QVERIFY(!f.dialogs.messages.isEmpty());
    QCOMPARE(f.dialogs.messages.last().text, u"Warning! The following items are missing:\n\n"_s +
                                                 missing + u"\nPlease enter this information"_s);
    QCOMPARE(f.dialogs.messages.last().icon, MessageIcon::Exclamation);
    QCOMPARE(f.pointer.busyAtMessage.last(), false);
    QCOMPARE(f.form->focusWidget()->objectName(), focus);
    QCOMPARE(QDir(f.settings.scriptFilePath).entryList(QDir::Files), QStringList{});
    QVERIFY(f.form->isVisible());
}

void ZipScriptEditorSaveTest::addModeWritesKeysInOrder() {
    EditorFixture f;
    f.open(true);
    f.addSpecs({u"/data/a.txt"_s, u"/data/b.txt"_s});
    f.addDirs({u"/out/one"_s, u"/out/two"_s});
    f.find<QListWidget>("fileSpecList")->item(0)->setCheckState(Qt::Checked);
    f.setText("zipFileBox", u"week"_s);
    f.setText("passwordBox", u"pw"_s);
    f.setText("scriptNameBox", u"weekly"_s);
    f.setText("descriptionBox", u"Weekly backup"_s);
    f.find<QDateEdit>("modifiedDatePicker")->setDate(QDate(2004, 3, 5));
    f.find<QRadioButton>("compressionFast")->click();
    f.find<QRadioButton>("storePathsYes")->click();
    f.find<QRadioButton>("directoryEntriesYes")->click();
    f.click("saveButton");
    QCOMPARE(f.scriptLines(u"weekly.zsc"_s),
             (QStringList{u"File1=X,/data/a.txt"_s, u"File2=/data/b.txt"_s, u"Dir1=/out/one"_s,
                          u"Dir2=/out/two"_s, u"Description=Weekly backup"_s, u"ZipFile=week"_s,
                          u"ModifiedDate=03/05/2004"_s, u"CompressionMode=Fast"_s,
                          u"Password="_s + *Scramble(u"pw"), u"StorePaths=Yes"_s,
                          u"StoreSubDirs=No"_s, u"IncludeHiddenFiles=No"_s,
                          u"IncludeDirectoryEntries=Yes"_s, u"IncludeVolumeLabel=No"_s}));
    QCOMPARE(f.list.calls, QStringList{u"add weekly.zsc|Zip|Weekly backup"_s});
    QCOMPARE(f.form->result(), int(QDialog::Accepted));
    QVERIFY(!f.form->isVisible());
    QCOMPARE(f.settings.lastFolder, u"/out/two"_s);
}

void ZipScriptEditorSaveTest::nameTaken_data() {
    QTest::addColumn<bool>("adding");
    QTest::newRow("new script") << true;
    QTest::newRow("renamed script") << false;
}

void ZipScriptEditorSaveTest::nameTaken() {
    QFETCH(bool, adding);
    EditorFixture f;
    const QStringList other{u"Description=other"_s};
    const QStringList mine{u"File1=/a"_s, u"Dir1=/o"_s, u"ZipFile=z"_s, u"Description=mine"_s};
    f.writeScript(u"other.zsc"_s, other);
    f.writeScript(u"mine.zsc"_s, mine);
    f.open(adding, u"mine.zsc"_s);
    if (adding) {
        f.addSpecs({u"/a"_s});
        f.addDirs({u"/o"_s});
        f.setText("zipFileBox", u"z"_s);
        f.setText("descriptionBox", u"new"_s);
    }
    f.setText("scriptNameBox", u"other"_s);
    f.click("saveButton");
    QCOMPARE(f.status(), u"File "_s + f.scriptPath(u"other.zsc"_s) +
                             u" already exists. Please enter a different file name."_s);
    QCOMPARE(f.form->focusWidget()->objectName(), u"scriptNameBox"_s);
    QCOMPARE(f.scriptLines(u"other.zsc"_s), other);
    QCOMPARE(f.scriptLines(u"mine.zsc"_s), mine);
    QVERIFY(f.list.calls.isEmpty());
    QVERIFY(f.saveEnabled());
}

void ZipScriptEditorSaveTest::shrunkListLeavesNoOldKeys() {
    EditorFixture f;
    f.writeScript(u"s.zsc"_s,
                  {u"File1=/1"_s, u"File2=/2"_s, u"File3=/3"_s, u"File4=/4"_s, u"File5=/5"_s,
                   u"Dir1=/o"_s, u"ZipFile=z"_s, u"Description=d"_s, u"Subject=kept"_s});
    f.open(false, u"s.zsc"_s);
    f.dialogs.answers = {MessageAnswer::Yes, MessageAnswer::Yes};
    f.find<QListWidget>("fileSpecList")->setCurrentRow(3);
    f.click("deleteFileSpecButton");
    f.find<QListWidget>("fileSpecList")->setCurrentRow(3);
    f.click("deleteFileSpecButton");
    f.click("saveButton");
    const QStringList lines = f.scriptLines(u"s.zsc"_s);
    QCOMPARE(lines.filter(QRegularExpression(u"^File\\d"_s)),
             (QStringList{u"File1=/1"_s, u"File2=/2"_s, u"File3=/3"_s}));
    QVERIFY(lines.contains(u"Dir1=/o"_s) && lines.contains(u"Subject=kept"_s));
    QCOMPARE(f.status(), u"Zip script saved."_s);
    QVERIFY(f.form->isVisible() && !f.saveEnabled());
}

void ZipScriptEditorSaveTest::renameKeepsEveryKey_data() {
    QTest::addColumn<bool>("oldReadOnly"); // then it stays, and the user is told
    QTest::newRow("old file deleted") << false;
    QTest::newRow("old file read-only") << true;
}

void ZipScriptEditorSaveTest::renameKeepsEveryKey() {
    QFETCH(bool, oldReadOnly);
    EditorFixture f;
    f.writeScript(u"old.zsc"_s,
                  {u"File1=/a"_s, u"Dir1=/o"_s, u"ZipFile=z"_s, u"Description=first"_s,
                   u"Attachment=Yes"_s, u"EmailAddress1=a@b.c"_s, u"LastRun=2004/03/15 14:07:09"_s,
                   u"Error=X"_s});
    f.open(false, u"old.zsc"_s);
    if (oldReadOnly)
        QFile::setPermissions(f.scriptPath(u"old.zsc"_s), QFile::ReadOwner);
    f.setText("scriptNameBox", u"New"_s);
    f.setText("descriptionBox", u"second"_s);
    f.click("saveButton");
    QCOMPARE(QFile::exists(f.scriptPath(u"old.zsc"_s)), oldReadOnly);
    QCOMPARE(f.dialogs.events.contains(
                 u"message: Unable to delete file "_s + f.scriptPath(u"old.zsc"_s) + u". Error "_s +
                 QString::number(EACCES) + u" : "_s + ErrorFromErrno(EACCES).description),
             oldReadOnly);
    QVERIFY(!f.pointer.busyAtMessage.contains(true));
    const QStringList lines = f.scriptLines(u"New.zsc"_s);
    for (const QString& kept :
         {u"Attachment=Yes"_s, u"EmailAddress1=a@b.c"_s, u"LastRun=2004/03/15 14:07:09"_s,
          u"Error=X"_s, u"File1=/a"_s, u"Dir1=/o"_s, u"Description=second"_s})
        QVERIFY2(lines.contains(kept), qPrintable(kept));
    QCOMPARE(f.list.calls, (QStringList{u"name New.zsc"_s, u"description second"_s}));
    // The row shows "second" now: going back to the loaded text updates it too.
    f.setText("descriptionBox", u"first"_s);
    f.click("saveButton");
    QCOMPARE(f.list.calls.last(), u"description first"_s);
    QCOMPARE(f.list.calls.size(), 3);
}

void ZipScriptEditorSaveTest::savesIntoTheFileItWasOpenedOn_data() {
    QTest::addColumn<QString>("file");
    QTest::newRow("dots in the name") << u"week.v2.zsc"_s;
    QTest::newRow("upper-case extension") << u"DAILY.ZSC"_s;
    QTest::newRow("file removed meanwhile") << u"s.zsc"_s; // written whole again
}

void ZipScriptEditorSaveTest::savesIntoTheFileItWasOpenedOn() {
    QFETCH(QString, file);
    EditorFixture f;
    f.writeScript(file, {u"File1=/a"_s, u"Dir1=/o"_s, u"ZipFile=z"_s, u"Description=d"_s});
    f.open(false, file);
    if (QByteArray(QTest::currentDataTag()).endsWith("meanwhile"))
        QFile::remove(f.scriptPath(file));
    f.setText("descriptionBox", u"changed"_s);
    f.click("saveButton");
    QCOMPARE(QDir(f.settings.scriptFilePath).entryList(QDir::Files), QStringList{file});
    QVERIFY(f.scriptLines(file).contains(u"Description=changed"_s));
    QVERIFY(f.scriptLines(file).contains(u"File1=/a"_s));
    QCOMPARE(f.list.calls, QStringList{u"description changed"_s});
}

void ZipScriptEditorSaveTest::unscramblablePasswordWritesNothing() {
    EditorFixture f;
    const QStringList before{u"File1=/a"_s, u"Dir1=/o"_s, u"ZipFile=z"_s, u"Description=d"_s};
    f.writeScript(u"s.zsc"_s, before);
    f.open(false, u"s.zsc"_s);
    f.setText("passwordBox", u"a\x12"_s); // scrambles to a line break
    f.setText("scriptNameBox", u"renamed"_s);
    f.click("saveButton");
    QVERIFY(f.status().startsWith(u"The password holds a character that cannot be stored"_s));
    QCOMPARE(f.scriptLines(u"s.zsc"_s), before);
    QVERIFY(!QFile::exists(f.scriptPath(u"renamed.zsc"_s)));
    QVERIFY(f.list.calls.isEmpty() && f.saveEnabled());
}

// A box's limit is for typing: a longer stored value is shown and saved whole.
void ZipScriptEditorSaveTest::longStoredValuesKeptWhole() {
    EditorFixture f;
    const QString description(300, u'd'), zipFile(260, u'z');
    f.writeScript(u"s.zsc"_s, {u"File1=/a"_s, u"Dir1=/o"_s, u"ZipFile="_s + zipFile,
                               u"Description="_s + description});
    f.open(false, u"s.zsc"_s);
    QTest::keyClicks(f.find<QLineEdit>("descriptionBox"), u"more"_s); // typing cannot add
    f.find<QLineEdit>("passwordBox")->insert(QString(100, u'p'));     // a paste is cut to fit
    f.click("saveButton");
    QCOMPARE(f.key(u"s.zsc"_s, "Description"), description);
    QCOMPARE(f.key(u"s.zsc"_s, "ZipFile"), zipFile);
    QCOMPARE(f.key(u"s.zsc"_s, "Password"), *Scramble(QString(80, u'p')));
}

void ZipScriptEditorSaveTest::emailSettingsOfNewScript_data() {
    QTest::addColumn<bool>("saveScript");
    QTest::newRow("closed without saving") << false;
    QTest::newRow("closed, file read-only") << false; // it stays, and the user is told
    QTest::newRow("saved afterwards") << true;
}

void ZipScriptEditorSaveTest::emailSettingsOfNewScript() {
    QFETCH(bool, saveScript);
    EditorFixture f;
    f.open(true);
    f.addSpecs({u"/a"_s});
    f.addDirs({u"/o"_s});
    f.setText("zipFileBox", u"z"_s);
    f.setText("scriptNameBox", u"new"_s);
    f.setText("descriptionBox", u"d"_s);
    f.dialogs.texts.append(u"x@y.z"_s);
    QString title;
    EditorFixture::whenModalOpens([&](QWidget* email) {
        title = email->windowTitle();
        QTest::mouseClick(email->findChild<QPushButton*>(u"addAddressButton"_s), Qt::LeftButton);
        QTest::mouseClick(email->findChild<QPushButton*>(u"saveButton"_s), Qt::LeftButton);
        QTest::mouseClick(email->findChild<QPushButton*>(u"closeButton"_s), Qt::LeftButton);
    });
    f.click("emailSettingsButton");
    QCOMPARE(title, u"Tarvik - Email Settings Screen"_s);
    QVERIFY(f.find<QLineEdit>("scriptNameBox")->isReadOnly());
    QCOMPARE(f.scriptLines(u"new.zsc"_s),
             (QStringList{u"Attachment=No"_s, u"HyperLink=No"_s, u"EmailAddress1=x@y.z"_s,
                          u"SenderName=Tarvik"_s, u"Sender=yourname@yourmailhost.com"_s,
                          u"Subject=Zip File"_s, u"Body=Attached is zip file."_s}));
    if (saveScript) {
        f.click("saveButton"); // the file exists, but it is this script's own
        QCOMPARE(f.list.calls, QStringList{u"add new.zsc|Zip|d"_s});
        QVERIFY(f.scriptLines(u"new.zsc"_s).contains(u"EmailAddress1=x@y.z"_s));
        QVERIFY(f.scriptLines(u"new.zsc"_s).contains(u"File1=/a"_s));
    } else {
        const bool readOnly = QByteArray(QTest::currentDataTag()).endsWith("read-only");
        if (readOnly)
            QFile::setPermissions(f.scriptPath(u"new.zsc"_s), QFile::ReadOwner);
        f.dialogs.answers.append(MessageAnswer::No);
        f.click("closeButton");
        QVERIFY(!f.form->isVisible());
        QCOMPARE(QFile::exists(f.scriptPath(u"new.zsc"_s)), readOnly);
        QCOMPARE(f.dialogs.events.last().startsWith(u"message: Unable to delete file "_s),
                 readOnly);
    }
}

void ZipScriptEditorSaveTest::emailRefusedAfterUnsavedRename_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("free name") << u"t"_s;
    QTest::newRow("name taken") << u"other"_s;
}

void ZipScriptEditorSaveTest::emailRefusedAfterUnsavedRename() {
    QFETCH(QString, name);
    EditorFixture f;
    f.writeScript(u"s.zsc"_s, {u"File1=/a"_s, u"Dir1=/o"_s, u"ZipFile=z"_s, u"Description=d"_s});
    f.writeScript(u"other.zsc"_s, {u"Description=other"_s});
    f.open(false, u"s.zsc"_s);
    f.setText("scriptNameBox", name);
    bool opened = false;
    EditorFixture::whenModalOpens([&](QWidget* modal) {
        opened = modal != f.form.get();
        if (opened)
            modal->close();
    });
    f.click("emailSettingsButton");
    QTest::qWait(0);
    QCOMPARE(f.status(),
             u"Please save changes on current screen before accessing email settings."_s);
    QVERIFY(!opened);
    QCOMPARE(QDir(f.settings.scriptFilePath).entryList(QDir::Files),
             (QStringList{u"other.zsc"_s, u"s.zsc"_s}));
}

QTEST_MAIN(ZipScriptEditorSaveTest)
#include "tst_zip_script_editor_save.moc"
