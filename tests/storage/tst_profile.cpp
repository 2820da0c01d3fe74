// INI files read and written as the window and a scheduled batch share them.
#include "TestFiles.h"
#include "storage/FileLock.h"
#include "storage/ProfileFile.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

using namespace tarvik;
using namespace Qt::StringLiterals;

namespace {
const QString kOpt = u"Options"_s;

QString valueOf(int i) {
    return QString::number(i) + QString(200, u'v');
}

// How many of PREFIX1, PREFIX2, ... the file holds; -1 for a gap or a torn value.
int keysOf(const QString& file, const QString& prefix) {
    const QByteArray bytes = readBytes(file);
    const IniDocument doc = IniDocument::parse(DecodeProfileText(bytes));
    int n = 0;
    while (doc.value(kOpt, prefix + QString::number(n + 1)) == valueOf(n + 1))
        ++n;
    return bytes.count("\n" + prefix.toLatin1()) == n ? n : -1;
}

const QByteArray kRead = "; Windows\r\n[OPTIONS]\r\n  ZipFile =  Caf\xe9 B  \r\nQ=\"  q  \"\r\n"
                         "Two=\"\"a\"\"\r\nF=x,C:\\D\\*.log\r\n;C=1\r\nDup=first\r\nDup=second\r\n"
                         "Eq=a=b\r\nTab\t=\tv\t\r\n[Other]\r\nElse=1\r\n[options]\r\nLate=found\r\n"
                         "Long=" +
                         QByteArray(3000, 'v') + "\r\n";
const QByteArray kUtf8 = "[Options]\nName=Gr\xc3\xbc\xc3\x9f\x65\nEmpty=\n";
const struct ReadRow {
    const char* name;
    QByteArray content;
    QString key;      // section/key
    QString expected; // "-": the default
} kReads[] = {
    {"Latin-1 file, names in any case, blanks trimmed", kRead, u"options/zipfile"_s, u"Café B"_s},
    {"one pair of quotes removed", kRead, u"Options/Q"_s, u"  q  "_s},
    {"only one pair of quotes", kRead, u"Options/Two"_s, u"\"a\""_s},
    {"backslashes kept", kRead, u"Options/F"_s, u"x,C:\\D\\*.log"_s},
    {"comment is no key", kRead, u"Options/;C"_s, u"-"_s},
    {"first duplicate wins", kRead, u"Options/Dup"_s, u"first"_s},
    {"value keeps later equals", kRead, u"Options/Eq"_s, u"a=b"_s},
    {"tabs trimmed", kRead, u"Options/Tab"_s, u"v"_s},
    {"key of another section", kRead, u"Options/Else"_s, u"-"_s},
    {"repeated section header", kRead, u"Options/Late"_s, u"found"_s},
    {"long value cut to 2047", kRead, u"Options/Long"_s, QString(2047, u'v')},
    {"UTF-8 with LF line ends", kUtf8, u"Options/Name"_s, u"Grüße"_s},
    {"empty value is no default", kUtf8, u"Options/Empty"_s, u""_s},
    {"binary junk", QByteArray("\x00\xff[Options\x00]\nA=\x01\x02\n", 14), u"Options/A"_s, u"-"_s},
};

const QByteArray kP = "[Options]\r\nA=1\r\n";
const QByteArray kWin = "; keep\r\n[OPTIONS]\r\nZipFile = Caf\xe9\r\nDir1=C:\\A\r\n";
const QByteArray kHead = "; keep\r\n[OPTIONS]\r\nZipFile = Caf\xc3\xa9\r\n";
// A write replaces the file (a new inode) only when its bytes change, and
// keeps its mode; a refused write leaves it as it was.
const struct WriteRow {
    const char* name;
    QByteArray before; // "-": no file
    int mode;          // before and after; a new file's is 0600
    QString key;       // empty: remove the section
    QString value;     // empty: remove the key
    bool ok;
    QByteArray after; // "-": no file
} kWrites[] = {
    {"replaced in place, Latin-1 becomes UTF-8", kWin, 0600, u"zipfile"_s, u"N"_s, true,
     "; keep\r\n[OPTIONS]\r\nzipfile=N\r\nDir1=C:\\A\r\n"},
    {"new key after the last", kWin, 0600, u"Dir2"_s, u"B"_s, true,
     kHead + "Dir1=C:\\A\r\nDir2=B\r\n"},
    {"empty value removes the key", kWin, 0600, u"Dir1"_s, {}, true, kHead},
    {"empty key removes the section",
     "[O]\nA=1\n[Options]\nB=2\n[L]\n",
     0600,
     {},
     {},
     true,
     "[O]\r\nA=1\r\n[L]\r\n"},
    {"the only section removed: an empty file", kP, 0600, {}, {}, true, ""},
    {"new key before the blank line", "[Options]\nA=1\n\n[O]\n", 0600, u"C"_s, u"3"_s, true,
     "[Options]\r\nA=1\r\nC=3\r\n\r\n[O]\r\n"},
    {"missing section appended", "[O]\r\n", 0600, u"A"_s, u"1"_s, true, "[O]\r\n" + kP},
    {"duplicates all removed", kP + "A=2\r\n", 0600, u"A"_s, {}, true, "[Options]\r\n"},
    {"LF lines rewritten", "[Options]\nA=1\n", 0600, u"E"_s, {}, true, kP},
    {"nothing to change: the file left alone", kP, 0600, u"E"_s, {}, true, kP},
    {"new file owner-only", "-", 0600, u"A"_s, u"1"_s, true, kP},
    {"mode kept", kP, 0644, u"B"_s, u"2"_s, true, kP + "B=2\r\n"},
    {"removing from no file creates none", "-", 0600, u"A"_s, {}, true, "-"},
    {"trailing blank quoted", "-", 0600, u"A"_s, u"1\t"_s, true, "[Options]\r\nA=\"1\t\"\r\n"},
    {"quoted text quoted again", "-", 0600, u"A"_s, u"\"1\""_s, true,
     "[Options]\r\nA=\"\"1\"\"\r\n"},
    {"LF refused", kP, 0600, u"A"_s, u"1\n2"_s, false, kP},
    {"CR refused", kP, 0600, u"A"_s, u"1\r2"_s, false, kP},
    {"NUL refused", kP, 0600, u"A"_s, u"1\0002"_s, false, kP},
    {"equals in key refused", kP, 0600, u"A=B"_s, u"1"_s, false, kP},
    {"read-only file refused", kP, 0400, u"B"_s, u"2"_s, false, kP},
    {"read-only file refused, also with nothing to change", kP, 0400, u"E"_s, {}, false, kP},
};

// Root stamping a user's script leaves it the user's; a link another user
// planted leads root only to that user's own files.
const struct OwnerRow {
    const char* name;
    int linkOwner; // -1: no link, the file itself is written
    int owner, group, mode;
    bool written;
} kOwners[] = {
    {"another user's owner-only file", -1, 4242, 4242, 0600, true},
    {"ours, in another group", -1, 0, 4242, 0640, true},
    {"another user's link to their file", 4242, 4242, 4242, 0600, true},
    {"another user's link to ours: refused", 4242, 0, 0, 0644, false},
};
} // namespace

