// System calls that fail in the middle of real zip and unzip runs: a full
// disk, refused opens, too many open files, failing renames, syncs and reads,
// each at the first, a middle and the last call of its kind that touches the
// run's files. The program is the real binary in batch mode with a fault shim
// preloaded; after every run the files on disk must still tell one story.
#include "ReliabilityFixture.h"
#include "storage/FileOps.h"
#include "storage/Scramble.h"

#include <cerrno>

using namespace reliability;
using namespace tarvik;

namespace {

struct ShimReport {
    QMap<QString, long> counts;
    QStringList hits; // "KIND ERRNO PATH"
    bool hitUnder(const QString& folder) const {
        for (const QString& hit : hits)
            if (hit.section(u' ', 2).startsWith(folder))
                return true;
        return false;
    }
};

struct Fault {
    QString call;
    int error = 0;
    bool persist = false;
    long at = 1;
};

const QStringList kZipKeys{u"File1"_s,   u"File2"_s,           u"Dir1"_s,       u"Dir2"_s,
                           u"ZipFile"_s, u"CompressionMode"_s, u"StorePaths"_s, u"Description"_s};
const QStringList kUnzipKeys{u"ZipFile"_s,   u"File1"_s,  u"Dir1"_s,    u"Dir2"_s,
                             u"Overwrite"_s, u"Delete"_s, u"Extract"_s, u"Description"_s};

QString errnoName(int error) {
    switch (error) {
    case ENOSPC:
        return u"ENOSPC"_s;
    case EACCES:
        return u"EACCES"_s;
    case EMFILE:
        return u"EMFILE"_s;
    case EIO:
        return u"EIO"_s;
    default:
        return QString::number(error);
    }
}

} // namespace

class FaultInjectionTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void zipRun_data() { faultRows(true); }
    void zipRun();
    void damagedCopy_data();
    void damagedCopy();
    void unzipRun_data() { faultRows(false); }
    void unzipRun();
    void profileWrite_data();
    void profileWrite();
    void cleanupTestCase();

private:
    void faultRows(bool zip);
    long pointIndex(const QString& scenario, const QString& call, const QString& point);
    QProcessEnvironment faultEnvironment(const ProgramFolder& pf, const Fault* fault) const;
    ShimReport runWithShim(const ProgramFolder& pf, const QStringList& args, const Fault* fault,
                           int* exitCode) const;

    void prepareZip();
    void checkZipRun(int exitCode, const ShimReport& report);
    void prepareUnzip();
    void checkUnzipRun(int exitCode, const ShimReport& report);
    void record(const QString& scenario, const Fault& fault, const QString& point,
                const ShimReport& report);

    ProgramFolder pf_;
    // Calls of each kind a fault-free run makes, per scenario.
    QMap<QString, QMap<QString, long>> counts_;
    QStringList table_;

    // State of the prepared scenario.
    QByteArray oldArchive_;
    QMap<QString, QByteArray> newMembers_;  // zip: what the new archive must hold
    QMap<QString, QByteArray> keptSources_; // zip: relative path -> content
    QMap<QString, QByteArray> markedSources_;
    QMap<QString, QByteArray> oldTargets_; // unzip: relative target -> content before
    QMap<QString, QByteArray> archived_;   // unzip: member -> content
    QMap<QString, QString> scriptBefore_;
    QByteArray settingsBefore_;
};

void FaultInjectionTest::initTestCase() {
    QVERIFY(QFile::exists(pf_.bin()));
    QVERIFY(QFile::exists(QStringLiteral(TARVIK_FAULT_SHIM)));
}

void FaultInjectionTest::faultRows(bool zip) {
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("persist");
    QTest::addColumn<QString>("point");
    struct Kind {
        const char* call;
        int error;
        bool persist; // a full disk stays full
    };
    // A zip run syncs each destination folder after renaming the copy in; a
    // folder that cannot be synced from some call on holds no copy that counts.
    const Kind kinds[] = {{"write", ENOSPC, true}, {"open", EACCES, false}, {"open", EMFILE, false},
                          {"rename", EIO, false},  {"fsync", EIO, false},   {"read", EIO, false},
                          {"dirsync", EIO, true}};
    for (const Kind& k : kinds)
        if (zip || k.call != std::string_view("dirsync"))
            for (const char* point : {"first", "middle", "last"})
                QTest::addRow("%s %s at the %s call", k.call, qPrintable(errnoName(k.error)), point)
                    << QString::fromLatin1(k.call) << k.error << k.persist
                    << QString::fromLatin1(point);
}

