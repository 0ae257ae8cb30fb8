// Settles (or moves) accounts in an endless loop, as the counter does, so that the kill sweep
// can end it at any moment. Each start first finishes what the last one left, as the program's
// start-up does. Usage: ledgerchild settle|move|restart|register|file|waiting <data directory>
//
// Settle: table 0's accounts are numbered; account n opens on 1.1.2027 at n seconds past
// midnight, gets two extras booked and is settled. Move: one account with extras goes back and
// forth between tables 0 and 1. Register, file: a counter n is saved in the register's last
// line or in table 0's extras file, each save with an event that carries it; waiting: as file,
// with the ledger never opened, so the events wait beside it. Hall: the hall's own verbs, as
// the windows call them: table 0 opened, two extras booked, one removed and booked again,
// the first paid apart with an amount ahead, the bill settled by card and cash, and table 1, with
// an extra booked, renamed to Bahçe or back to Köşe. The bills of settle and restart carry their
// time in two segments.
#include "billing.h"
#include "errors.h"
#include "events.h"
#include "hall.h"
#include "layout.h"
#include "ledger.h"
#include "operations.h"
#include "recordlist.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>

using namespace kv;

namespace {
const QStringList kBooked{"Çay", "15000", "Şalgam", "20000"};
// An hour's bill: played, then stopped.
const QList<counter::Segment> kSegments{
    {counter::Segment::Kind::Time, 0, 2400000, 40, 1000000, 666666, {}},
    {counter::Segment::Kind::Pause, 2400000, 3600000, 20, 0, 0, {}}};

QStringList accountLines(qint64 n)
{
    const QDateTime opened(QDate(2027, 1, 1), QTime(0, 0));
    const QDateTime at = opened.addSecs(n);
    return {at.toString("d.MM.yyyy"), at.toString("HH:mm:ss"), "1000000"};
}

void say(const char *line)
{
    std::fputs(line, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void report(qint64 done, const QElapsedTimer &timer)
{
    if (done % 10 == 9) {
        std::printf("ops %lld %lld\n", done + 1, qint64(timer.nsecsElapsed() / 1000));
        std::fflush(stdout);
    }
}

// Loads the hall as the program's start does, then works table 0 through its verbs.
int hallLoop(const Paths &paths)
{
    hall::Hall hall(paths);
    hall.loadSettings();
    hall.loadRegister();
    hall.loadCatalogue();
    hall.prepareExtrasDirectory();
    hall.loadExtras();
    if (!hall.ledger().open(paths.ledgerFile())) {
        std::fprintf(stderr, "%s\n", qPrintable(hall.ledger().problem()));
        return 3;
    }
    hall.catchUp();
    say("ready");
    QElapsedTimer timer;
    timer.start();
    for (qint64 done = 0;; ++done) {
        if (!hall.hasAccount(0))
            hall.openAccount(0, QStringLiteral("1000000"), counter::momentNow());
        hall.book(0, 0);
        hall.book(0, 1);
        hall.removeExtra(0, 1);
        // Part paid ahead, the rest split between card and cash.
        hall.book(0, 1);
        qint64 owed = hall.accountRecord(0, counter::momentNow()).bill.total;
        for (const counter::Payment &p : hall.paidAhead(0))
            owed -= p.amount;
        const qint64 first = hall.booked(0).value(1).toLongLong();
        hall.payApart(0, {0}, qBound(qint64(0), owed - first, qint64(5000)), counter::Method::Cash,
                      {}, counter::momentNow());
        const ledger::BillRecord bill = hall.accountRecord(0, counter::momentNow());
        counter::Settlement paid;
        const qint64 left = hall.due(bill, paid).left;
        const qint64 card = left > 1000 ? left - 1000 : left;
        if (card > 0)
            paid.payments << counter::Payment{counter::Method::Card, card, {}, {}};
        if (left > card)
            paid.payments << counter::Payment{counter::Method::Cash, left - card, {}, {}};
        hall.settle(bill, paid);
        if (hall.extrasSum(1) == 0)
            hall.book(1, 0);
        hall.renameTable(1, hall.tableName(1) == QStringLiteral("Bahçe") ? QStringLiteral("Köşe")
                                                                         : QStringLiteral("Bahçe"));
        report(done, timer);
    }
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const Paths paths(QString::fromLocal8Bit(argv[2]));
    if (mode == QLatin1String("hall")) {
        try {
            return hallLoop(paths);
        } catch (const RuntimeError &e) {
            std::fprintf(stderr, "%s\n", qPrintable(e.text()));
            return 4;
        }
    }
    RecordList reg;
    reg.load(paths.registerFile());
    ledger::Ledger ledger;
    if (mode != QLatin1String("waiting") && !ledger.open(paths.ledgerFile())) {
        std::fprintf(stderr, "%s\n", qPrintable(ledger.problem()));
        return 3;
    }
    const auto name = [](int t) { return QStringLiteral("Masa %1").arg(t + 1); };
    ledger::Operations ops(ledger, reg, paths, name);
    // Account n opens on table 0, with two extras booked.
    const auto openAccount = [&](qint64 n) {
        const QStringList lines = accountLines(n);
        reg.saveChanged(paths.registerFile(), [&](RecordList &r) {
            for (int k = 0; k < 3; ++k)
                r.set(RegisterLine::date(0) + k, lines.at(k));
        });
        RecordList(kBooked).save(paths.tableExtrasFile(name(0)));
    };
    // Table 0's account as a bill of an hour.
    const auto billOfAccount = [&] {
        ledger::BillRecord b;
        b.tablePos = 0;
        b.tableName = name(0);
        b.openedDate = reg.value(RegisterLine::date(0));
        b.openedTime = reg.value(RegisterLine::startTime(0));
        b.feeLine = reg.value(RegisterLine::fee(0));
        b.closedAt = QDateTime(QDate(2027, 1, 2), QTime(1, 0));
        b.extras = {{"Çay", 15000}, {"Şalgam", 20000}};
        b.segments = kSegments;
        return b;
    };
    const auto counted = [](const QString &kind, qint64 n) {
        return ledger::NewEvent{kind, QStringLiteral("Masa 1"),
                                ledger::compactJson(QJsonObject{{"n", n}}), n};
    };
    try {
        ops.finishPending();
        if (mode == QLatin1String("move") && reg.value(RegisterLine::date(0)).isEmpty() &&
            reg.value(RegisterLine::date(1)).isEmpty())
            openAccount(0);
        say("ready");
        QElapsedTimer timer;
        timer.start();
        for (qint64 done = 0;; ++done) {
            if (mode == QLatin1String("register")) {
                QStringList lines = reg.lines();
                const qint64 n = lines.last().toLongLong() + 1;
                lines.last() = QString::number(n);
                ops.saveRegister(lines, counted(QStringLiteral("fee"), n));
            } else if (mode == QLatin1String("file") || mode == QLatin1String("waiting")) {
                const std::optional<QByteArray> now = ledger::readExtras(paths, name(0));
                const qint64 n = RecordList::fromBytes(now.value_or("")).value(1).toLongLong() + 1;
                ops.saveFile(paths.tableExtrasFile(name(0)),
                             RecordList::toBytes({QStringLiteral("Çay"), QString::number(n)}),
                             counted(QStringLiteral("book"), n));
            } else if (mode == QLatin1String("move")) {
                const int from = reg.value(RegisterLine::date(0)).isEmpty() ? 1 : 0;
                ops.move(from, 1 - from, {QStringLiteral("move"), name(from), "{}", {}});
            } else if (mode == QLatin1String("restart")) {
                if (reg.value(RegisterLine::date(0)).isEmpty())
                    openAccount(0);
                ledger::BillRecord b = billOfAccount();
                b.cancelledAt = b.closedAt;
                b.cancelReason = QStringLiteral("Yeniden başlatıldı");
                b.restart = true;
                b.bill = counter::bill(60, 1000000, {}, 0);
                for (ledger::BookedExtra &extra : b.extras)
                    extra.carried = true; // they stay with the next account
                ops.restart(b, accountLines(ledger.billCount() + 1),
                            {QStringLiteral("restart"), name(0), "{}", -1000000});
            } else {
                // Open the next account unless the one left open is still unsettled.
                if (reg.value(RegisterLine::date(0)).isEmpty())
                    openAccount(ledger.billCount());
                ledger::BillRecord b = billOfAccount();
                b.bill = counter::bill(60, 1000000, {}, 35000);
                b.extrasFile = RecordList::toBytes(kBooked);
                ops.settle(b, {QStringLiteral("settle"), name(0), "{}", b.bill.total});
            }
            report(done, timer);
        }
    } catch (const RuntimeError &e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.text()));
        return 4;
    }
}
