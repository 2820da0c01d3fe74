// System calls that fail as a full disk, refused opens, too many open files
// and failing renames, syncs and reads do: at the first, a middle and the last
// call of their kind on the run folder's files, in a zip run, an unzip run and
// one settings write, with fault_shim.c preloaded into the real binaries.
// After each the files on disk must tell one story, and the next run without
// faults must deliver and leave nothing half-made behind.
#include "ProgramFolder.h"
#include "storage/FileOps.h"

#include <cerrno>
#include <cstring>

using namespace tarvik;

class FaultInjectionTest : public QObject {
    Q_OBJECT
private slots:
    void faults_data();
    void faults();

private:
    void prepare();
    int execute(const QString& phase, const QMap<QString, QString>& faults);
    void checkZip(int code, const QString& log, bool logLost);
    void checkUnzip(int code, const QString& log, bool logLost);

    ProgramFolder pf_;
    QMap<QString, QMap<QString, long>> fewest_; // per phase: calls of each kind without faults
    QString report_; // the shim's: "hit KIND PATH" per failed call, "count KIND N" per kind
    Files files_;    // the sources below src; also the members of src/in.zip
    QByteArray archive_, profile_, settings_;
    QStringList scripts_;
};

void FaultInjectionTest::faults_data() {
    QTest::addColumn<QString>("phase");
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("persist"); // a full disk stays full
    QTest::addColumn<QString>("point");
    const std::tuple<const char*, int, bool> kinds[] = {
        {"write", ENOSPC, true}, {"open", EACCES, false}, {"open", EMFILE, false},
        {"rename", EIO, false},  {"fsync", EIO, false},   {"read", EIO, false},
        {"dirsync", EIO, true}};
    for (const char* phase : {"zip", "unzip", "settings"})
        for (const auto& [call, error, persist] : kinds)
            for (const char* point : {"first", "middle", "last"})
                if (strcmp(phase, "settings") != 0 || strcmp(call, "dirsync") != 0)
                    QTest::addRow("%s: %s %s at the %s call", phase, call, strerrorname_np(error),
                                  point)
                        << QString::fromLatin1(phase) << QString::fromLatin1(call) << error
                        << persist << QString::fromLatin1(point);
}

// src/in.zip holds the sources, to be extracted into out/x and out/y (which
// hold an old copy of two of them) and deleted. An older Backup.zip sits in
// out/one and out/two; the d sources carry the delete mark.
void FaultInjectionTest::prepare() {
    pf_.reset();
    files_ = {{u"keep/a.txt"_s, sample(300000, 1)},
              {u"keep/b.bin"_s, sample(60000, 2, true)},
              {u"del/d1.txt"_s, sample(40000, 3)},
              {u"del/d2.txt"_s, sample(20000, 4)}};
    for (auto it = files_.begin(); it != files_.end(); ++it)
        QVERIFY(put(pf_.at(u"src/"_s + it.key()), *it));
    QProcess zip;
    zip.setWorkingDirectory(pf_.at(u"src"_s));
    zip.start(u"zip"_s, {u"-qr"_s, u"in.zip"_s, u"keep"_s, u"del"_s});
    QVERIFY(zip.waitForFinished() && zip.exitCode() == 0);
    archive_ = get(pf_.at(u"src/in.zip"_s));
    QVERIFY(put(pf_.at(u"out/one/Backup.zip"_s), archive_));
    QVERIFY(put(pf_.at(u"out/two/Backup.zip"_s), archive_));
    QVERIFY(put(pf_.at(u"out/x/keep/a.txt"_s), "OLD") && put(pf_.at(u"out/y/del/d1.txt"_s), "OLD"));
    pf_.writeScript(u"go.zsc"_s, u"File1=@/src/keep/*\nFile2=X,@/src/del/*.txt\nDir1=@/out/one\n"
                                 u"Dir2=@/out/two\nZipFile=Backup\nStorePaths=No"_s);
    pf_.writeScript(u"go.usc"_s, u"ZipFile=@/src/in\nFile1=*.*\nDir1=@/out/x\nDir2=@/out/y\n"
                                 u"Overwrite=Yes\nDelete=Yes"_s);
    profile_ = get(pf_.script(u"go.zsc"_s));
    settings_ = get(pf_.ini());
    scripts_ = scriptLines(pf_.script(u"go.zsc"_s)) + scriptLines(pf_.script(u"go.usc"_s));
}

