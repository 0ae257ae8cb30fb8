#include "cashdesk.h"

#include "applocale.h"
#include "billwindow.h"
#include "clock.h"
#include "dayendwindow.h"
#include "deferred.h"
#include "events.h"
#include "floor.h"
#include "historywindow.h"
#include "messages.h"
#include "moneyfields.h"
#include "movewindow.h"
#include "paydialogs.h"
#include "pindialog.h"
#include "printdesk.h"
#include "shiftreportwindow.h"
#include "shiftwindows.h"
#include "tabswindow.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QListWidget>
#include <QScopeGuard>
#include <QThread>
#include <QTimer>

using namespace kv;

namespace {
const QString kSelectTable = QStringLiteral("İşlem Yapacağınız Masayı Seçin!");
} // namespace

CashDesk::CashDesk(hall::Hall &hall, QWidget *window)
    : QObject(window), m_hall(hall), m_window(window), m_print(new PrintDesk(hall, window))
{
    // While another program holds the ledger the window keeps answering, and the wait is shown
    // and can be given up.
    m_hall.ledger().setLockWait({[] {
                                     return messages::waitAgain(QStringLiteral(
                                         "Defter başka bir program tarafından kullanılıyor…"));
                                 },
                                 [] { messages::waitOver(); }});
    m_watch = new QTimer(this);
    m_watch->setInterval(5000);
    connect(m_watch, &QTimer::timeout, this, [this] { updateLedgerStatus(); });
    connect(&m_hall, &hall::Hall::moneyChanged, this, [this] { showShift(); });
}

CashDesk::~CashDesk()
{
    delete m_inputGate;
    if (m_chainWalk)
        m_chainWalk->wait();
    // Leaving the program closes the day's work: the chain's head is anchored when it moved.
    // Nothing can be said any more if it cannot be.
    try {
        anchorChain();
    } catch (...) {
    }
}

bool CashDesk::anchorChain()
{
    ledger::Ledger &l = m_hall.ledger();
    if (!l.readable())
        return true;
    const ledger::ChainHead head = l.chainHead();
    if (m_anchored == 0)
        m_anchored = l.lastAnchorId();
    if (head.id == 0 || head.id == m_anchored)
        return true;
    if (!l.appendAnchor(ledger::businessDay(clock::now())))
        return false;
    m_anchored = head.id;
    return true;
}

BillWindow *CashDesk::billWindow()
{
    if (!m_bill) {
        m_bill = new BillWindow(m_window);
        m_bill->setHall(&m_hall);
        // The first Yönetici who approves stands for the rest of the bill, until it is paid.
        m_bill->approve = [this](const QString &action) {
            std::optional<hall::Approval> approval = askApproval(m_hall, m_window, action);
            if (!approval)
                return false;
            if (!m_billApproval && !m_hall.approver().isEmpty())
                m_billApproval.emplace(std::move(*approval));
            return true;
        };
        // Before paying, the bill as it stands; a bill of the ledger, again as a copy.
        using print::Purpose;
        m_bill->printBill = [this](const ledger::BillRecord &bill, bool stored) {
            m_print->printBill(bill, stored ? Purpose::Copy : Purpose::Bill);
        };
        m_bill->previewBill = [this](const ledger::BillRecord &bill, bool stored) {
            m_print->previewBill(bill, stored ? Purpose::Copy : Purpose::Bill);
        };
    }
    return m_bill;
}

MoveWindow *CashDesk::moveWindow()
{
    if (!m_move)
        m_move = new MoveWindow(m_window);
    return m_move;
}

