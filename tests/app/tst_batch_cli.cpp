// The command line of the program as a scheduler runs it: which scripts run,
// the exit code, the error marks, what is printed, --help and --version.
#include "ProgramFolder.h"

using namespace tarvik;

class BatchCliTest : public QObject {
    Q_OBJECT
private slots:
    void commandLine_data();
    void commandLine();
};

void BatchCliTest::commandLine_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("ran"); // the scripts stamped, in name order
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("printed"); // a pattern, '@' for the program folder
    // `args`: '|' parts one argument from the next.
    const auto row = [](const char* name, const QString& args, const QString& ran, int code,
                        const QString& printed = {}) {
        QTest::newRow(name) << args.split(u'|') << ran << code << printed;
    };
    row("-AZ: zip scripts only", u"-AZ"_s, u"Back1.zsc,one.zsc"_s, 0);
    row("-au: unzip scripts only", u"-au"_s, u"back2.USC,two.usc"_s, 0);
    row("-a: both kinds, no other ?sc file", u"-a"_s, u"Back1.zsc,back2.USC,one.zsc,two.usc"_s, 0);
    row("-a x: a name without ending", u"-a|x"_s, {}, 1);
    row("list with an empty item", u"one.zsc,,two.usc"_s, u"one.zsc,two.usc"_s, 0);
    row("a blank after a comma is part of the name", u"one.zsc,|two.usc"_s, u"one.zsc"_s, 1);
    row("name without ending", u"one"_s, {}, 1);
    row("zero-byte script", u"empty.zsc"_s, {}, 1);
    row("pattern", u"*.zsc"_s, u"Back1.zsc,one.zsc"_s, 0);
    row("pattern ignores letter case", u"BACK*"_s, u"Back1.zsc,back2.USC"_s, 0);
    row("pattern matching nothing", u"zz*"_s, {}, 0);
    row("pattern cannot leave the folder", u"../*"_s, {}, 0);
    row("blanks around", u"  -az  "_s, u"Back1.zsc,one.zsc"_s, 0);
    // Only an aborted run's lines reach a scheduler, on standard error.
    row("aborted and missing scripts", u"bad.zsc,one.zsc,missing.zsc"_s, u"bad.zsc,one.zsc"_s, 2,
        u"[^\n]*  @/run/scripts/bad\\.zsc  Aborted : No directories in script file to process\\.\n"_s);
    row("--help", u"--help"_s, {}, 0, u"Usage: tarvik .*\n  settings  @/bin/tarvik\\.ini\n.*"_s);
    row("--version", u"--version"_s, {}, 0, u"Tarvik [0-9.]+\n"_s);
}

void BatchCliTest::commandLine() {
    QFETCH(QStringList, args);
    QFETCH(QString, ran);
    QFETCH(int, code);
    QFETCH(QString, printed);
    ProgramFolder pf;
    const QString data = pf.at(u"src/data.txt"_s);
    QVERIFY(writeFile(data, "payload"));
    QCOMPARE(runTool(u"zip"_s, {u"-jq"_s, pf.at(u"src/in.zip"_s), data}).exitCode, 0);
    QMap<QString, QString> scripts{{u"empty.zsc"_s, {}}};
    for (const QString& name : {u"Back1.zsc"_s, u"back2.USC"_s, u"notes.dsc"_s, u"one.zsc"_s,
                                u"readme.txt"_s, u"two.usc"_s})
        scripts[name] = name.contains(u".u"_s, Qt::CaseInsensitive)
                            ? u"ZipFile=@/src/in\nFile1=*.*\nError=X\nDir1=@/out/"_s + name
                            : u"File1=@/src/data.txt\nDir1=@/out\nError=X\nZipFile="_s +
                                  name.section(u'.', 0, 0);
    if (args.join(u' ').contains(u"bad"_s)) // the only one an -a or a pattern would abort
        scripts.insert(u"bad.zsc"_s, u"File1=@/src/data.txt"_s);
    for (auto it = scripts.begin(); it != scripts.end(); ++it)
        pf.writeScript(it.key(), *it);
    QVERIFY(writeFile(pf.script(u"empty.zsc"_s), {}));

    const Ran r = pf.run(args);
    QCOMPARE(r.code, code);
    const QRegularExpression pattern(u"\\A(?s:%1)\\z"_s.arg(printed.replace(u'@', pf.scratch({}))));
    QVERIFY2(pattern.match(r.out + r.err).hasMatch(), qPrintable(r.out + r.err));
    QStringList stamped;
    for (const QString& name : scripts.keys()) {
        if (ReadIni(u"Options"_s, u"LastRun"_s, {}, pf.script(name)).isEmpty())
            continue;
        stamped << name;
        // A finished run clears the error mark, an aborted one sets it.
        QCOMPARE(ReadIni(u"Options"_s, u"Error"_s, {}, pf.script(name)),
                 name == u"bad.zsc" ? u"X"_s : QString());
        QVERIFY(name == u"bad.zsc" ||
                (name.endsWith(u".zsc"_s)
                     ? unzipTestPasses(pf.at(u"out/%1.zip"_s.arg(name.chopped(4))))
                     : QFile::exists(pf.at(u"out/%1/data.txt"_s.arg(name)))));
    }
    QCOMPARE(stamped.join(u','), ran);
    QCOMPARE(QFileInfo(pf.script(u"empty.zsc"_s)).size(), 0);
    QVERIFY(!QFile::exists(pf.script(u"missing.zsc"_s)));
    QVERIFY(code || !QFile::exists(pf.log()));
    if (code == 2)
        QVERIFY(pf.logText().contains(pf.script(u"missing.zsc"_s) +
                                      u"  Script file does not exist.\r\n"_s));
}

QTEST_GUILESS_MAIN(BatchCliTest)
#include "tst_batch_cli.moc"
