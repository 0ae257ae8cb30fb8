// Saves cut short: which leftover temporary files start-up removes, and a sweep that kills a
// child process at many moments of its saves and then finds every record file whole.
#include "crashfiles.h"
#include "leftovers.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

#ifdef KELVORA_FAULT_SHIM
#include "faults/kvfault.h"
#endif

using namespace kv;

namespace {

struct SweepStats
{
    int kills = 0;
    int leftovers = 0; // temporary files found after the kills, before the clean-up
    // Kills and leftovers with O_TMPFILE [0] and with it refused [1].
    int killsBy[2] = {0, 0};
    int leftoversBy[2] = {0, 0};
    QMap<QString, int> phases;
    QList<int> seenA, seenB; // per file
};

// The moment of a save at which the child died, from the last calls the shim recorded.
QString phaseOf(const QByteArray &page)
{
#ifdef KELVORA_FAULT_SHIM
    kvfault_trace trace{};
    if (page.size() < qsizetype(sizeof trace))
        return QStringLiteral("unknown");
    memcpy(&trace, page.constData(), sizeof trace);
    const auto event = [&](unsigned back) {
        return int(trace.ring[(trace.count - 1 - back) % KVFAULT_TRACE_RING]);
    };
    const auto in = [](int kind) { return kind * 2; };
    const auto after = [](int kind) { return kind * 2 + 1; };
    // The last open tells whether the child was in a file or in the directory sync.
    int open = -1;
    for (unsigned back = 0; back < qMin(trace.count, unsigned(KVFAULT_TRACE_RING)); ++back) {
        const int kind = event(back) / 2;
        if (kind == KVFAULT_OPEN || kind == KVFAULT_OPENDIR) {
            open = kind;
            break;
        }
    }
    if (open < 0)
        return QStringLiteral("before the first save");
    const int last = event(0);
    if (open == KVFAULT_OPENDIR)
        return last == after(KVFAULT_CLOSE) ? QStringLiteral("between saves")
                                            : QStringLiteral("directory sync after rename");
    if (last == in(KVFAULT_OPEN) || last == after(KVFAULT_OPEN))
        return QStringLiteral("before the write");
    if (last == in(KVFAULT_WRITE))
        return QStringLiteral("during the write");
    if (last == in(KVFAULT_RENAME))
        return QStringLiteral("during the rename");
    if (last == after(KVFAULT_RENAME))
        return QStringLiteral("after the rename");
    return QStringLiteral("between write and rename");
#else
    Q_UNUSED(page);
    return QStringLiteral("unknown (no fault shim)");
#endif
}

// The kind of the last call the shim recorded, when the copy died inside it.
QString lastCall(const QByteArray &page)
{
#ifdef KELVORA_FAULT_SHIM
    kvfault_trace trace{};
    memcpy(&trace, page.constData(), qMin(page.size(), qsizetype(sizeof trace)));
    static const char *const names[] = KVFAULT_KIND_NAMES;
    const int last = trace.count ? trace.ring[(trace.count - 1) % KVFAULT_TRACE_RING] : -1;
    return last >= 0 && last % 2 == 0 ? QString::fromLatin1(names[last / 2]) : QString();
#else
    Q_UNUSED(page);
    return {};
#endif
}

// The data directory a child saves into, checked after every kill.
class SweepDir
{
public:
    explicit SweepDir(const QString &root)
        : paths(root + QStringLiteral("/Kelvora")), files(crashFiles(paths)),
          created(files.size(), false)
    {
    }

    // Empty when every file is whole and the leftovers went; otherwise what is wrong.
    QString check(SweepStats &stats)
    {
        for (qsizetype i = 0; i < files.size(); ++i) {
            QFile f(files[i].path);
            if (!f.exists()) {
                if (created[i])
                    return QStringLiteral("%1 vanished").arg(files[i].path);
                continue;
            }
            if (!f.open(QIODevice::ReadOnly))
                return QStringLiteral("%1 cannot be read").arg(files[i].path);
            const QByteArray bytes = f.readAll();
            if (bytes == files[i].a)
                ++stats.seenA[i];
            else if (bytes == files[i].b)
                ++stats.seenB[i];
            else
                return QStringLiteral("%1 is torn: %2 bytes").arg(files[i].path).arg(bytes.size());
            created[i] = true;
        }
        int found = 0;
        for (const QString &dir : {paths.dataDir(), paths.extrasDir()}) {
            for (const QString &name : strays(dir)) {
                if (!isSaveLeftoverName(name))
                    return QStringLiteral("unexpected file %1 in %2").arg(name, dir);
                ++found;
            }
        }
        stats.leftovers += found;
        const int removed =
            removeSaveLeftovers(paths.dataDir()) + removeSaveLeftovers(paths.extrasDir());
        if (removed != found)
            return QStringLiteral("%1 leftovers, %2 removed").arg(found).arg(removed);
        for (const QString &dir : {paths.dataDir(), paths.extrasDir()}) {
            if (!strays(dir).isEmpty())
                return QStringLiteral("left after the clean-up: %1").arg(strays(dir).join(", "));
        }
        for (qsizetype i = 0; i < files.size(); ++i) {
            if (created[i] && !QFileInfo::exists(files[i].path))
                return QStringLiteral("the clean-up removed %1").arg(files[i].path);
        }
        return {};
    }