DayEndWindow *CashDesk::dayEndWindow()
{
    if (!m_dayEnd) {
        m_dayEnd = new DayEndWindow(m_window);
        m_dayEnd->setLedger(&m_hall.ledger());
        m_dayEnd->dayClosed = [this] {
            if (!anchorChain())
                messages::showError(
                    QStringLiteral("%1 dosyasına yazılamadı.")
                        .arg(files::native(ledger::Ledger::anchorsFile(m_hall.ledger().path()))));
        };
        m_dayEnd->openTablesNow = [this] { return m_hall.floor().openTables(); };
        m_dayEnd->cancelBill = [this](qint64 id, const QString &reason) { cancelBill(id, reason); };
        m_dayEnd->showBill = [this](qint64 id) {
            if (const std::optional<ledger::BillRecord> bill = m_hall.ledger().bill(id))
                billWindow()->showStored(*bill);
        };
        // Straight to the printer: the row chosen names the bill, and the guest is waiting.
        m_dayEnd->printBill = [this](qint64 id) {
            if (const std::optional<ledger::BillRecord> bill = m_hall.ledger().bill(id))
                m_print->printBill(*bill, print::Purpose::Copy);
        };
        m_dayEnd->printReport = [this](const QDate &day, const ledger::DayTotals &totals,
                                       const QList<ledger::BillRecord> &bills,
                                       const ledger::MethodSums &collected) {
            const ledger::Ledger &l = m_hall.ledger();
            const ledger::ChainHead head = l.readable() ? l.chainHead() : ledger::ChainHead();
            m_print->preview(print::dayReceipt(day, totals, bills, collected, head,
                                               m_print->heading(), clock::now()),
                             print::Purpose::Report,
                             QStringLiteral("Gün Sonu %1").arg(shortDate(day)));
        };
    }
    return m_dayEnd;
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
    if (!m_hall.ledger().open(m_hall.paths().ledgerFile(), m_defer ? Check::Later : Check::Now)) {
        messages::showError(m_hall.ledger().problem());
        updateLedgerStatus();
        return false;
    }
    // A step to finish changes the record files before anything else: on a checked ledger.
    if (m_hall.ledger().checkPending() && m_hall.ledger().hasUnfinishedSteps() &&
        !m_hall.ledger().checkNow()) {
        messages::showError(m_hall.ledger().problem());
        updateLedgerStatus();
        return false;
    }
    // A step finished here rewrites record files the start may have read already: the hall
    // reads them again.
    const auto status = qScopeGuard([this] { updateLedgerStatus(); });
    catchUp();
    return true;
}

void CashDesk::catchUp()
{
    const auto shown = qScopeGuard([this] {
        for (const QString &notice : m_hall.operations().takeNotices())
            messages::showError(notice);
    });
    m_hall.catchUp();
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
    if (m_hall.ledger().checkPending() && !m_hall.ledger().checkNow())
        return m_hall.ledger().problem();
    if (!m_hall.ledger().reopen())
        return m_hall.ledger().problem();
    // A file that is only read shows its days; before a step, its refusal comes first.
    if (write && !m_hall.ledger().isOpen())
        return m_hall.ledger().problem();
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
    if (m_hall.ledger().isLocked())
        m_hall.ledger().reopen();
    m_hall.operations().tryLedger();
    QString status = m_hall.operations().status();
    if (status.isEmpty() && !m_openPending && !m_hall.ledger().isOpen() &&
        !m_hall.ledger().checkPending() && !m_hall.ledger().shortProblem().isEmpty())
        status = QStringLiteral("Defter kullanılamıyor: ") + m_hall.ledger().shortProblem();
    emit ledgerStatus(status);
    // What the start's check found of the chain is said once the step that ran it is over.
    if (std::optional<ledger::ChainCheck> chain = m_hall.ledger().takeStartChain())
        reportWhenIdle(*chain);
    // Cashiers that the ledger could not show at start: a PIN once it can.
    if (m_started && !m_loginDue && m_hall.ledger().readable() && !m_hall.cashiers().current()) {
        m_loginDue = true;
        QTimer::singleShot(0, this, [this] {
            guard([this] {
                const auto due = qScopeGuard([this] { m_loginDue = false; });
                if (!QApplication::activeModalWidget())
                    requireLogin();
            });
        });
    }
    if (status.isEmpty())
        m_watch->stop();
    else if (!m_watch->isActive())
        m_watch->start();
}

void CashDesk::startLedger()
{
    m_started = true;
    if (m_openPending && !openNow())
        return;
    // Read on a thread of its own: the window answers while a large ledger is checked; a
    // use of the ledger before the check is done waits for it.
    if (m_hall.ledger().checkPending())
        m_hall.ledger().startCheck(this, [this] { guard([this] { checkLedger(); }); });
    else
        checkLedger();
}

