// The script commands of the main window on real script files: Add through
// the type chooser, Edit, Delete, Copy, Open, F1 and Options, with the
// dialogs answered by the scripted service and the editors driven by name.
#include "WindowFixture.h"

#include "storage/PlatformError.h"

#include <QLineEdit>
#include <QRadioButton>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace tarvik;
using namespace Qt::StringLiterals;

class MainWindowCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void copyNames_data();
    void copyNames();
    void deleteScript_data();
    void deleteScript();
    void failedFileOperation_data();
    void failedFileOperation();
    void missingScript_data();
    void missingScript();
    void viewerKeys_data();
    void viewerKeys();
    void addThroughChooser();
    void editUnzipScript();
    void editZipScriptKeepsItsKeys();
    void optionsRelist_data();
    void optionsRelist();
};

void MainWindowCommandsTest::copyNames_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QStringList>("created");
    QTest::addColumn<int>("refused"); // "already exists" messages
    QTest::newRow("weekly") << u"daily.zsc"_s << QStringList{u"weekly"_s}
                            << QStringList{u"weekly.zsc"_s} << 0;
    QTest::newRow("blanks around")
        << u"daily.zsc"_s << QStringList{u"  weekly "_s} << QStringList{u"weekly.zsc"_s} << 0;
    QTest::newRow("own extension, other case")
        << u"daily.zsc"_s << QStringList{u"Weekly.ZSC"_s} << QStringList{u"Weekly.ZSC"_s} << 0;
    QTest::newRow("other type's extension")
        << u"daily.zsc"_s << QStringList{u"b.usc"_s} << QStringList{u"b.usc.zsc"_s} << 0;
    QTest::newRow("unzip script") << u"r.usc"_s << QStringList{u"x"_s, u"y.USC"_s}
                                  << QStringList{u"x.usc"_s, u"y.USC"_s} << 0;
    QTest::newRow("existing, then new")
        << u"daily.zsc"_s << QStringList{u"other"_s, u"w2"_s} << QStringList{u"w2.zsc"_s} << 1;
    QTest::newRow("empty file overwritten")
        << u"daily.zsc"_s << QStringList{u"empty"_s} << QStringList{u"empty.zsc"_s} << 0;
    QTest::newRow("a path is no name")
        << u"daily.zsc"_s << QStringList{u"../out/x"_s} << QStringList() << 0;
}

void MainWindowCommandsTest::copyNames() {
    QFETCH(QString, source);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, created);
    QFETCH(int, refused);
    WindowFixture f;
    f.zipScript(source, {{u"Description"_s, u"nightly"_s}, {u"LastRun"_s, u"2004/01/01"_s}});
    f.zipScript(u"other.zsc"_s);
    f.writeFile("scripts/empty.zsc", {});
    QFile::setPermissions(f.scriptPath(source), QFile::ReadOwner | QFile::WriteOwner |
                                                    QFile::ReadGroup | QFile::ReadOther);
    f.open();
    const int rowsBefore = f.list()->model()->rowCount();
    f.clickRow(f.rowOf(source));
    for (const QString& answer : answers)
        f.dialogs.texts.append(answer);
    f.click("copyButton");

    // Asked once per answer, and once more for the empty answer that ends it.
    QCOMPARE(f.dialogs.events.count(u"input: Copy from file "_s + source), answers.size() + 1);
    QCOMPARE(f.dialogs.events.count(u"message: File "_s + f.scriptPath(u"other.zsc"_s) +
                                    u" already exists."_s),
             refused);
    QFile original(f.scriptPath(source));
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray content = original.readAll();
    const QString type = source.endsWith(u".zsc") ? u"Zip"_s : u"Unzip"_s;
    for (const QString& name : created) {
        QFile copy(f.scriptPath(name));
        QVERIFY2(copy.open(QIODevice::ReadOnly), qPrintable(name));
        QCOMPARE(copy.readAll(), content);
        struct stat st {};
        QVERIFY(::stat(QFile::encodeName(copy.fileName()).constData(), &st) == 0);
        QCOMPARE(st.st_mode & 07777, 0600u); // it may hold a password
        const int row = f.rowOf(name);
        QVERIFY(row >= 0);
        QCOMPARE(f.cell(row, kTypeColumn), type);
        QCOMPARE(f.cell(row, kDescriptionColumn), u"nightly"_s);
        QCOMPARE(f.cell(row, kLastRunColumn), QString());
    }
    // An empty file that was listed already keeps one row.
    QCOMPARE(f.list()->model()->rowCount(),
             rowsBefore + int(created.size()) - (created.contains(u"empty.zsc"_s) ? 1 : 0));
    QVERIFY(!QFile::exists(f.path("out/x.zsc")));
}

