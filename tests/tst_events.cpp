// The chained event log: each row's hash by its rule, the time text, the check that finds a row
// changed, deleted or inserted, and events that wait while the ledger cannot be written.
#include "testsupport.h"

#include "errors.h"
#include "events.h"
#include "layout.h"
#include "ledger.h"
#include "operations.h"
#include "recordlist.h"
#include "sqlwrite.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

using namespace kv;
using namespace kv::ledger;

namespace {
// Statements run with a connection of the test's own, as an SQL tool would.
void runSql(const QString &file, const QStringList &statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "tamper");
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString &sql : statements)
            QVERIFY2(q.exec(sql), qPrintable(sql));
    }
    QSqlDatabase::removeDatabase("tamper");
}

// Every hash and link made again after an edit: the chain alone then looks sound.
void rechain(const QString &file)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "rechain");
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("SELECT id, at, operator, kind, table_name, detail, amount FROM events"
                       " ORDER BY id"));
        QString prev = firstPrevHash();
        QList<std::pair<qint64, std::pair<QString, QString>>> rows;
        while (q.next()) {
            Event e;
            e.id = q.value(0).toLongLong();
            e.at = q.value(1).toString();
            e.op = q.value(2).toString();
            e.kind = q.value(3).toString();
            if (!q.value(4).isNull())
                e.table = q.value(4).toString();
            e.detail = q.value(5).toString().toUtf8();
            if (!q.value(6).isNull())
                e.amount = q.value(6).toLongLong();
            e.prevHash = prev;
            prev = e.hash = eventHash(e);
            rows.append({e.id, {e.prevHash, e.hash}});
        }
        for (const auto &[id, hashes] : rows) {
            q.prepare("UPDATE events SET prev_hash = ?, hash = ? WHERE id = ?");
            q.addBindValue(hashes.first);
            q.addBindValue(hashes.second);
            q.addBindValue(id);
            QVERIFY(q.exec());
        }
    }
    QSqlDatabase::removeDatabase("rechain");
}

NewEvent login(int n)
{
    return {
        QStringLiteral("login"), {}, compactJson({{"name", QStringLiteral("Ayşe %1").arg(n)}}), {}};
}
} // namespace

class TestEvents : public QObject
{
    Q_OBJECT

private slots:
    void hash_data();
    void hash();
    void eventTime_data();
    void eventTime();
    void tamper_data();
    void tamper();
    void waitingEvents_data();
    void waitingEvents();
    // An append's cost, and the check's over a hundred thousand rows.
    void cost();

private:
    // A ledger with twelve events: a settle at 6 (its bill keeps the anchor) and the anchors
    // file's line at 12.
    void makeEvening(const Paths &paths);
};

void TestEvents::hash_data()
{
    QTest::addColumn<qint64>("id");
    QTest::addColumn<QString>("prev");
    QTest::addColumn<QString>("at");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("table"); // "<null>": none
    QTest::addColumn<QByteArray>("detail");
    QTest::addColumn<QString>("amount");  // empty: none
    QTest::addColumn<QByteArray>("text"); // what is hashed, written out by hand
    QTest::newRow("first, an account opened")
        << qint64(1) << QString(64, '0') << "2026-12-09T20:15:00+03:00"
        << "-"
        << "Masa 1" << QByteArray(R"({"date":"9.12.2026","fee":"150"})") << ""
        << QByteArray("kelvora-events-1\n" + QByteArray(64, '0') +
                      "\n1\n2026-12-09T20:15:00+03:00\n-\nopen\nMasa 1\n"
                      R"({"date":"9.12.2026","fee":"150"})"
                      "\n");
    QTest::newRow("no table, money dropped")
        << qint64(1234) << QString(64, 'a') << "2026-12-10T01:02:03+03:00"
        << "Ayşe"
        << "<null>" << QByteArray(R"({"accounts":2})") << "-355"
        << QByteArray("kelvora-events-1\n" + QByteArray(64, 'a') +
                      "\n1234\n2026-12-10T01:02:03+03:00\nAyşe\nopen\n\n"
                      R"({"accounts":2})"
                      "\n-355");
    QTest::newRow("nothing paid is 0")
        << qint64(7) << QString(64, 'b') << "2026-12-10T01:02:03-04:30"
        << "-"
        << "Masa 2" << QByteArray("{}") << "0"
        << QByteArray("kelvora-events-1\n" + QByteArray(64, 'b') +
                      "\n7\n2026-12-10T01:02:03-04:30\n-\nopen\nMasa 2\n{}\n0");
}

