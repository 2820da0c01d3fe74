// Preloaded into a Tarvik process (LD_PRELOAD) to make chosen system calls
// fail the way a full disk, a failing disk or a tight limit would. Only calls
// on paths below TARVIK_FAULT_UNDER are seen; everything else passes through.
//
//   TARVIK_FAULT_UNDER    folder prefix whose files are watched (required)
//   TARVIK_FAULT_CALL     open | write | read | rename | fsync | dirsync: the kind
//                         to fail (fsync covers fdatasync and syncfs; an fsync or
//                         fdatasync of a folder counts as dirsync instead)
//   TARVIK_FAULT_ERRNO    the error number the failing call returns
//   TARVIK_FAULT_AT       1-based index, among watched calls of that kind, of the
//                         first call to fail
//   TARVIK_FAULT_PERSIST  1: every later call of the kind fails too (a disk that
//                         stays full); otherwise only that one call fails
//   TARVIK_FAULT_DAMAGE   with the fsync kind: the chosen calls do not fail; the
//                         byte at this offset of the file is flipped first (a
//                         copy damaged on its way to the disk)
//   TARVIK_FAULT_FREE     bytes the watched file system claims to have free:
//                         statvfs reports it and writes beyond it fail with ENOSPC
//   TARVIK_FAULT_REPORT   file the shim appends its findings to: one
//                         "hit KIND ERRNO PATH" line per injected failure, and
//                         at exit "count KIND N" per kind and "written BYTES"
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

enum Kind { kOpen, kWrite, kRead, kRename, kFsync, kDirSync, kKinds };
static const char* const kKindNames[kKinds] = {"open",   "write", "read",
                                               "rename", "fsync", "dirsync"};

static char g_under[PATH_MAX];
static size_t g_underLength;
static int g_active;
static int g_failKind = -1;
static int g_failErrno;
static long g_failAt;
static int g_persist;
static long long g_free = -1;
static long long g_damage = -1;
static char g_report[PATH_MAX];

static long g_counts[kKinds];
static long long g_written;

static ssize_t (*real_write)(int, const void*, size_t);
static int (*real_open)(const char*, int, ...);

#define REAL(name) ((__typeof__(&name))dlsym(RTLD_NEXT, #name))

__attribute__((constructor)) static void shimInit(void) {
    real_write = REAL(write);
    real_open = REAL(open);
    const char* under = getenv("TARVIK_FAULT_UNDER");
    if (!under || !*under || strlen(under) >= sizeof g_under)
        return;
    strcpy(g_under, under);
    g_underLength = strlen(g_under);
    while (g_underLength > 1 && g_under[g_underLength - 1] == '/')
        g_under[--g_underLength] = '\0';
    const char* call = getenv("TARVIK_FAULT_CALL");
    for (int k = 0; call && k < kKinds; ++k)
        if (strcmp(call, kKindNames[k]) == 0)
            g_failKind = k;
    const char* number = getenv("TARVIK_FAULT_ERRNO");
    g_failErrno = number ? atoi(number) : EIO;
    const char* at = getenv("TARVIK_FAULT_AT");
    g_failAt = at ? atol(at) : 1;
    const char* persist = getenv("TARVIK_FAULT_PERSIST");
    g_persist = persist && strcmp(persist, "1") == 0;
    const char* damage = getenv("TARVIK_FAULT_DAMAGE");
    if (damage && *damage)
        g_damage = atoll(damage);
    const char* space = getenv("TARVIK_FAULT_FREE");
    if (space && *space)
        g_free = atoll(space);
    const char* report = getenv("TARVIK_FAULT_REPORT");
    if (report && strlen(report) < sizeof g_report)
        strcpy(g_report, report);
    g_active = 1;
}

static void reportLine(const char* line) {
    if (!g_report[0] || !real_open)
        return;
    int saved = errno;
    int fd = real_open(g_report, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd >= 0) {
        real_write(fd, line, strlen(line));
        close(fd);
    }
    errno = saved;
}

__attribute__((destructor)) static void shimReport(void) {
    if (!g_active)
        return;
    char line[128];
    for (int k = 0; k < kKinds; ++k) {
        snprintf(line, sizeof line, "count %s %ld\n", kKindNames[k],
                 __atomic_load_n(&g_counts[k], __ATOMIC_SEQ_CST));
        reportLine(line);
    }
    snprintf(line, sizeof line, "written %lld\n", __atomic_load_n(&g_written, __ATOMIC_SEQ_CST));
    reportLine(line);
}