void MainWindowCommandsTest::deleteScript_data() {
    QTest::addColumn<QStringList>("scripts");
    QTest::addColumn<QStringList>("marked");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("byKey");
    QTest::addColumn<int>("answer"); // -1: the default button
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<bool>("run");
    QTest::newRow("only marked row")
        << QStringList{u"a.zsc"_s, u"b.zsc"_s} << QStringList{u"a.zsc"_s} << u"a.zsc"_s << false
        << int(MessageAnswer::Yes) << QStringList{u"b.zsc"_s} << false;
    QTest::newRow("unmarked row, others marked")
        << QStringList{u"a.zsc"_s, u"b.zsc"_s, u"c.usc"_s} << QStringList{u"a.zsc"_s, u"c.usc"_s}
        << u"b.zsc"_s << true << int(MessageAnswer::Yes) << QStringList{u"a.zsc"_s, u"c.usc"_s}
        << true;
    QTest::newRow("No is the default")
        << QStringList{u"a.zsc"_s} << QStringList{u"a.zsc"_s} << u"a.zsc"_s << false << -1
        << QStringList{u"a.zsc"_s} << true;
    QTest::newRow("last script") << QStringList{u"a.usc"_s} << QStringList() << u"a.usc"_s << true
                                 << int(MessageAnswer::Yes) << QStringList() << false;
}

void MainWindowCommandsTest::deleteScript() {
    QFETCH(QStringList, scripts);
    QFETCH(QStringList, marked);
    QFETCH(QString, target);
    QFETCH(bool, byKey);
    QFETCH(int, answer);
    QFETCH(QStringList, left);
    QFETCH(bool, run);
    WindowFixture f;
    for (const QString& name : scripts)
        f.zipScript(name);
    f.open();
    f.mark(marked);
    f.clickRow(f.rowOf(target));
    if (answer >= 0)
        f.dialogs.answers = {MessageAnswer(answer)};
    if (byKey)
        QTest::keyClick(f.list(), Qt::Key_Delete);
    else
        f.click("deleteButton");

    const MessageRequest& asked = f.dialogs.messages.last();
    QCOMPARE(asked.text, u"Are you sure you want to delete the selected script?"_s);
    QCOMPARE(asked.defaultButton, MessageAnswer::No);
    QCOMPARE(f.column(kFileNameColumn), left);
    QCOMPARE(QDir(f.settings.scriptFilePath).entryList(QDir::Files), left);
    QCOMPARE(f.button("runButton")->isEnabled(), run);
    for (const char* name :
         {"editButton", "deleteButton", "copyButton", "selectButton", "openButton"})
        QCOMPARE(f.button(name)->isEnabled(), !left.isEmpty());
    QCOMPARE(f.list()->toolTip().isEmpty(), left.isEmpty());
    if (!left.isEmpty())
        QVERIFY(f.list()->currentIndex().isValid());
}

void MainWindowCommandsTest::failedFileOperation_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("error");
    QTest::newRow("delete of a read-only file") << u"deleteButton"_s << EACCES;
    QTest::newRow("copy beyond the file size limit") << u"copyButton"_s << EFBIG;
}

