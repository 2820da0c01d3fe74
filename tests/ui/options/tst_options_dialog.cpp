// The options screen on a real settings file: what it shows, the key filters,
// the pickers, what Save writes, and closing with unsaved changes.
#include "platform/ScriptedDialogService.h"
#include "storage/ProfileFile.h"
#include "storage/ProgramSettings.h"
#include "ui/options/OptionsDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace tarvik;
using namespace Qt::StringLiterals;

namespace {

struct OptionsFixture {
    QTemporaryDir root;
    QString file = root.filePath(u"tarvik.ini"_s);
    ProgramSettings settings;
    ScriptedDialogService dialogs;
    std::unique_ptr<OptionsDialog> form;

    OptionsFixture() {
        settings.programFolder = root.path();
        settings.scriptFilePath = root.path();
        settings.errorFilePath = root.path();
        settings.defaultScriptFolder = root.path();
        settings.defaultLogFolder = root.filePath(u"state"_s); // as an installed copy's
    }
    void write(const QString& key, const QString& value) const {
        WriteIni(u"Options"_s, key, value, file);
    }
    QString key(const QString& key) const { return ReadIni(u"Options"_s, key, u"<none>"_s, file); }
    OptionsDialog& open() {
        form = std::make_unique<OptionsDialog>(settings, dialogs, file);
        form->show();
        QApplication::setActiveWindow(form.get());
        return *form;
    }
    QLineEdit* edit(const QString& name) const { return form->findChild<QLineEdit*>(name); }
    QString text(const QString& name) const { return edit(name)->text(); }
    QPushButton* button(const char* name) const {
        return form->findChild<QPushButton*>(QString::fromLatin1(name));
    }
};

} // namespace

class OptionsDialogTest : public QObject {
    Q_OBJECT
private slots:
    void showsTheFile();
    void keyFilters_data();
    void keyFilters();
    void pickers_data();
    void pickers();
    void save();
    void closing_data();
    void closing();
};

void OptionsDialogTest::showsTheFile() {
    OptionsFixture f;
    f.write(u"ScriptFilePath"_s, u"/data/scripts/"_s);
    f.write(u"NewErrorFile"_s, u"YES"_s);
    f.settings.scriptFilePath = u"/data/scripts"_s; // as loaded at start-up
    OptionsDialog& form = f.open();
    QCOMPARE(form.windowTitle(), u"Tarvik - Options Screen"_s);
    QCOMPARE(f.text(u"scriptFolderBox"_s), u"/data/scripts/"_s);
    QCOMPARE(f.text(u"errorFolderBox"_s), f.root.filePath(u"state"_s));
    QCOMPARE(form.findChild<QLabel*>(u"settingsFileLabel"_s)->text(),
             u"Settings file: "_s + f.file);
    QCOMPARE(f.text(u"mailPortBox"_s), u"25"_s);
    QVERIFY(form.findChild<QCheckBox*>(u"uncPathsCheck"_s)->isChecked());
    QVERIFY(form.findChild<QCheckBox*>(u"newErrorFileCheck"_s)->isChecked());
    QVERIFY(!f.button("saveButton")->isEnabled());
    form.reject();
    QVERIFY(f.dialogs.messages.isEmpty());
    QVERIFY(!form.isVisible());
    QVERIFY(!form.scriptFolderChanged());
}

void OptionsDialogTest::keyFilters_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");      // while the field has the focus
    QTest::addColumn<QString>("afterLeave"); // once the focus has moved on
    QTest::newRow("no full stop in a name")
        << u"zipScriptNameBox"_s << u"a.b"_s << u"ab"_s << u"ab"_s;
    QTest::newRow("no full stop, zip name") << u"zipFileBox"_s << u".x."_s << u"x"_s << u"x"_s;
    QTest::newRow("port refuses letters") << u"mailPortBox"_s << u"abc"_s << QString() << u"0"_s;
    QTest::newRow("port keeps digits") << u"mailPortBox"_s << u"1a2"_s << u"12"_s << u"12"_s;
    QTest::newRow("port loses leading zeros") << u"mailPortBox"_s << u"007"_s << u"007"_s << u"7"_s;
    QTest::newRow("port, three digits at most")
        << u"mailPortBox"_s << u"65535"_s << u"655"_s << u"655"_s;
    QTest::newRow("name, 250 characters at most")
        << u"zipFileBox"_s << QString(251, u'n') << QString(250, u'n') << QString(250, u'n');
}

void OptionsDialogTest::keyFilters() {
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, afterLeave);
    OptionsFixture f;
    f.open();
    QLineEdit* edit = f.edit(field);
    edit->setFocus();
    edit->clear();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), shown);
    f.edit(u"mailServerBox"_s)->setFocus();
    QCOMPARE(edit->text(), afterLeave);
}