static int isWatched(const char* path) {
    if (!g_active || !path)
        return 0;
    return strncmp(path, g_under, g_underLength) == 0 &&
           (path[g_underLength] == '/' || path[g_underLength] == '\0');
}

// The absolute path an (fd-relative) path names; empty when unknown.
static void resolveAt(int dirfd, const char* path, char* out, size_t size) {
    out[0] = '\0';
    if (!path)
        return;
    if (path[0] == '/') {
        snprintf(out, size, "%s", path);
        return;
    }
    char link[64];
    char folder[PATH_MAX];
    ssize_t n;
    if (dirfd == AT_FDCWD) {
        if (!getcwd(folder, sizeof folder))
            return;
        n = (ssize_t)strlen(folder);
    } else {
        snprintf(link, sizeof link, "/proc/self/fd/%d", dirfd);
        n = readlink(link, folder, sizeof folder - 1);
        if (n < 0)
            return;
        folder[n] = '\0';
    }
    snprintf(out, size, "%s/%s", folder, path);
}

static void pathOfFd(int fd, char* out, size_t size) {
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, out, size - 1);
    out[n < 0 ? 0 : n] = '\0';
}

// Counts a watched call; true when it is to fail (errno is then set).
static int injectFault(int kind, const char* path) {
    if (!isWatched(path))
        return 0;
    long index = __atomic_add_fetch(&g_counts[kind], 1, __ATOMIC_SEQ_CST);
    if (kind != g_failKind)
        return 0;
    if (!(index == g_failAt || (g_persist && index > g_failAt)))
        return 0;
    char line[PATH_MAX + 64];
    snprintf(line, sizeof line, "hit %s %d %s\n", kKindNames[kind], g_failErrno, path);
    reportLine(line);
    errno = g_failErrno;
    return 1;
}

// Bytes about to be written to a watched file; false (ENOSPC) when they do not
// fit the free space the shim pretends to have.
static int spaceRefused(const char* path, size_t bytes) {
    if (!isWatched(path))
        return 0;
    long long total = __atomic_add_fetch(&g_written, (long long)bytes, __ATOMIC_SEQ_CST);
    if (g_free >= 0 && total > g_free) {
        __atomic_sub_fetch(&g_written, (long long)bytes, __ATOMIC_SEQ_CST);
        errno = ENOSPC;
        return 1;
    }
    return 0;
}

static mode_t modeArgument(int flags, va_list args) {
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
}

#define OPEN_WRAPPER(name)                                                                         \
    int name(const char* path, int flags, ...) {                                                   \
        va_list args;                                                                              \
        va_start(args, flags);                                                                     \
        mode_t mode = modeArgument(flags, args);                                                   \
        va_end(args);                                                                              \
        char full[PATH_MAX];                                                                       \
        resolveAt(AT_FDCWD, path, full, sizeof full);                                              \
        if (injectFault(kOpen, full))                                                              \
            return -1;                                                                             \
        static __typeof__(&name) next;                                                             \
        if (!next)                                                                                 \
            next = REAL(name);                                                                     \
        return next(path, flags, mode);                                                            \
    }
OPEN_WRAPPER(open)
OPEN_WRAPPER(open64)

#define OPENAT_WRAPPER(name)                                                                       \
    int name(int dirfd, const char* path, int flags, ...) {                                        \
        va_list args;                                                                              \
        va_start(args, flags);                                                                     \
        mode_t mode = modeArgument(flags, args);                                                   \
        va_end(args);                                                                              \
        char full[PATH_MAX];                                                                       \
        resolveAt(dirfd, path, full, sizeof full);                                                 \
        if (injectFault(kOpen, full))                                                              \
            return -1;                                                                             \
        static __typeof__(&name) next;                                                             \
        if (!next)                                                                                 \
            next = REAL(name);                                                                     \
        return next(dirfd, path, flags, mode);                                                     \
    }
OPENAT_WRAPPER(openat)
OPENAT_WRAPPER(openat64)

#define FOPEN_WRAPPER(name)                                                                        \
    FILE* name(const char* path, const char* how) {                                                \
        char full[PATH_MAX];                                                                       \
        resolveAt(AT_FDCWD, path, full, sizeof full);                                              \
        if (injectFault(kOpen, full))                                                              \
            return NULL;                                                                           \
        static __typeof__(&name) next;                                                             \
        if (!next)                                                                                 \
            next = REAL(name);                                                                     \
        return next(path, how);                                                                    \
    }
FOPEN_WRAPPER(fopen)
FOPEN_WRAPPER(fopen64)

