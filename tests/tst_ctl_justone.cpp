#include "JustOne.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#ifndef Q_OS_WIN
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

// The test starts copies of its own executable as the "other program". The variable below
// makes main() run only the guard and tell its result by the exit code.
namespace {
const char *const childMode = "KELVORA_JUSTONE_CHILD"; // "check" or "hold"
const char *const childDir = "KELVORA_JUSTONE_DIR";
const char *const childTitle = "KELVORA_JUSTONE_TITLE";
const char *const childSwitch = "KELVORA_JUSTONE_SWITCH";
const char *const childData = "KELVORA_JUSTONE_DATA"; // the data directory, when set
const char *const childUser = "KELVORA_JUSTONE_UID";  // run as this user (from root)

enum ChildResult { Holder = 0, Refused = 1, RefusedSilently = 2, Broken = 3 };

int runChild(int argc, char **argv)
{
#ifndef Q_OS_WIN
    if (qEnvironmentVariableIsSet(childUser)) {
        const auto id = uid_t(qEnvironmentVariableIntValue(childUser));
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid_t(id)) != 0 || ::setuid(id) != 0)
            return Broken;
    }
#endif
    QCoreApplication app(argc, argv);
    TXJustOne guard(nullptr, qEnvironmentVariable(childTitle));
    guard.setRuntimeDirectory(qEnvironmentVariable(childDir));
    if (qEnvironmentVariableIsSet(childData))
        guard.setDataDirectory(qEnvironmentVariable(childData));
    guard.setSwitchToPrevious(qEnvironmentVariable(childSwitch) != QLatin1String("0"));
    bool reported = false;
    QObject::connect(&guard, &TXJustOne::AlreadyExist, [&] { reported = true; });
    const bool runs = guard.check();
    if (runs && qEnvironmentVariable(childMode) == QLatin1String("hold")) {
        QFile out;
        out.open(stdout, QIODevice::WriteOnly);
        out.write("locked\n");
        out.flush();
        return app.exec(); // until killed
    }
    if (runs)
        return reported ? Broken : Holder;
    return reported ? Refused : Broken;
}
} // namespace

