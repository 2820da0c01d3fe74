#include "TestFiles.h"
#include "storage/ProfileFile.h"
#include "storage/ProgramLocations.h"
#include "storage/ProgramSettings.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

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
    void locations_data();
    void locations();
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

// Where a copy keeps its files. "{t}" is a scratch folder; a copy in
// {t}/p/bin sits in a package's tree when {t}/p/share/doc/tarvik/faq.fil
// exists. Expected texts list settings file, script folder, log folder and
// help file; XDG values "-" are unset.
void ProgramSettingsTest::locations_data() {
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QStringList>("present"); // files made first
    QTest::addColumn<QStringList>("xdg");     // XDG_CONFIG_HOME, XDG_STATE_HOME
    QTest::addColumn<QStringList>("expected");
    const QStringList unset{u"-"_s, u"-"_s};
    const QStringList xdg{u"{t}/cfg"_s, u"{t}/state"_s};
    const QStringList portable{u"{t}/p/bin/tarvik.ini"_s, u"{t}/p/bin"_s, u"{t}/p/bin"_s,
                               u"{t}/p/bin/faq.fil"_s};
    const QString doc = u"{t}/p/share/doc/tarvik/faq.fil"_s;
    QTest::newRow("own writable folder: portable")
        << u"{t}/p/bin/tarvik"_s << QStringList{} << xdg << portable;
    QTest::newRow("package tree: installed")
        << u"{t}/p/bin/tarvik"_s << QStringList{doc} << xdg
        << QStringList{u"{t}/cfg/tarvik/tarvik.ini"_s, u"{t}/cfg/tarvik"_s, u"{t}/state/tarvik"_s,
                       doc};
    QTest::newRow("package tree with settings beside: portable")
        << u"{t}/p/bin/tarvik"_s << QStringList{doc, u"{t}/p/bin/tarvik.ini"_s} << xdg << portable;
    QTest::newRow("no XDG folders: the home's")
        << u"{t}/p/bin/tarvik"_s << QStringList{doc} << unset
        << QStringList{u"{t}/home/.config/tarvik/tarvik.ini"_s, u"{t}/home/.config/tarvik"_s,
                       u"{t}/home/.local/state/tarvik"_s, doc};
    QTest::newRow("relative XDG folders are ignored")
        << u"{t}/p/bin/tarvik"_s << QStringList{doc} << QStringList{u"cfg"_s, u"state"_s}
        << QStringList{u"{t}/home/.config/tarvik/tarvik.ini"_s, u"{t}/home/.config/tarvik"_s,
                       u"{t}/home/.local/state/tarvik"_s, doc};
    QTest::newRow("system program folder: installed, even for root")
        << u"/usr/bin/tarvik"_s << QStringList{} << xdg
        << QStringList{u"{t}/cfg/tarvik/tarvik.ini"_s, u"{t}/cfg/tarvik"_s, u"{t}/state/tarvik"_s,
                       u"/usr/bin/faq.fil"_s};
}

void ProgramSettingsTest::locations() {
    QFETCH(QString, executable);
    QFETCH(QStringList, present);
    QFETCH(QStringList, xdg);
    QFETCH(QStringList, expected);
    QTemporaryDir t;
    const auto place = [&](QString text) { return text.replace(u"{t}"_s, t.path()); };
    QVERIFY(QDir().mkpath(place(u"{t}/p/bin"_s)));
    for (const QString& file : present) {
        QVERIFY(QDir().mkpath(QFileInfo(place(file)).path()));
        QFile(place(file)).open(QIODevice::WriteOnly);
    }
    QProcessEnvironment env;
    env.insert(u"HOME"_s, place(u"{t}/home"_s));
    if (xdg[0] != u"-")
        env.insert(u"XDG_CONFIG_HOME"_s, place(xdg[0]));
    if (xdg[1] != u"-")
        env.insert(u"XDG_STATE_HOME"_s, place(xdg[1]));
    const ProgramLocations where = LocateProgramFiles(place(executable), env);
    QCOMPARE((QStringList{where.settingsFile, where.defaultScriptFolder, where.defaultLogFolder,
                          where.helpFile}),
             QStringList(place(expected.join(u'|')).split(u'|')));
    QVERIFY(CreateProgramFolders(where));
    // An installed copy's folders, made as needed, are its owner's alone.
    for (const QString& folder : {where.defaultScriptFolder, where.defaultLogFolder}) {
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(folder).constData(), &st), 0);
        if (where.installed)
            QCOMPARE(st.st_mode & 0777, mode_t(0700));
    }
}

QTEST_GUILESS_MAIN(ProgramSettingsTest)
#include "tst_program_settings.moc"