// One run of the phase's program with the shim set to `faults`, on one engine
// thread, so that the n-th call of a kind is the same call in every run.
int FaultInjectionTest::execute(const QString& phase, const QMap<QString, QString>& faults) {
    QProcessEnvironment env = pf_.shimEnv(faults);
    env.insert(u"TARVIK_THREADS"_s, u"1"_s);
    const int code = phase == u"settings"
                         ? pf_.run({pf_.script(u"go.zsc"_s), u"LastRun"_s, u"2004/03/15"_s}, env,
                                   QStringLiteral(TARVIK_INI_WRITER))
                               .code
                         : pf_.run({phase == u"zip" ? u"go.zsc"_s : u"go.usc"_s}, env).code;
    report_ = QString::fromUtf8(get(pf_.scratch(u"shim"_s)));
    return code;
}

void FaultInjectionTest::faults() {
    QFETCH(QString, phase);
    QFETCH(QString, call);
    QFETCH(int, error);
    QFETCH(bool, persist);
    QFETCH(QString, point);
    // A busy machine can add or save a call now and then: the fewest calls of
    // three fault-free runs are counted, so the chosen one comes in every run.
    for (int probe = fewest_.contains(phase) ? 3 : 0; probe < 3; ++probe) {
        prepare();
        QCOMPARE(execute(phase, {}), 0);
        for (const auto& m : QRegularExpression(u"count (\\w+) (\\d+)"_s).globalMatch(report_)) {
            const long n = m.captured(2).toLong();
            fewest_[phase][m.captured(1)] = probe ? qMin(fewest_[phase][m.captured(1)], n) : n;
        }
    }
    const long count = fewest_[phase].value(call);
    QVERIFY2(count > 0, "a fault-free run makes no such call");
    const long at = point == u"first" ? 1 : point == u"last" ? count : count / 2 + 1;
    prepare();
    const int code = execute(phase, {{u"CALL"_s, call},
                                     {u"ERRNO"_s, QString::number(error)},
                                     {u"AT"_s, QString::number(at)},
                                     {u"PERSIST"_s, persist ? u"1"_s : u"0"_s}});
    QVERIFY2(report_.contains(u"hit "_s), "the fault was never injected");
    if (phase == u"settings") {
        // The write refuses and keeps the old file, or succeeds with every
        // key; a failed write or sync of the new file never succeeds.
        QVERIFY2(code == 0 || code == 1, qPrintable(report_));
        QCOMPARE(get(pf_.script(u"go.zsc"_s)),
                 code ? profile_ : profile_ + "LastRun=2004/03/15\r\n");
        QVERIFY2(code || (call != u"write" && !(call == u"fsync" && at == 1)), "reported success");
        return;
    }
    QVERIFY2(code == 0 || code == 2, qPrintable(QString::number(code)));
    const bool logLost = report_.contains(pf_.at(u"log"_s));
    const QString log = pf_.logText();
    QVERIFY2(logLost || (code == 2) == log.contains(u"  Aborted"_s), qPrintable(log));
    QCOMPARE(scriptLines(pf_.script(u"go.zsc"_s)) + scriptLines(pf_.script(u"go.usc"_s)), scripts_);
    QCOMPARE(get(pf_.ini()), settings_);
    phase == u"zip" ? checkZip(code, log, logLost) : checkUnzip(code, log, logLost);
}