void TestEvents::hash()
{
    QFETCH(qint64, id);
    QFETCH(QString, prev);
    QFETCH(QString, at);
    QFETCH(QString, op);
    QFETCH(QString, table);
    QFETCH(QByteArray, detail);
    QFETCH(QString, amount);
    QFETCH(QByteArray, text);
    Event e{id,
            at,
            op,
            QStringLiteral("open"),
            table == "<null>" ? std::nullopt : std::optional(table),
            detail,
            amount.isEmpty() ? std::nullopt : std::optional(amount.toLongLong()),
            prev,
            {}};
    const QString expected =
        QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex());
    QCOMPARE(eventHash(e), expected);
    // A new row is cleaned before it is hashed: no line breaks in a name, no empty table.
    const Event made = chainEvent(
        {QStringLiteral("open"), table == "<null>" ? QString() : table + "\r\n", detail, e.amount},
        op == "-" ? QString() : op + QChar(0x7), at, id, prev);
    QCOMPARE(made.op, op);
    QCOMPARE(made.table, e.table);
    QCOMPARE(made.hash, expected);
}

void TestEvents::eventTime_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("expected");
    QTest::newRow("Istanbul") << 3 * 3600 << "2026-12-09T20:15:07+03:00";
    QTest::newRow("UTC is never Z") << 0 << "2026-12-09T20:15:07+00:00";
    QTest::newRow("behind, with minutes") << -(4 * 3600 + 1800) << "2026-12-09T20:15:07-04:30";
}

void TestEvents::eventTime()
{
    QFETCH(int, offset);
    QFETCH(QString, expected);
    const QDateTime at(QDate(2026, 12, 9), QTime(20, 15, 7, 999), QTimeZone(offset));
    QCOMPARE(ledger::eventTime(at), expected);
    // A zone with summer time: the offset of the moment itself.
    const QTimeZone berlin("Europe/Berlin");
    if (berlin.isValid()) {
        QCOMPARE(ledger::eventTime(QDateTime(QDate(2026, 7, 1), QTime(12, 0), berlin)),
                 "2026-07-01T12:00:00+02:00");
        QCOMPARE(ledger::eventTime(QDateTime(QDate(2026, 1, 1), QTime(12, 0), berlin)),
                 "2026-01-01T12:00:00+01:00");
    }
}

void TestEvents::makeEvening(const Paths &paths)
{
    QDir().mkpath(paths.extrasDir());
    QStringList lines = defaultRegister();
    lines[0] = "2";
    lines[RegisterLine::date(0)] = "9.12.2026";
    lines[RegisterLine::startTime(0)] = "20:00:00";
    lines[RegisterLine::fee(0)] = "150";
    RecordList reg(lines);
    reg.save(paths.registerFile());
    RecordList({"Çay", "15"}).save(paths.tableExtrasFile("Masa 1"));
    Ledger ledger;
    QVERIFY(ledger.open(paths.ledgerFile()));
    Operations ops(ledger, reg, paths, [](int t) { return QStringLiteral("Masa %1").arg(t + 1); });
    ops.setOperator("Ayşe");
    for (int n = 1; n <= 5; ++n)
        ops.record(login(n));
    BillRecord b;
    b.tablePos = 0;
    b.tableName = "Masa 1";
    b.openedDate = "9.12.2026";
    b.openedTime = "20:00:00";
    b.feeLine = "150";
    b.closedAt = QDateTime(QDate(2026, 12, 9), QTime(21, 0));
    b.bill = counter::bill(60, 150, {}, 15);
    const qint64 bill = ops.settle(b, {"settle", "Masa 1", compactJson({{"total", 165}}), 165});
    const std::optional<BillRecord> stored = ledger.bill(bill);
    const std::optional<Event> settled = ledger.lastEvent();
    QVERIFY(stored && settled);
    QCOMPARE(settled->id, qint64(6));
    QCOMPARE(settled->detail, QByteArray(R"({"bill":1,"total":165})"));
    for (int n = 7; n <= 12; ++n)
        ops.record(login(n));
    QVERIFY(ledger.appendAnchor(QDate(2026, 12, 9)));
    QCOMPARE(TestEnvironment::readBytes(paths.ledgerAnchorsFile()),
             "2026-12-09\t12\t" + ledger.chainHead().hash.toLatin1() + "\n");
}