QProcessEnvironment FaultInjectionTest::faultEnvironment(const ProgramFolder& pf,
                                                         const Fault* fault) const {
    QProcessEnvironment env = pf.environment();
    preloadFaultShim(env, QStringLiteral(TARVIK_FAULT_SHIM));
    env.insert(u"TARVIK_FAULT_UNDER"_s, pf.runFolder());
    env.insert(u"TARVIK_FAULT_REPORT"_s, pf.scratch(u"shim-report"_s));
    // One engine thread, so every run makes its calls in the same order and
    // the n-th call of a kind is the same call each time.
    env.insert(u"TARVIK_THREADS"_s, u"1"_s);
    if (fault) {
        env.insert(u"TARVIK_FAULT_CALL"_s, fault->call);
        env.insert(u"TARVIK_FAULT_ERRNO"_s, QString::number(fault->error));
        env.insert(u"TARVIK_FAULT_AT"_s, QString::number(fault->at));
        env.insert(u"TARVIK_FAULT_PERSIST"_s, fault->persist ? u"1"_s : u"0"_s);
    }
    return env;
}

ShimReport FaultInjectionTest::runWithShim(const ProgramFolder& pf, const QStringList& args,
                                           const Fault* fault, int* exitCode) const {
    QFile::remove(pf.scratch(u"shim-report"_s));
    *exitCode = pf.run(args, faultEnvironment(pf, fault)).exitCode;
    ShimReport report;
    const QString text = QString::fromUtf8(readBytes(pf.scratch(u"shim-report"_s)));
    for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts)) {
        if (line.startsWith(u"count "_s))
            report.counts.insert(line.section(u' ', 1, 1), line.section(u' ', 2).toLong());
        else if (line.startsWith(u"hit "_s))
            report.hits.append(line.mid(4));
    }
    return report;
}

long FaultInjectionTest::pointIndex(const QString& scenario, const QString& call,
                                    const QString& point) {
    if (!counts_.contains(scenario)) {
        // Worker threads and a busy machine can add or save a call now and
        // then, so the fewest calls of three fault-free runs are counted: the
        // chosen call is then reached in every run.
        QMap<QString, long> fewest;
        for (int probe = 0; probe < 3; ++probe) {
            scenario == u"zip" ? prepareZip() : prepareUnzip();
            int exitCode = -1;
            const ShimReport report = runWithShim(
                pf_, {scenario == u"zip" ? u"backup.zsc"_s : u"restore.usc"_s}, nullptr, &exitCode);
            if (exitCode != 0)
                return -1;
            if (probe == 0)
                fewest = report.counts;
            for (auto it = fewest.begin(); it != fewest.end(); ++it)
                it.value() = qMin(it.value(), report.counts.value(it.key(), 0));
        }
        counts_.insert(scenario, fewest);
    }
    const long count = counts_[scenario].value(call);
    if (count < 1)
        return -1;
    if (point == u"first")
        return 1;
    return point == u"last" ? count : (count + 1) / 2;
}

void FaultInjectionTest::record(const QString& scenario, const Fault& fault, const QString& point,
                                const ShimReport& report) {
    table_.append(u"%1 run | %2 %3 | %4 (call %5) | %6 failed call(s), first on %7 | survived"_s
                      .arg(scenario, fault.call, errnoName(fault.error), point)
                      .arg(fault.at)
                      .arg(report.hits.size())
                      .arg(report.hits.value(0).section(u' ', 2).remove(pf_.runFolder() + u'/')));
}

// ---- zip ----