class TestJustOne : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_title;
    int m_counter = 0;

    std::unique_ptr<TXJustOne> guard()
    {
        auto g = std::make_unique<TXJustOne>(nullptr, m_title);
        g->setRuntimeDirectory(m_dir.path());
        return g;
    }

    void prepare(QProcess &p, const char *mode, bool switchToPrevious = true)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(childMode, mode);
        env.insert(childDir, m_dir.path());
        env.insert(childTitle, m_title);
        env.insert(childSwitch, switchToPrevious ? "1" : "0");
        p.setProcessEnvironment(env);
        p.setProgram(QCoreApplication::applicationFilePath());
    }

    // Runs a second copy to its end; its exit code says what it was told.
    int runSecondCopy(bool switchToPrevious = true)
    {
        QProcess p;
        prepare(p, "check", switchToPrevious);
        p.start();
        if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit)
            return -1;
        return p.exitCode();
    }

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        // A fresh name per test, so no test sees another's lock.
        m_title = QStringLiteral("KelvoraTest%1-%2")
                      .arg(QCoreApplication::applicationPid())
                      .arg(++m_counter);
    }

    void lockAndSocketAreNamedAfterTitleAndUser()
    {
        TXJustOne g;
        QCOMPARE(g.title(), QStringLiteral("Kelvora"));
        QVERIFY(g.SwitchToPrevious());
        g.setRuntimeDirectory(QStringLiteral("/x"));
        QVERIFY(g.lockFilePath().startsWith(QStringLiteral("/x/Kelvora-")));
        QVERIFY(g.lockFilePath().endsWith(QStringLiteral(".lock")));
        QVERIFY(g.lockFilePath().size() > QStringLiteral("/x/Kelvora-.lock").size());
    }

    void secondCopyEndsAndBringsFirstForward()
    {
        auto first = guard();
        QSignalSpy activate(first.get(), &TXJustOne::activateRequested);
        QSignalSpy exists(first.get(), &TXJustOne::AlreadyExist);
        QVERIFY(first->check());
        QVERIFY(first->holdsLock());

        QCOMPARE(runSecondCopy(), int(Refused));
        QTRY_COMPARE_WITH_TIMEOUT(activate.size(), 1, 3000);
        // The refused copy left the running copy's socket alone: it still answers.
        QCOMPARE(runSecondCopy(), int(Refused));
        QTRY_COMPARE_WITH_TIMEOUT(activate.size(), 2, 3000);
        QCOMPARE(exists.size(), 0);

        // Without SwitchToPrevious the second copy still ends, but asks for nothing.
        QCOMPARE(runSecondCopy(false), int(Refused));
        QTest::qWait(200);
        QCOMPARE(activate.size(), 2);
    }

    void refusedInThisProcessToo()
    {
        auto first = guard();
        QVERIFY(first->check());
        QSignalSpy activate(first.get(), &TXJustOne::activateRequested);
        auto second = guard();
        QSignalSpy exists(second.get(), &TXJustOne::AlreadyExist);
        QVERIFY(!second->check());
        QCOMPARE(exists.size(), 1);
        QVERIFY(!second->holdsLock());
        QTRY_COMPARE_WITH_TIMEOUT(activate.size(), 1, 3000);
        second.reset(); // the refused copy's end removes neither lock nor socket
        QVERIFY(QFile::exists(first->lockFilePath()));
        QVERIFY(QFile::exists(first->serverName()));
    }

    void releasedLockCanBeTakenAgain()
    {
        auto first = guard();
        QVERIFY(first->check());
        const QString lock = first->lockFilePath();
        first.reset();
        QVERIFY(!QFile::exists(lock));
        QCOMPARE(runSecondCopy(), int(Holder));
        QVERIFY(guard()->check());
    }

    void lockOfKilledCopyIsTakenOver()
    {
        QProcess holder;
        prepare(holder, "hold");
        holder.start();
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readAll(), QByteArray("locked\n"));

        // While it lives, it holds the lock.
        QVERIFY(!guard()->check());

        holder.kill(); // no clean-up: lock file and socket stay behind
        QVERIFY(holder.waitForFinished(5000));
        auto next = guard();
        QVERIFY(QFile::exists(next->lockFilePath()));
        QVERIFY(QFile::exists(next->serverName()));
        QSignalSpy activate(next.get(), &TXJustOne::activateRequested);
        QVERIFY(next->check());
        // The new holder replaced the dead socket with its own and answers on it.
        QCOMPARE(runSecondCopy(), int(Refused));
        QTRY_COMPARE_WITH_TIMEOUT(activate.size(), 1, 3000);
    }

    // What may already be at a lock's path when a copy starts.
    void whatIsAtTheLockPath_data()
    {
        QTest::addColumn<QString>("left");
        QTest::addColumn<bool>("inDataDir");
        QTest::addColumn<bool>("runs");
        // An older copy's lock file (pid, program, host) with no one holding it.
        QTest::newRow("stale file") << "file" << false << true;
        QTest::newRow("stale file in the data directory") << "file" << true << true;
        // Never followed: writing our pid there would change someone else's file.
        QTest::newRow("symbolic link") << "link" << false << false;
        QTest::newRow("directory") << "dir" << false << false;
        // A data directory that cannot hold a lock is left to the runtime one.
        QTest::newRow("directory in the data directory") << "dir" << true << true;
    }

    void whatIsAtTheLockPath()
    {
#ifdef Q_OS_WIN
        QSKIP("a held lock is not shared for reading there, and links are not made by QFile");
#endif
        QFETCH(QString, left);
        QFETCH(bool, inDataDir);
        QFETCH(bool, runs);
        QTemporaryDir data;
        auto g = guard();
        g->setDataDirectory(data.path());
        const QString path = inDataDir ? g->dataLockFilePath() : g->lockFilePath();
        const QString target = data.path() + QStringLiteral("/target");
        const QByteArray old("4242\nkelvora\nelsewhere\n");
        if (left == QLatin1String("file")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(old) == old.size());
        } else if (left == QLatin1String("link")) {
            QFile f(target);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(old) == old.size());
            f.close();
            QVERIFY(QFile::link(target, path));
        } else {
            QVERIFY(QDir().mkdir(path));
        }
        QCOMPARE(g->check(), runs);
        if (left == QLatin1String("file")) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray::number(QCoreApplication::applicationPid()) + '\n');
        }
        if (left == QLatin1String("link")) {
            QFile f(target);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), old);
        }
        g.reset();
        if (left == QLatin1String("dir"))
            QVERIFY(QFileInfo(path).isDir());
        else if (left == QLatin1String("file")) // let go: the file goes with the lock
            QVERIFY(!QFile::exists(path));
        QFile::remove(path);
        QDir().rmdir(path);
    }

    // A copy run as root (sudo -E) left or holds the data directory's lock; the operator's
    // own copy must not become a second writer beside it.
    void anotherUsersLock_data()
    {
        QTest::addColumn<bool>("held");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("result");
        QTest::newRow("held, readable") << true << 0644 << int(Refused);
        QTest::newRow("held, unreadable") << true << 0600 << int(Refused);
        QTest::newRow("left, readable") << false << 0644 << int(Holder);
        // Whether anyone holds it cannot be told: no second writer, to be safe.
        QTest::newRow("left, unreadable") << false << 0600 << int(Refused);
    }

    void anotherUsersLock()
    {
#ifdef Q_OS_WIN
        QSKIP("users and file modes as on Linux");
#else
        if (::geteuid() != 0)
            QSKIP("making another user's lock file needs root");
        QFETCH(bool, held);
        QFETCH(int, mode);
        QFETCH(int, result);
        QTemporaryDir data, otherRuntime;
        QVERIFY(::chmod(QFile::encodeName(data.path()).constData(), 0755) == 0);
        QVERIFY(::chmod(QFile::encodeName(otherRuntime.path()).constData(), 0777) == 0);
        auto first = guard();
        first->setDataDirectory(data.path());
        QVERIFY(first->check());
        const QString lock = first->dataLockFilePath();
        if (!held) {
            first.reset();
            QFile f(lock);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write("4242\n") == 5);
        }
        QVERIFY(::chmod(QFile::encodeName(lock).constData(), mode_t(mode)) == 0);
        QProcess p;
        prepare(p, "check", false);
        QProcessEnvironment env = p.processEnvironment();
        env.insert(childDir, otherRuntime.path());
        env.insert(childData, data.path());
        env.insert(childUser, QStringLiteral("65534")); // nobody
        // A process that changed its user cannot be stopped by LeakSanitizer to look.
        const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   asan + (asan.isEmpty() ? "" : ":") + QStringLiteral("detect_leaks=0"));
        p.setProcessEnvironment(env);
        p.start();
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitCode(), result);
        if (held)
            QVERIFY(QFile::exists(lock)); // the holder's lock left in place
