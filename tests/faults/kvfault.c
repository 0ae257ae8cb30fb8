/* A fault shim for the save tests, preloaded with LD_PRELOAD: it fails or crashes chosen
 * file-system calls on files inside one directory and counts them. See kvfault.h. */
#define _GNU_SOURCE
#include "kvfault.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/types.h>
#include <unistd.h>

#define MAX_RULES 16
#define KILL_ERRNO (-1)

struct rule
{
    int kind;
    unsigned nth;
    int sticky; /* every call from the Nth on */
    int err;    /* errno to return, or KILL_ERRNO */
};

static const char *const kind_names[KVFAULT_KINDS] = KVFAULT_KIND_NAMES;

static char scope[4096];
static size_t scope_len;
static struct rule rules[MAX_RULES];
static int rule_count;
static unsigned counts[KVFAULT_KINDS];
static int fired;
static int no_tmpfile; /* errno for a refused O_TMPFILE, or 0 */
static char plant_target[4096]; /* where planted links point, or "" */
static int plants_left;
static struct kvfault_trace *trace_page;

/* ---- The real functions ------------------------------------------------------------- */

#define REAL(name, type)                                                                           \
    static type real_##name;                                                                       \
    if (!real_##name)                                                                              \
        real_##name = (type)dlsym(RTLD_NEXT, #name);

typedef int (*open_fn)(const char *, int, ...);
typedef int (*openat_fn)(int, const char *, int, ...);
typedef int (*open2_fn)(const char *, int);
typedef int (*openat2_fn)(int, const char *, int);
typedef ssize_t (*write_fn)(int, const void *, size_t);
typedef ssize_t (*pwrite_fn)(int, const void *, size_t, off_t);
typedef ssize_t (*pwrite64_fn)(int, const void *, size_t, off64_t);
typedef int (*fd_fn)(int);
typedef int (*path2_fn)(const char *, const char *);
typedef int (*renameat_fn)(int, const char *, int, const char *);
typedef int (*renameat2_fn)(int, const char *, int, const char *, unsigned);
typedef int (*linkat_fn)(int, const char *, int, const char *, int);
typedef int (*path_fn)(const char *);
typedef int (*unlinkat_fn)(int, const char *, int);

/* ---- Rules ---------------------------------------------------------------------------- */

static int kind_of(const char *name, size_t len)
{
    for (int k = 0; k < KVFAULT_KINDS; ++k) {
        if (strlen(kind_names[k]) == len && strncmp(kind_names[k], name, len) == 0)
            return k;
    }
    return -1;
}

static int errno_of(const char *name)
{
    static const struct
    {
        const char *name;
        int value;
    } names[] = {{"ENOSPC", ENOSPC}, {"EIO", EIO},         {"EROFS", EROFS},
                 {"EDQUOT", EDQUOT}, {"EACCES", EACCES},   {"EPERM", EPERM},
                 {"ENOENT", ENOENT}, {"EEXIST", EEXIST},   {"EXDEV", EXDEV},
                 {"EBUSY", EBUSY},   {"EINTR", EINTR},     {"EAGAIN", EAGAIN},
                 {"EFBIG", EFBIG},   {"EMFILE", EMFILE},   {"EINVAL", EINVAL},
                 {"EISDIR", EISDIR}, {"ENOTDIR", ENOTDIR}, {"EOPNOTSUPP", EOPNOTSUPP}};
    if (strcmp(name, "kill") == 0)
        return KILL_ERRNO;
    for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i) {
        if (strcmp(names[i].name, name) == 0)
            return names[i].value;
    }
    char *end = NULL;
    const long value = strtol(name, &end, 10);
    return end != name && *end == '\0' && value > 0 ? (int)value : 0;
}