// A failed delete or copy leaves the rows and the files as they were, and
// tells the user why.
void MainWindowCommandsTest::failedFileOperation() {
    QFETCH(QString, command);
    QFETCH(int, error);
    WindowFixture f;
    f.zipScript(u"a.zsc"_s);
    f.open();
    f.clickRow(0);
    const QString path = f.scriptPath(u"a.zsc"_s);
    QString failed = u"Unable to delete file "_s + path;
    rlimit before{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    if (error == EACCES) {
        QFile::setPermissions(path, QFile::ReadOwner);
        f.dialogs.answers = {MessageAnswer::Yes};
    } else {
        failed = u"Unable to copy file "_s + path + u" to "_s + f.scriptPath(u"b.zsc"_s);
        f.dialogs.texts = {u"b"_s};
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit tiny = before;
        tiny.rlim_cur = 8;
        ::setrlimit(RLIMIT_FSIZE, &tiny);
    }
    f.click(qPrintable(command));
    ::setrlimit(RLIMIT_FSIZE, &before);
    QVERIFY(f.dialogs.events.contains(u"message: "_s + failed + u". Error "_s +
                                      QString::number(error) + u" : "_s +
                                      ErrorFromErrno(error).description));
    QCOMPARE(f.column(kFileNameColumn), QStringList{u"a.zsc"_s});
    QCOMPARE(QDir(f.settings.scriptFilePath).entryList(QDir::Files), QStringList{u"a.zsc"_s});
}

void MainWindowCommandsTest::missingScript_data() {
    QTest::addColumn<QString>("command"); // a button, or "F8"
    QTest::addColumn<bool>("emptied");    // emptied instead of removed
    QTest::newRow("Edit") << u"editButton"_s << false;
    QTest::newRow("Delete") << u"deleteButton"_s << true;
    QTest::newRow("Copy") << u"copyButton"_s << false;
    QTest::newRow("Open") << u"openButton"_s << true;
    QTest::newRow("F8") << u"F8"_s << false;
}

void MainWindowCommandsTest::missingScript() {
    QFETCH(QString, command);
    QFETCH(bool, emptied);
    WindowFixture f;
    f.unzipScript(u"gone.usc"_s);
    f.open();
    if (emptied)
        f.writeFile("scripts/gone.usc", {});
    else
        QFile::remove(f.scriptPath(u"gone.usc"_s));
    f.clickRow(0);
    if (command == u"F8")
        f.key(Qt::Key_F8);
    else
        f.click(qPrintable(command));
    QCOMPARE(f.dialogs.events,
             (QStringList{u"beep"_s, u"message: Script file "_s + f.scriptPath(u"gone.usc"_s) +
                                         u" does not exist."_s}));
    QVERIFY(f.viewer.opened.isEmpty());
    QCOMPARE(f.column(kFileNameColumn), QStringList{u"gone.usc"_s});
}

void MainWindowCommandsTest::viewerKeys_data() {
    QTest::addColumn<QString>("script"); // empty: no scripts at all
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("opened"); // relative to the program folder
    QTest::newRow("F8") << u"a b.zsc"_s << int(Qt::Key_F8) << 0 << u"scripts/a b.zsc"_s;
    QTest::newRow("Shift+F8") << u"a.zsc"_s << int(Qt::Key_F8) << int(Qt::ShiftModifier)
                              << QString();
    QTest::newRow("F8, Open disabled") << QString() << int(Qt::Key_F8) << 0 << QString();
    QTest::newRow("F1") << QString() << int(Qt::Key_F1) << 0 << u"faq.fil"_s;
    QTest::newRow("Ctrl+F1") << u"a.zsc"_s << int(Qt::Key_F1) << int(Qt::ControlModifier)
                             << QString();
    QTest::newRow("F1, no viewer") << QString() << int(Qt::Key_F1) << 0 << u"faq.fil"_s;
}

void MainWindowCommandsTest::viewerKeys() {
    QFETCH(QString, script);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, opened);
    WindowFixture f;
    f.viewer.starts = !QByteArray(QTest::currentDataTag()).endsWith("no viewer");
    if (!script.isEmpty())
        f.zipScript(script);
    f.open();
    if (!script.isEmpty())
        f.clickRow(0);
    f.key(key, Qt::KeyboardModifiers(modifiers));
    QCOMPARE(f.viewer.opened,
             opened.isEmpty() ? QStringList() : QStringList{f.path(qPrintable(opened))});
    QVERIFY(f.dialogs.events.isEmpty());
    QCOMPARE(f.messages().split(u'\n').contains(u"No text viewer could be started for "_s +
                                                f.path("faq.fil") + u'.'),
             !f.viewer.starts);
}

