#include "RunnerFixture.h"
#include "runner/ZipRunner.h"
#include "storage/ZipScript.h"

#include <QDir>
#include <QProcess>
#include <QTest>

using namespace tarvik;
using namespace Qt::StringLiterals;

// Dated versions: each run adds one to every directory, and only the newest
// are kept; nothing else in the folder is touched.
class ArchiveVersionsTest : public QObject {
    Q_OBJECT
private slots:
    void newestKept_data();
    void newestKept();
};

void ArchiveVersionsTest::newestKept_data() {
    QTest::addColumn<QString>("versions");
    QTest::addColumn<QStringList>("archives"); // in out1 and out2 after five runs
    QTest::newRow("three of five")
        << u"3"_s
        << QStringList{u"Backup-20040315-140703.zip"_s, u"Backup-20040315-140704.zip"_s,
                       u"Backup-20040315-140705.zip"_s};
    QTest::newRow("none: one archive replaced") << u"0"_s << QStringList{u"Backup.zip"_s};
}

void ArchiveVersionsTest::newestKept() {
    QFETCH(QString, versions);
    QFETCH(QStringList, archives);
    RunnerFixture fx;
    // Look-alikes that are not versions of this archive, and an older version.
    const QStringList others{u"Backup-20040315-140709.zip.bak"_s, u"Backup-2004031-140709.zip"_s,
                             u"Other-20040101-000000.zip"_s, u"backup-20040101-000000.zip"_s,
                             u"notes.txt"_s};
    for (const QString& name : others)
        fx.writeFile(qPrintable(u"out1/"_s + name), "keep");
    fx.writeFile("src/a.txt", "alpha");
    fx.writeScript(u"v.zsc"_s, {{u"File1"_s, fx.path("src/*.txt")},
                                {u"Dir1"_s, fx.path("out1")},
                                {u"Dir2"_s, fx.path("out2")},
                                {u"ZipFile"_s, u"Backup"_s},
                                {u"Versions"_s, versions},
                                {u"HyperLink"_s, u"Yes"_s}});
    QString linked; // the archive name the e-mail's link is made of
    fx.context.email = [&linked](const ZipScript& s, const QString&) {
        linked = s.options.zipFile;
    };
    for (int run = 1; run <= 5; ++run) {
        fx.context.clock = [run] { return QDateTime(QDate(2004, 3, 15), QTime(14, 7, run)); };
        QCOMPARE(int(RunZipScript(u"v.zsc"_s, fx.context)), 0);
    }
    QVERIFY(!QFile::exists(fx.logPath()));
    QCOMPARE(linked + u".zip"_s, archives.last());
    for (const char* dir : {"out1", "out2"}) {
        QStringList expected = archives;
        if (QByteArray(dir) == "out1")
            expected += others;
        expected.sort();
        QStringList found = QDir(fx.path(dir)).entryList(QDir::Files | QDir::Hidden);
        found.sort();
        QCOMPARE(found, expected);
    }
    for (const QString& name : others) {
        QFile f(fx.path("out1/") + name);
        QVERIFY(f.open(QIODevice::ReadOnly) && f.readAll() == "keep");
    }
    QCOMPARE(QProcess::execute(u"unzip"_s, {u"-tqq"_s, fx.path("out2/") + archives.last()}), 0);
}

QTEST_GUILESS_MAIN(ArchiveVersionsTest)
#include "tst_archive_versions.moc"