#define MKSTEMP_WRAPPER(name)                                                                      \
    int name(char* pattern) {                                                                      \
        char full[PATH_MAX];                                                                       \
        resolveAt(AT_FDCWD, pattern, full, sizeof full);                                           \
        if (injectFault(kOpen, full))                                                              \
            return -1;                                                                             \
        static __typeof__(&name) next;                                                             \
        if (!next)                                                                                 \
            next = REAL(name);                                                                     \
        return next(pattern);                                                                      \
    }
MKSTEMP_WRAPPER(mkstemp)
MKSTEMP_WRAPPER(mkstemp64)

int mkostemp(char* pattern, int flags) {
    char full[PATH_MAX];
    resolveAt(AT_FDCWD, pattern, full, sizeof full);
    if (injectFault(kOpen, full))
        return -1;
    static __typeof__(&mkostemp) next;
    if (!next)
        next = REAL(mkostemp);
    return next(pattern, flags);
}

ssize_t write(int fd, const void* data, size_t size) {
    char path[PATH_MAX];
    pathOfFd(fd, path, sizeof path);
    if (injectFault(kWrite, path) || spaceRefused(path, size))
        return -1;
    return real_write(fd, data, size);
}

#define PWRITE_WRAPPER(name, off)                                                                  \
    ssize_t name(int fd, const void* data, size_t size, off offset) {                              \
        char path[PATH_MAX];                                                                       \
        pathOfFd(fd, path, sizeof path);                                                           \
        if (injectFault(kWrite, path) || spaceRefused(path, size))                                 \
            return -1;                                                                             \
        static __typeof__(&name) next;                                                             \
        if (!next)                                                                                 \
            next = REAL(name);                                                                     \
        return next(fd, data, size, offset);                                                       \
    }
PWRITE_WRAPPER(pwrite, off_t)
PWRITE_WRAPPER(pwrite64, off64_t)

ssize_t writev(int fd, const struct iovec* parts, int count) {
    char path[PATH_MAX];
    pathOfFd(fd, path, sizeof path);
    size_t size = 0;
    for (int i = 0; i < count; ++i)
        size += parts[i].iov_len;
    if (injectFault(kWrite, path) || spaceRefused(path, size))
        return -1;
    static __typeof__(&writev) next;
    if (!next)
        next = REAL(writev);
    return next(fd, parts, count);
}

size_t fwrite(const void* data, size_t size, size_t count, FILE* stream) {
    char path[PATH_MAX];
    pathOfFd(fileno(stream), path, sizeof path);
    if (injectFault(kWrite, path) || spaceRefused(path, size * count)) {
        // A failing stream: the caller sees a short count and the error flag.
        stream->_flags |= 0x0020; // _IO_ERR_SEEN
        return 0;
    }
    static __typeof__(&fwrite) next;
    if (!next)
        next = REAL(fwrite);
    return next(data, size, count, stream);
}

ssize_t read(int fd, void* data, size_t size) {
    char path[PATH_MAX];
    pathOfFd(fd, path, sizeof path);
    if (injectFault(kRead, path))
        return -1;
    static __typeof__(&read) next;
    if (!next)
        next = REAL(read);
    return next(fd, data, size);
}

#define PREAD_WRAPPER(name, off)                                                                   \
    ssize_t name(int fd, void* data, size_t size, off offset) {                                    \
        char path[PATH_MAX];                                                                       \
        pathOfFd(fd, path, sizeof path);                                                           \
        if (injectFault(kRead, path))                                                              \
            return -1;                                                                             \
        static __typeof__(&name) next;                                                             \
        if (!next)                                                                                 \
            next = REAL(name);                                                                     \
        return next(fd, data, size, offset);                                                       \
    }
PREAD_WRAPPER(pread, off_t)
PREAD_WRAPPER(pread64, off64_t)

size_t fread(void* data, size_t size, size_t count, FILE* stream) {
    char path[PATH_MAX];
    pathOfFd(fileno(stream), path, sizeof path);
    if (injectFault(kRead, path)) {
        stream->_flags |= 0x0020; // _IO_ERR_SEEN
        return 0;
    }
    static __typeof__(&fread) next;
    if (!next)
        next = REAL(fread);
    return next(data, size, count, stream);
}

static int renameFaults(const char* from, const char* to) {
    // One watched rename counts once, by whichever of its paths is watched.
    return injectFault(kRename, isWatched(to) ? to : from);
}

