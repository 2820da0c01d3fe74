#include "TestFiles.h"
#include "storage/ProfileFile.h"
#include "storage/ProgramSettings.h"

#include <QTemporaryDir>
#include <QTest>

using namespace tarvik;
using namespace Qt::StringLiterals;

class ProgramSettingsTest : public QObject {
    Q_OBJECT
private slots:
    void noSettingsFileGivesDefaults();
    void loadRules_data();
    void loadRules();
    void timeStamps_data();
    void timeStamps();
    void saveWritesAllElevenKeys();
};

void ProgramSettingsTest::noSettingsFileGivesDefaults() {
    QTemporaryDir dir;
    const QString ini = dir.filePath(u"tarvik.ini"_s);
    const ProgramSettings s = LoadProgramSettings(dir.path() + u'/', ini);
    QVERIFY(s.uncPaths);
    QVERIFY(!s.newErrorFile);
    QVERIFY(s.militaryTime);
    QCOMPARE(s.timeStampFormat, u"yyyy/mm/dd hh:mm:ss"_s);
    QCOMPARE(s.programFolder, dir.path());
    QCOMPARE(s.scriptFilePath, dir.path());
    QCOMPARE(s.errorFilePath, dir.path());
    QCOMPARE(s.lastFolder, dir.path());
    QCOMPARE(s.lastFileSpec, u"*.*"_s);
    QVERIFY(s.zipScriptFile.isEmpty() && s.mailServer.isEmpty());
    QCOMPARE(s.mailServerPort, qint16(0));
    QCOMPARE(s.effectiveMailPort(), 25);
    QVERIFY(!QFile::exists(ini)); // loading creates nothing
}

void ProgramSettingsTest::loadRules_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("military");
    QTest::addColumn<QString>("scriptFolder");
    QTest::addColumn<int>("port");
    QTest::newRow("YES, trailing separator, port")
        << QByteArray(
               "[Options]\nMilitaryTime=YES\nScriptFilePath=/srv/scripts/\nMailServerPort=2525\n")
        << true << "/srv/scripts" << 2525;
    QTest::newRow("1 is not yes, root folder, port text")
        << QByteArray("[Options]\nMilitaryTime=1\nScriptFilePath=/\nMailServerPort=abc\n") << false
        << "" << 0;
    QTest::newRow("true is not yes, port above 16 bits")
        << QByteArray("[Options]\nMilitaryTime=true\nMailServerPort=40000\n") << false
        << "<program>" << 0;
    QTest::newRow("negative port kept as stored")
        << QByteArray("[Options]\nMailServerPort=-5\n") << true << "<program>" << -5;
}

void ProgramSettingsTest::loadRules() {
    QFETCH(QByteArray, text);
    QFETCH(bool, military);
    QFETCH(QString, scriptFolder);
    QFETCH(int, port);
    QTemporaryDir dir;
    const QString ini = dir.filePath(u"tarvik.ini"_s);
    writeBytes(ini, text);
    const ProgramSettings s = LoadProgramSettings(dir.path(), ini);
    QCOMPARE(s.militaryTime, military);
    QCOMPARE(s.timeStampFormat.endsWith(u" am/pm"_s), !military);
    QCOMPARE(s.scriptFilePath, scriptFolder == u"<program>"_s ? dir.path() : scriptFolder);
    QCOMPARE(int(s.mailServerPort), port);
    QCOMPARE(s.effectiveMailPort(), port >= 1 ? port : 25);
}

void ProgramSettingsTest::timeStamps_data() {
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<bool>("military");
    QTest::addColumn<QString>("text");
    const QDate day(2024, 3, 5);
    QTest::newRow("24-hour evening")
        << QDateTime(day, QTime(19, 4, 9)) << true << "2024/03/05 19:04:09";
    QTest::newRow("12-hour evening")
        << QDateTime(day, QTime(19, 4, 9)) << false << "2024/03/05 07:04:09 pm";
    QTest::newRow("12-hour midnight")
        << QDateTime(day, QTime(0, 30, 0)) << false << "2024/03/05 12:30:00 am";
    QTest::newRow("12-hour noon") << QDateTime(day, QTime(12, 0, 1)) << false
                                  << "2024/03/05 12:00:01 pm";
}

void ProgramSettingsTest::timeStamps() {
    QFETCH(QDateTime, time);
    QFETCH(bool, military);
    QFETCH(QString, text);
    QCOMPARE(FormatTimeStamp(time, TimeStampFormatFor(military)), text);
}

void ProgramSettingsTest::saveWritesAllElevenKeys() {
    QTemporaryDir dir;
    const QString ini = dir.filePath(u"tarvik.ini"_s);
    writeBytes(ini, "; my notes\r\n[Options]\r\nZipFile=OldName\r\nMailServer=old.host\r\n");
    ProgramSettings s = LoadProgramSettings(dir.path(), ini);
    ProgramSettings edited = s;
    edited.militaryTime = false;
    edited.zipFile.clear();
    edited.unzipFile = u"/in/Daily"_s;
    edited.mailServer = u"a.example,b.example"_s;
    QVERIFY(SaveProgramSettings(s, edited, u"2525"_s, ini));
    QCOMPARE(readBytes(ini),
             QByteArray("; my notes\r\n[Options]\r\nMailServer=a.example,b.example\r\n"
                        "UNC_Paths=Yes\r\nNewErrorFile=No\r\nMilitaryTime=No\r\n"
                        "UnzipFile=/in/Daily\r\nScriptFilePath=") +
                 dir.path().toUtf8() + "\r\nErrorFilePath=" + dir.path().toUtf8() +
                 "\r\nMailServerPort=2525\r\n");
    QCOMPARE(s.timeStampFormat, u"yyyy/mm/dd hh:mm:ss am/pm"_s);
    QCOMPARE(s.mailServerPort, qint16(2525));
    // A port that does not convert keeps the previous one.
    QVERIFY(SaveProgramSettings(s, s, u"99999"_s, ini));
    QCOMPARE(s.mailServerPort, qint16(2525));
    const ProgramSettings reloaded = LoadProgramSettings(dir.path(), ini);
    QCOMPARE(reloaded.unzipFile, u"/in/Daily"_s);
    QVERIFY(reloaded.zipFile.isEmpty());
    QVERIFY(!reloaded.militaryTime);
}

QTEST_GUILESS_MAIN(ProgramSettingsTest)
#include "tst_program_settings.moc"