void FaultInjectionTest::checkZip(int code, const QString& log, bool logLost) {
    Files byName;
    for (auto it = files_.begin(); it != files_.end(); ++it)
        byName.insert(QFileInfo(it.key()).fileName(), *it);
    // Each destination holds the old archive or the complete new one; the new
    // one counts only when its folder was synced after it was renamed in.
    int delivered = 0;
    for (const QString& dir : {pf_.at(u"out/one"_s), pf_.at(u"out/two"_s)}) {
        const QString archive = dir + u"/Backup.zip"_s;
        QCOMPARE(filesIn(dir), QStringList{u"Backup.zip"_s}); // no copy left half-made
        const bool changed = get(archive) != archive_;
        if (changed) {
            QCOMPARE(members(archive), byName);
            QVERIFY(peersPass(archive));
        }
        if (changed && !report_.contains(u"hit dirsync "_s + dir))
            ++delivered;
        else
            QVERIFY2(code || logLost || log.contains(u"  Unable to copy zip file to "_s + dir),
                     qPrintable(log));
    }
    QVERIFY2(code || delivered, "finished without delivering an archive");
    // A marked source is gone only when a checked copy holds it.
    for (auto it = files_.begin(); it != files_.end(); ++it) {
        const QString source = pf_.at(u"src/"_s + it.key());
        QVERIFY2(get(source) == *it ||
                     (it.key().startsWith(u"del/"_s) && delivered && !QFile::exists(source)),
                 qPrintable(source));
    }
    QCOMPARE(pf_.run({u"go.zsc"_s}).code, 0);
    QCOMPARE(filesIn(pf_.tmp()), QStringList{LockFileName(u"Backup.zip"_s)});
    for (const QString& dir : {u"out/one"_s, u"out/two"_s})
        QCOMPARE(filesIn(pf_.at(dir)), QStringList{u"Backup.zip"_s});
    QVERIFY(peersPass(pf_.at(u"out/two/Backup.zip"_s)));
}

void FaultInjectionTest::checkUnzip(int code, const QString& log, bool logLost) {
    // Every target is what it was, or the member's whole content.
    bool allNew = true;
    for (const QString& dir : {u"out/x/"_s, u"out/y/"_s})
        for (auto it = files_.begin(); it != files_.end(); ++it) {
            const QString target = pf_.at(dir + it.key());
            const bool isNew = QFile::exists(target) && get(target) == *it;
            const bool hadOld =
                QStringList{u"out/x/keep/a.txt"_s, u"out/y/del/d1.txt"_s}.contains(dir + it.key());
            QVERIFY2(isNew || (hadOld ? get(target) == "OLD" : !QFile::exists(target)),
                     qPrintable(target));
            allNew = allNew && isNew;
        }
    QCOMPARE(filesIn(pf_.at(u"out"_s)).filter(u".tarvik-"_s), QStringList());
    // The archive goes only from a finished run, once the extracted files are
    // on the disk.
    const bool kept = QFile::exists(pf_.at(u"src/in.zip"_s));
    QVERIFY(!kept || get(pf_.at(u"src/in.zip"_s)) == archive_);
    QVERIFY2(kept || (code == 0 && !report_.contains(u"hit dirsync "_s + pf_.at(u"out"_s))),
             "archive lost");
    QVERIFY2(code || allNew, "finished without extracting every member");
    QVERIFY(logLost || code || kept == log.contains(u"  Unable to delete zip file "_s));

    QVERIFY(put(pf_.at(u"src/in.zip"_s), archive_));
    QCOMPARE(pf_.run({u"go.usc"_s}).code, 0);
    for (const QString& dir : {u"out/x/"_s, u"out/y/"_s})
        for (auto it = files_.begin(); it != files_.end(); ++it)
            QCOMPARE(get(pf_.at(dir + it.key())), *it);
    QCOMPARE(filesIn(pf_.at(u"out"_s)).filter(u".tarvik-"_s), QStringList());
}

QTEST_GUILESS_MAIN(FaultInjectionTest)
#include "tst_fault_injection.moc"
