// Preloaded (LD_PRELOAD) into a Tarvik process to make chosen system calls on
// the files below one folder fail, as a full, failing or limited disk would.
// Set by TARVIK_FAULT_<name>: UNDER the folder watched; CALL the kind that
// fails (open, write, read, rename, fsync, or dirsync: an fsync of a folder or
// a syncfs), with ERRNO (0: the process is killed before the call instead),
// at its AT-th (1-based) watched call and, with PERSIST N, at every N-th call
// after it (1: a full disk; 2: as signals interrupt calls); FREE the bytes free
// (fstatvfs says so, writes beyond fail with ENOSPC); DAMAGE, with the fsync
// kind, an offset: the chosen syncs do not fail, the byte there is flipped
// first (a copy damaged on its way to the disk). REPORT gets "hit KIND PATH"
// per failed call and at exit "count KIND N" per kind and "written BYTES".
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

enum { kOpen, kWrite, kRead, kRename, kFsync, kDirSync, kKinds };
static const char* const kNames[kKinds] = {"open", "write", "read", "rename", "fsync", "dirsync"};

static char under[PATH_MAX], report[PATH_MAX];
static size_t underLength;
static int failKind = -1, failErrno, persist;
static long failAt, counts[kKinds];
static long long freeBytes, written, damage;

static const char* setting(const char* name, const char* otherwise) {
    const char* value = getenv(name);
    return value && *value ? value : otherwise;
}

__attribute__((constructor)) static void start(void) {
    snprintf(report, sizeof report, "%s", setting("TARVIK_FAULT_REPORT", ""));
    snprintf(under, sizeof under, "%s", setting("TARVIK_FAULT_UNDER", ""));
    for (underLength = strlen(under); underLength > 1 && under[underLength - 1] == '/';)
        under[--underLength] = '\0';
    for (int k = 0; k < kKinds; ++k)
        if (strcmp(setting("TARVIK_FAULT_CALL", ""), kNames[k]) == 0)
            failKind = k;
    failErrno = atoi(setting("TARVIK_FAULT_ERRNO", "5"));
    failAt = atol(setting("TARVIK_FAULT_AT", "1"));
    persist = atoi(setting("TARVIK_FAULT_PERSIST", "0"));
    freeBytes = atoll(setting("TARVIK_FAULT_FREE", "-1"));
    damage = atoll(setting("TARVIK_FAULT_DAMAGE", "-1"));
}

// One line to the report (a file outside the watched folder).
static void note(const char* format, ...) {
    const int saved = errno;
    const int fd = report[0] ? open(report, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600) : -1;
    va_list args;
    va_start(args, format);
    if (fd >= 0) {
        vdprintf(fd, format, args);
        close(fd);
    }
    va_end(args);
    errno = saved;
}

__attribute__((destructor)) static void finish(void) {
    for (int k = 0; underLength && k < kKinds; ++k)
        note("count %s %ld\n", kNames[k], __atomic_load_n(&counts[k], __ATOMIC_SEQ_CST));
    if (underLength)
        note("written %lld\n", __atomic_load_n(&written, __ATOMIC_SEQ_CST));
}

// The absolute path of `path` taken relative to folder `fd` (or AT_FDCWD);
// without a path, that of the file `fd` is open on.
static void resolve(int fd, const char* path, char* out) {
    char link[64], folder[PATH_MAX] = "";
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = path && path[0] == '/' ? 0
                      : fd == AT_FDCWD
                          ? (getcwd(folder, sizeof folder) ? (ssize_t)strlen(folder) : 0)
                          : readlink(link, folder, sizeof folder - 1);
    folder[n < 0 ? 0 : n] = '\0';
    snprintf(out, PATH_MAX, "%s%s%s", folder, path && n > 0 ? "/" : "", path ? path : "");
}

static int watched(const char* path) {
    return underLength && strncmp(path, under, underLength) == 0 &&
           (path[underLength] == '/' || path[underLength] == '\0');
}

// Counts a watched call (and the bytes it writes); true, with errno set, when
// it is to fail.
static int fault(int kind, const char* path, size_t bytes) {
    if (!watched(path))
        return 0;
    const long n = __atomic_add_fetch(&counts[kind], 1, __ATOMIC_SEQ_CST);
    const long past = n - failAt;
    if (kind == failKind && (past == 0 || (past > 0 && persist > 0 && past % persist == 0))) {
        note("hit %s %s\n", kNames[kind], path);
        if (!failErrno)
            raise(SIGKILL);
        errno = failErrno;
        return 1;
    }
    if (freeBytes < 0 || __atomic_add_fetch(&written, bytes, __ATOMIC_SEQ_CST) <= freeBytes)
        return 0;
    __atomic_sub_fetch(&written, bytes, __ATOMIC_SEQ_CST);
    errno = ENOSPC;
    return 1;
}

static int syncKind(int fd) {
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) ? kDirSync : kFsync;
}

