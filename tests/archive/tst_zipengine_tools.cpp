#include "tst_zipengine_tools.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <utime.h>

namespace ziptest {

QStringList Names(std::initializer_list<const char*> names) {
    QStringList list;
    for (const char* name : names)
        list.append(QString::fromUtf8(name));
    return list;
}

Ran Run(const QString& program, const QStringList& args, const QString& folder) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.start(program, args);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return {-1, process.readAll()};
    return {process.exitCode(), process.readAll()};
}

Ran Python(const QString& code, const QStringList& args) {
    return Run(QStringLiteral("/usr/bin/python3"), QStringList{QStringLiteral("-c"), code} + args);
}

int UnzipTest(const QString& archive) {
    return Run(QStringLiteral("/usr/bin/unzip"), {QStringLiteral("-tq"), archive}).exitCode;
}

static QStringList SevenZipPassword(const QString& password) {
    return password.isEmpty() ? QStringList{} : QStringList{QStringLiteral("-p") + password};
}

int SevenZipTest(const QString& archive, const QString& password) {
    return Run(QStringLiteral("/usr/bin/7z"),
               QStringList{QStringLiteral("t")} + SevenZipPassword(password) + QStringList{archive})
        .exitCode;
}

int SevenZipExtract(const QString& archive, const QString& password, const QString& folder) {
    return Run(QStringLiteral("/usr/bin/7z"),
               QStringList{QStringLiteral("x")} + SevenZipPassword(password) +
                   QStringList{QStringLiteral("-o") + folder, archive})
        .exitCode;
}

QStringList ZipMembers(const QString& archive) {
    const Ran listed = Run(QStringLiteral("/usr/bin/unzip"), {QStringLiteral("-Z1"), archive});
    if (listed.exitCode != 0)
        return {};
    QStringList names = QString::fromUtf8(listed.output).split(u'\n', Qt::SkipEmptyParts);
    names.sort();
    return names;
}

bool WriteFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool SetModified(const QString& path, qint64 seconds) {
    const utimbuf times{time_t(seconds), time_t(seconds)};
    return ::utime(QFile::encodeName(path).constData(), &times) == 0;
}

qint64 Modified(const QString& path) {
    return QFileInfo(path).lastModified().toSecsSinceEpoch();
}

QStringList FilesBelow(const QString& root) {
    QStringList found;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        if (!info.isDir() || info.isSymLink())
            found.append(QDir(root).relativeFilePath(info.filePath()));
    }
    found.sort();
    return found;
}

QByteArray MixedData(qsizetype size, quint32 seed) {
    QByteArray data;
    data.reserve(size);
    quint32 state = seed | 1u;
    while (data.size() < size) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        if (state & 1u) {
            data += QByteArray("line ") + QByteArray::number(state % 1000) + " of the report\n";
        } else {
            for (int i = 0; i < 64; ++i) {
                state ^= state << 13;
                state ^= state >> 17;
                state ^= state << 5;
                data += char(state & 0xff);
            }
        }
    }
    data.truncate(size);
    return data;
}

} // namespace ziptest
