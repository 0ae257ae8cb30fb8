#include "cashdesk.h"

#include "Unit1.h"
#include "applocale.h"
#include "billwindow.h"
#include "clock.h"
#include "dayendwindow.h"
#include "deferred.h"
#include "floor.h"
#include "messages.h"
#include "movewindow.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QListWidget>
#include <QScopeGuard>
#include <QTimer>

using namespace kv;

namespace {
const QString kSelectTable = QStringLiteral("İşlem Yapacağınız Masayı Seçin!");

ledger::NewEvent newEvent(const QString &kind, const QString &table, const QJsonObject &detail,
                          std::optional<qint64> amount = std::nullopt)
{
    return {kind, table, ledger::compactJson(detail), amount};
}

QJsonArray extrasJson(const QList<ledger::BookedExtra> &extras)
{
    QJsonArray out;
    for (const ledger::BookedExtra &x : extras)
        out.append(QJsonObject{{"name", x.name}, {"price", x.price}});
    return out;
}
} // namespace

CashDesk::CashDesk(TForm1 *desk)
    : QObject(desk), m_desk(desk), m_ledger(std::make_unique<ledger::Ledger>())
{
    m_operations = std::make_unique<ledger::Operations>(
        *m_ledger, desk->registerList(), desk->paths(), [this](int t) { return tableName(t); });
    // While another program holds the ledger the window keeps answering, and the wait is shown
    // and can be given up.
    m_ledger->setLockWait({[] {
                               return messages::waitAgain(QStringLiteral(
                                   "Defter başka bir program tarafından kullanılıyor…"));
                           },
                           [] { messages::waitOver(); }});
    m_watch = new QTimer(this);
    m_watch->setInterval(5000);
    connect(m_watch, &QTimer::timeout, this, [this] { updateLedgerStatus(); });
}

CashDesk::~CashDesk()
{
    delete m_inputGate;
}

BillWindow *CashDesk::billWindow()
{
    if (!m_bill)
        m_bill = new BillWindow(m_desk);
    return m_bill;
}

MoveWindow *CashDesk::moveWindow()
{
    if (!m_move)
        m_move = new MoveWindow(m_desk);
    return m_move;
}

DayEndWindow *CashDesk::dayEndWindow()
{
    if (!m_dayEnd) {
        m_dayEnd = new DayEndWindow(m_desk);
        m_dayEnd->setLedger(m_ledger.get());
        TForm1 *desk = m_desk;
        m_dayEnd->openTablesNow = [desk] { return desk->floor().openTables(); };
        m_dayEnd->cancelBill = [this](qint64 id, const QString &reason) { cancelBill(id, reason); };
        m_dayEnd->showBill = [this](qint64 id) {
            if (const std::optional<ledger::BillRecord> bill = m_ledger->bill(id))
                billWindow()->showStored(*bill);
        };
    }
    return m_dayEnd;
}

QString CashDesk::tableName(int table) const
{
    // Beyond the list (a count lowered by hand), a table is named as the list would name it.
    const QListWidgetItem *item = m_desk->tableList()->item(table);
    return item ? item->text()
                : kv::tableName(m_desk->settingsList().value(SettingsLine::TablePrefix), table + 1);
}

void CashDesk::openLedger()
{
    if (!m_defer) {
        openNow();
        return;
    }
    m_openPending = true;
    m_inputGate = beforeFirstInput([this] {
        if (m_openPending)
            guard([this] { openNow(); });
    });
}

bool CashDesk::openNow()
{
    m_openPending = false;
    delete m_inputGate;
    using Check = ledger::Ledger::Check;
    if (!m_ledger->open(m_desk->paths().ledgerFile(), m_defer ? Check::Later : Check::Now)) {
        messages::showError(m_ledger->problem());
        updateLedgerStatus();
        return false;
    }
    // A step to finish changes the record files before anything else: on a checked ledger.
    if (m_ledger->checkPending() && m_ledger->hasUnfinishedSteps() && !m_ledger->checkNow()) {
        messages::showError(m_ledger->problem());
        updateLedgerStatus();
        return false;
    }
    // A step finished here rewrites record files the start may have read already.
    bool finished = false;
    const auto notices = qScopeGuard([this] {
        for (const QString &notice : m_operations->takeNotices())
            messages::showError(notice);
        updateLedgerStatus();
    });
    try {
        finished = m_operations->finishPending();
    } catch (...) {
        m_desk->dropPreload(); // the step may be half done
        throw;
    }
    if (finished) {
        m_desk->dropPreload();
        // Opened after the floor was shown: the floor follows what the step changed.
        if (m_defer)
            m_desk->tablesChanged();
    }
    return true;
}