void TestEvents::tamper_data()
{
    QTest::addColumn<QStringList>("sql");
    QTest::addColumn<bool>("rechained");
    QTest::addColumn<qint64>("firstBad");
    QTest::newRow("untouched") << QStringList() << false << qint64(0);
    QTest::newRow("detail changed")
        << QStringList{R"(UPDATE events SET detail = '{"name":"Ali"}' WHERE id = 4)"} << false
        << qint64(4);
    QTest::newRow("amount changed")
        << QStringList{"UPDATE events SET amount = 100 WHERE id = 6"} << false << qint64(6);
    QTest::newRow("row deleted") << QStringList{"DELETE FROM events WHERE id = 3"} << false
                                 << qint64(3);
    QTest::newRow("first row deleted")
        << QStringList{"DELETE FROM events WHERE id = 1"} << false << qint64(1);
    // Found by the anchors file's line alone.
    QTest::newRow("cut at the end")
        << QStringList{"DELETE FROM events WHERE id = 12"} << false << qint64(12);
    QTest::newRow("row inserted")
        << QStringList{"UPDATE events SET id = id + 100 WHERE id >= 8",
                       "UPDATE events SET id = id - 99 WHERE id >= 108",
                       "INSERT INTO events VALUES(8, '2026-12-09T21:00:00+03:00', '-', 'login',"
                       " NULL, '{}', NULL, (SELECT hash FROM events WHERE id = 7), 'abc')"}
        << false << qint64(8);
    // Every hash made again: the bill's anchor, then the closing's line, no longer match.
    QTest::newRow("rechained, before the bill")
        << QStringList{R"(UPDATE events SET detail = '{"name":"Ali"}' WHERE id = 4)"} << true
        << qint64(6);
    QTest::newRow("rechained, after the bill")
        << QStringList{R"(UPDATE events SET detail = '{"name":"Ali"}' WHERE id = 9)"} << true
        << qint64(12);
    QTest::newRow("rechained, cut at the end")
        << QStringList{"DELETE FROM events WHERE id = 12"} << true << qint64(12);
}

void TestEvents::tamper()
{
    QFETCH(QStringList, sql);
    QFETCH(bool, rechained);
    QFETCH(qint64, firstBad);
    TestEnvironment env;
    const Paths paths(env.dataDir());
    makeEvening(paths);
    runSql(paths.ledgerFile(), sql);
    if (rechained)
        rechain(paths.ledgerFile());
    const ChainCheck check = verifyChain(paths.ledgerFile());
    QCOMPARE(check.firstBad, firstBad);
    QCOMPARE(check.ok, firstBad == 0);
    QCOMPARE(check.text, firstBad ? QStringLiteral("Defter bozulmuş: %1 numaralı kayıt "
                                                   "değiştirilmiş, silinmiş ya da araya eklenmiş!")
                                        .arg(firstBad)
                                  : QStringLiteral("Defter sağlam: 12 kayıt"));
    // The check at start, on the ledger's check thread, finds the same.
    Ledger atStart;
    QVERIFY(atStart.open(paths.ledgerFile(), Ledger::Check::Later));
    atStart.startCheck(nullptr, {});
    QVERIFY(atStart.checkNow());
    const std::optional<ChainCheck> found = atStart.takeStartChain();
    QVERIFY(found);
    QCOMPARE(found->firstBad, firstBad);
    QVERIFY(!atStart.takeStartChain()); // said once
}

void TestEvents::waitingEvents_data()
{
    QTest::addColumn<bool>("restarted");  // the program ends while they wait
    QTest::addColumn<bool>("lastUndone"); // ... after the last one's line, before its file
    QTest::newRow("same run") << false << false;
    QTest::newRow("next start") << true << false;
    QTest::newRow("next start, last change never made") << true << true;
}

