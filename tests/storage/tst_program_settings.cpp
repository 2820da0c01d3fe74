#include "TestFiles.h"
#include "storage/ProgramSettings.h"

#include <QDir>
#include <QTemporaryDir>

using namespace tarvik;
using namespace Qt::StringLiterals;

namespace {
const struct LoadRow {
    const char* name;
    QByteArray text; // "-": no settings file
    // UNC, new log, 24 hours | script folder | log folder | pickers' start | port, port used
    QString loaded;
} kLoads[] = {
    {"no file: defaults", "-", u"101|{p}|{p}|{p}|0 25"_s},
    {"YES, no, trailing separator, port",
     "[Options]\nMilitaryTime=YES\nUNC_Paths=no\nNewErrorFile=yes\nScriptFilePath=/srv/s/\n"
     "ErrorFilePath=/log\nMailServerPort=2525\n",
     u"011|/srv/s|/log|{p}|2525 2525"_s},
    {"1 is not yes, root folder, port text",
     "[Options]\nMilitaryTime=1\nScriptFilePath=/\nMailServerPort=abc\n", u"100||{p}|{p}|0 25"_s},
    {"true is not yes, port above 16 bits", "[Options]\nMilitaryTime=true\nMailServerPort=40000\n",
     u"100|{p}|{p}|{p}|0 25"_s},
    {"negative port kept", "[Options]\nMailServerPort=-5\n", u"101|{p}|{p}|{p}|-5 25"_s},
};

const struct StampRow {
    const char* name;
    QTime time;
    bool military;
    QString text;
} kStamps[] = {
    {"24-hour evening", QTime(19, 4, 9), true, u"2024/03/05 19:04:09"_s},
    {"12-hour evening", QTime(19, 4, 9), false, u"2024/03/05 07:04:09 pm"_s},
    {"12-hour midnight", QTime(0, 30, 0), false, u"2024/03/05 12:30:00 am"_s},
    {"12-hour noon", QTime(12, 0, 1), false, u"2024/03/05 12:00:01 pm"_s},
};

// Where a copy keeps its files: settings file, script folder, log folder, help
// file. "{t}" is a scratch folder; a copy in {t}/p/bin sits in a package's
// tree when {t}/p/share/doc/tarvik/faq.fil exists.
const QString kDoc = u"{t}/p/share/doc/tarvik/faq.fil"_s;
const QString kPortable = u"{t}/p/bin/tarvik.ini {t}/p/bin {t}/p/bin {t}/p/bin/faq.fil"_s;
const QString kHome =
    u"{t}/home/.config/tarvik/tarvik.ini {t}/home/.config/tarvik {t}/home/.local/state/tarvik "_s +
    kDoc;
const struct LocationRow {
    const char* name;
    QString executable;
    QStringList present; // files made first
    QStringList xdg;     // XDG_CONFIG_HOME, XDG_STATE_HOME; "-": unset
    QString expected;
} kLocations[] = {
    {"own writable folder: portable",
     u"{t}/p/bin/tarvik"_s,
     {},
     {u"{t}/cfg"_s, u"{t}/state"_s},
     kPortable},
    {"package tree: installed",
     u"{t}/p/bin/tarvik"_s,
     {kDoc},
     {u"{t}/cfg"_s, u"{t}/state"_s},
     u"{t}/cfg/tarvik/tarvik.ini {t}/cfg/tarvik {t}/state/tarvik "_s + kDoc},
    {"package tree with settings beside: portable",
     u"{t}/p/bin/tarvik"_s,
     {kDoc, u"{t}/p/bin/tarvik.ini"_s},
     {u"{t}/cfg"_s, u"{t}/state"_s},
     kPortable},
    {"no XDG folders: the home's", u"{t}/p/bin/tarvik"_s, {kDoc}, {u"-"_s, u"-"_s}, kHome},
    {"relative XDG folders ignored", u"{t}/p/bin/tarvik"_s, {kDoc}, {u"cfg"_s, u"state"_s}, kHome},
    {"system program folder: installed, even for root",
     u"/usr/bin/tarvik"_s,
     {},
     {u"{t}/cfg"_s, u"{t}/state"_s},
     u"{t}/cfg/tarvik/tarvik.ini {t}/cfg/tarvik {t}/state/tarvik /usr/bin/faq.fil"_s},
};
} // namespace

class ProgramSettingsTest : public QObject {
    Q_OBJECT
private slots:
    void load_data() { addRows(kLoads); }
    void load();
    void timeStamps_data() { addRows(kStamps); }
    void timeStamps();
    void save();
    void locations_data() { addRows(kLocations); }
    void locations();
};

