#include "storage/FileOps.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

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

struct stat Stat(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        st.st_ino = 0;
    return st;
}

} // namespace

class FileHandOverTest : public QObject {
    Q_OBJECT
private slots:
    void handsOver_data();
    void handsOver();
    void otherFilesystemIsCopied();
    void failureLeavesTargetAlone_data();
    void failureLeavesTargetAlone();
};

// What stands at the target before, the mode the result must have, and
// whether the source's own file may be the result (no bytes copied).
void FileHandOverTest::handsOver_data() {
    QTest::addColumn<QString>("before"); // none, file, or same (the source itself)
    QTest::addColumn<int>("targetMode");
    QTest::addColumn<bool>("linked");

    const mode_t mask = ::umask(0);
    ::umask(mask);
    QTest::newRow("new target gets the default mode") << "none" << int(0666 & ~mask) << true;
    QTest::newRow("replaced target keeps its mode") << "file:0640" << 0640 << true;
    // Linking would make the source read-only too: it could not be deleted.
    QTest::newRow("read-only target is copied over") << "file:0444" << 0444 << false;
    QTest::newRow("target is the source itself") << "same" << -1 << false;
}

void FileHandOverTest::handsOver() {
    QFETCH(QString, before);
    QFETCH(int, targetMode);
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
    if (targetMode >= 0)
        QCOMPARE(int(Stat(target).st_mode & 07777), targetMode);
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
