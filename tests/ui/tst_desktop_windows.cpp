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
    QString shows(const QString& name) const { return state(form.get(), name); }
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

    // Saved by the editor, scrambled into the UTF-8 script, read back by the
    // run, and the archive (a dated version) opens in 7-Zip with the same words.
    void passwordOfAnyLanguageOpensItsArchive() {
        const QString password = u"Grüße пароль"_s;
        Editor f;
        f.touch(u"src/a.txt"_s);
        QDir(f.root.path()).mkpath(u"out"_s);
        // Paths as %r: steps read "_" as a blank.
        f.play(
            u"zip !p:%r/src/a.txt !No addFileSpecButton !p:%r/out addDirectoryButton zipFileBox=x "
            u"scriptNameBox=x descriptionBox=x passwordBox=Grüße_пароль"_s);
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
        const QString three = u"fileSpecList=>"_s + a + u", "_s + b + u", "_s + sub + u"/*.*"_s;
        QCOMPARE(f.shows(u"fileSpecList"_s), three);
        QVERIFY(f.find<QPushButton>(u"saveButton"_s)->isEnabled());
        drop(specs, {b});
        QCOMPARE(f.shows(u"fileSpecList"_s) + f.shows(u"messagesBox"_s),
                 three + u"messagesBox=Item already exists."_s);
        drop(f.find<QListWidget>(u"directoryList"_s)->viewport(), {a, sub});
        QCOMPARE(f.shows(u"directoryList"_s), u"directoryList=>"_s + sub);

        f.play(u"unzip"_s);
        drop(f.form.get(), {f.touch(u"notes.txt"_s)});
        QVERIFY(f.find(u"zipFileBox"_s)->text().isEmpty());
        drop(f.form.get(), {f.touch(u"in/Night.Zip"_s)});
        QCOMPARE(f.find(u"zipFileBox"_s)->text(), f.path(u"in/Night"_s));
    }
};

QTEST_MAIN(DesktopWindowsTest)
#include "tst_desktop_windows.moc"