// Backup.zip already sits in out/one and out/two from an earlier run; the
// sources have changed since, and two of them carry the delete mark.
void FaultInjectionTest::prepareZip() {
    pf_.resetRun();
    const auto put = [&](const QString& rel, const QByteArray& bytes) {
        QVERIFY(writeBytes(pf_.path(rel), bytes));
    };
    put(u"src/keep/a.txt"_s, sampleText(300000, 1));
    put(u"src/keep/b.bin"_s, sampleNoise(60000, 2));
    put(u"src/del/d1.txt"_s, sampleText(40000, 3));
    put(u"src/del/d2.txt"_s, sampleText(20000, 4));
    QVERIFY(QDir().mkpath(pf_.path(u"out/one"_s)) && QDir().mkpath(pf_.path(u"out/two"_s)));
    pf_.writeScript(u"backup.zsc"_s, {{u"File1"_s, pf_.path(u"src/keep/*"_s)},
                                      {u"File2"_s, u"X,"_s + pf_.path(u"src/del/*.txt"_s)},
                                      {u"Dir1"_s, pf_.path(u"out/one"_s)},
                                      {u"Dir2"_s, pf_.path(u"out/two"_s)},
                                      {u"ZipFile"_s, u"Backup"_s},
                                      {u"CompressionMode"_s, u"Normal"_s},
                                      {u"StorePaths"_s, u"No"_s},
                                      {u"Description"_s, u"Nightly backup"_s}});
    QVERIFY2(pf_.run({u"backup.zsc"_s}).exitCode == 0, qPrintable(pf_.logText()));
    oldArchive_ = readBytes(pf_.path(u"out/one/Backup.zip"_s));
    QVERIFY(!oldArchive_.isEmpty());

    keptSources_ = {{u"src/keep/a.txt"_s, sampleText(300000, 11)},
                    {u"src/keep/b.bin"_s, sampleNoise(60000, 2)}};
    markedSources_ = {{u"src/del/d1.txt"_s, sampleText(40000, 13)},
                      {u"src/del/d2.txt"_s, sampleText(20000, 14)}};
    newMembers_.clear();
    for (const auto* sources : {&keptSources_, &markedSources_})
        for (auto it = sources->begin(); it != sources->end(); ++it) {
            put(it.key(), it.value());
            newMembers_.insert(QFileInfo(it.key()).fileName(), it.value());
        }
    QFile::remove(pf_.logFile());
    scriptBefore_ =
        scriptValues(pf_.script(u"backup.zsc"_s), kZipKeys).value_or(QMap<QString, QString>());
    settingsBefore_ = readBytes(pf_.settingsFile());
}

void FaultInjectionTest::checkZipRun(int exitCode, const ShimReport& report) {
    QVERIFY2(exitCode == 0 || exitCode == 2, qPrintable(QString::number(exitCode)));
    const bool logLost = report.hitUnder(pf_.path(u"log"_s));
    const QString log = pf_.logText();

    // Each destination holds the old archive or the complete new one; the new
    // one counts only when its folder was synced after it was renamed in.
    int delivered = 0;
    for (const QString& dir : {u"out/one"_s, u"out/two"_s}) {
        const QString archive = pf_.path(dir + u"/Backup.zip"_s);
        const QByteArray bytes = readBytes(archive);
        const bool unsynced = std::any_of(report.hits.begin(), report.hits.end(), [&](auto& hit) {
            return hit.startsWith(u"dirsync "_s) && hit.section(u' ', 2) == pf_.path(dir);
        });
        if (bytes != oldArchive_) {
            QVERIFY2(zipContents(archive) == newMembers_, qPrintable(dir + u": damaged archive"_s));
            QVERIFY(archiveTestsGood(archive));
        }
        if (bytes == oldArchive_ || unsynced) {
            if (exitCode == 0 && !logLost)
                QVERIFY2(log.contains(u"  Unable to copy zip file to "_s + pf_.path(dir)),
                         qPrintable(dir + u" has no copy that counts, and no log line"_s));
            continue;
        }
        ++delivered;
    }
    QCOMPARE(filesNamed(pf_.path(u"out"_s), QString()),
             QStringList({u"one/Backup.zip"_s, u"two/Backup.zip"_s}));

    if (exitCode == 0) {
        QVERIFY2(delivered > 0, "run finished without delivering an archive");
        QVERIFY(!log.contains(u"  Aborted"_s));
    } else if (!logLost) {
        QVERIFY2(log.contains(u"  Aborted"_s), qPrintable(log));
    }

    // A marked source is gone only when a checked copy holds it.
    for (auto it = markedSources_.begin(); it != markedSources_.end(); ++it) {
        if (QFile::exists(pf_.path(it.key())))
            QCOMPARE(readBytes(pf_.path(it.key())), it.value());
        else
            QVERIFY2(delivered > 0, qPrintable(it.key() + u" deleted without a copy"_s));
    }
    for (auto it = keptSources_.begin(); it != keptSources_.end(); ++it)
        QCOMPARE(readBytes(pf_.path(it.key())), it.value());

    QCOMPARE(scriptValues(pf_.script(u"backup.zsc"_s), kZipKeys), scriptBefore_);
    QCOMPARE(readBytes(pf_.settingsFile()), settingsBefore_);

    // The next run without faults delivers and leaves nothing half-made behind.
    QCOMPARE(pf_.run({u"backup.zsc"_s}).exitCode, 0);
    QCOMPARE(filesNamed(pf_.tempFolder(), QString()), QStringList{LockFileName(u"Backup.zip"_s)});
    for (const QString& dir : {u"out/one"_s, u"out/two"_s}) {
        QCOMPARE(filesNamed(pf_.path(dir), QString()), QStringList{u"Backup.zip"_s});
        QVERIFY(archiveTestsGood(pf_.path(dir + u"/Backup.zip"_s)));
    }
}

