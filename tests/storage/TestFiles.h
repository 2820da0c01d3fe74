#pragma once

#include <QFile>
#include <QTest>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

// Helpers shared by the storage and platform tests.
using namespace Qt::StringLiterals;

// A table as an array of row tuples, each named by its first element:
// addRows(kRows) in the _data function, rowOf(kRows) in the test.
template <typename Row, std::size_t N> void addRows(const Row (&rows)[N]) {
    QTest::addColumn<int>("row");
    for (std::size_t i = 0; i < N; ++i)
        QTest::newRow(std::get<0>(rows[i])) << int(i);
}
template <typename Row, std::size_t N> const Row& rowOf(const Row (&rows)[N]) {
    return rows[*static_cast<int*>(QTest::qData("row", QMetaType::Int))];
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

inline QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("-"); // "-": no file
}

// All zero when nothing is there; `follow` false looks at a link itself.
inline struct stat statOf(const QString& path, bool follow = true) {
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    const int failed = follow ? ::stat(name.constData(), &st) : ::lstat(name.constData(), &st);
    return failed ? decltype(st){} : st;
}

// Sets the mode and, when given, owner and group (as root: another user's file).
inline bool setMode(const QString& path, int mode, int owner = -1, int group = -1) {
    const QByteArray name = QFile::encodeName(path);
    return ::chown(name.constData(), uid_t(owner), gid_t(group)) == 0 &&
           ::chmod(name.constData(), mode_t(mode)) == 0;
}