/* Appends the rules in TEXT ("kind:N[+]:ERRNO,..."); -1 when one cannot be read. */
static int parse_rules(const char *text)
{
    while (text && *text) {
        const char *end = strchr(text, ',');
        const size_t len = end ? (size_t)(end - text) : strlen(text);
        char one[128];
        if (len >= sizeof one || rule_count == MAX_RULES)
            return -1;
        memcpy(one, text, len);
        one[len] = '\0';
        char *colon1 = strchr(one, ':');
        char *colon2 = colon1 ? strchr(colon1 + 1, ':') : NULL;
        if (!colon2)
            return -1;
        struct rule r = {kind_of(one, (size_t)(colon1 - one)), 0, 0, 0};
        char *num_end = NULL;
        r.nth = (unsigned)strtoul(colon1 + 1, &num_end, 10);
        if (*num_end == '+') {
            r.sticky = 1;
            ++num_end;
        }
        r.err = errno_of(colon2 + 1);
        if (r.kind < 0 || r.nth == 0 || num_end != colon2 || r.err == 0)
            return -1;
        rules[rule_count++] = r;
        text = end ? end + 1 : NULL;
    }
    return 0;
}

static void open_trace(const char *path)
{
    REAL(open, open_fn);
    const int fd = real_open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    if (ftruncate(fd, 4096) == 0) {
        void *page = mmap(NULL, 4096, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (page != MAP_FAILED)
            trace_page = page;
    }
    REAL(close, fd_fn);
    real_close(fd);
}

static void init(void)
{
    kvfault_scope(getenv("KVFAULT_SCOPE"));
    const char *fail = getenv("KVFAULT_FAIL");
    const char *crash = getenv("KVFAULT_CRASH");
    int ok = parse_rules(fail) == 0;
    if (crash && *crash) {
        char rule[128];
        snprintf(rule, sizeof rule, "%s:kill", crash);
        ok = ok && parse_rules(rule) == 0;
    }
    if (!ok)
        fprintf(stderr, "kvfault: cannot read KVFAULT_FAIL or KVFAULT_CRASH\n");
    const char *tmpfile = getenv("KVFAULT_NO_TMPFILE");
    if (tmpfile && strcmp(tmpfile, "1") == 0)
        no_tmpfile = EOPNOTSUPP;
    else if (tmpfile && strcmp(tmpfile, "EISDIR") == 0)
        no_tmpfile = EISDIR;
    const char *trace = getenv("KVFAULT_TRACE");
    if (trace && *trace)
        open_trace(trace);
}

static void ensure_init(void)
{
    static pthread_once_t once = PTHREAD_ONCE_INIT;
    pthread_once(&once, init);
}

/* ---- Scope ---------------------------------------------------------------------------- */

static char spared[4096];
static size_t spared_len;

static int path_in_scope(const char *path)
{
    /* A directory and what is in it; a file and its companions ("name.XXXXXX" temporary
     * files, "name-wal" journals); not what starts with the spared prefix. */
    if (spared_len > 0 && strncmp(path, spared, spared_len) == 0)
        return 0;
    return scope_len > 0 && strncmp(path, scope, scope_len) == 0 &&
           (path[scope_len] == '/' || path[scope_len] == '\0' || path[scope_len] == '.' ||
            path[scope_len] == '-');
}

static int fd_path(int fd, char *out, size_t size)
{
    char link[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, out, size - 1);
    if (n < 0)
        return -1;
    out[n] = '\0';
    return 0;
}

static int fd_in_scope(int fd)
{
    ensure_init();
    if (scope_len == 0 || fd < 0)
        return 0;
    char path[4096];
    return fd_path(fd, path, sizeof path) == 0 && path_in_scope(path);
}

/* A path argument made absolute against DIRFD (or the working directory). */
static int at_in_scope(int dirfd, const char *path)
{
    ensure_init();
    if (scope_len == 0 || !path)
        return 0;
    if (path[0] == '/')
        return path_in_scope(path);
    char full[8192];
    if (dirfd == AT_FDCWD) {
        if (!getcwd(full, 4096))
            return 0;
    } else if (fd_path(dirfd, full, 4096) != 0) {
        return 0;
    }
    const size_t len = strlen(full);
    snprintf(full + len, sizeof full - len, "/%s", path);
    return path_in_scope(full);
}

/* ---- Counting, faults and the trace --------------------------------------------------- */

static void record(int code)
{
    if (!trace_page)
        return;
    const unsigned n = trace_page->count;
    trace_page->ring[n % KVFAULT_TRACE_RING] = (unsigned char)code;
    __atomic_store_n(&trace_page->count, n + 1, __ATOMIC_RELEASE);
}

/* Counts a call in scope; 0 when it may go ahead, -1 with errno set when it fails. */
static int enter(int kind)
{
    const unsigned n = __atomic_add_fetch(&counts[kind], 1, __ATOMIC_SEQ_CST);
    record(kind * 2);
    for (int i = 0; i < rule_count; ++i) {
        const struct rule *r = &rules[i];
        if (r->kind != kind || !(n == r->nth || (r->sticky && n > r->nth)))
            continue;
        if (r->err == KILL_ERRNO)
            kill(getpid(), SIGKILL);
        __atomic_add_fetch(&fired, 1, __ATOMIC_SEQ_CST);
        record(kind * 2 + 1);
        errno = r->err;
        return -1;
    }
    return 0;
}

static void leave(int kind)
{
    record(kind * 2 + 1);
}

/* ---- Control -------------------------------------------------------------------------- */

void kvfault_scope(const char *dir)
{
    scope_len = 0;
    if (!dir || !*dir)
        return;
    /* Paths read back from /proc/self/fd are canonical. */
    char *real = realpath(dir, NULL);
    snprintf(scope, sizeof scope, "%s", real ? real : dir);
    free(real);
    scope_len = strlen(scope);
    while (scope_len > 1 && scope[scope_len - 1] == '/')
        scope[--scope_len] = '\0';
}

void kvfault_spare(const char *prefix)
{
    spared_len = 0;
    if (!prefix || !*prefix)
        return;
    snprintf(spared, sizeof spared, "%s", prefix);
    spared_len = strlen(spared);
}

int kvfault_arm(const char *text)
{
    ensure_init();
    kvfault_disarm();
    const int result = parse_rules(text);
    if (result != 0)
        rule_count = 0;
    return result;
}

void kvfault_disarm(void)
{
    ensure_init();
    rule_count = 0;
    memset(counts, 0, sizeof counts);
    fired = 0;
}

int kvfault_count(const char *kind)
{
    const int k = kind ? kind_of(kind, strlen(kind)) : -1;
    return k < 0 ? -1 : (int)__atomic_load_n(&counts[k], __ATOMIC_SEQ_CST);
}

int kvfault_fired(void)
{
    return __atomic_load_n(&fired, __ATOMIC_SEQ_CST);
}

void kvfault_no_tmpfile(int on)
{
    ensure_init();
    no_tmpfile = on ? EOPNOTSUPP : 0;
}

void kvfault_plant(const char *victim, int times)
{
    ensure_init();
    snprintf(plant_target, sizeof plant_target, "%s", victim ? victim : "");
    plants_left = victim && *victim ? times : 0;
}

/* An attacker's move: a symbolic link to the victim appears at the very name a new file is
 * about to be given (an exclusive create, or a link), before the call is made. */
static void plant_at(int dirfd, const char *path)
{
    if (plants_left <= 0 || !path || (path[0] != '/' && dirfd != AT_FDCWD))
        return;
    if (!at_in_scope(dirfd, path))
        return;
    --plants_left;
    if (symlink(plant_target, path) != 0)
        ++plants_left;
}

/* ---- Opening -------------------------------------------------------------------------- */

/* Opens that may write, and directory opens; -1 for a plain read, which is not counted. */
static int open_kind(int flags)
{
    if ((flags & O_TMPFILE) == O_TMPFILE)
        return KVFAULT_OPEN;
    if (flags & O_DIRECTORY)
        return KVFAULT_OPENDIR;
    return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) ? KVFAULT_OPEN : -1;
}