void CashDesk::catchUp()
{
    const auto shown = qScopeGuard([this] {
        for (const QString &notice : m_operations->takeNotices())
            messages::showError(notice);
    });
    bool changed = true;
    const auto floor = qScopeGuard([&] {
        if (changed)
            m_desk->tablesChanged();
    });
    changed = m_operations->finishPending();
}

template <class Step> bool CashDesk::taken(Step &&step)
{
    for (;;) {
        try {
            step();
            return true;
        } catch (const ledger::NotTaken &e) {
            updateLedgerStatus();
            if (!messages::retry(e.text()))
                return false;
        }
    }
}

QString CashDesk::unusable(bool write)
{
    // The check left for later runs at the first use; then the file must still be the one open.
    if (m_ledger->checkPending() && !m_ledger->checkNow())
        return m_ledger->problem();
    if (!m_ledger->reopen())
        return m_ledger->problem();
    // A file that is only read shows its days; before a step, its refusal comes first.
    if (write && !m_ledger->isOpen())
        return m_ledger->problem();
    try {
        catchUp();
    } catch (const RuntimeError &e) {
        return e.text();
    }
    return {};
}

void CashDesk::updateLedgerStatus()
{
    // Only the ledger's marks are written from here, never a file the operator may be working
    // on.
    if (m_ledger->isLocked())
        m_ledger->reopen();
    m_operations->tryLedger();
    QString status = m_operations->status();
    if (status.isEmpty() && !m_openPending && !m_ledger->isOpen() && !m_ledger->checkPending() &&
        !m_ledger->shortProblem().isEmpty())
        status = QStringLiteral("Defter kullanılamıyor: ") + m_ledger->shortProblem();
    m_desk->showLedgerStatus(status);
    if (status.isEmpty())
        m_watch->stop();
    else if (!m_watch->isActive())
        m_watch->start();
}

void CashDesk::startLedger()
{
    if (m_openPending && !openNow())
        return;
    // Read on a thread of its own: the window answers while a large ledger is checked; a
    // use of the ledger before the check is done waits for it.
    m_ledger->startCheck(this, [this] { guard([this] { checkLedger(); }); });
}

void CashDesk::checkLedger()
{
    if (m_ledger->checkPending() && !m_ledger->checkNow()) {
        messages::showError(m_ledger->problem());
        updateLedgerStatus();
    }
}

bool CashDesk::ledgerReady(const QString &notDone, bool write)
{
    const auto status = qScopeGuard([this] { updateLedgerStatus(); });
    if (m_openPending && !openNow()) {
        if (!notDone.isEmpty())
            messages::showError(notDone);
        return false; // said why
    }
    for (;;) {
        const QString why = unusable(write);
        if (why.isEmpty())
            return true;
        updateLedgerStatus();
        if (!messages::retry(notDone.isEmpty() ? why : why + QLatin1Char('\n') + notDone))
            return false;
    }
}

ledger::BillRecord CashDesk::accountRecord(int table, const counter::Moment &now) const
{
    ledger::BillRecord record;
    record.tablePos = table;
    record.tableName = tableName(table);
    const RecordList &reg = m_desk->registerList();
    record.openedDate = reg.value(RegisterLine::date(table));
    record.openedTime = reg.value(RegisterLine::startTime(table));
    record.feeLine = record.openedDate.isEmpty() ? QString() : reg.value(RegisterLine::fee(table));
    record.closedAt = now.wall;
    RecordList booked;
    const QString path = m_desk->paths().tableExtrasFile(record.tableName);
    if (files::kind(path) != files::Kind::Missing)
        record.extrasFile = booked.load(path);
    record.bill =
        counter::accountBill(reg, m_desk->settingsList(), table, booked.lines(), now, openings());
    for (int k = 0; PairLine::price(k) < booked.count(); ++k)
        record.extras << ledger::BookedExtra{booked.at(PairLine::name(k)),
                                             strToInt(booked.at(PairLine::price(k)))};
    return record;
}