void TestEvents::waitingEvents()
{
    QFETCH(bool, restarted);
    QFETCH(bool, lastUndone);
    TestEnvironment env;
    const Paths paths(env.dataDir());
    makeEvening(paths);
    RecordList reg;
    reg.load(paths.registerFile());
    const auto name = [](int t) { return QStringLiteral("Masa %1").arg(t + 1); };
    auto ledger = std::make_unique<Ledger>();
    QVERIFY(ledger->open(paths.ledgerFile()));
    auto ops = std::make_unique<Operations>(*ledger, reg, paths, name);
    ops->setOperator("Ayşe");
    int asked = 0; // the counter's own actions never wait for the lock
    ledger->setLockWait({[&asked] { return ++asked < 100; }, {}});

    // Another program holds the ledger: the counter's own saves and events go on.
    QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "other");
    other.setDatabaseName(paths.ledgerFile());
    QVERIFY(other.open());
    QVERIFY(QSqlQuery(other).exec("BEGIN IMMEDIATE"));
    const QStringList settings{"200", "T"};
    ops->saveFile(paths.settingsFile(), RecordList::toBytes(settings),
                  {"settings", {}, R"({"changed":{}})", {}});
    ops->record({"logout", {}, R"({"name":"Ayşe"})", {}});
    const QStringList before = reg.lines();
    QStringList lines = before;
    lines[RegisterLine::fee(0)] = "200";
    ops->saveRegister(lines, {"fee", "Masa 1", R"({"old":"150","new":"200"})", {}});
    QCOMPARE(TestEnvironment::readBytes(paths.settingsFile()), RecordList::toBytes(settings));
    QCOMPARE(TestEnvironment::readBytes(paths.registerFile()), RecordList::toBytes(lines));
    QCOMPARE(reg.lines(), lines);
    // A save that fails leaves no event waiting.
    QVERIFY_THROWS_EXCEPTION(RuntimeError, ops->saveFile(paths.dataDir() + "/Yok/Zorbelayarex.dll",
                                                         "x", {"catalogue", {}, "{}", {}}));
    QCOMPARE(TestEnvironment::readBytes(paths.ledgerWaitingEventsFile()).count('\n'), 3);
    QCOMPARE(ledger->lastEvent()->id, qint64(12));
    QVERIFY(!ops->status().isEmpty());
    QCOMPARE(asked, 0);

    QStringList kinds{"settings", "logout", "fee"};
    if (lastUndone) {
        // The fee's line was written, and the program ended before its file changed.
        TestEnvironment::writeBytes(paths.registerFile(), RecordList::toBytes(before));
        kinds.removeLast();
    }
    QVERIFY(QSqlQuery(other).exec("ROLLBACK"));
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase("other");

    if (restarted) {
        ops.reset();
        ledger = std::make_unique<Ledger>();
        QVERIFY(ledger->open(paths.ledgerFile()));
        reg.load(paths.registerFile());
        ops = std::make_unique<Operations>(*ledger, reg, paths, name);
        ops->finishPending();
    } else {
        ops->tryLedger();
    }
    QVERIFY(!QFile::exists(paths.ledgerWaitingEventsFile()));
    QCOMPARE(ops->status(), QString());
    QStringList entered;
    {
        QSqlQuery q(QSqlDatabase::database(ledger->connectionName()));
        QVERIFY(q.exec("SELECT kind, operator FROM events WHERE id > 12 ORDER BY id"));
        while (q.next()) {
            entered << q.value(0).toString();
            QCOMPARE(q.value(1).toString(), "Ayşe");
        }
    }
    QCOMPARE(entered, kinds);
    QCOMPARE(verifyChain(paths.ledgerFile()).text,
             QStringLiteral("Defter sağlam: %1 kayıt").arg(12 + kinds.size()));
    // Entered once: a later start finds nothing more to enter.
    ops->finishPending();
    QCOMPARE(ledger->lastEvent()->id, qint64(12 + kinds.size()));
}

void TestEvents::cost()
{
    // On a memory file system, where the disk does not count.
    QTemporaryDir dir(QStringLiteral("/dev/shm/kelvora-events-XXXXXX"));
    if (!dir.isValid())
        QSKIP("no /dev/shm");
    const QString file = dir.path() + "/Defter.db";
    const NewEvent book{"book", "Masa 1", compactJson({{"name", "Çay"}, {"price", 15}}), 15};
    const int count = 100000, own = 2000;
    QElapsedTimer timer;
    {
        Ledger ledger;
        QVERIFY(ledger.open(file));
        timer.start();
        transaction(ledger, [&](QSqlDatabase &) {
            for (int k = 0; k < count - own; ++k)
                insertEvent(ledger, book, "Ayşe", "2026-12-09T20:15:00+03:00");
        });
        const double inStep = timer.nsecsElapsed() / 1e6 / (count - own);
        timer.restart();
        for (int k = 0; k < own; ++k)
            ledger.appendEvent(book, "Ayşe");
        qInfo("an append in the step's transaction: %.4f ms; in one of its own: %.4f ms", inStep,
              timer.nsecsElapsed() / 1e6 / own);
        // Generous: a shared machine.
        QVERIFY2(inStep < 1.0, qPrintable(QString::number(inStep)));
        QVERIFY(ledger.appendAnchor(QDate(2026, 12, 9)));
    }
    timer.restart();
    const ChainCheck check = verifyChain(file);
    qInfo("%d events verified in %lld ms", count, timer.elapsed());
    QCOMPARE(check.text, "Defter sağlam: 100000 kayıt");
    QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
}

QTEST_GUILESS_MAIN(TestEvents)
#include "tst_events.moc"