    // Files in a directory that are no record file.
    QStringList strays(const QString &dir) const
    {
        QStringList out;
        for (const QString &name : QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System |
                                                       QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString path = dir + QLatin1Char('/') + name;
            if (path != paths.extrasDir() &&
                std::none_of(files.begin(), files.end(),
                             [&](const CrashFile &f) { return f.path == path; }))
                out << name;
        }
        return out;
    }

    Paths paths;
    QList<CrashFile> files;
    QList<bool> created;
};

} // namespace

class TestStoreSaves : public QObject
{
    Q_OBJECT

private slots:
    void leftoverNames_data();
    void leftoverNames();
    void crashSweep_data();
    void crashSweep();

private:
    QProcessEnvironment childEnvironment(const SweepDir &dir, const QString &trace) const;
};

void TestStoreSaves::leftoverNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind"); // "file", "directory", "link"
    QTest::addColumn<bool>("removed");

    // Names seen in practice when the save is interrupted, for every record file.
    QTest::newRow("settings") << "Zorbelayar.dll.OnHwCy"
                              << "file" << true;
    QTest::newRow("register") << "Zorbelayarms.dll.cjiHYr"
                              << "file" << true;
    QTest::newRow("catalogue") << "Zorbelayarex.dll.ABCDEF"
                               << "file" << true;
    QTest::newRow("fee list") << "Zorbelçokluücret.dll.qwerty"
                              << "file" << true;
    QTest::newRow("table extras") << "Masa 1.msex.RMvgbY"
                                  << "file" << true;
    QTest::newRow("table extras, turkish name") << "Bilardo Çığ 12.msex.AaZzQq"
                                                << "file" << true;
    QTest::newRow("hidden-looking table name") << " 1.msex.AbCdEf"
                                               << "file" << true;

    // Everything else is the operator's or a record file.
    QTest::newRow("record file") << "Zorbelayar.dll"
                                 << "file" << false;
    QTest::newRow("table extras file") << "Masa 1.msex"
                                       << "file" << false;
    QTest::newRow("five letters") << "Zorbelayar.dll.OnHwC"
                                  << "file" << false;
    QTest::newRow("seven letters") << "Zorbelayar.dll.OnHwCyx"
                                   << "file" << false;
    QTest::newRow("a digit") << "Zorbelayar.dll.yedek1"
                             << "file" << false;
    QTest::newRow("a turkish letter") << "Zorbelayar.dll.OnHwÇy"
                                      << "file" << false;
    QTest::newRow("short suffix") << "Zorbelayar.dll.bak"
                                  << "file" << false;
    QTest::newRow("no dot") << "Zorbelayar.dllXOnHwCy"
                            << "file" << false;
    QTest::newRow("other base") << "notlar.txt.OnHwCy"
                                << "file" << false;
    QTest::newRow("other case") << "zorbelayar.dll.OnHwCy"
                                << "file" << false;
    QTest::newRow("no table name") << ".msex.AbCdEf"
                                   << "file" << false;
    QTest::newRow("twice") << "Zorbelayar.dll.OnHwCy.OnHwCy"
                           << "file" << false;
    QTest::newRow("directory") << "Zorbelayar.dll.OnHwCy"
                               << "directory" << false;
    QTest::newRow("link") << "Zorbelayar.dll.OnHwCy"
                          << "link" << false;
}

