// The windows as a desktop user meets them: resizing, remembered places, a
// time stamp that fits, archives that do not exist yet, names refused at
// save, passwords of any language, files dropped from a file manager.
#include "ArchiveTools.h"
#include "WindowFixture.h"
#include "runner/ZipRunner.h"
#include "storage/ProfileFile.h"
#include "storage/Scramble.h"
#include "ui/editors/EditorFixture.h"

using namespace tarvik;

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

struct Editor : EditorFixture {
    QString touch(const QString& name) {
        append(name, {});
        return path(name);
    }
    template <class T = QLineEdit> T* find(const QString& name) const {
        return form->findChild<T*>(name);
    }
    void set(const QString& box, const QString& text) const { find(box)->setText(text); }
    QString status() const { return find<QPlainTextEdit>(u"messagesBox"_s)->toPlainText(); }
    QStringList lines(const QString& name) const {
        QStringList texts;
        const auto* list = find<QListWidget>(name);
        for (int row = 0; row < list->count(); ++row)
            texts << list->item(row)->text();
        return texts;
    }
    // A new script of the kind with its lists filled, as a user would.
    void fill(bool zip) {
        QDir(root.path()).mkpath(u"out"_s);
        touch(u"src/a.txt"_s);
        // Paths as %r: steps read "_" as a blank.
        play((zip ? u"zip !p:%r/src/a.txt !No addFileSpecButton "_s : u"unzip "_s) +
             u"!p:%r/out addDirectoryButton"_s);
        for (const QString& name : {u"zipFileBox"_s, u"scriptNameBox"_s, u"descriptionBox"_s})
            if (find(name)->text().isEmpty())
                set(name, name == u"zipFileBox"_s && !zip ? path(u"in"_s) : u"x"_s);
    }
};

} // namespace

class DesktopWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void editorsGrowAndRemember_data() {
        QTest::addColumn<QString>("editor");
        QTest::newRow("zip script editor") << u"zip"_s;
        QTest::newRow("unzip script editor") << u"unzip"_s;
    }
    // Larger, the lists take the room; closed and opened again, the window
    // comes back with that size at that place.
    void editorsGrowAndRemember() {
        QFETCH(QString, editor);
        Editor f;
        f.settings.settingsFile = f.path(u"tarvik.ini"_s);
        f.play(editor);
        const QSize designed = f.form->size();
        QCOMPARE(f.form->minimumSize(), designed);
        auto* list = f.find<QListWidget>(u"directoryList"_s);
        const QSize listBefore = list->size();
        f.form->resize(designed + QSize(400, 300));
        f.form->move(30, 40);
        QApplication::processEvents();
        QVERIFY2(list->width() >= listBefore.width() + 150,
                 qPrintable(QString::number(list->width())));
        QVERIFY(list->height() > listBefore.height());
        f.form->reject();
        f.play(editor);
        QCOMPARE(f.form->size(), designed + QSize(400, 300));
        QCOMPARE(f.form->pos(), QPoint(30, 40));
    }

    void lastRunFitsATimeStamp() {
        WindowFixture f;
        QFont big = QApplication::font();
        big.setPointSize(big.pointSize() + 6);
        QApplication::setFont(big);
        f.open();
        QApplication::setFont(QFont());
        const int needed = f.list()->fontMetrics().horizontalAdvance(f.kStamp);
        QVERIFY(f.list()->header()->sectionSize(kLastRunColumn) > needed);
    }

    // A restore job written before its backup ever ran: the picker takes a
    // new name, and a typed one works too when it is a full path.
    void unzipEditorNamesAnArchiveNotMadeYet() {
        Editor f;
        QDir(f.root.path()).mkpath(u"later"_s);
        f.fill(false);
        f.play(u"!p:%r/later/Backup.ZIP chooseZipFileButton"_s);
        QCOMPARE(f.find(u"zipFileBox"_s)->text(), f.path(u"later/Backup"_s));
        f.play(u"zipFileBox=later/typed saveButton"_s);
        QVERIFY(f.status().startsWith(u"Please enter the file to unzip with its full path"_s));
        f.play(u"zipFileBox=%r/later/typed saveButton"_s);
        QCOMPARE(ReadIni(u"Options"_s, u"ZipFile"_s, {}, f.path(u"x.usc"_s)),
                 f.path(u"later/typed"_s));
    }

    void unusableNamesRefusedAtSave_data() {
        QTest::addColumn<bool>("zip");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message");
        QTest::newRow("zip file name with /")
            << true << u"zipFileBox"_s << u"daily/backup"_s
            << u"A zip file name cannot hold the character \"/\"."_s;
        QTest::newRow("zip file name ..") << true << u"zipFileBox"_s << u".."_s
                                          << u"A zip file name cannot hold the character \".\"."_s;
        QTest::newRow("zip script name with \\")
            << true << u"scriptNameBox"_s << u"a\\b"_s
            << u"A script file name cannot hold the character \"\\\"."_s;
        QTest::newRow("unzip script name with /")
            << false << u"scriptNameBox"_s << u"../out"_s
            << u"A script file name cannot hold the character \"/\"."_s;
    }
    void unusableNamesRefusedAtSave() {
        QFETCH(bool, zip);
        QFETCH(QString, box);
        QFETCH(QString, value);
        QFETCH(QString, message);
        Editor f;
        f.fill(zip);
        f.set(box, value);
        f.play(u"saveButton"_s);
        QVERIFY2(f.status().startsWith(message), qPrintable(f.status()));
        QCOMPARE(QDir(f.root.path()).entryList({u"*sc"_s}, QDir::Files), QStringList{});
    }

    // Saved by the editor, scrambled into the UTF-8 script, read back by the
    // run, and the archive (a dated version) opens in 7-Zip with the same words.
    void passwordOfAnyLanguageOpensItsArchive() {
        const QString password = u"Grüße пароль"_s;
        Editor f;
        f.fill(true);
        f.set(u"passwordBox"_s, password);
        f.find<QSpinBox>(u"versionsSpin"_s)->setValue(2);
        f.play(u"saveButton"_s);
        const auto key = [&](const QString& k) {
            return ReadIni(u"Options"_s, k, {}, f.path(u"x.zsc"_s));
        };
        QCOMPARE(Unscramble(key(u"Password"_s)), password);
        QCOMPARE(key(u"Versions"_s), u"2"_s);
        RunContext context(f.settings);
        context.tempFolder = f.path(u"tmp"_s);
        context.clock = [] { return QDateTime(QDate(2026, 12, 6), QTime(18, 30, 5)); };
        QCOMPARE(int(RunZipScript(u"x.zsc"_s, context)), 0);
        const QString archive = f.path(u"out/x-20261206-183005.zip"_s);
        QVERIFY(sevenZipTestPasses(archive, password));
        QVERIFY(!sevenZipTestPasses(archive, u"Gruse parol"_s));
    }

    // Two files and a folder make three entries, a folder meaning all its
    // files; dropped again they are duplicates. Directory lists take folders
    // only; an archive dropped on the unzip editor becomes its archive.
    void droppedFilesBecomeEntries() {
        Editor f;
        const QString a = f.touch(u"d/a.txt"_s), b = f.touch(u"d/b.txt"_s),
                      sub = f.path(u"d/sub"_s);
        QDir().mkpath(sub);
        f.play(u"zip"_s);
        auto* specs = f.find<QListWidget>(u"fileSpecList"_s)->viewport();
        drop(specs, {a, b, sub});
        QCOMPARE(f.lines(u"fileSpecList"_s), (QStringList{a, b, sub + u"/*.*"_s}));
        QVERIFY(f.find<QPushButton>(u"saveButton"_s)->isEnabled());
        drop(specs, {b});
        QCOMPARE(f.lines(u"fileSpecList"_s).size(), 3);
        QCOMPARE(f.status(), u"Item already exists."_s);
        drop(f.find<QListWidget>(u"directoryList"_s)->viewport(), {a, sub});
        QCOMPARE(f.lines(u"directoryList"_s), QStringList{sub});

        f.play(u"unzip"_s);
        drop(f.form.get(), {f.touch(u"notes.txt"_s)});
        QVERIFY(f.find(u"zipFileBox"_s)->text().isEmpty());
        drop(f.form.get(), {f.touch(u"in/Night.Zip"_s)});
        QCOMPARE(f.find(u"zipFileBox"_s)->text(), f.path(u"in/Night"_s));
    }
};

QTEST_MAIN(DesktopWindowsTest)
#include "tst_desktop_windows.moc"