void CashDesk::checkLedger()
{
    if (m_hall.ledger().checkPending() && !m_hall.ledger().checkNow()) {
        messages::showError(m_hall.ledger().problem());
        updateLedgerStatus();
    }
    if (std::optional<ledger::ChainCheck> chain = m_hall.ledger().takeStartChain()) {
        m_chainWalked = true;
        reportWhenIdle(*chain);
    } else if (!m_chainWalked && m_hall.ledger().readable()) {
        // Checked before its thread could (a step was left unfinished): the chain is walked
        // beside the window all the same.
        m_chainWalked = true;
        auto found = std::make_shared<ledger::ChainCheck>();
        m_chainWalk.reset(QThread::create(
            [found, path = m_hall.paths().ledgerFile()] { *found = ledger::verifyChain(path); }));
        connect(m_chainWalk.get(), &QThread::finished, this,
                [this, found] { reportWhenIdle(*found); });
        m_chainWalk->start();
    }
    showShift();
}

void CashDesk::reportWhenIdle(const ledger::ChainCheck &check)
{
    // Never over a dialog the operator is answering: once none is open.
    QTimer::singleShot(QApplication::activeModalWidget() ? 500 : 0, this, [this, check] {
        if (QApplication::activeModalWidget())
            reportWhenIdle(check);
        else
            guard([&] { reportChain(check); });
    });
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

QString CashDesk::strayExtrasQuestion(const counter::Booked &booked)
{
    return QStringLiteral("Bu masada hesaba bağlı olmayan %1 extra var (%2). Silinsin mi?")
        .arg(booked.count)
        .arg(counter::amountText(booked.total.value_or(0)));
}

bool CashDesk::restartAccount(int table, const QString &fee, const counter::Moment &at)
{
    const auto status = qScopeGuard([this] { updateLedgerStatus(); });
    if (!ledgerReady(QStringLiteral("Hesap yeniden başlatılmadı.")))
        return false;
    const auto approval = askApproval(m_hall, m_window, QStringLiteral("restart"));
    if (!approval)
        return false;
    m_hall.restartAccount(table, fee, at);
    return true;
}

bool CashDesk::clearAccounts()
{
    const auto status = qScopeGuard([this] { updateLedgerStatus(); });
    if (m_hall.wipeDropsTime() && !ledgerReady(QStringLiteral("Masa bilgileri silinmedi.")))
        return false;
    const auto approval = askApproval(m_hall, m_window, QStringLiteral("wipe"));
    if (!approval)
        return false;
    m_hall.wipeAccounts();
    return true;
}

bool CashDesk::createTables(const QString &count, const QString &prefix)
{
    const auto status = qScopeGuard([this] { updateLedgerStatus(); });
    // The extras removed reach the ledger: when it cannot take them, nothing changes.
    if (m_hall.createTablesDropsExtras() &&
        !ledgerReady(QStringLiteral("Masalar yeniden oluşturulmadı.")))
        return false;
    const auto approval = askApproval(m_hall, m_window, QStringLiteral("create_tables"));
    if (!approval)
        return false;
    m_hall.createTables(count, prefix);
    return true;
}

bool CashDesk::dropFreeExtras(int table)
{
    const auto status = qScopeGuard([this] { updateLedgerStatus(); });
    if (m_hall.hasDroppableExtras(table) && !ledgerReady(QStringLiteral("Extralar silinmedi.")))
        return false;
    const auto approval = askApproval(m_hall, m_window, QStringLiteral("drop_leftover"));
    if (!approval)
        return false;
    const auto shown = qScopeGuard([&] { emit accountShown(table); });
    m_hall.dropFreeExtras(table);
    return true;
}

int CashDesk::openAccountTable(bool extrasAlone)
{
    const int i = selectedTable ? selectedTable() : -1;
    if (i < 0) {
        messages::inform(kSelectTable);
        return -1;
    }
    // A step a failed write left unfinished may concern this table: it is dealt with first
    // (what stops it is said, with "Tekrar Dene", once the ledger is needed).
    if (m_hall.ledger().reopen()) {
        try {
            catchUp();
        } catch (const RuntimeError &) {
        }
    }
    if (!m_hall.hasAccount(i) && !(extrasAlone && m_hall.bookedOn(i).count > 0)) {
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

bool CashDesk::loginAtStart()
{
    ledger::Cashiers &cashiers = m_hall.cashiers();
    // Whether anyone is set up is known once the ledger is checked; a hall without cashiers
    // does not wait for that check.
    if (m_hall.ledger().checkPending()) {
        if (!cashiers.mayExist())
            return true;
        checkLedger();
    }
    return requireLogin();
}

bool CashDesk::requireLogin()
{
    ledger::Cashiers &cashiers = m_hall.cashiers();
    while (cashiers.any() && !cashiers.current()) {
        if (login())
            return true;
        if (messages::ask(QStringLiteral("Kasiyer girişi yapılmadan program kapatılsın mı?"))) {
            QCoreApplication::quit();
            return false;
        }
    }
    return true;
}

bool CashDesk::login()
{
    PinDialog prompt(&m_hall.cashiers(), m_window);
    const std::optional<ledger::Cashier> who = prompt.login();
    if (who)
        m_hall.setOperator(who->name);
    showCashier();
    return who.has_value();
}

void CashDesk::showCashier()
{
    const std::optional<ledger::Cashier> who = m_hall.cashiers().current();
    emit cashierShown(who ? QStringLiteral("Kasiyer: %1 (%2)").arg(who->name, who->role)
                      : m_hall.cashiers().any() ? QStringLiteral("Kasiyer girişi yok")
                                                : QString());
}

void CashDesk::showShift()
{
    const std::optional<ledger::Shift> open = m_hall.currentShift();
    if (!open) {
        emit shiftShown(QString());
        return;
    }
    const QString who = open->cashier == QLatin1String("-") ? QString() : open->cashier + ", ";
    emit shiftShown(
        QStringLiteral("Vardiya açık (%1açılış %2)").arg(who, momentText(open->openedAt)));
}

void CashDesk::cashiersChanged()
{
    // The one at the counter was removed: the events no longer name them.
    if (!m_hall.cashiers().current())
        m_hall.setOperator(QString());
    showCashier();
    requireLogin();
}

void CashDesk::KasiyerDegistirClick()
{
    if (!m_hall.cashiers().any()) {
        messages::inform(QStringLiteral("Kasiyer tanımlı değil. Kasiyerler Ayarlar > Seçenekler "
                                        "penceresinin Kasiyerler sekmesinde eklenir."));
        return;
    }
    login();
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
    const ledger::BillRecord record = m_hall.accountRecord(i, now);
    // Without the tables file or the times file an account of a kind, or one paused or
    // corrected, is billed by its register lines alone: never paid so without a look.
    const QString unread =
        !m_hall.layoutProblem().isEmpty() ? m_hall.layoutProblem() : m_hall.timesProblem();
    if (!record.openedDate.isEmpty() && !unread.isEmpty() &&
        !messages::ask(unread + QStringLiteral("\n\nBu hesap masa türü, durdurma ve düzeltmeler "
                                               "olmadan hesaplandı. Yine de kapatılsın mı?")))
        return;
    // A clock set wrong, or an account forgotten for days: the operator looks before it is paid.
    if (!record.openedDate.isEmpty()) {
        const std::optional<qint64> elapsed = m_hall.accountElapsedMs(i, now);
        if (elapsed && counter::unusualElapsed(*elapsed) &&
            !messages::ask(unusualTimeQuestion(record.openedDate, record.openedTime, now.wall)))
            return;
    }
    BillWindow *window = billWindow();
    // An approval given in the window lasts until the bill is paid or left.
    const auto approved = qScopeGuard([this] { m_billApproval.reset(); });
    window->fill(record);
    const int result = window->exec();
    if (result == BillWindow::ApartAsked) {
        payApart(i);
        return;
    }
    if (result != QDialog::Accepted)
        return;
    const counter::Settlement settlement = window->settlement();
    qint64 id = 0;
    {
        const auto shown = qScopeGuard([&] { emit accountShown(i); });
        if (!taken([&] { id = m_hall.settle(record, settlement); }))
            return; // nothing done
    }
    if (m_hall.printerSetup().autoPrint) {
        ledger::BillRecord paid = record;
        paid.settlement = settlement;
        printPaid(id, paid);
    }
    messages::inform(record.tableName + QStringLiteral(" için hesap kapatıldı!"));
}

void CashDesk::printPaid(qint64 id, const ledger::BillRecord &record)
{
    // The bill as the ledger wrote it (its number, its payments' moments); as settled where it
    // cannot be read back.
    ledger::BillRecord bill = record;
    bill.id = id;
    try {
        if (std::optional<ledger::BillRecord> stored = m_hall.ledger().bill(id))
            bill = *stored;
    } catch (const RuntimeError &) {
    }
    // The drawer opens for cash taken now, not for cash taken earlier on the account.
    const bool cash = std::any_of(
        bill.settlement.payments.cbegin(), bill.settlement.payments.cend(),
        [](const counter::Payment &p) { return p.method == counter::Method::Cash && !p.ahead; });
    m_print->printBill(bill, cash ? print::Purpose::CashBill : print::Purpose::Bill, true);
}

void CashDesk::payApart(int table)
{
    const counter::Moment now = counter::momentNow();
    const ledger::BillRecord record = m_hall.accountRecord(table, now);
    QList<PayItem> extras;
    for (int k = 0; k < record.extras.size(); ++k)
        extras << PayItem{record.extras.at(k).name, record.extras.at(k).price, k};
    qint64 before = 0;
    for (const counter::Payment &p : m_hall.paidAhead(table))
        before += p.amount;
    // Only an open account can take an amount on it.
    const qint64 owed =
        record.openedDate.isEmpty() ? 0 : record.bill.total - record.bill.extrasTotal - before;
    ApartDialog dialog(QStringLiteral("%1: şimdi ödenen kısım masadan düşülür, hesap açık kalır.")
                           .arg(record.tableName),
                       extras, owed, m_hall.customers(), m_window);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const std::optional<hall::Approval> approval =
        dialog.method() == counter::Method::Tab
            ? askApproval(m_hall, m_window, QStringLiteral("tab"))
            : std::optional<hall::Approval>(m_hall.noneAsked());
    if (!approval)
        return;
    const qint64 paid = [&] {
        qint64 sum = dialog.amount();
        for (const int k : dialog.ticked())
            sum += record.extras.value(k).price;
        return sum;
    }();
    qint64 id = 0;
    {
        const auto shown = qScopeGuard([&] { emit accountShown(table); });
        if (!taken([&] {
                id = m_hall.payApart(table, dialog.ticked(), dialog.amount(), dialog.method(),
                                     dialog.customer(), now);
            }))
            return;
    }
    // The extras paid apart are a bill of their own, printed as any bill paid.
    if (id && m_hall.printerSetup().autoPrint) {
        ledger::BillRecord part;
        part.tablePos = table;
        part.tableName = record.tableName;
        part.part = true;
        printPaid(id, part);
    }
    messages::inform(QStringLiteral("%1: %2 %3 olarak ayrı ödendi.")
                         .arg(record.tableName, counter::amountText(paid),
                              counter::methodText(dialog.method()).toLower()));
}

void CashDesk::MasayiTasiClick()
{
    const auto status = qScopeGuard([this] { updateLedgerStatus(); });
    const int from = openAccountTable(false);
    if (from < 0 || !ledgerReady(QStringLiteral("Hesap taşınmadı.")))
        return;
    const QList<std::pair<int, QString>> free = m_hall.freeTables(from, from);
    if (free.isEmpty()) {
        messages::inform(m_hall.kindOf(from)
                             ? QStringLiteral("Hesabın taşınabileceği aynı türden boş masa yok!")
                             : QStringLiteral("Hesabın taşınabileceği boş masa yok!"));
        return;
    }
    const int to = moveWindow()->choose(
        QStringLiteral("%1 hesabının taşınacağı boş masayı seçin:").arg(m_hall.tableName(from)),
        free);
    if (to < 0)
        return;
    try {
        if (!taken([&] { m_hall.move(from, to); }))
            return; // nothing done
    } catch (...) {
        emit accountShown(from);
        emit accountShown(to);
        throw;
    }
    emit accountShown(from);
    emit tableChosen(to);
    messages::inform(QStringLiteral("%1 hesabı %2 masasına taşındı!")
                         .arg(m_hall.tableName(from), m_hall.tableName(to)));
}

void CashDesk::GunSonuClick()
{
    if (!ledgerReady({}, false))
        return;
    dayEndWindow()->openAt(clock::now());
}

HistoryWindow *CashDesk::historyWindow()
{
    if (!m_history) {
        m_history = new HistoryWindow(m_window);
        m_history->setLedger(&m_hall.ledger());
    }
    return m_history;
}

void CashDesk::IslemGecmisiClick()
{
    if (!ledgerReady({}, false))
        return;
    historyWindow()->openAt(clock::now());
}

TabsWindow *CashDesk::tabsWindow()
{
    if (!m_tabs) {
        m_tabs = new TabsWindow(m_window);
        m_tabs->setLedger(&m_hall.ledger());
        m_tabs->collect = [this](const QString &customer, counter::Method method, qint64 amount) {
            const auto status = qScopeGuard([this] { updateLedgerStatus(); });
            if (!ledgerReady(QStringLiteral("Tahsilat alınmadı.")))
                return false;
            const auto approval = askApproval(m_hall, m_window, QStringLiteral("tab"));
            if (!approval || !taken([&] { m_hall.collect(customer, method, amount); }))
                return false;
            messages::inform(QStringLiteral("%1 borcundan %2 %3 tahsil edildi.")
                                 .arg(customer, counter::amountText(amount),
                                      counter::methodText(method).toLower()));
            return true;
        };
    }
    return m_tabs;
}

OpenShiftWindow *CashDesk::openShiftWindow()
{
    if (!m_openShift)
        m_openShift = new OpenShiftWindow(m_window);
    return m_openShift;
}

CashOutWindow *CashDesk::cashOutWindow()
{
    if (!m_cashOut)
        m_cashOut = new CashOutWindow(m_window);
    return m_cashOut;
}

CloseShiftWindow *CashDesk::closeShiftWindow()
{
    if (!m_closeShift)
        m_closeShift = new CloseShiftWindow(m_window);
    return m_closeShift;
}

ShiftReportWindow *CashDesk::shiftReportWindow()
{
    if (!m_shiftReport) {
        m_shiftReport = new ShiftReportWindow(m_window);
        m_shiftReport->printReport = [this](const ledger::ShiftReport &report) {
            const ledger::Ledger &l = m_hall.ledger();
            const ledger::ChainHead head = l.readable() ? l.chainHead() : ledger::ChainHead();
            m_print->print(print::shiftReceipt(report, head, m_print->heading()),
                           print::Purpose::Report,
                           QStringLiteral("Vardiya %1").arg(report.shift.id));
        };
    }
    return m_shiftReport;
}

void CashDesk::VeresiyeClick()
{
    if (!ledgerReady({}, false))
        return;
    tabsWindow()->open();
}

void CashDesk::VardiyaAcClick()
{
    const auto status = qScopeGuard([this] { updateLedgerStatus(); });
    if (!ledgerReady(QStringLiteral("Vardiya açılmadı.")))
        return;
    if (const std::optional<ledger::Shift> open = m_hall.currentShift()) {
        const QString who = open->cashier == QLatin1String("-") ? QString() : open->cashier + ", ";
        messages::inform(QStringLiteral("Bir vardiya zaten açık (%1%2 açıldı); yenisi için önce "
                                        "onu kapatın.")
                             .arg(who, momentText(open->openedAt)));
        return;
    }
    bool done = false;
    OpenShiftWindow *w = openShiftWindow();
    w->apply = [&](qint64 floatCash) { done = taken([&] { m_hall.openShift(floatCash); }); };
    if (w->ask(m_hall.operatorName(), clock::now()) && done)
        messages::inform(QStringLiteral("Vardiya açıldı."));
}

void CashDesk::KasadanCikisClick()
{
    const auto status = qScopeGuard([this] { updateLedgerStatus(); });
    if (!ledgerReady(QStringLiteral("Kasadan çıkış kaydedilmedi.")))
        return;
    const auto approval = askApproval(m_hall, m_window, QStringLiteral("cash_out"));
    if (!approval)
        return;
    bool done = false;
    CashOutWindow *w = cashOutWindow();
    w->apply = [&](qint64 amount, const QString &reason) {
        done = taken([&] { m_hall.cashOut(amount, reason); });
    };
    if (w->ask() && done)
        messages::inform(QStringLiteral("Kasadan çıkış kaydedildi."));
}

void CashDesk::VardiyaKapatClick()
{
    const auto status = qScopeGuard([this] { updateLedgerStatus(); });
    if (!ledgerReady(QStringLiteral("Vardiya kapatılmadı.")))
        return;
    const std::optional<ledger::Shift> open = m_hall.currentShift();
    if (!open) {
        messages::inform(QStringLiteral("Açık vardiya yok."));
        return;
    }
    std::optional<ledger::ShiftReport> closed;
    CloseShiftWindow *w = closeShiftWindow();
    w->apply = [&](qint64 counted, const QString &note) {
        taken([&] { closed = m_hall.closeShift(counted, note); });
    };
    if (w->ask(m_hall.ledger().shiftReport(*open, clock::now())) && closed)
        shiftReportWindow()->showReport(*closed);
}

void CashDesk::VardiyaRaporuClick()
{
    if (!ledgerReady({}, false))
        return;
    const QDateTime now = clock::now();
    std::optional<ledger::Shift> shown = m_hall.currentShift();
    if (!shown) {
        // The last one closed; none before the first.
        const QList<ledger::Shift> all =
            m_hall.ledger().shifts(QDateTime(QDate(2000, 1, 1), QTime(0, 0)), now.addDays(1));
        if (!all.isEmpty())
            shown = all.last();
    }
    if (!shown) {
        messages::inform(QStringLiteral("Henüz vardiya açılmadı."));
        return;
    }
    shiftReportWindow()->showReport(
        m_hall.ledger().shiftReport(*shown, shown->isOpen() ? now : shown->closedAt));
}

void CashDesk::DefteriDogrulaClick()
{
    if (!ledgerReady({}, false))
        return;
    const ledger::ChainCheck check = ledger::verifyChain(m_hall.paths().ledgerFile());
    if (check.ok)
        messages::inform(check.text);
    else
        messages::showError(check.text);
}

void CashDesk::reportChain(const ledger::ChainCheck &check)
{
    // What a Yönetici acknowledged stays acknowledged; a break found since is said again.
    const QSet<qint64> known = m_hall.ledger().acknowledgedBreaks();
    qint64 first = 0;
    for (const qint64 id : check.breaks)
        if (!known.contains(id)) {
            first = id;
            break;
        }
    if (!first) {
        emit chainWarning(QString());
        return;
    }
    m_chainBreak = check;
    const QString text = ledger::brokenText(first);
    messages::showError(text);
    emit chainWarning(text);
}

void CashDesk::acknowledgeChain()
{
    if (!m_chainBreak)
        return;
    if (!messages::ask(m_chainBreak->text +
                       QStringLiteral("\n\nBu uyarı görüldü olarak kaydedilip kaldırılsın mı?")))
        return;
    if (!ledgerReady(QStringLiteral("Uyarı kaldırılmadı.")))
        return;
    const auto approval = askApproval(m_hall, m_window, QStringLiteral("verify_ack"));
    if (!approval)
        return;
    QJsonArray breaks;
    for (const qint64 id : m_chainBreak->breaks)
        breaks.append(id);
    m_hall.record(QStringLiteral("verify_ack"),
                  {{"first_bad", m_chainBreak->firstBad}, {"breaks", breaks}});
    m_chainBreak.reset();
    emit chainWarning(QString());
}

void CashDesk::cancelBill(qint64 id, const QString &reason)
{
    const auto status = qScopeGuard([this] { updateLedgerStatus(); });
    if (!ledgerReady(QStringLiteral("Fiş iptal edilmedi.")))
        return;
    const counter::Moment moment = counter::momentNow();
    const QDateTime &now = moment.wall;
    const std::optional<ledger::BillRecord> bill = m_hall.ledger().bill(id);
    if (!bill || bill->cancelled()) {
        m_hall.cancel(id, reason, now, std::nullopt, std::nullopt); // says why
        return;
    }
    const auto approval = askApproval(m_hall, m_window, QStringLiteral("cancel_bill"));
    if (!approval)
        return;
    const QString name = bill->tableName;
    // Money taken in cash or by card either went back to the guest or stays in the drawer.
    // Asked where a drawer is counted (a shift is open) or the bill was paid other than whole
    // in cash at the settle; otherwise the cancel runs as it always did.
    const QList<counter::Payment> &paid = bill->settlement.payments;
    const bool took = std::any_of(paid.cbegin(), paid.cend(), [](const counter::Payment &p) {
        return p.method != counter::Method::Tab;
    });
    const bool plain =
        paid.size() <= 1 && std::all_of(paid.cbegin(), paid.cend(), [](const auto &p) {
            return p.method == counter::Method::Cash && !p.ahead;
        });
    std::optional<bool> refunded;
    if (took && (m_hall.currentShift() || !plain))
        refunded = messages::ask(QStringLiteral("Ödenen tutar iade edildi mi?"));
    // Extras paid apart left an account that runs on: nothing to reopen.
    if (bill->part) {
        if (!taken([&] { m_hall.cancel(id, reason, now, std::nullopt, std::nullopt, refunded); }))
            return;
        messages::inform(QStringLiteral("Fiş iptal edildi."));
        return;
    }
    // An earlier day is closed: its guest left long ago, and its figures stay as they were.
    // The cancel is taken off today's total.
    if (ledger::businessDay(bill->closedAt) != ledger::businessDay(now)) {
        if (!taken([&] { m_hall.cancel(id, reason, now, std::nullopt, std::nullopt, refunded); }))
            return;
        messages::inform(QStringLiteral("Fiş iptal edildi. Önceki bir iş gününün fişi olduğundan "
                                        "%1 hesabı yeniden açılmadı; tutarı bugünün gün sonundan "
                                        "düşülür.")
                             .arg(name));
        return;
    }
    const int count = m_hall.tableCount();
    int t = bill->tablePos;
    const bool ownTableFree = t >= 0 && t < count && !m_hall.hasAccount(t);
    const counter::Booked stray =
        ownTableFree ? m_hall.bookedOn(t) : counter::Booked{0, std::nullopt};
    std::optional<ledger::Operations::Reopen> reopen;
    if (ownTableFree && counter::isFreeTable(m_hall.registerLines(), t, stray)) {
        reopen = ledger::Operations::Reopen{t, bill->extrasFile, {}};
    } else if (ownTableFree && stray.total) {
        // Extras left on the table: the operator says whether the account takes them along.
        if (messages::ask(strayExtrasQuestion(stray))) {
            if (!dropFreeExtras(t))
                return;
            reopen = ledger::Operations::Reopen{t, bill->extrasFile, {}};
        } else {
            RecordList left;
            left.load(m_hall.paths().tableExtrasFile(m_hall.tableName(t)));
            QStringList own = RecordList::fromBytes(bill->extrasFile.value_or(QByteArray()));
            if (own.size() % 2)
                own << QStringLiteral("0"); // a name without its price counts nothing
            reopen = ledger::Operations::Reopen{t, RecordList::toBytes(own + left.lines()), {}};
        }
    } else {
        // The guest's account must not vanish: it goes to a free table of the operator's choice.
        const QList<std::pair<int, QString>> free =
            m_hall.freeTables(-1, bill->tablePos < m_hall.tableCount() ? bill->tablePos : -1);
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
            const counter::Openings &known = m_hall.openings();
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
    {
        const auto shown = qScopeGuard([&] { emit accountShown(reopen->table); });
        if (!taken([&] { m_hall.cancel(id, reason, now, reopen, opening, refunded); }))
            return; // nothing done
    }
    if (reopen->table == bill->tablePos)
        messages::inform(QStringLiteral("Fiş iptal edildi; %1 hesabı yeniden açıldı.").arg(name));
    else
        messages::inform(QStringLiteral("Fiş iptal edildi; %1 hesabı %2 masasında yeniden açıldı.")
                             .arg(name, m_hall.tableName(reopen->table)));
}
