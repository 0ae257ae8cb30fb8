/* The fault shim's interface, shared by the shim (C) and the tests that drive it (C++).
 *
 * The shim is preloaded (LD_PRELOAD) and intercepts the C library calls that a save makes.
 * Only calls on files inside the scope directory count; everything else passes untouched.
 *
 * Kinds: open (open, open64, openat, openat64 of a file for writing or with O_TMPFILE; a
 * plain read is not counted), opendir (the same calls with O_DIRECTORY), write (write, pwrite,
 * pwrite64), fsync, fdatasync, rename (rename, renameat, renameat2), linkat (link, linkat), unlink
 * (unlink, unlinkat), close.
 *
 * Rules, from the environment or kvfault_arm(), comma separated:
 *   KIND:N:ERRNO   the Nth call fails with ERRNO (a name such as ENOSPC, or a number)
 *   KIND:N+:ERRNO  the Nth call and every later one fail
 *   KIND:N:kill    the process is killed with SIGKILL at the Nth call, before it is made
 * Counting starts at start-up, or at kvfault_arm()/kvfault_disarm().
 *
 * Environment: KVFAULT_SCOPE=DIR, KVFAULT_FAIL=RULES, KVFAULT_CRASH=KIND:N (same as
 * KIND:N:kill), KVFAULT_NO_TMPFILE=1 or =EISDIR (O_TMPFILE is refused with EOPNOTSUPP
 * or EISDIR, as by a file system or kernel without it), KVFAULT_TRACE=FILE (the last calls are
 * recorded in a page of FILE, which a parent reads after killing the process; see kvfault_trace).
 */
#ifndef KVFAULT_H
#define KVFAULT_H

#ifdef __cplusplus
extern "C" {
#endif

enum kvfault_kind {
    KVFAULT_OPEN,
    KVFAULT_OPENDIR,
    KVFAULT_WRITE,
    KVFAULT_FSYNC,
    KVFAULT_FDATASYNC,
    KVFAULT_RENAME,
    KVFAULT_LINKAT,
    KVFAULT_UNLINK,
    KVFAULT_CLOSE,
    KVFAULT_KINDS
};

#define KVFAULT_KIND_NAMES                                                                         \
    {                                                                                              \
        "open", "opendir", "write", "fsync", "fdatasync", "rename", "linkat", "unlink", "close"    \
    }

/* The trace page: every call in scope is recorded as it starts (kind * 2) and as it
 * returns (kind * 2 + 1) in a ring; `count` is the number of records written so far. */
#define KVFAULT_TRACE_RING 64
struct kvfault_trace
{
    unsigned count;
    unsigned char ring[KVFAULT_TRACE_RING];
};

/* Sets the scope directory; NULL or "" puts every call out of scope. */
void kvfault_scope(const char *dir);
/* Paths starting with PREFIX (canonical) stay out of scope; NULL or "" spares nothing. */
void kvfault_spare(const char *prefix);
/* Replaces the rules and zeroes the counts; 0, or -1 when RULES cannot be read. */
int kvfault_arm(const char *rules);
/* Drops the rules and zeroes the counts. */
void kvfault_disarm(void);
/* Calls of a kind in scope since the last arm or disarm; -1 for an unknown kind. */
int kvfault_count(const char *kind);
/* Faults injected since the last arm or disarm. */
int kvfault_fired(void);
/* O_TMPFILE refused (1) or allowed (0) in scope. */
void kvfault_no_tmpfile(int on);
/* The next `times` exclusive creates or links in scope first find a symbolic link to VICTIM
 * planted at their name; NULL stops it. */
void kvfault_plant(const char *victim, int times);

#ifdef __cplusplus
}
#endif

#endif