ledger::BillRecord CashDesk::droppedTime(int table, const counter::Moment &now,
                                         const QString &reason) const
{
    const RecordList &reg = m_desk->registerList();
    ledger::BillRecord record;
    record.tablePos = table;
    record.tableName = tableName(table);
    record.openedDate = reg.value(RegisterLine::date(table));
    record.openedTime = reg.value(RegisterLine::startTime(table));
    record.feeLine = reg.value(RegisterLine::fee(table));
    record.closedAt = record.cancelledAt = now.wall;
    record.cancelReason = reason;
    // Its time alone: the extras stay on the table, listed and not counted.
    try {
        record.bill = counter::accountBill(reg, m_desk->settingsList(), table, {}, now, openings());
    } catch (const RuntimeError &) {
        // What cannot be read is kept as the register holds it, with no amount.
    }
    if (const auto booked = extrasOf(record.tableName + QStringLiteral(".msex"))) {
        record.extrasFile = booked->first;
        record.extras = booked->second;
        for (ledger::BookedExtra &extra : record.extras)
            extra.carried = true;
    }
    return record;
}

std::optional<std::pair<QByteArray, QList<ledger::BookedExtra>>>
CashDesk::extrasOf(const QString &file) const
{
    const QString path = m_desk->paths().extrasDir() + QLatin1Char('/') + file;
    if (files::kind(path) == files::Kind::Missing)
        return std::nullopt;
    QByteArray bytes;
    try {
        bytes = files::readRecordFile(path);
    } catch (const RuntimeError &) {
        return std::nullopt;
    }
    const QStringList lines = RecordList::fromBytes(bytes);
    QList<ledger::BookedExtra> extras;
    for (int k = 0; PairLine::name(k) < lines.size(); ++k) {
        // The file itself is kept with the bill: a price that cannot be read counts nothing.
        int price = 0;
        tryStrToInt(lines.value(PairLine::price(k)), &price);
        extras << ledger::BookedExtra{lines.at(PairLine::name(k)), price};
    }
    return std::make_pair(bytes, extras);
}

std::optional<ledger::BillRecord> CashDesk::droppedExtras(const QString &file, const QDateTime &now,
                                                          const QString &reason) const
{
    const auto booked = extrasOf(file);
    if (!booked || booked->first.isEmpty())
        return std::nullopt;
    ledger::BillRecord record;
    record.extrasFile = booked->first;
    record.extras = booked->second;
    static const QString suffix = QStringLiteral(".msex");
    record.tableName = file.endsWith(suffix) ? file.chopped(suffix.size()) : file;
    for (int t = 0; t < m_desk->tableList()->count(); ++t)
        if (tableName(t) == record.tableName)
            record.tablePos = t;
    record.closedAt = record.cancelledAt = now;
    record.cancelReason = reason;
    qint64 total = 0;
    for (const ledger::BookedExtra &extra : record.extras)
        total += extra.price;
    record.bill = counter::bill(0, 0, {}, total);
    return record;
}

counter::Booked CashDesk::bookedOn(int table) const
{
    const QString path = m_desk->paths().tableExtrasFile(tableName(table));
    switch (files::kind(path)) {
    case files::Kind::Missing:
        return {};
    case files::Kind::Regular:
        if (QFileInfo(path).size() == 0)
            return {};
        break;
    default:
        return {0, std::nullopt};
    }
    try {
        RecordList booked;
        booked.load(path);
        return counter::bookedOf(booked.lines());
    } catch (const RuntimeError &) {
        return {0, std::nullopt};
    }
}

QList<std::pair<int, QString>> CashDesk::freeTables(int except) const
{
    QList<std::pair<int, QString>> free;
    for (int t = 0; t < m_desk->tableList()->count(); ++t)
        if (t != except && counter::isFreeTable(m_desk->registerList(), t, bookedOn(t)))
            free.append({t, tableName(t)});
    return free;
}

QString CashDesk::strayExtrasQuestion(const counter::Booked &booked)
{
    return QStringLiteral("Bu masada hesaba bağlı olmayan %1 extra var (%2). Silinsin mi?")
        .arg(booked.count)
        .arg(counter::amountText(booked.total.value_or(0)));
}

bool CashDesk::restartAccount(int table, const QStringList &lines)
{
    const auto status = qScopeGuard([this] { updateLedgerStatus(); });
    if (!ledgerReady(QStringLiteral("Hesap yeniden başlatılmadı.")))
        return false;
    ledger::BillRecord dropped =
        droppedTime(table, counter::momentNow(), QStringLiteral("Yeniden başlatıldı"));
    dropped.restart = true;
    const QJsonObject old{
        {"date", dropped.openedDate}, {"time", dropped.openedTime}, {"fee", dropped.feeLine}};
    const QJsonObject now{
        {"date", lines.value(0)}, {"time", lines.value(1)}, {"fee", lines.value(2)}};
    m_operations->restart(dropped, lines,
                          newEvent("restart", dropped.tableName,
                                   {{"old", old}, {"new", now}, {"minutes", dropped.bill.minutes}},
                                   -dropped.bill.timeCharge));
    return true;
}

