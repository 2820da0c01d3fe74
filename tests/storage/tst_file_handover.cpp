#include "storage/FileOps.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace tarvik;

namespace {

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool Write(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

struct stat Stat(const QString& path, bool follow = true) {
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    if ((follow ? ::stat(name.constData(), &st) : ::lstat(name.constData(), &st)) != 0)
        st.st_ino = 0;
    return st;
}

} // namespace

class FileHandOverTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { ::umask(002); } // before the first call: the mode code reads it once
    void replacedTargetMode_data();
    void replacedTargetMode();
    void handsOver_data();
    void handsOver();
    void otherFilesystemIsCopied();
    void failureLeavesTargetAlone_data();
    void failureLeavesTargetAlone();
};

// What sits at the target name -> the mode of the archive put there. Only the
// running user's own regular file passes its mode on, and never group or other
// write; anything else gets the umask's mode (002 here), at most 0644. A link
// is replaced, never written through.
void FileHandOverTest::replacedTargetMode_data() {
    QTest::addColumn<bool>("handOver");
    QTest::addColumn<QString>("before"); // none, own:MODE, other:MODE, link:/dev/null, link:own
    QTest::addColumn<int>("mode");
    const std::pair<const char*, int> rows[] = {
        {"none", 0644},       {"own:0600", 0600},   {"own:0664", 0644},       {"own:04755", 0755},
        {"other:0666", 0644}, {"other:0600", 0644}, {"link:/dev/null", 0644}, {"link:own", 0644}};
    for (bool handOver : {false, true})
        for (const auto& [before, mode] : rows)
            QTest::addRow("%s %s", handOver ? "hand-over" : "copy", before)
                << handOver << QString::fromLatin1(before) << mode;
}

void FileHandOverTest::replacedTargetMode() {
    QFETCH(bool, handOver);
    QFETCH(QString, before);
    QFETCH(int, mode);
    if (before.startsWith(u"other:") && ::geteuid() != 0)
        QSKIP("a file of another user needs root to plant (chown)");
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("new.zip"));
    const QString target = dir.filePath(QStringLiteral("a.zip"));
    const QString own = dir.filePath(QStringLiteral("own.txt"));
    QVERIFY(Write(source, "new archive") && Write(own, "own file"));
    QCOMPARE(::chmod(QFile::encodeName(own).constData(), 0755), 0);
    const QString kind = before.section(u':', 0, 0);
    if (kind == u"link")
        QVERIFY(QFile::link(before.endsWith(u"own") ? own : before.section(u':', 1), target));
    if (kind == u"own" || kind == u"other") {
        QVERIFY(Write(target, "old archive"));
        const QByteArray name = QFile::encodeName(target);
        QCOMPARE(::chmod(name.constData(), mode_t(before.section(u':', 1).toInt(nullptr, 8))), 0);
        if (kind == u"other")
            QCOMPARE(::chown(name.constData(), 4242, 4242), 0);
    }

    PlatformError error;
    QVERIFY2(handOver ? HandOverFileReplacing(source, target, error)
                      : CopyFileReplacing(source, target, error),
             qPrintable(error.description));
    const struct stat st = Stat(target, false);
    QVERIFY(S_ISREG(st.st_mode));
    QCOMPARE(st.st_uid, ::geteuid());
    QCOMPARE(QString::number(st.st_mode & 07777, 8), QString::number(mode, 8));
    QCOMPARE(Read(target), QByteArray("new archive"));
    QCOMPARE(Read(own), QByteArray("own file"));
    QCOMPARE(int(Stat(own).st_mode & 07777), 0755);
}

// What stands at the target before, and whether the source's own file may be
// the result (no bytes copied).
void FileHandOverTest::handsOver_data() {
    QTest::addColumn<QString>("before"); // none, file, or same (the source itself)
    QTest::addColumn<bool>("linked");
    QTest::newRow("new target") << "none" << true;
    QTest::newRow("replaced target") << "file:0640" << true;
    // Linking would make the source read-only too: it could not be deleted.
    QTest::newRow("read-only target is copied over") << "file:0444" << false;
    QTest::newRow("target is the source itself") << "same" << false;
}