void FaultInjectionTest::zipRun() {
    QFETCH(QString, call);
    QFETCH(int, error);
    QFETCH(bool, persist);
    QFETCH(QString, point);
    const long at = pointIndex(u"zip"_s, call, point);
    QVERIFY2(at > 0, "a fault-free run did not make such a call");
    prepareZip();
    const Fault fault{call, error, persist, at};
    int exitCode = -1;
    const ShimReport report = runWithShim(pf_, {u"backup.zsc"_s}, &fault, &exitCode);
    QVERIFY2(!report.hits.isEmpty(), "the fault was never injected");
    checkZipRun(exitCode, report);
    if (!QTest::currentTestFailed())
        record(u"zip"_s, fault, point, report);
}

// A copy whose data is damaged on its way to the disk (one byte of the first
// member flipped as the copy is synced) passes a check of size and structure;
// read back in full it is no copy: the old archive stays, the sources marked
// for deletion stay, and the run says so and aborts.
void FaultInjectionTest::damagedCopy_data() {
    QTest::addColumn<bool>("damaged");
    QTest::addColumn<QString>("password"); // AES members are checked by their code
    QTest::newRow("copy as written") << false << QString();
    QTest::newRow("one byte of member data flipped") << true << QString();
    QTest::newRow("one byte of AES member data flipped") << true << u"pw"_s;
}

void FaultInjectionTest::damagedCopy() {
    QFETCH(bool, damaged);
    QFETCH(QString, password);
    prepareZip();
    pf_.writeScript(u"one.zsc"_s, {{u"File1"_s, pf_.path(u"src/keep/*"_s)},
                                   {u"File2"_s, u"X,"_s + pf_.path(u"src/del/*.txt"_s)},
                                   {u"Dir1"_s, pf_.path(u"out/one"_s)},
                                   {u"ZipFile"_s, u"Backup"_s},
                                   {u"Password"_s, Scramble(password).value()},
                                   {u"StorePaths"_s, u"No"_s}});
    const Fault fault{u"fsync"_s, 0, true, 1};
    QProcessEnvironment env = faultEnvironment(pf_, damaged ? &fault : nullptr);
    env.insert(u"TARVIK_FAULT_DAMAGE"_s, u"1000"_s); // within a.txt's deflated data
    QCOMPARE(pf_.run({u"one.zsc"_s}, env).exitCode, damaged ? 2 : 0);
    const QString log = pf_.logText();
    QCOMPARE(log.contains(u"  Unable to copy zip file to "_s + pf_.path(u"out/one"_s) +
                          u". Error 5 : Input/output error"_s),
             damaged);
    QCOMPARE(log.contains(u"  Aborted : No copy of the zip file was made."_s), damaged);
    for (auto it = markedSources_.begin(); it != markedSources_.end(); ++it)
        QCOMPARE(readBytes(pf_.path(it.key())), damaged ? it.value() : QByteArray());
    const QString archive = pf_.path(u"out/one/Backup.zip"_s);
    QVERIFY(damaged ? readBytes(archive) == oldArchive_ : zipContents(archive) == newMembers_);
}

// ---- unzip ----

