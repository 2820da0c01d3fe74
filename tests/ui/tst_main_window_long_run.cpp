// Three marked scripts, the first building a large archive on the worker
// thread: meanwhile the window turns its event loop, refuses every way of
// closing, and takes Terminate, which is honoured once the long script ends,
// or at once when it is pressed again and the stop confirmed.
#include "ArchiveTools.h"
#include "WindowFixture.h"

#include <QAction>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QSystemTrayIcon>
#include <QTimer>

using namespace tarvik;
using namespace Qt::StringLiterals;

class MainWindowLongRunTest : public QObject {
    Q_OBJECT
private slots:
    void terminateAndCloseDuringLongScript();
    void stopNow();

private:
    // a.zsc zips 8 MB of random letters of four at level 9 ("Best"), which
    // deflate shrinks slowly (about 1 MB/s); b.zsc and c.zsc a small file each.
    static void openWithBigScript(WindowFixture& f) {
        QFile big(f.path("src/big.bin"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QList<quint32> chunk(256 * 1024);
        for (int i = 0; i < 8; ++i) {
            QRandomGenerator::global()->fillRange(chunk.data(), chunk.size());
            char* bytes = reinterpret_cast<char*>(chunk.data());
            for (int at = 0; at < (1 << 20); ++at)
                bytes[at] = "ACGT"[bytes[at] & 3];
            QCOMPARE(big.write(bytes, 1 << 20), 1 << 20);
        }
        f.setKeys(u"a.zsc"_s, {{u"File1"_s, f.path("src/big.bin")},
                               {u"Dir1"_s, f.path("out")},
                               {u"ZipFile"_s, u"big"_s},
                               {u"CompressionMode"_s, u"Best"_s}});
        f.zipScript(u"b.zsc"_s);
        f.zipScript(u"c.zsc"_s);
        f.open();
    }
};

const QString kStopping =
    u"\nStopping after the current script. Press Terminate again to stop it now."_s;

void MainWindowLongRunTest::terminateAndCloseDuringLongScript() {
    WindowFixture f;
    openWithBigScript(f);
    f.click("selectAllButton");
    int closes = 0;
    connect(f.form.get(), &MainWindow::closed, [&closes] { ++closes; });
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(20);

    f.click("runButton");
    // The runner has stamped the script: the big archive is being built.
    QTRY_VERIFY_WITH_TIMEOUT(!f.key(u"a.zsc"_s, "LastRun").isEmpty(), 60000);
    const int ticksThen = ticks;
    QTRY_VERIFY(ticks > ticksThen + 2);

    QVERIFY(!f.form->close());
    f.key(Qt::Key_Escape);
    f.form->findChild<QAction*>(u"trayCloseItem"_s)->trigger();
    QVERIFY(f.form->isVisible() && f.form->runInProgress());
    QVERIFY(f.form->findChild<QSystemTrayIcon*>()->isVisible());
    QCOMPARE(closes, 0);

    QVERIFY(f.button("terminateButton")->isVisible() && f.button("terminateButton")->isEnabled());
    f.click("terminateButton");
    QTRY_VERIFY_WITH_TIMEOUT(!f.form->runInProgress(), 600000);
    QCOMPARE(f.messages(), u"Script a.zsc started "_s + f.kStamp + u"."_s + kStopping +
                               u"\nScript a.zsc finished "_s + f.kStamp +
                               u".\nScript execution terminated by user."_s);
    QCOMPARE(archiveMembers(f.path("out/big.zip")), QStringList{u"big.bin"_s});
    QCOMPARE(f.key(u"b.zsc"_s, "LastRun") + f.key(u"c.zsc"_s, "LastRun"), QString());

    // Idle again: the window closes and takes its tray icon along.
    QVERIFY(f.form->close());
    QCOMPARE(closes, 1);
    QVERIFY(!f.form->findChild<QSystemTrayIcon*>()->isVisible());
}

// The bar moves within the running script's third and names its file; a
// second Terminate asks, and Yes cuts the build short: no archive anywhere.
void MainWindowLongRunTest::stopNow() {
    WindowFixture f;
    openWithBigScript(f);
    f.click("selectAllButton");
    auto* bar = f.find<QProgressBar>("runProgress");
    f.click("runButton");
    QTRY_VERIFY_WITH_TIMEOUT(bar->value() > 0, 60000);
    QVERIFY(bar->property("percent").toDouble() < 100.0 / 3);
    QVERIFY2(bar->format().endsWith(u"/big.bin"_s), qPrintable(bar->format()));
    f.click("terminateButton");
    f.dialogs.answers = {MessageAnswer::Yes};
    f.click("terminateButton");
    QTRY_VERIFY_WITH_TIMEOUT(!f.form->runInProgress(), 600000);
    QCOMPARE(f.dialogs.events,
             QStringList{u"message: Stop the running script now? Nothing is copied or deleted."_s});
    QCOMPARE(f.dialogs.messages[0].defaultButton, MessageAnswer::No);
    QCOMPARE(f.messages(), u"Script a.zsc started "_s + f.kStamp + u"."_s + kStopping +
                               u"\nScript a.zsc aborted due to error at "_s + f.kStamp +
                               u". Review file "_s + f.path("log/errors.txt") +
                               u".\nScript execution terminated by user."_s);
    QFile log(f.path("log/errors.txt"));
    QVERIFY(log.open(QIODevice::ReadOnly) &&
            log.readAll().endsWith("a.zsc  Aborted : Stopped by the user.\r\n"));
    QCOMPARE(QDir(f.path("out")).entryList(QDir::Files | QDir::Hidden), QStringList{});
}

QTEST_MAIN(MainWindowLongRunTest)
#include "tst_main_window_long_run.moc"