void TestStoreSaves::leftoverNames()
{
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(bool, removed);
    QTemporaryDir root;
    const QString dir = root.path() + QStringLiteral("/data");
    QVERIFY(QDir().mkpath(dir));
    const QString outside = root.path() + QStringLiteral("/outside.dll");
    const QStringList records{"Zorbelayar.dll", "Zorbelayarms.dll", "Masa 1.msex"};
    for (const QString &record : records + QStringList{QStringLiteral("../outside.dll")}) {
        QFile f(dir + QLatin1Char('/') + record);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("1000000\r\n");
    }
    const QString path = dir + QLatin1Char('/') + name;
    if (kind == "directory")
        QVERIFY(QDir().mkdir(path));
    else if (kind == "link")
        QVERIFY(QFile::link(outside, path));
    else if (!QFileInfo::exists(path))
        QVERIFY(QFile(path).open(QIODevice::WriteOnly));

    QCOMPARE(removeSaveLeftovers(dir), removed ? 1 : 0);
    QCOMPARE(QFileInfo::exists(path), !removed);
    for (const QString &record : records)
        QVERIFY(QFileInfo::exists(dir + QLatin1Char('/') + record));
    QVERIFY(QFileInfo::exists(outside));
}

QProcessEnvironment TestStoreSaves::childEnvironment(const SweepDir &dir,
                                                     const QString &trace) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
#ifdef KELVORA_FAULT_SHIM
    env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(KELVORA_FAULT_SHIM));
    env.insert(QStringLiteral("KVFAULT_SCOPE"), dir.paths.dataDir());
    env.insert(QStringLiteral("KVFAULT_TRACE"), trace);
#else
    Q_UNUSED(dir);
    Q_UNUSED(trace);
#endif
    return env;
}

void TestStoreSaves::crashSweep_data()
{
    QTest::addColumn<QString>("fileSystem"); // "disk" or "tmpfs"
    QTest::addColumn<int>("timedKills");     // kills at random moments
    QTest::addColumn<int>("nthCall");        // crashes at the Nth call: N = 1..nthCall

    QTest::newRow("disk") << "disk" << 500 << 10;
    QTest::newRow("tmpfs") << "tmpfs" << 1000 << 10;
}

void TestStoreSaves::crashSweep()
{
    QFETCH(QString, fileSystem);
    QFETCH(int, timedKills);
    QFETCH(int, nthCall);
#ifndef Q_OS_UNIX
    QSKIP("the sweep forks and kills child processes, which needs a Unix system");
#else
    QElapsedTimer clock;
    clock.start();
    QString base = QDir::currentPath();
    if (fileSystem == "tmpfs") {
        base = QStringLiteral("/dev/shm");
        const QStorageInfo shm(base);
        if (!shm.isValid() || shm.fileSystemType() != "tmpfs" || shm.isReadOnly())
            QSKIP("no writable tmpfs at /dev/shm");
    }
    QTemporaryDir root(base + QStringLiteral("/kelvora-crash-XXXXXX"));
    QVERIFY(root.isValid());
    const QString type = QString::fromLatin1(QStorageInfo(root.path()).fileSystemType());
    SweepDir dir(root.path());
    const QString trace = root.path() + QStringLiteral("/trace");
    QFile traceFile(trace);
    QVERIFY(traceFile.open(QIODevice::ReadWrite));
    QVERIFY(traceFile.resize(4096));
    SweepStats stats;
    stats.seenA.fill(0, dir.files.size());
    stats.seenB.fill(0, dir.files.size());

    // Calibration: the mean time of one save, for delays that spread over a whole round.
    QProcess calibration;
    calibration.setProcessEnvironment(childEnvironment(dir, trace));
    calibration.start(QStringLiteral(KELVORA_CRASH_CHILD), {dir.paths.dataDir(), "20"});
    QVERIFY(calibration.waitForFinished(60000));
    QCOMPARE(calibration.exitCode(), 0);
    const QList<QByteArray> out = calibration.readAllStandardOutput().split('\n');
    const double saveUs = out.value(1).toDouble();
    QVERIFY2(saveUs > 0, out.join(' ').constData());
    const int roundUs = qMax(1, int(saveUs * double(dir.files.size())));

    QProcess server;
    server.setProcessEnvironment(childEnvironment(dir, trace));
    server.start(QStringLiteral(KELVORA_CRASH_CHILD), {dir.paths.dataDir(), "serve"});
    QVERIFY(server.waitForStarted());
    auto readLine = [&server] {
        while (!server.canReadLine()) {
            if (!server.waitForReadyRead(20000))
                return QByteArray("<nothing>");
        }
        return server.readLine().trimmed();
    };
    // One copy that saves until it is killed after `delayUs`, or (-1) kills itself by a rule;
    // returns what is wrong afterwards.
    auto run = [&](bool noTmpfile, const QString &rules, int delayUs) -> QString {
        traceFile.seek(0);
        traceFile.write(QByteArray(4096, '\0'));
        traceFile.flush();
        server.write(QStringLiteral("%1 %2\n").arg(int(noTmpfile)).arg(rules).toLatin1());
        const QByteArray ready = readLine();
        if (!ready.startsWith("ready "))
            return QStringLiteral("no copy started: %1 %2")
                .arg(QString::fromLatin1(ready),
                     QString::fromLocal8Bit(server.readAllStandardError()));
        if (delayUs >= 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(delayUs));
            ::kill(ready.mid(6).toInt(), SIGKILL);
        }
        const QByteArray end = readLine();
        if (end != "killed")
            return QStringLiteral("the copy was not killed: %1 %2")
                .arg(QString::fromLatin1(end),
                     QString::fromLocal8Bit(server.readAllStandardError()));
        traceFile.seek(0);
        const QByteArray page = traceFile.read(4096);
        ++stats.phases[phaseOf(page)];
        ++stats.kills;
        ++stats.killsBy[noTmpfile];
        const int leftoversBefore = stats.leftovers;
        const QString wrong = dir.check(stats);
        stats.leftoversBy[noTmpfile] += stats.leftovers - leftoversBefore;
        if (!wrong.isEmpty())
            return wrong;
        if (!rules.startsWith('-') && lastCall(page) != rules.section(':', 0, 0))
            return QStringLiteral("killed at %1, not at the rule's call").arg(lastCall(page));
        return wrong;
    };

    // Kills at random moments of a round, half of them with O_TMPFILE refused.
    QRandomGenerator random(20261207);
    for (int k = 0; k < timedKills; ++k) {
        const QString wrong = run(k % 2 == 1, QStringLiteral("-"), random.bounded(roundUs));
        QVERIFY2(wrong.isEmpty(), qPrintable(QStringLiteral("kill %1: %2").arg(k + 1).arg(wrong)));
    }
    const int timed = stats.kills;

    // Crashes at the Nth call of each kind a save makes.
