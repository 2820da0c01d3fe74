// The program as a scheduler runs it: a program folder of its own holding a
// copy of the binary, its settings file, script and log folders; no display.
#include "ArchiveTools.h"
#include "storage/ProfileFile.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace tarvik;
using namespace Qt::StringLiterals;

namespace {

struct ProgramFolder {
    QTemporaryDir root;
    QString bin() const { return root.filePath(u"bin/tarvik"_s); }
    QString scripts() const { return root.filePath(u"scripts"_s); }
    QString script(const QString& name) const { return scripts() + u'/' + name; }
    QString logFile() const { return root.filePath(u"log/errors.txt"_s); }

    ProgramFolder() {
        for (const QString& sub : {u"bin"_s, u"scripts"_s, u"log"_s, u"src"_s, u"out"_s})
            QDir(root.path()).mkpath(sub);
        QFile::copy(qEnvironmentVariable("TARVIK_BUILD_DIR") + u"/tarvik"_s, bin());
        const QString ini = root.filePath(u"bin/tarvik.ini"_s);
        WriteIni(u"Options"_s, u"ScriptFilePath"_s, scripts() + u'/', ini);
        WriteIni(u"Options"_s, u"ErrorFilePath"_s, root.filePath(u"log"_s), ini);
        QFile src(root.filePath(u"src/data.txt"_s));
        src.open(QIODevice::WriteOnly);
        src.write("payload");
    }

    void zipScript(const QString& name) const {
        const QString path = script(name);
        WriteIni(u"Options"_s, u"File1"_s, root.filePath(u"src/data.txt"_s), path);
        WriteIni(u"Options"_s, u"Dir1"_s, root.filePath(u"out"_s), path);
        WriteIni(u"Options"_s, u"ZipFile"_s, QFileInfo(name).completeBaseName(), path);
    }

    void unzipScript(const QString& name) const {
        const QString path = script(name);
        WriteIni(u"Options"_s, u"ZipFile"_s, root.filePath(u"src/in"_s), path);
        WriteIni(u"Options"_s, u"File1"_s, u"*.*"_s, path);
        WriteIni(u"Options"_s, u"Dir1"_s, root.filePath(u"out/"_s) + name, path);
    }

    // What the program printed: standard output, then standard error.
    struct Printed {
        int exitCode = -1;
        QString output;
        QString errors;
    };

    Printed run(const QStringList& args) const {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(u"DISPLAY"_s);
        env.remove(u"WAYLAND_DISPLAY"_s);
        env.remove(u"QT_QPA_PLATFORM"_s);
        p.setProcessEnvironment(env);
        p.start(bin(), args);
        p.waitForFinished(120000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }

    bool ran(const QString& name) const {
        return !ReadIni(u"Options"_s, u"LastRun"_s, {}, script(name)).isEmpty();
    }
};

const QStringList kScripts{u"one.zsc"_s,   u"two.usc"_s,   u"Back1.zsc"_s, u"back2.USC"_s,
                           u"empty.zsc"_s, u"notes.dsc"_s, u"readme.txt"_s};

} // namespace

class BatchCliTest : public QObject {
    Q_OBJECT
private slots:
    void grammar_data();
    void grammar();
    void errorMarkerFollowsResult();
    void helpAndVersion();
};

void BatchCliTest::grammar_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QStringList>("ran");
    QTest::addColumn<int>("exitCode");
    const QStringList none;
    QTest::newRow("-AZ: zip scripts only")
        << QStringList{u"-AZ"_s} << QStringList{u"Back1.zsc"_s, u"one.zsc"_s} << 0;
    QTest::newRow("-au: unzip scripts only")
        << QStringList{u"-au"_s} << QStringList{u"back2.USC"_s, u"two.usc"_s} << 0;
    QTest::newRow("-a: both kinds, not other ?sc files")
        << QStringList{u"-a"_s}
        << QStringList{u"Back1.zsc"_s, u"back2.USC"_s, u"one.zsc"_s, u"two.usc"_s} << 0;
    QTest::newRow("-a x is a list name without ending")
        << QStringList{u"-a"_s, u"x"_s} << none << 1;
    QTest::newRow("list with an empty segment")
        << QStringList{u"one.zsc,,two.usc"_s} << QStringList{u"one.zsc"_s, u"two.usc"_s} << 0;
    QTest::newRow("blank after comma is part of the name")
        << QStringList{u"one.zsc,"_s, u"two.usc"_s} << QStringList{u"one.zsc"_s} << 1;
    QTest::newRow("name without extension") << QStringList{u"one"_s} << none << 1;
    QTest::newRow("zero-byte script named in a list") << QStringList{u"empty.zsc"_s} << none << 1;
    QTest::newRow("pattern *.zsc")
        << QStringList{u"*.zsc"_s} << QStringList{u"Back1.zsc"_s, u"one.zsc"_s} << 0;
    QTest::newRow("pattern ignores letter case")
        << QStringList{u"BACK*"_s} << QStringList{u"Back1.zsc"_s, u"back2.USC"_s} << 0;
    QTest::newRow("pattern matching nothing") << QStringList{u"zz*"_s} << none << 0;
    QTest::newRow("pattern cannot leave the folder") << QStringList{u"../*"_s} << none << 0;
    QTest::newRow("leading and trailing blanks")
        << QStringList{u"  -az  "_s} << QStringList{u"Back1.zsc"_s, u"one.zsc"_s} << 0;
}

