// The windows as a desktop user meets them: resizing, remembered places, a
// time stamp that fits, archives that do not exist yet, names refused at
// save, passwords of any language, files dropped from a file manager.
#include "ArchiveTools.h"
#include "WindowFixture.h"
#include "runner/ZipRunner.h"
#include "storage/Scramble.h"
#include "ui/editors/EditorFixture.h"
#include "ui/editors/UnzipScriptEditor.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QSpinBox>
#include <QUrl>

using namespace tarvik;
using namespace Qt::StringLiterals;

using UnzipFixture = EditorFixtureFor<UnzipScriptEditor>;

namespace {

void drop(QWidget* target, const QStringList& paths) {
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    data.setUrls(urls);
    // As a drag from a file manager arrives: entering first, then the drop.
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

QString touch(const QTemporaryDir& root, const QString& name) {
    const QString path = root.filePath(name);
    QDir().mkpath(QFileInfo(path).path());
    QFile(path).open(QIODevice::WriteOnly);
    return path;
}

} // namespace

class DesktopWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void editorsGrowAndRemember_data();
    void editorsGrowAndRemember();
    void lastRunFitsATimeStamp();
    void unzipEditorNamesAnArchiveNotMadeYet();
    void unusableNamesRefusedAtSave_data();
    void unusableNamesRefusedAtSave();
    void passwordOfAnyLanguageOpensItsArchive();
    void droppedFilesBecomeEntries();
};

void DesktopWindowsTest::editorsGrowAndRemember_data() {
    QTest::addColumn<bool>("zip");
    QTest::newRow("zip script editor") << true;
    QTest::newRow("unzip script editor") << false;
}

// Larger, the lists take the room; closed and opened again, the window
// comes back with that size at that place.
void DesktopWindowsTest::editorsGrowAndRemember() {
    QFETCH(bool, zip);
    EditorFixture zf;
    UnzipFixture uf;
    zf.settings.settingsFile = zf.root.filePath(u"tarvik.ini"_s);
    uf.settings.settingsFile = zf.settings.settingsFile;
    const auto open = [&]() -> QDialog& {
        return zip ? static_cast<QDialog&>(zf.open(true)) : static_cast<QDialog&>(uf.open(true));
    };
    QDialog& first = open();
    const QSize designed = first.size();
    QCOMPARE(first.minimumSize(), designed);
    auto* list = first.findChild<QListWidget*>(u"directoryList"_s);
    const QSize listBefore = list->size();
    first.resize(designed + QSize(400, 300));
    first.move(30, 40);
    QApplication::processEvents();
    QVERIFY2(list->width() >= listBefore.width() + 150, qPrintable(QString::number(list->width())));
    QVERIFY(list->height() > listBefore.height());
    first.reject();
    QDialog& second = open();
    QCOMPARE(second.size(), designed + QSize(400, 300));
    QCOMPARE(second.pos(), QPoint(30, 40));
}

void DesktopWindowsTest::lastRunFitsATimeStamp() {
    WindowFixture f;
    QFont big = QApplication::font();
    big.setPointSize(big.pointSize() + 6);
    QApplication::setFont(big);
    MainWindow& window = f.open();
    QApplication::setFont(QFont());
    const int needed =
        window.findChild<QTreeView*>(u"scriptList"_s)->fontMetrics().horizontalAdvance(f.kStamp);
    QVERIFY(f.list()->header()->sectionSize(kLastRunColumn) > needed);
}

// A restore job written before its backup ever ran: the picker takes a new
// name, and a typed one works too.
void DesktopWindowsTest::unzipEditorNamesAnArchiveNotMadeYet() {
    UnzipFixture f;
    QDir(f.root.path()).mkpath(u"later"_s);
    f.open(true);
    f.dialogs.picks = {f.root.filePath(u"later/Backup.ZIP"_s)};
    f.click("chooseZipFileButton");
    QCOMPARE(f.find<QLineEdit>("zipFileBox")->text(), f.root.filePath(u"later/Backup"_s));
    f.addDirs({f.root.filePath(u"out"_s)});
    f.setText("scriptNameBox", u"restore"_s);
    f.setText("descriptionBox", u"restore it"_s);
    f.setText("zipFileBox", u"later/typed"_s);
    f.click("saveButton");
    QVERIFY(f.status().startsWith(u"Please enter the file to unzip with its full path"_s));
    f.setText("zipFileBox", f.root.filePath(u"later/typed"_s));
    f.click("saveButton");
    QCOMPARE(f.key(u"restore.usc"_s, "ZipFile"), f.root.filePath(u"later/typed"_s));
}

