#include "TestFiles.h"
#include "storage/ProfileFile.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tarvik;

class ProfileReadTest : public QObject {
    Q_OBJECT
private slots:
    void readsLikeTheProfileFunctions_data();
    void readsLikeTheProfileFunctions();
    void settingsFileIsBesideTheExecutable();
    void scriptFileExists_data();
    void scriptFileExists();
};

void ProfileReadTest::readsLikeTheProfileFunctions_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QByteArray windows = "; written by the Windows program\r\n"
                               "[OPTIONS]\r\n"
                               "  ZipFile =  Caf\xe9 Backup  \r\n"
                               "Description=\"  quoted  \"\r\n"
                               "File1=x,C:\\Data\\*.log\r\n";
    QTest::newRow("section in upper case") << windows << "Options"
                                           << "ZipFile"
                                           << "Caf\u00e9 Backup";
    QTest::newRow("key in other case") << windows << "options"
                                       << "zipfile"
                                       << "Caf\u00e9 Backup";
    QTest::newRow("one pair of quotes removed") << windows << "Options"
                                                << "Description"
                                                << "  quoted  ";
    QTest::newRow("backslashes kept") << windows << "Options"
                                      << "File1"
                                      << "x,C:\\Data\\*.log";
    QTest::newRow("missing key") << windows << "Options"
                                 << "Dir1"
                                 << "<default>";
    QTest::newRow("missing section") << windows << "Other"
                                     << "ZipFile"
                                     << "<default>";

    const QByteArray utf8 = "[Options]\nName=Gr\xc3\xbc\xc3\x9f\x65\nEmpty=\nTwo=\"\"a\"\"\n";
    QTest::newRow("utf-8 with LF line ends") << utf8 << "Options"
                                             << "Name"
                                             << "Grüße";
    QTest::newRow("empty value is not the default") << utf8 << "Options"
                                                    << "Empty"
                                                    << "";
    QTest::newRow("only one pair of quotes goes") << utf8 << "Options"
                                                  << "Two"
                                                  << "\"a\"";

    const QByteArray tricky = "[Options]\r\n"
                              ";Dir1=commented out\r\n"
                              "Dir1=first\r\n"
                              "Dir1=second\r\n"
                              "Eq=a=b\r\n"
                              "Tab\t=\tvalue\t\r\n"
                              "[Other]\r\n"
                              "Dir2=elsewhere\r\n"
                              "[options]\r\n"
                              "Late=found\r\n";
    QTest::newRow("first duplicate wins") << tricky << "Options"
                                          << "Dir1"
                                          << "first";
    QTest::newRow("comment is no key") << tricky << "Options"
                                       << ";Dir1"
                                       << "<default>";
    QTest::newRow("value keeps later equals") << tricky << "Options"
                                              << "Eq"
                                              << "a=b";
    QTest::newRow("tabs trimmed") << tricky << "Options"
                                  << "Tab"
                                  << "value";
    QTest::newRow("key of another section") << tricky << "Options"
                                            << "Dir2"
                                            << "<default>";
    QTest::newRow("repeated section header") << tricky << "Options"
                                             << "Late"
                                             << "found";

    const QByteArray longValue = "[Options]\r\nLong=" + QByteArray(3000, 'v') + "\r\n";
    QTest::newRow("long value cut to 2047") << longValue << "Options"
                                            << "Long" << QString(2047, u'v');
    QTest::newRow("binary junk") << QByteArray("\x00\xff[Options\x00]\nA=\x01\x02\n", 14)
                                 << "Options"
                                 << "A"
                                 << "<default>";
}

void ProfileReadTest::readsLikeTheProfileFunctions() {
    QFETCH(QByteArray, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.zsc"));
    writeBytes(path, content);
    QCOMPARE(ReadIni(section, key, QStringLiteral("<default>"), path), expected);
}

void ProfileReadTest::settingsFileIsBesideTheExecutable() {
    const QString expected =
        QCoreApplication::applicationDirPath() + QStringLiteral("/tst_profile_read.ini");
    QCOMPARE(SettingsFilePath(), expected);
    // An empty file name reads the settings file, which this test never creates:
    // a missing file gives the default.
    QVERIFY(!QFile::exists(expected));
    QCOMPARE(ReadIni(QStringLiteral("Options"), QStringLiteral("UNC_Paths"), QStringLiteral("Yes"),
                     QString()),
             QStringLiteral("Yes"));
}

void ProfileReadTest::scriptFileExists_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("exists");
    QTest::newRow("missing") << -1 << false;
    QTest::newRow("zero bytes") << 0 << false;
    QTest::newRow("one byte") << 1 << true;
}

void ProfileReadTest::scriptFileExists() {
    QFETCH(int, size);
    QFETCH(bool, exists);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("s.zsc"));
    if (size >= 0)
        writeBytes(path, QByteArray(size, 'x'));
    QCOMPARE(ScriptFileExists(path), exists);
    QVERIFY(!ScriptFileExists(dir.path())); // a folder is no script
}

QTEST_GUILESS_MAIN(ProfileReadTest)
#include "tst_profile_read.moc"