static int needs_mode(int flags)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE;
}

/* The kind of an open in scope, -1 when out of scope; -2 (errno set) when it fails. */
/* An unnamed temporary file is made in a directory: it is in scope when the scope is a file
 * in that directory. */
static int tmpfile_dir_in_scope(const char *path)
{
    if (!path || path[0] != '/' || scope_len == 0)
        return 0;
    const size_t len = strlen(path);
    return len < scope_len && strncmp(scope, path, len) == 0 && scope[len] == '/' &&
           strchr(scope + len + 1, '/') == NULL;
}

static int before_open(int dirfd, const char *path, int flags)
{
    if ((flags & (O_CREAT | O_EXCL)) == (O_CREAT | O_EXCL))
        plant_at(dirfd, path);
    const int kind = open_kind(flags);
    const int tmpfile = (flags & O_TMPFILE) == O_TMPFILE;
    if (kind < 0 || !(at_in_scope(dirfd, path) || (tmpfile && tmpfile_dir_in_scope(path))))
        return -1;
    if (enter(kind) != 0)
        return -2;
    if (no_tmpfile && (flags & O_TMPFILE) == O_TMPFILE) {
        leave(kind);
        errno = no_tmpfile;
        return -2;
    }
    return kind;
}

static int after_open(int kind, int fd)
{
    if (kind >= 0) {
        const int saved = errno;
        leave(kind);
        errno = saved;
    }
    return fd;
}

