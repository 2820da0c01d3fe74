// INI files as the window and a scheduled batch share them: reading and
// writing, the zip and unzip scripts with their scrambled passwords, the
// program's settings and where they live.
#include "TestFiles.h"
#include "storage/FileLock.h"
#include "storage/ProfileFile.h"
#include "storage/ProgramSettings.h"
#include "storage/Scramble.h"
#include "storage/UnzipScript.h"
#include "storage/ZipScript.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

using namespace tarvik;

namespace {
const QString kOpt = u"Options"_s;
const auto valueOf = [](int i) { return QString::number(i) + QString(200, u'v'); };
constexpr int kKeysPerWriter = 150;

const QByteArray kWin =
    "; Windows\r\n[OPTIONS]\r\n  ZipFile =\t Caf\xe9 B \t\r\nQ=\"\"  q  \"\"\r\n"
    ";C=1\r\nDup=first\r\nDup=second\r\nEq=a=b\r\n[Other]\r\nElse=1\r\n"
    "[options]\r\nLate=found\r\nLong=" +
    QByteArray(3000, 'v') + "\r\n";
const QByteArray kUtf8 = "[Options]\nName=Gr\xc3\xbc\xc3\x9f\x65\nEmpty=\n";
// file, "section/key" -> value read, "-" for the default
const std::tuple<const char*, QByteArray, QString, QString> kReads[] = {
    {"Latin-1 file, names in any case, blanks trimmed", kWin, u"options/zipfile"_s, u"Café B"_s},
    {"one pair of quotes removed, blanks in them kept", kWin, u"Options/Q"_s, u"\"  q  \""_s},
    {"comment is no key", kWin, u"Options/;C"_s, u"-"_s},
    {"first duplicate wins", kWin, u"Options/Dup"_s, u"first"_s},
    {"value keeps later equals", kWin, u"Options/Eq"_s, u"a=b"_s},
    {"key of another section", kWin, u"Options/Else"_s, u"-"_s},
    {"repeated section header", kWin, u"Options/Late"_s, u"found"_s},
    {"long value cut to 2047", kWin, u"Options/Long"_s, QString(2047, u'v')},
    {"UTF-8 with LF line ends", kUtf8, u"Options/Name"_s, u"Grüße"_s},
    {"empty value is no default", kUtf8, u"Options/Empty"_s, u""_s},
};

const QByteArray kP = "[Options]\r\nA=1\r\n";
const QByteArray kLatin1 = "; k\r\n[OPTIONS]\r\nZipFile = Caf\xe9\r\nDir1=C:\\A\r\n[O]\r\n";
// file before ("-": none), its mode, key (empty: remove the section), value
// (empty: remove the key) -> written?, file after. A write keeps the mode (a
// new file's is 0600) and replaces the file only when its bytes change.
const std::tuple<const char*, QByteArray, int, QString, QString, bool, QByteArray> kWrites[] = {
    {"replaced in place, Latin-1 becomes UTF-8", kLatin1, 0600, u"dir1"_s, u"N"_s, true,
     "; k\r\n[OPTIONS]\r\nZipFile = Caf\xc3\xa9\r\ndir1=N\r\n[O]\r\n"},
    {"empty key removes the section", "[O]\n[Options]\nB=2\n[L]\n", 0600, u""_s, u""_s, true,
     "[O]\r\n[L]\r\n"},
    {"the only section removed: an empty file", kP, 0600, u""_s, u""_s, true, ""},
    {"new key before the blank line", "[Options]\nA=1\n\n[O]\n", 0600, u"C"_s, u"3"_s, true,
     "[Options]\r\nA=1\r\nC=3\r\n\r\n[O]\r\n"},
    {"missing section appended", "[O]\r\n", 0600, u"A"_s, u"1"_s, true, "[O]\r\n" + kP},
    {"duplicates all removed", kP + "A=2\r\n", 0600, u"A"_s, u""_s, true, "[Options]\r\n"},
    {"nothing to change: the file left alone", kP, 0600, u"E"_s, u""_s, true, kP},
    {"new file owner-only", "-", 0600, u"A"_s, u"1"_s, true, kP},
    {"mode kept", kP, 0644, u"B"_s, u"2"_s, true, kP + "B=2\r\n"},
    {"removing from no file creates none", "-", 0600, u"A"_s, u""_s, true, "-"},
    {"leading blank quoted", "-", 0600, u"A"_s, u" 1"_s, true, "[Options]\r\nA=\" 1\"\r\n"},
    {"trailing blank quoted", "-", 0600, u"A"_s, u"1\t"_s, true, "[Options]\r\nA=\"1\t\"\r\n"},
    {"quotes quoted", "-", 0600, u"A"_s, u"\"1\""_s, true, "[Options]\r\nA=\"\"1\"\"\r\n"},
    {"LF refused", kP, 0600, u"A"_s, u"1\n2"_s, false, kP},
    {"CR refused", kP, 0600, u"A"_s, u"1\r2"_s, false, kP},
    {"NUL refused", kP, 0600, u"A"_s, u"1\0002"_s, false, kP},
    {"equals in key refused", kP, 0600, u"A=B"_s, u"1"_s, false, kP},
    {"NUL in key refused", kP, 0600, u"A\0B"_s, u"1"_s, false, kP},
    {"blank around key refused", kP, 0600, u" A"_s, u"1"_s, false, kP},
    {"read-only file refused", kP, 0400, u"B"_s, u"2"_s, false, kP},
    {"read-only file refused, also with nothing to change", kP, 0400, u"E"_s, u""_s, false, kP},
};

// settings file ("-": none) -> UNC, new log, 24 hours | script folder | log
// folder | pickers' start | port, port used; {p} the program's folder
const std::tuple<const char*, QByteArray, QString> kLoads[] = {
    {"no file: defaults", "-", u"101|{p}|{p}|{p}|0 25"_s},
    {"YES, no, trailing separator, port",
     "MilitaryTime=YES\nUNC_Paths=no\nNewErrorFile=yes\nScriptFilePath=/srv/s/\nErrorFilePath=/"
     "log\n"
     "MailServerPort=2525",
     u"011|/srv/s|/log|{p}|2525 2525"_s},
    {"true is not yes, root folder, port above 16 bits",
     "MilitaryTime=true\nScriptFilePath=/\nMailServerPort=40000", u"100||{p}|{p}|0 25"_s},
};

// Where a copy keeps its files. {t} is a scratch folder; a copy in {t}/p/bin
// sits in a package's tree when kDoc exists. Executable, files made first,
// environment -> settings file, script folder, log folder, help file.
const QString kExe = u"{t}/p/bin/tarvik"_s, kDoc = u"{t}/p/share/doc/tarvik/faq.fil"_s;
const QString kXdg = u"XDG_CONFIG_HOME={t}/cfg XDG_STATE_HOME={t}/state"_s,
              kInXdg = u"{t}/cfg/tarvik/tarvik.ini {t}/cfg/tarvik {t}/state/tarvik "_s;
const QString kPortable = u"{t}/p/bin/tarvik.ini {t}/p/bin {t}/p/bin {t}/p/bin/faq.fil"_s;
const QString kHome = u"{t}/home/.config/tarvik/tarvik.ini {t}/home/.config/tarvik "
                      u"{t}/home/.local/state/tarvik "_s +
                      kDoc;
const std::tuple<const char*, QString, QString, QString, QString> kLocations[] = {
    {"own writable folder: portable", kExe, u""_s, kXdg, kPortable},
    {"package tree: installed", kExe, kDoc, kXdg, kInXdg + kDoc},
    {"package tree with settings beside: portable", kExe, kDoc + u" {t}/p/bin/tarvik.ini"_s, kXdg,
     kPortable},
    {"relative XDG folders ignored: the home's", kExe, kDoc,
     u"XDG_CONFIG_HOME=cfg XDG_STATE_HOME=state"_s, kHome},
    {"system program folder: installed, even for root", u"/usr/bin/tarvik"_s, u""_s, kXdg,
     kInXdg + u"/usr/bin/faq.fil"_s},
};

IniDocument doc(const QByteArray& text) {
    return IniDocument::parse(QString::fromUtf8(text));
}

// Key "quillbax" gives the shifts +10, -8, +15, -7, +14, -12 for positions 1..6.
// plain, key (empty: the password key) -> scrambled
const std::tuple<const char*, QString, QString, QString> kScrambles[] = {
    {"all six positions and the wrap", u"Secret1"_s, {}, u"]]rksh;"_s},
    {"another key", u"abc"_s, u"zzzzzzzz"_s, u"mXt"_s},
    {"to 255 and 1", u"\u00f5\x09"_s, {}, u"\u00ff\x01"_s},
    {"above 255", u"\u00f6"_s, {}, u"\u0100"_s},
    {"below 0 wraps to the last code point", u"a\x07"_s, {}, u"k\U0010FFFF"_s},
    {"any language, beyond the basic plane",
     u"\u00fc\u043f\U0001F511"_s,
     {},
     u"\u0106\u0437\U0001F520"_s},
    {"to a line break", u"a\x12"_s, {}, u"<refused>"_s},
    {"to a NUL", u"a\x08"_s, {}, u"<refused>"_s},
};

// Options lines -> as a zip script: specs (X: marked) | level | paths | date |
// password | as an unzip script: extract mode, overwrite, password | the zip
// script's versions (" vN" when any)
const std::tuple<const char*, QByteArray, QString> kScriptReads[] = {
    {"family starts at 1", "File2=/a", u"|9|||0 0"_s},
    {"marks in both cases, blank kept, x without comma, empty value ends",
     "File1=x,/a\nFile2=X, /b\nFile3=x/c\nFile4=/d\nFile5=\nFile6=/e",
     u"X:/a;X: /b;x/c;/d|9|||0 0"_s},
    {"upper-case words",
     "CompressionMode=NONE\nStorePaths=YES\nModifiedDate=12/31/1999\nExtract=NEWER\nOverwrite=YES\n"
     "Versions= 7 ",
     u"|0|paths|1999-12-31|1 1 v7"_s},
    {"unknown words",
     "CompressionMode=Max\nStorePaths=true\nModifiedDate=31/12/1999\nExtract=Newest\nOverwrite=Y\n"
     "Versions=three",
     u"|9|||0 0"_s},
    {"fast, 1 is no yes, 20yy, password unscrambled",
     "CompressionMode=fast\nStorePaths=1\nModifiedDate=1/5/29\nExtract=newer and NON-EXISTING\n"
     "Password=zo\nVersions=5000",
     u"|1||2029-01-05|2 0 pw v999"_s},
    {"normal, 19yy", "CompressionMode=Normal\nModifiedDate=1/5/30\nVersions=-2",
     u"|6||1930-01-05|0 0"_s},
};

} // namespace