bool CashDesk::clearAccounts()
{
    const auto status = qScopeGuard([this] { updateLedgerStatus(); });
    // Every account the register holds, also of tables beyond the count, which keep theirs.
    const counter::Moment now = counter::momentNow();
    const RecordList &reg = m_desk->registerList();
    QList<ledger::BillRecord> dropped;
    for (int t = 0; RegisterLine::fee(t) < reg.count(); ++t) {
        if (reg.value(RegisterLine::date(t)).isEmpty())
            continue;
        dropped << droppedTime(t, now, QStringLiteral("Masa bilgileri silindi"));
    }
    if (!dropped.isEmpty() && !ledgerReady(QStringLiteral("Masa bilgileri silinmedi.")))
        return false;
    qint64 dropping = 0;
    for (const ledger::BillRecord &b : dropped)
        dropping += b.bill.timeCharge;
    m_operations->clearAccounts(
        dropped, newEvent("wipe", {}, {{"accounts", int(dropped.size())}}, -dropping));
    return true;
}

bool CashDesk::extrasRemovable(const QStringList &files)
{
    const QDateTime now = clock::now();
    for (const QString &file : files)
        if (droppedExtras(file, now, QString()))
            return ledgerReady(QStringLiteral("Masalar yeniden oluşturulmadı."));
    return true;
}

bool CashDesk::removeExtrasFiles(const QStringList &files)
{
    const auto status = qScopeGuard([this] { updateLedgerStatus(); });
    const QDateTime now = clock::now();
    for (const QString &file : files) {
        const auto bill = droppedExtras(file, now, QStringLiteral("Masalar yeniden oluşturuldu"));
        if (bill && !ledgerReady(QStringLiteral("Masa extraları silinmedi.")))
            return false;
        // A file that cannot be removed is left as it was, and the next one taken.
        m_operations->removeExtras(
            bill, file,
            newEvent("tables", {},
                     {{"file", file},
                      {"extras", extrasJson(bill ? bill->extras : QList<ledger::BookedExtra>())}},
                     -(bill ? bill->bill.extrasTotal : 0)));
    }
    return true;
}

bool CashDesk::dropFreeExtras(int table)
{
    const auto status = qScopeGuard([this] { updateLedgerStatus(); });
    const QString file = tableName(table) + QStringLiteral(".msex");
    const auto bill = droppedExtras(file, clock::now(), QStringLiteral("Silindi"));
    if (bill && !ledgerReady(QStringLiteral("Extralar silinmedi.")))
        return false;
    const auto shown = qScopeGuard([&] { m_desk->accountChanged(table); });
    if (!m_operations->removeExtras(
            bill, file,
            newEvent("remove", tableName(table),
                     {{"extras", extrasJson(bill ? bill->extras : QList<ledger::BookedExtra>())}},
                     -(bill ? bill->bill.extrasTotal : 0))))
        throwError(QStringLiteral("%1 silinemedi.")
                       .arg(files::native(m_desk->paths().tableExtrasFile(tableName(table)))));
    return true;
}

int CashDesk::openAccountTable(bool extrasAlone)
{
    const int i = m_desk->selectedTable();
    if (i < 0) {
        messages::inform(kSelectTable);
        return -1;
    }
    // A step a failed write left unfinished may concern this table: it is dealt with first
    // (what stops it is said, with "Tekrar Dene", once the ledger is needed).
    if (m_ledger->reopen()) {
        try {
            catchUp();
        } catch (const RuntimeError &) {
        }
    }
    if (m_desk->registerList().value(RegisterLine::date(i)).isEmpty() &&
        !(extrasAlone && bookedOn(i).count > 0)) {
        messages::inform(QStringLiteral("Bu masada açık hesap yok!"));
        return -1;
    }
    return i;
}

QString CashDesk::unusualTimeQuestion(const QString &openedDate, const QString &openedTime,
                                      const QDateTime &now)
{
    return QStringLiteral("Bu hesabın süresi olağan dışı (açılış %1 %2, şimdi %3 %4). Yine de "
                          "kapatılsın mı?")
        .arg(openedDate, openedTime, shortDate(now.date()), longTime(now.time()));
}

