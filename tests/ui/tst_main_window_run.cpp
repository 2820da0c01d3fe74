// Running scripts from the window: the marked rows with progress and
// Terminate, a double-clicked row, and each outcome in the list, the script
// file and the messages. Real scripts, real runners, real archives.
#include "ArchiveTools.h"
#include "WindowFixture.h"

#include <QProgressBar>
#include <QRegularExpression>

using namespace tarvik;
using namespace Qt::StringLiterals;

namespace {

const QString S = WindowFixture::kStamp;
QString line(const QString& name, const char* what) {
    return u"Script "_s + name + u' ' + QString::fromLatin1(what) + u' ' + S + u'.';
}

} // namespace

class MainWindowRunTest : public QObject {
    Q_OBJECT
private slots:
    void markedRun();
    void outcomes_data();
    void outcomes();
    void terminate();
};

// Three marked rows of five run in list order; the e-mail step's line comes
// from the worker thread between its script's lines.
void MainWindowRunTest::markedRun() {
    WindowFixture f;
    QCOMPARE(runTool(u"zip"_s, {u"-jq"_s, f.path("src/in.zip"), f.path("src/data.txt")}).exitCode,
             0);
    f.zipScript(u"a.zsc"_s, {{u"Attachment"_s, u"Yes"_s}, {u"EmailAddress1"_s, u"x@y.z"_s}});
    f.zipScript(u"b.zsc"_s);
    f.zipScript(u"c.zsc"_s);
    f.unzipScript(u"d.usc"_s);
    f.unzipScript(u"e.usc"_s);
    f.open();
    f.mark({u"a.zsc"_s, u"c.zsc"_s, u"e.usc"_s});
    auto* bar = f.find<QProgressBar>("runProgress");
    QList<double> progress;
    connect(bar, &QProgressBar::valueChanged, bar,
            [&] { progress.append(bar->property("percent").toDouble()); });
    const QRect runPlace = f.button("runButton")->geometry();

    f.click("runButton");
    QVERIFY(f.form->runInProgress());
    for (QWidget* w : f.form->findChildren<QWidget*>(QRegularExpression(u"Button$|^scriptList$"_s)))
        QVERIFY2(w->isEnabled() == (w->objectName() == u"terminateButton"),
                 qPrintable(w->objectName()));
    QVERIFY(f.find<QWidget>("messagesBox")->isEnabled() && bar->isVisible());
    QVERIFY(!f.button("runButton")->isVisible());
    QTRY_COMPARE(f.button("terminateButton")->geometry(), runPlace);

    QTRY_VERIFY_WITH_TIMEOUT(!f.form->runInProgress(), 60000);
    QStringList lines = f.messages().split(u'\n');
    QCOMPARE(lines.size(), 8);
    // No mail host is set; which reason it gives depends on the machine's network.
    QVERIFY2(lines.takeAt(1).startsWith(u"Unable to send email - "_s), qPrintable(lines[1]));
    QCOMPARE(lines, (QStringList{line(u"a.zsc"_s, "started"),
                                 line(u"a.zsc"_s, "finished"),
                                 line(u"c.zsc"_s, "started"),
                                 line(u"c.zsc"_s, "finished"),
                                 line(u"e.usc"_s, "started"),
                                 line(u"e.usc"_s, "finished"),
                                 {}}));
    QCOMPARE(progress.size(), 4);
    QVERIFY(qFuzzyCompare(progress[0], 100.0 / 3) && qFuzzyCompare(progress[1], 200.0 / 3));
    QCOMPARE(progress.mid(2), (QList<double>{100, 0}));
    QCOMPARE(archiveMembers(f.path("out/c.zip")), QStringList{u"data.txt"_s});
    QVERIFY(QFile::exists(f.path("out/e.usc/data.txt")));
    QCOMPARE(f.column(kLastRunColumn), (QStringList{S, {}, S, {}, S}));
    QCOMPARE(f.key(u"b.zsc"_s, "LastRun"), QString());

    // Idle again with every control enabled; the marks stay for the next run.
    for (QWidget* w : f.form->findChildren<QWidget*>(QRegularExpression(u"Button$|^scriptList$"_s)))
        QVERIFY2(w->isEnabled() != (w->objectName() == u"terminateButton"),
                 qPrintable(w->objectName()));
    QVERIFY(f.button("runButton")->isVisible() && !f.button("terminateButton")->isVisible());
    QVERIFY(!bar->isVisible());
    QCOMPARE(f.marked(), (QStringList{u"a.zsc"_s, u"c.zsc"_s, u"e.usc"_s}));
}