void MainWindowCommandsTest::addThroughChooser() {
    WindowFixture f;
    f.open();
    QVERIFY(!f.button("editButton")->isEnabled());
    f.dialogs.picks = {f.path("src/Data.ZIP"), f.path("out")};
    QStringList seen;
    WindowFixture::whenModal([&](QDialog* chooser) {
        seen.append(chooser->windowTitle());
        QVERIFY(chooser->findChild<QRadioButton*>(u"zipChoice"_s)->isChecked());
        // Zip first: its editor opens and is closed untouched.
        WindowFixture::whenModal(
            [&](QDialog* editor) {
                seen.append(editor->windowTitle());
                editor->reject();
            },
            chooser);
        chooser->findChild<QPushButton*>(u"okButton"_s)->click();
        chooser->findChild<QRadioButton*>(u"unzipChoice"_s)->click();
        WindowFixture::whenModal(
            [&](QDialog* editor) {
                seen.append(editor->windowTitle());
                editor->findChild<QPushButton*>(u"chooseZipFileButton"_s)->click();
                editor->findChild<QPushButton*>(u"addDirectoryButton"_s)->click();
                editor->findChild<QLineEdit*>(u"scriptNameBox"_s)->setText(u"restore"_s);
                editor->findChild<QLineEdit*>(u"descriptionBox"_s)->setText(u"get data back"_s);
                editor->findChild<QPushButton*>(u"saveButton"_s)->click();
            },
            chooser);
        chooser->findChild<QPushButton*>(u"okButton"_s)->click();
        seen.append(chooser->isVisible() ? u"chooser open"_s : u"chooser closed"_s);
        chooser->findChild<QPushButton*>(u"cancelButton"_s)->click();
    });
    f.click("addButton");
    QCOMPARE(seen, (QStringList{u"Enter type of script to create"_s,
                                u"Tarvik - Add a new zip script file"_s,
                                u"Tarvik - Add a new unzip script file"_s, u"chooser open"_s}));
    QCOMPARE(f.column(kFileNameColumn), QStringList{u"restore.usc"_s});
    QCOMPARE(f.cell(0, kTypeColumn), u"Unzip"_s);
    QCOMPARE(f.cell(0, kDescriptionColumn), u"get data back"_s);
    QCOMPARE(f.key(u"restore.usc"_s, "ZipFile"), f.path("src/Data"));
    QCOMPARE(f.key(u"restore.usc"_s, "Dir1"), f.path("out"));
    QVERIFY(f.button("editButton")->isEnabled());
    QVERIFY(f.button("openButton")->isEnabled());
    QCOMPARE(f.list()->toolTip(), u" Double-click on script to execute "_s);
}

void MainWindowCommandsTest::editUnzipScript() {
    WindowFixture f;
    f.unzipScript(u"a.usc"_s, {{u"Description"_s, u"old"_s}});
    f.unzipScript(u"b.usc"_s, {{u"Description"_s, u"other"_s}});
    f.open();
    f.clickRow(f.rowOf(u"b.usc"_s));
    QString title;
    WindowFixture::whenModal([&](QDialog* editor) {
        title = editor->windowTitle();
        editor->findChild<QLineEdit*>(u"scriptNameBox"_s)->setText(u"c"_s);
        editor->findChild<QLineEdit*>(u"descriptionBox"_s)->setText(u"renamed"_s);
        editor->findChild<QPushButton*>(u"saveButton"_s)->click();
        editor->findChild<QPushButton*>(u"closeButton"_s)->click();
    });
    f.click("editButton");
    QCOMPARE(title, u"Tarvik - Edit unzip script file b.usc"_s);
    QCOMPARE(f.column(kFileNameColumn), (QStringList{u"a.usc"_s, u"c.usc"_s}));
    QCOMPARE(f.column(kDescriptionColumn), (QStringList{u"old"_s, u"renamed"_s}));
    QCOMPARE(QDir(f.settings.scriptFilePath).entryList(QDir::Files),
             (QStringList{u"a.usc"_s, u"c.usc"_s}));
    QVERIFY(f.dialogs.messages.isEmpty());
}

