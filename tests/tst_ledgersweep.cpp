// Kills a process that settles (or moves) accounts in a loop at hundreds of moments spread
// over the operation; after each kill, the start-up's recovery, and then: an account is
// either still open with no bill, or its bill is in the ledger exactly once (with its segments)
// and its table is free; a moved account and its extras stand on exactly one table. Each step's
// event is in the ledger exactly when its change is in the files, and the chain holds; through
// the hall's verbs, the events read back give the files as they are, and a renamed table's
// extras stand under exactly one name, the one the tables file gives.
#include "testsupport.h"

#include "events.h"
#include "layout.h"
#include "ledger.h"
#include "operations.h"
#include "recordlist.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

using namespace kv;

namespace {
const int kKills = 150; // per operation
const QStringList kBooked{"Çay", "15000", "Şalgam", "20000"};

QStringList accountLines(qint64 n)
{
    const QDateTime at = QDateTime(QDate(2027, 1, 1), QTime(0, 0)).addSecs(n);
    return {at.toString("d.MM.yyyy"), at.toString("HH:mm:ss"), "1000000"};
}

// What the recovery left, read as the next start reads it.
struct Seen
{
    bool recovered = false;
    QString state;
};
} // namespace

class TestLedgerSweep : public QObject
{
    Q_OBJECT

private slots:
    void killSweep_data();
    void killSweep();

private:
    // The next start's recovery, then the invariants; the state found, or a failure.
    Seen recoverAndCheck(const QString &mode, const Paths &paths);
};

void TestLedgerSweep::killSweep_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("settle") << "settle";
    QTest::newRow("move") << "move";
    QTest::newRow("restart") << "restart";
    QTest::newRow("register") << "register";
    QTest::newRow("file") << "file";
    QTest::newRow("waiting") << "waiting";
    QTest::newRow("hall") << "hall";
}

