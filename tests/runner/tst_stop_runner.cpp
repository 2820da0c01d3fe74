// Runs the user stops end early and leave nothing half made; runs left alone
// report progress that only rises, up to the total.
#include "ArchiveTools.h"
#include "RunnerFixture.h"
#include "runner/UnzipRunner.h"
#include "runner/ZipRunner.h"
#include "storage/FileOps.h"

#include <QRandomGenerator>
#include <QTest>
#include <future>
#include <thread>

using namespace tarvik;
using namespace Qt::StringLiterals;

class StopRunnerTest : public QObject {
    Q_OBJECT
private slots:
    void run_data();
    void run();
};

void StopRunnerTest::run_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("mode"); // the zip script's CompressionMode
    // Thirds of the work done when another thread sets the stop flag; 0 never.
    QTest::addColumn<int>("stopAt");
    for (const int stopAt : {1, 0}) {
        QTest::addRow("zip, deflated, stop at %d/3", stopAt) << "s.zsc"
                                                             << "Best" << stopAt;
        QTest::addRow("zip, stored, stop at %d/3", stopAt) << "s.zsc"
                                                           << "None" << stopAt;
        QTest::addRow("unzip, stop at %d/3", stopAt) << "s.usc"
                                                     << "" << stopAt;
    }
    // Built, but not yet copied: the archive is discarded all the same.
    QTest::newRow("zip, stop at 3/3") << "s.zsc"
                                      << "Fast" << 3;
}

void StopRunnerTest::run() {
    QFETCH(QString, script);
    QFETCH(QString, mode);
    QFETCH(int, stopAt);
    const bool stop = stopAt > 0;
    RunnerFixture fx;
    constexpr int kFiles = 12; // of 2 MiB random bytes
    constexpr qint64 kTotal = qint64(kFiles) << 21;
    QList<quint32> data(512 * 1024);
    for (int i = 0; i < kFiles; ++i) {
        QRandomGenerator::global()->fillRange(data.data(), data.size());
        fx.writeFile(qPrintable(u"src/f%1.bin"_s.arg(i)),
                     QByteArray(reinterpret_cast<const char*>(data.data()), 2 << 20));
    }
    QCOMPARE(runTool(u"zip"_s, {u"-0jqr"_s, fx.path("in.zip"), fx.path("src")}).exitCode, 0);
    const bool zip = script.endsWith(u".zsc"_s);
    fx.writeScript(script, {{u"File1"_s, zip ? u"X,"_s + fx.path("src/*.*") : u"*.*"_s},
                            {u"Dir1"_s, fx.path("out1")},
                            {u"ZipFile"_s, zip ? u"big"_s : fx.path("in")},
                            {u"CompressionMode"_s, mode},
                            {u"Delete"_s, u"Yes"_s}});
    // The engine waits in its report until the other thread has set the flag.
    std::promise<void> reported, stopped;
    std::thread stopper([&] {
        if (stop)
            reported.get_future().wait_for(std::chrono::minutes(1));
        fx.context.stop = stop;
        stopped.set_value();
    });
    QList<std::pair<qint64, qint64>> seen;
    fx.context.progress = [&](qint64 done, qint64 total, const QString&) {
        const qint64 at = kTotal * stopAt / 3;
        if (stop && done >= at && (seen.isEmpty() || seen.last().first < at)) {
            reported.set_value();
            stopped.get_future().wait();
        }
        seen.append({done, total});
    };
    const quint16 result =
        zip ? RunZipScript(script, fx.context) : RunUnzipScript(script, fx.context);
    stopper.join();
    QVERIFY(!seen.isEmpty());
    for (qsizetype i = 0; i < seen.size(); ++i)
        QVERIFY(seen[i].second == kTotal && (i == 0 || seen[i].first >= seen[i - 1].first));
    QCOMPARE(result, stop ? kRunAborted : kRunFinished);
    QVERIFY(stopAt == 1 ? seen.last().first < kTotal * 2 / 3 : seen.last().first == kTotal);
    if (!stop)
        return;
    QCOMPARE(fx.logLines(), QStringList{script + u"  Aborted : Stopped by the user."_s});
    QCOMPARE(ReadIni(u"Options"_s, u"Error"_s, {}, fx.scriptPath(script)), u"X"_s);
    const auto listing = [&](const char* dir) {
        return QDir(fx.path(dir)).entryList(QDir::Files | QDir::Hidden);
    };
    QVERIFY(listing("src").size() == kFiles && QFile::exists(fx.path("in.zip")));
    if (zip) {
        QCOMPARE(listing("tmp") + listing("out1"), QStringList{LockFileName(u"big.zip"_s)});
        return;
    }
    // Only whole files, each the member of its name.
    const QStringList present = listing("out1");
    QVERIFY(!present.isEmpty() && present.size() < kFiles);
    for (const QString& name : present) {
        QFile file(fx.path("out1") + u'/' + name);
        QProcess unzip;
        unzip.start(u"unzip"_s, {u"-p"_s, fx.path("in.zip"), name});
        QVERIFY(file.open(QIODevice::ReadOnly) && unzip.waitForFinished() && unzip.exitCode() == 0);
        QVERIFY2(file.readAll() == unzip.readAllStandardOutput(), qPrintable(name));
    }
}

QTEST_MAIN(StopRunnerTest)
#include "tst_stop_runner.moc"
