#include "TestFiles.h"
#include "storage/ProfileFile.h"

#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

using namespace tarvik;

// A write whose result the file already holds byte for byte leaves the file
// alone; any other write still replaces it.
class ProfileUnchangedTest : public QObject {
    Q_OBJECT
private slots:
    void writes_data();
    void writes();
};

void ProfileUnchangedTest::writes_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value"); // empty removes the key
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("result");
    QTest::addColumn<bool>("replaced");
    QTest::addColumn<QByteArray>("after");

    const QByteArray plain = "[Options]\r\nZipFile=daily\r\nLastRun=2004/03/15 14:07:09\r\n";
    QTest::newRow("removing a missing key") << plain << "Error"
                                            << "" << 0600 << true << false << plain;
    QTest::newRow("setting the value it has") << plain << "ZipFile"
                                              << "daily" << 0600 << true << false << plain;
    QTest::newRow("a new value is written")
        << plain << "ZipFile"
        << "weekly" << 0600 << true << true
        << QByteArray("[Options]\r\nZipFile=weekly\r\nLastRun=2004/03/15 14:07:09\r\n");
    QTest::newRow("a removed key is written")
        << plain << "LastRun"
        << "" << 0600 << true << true << QByteArray("[Options]\r\nZipFile=daily\r\n");
    // Same keys, other bytes: the write still brings the file into form.
    QTest::newRow("LF lines are rewritten")
        << QByteArray("[Options]\nZipFile=daily\n") << "Error"
        << "" << 0600 << true << true << QByteArray("[Options]\r\nZipFile=daily\r\n");
    QTest::newRow("read-only file stays refused") << plain << "Error"
                                                  << "" << 0400 << false << false << plain;
}

void ProfileUnchangedTest::writes() {
    QFETCH(QByteArray, before);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(int, mode);
    QFETCH(bool, result);
    QFETCH(bool, replaced);
    QFETCH(QByteArray, after);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("daily.zsc"));
    writeBytes(path, before);
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);
    struct stat old {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &old), 0);

    QCOMPARE(WriteIni(QStringLiteral("Options"), key, value, path), result);
    QCOMPARE(readBytes(path), after);
    struct stat now {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &now), 0);
    QCOMPARE(now.st_ino != old.st_ino, replaced);
}

QTEST_GUILESS_MAIN(ProfileUnchangedTest)
#include "tst_profile_unchanged.moc"