void OptionsDialogTest::pickers_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("picked");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("event");
    QTest::newRow("archive, upper-case ending")
        << u"chooseUnzipFileButton"_s << u"/backup/Data.ZIP"_s << u"unzipFileBox"_s
        << u"/backup/Data"_s << u"file: Select a file to unzip"_s;
    QTest::newRow("script folder, separator stripped")
        << u"chooseScriptFolderButton"_s << u"/data/new/"_s << u"scriptFolderBox"_s
        << u"/data/new"_s << u"folder: Select the location of the script files"_s;
    QTest::newRow("error folder, the root")
        << u"chooseErrorFolderButton"_s << u"/"_s << u"errorFolderBox"_s << u"/"_s
        << u"folder: Select the location of the error file"_s;
    QTest::newRow("cancelled") << u"chooseScriptFolderButton"_s << QString() << u"scriptFolderBox"_s
                               << u"<start>"_s
                               << u"folder: Select the location of the script files"_s;
}

void OptionsDialogTest::pickers() {
    QFETCH(QString, button);
    QFETCH(QString, picked);
    QFETCH(QString, field);
    QFETCH(QString, shown);
    QFETCH(QString, event);
    OptionsFixture f;
    f.open();
    const QString before = f.text(field);
    f.dialogs.picks = {picked};
    f.button(qPrintable(button))->click();
    QCOMPARE(f.dialogs.events, QStringList{event});
    QCOMPARE(f.text(field), shown == u"<start>" ? before : shown);
    QCOMPARE(f.button("saveButton")->isEnabled(), !picked.isEmpty());
}

void OptionsDialogTest::save() {
    OptionsFixture f;
    f.write(u"ZipScriptFile"_s, u"daily"_s);
    f.write(u"MailServerPort"_s, u"587"_s);
    // Limits are for typing: longer stored values are shown and saved whole.
    const QString folder = u'/' + QString(300, u'f'), archive = u'/' + QString(260, u'a');
    f.write(u"ScriptFilePath"_s, folder);
    f.write(u"UnzipFile"_s, archive);
    f.write(u"ZipFile"_s, archive);
    f.open();
    f.edit(u"zipScriptNameBox"_s)->clear();
    f.edit(u"unzipScriptNameBox"_s)->setText(u"restore"_s);
    f.edit(u"mailServerBox"_s)->setText(u"mail.example.org"_s);
    f.edit(u"alertAddressBox"_s)->setText(u" ops@example.org,me@example.org "_s);
    f.edit(u"mailPortBox"_s)->clear(); // saved without leaving the field
    f.form->findChild<QCheckBox*>(u"militaryTimeCheck"_s)->click();
    f.button("saveButton")->click();

    QVERIFY(!f.button("saveButton")->isEnabled());
    QCOMPARE(f.key(u"ZipScriptFile"_s), u"<none>"_s);
    QCOMPARE(f.key(u"UnzipScriptFile"_s), u"restore"_s);
    QCOMPARE(f.key(u"MilitaryTime"_s), u"No"_s);
    QCOMPARE(f.key(u"UNC_Paths"_s), u"Yes"_s);
    QCOMPARE(f.key(u"MailServer"_s), u"mail.example.org"_s);
    QCOMPARE(f.settings.alertAddress, u"ops@example.org,me@example.org"_s);
    QCOMPARE(f.key(u"AlertAddress"_s), f.settings.alertAddress);
    QCOMPARE(f.key(u"MailServerPort"_s), u"0"_s);
    QCOMPARE(f.key(u"ScriptFilePath"_s), folder);
    QCOMPARE(f.key(u"UnzipFile"_s), archive);
    QCOMPARE(f.key(u"ZipFile"_s), archive);
    QCOMPARE(f.settings.mailServerPort, qint16(0));
    QCOMPARE(f.settings.effectiveMailPort(), 25);
    QCOMPARE(f.settings.unzipScriptFile, u"restore"_s);
    QVERIFY(f.settings.timeStampFormat.endsWith(u" am/pm"));
    f.form->reject();
    QVERIFY(f.dialogs.messages.isEmpty());
}

void OptionsDialogTest::closing_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("open");
    QTest::newRow("Yes keeps the screen") << int(MessageAnswer::Yes) << true;
    QTest::newRow("No discards") << int(MessageAnswer::No) << false;
}

void OptionsDialogTest::closing() {
    QFETCH(int, answer);
    QFETCH(bool, open);
    OptionsFixture f;
    OptionsDialog& form = f.open();
    f.dialogs.picks = {u"/elsewhere"_s};
    f.button("chooseScriptFolderButton")->click();
    f.dialogs.answers = {MessageAnswer(answer)};
    QTest::keyClick(&form, Qt::Key_Escape);
    QCOMPARE(f.dialogs.messages.size(), 1);
    QCOMPARE(f.dialogs.messages.first().text,
             u"Do you want to save your changes before closing this screen?"_s);
    QCOMPARE(form.isVisible(), open);
    QCOMPARE(f.key(u"ScriptFilePath"_s), u"<none>"_s);
    QCOMPARE(f.settings.scriptFilePath, f.root.path());
    QVERIFY(!form.scriptFolderChanged());
}

QTEST_MAIN(OptionsDialogTest)
#include "tst_options_dialog.moc"