class ProfileTest : public QObject {
    Q_OBJECT
private slots:
    void read_data() { addRows(kReads); }
    void read();
    void write_data() { addRows(kWrites); }
    void write();
    void rewriteKeepsOwner_data() { addRows(kOwners); }
    void rewriteKeepsOwner();
    void placesOfTheFile();
    void writersKilledAndConcurrent();
};

void ProfileTest::read() {
    const ReadRow& r = rowOf(kReads);
    QTemporaryDir dir;
    QVERIFY(writeBytes(dir.filePath(u"a.zsc"_s), r.content));
    QCOMPARE(ReadIni(r.key.section(u'/', 0, 0), r.key.section(u'/', 1), u"-"_s,
                     dir.filePath(u"a.zsc"_s)),
             r.expected);
}

void ProfileTest::write() {
    const WriteRow& r = rowOf(kWrites);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"s.zsc"_s);
    if (r.before != "-")
        QVERIFY(writeBytes(path, r.before) && setMode(path, r.mode));
    const ino_t old = statOf(path).st_ino;
    QCOMPARE(WriteIni(kOpt, r.key, r.value, path), r.ok);
    QCOMPARE(readBytes(path), r.after);
    QCOMPARE(statOf(path).st_ino != old, r.before != r.after);
    QCOMPARE(ScriptFileExists(path), r.after != "-" && !r.after.isEmpty());
    if (r.after != "-")
        QCOMPARE(statOf(path).st_mode & 07777, mode_t(r.mode));
    if (r.ok && !r.value.isEmpty())
        QCOMPARE(ReadIni(kOpt, r.key, {}, path), r.value);
}

