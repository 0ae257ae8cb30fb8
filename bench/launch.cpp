// Starts a program that reports its first paint (KELVORA_REPORT_PAINT), and prints the time
// from just before the start to that paint and the program's peak resident memory a moment
// later; then ends it. Usage:
//   kelvora_launch [--settle-ms N] [--timeout-ms N] [--log FILE] -- PROGRAM [ARGS...]
// Prints: first_paint_ms=<ms> cpu_ms=<ms> vm_hwm_kb=<kB> vm_rss_kb=<kB> rss_anon_kb=<kB>
// rss_file_kb=<kB>, where cpu_ms is the CPU time the program had used when its first paint
// was seen (within half a millisecond), and the resident memory is split into anonymous
// (heap, images) and file-backed (code and data of the libraries, fonts) pages.
#include "firstpaint.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

// A field of /proc/<pid>/status in kB, or -1.
qint64 statusField(qint64 pid, const QByteArray &name)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(name + ':'))
            return line.mid(name.size() + 1).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// CPU time of all the process's threads so far, in ns (the first field of each schedstat),
// or -1; unlike the wall time it hardly depends on what else the machine is doing.
qint64 cpuNs(qint64 pid)
{
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    qint64 sum = 0;
    bool any = false;
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(tasks.filePath(task + QStringLiteral("/schedstat")));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        sum += stat.readAll().split(' ').value(0).toLongLong();
        any = true;
    }
    return any ? sum : -1;
}

int usage()
{
    std::fprintf(stderr, "usage: kelvora_launch [--settle-ms N] [--timeout-ms N] [--log FILE] "
                         "-- PROGRAM [ARGS...]\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    int settleMs = 300;
    int timeoutMs = 30000;
    QString log = QProcess::nullDevice();
    while (!args.isEmpty() && args.first() != QLatin1String("--")) {
        const QString option = args.takeFirst();
        if (args.isEmpty())
            return usage();
        const QString value = args.takeFirst();
        if (option == QLatin1String("--settle-ms"))
            settleMs = value.toInt();
        else if (option == QLatin1String("--timeout-ms"))
            timeoutMs = value.toInt();
        else if (option == QLatin1String("--log"))
            log = value;
        else
            return usage();
    }
    if (args.size() < 2)
        return usage();
    args.removeFirst();

    QTemporaryDir dir;
    const QString paintFile = dir.filePath(QStringLiteral("paint"));
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KELVORA_REPORT_PAINT"), paintFile);
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(log, QIODevice::Append);
    process.setStandardErrorFile(log, QIODevice::Append);
    process.setProgram(args.takeFirst());
    process.setArguments(args);

    const qint64 start = kv::monotonicNs();
    process.start();
    if (!process.waitForStarted(timeoutMs)) {
        std::fprintf(stderr, "kelvora_launch: cannot start %s\n", qPrintable(process.program()));
        return 1;
    }
    const qint64 pid = process.processId();

    QByteArray painted;
    while (painted.isEmpty()) {
        if (process.state() == QProcess::NotRunning || process.waitForFinished(0)) {
            std::fprintf(stderr, "kelvora_launch: %s ended before its first paint\n",
                         qPrintable(process.program()));
            return 1;
        }
        if ((kv::monotonicNs() - start) / 1000000 > timeoutMs) {
            process.kill();
            process.waitForFinished();
            std::fprintf(stderr, "kelvora_launch: no first paint within %d ms\n", timeoutMs);
            return 1;
        }
        QThread::usleep(500);
        QFile file(paintFile);
        if (file.open(QIODevice::ReadOnly))
            painted = file.readLine().trimmed();
    }
    const qint64 cpu = cpuNs(pid);
    QThread::msleep(settleMs);
    const qint64 hwm = statusField(pid, "VmHWM");
    const qint64 rss = statusField(pid, "VmRSS");
    const qint64 anon = statusField(pid, "RssAnon");
    const qint64 fileBacked = statusField(pid, "RssFile") + statusField(pid, "RssShmem");
    process.kill();
    process.waitForFinished();

    const double ms = double(painted.toLongLong() - start) / 1e6;
    std::printf("first_paint_ms=%.3f cpu_ms=%.3f vm_hwm_kb=%lld vm_rss_kb=%lld rss_anon_kb=%lld "
                "rss_file_kb=%lld\n",
                ms, double(cpu) / 1e6, hwm, rss, anon, fileBacked);
    return hwm < 0 ? 1 : 0;
}
