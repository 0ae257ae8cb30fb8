// Saves the two versions of every record file in turn, forever, so that the crash sweep can
// kill it at any moment of a save.
//   crashchild DIR ROUNDS  saves ROUNDS rounds, then prints the mean time of one save in
//                          microseconds (calibration)
//   crashchild DIR serve   for every line "NO_TMPFILE RULES" on standard input forks a copy
//                          that arms the fault shim with RULES ("-" for none), prints
//                          "ready PID" and saves until it is killed; then prints "killed" or
//                          "ended". Forking spares the sweep a program start per kill.
#include "crashfiles.h"

#include "errors.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef Q_OS_UNIX
#include <csignal>
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

int saveLoop(const kv::Paths &paths, long rounds)
{
    QDir().mkpath(paths.extrasDir());
    const QList<CrashFile> files = crashFiles(paths);
    QList<kv::RecordList> versions[2];
    QList<int> next;
    for (const CrashFile &f : files) {
        versions[0] << kv::RecordList(kv::RecordList::fromBytes(f.a));
        versions[1] << kv::RecordList(kv::RecordList::fromBytes(f.b));
        // Every save changes the file: start with the version it does not hold.
        QFile current(f.path);
        next << (current.open(QIODevice::ReadOnly) && current.readAll() == f.a ? 1 : 0);
    }
#ifdef Q_OS_UNIX
    std::printf("ready %d\n", int(getpid()));
#else
    std::printf("ready\n");
#endif
    std::fflush(stdout);

    QElapsedTimer timer;
    timer.start();
    try {
        for (long r = 0; rounds < 0 || r < rounds; ++r) {
            for (qsizetype i = 0; i < files.size(); ++i) {
                versions[next[i]][i].save(files[i].path);
                next[i] ^= 1;
            }
        }
    } catch (const kv::RuntimeError &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 3;
    }
    std::printf("%.1f\n", double(timer.nsecsElapsed()) / 1000.0 / double(rounds * files.size()));
    return 0;
}

#ifdef Q_OS_UNIX
int serve(const kv::Paths &paths)
{
    // The shim's controls, when it is preloaded.
    auto noTmpfile = reinterpret_cast<void (*)(int)>(dlsym(RTLD_DEFAULT, "kvfault_no_tmpfile"));
    auto arm = reinterpret_cast<int (*)(const char *)>(dlsym(RTLD_DEFAULT, "kvfault_arm"));
    char line[256];
    while (std::fgets(line, sizeof line, stdin)) {
        char rules[200] = "-";
        int refuse = 0;
        std::sscanf(line, "%d %199s", &refuse, rules);
        std::fflush(stdout);
        const pid_t pid = fork();
        if (pid < 0)
            return 4;
        if (pid == 0) {
            if (noTmpfile)
                noTmpfile(refuse);
            if (arm && arm(std::strcmp(rules, "-") == 0 ? "" : rules) != 0)
                _exit(5);
            _exit(saveLoop(paths, -1));
        }
        int status = 0;
        waitpid(pid, &status, 0);
        const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        std::printf("%s\n", killed ? "killed" : "ended");
        std::fflush(stdout);
    }
    return 0;
}
#endif

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: crashchild DIR ROUNDS|serve\n");
        return 2;
    }
    const kv::Paths paths(QFile::decodeName(argv[1]));
    if (std::strcmp(argv[2], "serve") == 0) {
#ifdef Q_OS_UNIX
        return serve(paths);
#else
        std::fprintf(stderr, "serve needs fork()\n");
        return 2;
#endif
    }
    return saveLoop(paths, std::atol(argv[2]));
}