// out/x and out/y already hold older copies of two members; the script
// deletes the archive once it is extracted into both.
void FaultInjectionTest::prepareUnzip() {
    pf_.resetRun();
    archived_ = {{u"a.bin"_s, sampleNoise(200000, 21)},
                 {u"sub/b.txt"_s, sampleText(150000, 22)},
                 {u"c.txt"_s, sampleText(5000, 23)}};
    const QString members = pf_.scratch(u"members"_s);
    QDir(members).removeRecursively();
    for (auto it = archived_.begin(); it != archived_.end(); ++it)
        QVERIFY(writeBytes(members + u'/' + it.key(), it.value()));
    QProcess zip;
    zip.setWorkingDirectory(members);
    zip.start(u"zip"_s, {u"-qr"_s, pf_.path(u"src/in.zip"_s), u"."_s});
    QVERIFY(zip.waitForFinished() && zip.exitCode() == 0);
    oldArchive_ = readBytes(pf_.path(u"src/in.zip"_s));

    oldTargets_ = {{u"out/x/a.bin"_s, "OLD a"}, {u"out/y/sub/b.txt"_s, "OLD b"}};
    for (auto it = oldTargets_.begin(); it != oldTargets_.end(); ++it)
        QVERIFY(writeBytes(pf_.path(it.key()), it.value()));
    pf_.writeScript(u"restore.usc"_s, {{u"ZipFile"_s, pf_.path(u"src/in"_s)},
                                       {u"File1"_s, u"*.*"_s},
                                       {u"Dir1"_s, pf_.path(u"out/x"_s)},
                                       {u"Dir2"_s, pf_.path(u"out/y"_s)},
                                       {u"Overwrite"_s, u"Yes"_s},
                                       {u"Delete"_s, u"Yes"_s},
                                       {u"Extract"_s, u"All"_s},
                                       {u"Description"_s, u"Restore"_s}});
    scriptBefore_ =
        scriptValues(pf_.script(u"restore.usc"_s), kUnzipKeys).value_or(QMap<QString, QString>());
    settingsBefore_ = readBytes(pf_.settingsFile());
}

void FaultInjectionTest::checkUnzipRun(int exitCode, const ShimReport& report) {
    QVERIFY2(exitCode == 0 || exitCode == 2, qPrintable(QString::number(exitCode)));
    const bool logLost = report.hitUnder(pf_.path(u"log"_s));
    const QString log = pf_.logText();

    // Every target is what it was or the member's whole content.
    bool allNew = true;
    for (const QString& dir : {u"out/x/"_s, u"out/y/"_s}) {
        for (auto it = archived_.begin(); it != archived_.end(); ++it) {
            const QString target = dir + it.key();
            const QByteArray now = readBytes(pf_.path(target));
            const bool isNew = QFile::exists(pf_.path(target)) && now == it.value();
            const bool isOld = oldTargets_.contains(target) ? now == oldTargets_[target]
                                                            : !QFile::exists(pf_.path(target));
            QVERIFY2(isNew || isOld, qPrintable(target + u" is damaged"_s));
            allNew = allNew && isNew;
        }
    }
    QCOMPARE(filesNamed(pf_.path(u"out"_s), u".tarvik-"_s), QStringList());

    const bool archiveThere = QFile::exists(pf_.path(u"src/in.zip"_s));
    if (archiveThere)
        QCOMPARE(readBytes(pf_.path(u"src/in.zip"_s)), oldArchive_);
    // The archive goes only once the extracted files are flushed to the disk.
    const bool flushFailed = std::any_of(report.hits.begin(), report.hits.end(), [&](auto& hit) {
        return hit.startsWith(u"fsync "_s) && hit.section(u' ', 2).startsWith(pf_.path(u"out"_s));
    });
    if (flushFailed)
        QVERIFY2(archiveThere, "archive deleted though the extracted files were not flushed");
    if (exitCode == 0) {
        QVERIFY2(allNew, "run finished without extracting every member");
        if (archiveThere && !logLost)
            QVERIFY(log.contains(u"  Unable to delete zip file "_s));
    } else {
        QVERIFY2(archiveThere, "archive deleted by a run that did not finish");
        if (!logLost)
            QVERIFY2(log.contains(u"  Aborted"_s), qPrintable(log));
    }
    QCOMPARE(scriptValues(pf_.script(u"restore.usc"_s), kUnzipKeys), scriptBefore_);
    QCOMPARE(readBytes(pf_.settingsFile()), settingsBefore_);

    if (!archiveThere)
        QVERIFY(writeBytes(pf_.path(u"src/in.zip"_s), oldArchive_));
    QCOMPARE(pf_.run({u"restore.usc"_s}).exitCode, 0);
    for (const QString& dir : {u"out/x/"_s, u"out/y/"_s})
        for (auto it = archived_.begin(); it != archived_.end(); ++it)
            QCOMPARE(readBytes(pf_.path(dir + it.key())), it.value());
    QCOMPARE(filesNamed(pf_.path(u"out"_s), u".tarvik-"_s), QStringList());
}