void CashDesk::recordOpening(int table, const counter::Moment &at)
{
    const RecordList &reg = m_desk->registerList();
    const QString date = reg.value(RegisterLine::date(table));
    if (date.isEmpty() || !m_ledger->isOpen() || !m_ledger->reopen())
        return;
    m_ledger->setOpening(table,
                         counter::openingAt(at, date, reg.value(RegisterLine::startTime(table))));
}

void CashDesk::HesabiKapatClick()
{
    const auto status = qScopeGuard([this] { updateLedgerStatus(); });
    // A guest who only had a tea at a free table pays for it too.
    const int i = openAccountTable(true);
    if (i < 0 || !ledgerReady(QStringLiteral("Hesap kapatılmadı.")))
        return;

    // The bill of this moment, by the one billing rule, with the extras the file holds now.
    const counter::Moment now = counter::momentNow();
    const ledger::BillRecord record = accountRecord(i, now);
    // A clock set wrong, or an account forgotten for days: the operator looks before it is paid.
    if (!record.openedDate.isEmpty()) {
        const std::optional<qint64> elapsed =
            counter::accountElapsedMs(m_desk->registerList(), i, openings(), now);
        if (elapsed && counter::unusualElapsed(*elapsed) &&
            !messages::ask(unusualTimeQuestion(record.openedDate, record.openedTime, now.wall)))
            return;
    }
    BillWindow *window = billWindow();
    window->fill(record);
    if (window->exec() != QDialog::Accepted)
        return;
    try {
        const ledger::NewEvent settled = newEvent("settle", record.tableName,
                                                  {{"minutes", record.bill.minutes},
                                                   {"time_charge", record.bill.timeCharge},
                                                   {"extras_total", record.bill.extrasTotal},
                                                   {"total", record.bill.total}},
                                                  record.bill.total);
        if (!taken([&] { m_operations->settle(record, settled); }))
            return; // nothing done
    } catch (...) {
        m_desk->accountChanged(i);
        throw;
    }
    m_desk->accountChanged(i);
    messages::inform(record.tableName + QStringLiteral(" için hesap kapatıldı!"));
}

void CashDesk::MasayiTasiClick()
{
    const auto status = qScopeGuard([this] { updateLedgerStatus(); });
    const int from = openAccountTable(false);
    if (from < 0 || !ledgerReady(QStringLiteral("Hesap taşınmadı.")))
        return;
    const QList<std::pair<int, QString>> free = freeTables(from);
    if (free.isEmpty()) {
        messages::inform(QStringLiteral("Hesabın taşınabileceği boş masa yok!"));
        return;
    }
    const int to = moveWindow()->choose(
        QStringLiteral("%1 hesabının taşınacağı boş masayı seçin:").arg(tableName(from)), free);
    if (to < 0)
        return;
    try {
        const ledger::NewEvent moved =
            newEvent("move", tableName(from), {{"from", tableName(from)}, {"to", tableName(to)}});
        if (!taken([&] { m_operations->move(from, to, moved); }))
            return; // nothing done
    } catch (...) {
        m_desk->accountChanged(from);
        m_desk->accountChanged(to);
        throw;
    }
    m_ledger->moveOpening(from, to); // best effort: else billed by its register text
    m_desk->accountChanged(from);
    m_desk->selectTable(to);
    messages::inform(
        QStringLiteral("%1 hesabı %2 masasına taşındı!").arg(tableName(from), tableName(to)));
}

void CashDesk::GunSonuClick()
{
    if (!ledgerReady({}, false))
        return;
    dayEndWindow()->openAt(clock::now());
}