#define OPEN_BODY(call_real, dirfd)                                                                \
    mode_t mode = 0;                                                                               \
    if (needs_mode(flags)) {                                                                       \
        va_list ap;                                                                                \
        va_start(ap, flags);                                                                       \
        mode = va_arg(ap, mode_t);                                                                 \
        va_end(ap);                                                                                \
    }                                                                                              \
    const int kind = before_open(dirfd, path, flags);                                              \
    if (kind == -2)                                                                                \
        return -1;                                                                                 \
    return after_open(kind, call_real);

int open(const char *path, int flags, ...)
{
    REAL(open, open_fn);
    OPEN_BODY(real_open(path, flags, mode), AT_FDCWD)
}

int open64(const char *path, int flags, ...)
{
    REAL(open64, open_fn);
    OPEN_BODY(real_open64(path, flags, mode), AT_FDCWD)
}

int openat(int dirfd, const char *path, int flags, ...)
{
    REAL(openat, openat_fn);
    OPEN_BODY(real_openat(dirfd, path, flags, mode), dirfd)
}

int openat64(int dirfd, const char *path, int flags, ...)
{
    REAL(openat64, openat_fn);
    OPEN_BODY(real_openat64(dirfd, path, flags, mode), dirfd)
}

/* The checked variants that _FORTIFY_SOURCE builds call; they take no mode. */
int __open_2(const char *path, int flags);
int __open64_2(const char *path, int flags);
int __openat_2(int dirfd, const char *path, int flags);
int __openat64_2(int dirfd, const char *path, int flags);

#define OPEN2_BODY(call_real, dirfd)                                                               \
    const int kind = before_open(dirfd, path, flags);                                              \
    if (kind == -2)                                                                                \
        return -1;                                                                                 \
    return after_open(kind, call_real);

int __open_2(const char *path, int flags)
{
    REAL(__open_2, open2_fn);
    OPEN2_BODY(real___open_2(path, flags), AT_FDCWD)
}

int __open64_2(const char *path, int flags)
{
    REAL(__open64_2, open2_fn);
    OPEN2_BODY(real___open64_2(path, flags), AT_FDCWD)
}

int __openat_2(int dirfd, const char *path, int flags)
{
    REAL(__openat_2, openat2_fn);
    OPEN2_BODY(real___openat_2(dirfd, path, flags), dirfd)
}

int __openat64_2(int dirfd, const char *path, int flags)
{
    REAL(__openat64_2, openat2_fn);
    OPEN2_BODY(real___openat64_2(dirfd, path, flags), dirfd)
}