Seen TestLedgerSweep::recoverAndCheck(const QString &mode, const Paths &paths)
{
    Seen seen;
    RecordList reg;
    reg.load(paths.registerFile());
    ledger::Ledger ledger;
    if (!ledger.open(paths.ledgerFile()))
        return {false, "ledger: " + ledger.problem()};
    ledger::Operations ops(ledger, reg, paths,
                           [](int t) { return QStringLiteral("Masa %1").arg(t + 1); });
    seen.recovered = ops.finishPending();
    if (ledger.hasUnfinishedSteps())
        return {seen.recovered, "a step is still pending"};
    const auto extras = [&](int t) {
        return TestEnvironment::readBytes(
            paths.tableExtrasFile(QStringLiteral("Masa %1").arg(t + 1)));
    };
    const auto linesOf = [&](int t) {
        QStringList l;
        for (int k = 0; k < 3; ++k)
            l << reg.value(RegisterLine::date(t) + k);
        return l;
    };
    if (const ledger::ChainCheck chain = ledger::verifyChain(paths.ledgerFile()); !chain.ok)
        return {seen.recovered, chain.text};
    // The events' kinds and details, in order; the hall's of table 0 alone.
    QList<std::pair<QString, QJsonObject>> events;
    QString renamedTo = QStringLiteral("Masa 2");
    {
        QSqlQuery q(QSqlDatabase::database(ledger.connectionName()));
        q.exec("SELECT kind, detail, table_name FROM events ORDER BY id");
        while (q.next()) {
            const QJsonObject detail =
                QJsonDocument::fromJson(q.value(1).toString().toUtf8()).object();
            if (q.value(0).toString() == "table_rename")
                renamedTo = detail.value("new").toString();
            if (mode != "hall" || q.value(2).toString() == "Masa 1")
                events.append({q.value(0).toString(), detail});
        }
    }
    if (mode == "register" || mode == "file" || mode == "waiting") {
        // The events count 1..n, and n is what the file holds.
        const qint64 saved =
            mode == "register"
                ? reg.lines().last().toLongLong()
                : RecordList::fromBytes(extras(0).replace("<missing>", "")).value(1).toLongLong();
        for (int k = 0; k < events.size(); ++k)
            if (events[k].second.value("n").toInteger() != k + 1)
                return {seen.recovered, QStringLiteral("event %1 carries n %2")
                                            .arg(k + 1)
                                            .arg(events[k].second.value("n").toInteger())};
        if (events.size() != saved)
            return {seen.recovered,
                    QStringLiteral("%1 events for n %2 in the file").arg(events.size()).arg(saved)};
        if (QFile::exists(paths.ledgerWaitingEventsFile()))
            return {seen.recovered, "the waiting events are still waiting"};
        seen.state = QStringLiteral("agree");
        return seen;
    }
    if (mode == "hall") {
        // Table 1's extras under the one name the tables file and the last rename give.
        const QStringList layout = RecordList::fromBytes(
            TestEnvironment::readBytes(paths.tablesFile()).replace("<missing>", ""));
        const QString name =
            layout.size() > 2 ? layout.at(layout.size() - 2) : QStringLiteral("Masa 2");
        QStringList holding;
        for (const QString n : {"Masa 2", "Bahçe", "Köşe"})
            if (TestEnvironment::readBytes(paths.tableExtrasFile(n)) != "<missing>")
                holding << n;
        if (holding != QStringList{name} || name != renamedTo)
            return {seen.recovered, QStringLiteral("table 2 is %1 by the file, %2 by its events; "
                                                   "extras under %3")
                                        .arg(name, renamedTo, holding.join(','))};
        // Table 0's account and extras as its events tell them.
        int opens = 0, settles = 0;
        QStringList names;
        for (const auto &[kind, detail] : events) {
            const QString name = detail.value("name").toString();
            if (kind == "open") {
                ++opens;
            } else if (kind == "book") {
                names << name;
            } else if (kind == "remove") {
                if (!names.removeOne(name))
                    return {seen.recovered, "a remove of an extra never booked: " + name};
            } else if (kind == "pay_apart") {
                for (const QJsonValue extra : detail.value("extras").toArray())
                    if (!names.removeOne(extra.toString()))
                        return {seen.recovered, "an extra paid apart was never booked"};
            } else if (kind == "settle") {
                ++settles;
                names.clear();
            }
        }
        // Every bill that stands took exactly its net; money taken ahead is on the open
        // account or on its bill, never lost nor twice.
        QSqlQuery q(QSqlDatabase::database(ledger.connectionName()));
        q.exec("SELECT COUNT(*) FROM bills b WHERE b.cancelled_at IS NULL AND b.net <>"
               " (SELECT COALESCE(SUM(amount), 0) FROM payments p WHERE p.bill_id = b.id"
               " AND p.kind = 'sale')");
        if (!q.next() || q.value(0).toInt() != 0)
            return {seen.recovered, "a bill's payments do not add up to its net"};
        q.exec("SELECT COUNT(*) FROM payments WHERE bill_id IS NULL AND ahead = 1");
        const int ahead = q.next() ? q.value(0).toInt() : -1;
        q.exec("SELECT COUNT(*) FROM payments WHERE bill_id IS NOT NULL"
               " AND bill_id NOT IN (SELECT id FROM bills)");
        if (!q.next() || q.value(0).toInt() != 0)
            return {seen.recovered, "payments left without their bill"};
        const int bills = ledger.billCount();
        const bool open = !linesOf(0)[0].isEmpty();
        QStringList held;
        const QStringList file = RecordList::fromBytes(extras(0).replace("<missing>", ""));
        for (int k = 0; k < file.size(); k += 2)
            held << file[k];
        // A remove names the extra, not its place: the same extras, in any order.
        held.sort();
        names.sort();
        // Ahead money only while the account it was taken on is open.
        if (ahead > 0 && linesOf(0)[0].isEmpty())
            return {seen.recovered, QStringLiteral("%1 payments ahead on a free table").arg(ahead)};
        q.exec("SELECT COUNT(*) FROM bills WHERE part = 1");
        const int parts = q.next() ? q.value(0).toInt() : -1;
        int apart = 0;
        for (const auto &[kind, detail] : events)
            apart += kind == "pay_apart" && !detail.value("extras").toArray().isEmpty();
        if (parts != apart)
            return {seen.recovered, QStringLiteral("%1 extras bills paid apart, %2 by the events")
                                        .arg(parts)
                                        .arg(apart)};
        if (bills - parts != settles || open != (opens > settles) || held != names)
            return {seen.recovered, QStringLiteral("%1 bills, %2 open, %3 held; the events say "
                                                   "%4 bills, %5 opened, %6")
                                        .arg(bills - parts)
                                        .arg(open)
                                        .arg(held.join(','))
                                        .arg(settles)
                                        .arg(opens)
                                        .arg(names.join(','))};
        seen.state = open ? QStringLiteral("open") : QStringLiteral("free");
        return seen;
    }
    if (mode == "settle" || mode == "restart") {
        // The bills are accounts 0..n-1, each once, in order.
        const QList<ledger::BillRecord> bills = ledger.bills(QDateTime(QDate(2000, 1, 1), QTime()),
                                                             QDateTime(QDate(2100, 1, 1), QTime()));
        for (int n = 0; n < bills.size(); ++n) {
            const QStringList expected = accountLines(n);
            if (bills[n].openedDate != expected[0] || bills[n].openedTime != expected[1])
                return {seen.recovered, QStringLiteral("bill %1 is of account %2 %3")
                                            .arg(n)
                                            .arg(bills[n].openedDate, bills[n].openedTime)};
        }
        // Each bill with its segments, and no segment without its bill.
        for (const ledger::BillRecord &b : bills)
            if (b.segments.size() != 2 || b.segments[1].kind != counter::Segment::Kind::Pause)
                return {seen.recovered,
                        QStringLiteral("bill %1 has %2 segments").arg(b.id).arg(b.segments.size())};
        {
            QSqlQuery q(QSqlDatabase::database(ledger.connectionName()));
            q.exec(
                "SELECT count(*) FROM bill_segments WHERE bill_id NOT IN (SELECT id FROM bills)");
            if (!q.next() || q.value(0).toInt() != 0)
                return {seen.recovered, "segments left without their bill"};
        }
        const QStringList table = linesOf(0);
        if (mode == "restart" && extras(0) != RecordList::toBytes(kBooked))
            return {seen.recovered, "the extras did not stay with the restarted account"};
        // One event a bill, and each settled bill tied to its own.
        if (events.size() != bills.size())
            return {seen.recovered,
                    QStringLiteral("%1 events for %2 bills").arg(events.size()).arg(bills.size())};
        if (mode == "settle") {
            QSqlQuery q(QSqlDatabase::database(ledger.connectionName()));
            q.exec("SELECT COUNT(*) FROM bills b JOIN events e ON e.id = b.settle_event"
                   " WHERE e.hash = b.settle_hash AND json_extract(e.detail, '$.bill') = b.id");
            if (!q.next() || q.value(0).toInt() != bills.size())
                return {seen.recovered, "a bill is not tied to its settle event"};
        }
        if (table[0].isEmpty()) {
            const QByteArray e = extras(0);
            if (!e.isEmpty() && e != "<missing>")
                return {seen.recovered, "a free table kept its extras"};
            seen.state = QStringLiteral("free");
        } else {
            if (table != accountLines(bills.size()))
                return {seen.recovered,
                        "the open account " + table.join(' ') +
                            QStringLiteral(" does not follow %1 bills").arg(bills.size())};
            seen.state = QStringLiteral("open");
        }
    } else {
        const bool on0 = !linesOf(0)[0].isEmpty(), on1 = !linesOf(1)[0].isEmpty();
        if (on0 == on1)
            return {seen.recovered, QStringLiteral("the account is on %1 tables").arg(on0 ? 2 : 0)};
        const int at = on0 ? 0 : 1;
        if (linesOf(at) != accountLines(0))
            return {seen.recovered, "the account's lines changed: " + linesOf(at).join(' ')};
        if (extras(at) != RecordList::toBytes(kBooked))
            return {seen.recovered, "the extras are not with the account"};
        const QByteArray other = extras(1 - at);
        if (!other.isEmpty() && other != "<missing>")
            return {seen.recovered, "the extras are on both tables"};
        seen.state = QStringLiteral("on Masa %1").arg(at + 1);
    }
    return seen;
}