// The zip editor opened from the window renames the script and its row; the
// keys the editor does not own travel with the file.
void MainWindowCommandsTest::editZipScriptKeepsItsKeys() {
    WindowFixture f;
    f.zipScript(u"a.zsc"_s, {{u"Description"_s, u"nightly"_s},
                             {u"LastRun"_s, f.kStamp},
                             {u"Recipient1"_s, u"ops@example.org"_s}});
    f.open();
    f.clickRow(f.rowOf(u"a.zsc"_s));
    QString title;
    WindowFixture::whenModal([&](QDialog* editor) {
        title = editor->windowTitle();
        editor->findChild<QLineEdit*>(u"scriptNameBox"_s)->setText(u"weekly"_s);
        editor->findChild<QPushButton*>(u"saveButton"_s)->click();
        editor->findChild<QPushButton*>(u"closeButton"_s)->click();
    });
    f.click("editButton");
    QCOMPARE(title, u"Tarvik - Edit zip script file a.zsc"_s);
    QCOMPARE(f.column(kFileNameColumn), QStringList{u"weekly.zsc"_s});
    QCOMPARE(f.cell(0, kDescriptionColumn), u"nightly"_s);
    QCOMPARE(QDir(f.settings.scriptFilePath).entryList(QDir::Files), QStringList{u"weekly.zsc"_s});
    QCOMPARE(f.key(u"weekly.zsc"_s, "LastRun"), f.kStamp);
    QCOMPARE(f.key(u"weekly.zsc"_s, "Recipient1"), u"ops@example.org"_s);
    QCOMPARE(f.key(u"weekly.zsc"_s, "File1"), f.path("src/data.txt"));
}

void MainWindowCommandsTest::optionsRelist_data() {
    QTest::addColumn<QString>("folder"); // picked as the new script folder
    QTest::addColumn<bool>("save");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("saved") << u"other"_s << true << QStringList{u"n.usc"_s};
    QTest::newRow("not saved") << u"other"_s << false << QStringList{u"a.zsc"_s};
    QTest::newRow("letter case differs") << u"Scripts"_s << true << QStringList{u"m.zsc"_s};
}

void MainWindowCommandsTest::optionsRelist() {
    QFETCH(QString, folder);
    QFETCH(bool, save);
    QFETCH(QStringList, listed);
    WindowFixture f;
    f.zipScript(u"a.zsc"_s);
    for (const char* sub : {"other", "Scripts"})
        QDir(f.root.path()).mkpath(QString::fromLatin1(sub));
    f.writeFile("other/n.usc", "[Options]\r\nDescription=n\r\n");
    f.writeFile("Scripts/m.zsc", "[Options]\r\nDescription=m\r\n");
    f.open();
    f.dialogs.picks = {f.root.filePath(folder)};
    f.dialogs.answers = {MessageAnswer::No}; // the question on closing unsaved
    WindowFixture::whenModal([&](QDialog* options) {
        options->findChild<QPushButton*>(u"chooseScriptFolderButton"_s)->click();
        if (save)
            options->findChild<QPushButton*>(u"saveButton"_s)->click();
        options->findChild<QPushButton*>(u"closeButton"_s)->click();
    });
    f.click("optionsButton");
    QCOMPARE(f.column(kFileNameColumn), listed);
    QCOMPARE(f.settings.scriptFilePath, save ? f.root.filePath(folder) : f.path("scripts"));
    QCOMPARE(f.dialogs.messages.size(), save ? 0 : 1);
}

QTEST_MAIN(MainWindowCommandsTest)
#include "tst_main_window_commands.moc"