void FileHandOverTest::handsOver() {
    QFETCH(QString, before);
    QFETCH(bool, linked);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("tmp")));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("out")));
    const QString source = dir.filePath(QStringLiteral("tmp/a.zip"));
    const QByteArray content(300000, 'z');
    QVERIFY(Write(source, content));
    QString target = dir.filePath(QStringLiteral("out/a.zip"));
    if (before == QLatin1String("same")) {
        target = source;
    } else if (before.startsWith(QLatin1String("file:"))) {
        QVERIFY(Write(target, "old archive"));
        QCOMPARE(
            ::chmod(QFile::encodeName(target).constData(), mode_t(before.mid(5).toInt(nullptr, 8))),
            0);
    }
    const ino_t sourceFile = Stat(source).st_ino;

    PlatformError error;
    QVERIFY2(HandOverFileReplacing(source, target, error), qPrintable(error.description));
    QCOMPARE(Read(target), content);
    QCOMPARE(Read(source), content); // the source keeps its name until deleted
    QCOMPARE(Stat(target).st_ino == sourceFile, linked);
    // Nothing left beside the target.
    const QStringList names = QFileInfo(target).dir().entryList(QDir::Files);
    QCOMPARE(names, QStringList{QStringLiteral("a.zip")});

    // Deleting the source, as the run does next, leaves the target whole.
    if (target != source) {
        QVERIFY2(RemoveFile(source, error), qPrintable(error.description));
        QCOMPARE(Read(target), content);
        QCOMPARE(Stat(target).st_nlink, nlink_t(1));
    }
}

// /dev/shm is another filesystem on most Linux systems: no link is possible,
// the bytes are copied.
void FileHandOverTest::otherFilesystemIsCopied() {
    QTemporaryDir here;
    QTemporaryDir there(QStringLiteral("/dev/shm/tarvik-test-XXXXXX"));
    if (!there.isValid() || Stat(here.path()).st_dev == Stat(there.path()).st_dev)
        QSKIP("no second filesystem at /dev/shm");
    const QString source = here.filePath(QStringLiteral("a.zip"));
    const QString target = there.filePath(QStringLiteral("a.zip"));
    QVERIFY(Write(source, "archive bytes"));
    PlatformError error;
    QVERIFY2(HandOverFileReplacing(source, target, error), qPrintable(error.description));
    QCOMPARE(Read(target), QByteArray("archive bytes"));
    QCOMPARE(QDir(there.path()).entryList(QDir::Files), QStringList{QStringLiteral("a.zip")});
}

void FileHandOverTest::failureLeavesTargetAlone_data() {
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("errorNumber");
    QTest::newRow("target is a folder") << "folder" << EISDIR;
    QTest::newRow("source is missing") << "no source" << ENOENT;
    QTest::newRow("target folder is missing") << "no folder" << ENOENT;
}

void FileHandOverTest::failureLeavesTargetAlone() {
    QFETCH(QString, what);
    QFETCH(int, errorNumber);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("a.zip"));
    QString target = dir.filePath(QStringLiteral("out/a.zip"));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("out")));
    if (what != QLatin1String("no source"))
        QVERIFY(Write(source, "new"));
    if (what == QLatin1String("folder"))
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("out/a.zip")));
    else if (what == QLatin1String("no folder"))
        target = dir.filePath(QStringLiteral("gone/a.zip"));
    else
        QVERIFY(Write(target, "old"));

    PlatformError error;
    QVERIFY(!HandOverFileReplacing(source, target, error));
    QCOMPARE(error.number, errorNumber);
    if (what == QLatin1String("no source"))
        QCOMPARE(Read(target), QByteArray("old"));
    QCOMPARE(QDir(dir.filePath(QStringLiteral("out")))
                 .entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)
                 .size(),
             1 - int(what == QLatin1String("no folder")));
}

QTEST_GUILESS_MAIN(FileHandOverTest)
#include "tst_file_handover.moc"