void MainWindowRunTest::outcomes_data() {
    QTest::addColumn<QString>(
        "script"); // "good" (had failed before), "failing", "deleted", "empty"
    QTest::addColumn<bool>("doubleClick");
    QTest::addColumn<QString>("outcome"); // the line after the started one; "" for none
    QTest::addColumn<QString>("errorCell");
    QTest::addColumn<QString>("errorKey"); // "-" when nothing may be written

    const QString missing = line(u"s.zsc"_s, "aborted") + u" Script file does not exist."_s;
    const QString failed =
        u"Script s.zsc aborted due to error at %1. Review file %2/log/errors.txt."_s;
    for (const bool dc : {false, true}) {
        const char* via = dc ? "double-click" : "Run";
        QTest::addRow("%s, finished", via) << "good" << dc << line(u"s.zsc"_s, "finished") << ""
                                           << "";
        QTest::addRow("%s, aborted", via) << "failing" << dc << failed << "X"
                                          << "X";
    }
    // Rows whose file went away after the list was filled.
    QTest::newRow("Run, file deleted") << "deleted" << false << missing << "X"
                                       << "-";
    QTest::newRow("Run, file emptied") << "empty" << false << missing << "X"
                                       << "-";
    QTest::newRow("double-click, file deleted") << "deleted" << true << ""
                                                << "X"
                                                << "-";
}

void MainWindowRunTest::outcomes() {
    QFETCH(QString, script);
    QFETCH(bool, doubleClick);
    QFETCH(QString, outcome);
    QFETCH(QString, errorCell);
    QFETCH(QString, errorKey);

    WindowFixture f;
    const QString name = u"s.zsc"_s;
    f.zipScript(name, {{u"Error"_s, u"X"_s}}, script != u"failing");
    f.zipScript(u"t.zsc"_s);
    f.open();
    if (script == u"deleted")
        QFile::remove(f.scriptPath(name));
    else if (script == u"empty")
        f.writeFile("scripts/s.zsc", {});
    const QByteArray fileBefore = [&] {
        QFile file(f.scriptPath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    }();

    if (doubleClick) {
        f.mark({u"t.zsc"_s});
        f.clickRow(f.rowOf(name), true);
    } else {
        f.mark({name, u"t.zsc"_s});
        f.click("runButton");
    }
    if (!outcome.isEmpty()) // either way of running keeps the window open meanwhile
        QVERIFY(!f.form->close());
    QTRY_VERIFY_WITH_TIMEOUT(!f.form->scriptRunning(), 60000);

    if (outcome.isEmpty()) {
        // The double-click checks first: beep, then the box with the full path.
        QCOMPARE(f.dialogs.events,
                 (QStringList{u"beep"_s, u"message: Script file "_s + f.scriptPath(name) +
                                             u" does not exist."_s}));
        QCOMPARE(f.dialogs.messages[0].icon, MessageIcon::Exclamation);
        QVERIFY(f.messages().startsWith(u"Welcome"_s));
        QCOMPARE(f.cell(f.rowOf(name), kLastRunColumn), QString());
        return;
    }
    QStringList expected{line(name, "started"), outcome.arg(S, f.root.path())};
    if (!doubleClick) // a failing or missing script never stops the run
        expected << line(u"t.zsc"_s, "started") << line(u"t.zsc"_s, "finished");
    QCOMPARE(f.messages(), expected.join(u'\n') + u'\n');
    const int row = f.rowOf(name);
    QCOMPARE(f.cell(row, kErrorColumn), errorCell);
    QCOMPARE(f.cell(row, kLastRunColumn), S);
    if (errorKey == u"-") {
        QFile file(f.scriptPath(name));
        QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>"),
                 fileBefore);
    } else {
        QCOMPARE(f.key(name, "Error"), errorKey);
    }
    // A double-click run leaves the window's states as they were.
    QVERIFY(f.button("runButton")->isEnabled());
    QVERIFY(f.button("runButton")->isVisible() && !f.button("terminateButton")->isVisible());
}

// Terminate never cuts the running script short: it ends and logs its line,
// then the run stops, saying so without a line break. (Terminate during the
// first of several scripts is the long-run test's case.)
void MainWindowRunTest::terminate() {
    WindowFixture f;
    f.zipScript(u"a.zsc"_s);
    f.open();
    f.mark({u"a.zsc"_s});

    f.click("runButton");
    f.click("terminateButton");
    QTRY_VERIFY_WITH_TIMEOUT(!f.form->runInProgress(), 60000);
    QCOMPARE(f.messages(),
             line(u"a.zsc"_s, "started") +
                 u"\nStopping after the current script. Press Terminate again to stop it now.\n"_s +
                 line(u"a.zsc"_s, "finished") + u"\nScript execution terminated by user."_s);
    QVERIFY(QFile::exists(f.path("out/a.zip")));
    QCOMPARE(f.column(kLastRunColumn), QStringList{S});

    // The request does not outlive its run.
    f.click("runButton");
    QTRY_VERIFY_WITH_TIMEOUT(!f.form->runInProgress(), 60000);
    QVERIFY(!f.messages().contains(u"terminated"_s));
}

QTEST_MAIN(MainWindowRunTest)
#include "tst_main_window_run.moc"