int rename(const char* from, const char* to) {
    char a[PATH_MAX], b[PATH_MAX];
    resolveAt(AT_FDCWD, from, a, sizeof a);
    resolveAt(AT_FDCWD, to, b, sizeof b);
    if (renameFaults(a, b))
        return -1;
    static __typeof__(&rename) next;
    if (!next)
        next = REAL(rename);
    return next(from, to);
}

int renameat(int fromDir, const char* from, int toDir, const char* to) {
    char a[PATH_MAX], b[PATH_MAX];
    resolveAt(fromDir, from, a, sizeof a);
    resolveAt(toDir, to, b, sizeof b);
    if (renameFaults(a, b))
        return -1;
    static __typeof__(&renameat) next;
    if (!next)
        next = REAL(renameat);
    return next(fromDir, from, toDir, to);
}

int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned int flags) {
    char a[PATH_MAX], b[PATH_MAX];
    resolveAt(fromDir, from, a, sizeof a);
    resolveAt(toDir, to, b, sizeof b);
    if (renameFaults(a, b))
        return -1;
    static __typeof__(&renameat2) next;
    if (!next)
        next = REAL(renameat2);
    return next(fromDir, from, toDir, to, flags);
}

// Flips the byte at g_damage of the open file `fd`, through a descriptor of
// its own (the file may be open read-only, or have no name).
static void damageFile(int fd) {
    char self[64];
    snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    int out = real_open(self, O_RDWR | O_CLOEXEC);
    unsigned char byte;
    if (out >= 0 && REAL(pread)(out, &byte, 1, g_damage) == 1) {
        byte ^= 0xff;
        REAL(pwrite)(out, &byte, 1, g_damage);
    }
    if (out >= 0)
        close(out);
}

static int syncKind(int fd, int folderKind) {
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) ? folderKind : kFsync;
}

#define SYNC_WRAPPER(name, folderKind)                                                             \
    int name(int fd) {                                                                             \
        char path[PATH_MAX];                                                                       \
        pathOfFd(fd, path, sizeof path);                                                           \
        if (injectFault(syncKind(fd, folderKind), path)) {                                         \
            if (g_damage < 0)                                                                      \
                return -1;                                                                         \
            damageFile(fd);                                                                        \
        }                                                                                          \
        static __typeof__(&name) next;                                                             \
        if (!next)                                                                                 \
            next = REAL(name);                                                                     \
        return next(fd);                                                                           \
    }
SYNC_WRAPPER(fsync, kDirSync)
SYNC_WRAPPER(fdatasync, kDirSync)
SYNC_WRAPPER(syncfs, kFsync) // the whole file system, whatever the descriptor

// The pretended free space, in the file system's own blocks.
#define SHRINK(st)                                                                                 \
    do {                                                                                           \
        const unsigned long long block = (st)->f_frsize ? (st)->f_frsize : (st)->f_bsize;          \
        long long left = g_free - __atomic_load_n(&g_written, __ATOMIC_SEQ_CST);                   \
        if (left < 0)                                                                              \
            left = 0;                                                                              \
        (st)->f_bavail = (st)->f_bfree = (unsigned long long)left / block;                         \
    } while (0)

#define STATVFS_WRAPPER(name, type)                                                                \
    int name(const char* path, struct type* st) {                                                  \
        static __typeof__(&name) next;                                                             \
        if (!next)                                                                                 \
            next = REAL(name);                                                                     \
        const int result = next(path, st);                                                         \
        char full[PATH_MAX];                                                                       \
        resolveAt(AT_FDCWD, path, full, sizeof full);                                              \
        if (result == 0 && g_free >= 0 && isWatched(full))                                         \
            SHRINK(st);                                                                            \
        return result;                                                                             \
    }
STATVFS_WRAPPER(statvfs, statvfs)
STATVFS_WRAPPER(statvfs64, statvfs64)

#define FSTATVFS_WRAPPER(name, type)                                                               \
    int name(int fd, struct type* st) {                                                            \
        static __typeof__(&name) next;                                                             \
        if (!next)                                                                                 \
            next = REAL(name);                                                                     \
        const int result = next(fd, st);                                                           \
        char path[PATH_MAX];                                                                       \
        pathOfFd(fd, path, sizeof path);                                                           \
        if (result == 0 && g_free >= 0 && isWatched(path))                                         \
            SHRINK(st);                                                                            \
        return result;                                                                             \
    }
FSTATVFS_WRAPPER(fstatvfs, statvfs)
FSTATVFS_WRAPPER(fstatvfs64, statvfs64)