void ProgramSettingsTest::load() {
    const LoadRow& r = rowOf(kLoads);
    QTemporaryDir dir;
    const QString ini = dir.filePath(u"tarvik.ini"_s);
    if (r.text != "-")
        QVERIFY(writeBytes(ini, r.text));
    const ProgramSettings s = LoadProgramSettings(dir.path() + u'/', ini);
    const auto flag = [](bool on) { return on ? u"1"_s : u"0"_s; };
    QCOMPARE(QStringList({flag(s.uncPaths) + flag(s.newErrorFile) + flag(s.militaryTime),
                          s.scriptFilePath, s.errorFilePath, s.lastFolder,
                          u"%1 %2"_s.arg(s.mailServerPort).arg(s.effectiveMailPort())})
                 .join(u'|'),
             QString(r.loaded).replace(u"{p}"_s, dir.path()));
    QCOMPARE(s.timeStampFormat.endsWith(u" am/pm"_s), !s.militaryTime);
    QCOMPARE(readBytes(ini), r.text); // loading creates nothing
}

void ProgramSettingsTest::timeStamps() {
    const StampRow& r = rowOf(kStamps);
    QCOMPARE(FormatTimeStamp(QDateTime(QDate(2024, 3, 5), r.time), TimeStampFormatFor(r.military)),
             r.text);
}

void ProgramSettingsTest::save() {
    QTemporaryDir dir;
    const QString ini = dir.filePath(u"tarvik.ini"_s);
    QVERIFY(writeBytes(ini, "; my notes\r\n[Options]\r\nZipFile=Old\r\nMailServer=old.host\r\n"));
    ProgramSettings s = LoadProgramSettings(u"/p"_s, ini);
    ProgramSettings edited = s;
    edited.militaryTime = false;
    edited.zipFile.clear();
    edited.unzipFile = u"/in/Daily"_s;
    edited.mailServer = u"a.example,b.example"_s;
    QVERIFY(SaveProgramSettings(s, edited, u"2525"_s, ini));
    QCOMPARE(readBytes(ini), "; my notes\r\n[Options]\r\nMailServer=a.example,b.example\r\n"
                             "UNC_Paths=Yes\r\nNewErrorFile=No\r\nMilitaryTime=No\r\n"
                             "UnzipFile=/in/Daily\r\nScriptFilePath=/p\r\nErrorFilePath=/p\r\n"
                             "MailServerPort=2525\r\n");
    QCOMPARE(s.timeStampFormat, u"yyyy/mm/dd hh:mm:ss am/pm"_s);
    QVERIFY(SaveProgramSettings(s, s, u"99999"_s, ini)); // a port that does not convert
    QCOMPARE(s.mailServerPort, qint16(2525));
    QVERIFY(!SaveProgramSettings(s, s, u"1"_s, dir.filePath(u"no/tarvik.ini"_s)));
    QCOMPARE(s.mailServerPort, qint16(2525)); // kept when the file was not written
}

void ProgramSettingsTest::locations() {
    const LocationRow& r = rowOf(kLocations);
    QTemporaryDir t;
    const auto place = [&](QString text) { return text.replace(u"{t}"_s, t.path()); };
    QVERIFY(QDir().mkpath(place(u"{t}/p/bin"_s)));
    for (const QString& file : r.present)
        QVERIFY(QDir().mkpath(QFileInfo(place(file)).path()) && writeBytes(place(file), {}));
    QProcessEnvironment env;
    env.insert(u"HOME"_s, place(u"{t}/home"_s));
    for (int i : {0, 1})
        if (r.xdg[i] != u"-")
            env.insert(i ? u"XDG_STATE_HOME"_s : u"XDG_CONFIG_HOME"_s, place(r.xdg[i]));
    const ProgramLocations where = LocateProgramFiles(place(r.executable), env);
    QCOMPARE(QStringList({where.settingsFile, where.defaultScriptFolder, where.defaultLogFolder,
                          where.helpFile})
                 .join(u' '),
             place(r.expected));
    QVERIFY(CreateProgramFolders(where));
    // An installed copy's folders, made as needed, are its owner's alone.
    for (const QString& folder : {where.defaultScriptFolder, where.defaultLogFolder})
        QVERIFY(QFileInfo(folder).isDir() &&
                (!where.installed || (statOf(folder).st_mode & 0777) == 0700));
}

QTEST_GUILESS_MAIN(ProgramSettingsTest)
#include "tst_program_settings.moc"