#endif
    }

    void oneWriterPerDataDirectory_data()
    {
        QTest::addColumn<bool>("sameDataDir");
        QTest::addColumn<bool>("secondRuns");
        QTest::newRow("same data directory") << true << false;
        QTest::newRow("other data directory") << false << true;
    }

    void oneWriterPerDataDirectory()
    {
        // Two logins of one user (or sudo -E) have different runtime directories; the lock
        // in the data directory still keeps the second copy out of the first one's data.
        QFETCH(bool, sameDataDir);
        QFETCH(bool, secondRuns);
        QTemporaryDir otherRuntime, data, otherData;
        auto first = guard();
        first->setDataDirectory(data.path());
        QVERIFY(first->check());
        auto second = std::make_unique<TXJustOne>(nullptr, m_title);
        second->setRuntimeDirectory(otherRuntime.path());
        second->setDataDirectory(sameDataDir ? data.path() : otherData.path());
        QCOMPARE(second->check(), secondRuns);
        // A refused copy leaves the first one's locks in place.
        second.reset();
        QVERIFY(QFile::exists(first->lockFilePath()));
        QVERIFY(QFile::exists(first->dataLockFilePath()));
    }
};

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsSet(childMode))
        return runChild(argc, argv);
    QCoreApplication app(argc, argv);
    TestJustOne test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ctl_justone.moc"