#ifdef KELVORA_FAULT_SHIM
    for (const bool noTmpfile : {false, true}) {
        for (const char *kind : {"write", "fsync", "rename", "linkat"}) {
            if (noTmpfile && QByteArray(kind) == "linkat")
                continue; // a named temporary file is renamed, never linked
            for (int n = 1; n <= nthCall; ++n) {
                const QString rule = QStringLiteral("%1:%2:kill").arg(kind).arg(n);
                const QString wrong = run(noTmpfile, rule, -1);
                QVERIFY2(wrong.isEmpty(), qPrintable(rule + QStringLiteral(": ") + wrong));
            }
        }
    }
#else
    Q_UNUSED(nthCall);
    qInfo("SKIP: crashes at the Nth call need the fault shim (Linux only)");
#endif
    server.closeWriteChannel();
    QVERIFY(server.waitForFinished(20000));

    qInfo().noquote() << QStringLiteral("%1 (%2): one save %3 us; %4 kills at random moments, "
                                        "%5 at the Nth call; %6 leftover temporary files "
                                        "before the clean-up; %7 ms")
                             .arg(fileSystem, type)
                             .arg(saveUs, 0, 'f', 0)
                             .arg(timed)
                             .arg(stats.kills - timed)
                             .arg(stats.leftovers)
                             .arg(clock.elapsed());
    qInfo().noquote() << QStringLiteral("  leftovers: %1 after %2 kills with O_TMPFILE, %3 after "
                                        "%4 kills with it refused")
                             .arg(stats.leftoversBy[0])
                             .arg(stats.killsBy[0])
                             .arg(stats.leftoversBy[1])
                             .arg(stats.killsBy[1]);
    for (auto it = stats.phases.cbegin(); it != stats.phases.cend(); ++it)
        qInfo().noquote() << QStringLiteral("  killed %1: %2").arg(it.key()).arg(it.value());
    for (qsizetype i = 0; i < dir.files.size(); ++i)
        qInfo().noquote() << QStringLiteral("  %1: version A %2, version B %3")
                                 .arg(QFileInfo(dir.files[i].path).fileName())
                                 .arg(stats.seenA[i])
                                 .arg(stats.seenB[i]);
    // Both versions of every file were seen: the kills did fall between its saves.
    for (qsizetype i = 0; i < dir.files.size(); ++i)
        QVERIFY(stats.seenA[i] > 0 && stats.seenB[i] > 0);
#endif
}

QTEST_GUILESS_MAIN(TestStoreSaves)
#include "tst_storesaves.moc"