/* ---- Calls on a descriptor ------------------------------------------------------------ */

#define FD_CALL(kind, in_scope, call_real)                                                         \
    if (!(in_scope))                                                                               \
        return call_real;                                                                          \
    if (enter(kind) != 0)                                                                          \
        return -1;                                                                                 \
    const __typeof__(call_real) result = call_real;                                                \
    const int saved = errno;                                                                       \
    leave(kind);                                                                                   \
    errno = saved;                                                                                 \
    return result;

ssize_t write(int fd, const void *buf, size_t n)
{
    REAL(write, write_fn);
    FD_CALL(KVFAULT_WRITE, fd_in_scope(fd), real_write(fd, buf, n))
}

ssize_t pwrite(int fd, const void *buf, size_t n, off_t offset)
{
    REAL(pwrite, pwrite_fn);
    FD_CALL(KVFAULT_WRITE, fd_in_scope(fd), real_pwrite(fd, buf, n, offset))
}

ssize_t pwrite64(int fd, const void *buf, size_t n, off64_t offset)
{
    REAL(pwrite64, pwrite64_fn);
    FD_CALL(KVFAULT_WRITE, fd_in_scope(fd), real_pwrite64(fd, buf, n, offset))
}

int fsync(int fd)
{
    REAL(fsync, fd_fn);
    FD_CALL(KVFAULT_FSYNC, fd_in_scope(fd), real_fsync(fd))
}

int fdatasync(int fd)
{
    REAL(fdatasync, fd_fn);
    FD_CALL(KVFAULT_FDATASYNC, fd_in_scope(fd), real_fdatasync(fd))
}

int close(int fd)
{
    REAL(close, fd_fn);
    if (!fd_in_scope(fd))
        return real_close(fd);
    if (enter(KVFAULT_CLOSE) != 0) {
        /* A failed close still releases the descriptor on Linux. */
        const int saved = errno;
        real_close(fd);
        errno = saved;
        return -1;
    }
    const int result = real_close(fd);
    const int saved = errno;
    leave(KVFAULT_CLOSE);
    errno = saved;
    return result;
}

/* ---- Calls on names ------------------------------------------------------------------- */

int rename(const char *from, const char *to)
{
    REAL(rename, path2_fn);
    FD_CALL(KVFAULT_RENAME, at_in_scope(AT_FDCWD, from) || at_in_scope(AT_FDCWD, to),
            real_rename(from, to))
}

int renameat(int fromdir, const char *from, int todir, const char *to)
{
    REAL(renameat, renameat_fn);
    FD_CALL(KVFAULT_RENAME, at_in_scope(fromdir, from) || at_in_scope(todir, to),
            real_renameat(fromdir, from, todir, to))
}

int renameat2(int fromdir, const char *from, int todir, const char *to, unsigned flags)
{
    REAL(renameat2, renameat2_fn);
    FD_CALL(KVFAULT_RENAME, at_in_scope(fromdir, from) || at_in_scope(todir, to),
            real_renameat2(fromdir, from, todir, to, flags))
}

int link(const char *from, const char *to)
{
    REAL(link, path2_fn);
    FD_CALL(KVFAULT_LINKAT, at_in_scope(AT_FDCWD, to), real_link(from, to))
}

int linkat(int fromdir, const char *from, int todir, const char *to, int flags)
{
    REAL(linkat, linkat_fn);
    ensure_init();
    plant_at(todir, to);
    FD_CALL(KVFAULT_LINKAT, at_in_scope(todir, to), real_linkat(fromdir, from, todir, to, flags))
}

int unlink(const char *path)
{
    REAL(unlink, path_fn);
    FD_CALL(KVFAULT_UNLINK, at_in_scope(AT_FDCWD, path), real_unlink(path))
}

int unlinkat(int dirfd, const char *path, int flags)
{
    REAL(unlinkat, unlinkat_fn);
    FD_CALL(KVFAULT_UNLINK, at_in_scope(dirfd, path), real_unlinkat(dirfd, path, flags))
}
