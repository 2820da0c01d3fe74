// Three marked scripts, the first building a large archive on the worker
// thread: meanwhile the window turns its event loop, refuses every way of
// closing, and takes Terminate, which is honoured once the long script ends.
#include "ArchiveTools.h"
#include "WindowFixture.h"

#include <QAction>
#include <QRandomGenerator>
#include <QSystemTrayIcon>
#include <QTimer>

using namespace tarvik;
using namespace Qt::StringLiterals;

class MainWindowLongRunTest : public QObject {
    Q_OBJECT
private slots:
    void terminateAndCloseDuringLongScript();
};

void MainWindowLongRunTest::terminateAndCloseDuringLongScript() {
    WindowFixture f;
    {
        // 200 MB that deflate cannot shrink, zipped at level 9 ("Best").
        QFile big(f.path("src/big.bin"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QList<quint32> chunk(256 * 1024);
        for (int i = 0; i < 200; ++i) {
            QRandomGenerator::global()->fillRange(chunk.data(), chunk.size());
            QCOMPARE(big.write(reinterpret_cast<const char*>(chunk.data()), 1 << 20), 1 << 20);
        }
    }
    f.setKeys(u"a.zsc"_s, {{u"File1"_s, f.path("src/big.bin")},
                           {u"Dir1"_s, f.path("out")},
                           {u"ZipFile"_s, u"big"_s},
                           {u"CompressionMode"_s, u"Best"_s}});
    f.zipScript(u"b.zsc"_s);
    f.zipScript(u"c.zsc"_s);
    f.open();
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
    QCOMPARE(f.messages(), u"Script a.zsc started "_s + f.kStamp + u".\nScript a.zsc finished "_s +
                               f.kStamp + u".\nScript execution terminated by user."_s);
    QCOMPARE(archiveMembers(f.path("out/big.zip")), QStringList{u"big.bin"_s});
    QCOMPARE(f.key(u"b.zsc"_s, "LastRun") + f.key(u"c.zsc"_s, "LastRun"), QString());

    // Idle again: the window closes and takes its tray icon along.
    QVERIFY(f.form->close());
    QCOMPARE(closes, 1);
    QVERIFY(!f.form->findChild<QSystemTrayIcon*>()->isVisible());
}

QTEST_MAIN(MainWindowLongRunTest)
#include "tst_main_window_long_run.moc"
