#include "cashdesk.h"

#include "Unit1.h"
#include "billwindow.h"
#include "clock.h"
#include "dayendwindow.h"
#include "deferred.h"
#include "floor.h"
#include "messages.h"
#include "movewindow.h"

#include <QFile>
#include <QFileInfo>
#include <QListWidget>

using namespace kv;

namespace {
const QString kSelectTable = QStringLiteral("İşlem Yapacağınız Masayı Seçin!");
} // namespace

CashDesk::CashDesk(TForm1 *desk)
    : QObject(desk), m_desk(desk), m_ledger(std::make_unique<ledger::Ledger>())
{
    m_operations = std::make_unique<ledger::Operations>(
        *m_ledger, desk->registerList(), desk->paths(), [this](int t) { return tableName(t); });
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
    }
    return m_dayEnd;
}

QString CashDesk::tableName(int table) const
{
    const QListWidgetItem *item = m_desk->tableList()->item(table);
    return item ? item->text() : QString();
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
        messages::inform(m_ledger->problem());
        return false;
    }
    // A step to finish changes the record files before anything else: on a checked ledger.
    if (m_ledger->checkPending() && m_ledger->hasUnfinishedSteps() && !m_ledger->checkNow()) {
        messages::inform(m_ledger->problem());
        return false;
    }
    // A step finished here rewrites record files the start may have read already.
    bool finished = false;
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
    if (m_ledger->checkPending() && !m_ledger->checkNow())
        messages::inform(m_ledger->problem());
}

bool CashDesk::ledgerReady()
{
    if (m_openPending && !openNow())
        return false; // said why
    // The check left for later runs at the first use; then the file must still be the one open.
    if (m_ledger->checkPending() && !m_ledger->checkNow()) {
        messages::inform(m_ledger->problem());
        return false;
    }
    if (m_ledger->reopen())
        return true;
    messages::inform(m_ledger->problem());
    return false;
}

int CashDesk::openAccountTable()
{
    const int i = m_desk->selectedTable();
    if (i < 0) {
        messages::inform(kSelectTable);
        return -1;
    }
    // A step a failed write left unfinished may concern this table: it is finished first.
    if (m_ledger->reopen())
        m_operations->finishPending();
    if (m_desk->registerList().value(RegisterLine::date(i)).isEmpty()) {
        messages::inform(QStringLiteral("Bu masada açık hesap yok!"));
        return -1;
    }
    return i;
}

void CashDesk::HesabiKapatClick()
{
    const int i = openAccountTable();
    if (i < 0 || !ledgerReady())
        return;

    // The bill of this moment, by the one billing rule, with the extras the file holds now.
    ledger::BillRecord record;
    record.tablePos = i;
    record.tableName = tableName(i);
    const RecordList &reg = m_desk->registerList();
    record.openedDate = reg.value(RegisterLine::date(i));
    record.openedTime = reg.value(RegisterLine::startTime(i));
    record.feeLine = reg.value(RegisterLine::fee(i));
    record.closedAt = clock::now();
    RecordList booked;
    const QString path = m_desk->paths().tableExtrasFile(record.tableName);
    if (files::kind(path) != files::Kind::Missing)
        record.extrasFile = booked.load(path);
    record.bill =
        counter::accountBill(reg, m_desk->settingsList(), i, booked.lines(), record.closedAt);
    for (int k = 0; PairLine::price(k) < booked.count(); ++k)
        record.extras << ledger::BookedExtra{booked.at(PairLine::name(k)),
                                             strToInt(booked.at(PairLine::price(k)))};

    BillWindow *window = billWindow();
    window->fill(record);
    if (window->exec() != QDialog::Accepted)
        return;
    try {
        m_operations->settle(record);
    } catch (...) {
        m_desk->accountChanged(i);
        throw;
    }
    m_desk->accountChanged(i);
    messages::inform(record.tableName + QStringLiteral(" için hesap kapatıldı!"));
}

void CashDesk::MasayiTasiClick()
{
    const int from = openAccountTable();
    if (from < 0 || !ledgerReady())
        return;
    // Only a table with no account and no extras booked can take one over.
    QList<std::pair<int, QString>> free;
    const RecordList &reg = m_desk->registerList();
    for (int t = 0; t < m_desk->tableList()->count(); ++t) {
        const QString extras = m_desk->paths().tableExtrasFile(tableName(t));
        const files::Kind kind = files::kind(extras);
        if (t != from && reg.value(RegisterLine::date(t)).isEmpty() &&
            (kind == files::Kind::Missing ||
             (kind == files::Kind::Regular && QFileInfo(extras).size() == 0)))
            free.append({t, tableName(t)});
    }
    if (free.isEmpty()) {
        messages::inform(QStringLiteral("Hesabın taşınabileceği boş masa yok!"));
        return;
    }
    const int to = moveWindow()->choose(tableName(from), free);
    if (to < 0)
        return;
    try {
        m_operations->move(from, to);
    } catch (...) {
        m_desk->accountChanged(from);
        m_desk->accountChanged(to);
        throw;
    }
    m_desk->accountChanged(from);
    m_desk->selectTable(to);
    messages::inform(
        QStringLiteral("%1 hesabı %2 masasına taşındı!").arg(tableName(from), tableName(to)));
}

void CashDesk::GunSonuClick()
{
    if (!ledgerReady())
        return;
    m_operations->finishPending();
    dayEndWindow()->openAt(clock::now());
}

void CashDesk::cancelBill(qint64 id, const QString &reason)
{
    if (!ledgerReady())
        return;
    const std::optional<ledger::BillRecord> bill = m_ledger->bill(id);
    const int table = bill ? bill->tablePos : -1;
    bool reopened = false;
    try {
        reopened = m_operations->cancel(id, reason, clock::now(), m_desk->tableList()->count());
    } catch (...) {
        if (table >= 0)
            m_desk->accountChanged(table);
        throw;
    }
    const QString name = bill ? bill->tableName : QString();
    if (reopened) {
        m_desk->accountChanged(table);
        messages::inform(QStringLiteral("Fiş iptal edildi; %1 hesabı yeniden açıldı.").arg(name));
    } else {
        messages::inform(QStringLiteral("Fiş iptal edildi. %1 masasında yeni bir hesap ya da "
                                        "extra olduğundan hesap yeniden açılmadı.")
                             .arg(name));
    }
}