void CashDesk::cancelBill(qint64 id, const QString &reason)
{
    const auto status = qScopeGuard([this] { updateLedgerStatus(); });
    if (!ledgerReady(QStringLiteral("Fiş iptal edilmedi.")))
        return;
    const counter::Moment moment = counter::momentNow();
    const QDateTime &now = moment.wall;
    const std::optional<ledger::BillRecord> bill = m_ledger->bill(id);
    if (!bill || bill->cancelled()) {
        m_operations->cancel(id, reason, now, std::nullopt, {}); // says why
        return;
    }
    const QString name = bill->tableName;
    const auto cancelled = [&](const QJsonValue &reopenedOn) {
        return newEvent("cancel", name,
                        {{"bill", id}, {"reason", reason}, {"reopened_on", reopenedOn}},
                        -bill->bill.total);
    };
    // An earlier day is closed: its guest left long ago, and its figures stay as they were.
    // The cancel is taken off today's total.
    if (ledger::businessDay(bill->closedAt) != ledger::businessDay(now)) {
        if (!taken([&] { m_operations->cancel(id, reason, now, std::nullopt, cancelled({})); }))
            return;
        messages::inform(QStringLiteral("Fiş iptal edildi. Önceki bir iş gününün fişi olduğundan "
                                        "%1 hesabı yeniden açılmadı; tutarı bugünün gün sonundan "
                                        "düşülür.")
                             .arg(name));
        return;
    }
    const int count = m_desk->tableList()->count();
    int t = bill->tablePos;
    const bool ownTableFree =
        t >= 0 && t < count && m_desk->registerList().value(RegisterLine::date(t)).isEmpty();
    const counter::Booked stray = ownTableFree ? bookedOn(t) : counter::Booked{0, std::nullopt};
    std::optional<ledger::Operations::Reopen> reopen;
    if (ownTableFree && counter::isFreeTable(m_desk->registerList(), t, stray)) {
        reopen = ledger::Operations::Reopen{t, bill->extrasFile, {}};
    } else if (ownTableFree && stray.total) {
        // Extras left on the table: the operator says whether the account takes them along.
        if (messages::ask(strayExtrasQuestion(stray))) {
            if (!dropFreeExtras(t))
                return;
            reopen = ledger::Operations::Reopen{t, bill->extrasFile, {}};
        } else {
            RecordList left;
            left.load(m_desk->paths().tableExtrasFile(tableName(t)));
            QStringList own = RecordList::fromBytes(bill->extrasFile.value_or(QByteArray()));
            if (own.size() % 2)
                own << QStringLiteral("0"); // a name without its price counts nothing
            reopen = ledger::Operations::Reopen{t, RecordList::toBytes(own + left.lines()), {}};
        }
    } else {
        // The guest's account must not vanish: it goes to a free table of the operator's choice.
        const QList<std::pair<int, QString>> free = freeTables(-1);
        if (free.isEmpty()) {
            messages::inform(QStringLiteral("Fiş iptal edilmedi: %1 dolu ve hesabın yeniden "
                                            "açılabileceği boş masa yok.")
                                 .arg(name));
            return;
        }
        t = moveWindow()->choose(
            QStringLiteral("%1 dolu. Hesabın yeniden açılacağı boş masayı seçin:").arg(name), free);
        if (t < 0) {
            messages::inform(QStringLiteral("Fiş iptal edilmedi."));
            return;
        }
        reopen = ledger::Operations::Reopen{t, bill->extrasFile, {}};
    }
    // "Evet": the guest played on while the bill stood, and the account runs from its start;
    // "Hayır": its clock resumes from the bill's minutes.
    std::optional<counter::Opening> opening;
    if (!bill->openedDate.isEmpty()) {
        if (messages::askYesFirst(QStringLiteral("Kapalı kalan süre de hesaba eklensin mi?"))) {
            const counter::Openings &known = openings();
            const auto own = known.constFind(bill->tablePos);
            if (own != known.cend() && own->dateLine == bill->openedDate &&
                own->timeLine == bill->openedTime)
                opening = *own;
        } else {
            const qint64 ms = bill->bill.minutes * 60000;
            const QDateTime start = now.addMSecs(-ms);
            counter::Moment at{start, moment.bootId, moment.sinceBootMs - ms};
            reopen->lines = {shortDate(start.date()), longTime(start.time()), bill->feeLine};
            opening = counter::openingAt(at, reopen->lines.at(0), reopen->lines.at(1));
        }
    }
    try {
        if (!taken([&] {
                m_operations->cancel(id, reason, now, reopen, cancelled(tableName(reopen->table)));
            }))
            return; // nothing done
    } catch (...) {
        m_desk->accountChanged(reopen->table);
        throw;
    }
    // Best effort: without it the reopened account is billed by its register text.
    if (opening)
        m_ledger->setOpening(reopen->table, opening);
    m_desk->accountChanged(reopen->table);
    if (reopen->table == bill->tablePos)
        messages::inform(QStringLiteral("Fiş iptal edildi; %1 hesabı yeniden açıldı.").arg(name));
    else
        messages::inform(QStringLiteral("Fiş iptal edildi; %1 hesabı %2 masasında yeniden açıldı.")
                             .arg(name, tableName(reopen->table)));
}