class ProfileTest : public QObject {
    Q_OBJECT
private slots:
    void read_data() { addRows(kReads); }
    void read() {
        const auto& [name, content, key, expected] = rowOf(kReads);
        QTemporaryDir dir;
        const QString file = dir.filePath(u"a.zsc"_s);
        QVERIFY(writeBytes(file, content));
        QCOMPARE(ReadIni(key.section(u'/', 0, 0), key.section(u'/', 1), u"-"_s, file), expected);
    }

    void write_data() { addRows(kWrites); }
    void write() {
        const auto& [name, before, mode, key, value, ok, after] = rowOf(kWrites);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"s.zsc"_s);
        if (before != "-")
            QVERIFY(writeBytes(path, before) && setMode(path, mode));
        const ino_t old = statOf(path).st_ino;
        QCOMPARE(WriteIni(kOpt, key, value, path), ok);
        QCOMPARE(readBytes(path), after);
        QCOMPARE(statOf(path).st_ino != old, before != after);
        QCOMPARE(ScriptFileExists(path), after != "-" && !after.isEmpty());
        QCOMPARE(statOf(path).st_mode & 07777, after == "-" ? 0 : mode_t(mode));
        if (ok && !value.isEmpty())
            QCOMPARE(ReadIni(kOpt, key, {}, path), value);
    }

    // Root stamping a user's script leaves it the user's; a link another user
    // planted leads root only to that user's own files, and stays a link.
    void rewriteKeepsOwner() {
        if (::geteuid() != 0)
            QSKIP("needs root to give files to another user");
        QTemporaryDir dir;
        const auto at = [&](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
        QVERIFY(writeBytes(at("theirs"), kP) && setMode(at("theirs"), 0600, 4242, 4242));
        QVERIFY(writeBytes(at("ours"), kP) && setMode(at("ours"), 0644, 0, 0));
        for (const char* link : {"to theirs", "to ours"})
            QVERIFY(QFile::link(at(link + 3), at(link)) &&
                    ::lchown(QFile::encodeName(at(link)).constData(), 4242, 0) == 0);
        QVERIFY(WriteIni(kOpt, u"B"_s, u"2"_s, at("theirs")));
        QVERIFY(WriteIni(kOpt, u"C"_s, u"3"_s, at("to theirs")));
        QVERIFY(!WriteIni(kOpt, u"B"_s, u"2"_s, at("to ours")));
        QCOMPARE(readBytes(at("theirs")) + readBytes(at("ours")), kP + "B=2\r\nC=3\r\n" + kP);
        const struct stat st = statOf(at("theirs"));
        QCOMPARE(QList<uint>({st.st_uid, st.st_gid, st.st_mode & 07777}),
                 QList<uint>({4242, 4242, 0600}));
        QVERIFY(QFileInfo(at("to theirs")).isSymLink());
    }

    void placesOfTheFile() {
        // An empty name is the settings file beside the executable, never created here.
        QCOMPARE(SettingsFilePath(), QCoreApplication::applicationFilePath() + u".ini"_s);
        QCOMPARE(ReadIni(kOpt, u"A"_s, u"-"_s, {}), u"-"_s);
        QTemporaryDir dir;
        QVERIFY(!WriteIni(kOpt, u"A"_s, u"1"_s, dir.filePath(u"no/s.zsc"_s)));
        QVERIFY(!QFile::exists(dir.filePath(u"no"_s)) && !ScriptFileExists(dir.path()));
        // A lock file this user may not use (a planted link) blocks no write.
        QVERIFY(QFile::link(u"/dev/null"_s,
                            dir.filePath(QString::fromLatin1(FileLock::kFolderLockName))));
        QVERIFY(WriteIni(kOpt, u"A"_s, u"1"_s, dir.filePath(u"s.zsc"_s)));
        QCOMPARE(readBytes(dir.filePath(u"s.zsc"_s)), kP);
    }

    // Two writer processes at once, each adding its own keys: neither loses the
    // other's, and no file is torn. (A writer killed mid-write is the batch
    // kill tests' part.)
    void concurrentWriters() {
        QTemporaryDir dir;
        const QString file = dir.filePath(u"shared.zsc"_s);
        QProcess writers[2];
        for (int w : {0, 1})
            writers[w].start(QCoreApplication::applicationFilePath(),
                             {u"--writer"_s, file, u"W%1_"_s.arg(w)});
        for (QProcess& w : writers)
            QVERIFY(w.waitForFinished(60000) && w.exitCode() == 0);
        const IniDocument doc = LoadIniDocument(file).value_or(IniDocument());
        for (int i = 1; i <= kKeysPerWriter; ++i)
            for (const QString& prefix : {u"W0_"_s, u"W1_"_s})
                QCOMPARE(doc.value(kOpt, prefix + QString::number(i)), valueOf(i));
    }

    void scramble_data() { addRows(kScrambles); }
    void scramble() {
        const auto& [name, plain, key, scrambled] = rowOf(kScrambles);
        const QString k = key.isEmpty() ? kPasswordKey.toString() : key;
        QCOMPARE(Scramble(plain, k).value_or(u"<refused>"_s), scrambled);
        if (scrambled != u"<refused>")
            QCOMPARE(Unscramble(scrambled, k), plain);
    }

    void scriptRead_data() { addRows(kScriptReads); }
    void scriptRead() {
        const auto& [name, text, read] = rowOf(kScriptReads);
        const ZipScriptOptions o = ReadZipScript(doc("[Options]\n" + text)).options;
        const UnzipScript u = ReadUnzipScript(doc("[Options]\n" + text));
        QStringList specs;
        for (const FileSpecEntry& e : o.fileSpecs)
            specs.append((e.deleteMark ? u"X:"_s : u""_s) + e.spec);
        QCOMPARE(
            u"%1|%2|%3|%4|%5 %6 %7"_s.arg(specs.join(u';'))
                    .arg(CompressionLevel(o.compression))
                    .arg(o.storePaths ? u"paths"_s : u""_s, o.modifiedDate.toString(Qt::ISODate))
                    .arg(int(u.extract))
                    .arg(u.overwrite)
                    .arg(o.password == u.password ? u.password : u"differ"_s)
                    .trimmed() +
                (o.versions ? u" v%1"_s.arg(o.versions) : QString()),
            read);
    }

    // The editor's keys in their order; a family rewritten gapless only when it
    // changed, also from 100,000 members without a hang; other owners' keys kept;
    // a refused value changes nothing.
    void zipSave() {
        QByteArray text = "[Options]\n";
        for (int i = 1; i <= 100000; ++i)
            text += "File" + QByteArray::number(i) + "=f\n";
        IniDocument d = doc(text + "File100002=stray\nDir1=/out\nEmailAddress1=a@b\nLastRun=1\n"
                                   "Error=X\nPassword=old\nDescription=old\n");
        ZipScriptOptions o = ReadZipScript(doc("[Options]\nZipFile=Backup\nModifiedDate=3/15/2004\n"
                                               "CompressionMode=none\nStoreSubDirs=yes"))
                                 .options;
        o.fileSpecs = {{u"/x/*.log"_s, true}, {u"/y"_s, false}};
        o.directories = {u"/never"_s}; // not flagged as changed
        o.password = u"pw"_s;
        QVERIFY(WriteZipScriptOptions(d, o, true, false));
        const QString saved = d.serialize();
        QCOMPARE(saved,
                 u"[Options]\r\nFile100002=stray\r\nDir1=/out\r\nEmailAddress1=a@b\r\nLastRun=1\r\n"
                 u"Error=X\r\nPassword=zo\r\nFile1=X,/x/*.log\r\nFile2=/y\r\nZipFile=Backup\r\n"
                 u"ModifiedDate=03/15/2004\r\nCompressionMode=None\r\nStorePaths=No\r\n"
                 u"StoreSubDirs=Yes\r\nIncludeHiddenFiles=No\r\nIncludeDirectoryEntries=No\r\n"
                 u"IncludeVolumeLabel=No\r\n"_s);
        o.versions = 7; // written only when set
        QVERIFY(WriteZipScriptOptions(d, o, false, false));
        QVERIFY(d.serialize().endsWith(u"IncludeVolumeLabel=No\r\nVersions=7\r\n"_s));
        o.versions = 0;
        QVERIFY(WriteZipScriptOptions(d, o, false, false));
        o.description = u"a\nb"_s;
        QVERIFY(!WriteZipScriptOptions(d, o, true, true));
        o.description.clear();
        o.password = u"a\x12"_s; // scrambles to a line break
        QVERIFY(!WriteZipScriptOptions(d, o, true, true));
        QCOMPARE(d.serialize(), saved);
    }

    // Changed lists write the file afresh: LastRun and Error go too.
    void unzipSave() {
        IniDocument d =
            doc("[Options]\nZipFile=/in/D\nFile1=*.*\nDir1=/a\nDir2=/b\nLastRun=1\nError=X\n"
                "Extract=newer and non-existing\n");
        UnzipScript s = ReadUnzipScript(d);
        s.directories = {u"/a"_s};
        s.password = u"pw"_s;
        QVERIFY(WriteUnzipScript(d, s, false));
        QVERIFY(d.value(u"Options"_s, u"LastRun"_s));
        QVERIFY(WriteUnzipScript(d, s, true));
        QCOMPARE(d.serialize(),
                 u"[Options]\r\nFile1=*.*\r\nDir1=/a\r\nZipFile=/in/D\r\nPassword=zo\r\n"
                 u"Delete=No\r\nOverwrite=No\r\nExtract=Newer and non-existing\r\n"_s);
        // A list with an empty entry, or a password that cannot be stored, writes nothing.
        const QString saved = d.serialize();
        s.fileSpecs = {u"a"_s, {}};
        QVERIFY(!WriteUnzipScript(d, s, true));
        s.fileSpecs = {u"a"_s};
        s.password = u"a\x12"_s;
        QVERIFY(!WriteUnzipScript(d, s, false));
        QCOMPARE(d.serialize(), saved);
    }

    void loadSettings_data() { addRows(kLoads); }
    void loadSettings() {
        const auto& [name, text, loaded] = rowOf(kLoads);
        QTemporaryDir dir;
        const QString ini = dir.filePath(u"tarvik.ini"_s);
        if (text != "-")
            QVERIFY(writeBytes(ini, "[Options]\n" + text));
        const ProgramSettings s = LoadProgramSettings(dir.path() + u'/', ini);
        const auto flag = [](bool on) { return on ? u"1"_s : u"0"_s; };
        QCOMPARE(QStringList({flag(s.uncPaths) + flag(s.newErrorFile) + flag(s.militaryTime),
                              s.scriptFilePath, s.errorFilePath, s.lastFolder,
                              u"%1 %2"_s.arg(s.mailServerPort).arg(s.effectiveMailPort())})
                     .join(u'|'),
                 QString(loaded).replace(u"{p}"_s, dir.path()));
        QCOMPARE(s.timeStampFormat.endsWith(u" am/pm"_s), !s.militaryTime);
        QCOMPARE(readBytes(ini), text == "-" ? text : "[Options]\n" + text); // creates nothing
    }

    // A 12-hour clock shows midnight and noon as 12.
    void timeStamps() {
        QStringList stamps;
        for (int hour : {0, 12, 19})
            for (bool military : {true, false})
                stamps += FormatTimeStamp(QDateTime(QDate(2024, 3, 5), QTime(hour, 4, 9)),
                                          TimeStampFormatFor(military));
        QCOMPARE(stamps.join(u'|'), u"2024/03/05 00:04:09|2024/03/05 12:04:09 am|"
                                    u"2024/03/05 12:04:09|2024/03/05 12:04:09 pm|"
                                    u"2024/03/05 19:04:09|2024/03/05 07:04:09 pm"_s);
    }

    // All eleven keys in order, the rest of the file kept; a port that does not
    // convert, or a write that fails, keeps the port.
    void saveSettings() {
        QTemporaryDir dir;
        const QString ini = dir.filePath(u"tarvik.ini"_s);
        QVERIFY(writeBytes(ini, "; notes\r\n[Options]\r\nZipFile=Old\r\nMailServer=old.host\r\n"));
        ProgramSettings s = LoadProgramSettings(u"/p"_s, ini), edited = s;
        edited.militaryTime = false;
        edited.zipFile.clear();
        edited.unzipFile = u"/in/Daily"_s;
        edited.mailServer = u"a.example,b.example"_s;
        QVERIFY(SaveProgramSettings(s, edited, u"2525"_s, ini));
        QCOMPARE(readBytes(ini), "; notes\r\n[Options]\r\nMailServer=a.example,b.example\r\n"
                                 "UNC_Paths=Yes\r\nNewErrorFile=No\r\nMilitaryTime=No\r\n"
                                 "UnzipFile=/in/Daily\r\nScriptFilePath=/p\r\nErrorFilePath=/p\r\n"
                                 "MailServerPort=2525\r\n");
        QCOMPARE(s.timeStampFormat, u"yyyy/mm/dd hh:mm:ss am/pm"_s);
        QVERIFY(SaveProgramSettings(s, s, u"99999"_s, ini));
        QVERIFY(!SaveProgramSettings(s, s, u"1"_s, dir.filePath(u"no/tarvik.ini"_s)));
        QCOMPARE(s.mailServerPort, qint16(2525));
    }

    void locations_data() { addRows(kLocations); }
    void locations() {
        const auto& [name, executable, present, xdg, expected] = rowOf(kLocations);
        QTemporaryDir t;
        const auto place = [&](QString text) { return text.replace(u"{t}"_s, t.path()); };
        QVERIFY(QDir().mkpath(place(u"{t}/p/bin"_s)));
        for (const QString& file : place(present).split(u' ', Qt::SkipEmptyParts))
            QVERIFY(QDir().mkpath(QFileInfo(file).path()) && writeBytes(file, {}));
        QProcessEnvironment env;
        for (const QString& set : place(u"HOME={t}/home "_s + xdg).split(u' ', Qt::SkipEmptyParts))
            env.insert(set.section(u'=', 0, 0), set.section(u'=', 1));
        const ProgramLocations where = LocateProgramFiles(place(executable), env);
        QCOMPARE(QStringList({where.settingsFile, where.defaultScriptFolder, where.defaultLogFolder,
                              where.helpFile}),
                 place(expected).split(u' '));
        QVERIFY(CreateProgramFolders(where));
        // An installed copy's folders, made as needed, are its owner's alone.
        for (const QString& folder : {where.defaultScriptFolder, where.defaultLogFolder})
            QVERIFY(QFileInfo(folder).isDir() &&
                    (!where.installed || (statOf(folder).st_mode & 0777) == 0700));
    }
};

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    // A writer process; it pauses as real writers do, or the lock would hardly
    // ever be free for the other one.
    if (args.size() == 4 && args[1] == u"--writer") {
        for (int i = 1; i <= kKeysPerWriter; QThread::msleep(3))
            i += WriteIni(kOpt, args[3] + QString::number(i), valueOf(i), args[2]);
        return 0;
    }
    ProfileTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_profile.moc"