void DesktopWindowsTest::unusableNamesRefusedAtSave_data() {
    QTest::addColumn<bool>("zip");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    QTest::newRow("zip file name with /") << true << "zipFileBox"
                                          << "daily/backup"
                                          << "A zip file name cannot hold the character \"/\".";
    QTest::newRow("zip file name ..") << true << "zipFileBox"
                                      << ".."
                                      << "A zip file name cannot hold the character \".\".";
    QTest::newRow("zip script name with \\")
        << true << "scriptNameBox"
        << "a\\b"
        << "A script file name cannot hold the character \"\\\".";
    QTest::newRow("unzip script name with /")
        << false << "scriptNameBox"
        << "../out"
        << "A script file name cannot hold the character \"/\".";
}

void DesktopWindowsTest::unusableNamesRefusedAtSave() {
    QFETCH(bool, zip);
    QFETCH(QString, box);
    QFETCH(QString, value);
    QFETCH(QString, message);
    EditorFixture zf;
    UnzipFixture uf;
    const auto fill = [&](auto& f) {
        f.open(true);
        f.addDirs({f.root.filePath(u"out"_s)});
        if (zip)
            f.addSpecs({f.root.filePath(u"a.txt"_s)});
        else
            f.setText("zipFileBox", f.root.filePath(u"in"_s));
        for (const char* name : {"zipFileBox", "scriptNameBox", "descriptionBox"})
            if (f.template find<QLineEdit>(name)->text().isEmpty())
                f.setText(name, u"x"_s);
        f.setText(box.toLatin1().constData(), value);
        f.click("saveButton");
        QVERIFY2(f.status().startsWith(message), qPrintable(f.status()));
        QCOMPARE(QDir(f.settings.scriptFilePath).entryList(QDir::Files), QStringList{});
    };
    if (zip)
        fill(zf);
    else
        fill(uf);
}

// Saved by the editor, scrambled into the UTF-8 script, read back by the run,
// and the archive (a dated version) opens in 7-Zip with the same words.
void DesktopWindowsTest::passwordOfAnyLanguageOpensItsArchive() {
    const QString password = u"Grüße пароль"_s;
    EditorFixture f;
    QFile(touch(f.root, u"src/a.txt"_s)).open(QIODevice::WriteOnly);
    f.open(true);
    f.addSpecs({f.root.filePath(u"src/a.txt"_s)});
    f.addDirs({f.root.filePath(u"out"_s)});
    QDir(f.root.path()).mkpath(u"out"_s);
    f.setText("zipFileBox", u"secret"_s);
    f.setText("scriptNameBox", u"secret"_s);
    f.setText("descriptionBox", u"d"_s);
    f.setText("passwordBox", password);
    f.find<QSpinBox>("versionsSpin")->setValue(2);
    f.click("saveButton");
    QCOMPARE(Unscramble(f.key(u"secret.zsc"_s, "Password")), password);
    QCOMPARE(f.key(u"secret.zsc"_s, "Versions"), u"2"_s);
    f.settings.errorFilePath = f.root.path();
    RunContext context(f.settings);
    context.tempFolder = f.root.filePath(u"tmp"_s);
    context.clock = [] { return QDateTime(QDate(2026, 12, 6), QTime(18, 30, 5)); };
    QCOMPARE(int(RunZipScript(u"secret.zsc"_s, context)), 0);
    const QString archive = f.root.filePath(u"out/secret-20261206-183005.zip"_s);
    QVERIFY(sevenZipTestPasses(archive, password));
    QVERIFY(!sevenZipTestPasses(archive, u"Gruse parol"_s));
}

// Two files and a folder make three entries, a folder meaning all its files;
// dropped again they are duplicates. Directory lists take folders only; an
// archive dropped on the unzip editor becomes its archive.
void DesktopWindowsTest::droppedFilesBecomeEntries() {
    EditorFixture f;
    const QString a = touch(f.root, u"d/a.txt"_s);
    const QString b = touch(f.root, u"d/b.txt"_s);
    const QString sub = f.root.filePath(u"d/sub"_s);
    QDir().mkpath(sub);
    f.open(true);
    auto* specs = f.find<QListWidget>("fileSpecList");
    drop(specs->viewport(), {a, b, sub});
    QCOMPARE(f.lines("fileSpecList"), (QStringList{a, b, sub + u"/*.*"_s}));
    QVERIFY(f.saveEnabled());
    drop(specs->viewport(), {b});
    QCOMPARE(f.lines("fileSpecList").size(), 3);
    QCOMPARE(f.status(), u"Item already exists."_s);
    drop(f.find<QListWidget>("directoryList")->viewport(), {a, sub});
    QCOMPARE(f.lines("directoryList"), QStringList{sub});

    UnzipFixture u;
    const QString archive = touch(u.root, u"in/Night.Zip"_s);
    u.open(true);
    drop(u.form.get(), {touch(u.root, u"notes.txt"_s)});
    QVERIFY(u.find<QLineEdit>("zipFileBox")->text().isEmpty());
    drop(u.form.get(), {archive});
    QCOMPARE(u.find<QLineEdit>("zipFileBox")->text(), u.root.filePath(u"in/Night"_s));
}

QTEST_MAIN(DesktopWindowsTest)
#include "tst_desktop_windows.moc"