// Flips the byte at `damage` of the open file `fd`, through a descriptor of
// its own (the file may be open read-only, or have no name).
static void damageFile(int fd) {
    char self[64];
    unsigned char byte;
    snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    const int out = open(self, O_RDWR | O_CLOEXEC);
    if (out >= 0 && pread(out, &byte, 1, damage) == 1) {
        byte ^= 0xff;
        (void)!pwrite(out, &byte, 1, damage);
    }
    if (out >= 0)
        close(out);
}

// A chosen fsync of a file either fails or, in damage mode, damages it.
static int syncFails(int fd, const char* path) {
    const int kind = syncKind(fd);
    if (!fault(kind, path, 0))
        return 0;
    if (damage < 0 || kind != kFsync)
        return 1;
    damageFile(fd);
    return 0;
}

// One wrapper: `find` puts the path in p (and q); the call fails with
// `failed` when `refuse` holds, else goes on to the next definition.
#define WRAP(T, name, params, args, find, refuse, failed)                                          \
    T name params {                                                                                \
        char p[PATH_MAX], q[PATH_MAX];                                                             \
        (void)q;                                                                                   \
        find;                                                                                      \
        if (refuse)                                                                                \
            return failed;                                                                         \
        static __typeof__(&name) next;                                                             \
        if (!next)                                                                                 \
            next = (__typeof__(&name))dlsym(RTLD_NEXT, #name);                                     \
        return next args;                                                                          \
    }
// The mode argument an open may carry.
#define MODE                                                                                       \
    va_list va;                                                                                    \
    va_start(va, fl);                                                                              \
    const mode_t m = (fl & O_CREAT) || (fl & O_TMPFILE) == O_TMPFILE ? va_arg(va, mode_t) : 0;     \
    va_end(va)
// A stream whose call failed shows its error flag.
#define STREAM_FAILS(f, failing) ((failing) && ((f)->_flags |= _IO_ERR_SEEN))

WRAP(int, open, (const char* f, int fl, ...), (f, fl, m), MODE;
     resolve(AT_FDCWD, f, p), fault(kOpen, p, 0), -1)
WRAP(int, open64, (const char* f, int fl, ...), (f, fl, m), MODE;
     resolve(AT_FDCWD, f, p), fault(kOpen, p, 0), -1)
WRAP(int, openat, (int d, const char* f, int fl, ...), (d, f, fl, m), MODE;
     resolve(d, f, p), fault(kOpen, p, 0), -1)
WRAP(int, mkstemp, (char* f), (f), resolve(AT_FDCWD, f, p), fault(kOpen, p, 0), -1)
WRAP(ssize_t, write, (int fd, const void* b, size_t n), (fd, b, n), resolve(fd, NULL, p),
     fault(kWrite, p, n), -1)
WRAP(size_t, fwrite, (const void* b, size_t s, size_t n, FILE* f), (b, s, n, f),
     resolve(fileno(f), NULL, p), STREAM_FAILS(f, fault(kWrite, p, s* n)), 0)
WRAP(ssize_t, read, (int fd, void* b, size_t n), (fd, b, n), resolve(fd, NULL, p),
     fault(kRead, p, 0), -1)
WRAP(size_t, fread, (void* b, size_t s, size_t n, FILE* f), (b, s, n, f),
     resolve(fileno(f), NULL, p), STREAM_FAILS(f, fault(kRead, p, 0)), 0)
// A rename counts once, by its target when that is watched.
WRAP(int, rename, (const char* a, const char* b), (a, b),
     (resolve(AT_FDCWD, a, p), resolve(AT_FDCWD, b, q)), fault(kRename, watched(q) ? q : p, 0), -1)
WRAP(int, renameat, (int da, const char* a, int db, const char* b), (da, a, db, b),
     (resolve(da, a, p), resolve(db, b, q)), fault(kRename, watched(q) ? q : p, 0), -1)
WRAP(int, renameat2, (int da, const char* a, int db, const char* b, unsigned fl),
     (da, a, db, b, fl), (resolve(da, a, p), resolve(db, b, q)),
     fault(kRename, watched(q) ? q : p, 0), -1)
WRAP(int, fsync, (int fd), (fd), resolve(fd, NULL, p), syncFails(fd, p), -1)
WRAP(int, syncfs, (int fd), (fd), resolve(fd, NULL, p), fault(kDirSync, p, 0), -1)

// The pretended free space, in the file system's own blocks.
int fstatvfs(int fd, struct statvfs* st) {
    static __typeof__(&fstatvfs) next;
    if (!next)
        next = (__typeof__(&fstatvfs))dlsym(RTLD_NEXT, "fstatvfs");
    char p[PATH_MAX];
    resolve(fd, NULL, p);
    const long long left = freeBytes - __atomic_load_n(&written, __ATOMIC_SEQ_CST);
    if (next(fd, st) != 0)
        return -1;
    if (freeBytes >= 0 && watched(p))
        st->f_bavail = st->f_bfree =
            (unsigned long long)(left < 0 ? 0 : left) / (st->f_frsize ? st->f_frsize : st->f_bsize);
    return 0;
}
