#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <initializer_list>
#include <sys/resource.h>

// Helpers the ZipEngine tests share: running the outside programs that judge
// archives, and small file chores.
namespace ziptest {

// QStringList from plain literals (the project forbids implicit ASCII casts).
QStringList Names(std::initializer_list<const char*> names);

struct Ran {
    int exitCode = -1;
    QByteArray output; // stdout and stderr together
};

// Runs a program to its end (two minutes at most); -1 when it did not finish.
Ran Run(const QString& program, const QStringList& args, const QString& folder = {});
// Runs python3 on the code; args are sys.argv[1:].
Ran Python(const QString& code, const QStringList& args);
// Exit codes of `unzip -tq` and of 7-Zip's test and extraction (-p only with a password).
int UnzipTest(const QString& archive);
int SevenZipTest(const QString& archive, const QString& password = {});
int SevenZipExtract(const QString& archive, const QString& password, const QString& folder);
// Entry names as Info-ZIP lists them (unzip -Z1), sorted; empty on failure.
QStringList ZipMembers(const QString& archive);

bool WriteFile(const QString& path, const QByteArray& data); // makes missing folders
QByteArray ReadFile(const QString& path);
bool SetModified(const QString& path, qint64 seconds);
qint64 Modified(const QString& path); // seconds
// Everything below root but folders (files, symlinks, FIFOs), relative, sorted.
QStringList FilesBelow(const QString& root);
// Deterministic data: compressible text runs mixed with pseudo-random runs.
QByteArray MixedData(qsizetype size, quint32 seed);

// Lowers one resource limit for the life of the object.
class Limit {
public:
    Limit(int resource, rlim_t soft) : resource_(resource) {
        ::getrlimit(resource_, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = soft;
        ok_ = ::setrlimit(resource_, &lowered) == 0;
    }
    ~Limit() { ::setrlimit(resource_, &saved_); }
    Limit(const Limit&) = delete;
    Limit& operator=(const Limit&) = delete;
    bool ok() const { return ok_; }

private:
    int resource_;
    rlimit saved_{};
    bool ok_ = false;
};

} // namespace ziptest
