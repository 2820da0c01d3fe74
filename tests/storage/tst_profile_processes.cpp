#include "storage/ProfileFile.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace tarvik;
using namespace Qt::StringLiterals;

// Several processes writing one file: what the window and a scheduled batch do.
class ProfileProcessesTest : public QObject {
    Q_OBJECT
private slots:
    void twoWritersLoseNoKey();
    void killedWriterLeavesOldOrNewFile();

private:
    static QString tool() { return QCoreApplication::applicationDirPath() + u"/ini_stress"_s; }
};

void ProfileProcessesTest::twoWritersLoseNoKey() {
    QTemporaryDir dir;
    const QString file = dir.filePath(u"shared.zsc"_s);
    QProcess a, b;
    a.start(tool(), {u"keys"_s, file, u"A"_s, u"200"_s});
    b.start(tool(), {u"keys"_s, file, u"B"_s, u"200"_s});
    QVERIFY(a.waitForFinished(120000) && b.waitForFinished(120000));
    QCOMPARE(a.exitCode(), 0);
    QCOMPARE(b.exitCode(), 0);
    const IniDocument doc = LoadIniDocument(file).value();
    for (int i = 1; i <= 200; ++i) {
        QCOMPARE(doc.value(u"Options"_s, u"A"_s + QString::number(i), {}), QString::number(i));
        QCOMPARE(doc.value(u"Options"_s, u"B"_s + QString::number(i), {}), QString::number(i));
    }
}

namespace {
int roundOf(const QString& file) {
    const std::optional<IniDocument> doc = LoadIniDocument(file);
    return doc ? doc->value(u"Options"_s, u"K1"_s, {}).section(u' ', 0, 0).toInt() : -1;
}
} // namespace

void ProfileProcessesTest::killedWriterLeavesOldOrNewFile() {
    QTemporaryDir dir;
    const QString file = dir.filePath(u"victim.zsc"_s);
    QVERIFY(WriteIni(u"Options"_s, u"K1"_s, u"0"_s, file));
    int lastRound = 0;
    for (int kill = 0; kill < 50; ++kill) {
        QProcess writer;
        writer.start(tool(), {u"rewrite"_s, file});
        QVERIFY(writer.waitForStarted());
        // Each writer must first take over the lock its killed predecessor
        // left behind; once it has written, kill it at a random moment.
        QTRY_VERIFY_WITH_TIMEOUT(roundOf(file) > lastRound, 20000);
        QThread::msleep(QRandomGenerator::global()->bounded(25));
        writer.kill(); // SIGKILL
        QVERIFY(writer.waitForFinished());

        const IniDocument doc = LoadIniDocument(file).value();
        const QString first = doc.value(u"Options"_s, u"K1"_s, {});
        const int round = first.section(u' ', 0, 0).toInt();
        QVERIFY2(round > lastRound, "a completed write was lost");
        for (int k = 2; k <= 40; ++k) // every key from the same complete write
            QCOMPARE(doc.value(u"Options"_s, u'K' + QString::number(k), {}), first);
        lastRound = round;
    }
}

QTEST_GUILESS_MAIN(ProfileProcessesTest)
#include "tst_profile_processes.moc"
