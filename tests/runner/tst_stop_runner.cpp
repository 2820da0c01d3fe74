// Runs the user stops: the archive work ends early and leaves nothing half
// made. Runs left alone report progress that only rises, up to the total.
#include "ArchiveTools.h"
#include "RunnerFixture.h"
#include "runner/UnzipRunner.h"
#include "runner/ZipRunner.h"
#include "storage/FileOps.h"

#include <QRandomGenerator>
#include <QTest>
#include <future>
#include <optional>
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
    QTest::addColumn<int>("files");    // of 2 MiB random bytes each
    QTest::addColumn<bool>("stop");    // from another thread once a third is done
    QTest::newRow("zip, deflated, stopped") << "s.zsc"
                                            << "Best" << 24 << true;
    QTest::newRow("zip, stored, stopped") << "s.zsc"
                                          << "None" << 24 << true;
    QTest::newRow("unzip, stopped") << "s.usc"
                                    << "" << 24 << true;
    QTest::newRow("zip, deflated") << "s.zsc"
                                   << "Fast" << 3 << false;
    QTest::newRow("zip, stored") << "s.zsc"
                                 << "None" << 3 << false;
    QTest::newRow("unzip") << "s.usc"
                           << "" << 3 << false;
}

void StopRunnerTest::run() {
    QFETCH(QString, script);
    QFETCH(QString, mode);
    QFETCH(int, files);
    QFETCH(bool, stop);
    RunnerFixture fx;
    const qint64 total = qint64(files) << 21;
    QList<quint32> data(512 * 1024);
    for (int i = 0; i < files; ++i) {
        QRandomGenerator::global()->fillRange(data.data(), data.size());
        fx.writeFile(qPrintable(u"src/f%1.bin"_s.arg(i)),
                     QByteArray(reinterpret_cast<const char*>(data.data()), 2 << 20));
    }
    const bool zip = script.endsWith(u".zsc"_s);
    if (zip) {
        fx.writeScript(script, {{u"File1"_s, u"X,"_s + fx.path("src/*.*")},
                                {u"Dir1"_s, fx.path("out1")},
                                {u"ZipFile"_s, u"big"_s},
                                {u"CompressionMode"_s, mode}});
    } else {
        QCOMPARE(runTool(u"zip"_s, {u"-0jqr"_s, fx.path("in.zip"), fx.path("src")}).exitCode, 0);
        fx.writeScript(script, {{u"ZipFile"_s, fx.path("in")},
                                {u"File1"_s, u"*.*"_s},
                                {u"Dir1"_s, fx.path("out1")},
                                {u"Delete"_s, u"Yes"_s}});
    }
    // The engine waits in its report until the other thread has set the flag.
    std::promise<void> reported, stopped;
    std::optional<std::thread> stopper;
    if (stop)
        stopper.emplace([&] {
            reported.get_future().wait();
            fx.context.stop = true;
            stopped.set_value();
        });
    QList<std::pair<qint64, qint64>> seen;
    fx.context.progress = [&](qint64 done, qint64 all, const QString&) {
        if (stop && done >= total / 3 && (seen.isEmpty() || seen.last().first < total / 3)) {
            reported.set_value();
            stopped.get_future().wait();
        }
        seen.append({done, all});
    };
    const quint16 result =
        zip ? RunZipScript(script, fx.context) : RunUnzipScript(script, fx.context);
    if (stopper)
        stopper->join();
    QVERIFY(!seen.isEmpty());
    for (qsizetype i = 0; i < seen.size(); ++i)
        QVERIFY(seen[i].second == total && (i == 0 || seen[i].first >= seen[i - 1].first));
    if (!stop) {
        QCOMPARE(result, kRunFinished);
        QCOMPARE(seen.last().first, total);
        return;
    }
    QCOMPARE(result, kRunAborted);
    QVERIFY2(seen.last().first < total * 2 / 3, "the work went on after the stop");
    QCOMPARE(fx.logLines().last(), fx.line(script, u"  Aborted : Stopped by the user."_s));
    QCOMPARE(ReadIni(u"Options"_s, u"Error"_s, {}, fx.scriptPath(script)), u"X"_s);
    const auto listing = [&](const char* dir) {
        return QDir(fx.path(dir)).entryList(QDir::Files | QDir::Hidden);
    };
    if (zip) {
        QCOMPARE(listing("tmp"), QStringList{LockFileName(u"big.zip"_s)});
        QCOMPARE(listing("out1"), QStringList{});
        QCOMPARE(listing("src").size(), files);
        return;
    }
    // Only whole files, each the member of its name.
    QVERIFY(QFile::exists(fx.path("in.zip")));
    const QStringList present = listing("out1");
    QVERIFY(!present.isEmpty() && present.size() < files);
    for (const QString& name : present) {
        QFile file(fx.path("out1") + u'/' + name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QProcess unzip;
        unzip.start(u"unzip"_s, {u"-p"_s, fx.path("in.zip"), name});
        QVERIFY(unzip.waitForFinished() && unzip.exitCode() == 0);
        QVERIFY2(file.readAll() == unzip.readAllStandardOutput(), qPrintable(name));
    }
}

QTEST_MAIN(StopRunnerTest)
#include "tst_stop_runner.moc"