void BatchCliTest::grammar() {
    QFETCH(QStringList, args);
    QFETCH(QStringList, ran);
    QFETCH(int, exitCode);
    ProgramFolder pf;
    QVERIFY(runTool(u"zip"_s, {u"-jq"_s, pf.root.filePath(u"src/in.zip"_s),
                               pf.root.filePath(u"src/data.txt"_s)})
                .exitCode == 0);
    for (const QString& name : kScripts) {
        if (name == u"empty.zsc")
            QFile(pf.script(name)).open(QIODevice::WriteOnly);
        else if (name.endsWith(u".usc"_s, Qt::CaseInsensitive))
            pf.unzipScript(name);
        else
            pf.zipScript(name);
    }
    const auto r = pf.run(args);
    QCOMPARE(r.exitCode, exitCode);
    QCOMPARE(r.output + r.errors, QString()); // no run aborted: a scheduler gets no mail
    QStringList actual;
    for (const QString& name : kScripts)
        if (pf.ran(name))
            actual.append(name);
    actual.sort();
    QStringList expected = ran;
    expected.sort();
    QCOMPARE(actual, expected);
    for (const QString& name : ran)
        if (name.endsWith(u".zsc"_s))
            QVERIFY(unzipTestPasses(
                pf.root.filePath(u"out/"_s + QFileInfo(name).completeBaseName() + u".zip"_s)));
        else
            QVERIFY(QFile::exists(pf.root.filePath(u"out/"_s + name + u"/data.txt"_s)));
    QCOMPARE(QFileInfo(pf.script(u"empty.zsc"_s)).size(), 0);
}

void BatchCliTest::errorMarkerFollowsResult() {
    ProgramFolder pf;
    pf.zipScript(u"good.zsc"_s);
    WriteIni(u"Options"_s, u"Error"_s, u"X"_s, pf.script(u"good.zsc"_s));
    WriteIni(u"Options"_s, u"File1"_s, pf.root.filePath(u"src/data.txt"_s),
             pf.script(u"bad.zsc"_s));
    const auto r = pf.run({u"good.zsc,bad.zsc,missing.zsc"_s});
    QCOMPARE(r.exitCode, 2);
    QCOMPARE(ReadIni(u"Options"_s, u"Error"_s, u"<none>"_s, pf.script(u"good.zsc"_s)), u"<none>"_s);
    QCOMPARE(ReadIni(u"Options"_s, u"Error"_s, {}, pf.script(u"bad.zsc"_s)), u"X"_s);
    QVERIFY(!QFile::exists(pf.script(u"missing.zsc"_s)));
    QFile log(pf.logFile());
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    const QString aborted =
        pf.script(u"bad.zsc"_s) + u"  Aborted : No directories in script file to process."_s;
    QVERIFY(text.contains(aborted + u"\r\n"_s));
    QVERIFY(text.contains(pf.script(u"missing.zsc"_s) + u"  Script file does not exist.\r\n"_s));
    // Only the aborted run's lines reach a scheduler, on standard error.
    QCOMPARE(r.output, QString());
    QCOMPARE(r.errors.count(u'\n'), 1);
    QVERIFY2(r.errors.endsWith(aborted + u'\n'), qPrintable(r.errors));
}

void BatchCliTest::helpAndVersion() {
    ProgramFolder pf;
    const auto help = pf.run({u"--help"_s});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.output.contains(u"-az"_s));
    QVERIFY(help.output.contains(u"  settings  "_s + pf.root.filePath(u"bin/tarvik.ini"_s)));
    const auto version = pf.run({u"--version"_s});
    QCOMPARE(version.exitCode, 0);
    QVERIFY(version.output.startsWith(u"Tarvik "_s));
    QVERIFY(!QFile::exists(pf.logFile()));
}

QTEST_GUILESS_MAIN(BatchCliTest)
#include "tst_batch_cli.moc"