void TestLedgerSweep::killSweep()
{
    QFETCH(QString, mode);
    TestEnvironment env;
    const Paths paths(env.dataDir());
    QDir().mkpath(paths.extrasDir());
    RecordList(defaultSettings()).save(paths.settingsFile());
    QStringList reg = defaultRegister();
    reg[0] = QStringLiteral("2");
    RecordList(reg).save(paths.registerFile());
    RecordList(kBooked).save(paths.catalogueFile());

    const auto start = [&](QProcess &child) {
        child.start(QStringLiteral(KELVORA_LEDGER_CHILD), {mode, paths.dataDir()});
        QVERIFY(child.waitForStarted(5000));
        while (!child.canReadLine())
            QVERIFY2(child.waitForReadyRead(10000), qPrintable(child.readAllStandardError()));
        QCOMPARE(child.readLine().trimmed(), QByteArray("ready"));
    };

    // Anything else recoverAndCheck() gives is why the invariants do not hold.
    // A restarted table is never free.
    const QSet<QString> valid = mode == "settle" || mode == "hall" ? QSet<QString>{"free", "open"}
                                : mode == "restart"                ? QSet<QString>{"open"}
                                : mode == "move" ? QSet<QString>{"on Masa 1", "on Masa 2"}
                                                 : QSet<QString>{"agree"};

    // How long one operation takes here, so the kills fall over all of it.
    qint64 opUs = 0;
    {
        QProcess child;
        start(child);
        QByteArray line;
        while (!line.startsWith("ops 20 ")) {
            if (!child.canReadLine())
                QVERIFY2(child.waitForReadyRead(20000), qPrintable(child.readAllStandardError()));
            else
                line = child.readLine().trimmed();
        }
        opUs = line.split(' ').at(2).toLongLong() / 20;
        child.kill();
        child.waitForFinished();
        const QString state = recoverAndCheck(mode, paths).state;
        QVERIFY2(valid.contains(state), qPrintable("after the calibration run: " + state));
    }

    QMap<QString, int> states;
    int recovered = 0;
    QRandomGenerator random(20261208);
    for (int kill = 0; kill < kKills; ++kill) {
        QProcess child;
        start(child);
        QTest::qSleep(0);
        const qint64 delay = random.bounded(2 * opUs + 1);
        QThread::usleep(ulong(delay));
        child.kill();
        QVERIFY(child.waitForFinished(5000));
        const Seen seen = recoverAndCheck(mode, paths);
        QVERIFY2(
            valid.contains(seen.state),
            qPrintable(
                QStringLiteral("kill %1 after %2 us: %3").arg(kill).arg(delay).arg(seen.state)));
        ++states[seen.state];
        recovered += seen.recovered;
    }
    QString summary;
    for (auto it = states.cbegin(); it != states.cend(); ++it)
        summary += QStringLiteral(" %1: %2").arg(it.key()).arg(it.value());
    qInfo("%s: %d kills, one operation %lld us, unfinished steps finished after %d;%s",
          qPrintable(mode), kKills, opUs, recovered, qPrintable(summary));
    QCOMPARE(states.size(), valid.size()); // the kills fell on both sides
}

QTEST_GUILESS_MAIN(TestLedgerSweep)
#include "tst_ledgersweep.moc"