void ProfileTest::rewriteKeepsOwner() {
    const OwnerRow& r = rowOf(kOwners);
    if (::geteuid() != 0)
        QSKIP("needs root to give files to another user");
    QTemporaryDir dir;
    const QString file = dir.filePath(u"s.zsc"_s), link = dir.filePath(u"link.zsc"_s);
    QVERIFY(writeBytes(file, kP) && setMode(file, r.mode, r.owner, r.group));
    if (r.linkOwner >= 0)
        QVERIFY(QFile::link(file, link) &&
                ::lchown(QFile::encodeName(link).constData(), uid_t(r.linkOwner), 0) == 0);
    QCOMPARE(WriteIni(kOpt, u"B"_s, u"2"_s, r.linkOwner >= 0 ? link : file), r.written);
    QCOMPARE(readBytes(file), r.written ? kP + "B=2\r\n" : kP);
    const struct stat st = statOf(file);
    QCOMPARE(QList<uint>({st.st_uid, st.st_gid, st.st_mode & 07777}),
             QList<uint>({uint(r.owner), uint(r.group), uint(r.mode)}));
    QCOMPARE(QFileInfo(link).isSymLink(), r.linkOwner >= 0);
}

void ProfileTest::placesOfTheFile() {
    // An empty name is the settings file beside the executable, never created here.
    QCOMPARE(SettingsFilePath(), QCoreApplication::applicationFilePath() + u".ini"_s);
    QCOMPARE(ReadIni(kOpt, u"A"_s, u"-"_s, {}), u"-"_s);
    QTemporaryDir dir;
    QVERIFY(!WriteIni(kOpt, u"A"_s, u"1"_s, dir.filePath(u"no/s.zsc"_s)));
    QVERIFY(!QFile::exists(dir.filePath(u"no"_s)) && !ScriptFileExists(dir.path()));
    // A lock file this user may not use (a planted link) blocks no write.
    QVERIFY(
        QFile::link(u"/dev/null"_s, dir.filePath(QString::fromLatin1(FileLock::kFolderLockName))));
    QVERIFY(WriteIni(kOpt, u"A"_s, u"1"_s, dir.filePath(u"s.zsc"_s)));
    QCOMPARE(readBytes(dir.filePath(u"s.zsc"_s)), kP);
}

// Two writer processes at a time, killed at a random moment once both have
// written: neither loses the other's keys, no file is torn, and the next
// writers take over the lock the killed ones held.
void ProfileTest::writersKilledAndConcurrent() {
    QTemporaryDir dir;
    const QString file = dir.filePath(u"shared.zsc"_s);
    QHash<QString, int> written;
    for (int round = 0; round < 30; ++round) {
        QProcess writers[2];
        const QStringList prefixes{u"R%1a_"_s.arg(round), u"R%1b_"_s.arg(round)};
        for (int w : {0, 1}) {
            writers[w].start(QCoreApplication::applicationFilePath(),
                             {u"--writer"_s, file, prefixes[w]});
            written[prefixes[w]] = 1;
        }
        QTRY_VERIFY_WITH_TIMEOUT(keysOf(file, prefixes[0]) != 0 && keysOf(file, prefixes[1]) != 0,
                                 20000);
        QThread::msleep(QRandomGenerator::global()->bounded(25));
        for (QProcess& w : writers) {
            w.kill(); // SIGKILL
            QVERIFY(w.waitForFinished());
        }
        for (auto it = written.begin(); it != written.end(); ++it) {
            const int n = keysOf(file, it.key());
            QVERIFY2(n >= it.value(), qPrintable(u"%1: %2"_s.arg(it.key()).arg(n)));
            it.value() = n;
        }
    }
}

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    // A writer process, until killed; it pauses as real writers do, or the
    // lock would hardly ever be free for the other one.
    for (int i = 1; args.size() == 4 && args[1] == u"--writer"; QThread::msleep(3))
        i += WriteIni(kOpt, args[3] + QString::number(i), valueOf(i), args[2]);
    ProfileTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_profile.moc"