void FaultInjectionTest::unzipRun() {
    QFETCH(QString, call);
    QFETCH(int, error);
    QFETCH(bool, persist);
    QFETCH(QString, point);
    const long at = pointIndex(u"unzip"_s, call, point);
    QVERIFY2(at > 0, "a fault-free run did not make such a call");
    prepareUnzip();
    const Fault fault{call, error, persist, at};
    int exitCode = -1;
    const ShimReport report = runWithShim(pf_, {u"restore.usc"_s}, &fault, &exitCode);
    QVERIFY2(!report.hits.isEmpty(), "the fault was never injected");
    checkUnzipRun(exitCode, report);
    if (!QTest::currentTestFailed())
        record(u"unzip"_s, fault, point, report);
}

// ---- one profile write ----

// A script rewrite that meets a failing call either reports failure and
// leaves the old file, or succeeds with every key; a write or sync that
// failed on the new file never ends in success.
void FaultInjectionTest::profileWrite_data() {
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("error");
    QTest::newRow("write ENOSPC") << u"write"_s << int(ENOSPC);
    QTest::newRow("fsync EIO") << u"fsync"_s << int(EIO);
    QTest::newRow("rename EIO") << u"rename"_s << int(EIO);
    QTest::newRow("open EACCES") << u"open"_s << int(EACCES);
    QTest::newRow("read EIO") << u"read"_s << int(EIO);
}

void FaultInjectionTest::profileWrite() {
    QFETCH(QString, call);
    QFETCH(int, error);
    const QString file = pf_.path(u"scripts/one.zsc"_s);
    QByteArray before = "[Options]\r\n";
    for (int i = 1; i <= 50; ++i)
        before += "File" + QByteArray::number(i) + "=/data/" + QByteArray(300, 'f') + "\r\n";
    const auto write = [&](const Fault* fault, int* exitCode) {
        pf_.resetRun();
        writeBytes(file, before);
        QFile::remove(pf_.scratch(u"shim-report"_s));
        QProcess p;
        p.setProcessEnvironment(faultEnvironment(pf_, fault));
        p.start(QStringLiteral(TARVIK_INI_WRITER), {file, u"LastRun"_s, u"2004/03/15"_s});
        *exitCode =
            p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        ShimReport report;
        for (const QString& line : QString::fromUtf8(readBytes(pf_.scratch(u"shim-report"_s)))
                                       .split(u'\n', Qt::SkipEmptyParts)) {
            if (line.startsWith(u"count "_s))
                report.counts.insert(line.section(u' ', 1, 1), line.section(u' ', 2).toLong());
            else if (line.startsWith(u"hit "_s))
                report.hits.append(line.mid(4));
        }
        return report;
    };
    int exitCode = -1;
    const long count = write(nullptr, &exitCode).counts.value(call);
    QCOMPARE(exitCode, 0);
    QVERIFY(count > 0);
    for (long at = 1; at <= count; ++at) {
        const Fault fault{call, error, false, at};
        const ShimReport report = write(&fault, &exitCode);
        QVERIFY(!report.hits.isEmpty());
        const QByteArray after = readBytes(file);
        const QString where = u"%1 at call %2 (%3)"_s.arg(call).arg(at).arg(report.hits.first());
        QVERIFY2(exitCode == 0 || exitCode == 1, qPrintable(where));
        if (exitCode == 1) {
            QVERIFY2(after == before, qPrintable(where + u": failed write changed the file"_s));
        } else {
            // Every write is one of the new file; so is the first sync (a
            // second one, after it succeeded, changes nothing on the disk).
            QVERIFY2(call != u"write" && !(call == u"fsync" && at == 1),
                     qPrintable(where + u": reported success"_s));
            QCOMPARE(after, before + "LastRun=2004/03/15\r\n");
        }
        table_.append(
            u"profile write | %1 %2 | call %3 of %4 | %5, survived"_s.arg(call, errnoName(error))
                .arg(at)
                .arg(count)
                .arg(exitCode == 1 ? u"refused, old file kept"_s : u"written"_s));
    }
}

void FaultInjectionTest::cleanupTestCase() {
    qInfo("Faults injected and survived: %lld", qlonglong(table_.size()));
    for (const QString& row : std::as_const(table_))
        qInfo("  %s", qPrintable(row));
}

QTEST_GUILESS_MAIN(FaultInjectionTest)
#include "tst_fault_injection.moc"
