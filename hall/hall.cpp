#include "hall.h"

#include "applocale.h"
#include "clock.h"
#include "errors.h"
#include "events.h"
#include "fsys.h"
#include "leftovers.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>

#include <limits>

namespace kv::hall {

namespace {
const QString kExtrasSuffix = QStringLiteral(".msex");
constexpr qint64 kUnknownTime = std::numeric_limits<qint64>::min();

QJsonObject accountJson(const QString &date, const QString &time, const QString &fee)
{
    return {{"date", date}, {"time", time}, {"fee", fee}};
}

// The settings' lines as the events name them.
const std::pair<int, const char *> kSettingKeys[] = {
    {SettingsLine::UnitFee, "unit_fee"},
    {SettingsLine::EndTimeFollowsClock, "end_time_follows_clock"},
    {SettingsLine::TablePrefix, "table_prefix"},
    {SettingsLine::MinimumCharge, "minimum_charge"},
    {SettingsLine::MinimumChargeOn, "minimum_charge_on"},
    {SettingsLine::MultipleFees, "multiple_fees"},
};

// A table extras file's name and price pairs; a price that cannot be read counts nothing.
QList<ledger::BookedExtra> pairsOf(const QStringList &lines)
{
    QList<ledger::BookedExtra> extras;
    for (int k = 0; PairLine::name(k) < lines.size(); ++k) {
        int price = 0;
        tryStrToInt(lines.value(PairLine::price(k)), &price);
        extras << ledger::BookedExtra{lines.at(PairLine::name(k)), price};
    }
    return extras;
}

qint64 priceSum(const QList<ledger::BookedExtra> &extras)
{
    qint64 total = 0;
    for (const ledger::BookedExtra &extra : extras)
        total += extra.price;
    return total;
}

QJsonObject cancelDetail(qint64 id, const QString &reason, const QString &reopenedOn,
                         std::optional<bool> refunded)
{
    QJsonObject detail{{"bill", id},
                       {"reason", reason},
                       {"reopened_on", reopenedOn.isEmpty() ? QJsonValue() : reopenedOn}};
    // Said only where the operator was asked.
    if (refunded)
        detail.insert(QStringLiteral("refunded"), *refunded);
    return detail;
}

QJsonObject extrasJson(const QList<ledger::BookedExtra> &extras)
{
    QJsonArray list;
    for (const ledger::BookedExtra &extra : extras)
        list.append(QJsonObject{{"name", extra.name}, {"price", extra.price}});
    return {{"extras", list}};
}
} // namespace

void Hall::saveList(RecordList &list, const QString &path, const RecordList &next,
                    const ledger::NewEvent &change)
{
    // A file that could not be read is never saved over.
    if (!list.known())
        throwError(
            QStringLiteral("%1 okunamadığı için üzerine kaydedilmedi!").arg(files::native(path)));
    try {
        m_operations->saveFile(path, RecordList::toBytes(next.lines()), change);
    } catch (const RuntimeError &) {
        list.rereadAfterFailedSave(path);
        throw;
    }
    list = next;
}

ledger::NewEvent Hall::newEvent(const QString &kind, const QString &table, QJsonObject detail,
                                std::optional<qint64> amount) const
{
    if (!m_approver.isEmpty())
        detail.insert(QStringLiteral("approved_by"), m_approver);
    return {kind, table, ledger::compactJson(detail), amount};
}

// By value: the name given may be the hall's own approver.
Approval::Approval(Hall &hall, QString approver)
    : m_hall(&hall), m_previous(std::exchange(hall.m_approver, std::move(approver)))
{
}

Approval::Approval(Approval &&other) noexcept
    : m_hall(std::exchange(other.m_hall, nullptr)), m_previous(std::move(other.m_previous))
{
}

Approval::~Approval()
{
    if (m_hall)
        m_hall->m_approver = m_previous;
}

void Hall::recordCashierEvent(const QString &kind, const QByteArray &detail)
{
    QJsonObject d = QJsonDocument::fromJson(detail).object();
    // The one logging in is at the counter from this event on.
    const QString op = kind == QLatin1String("login")
                           ? d.value(QStringLiteral("name")).toString(m_operator)
                           : m_operator;
    const ledger::NewEvent event = newEvent(kind, QString(), d);
    // Inside the cashiers' own transaction the event goes in with the change; a PIN prompt's
    // event while the ledger cannot take it waits with the others.
    if (m_cashiers->inTransaction())
        ledger::insertEvent(*m_ledger, event, op, ledger::eventTime(clock::now()));
    else
        m_operations->record(event, op);
}

void Hall::setOperator(const QString &name)
{
    m_operator = name.isEmpty() ? QStringLiteral("-") : name;
    m_operations->setOperator(m_operator);
}

void Hall::record(const QString &kind, const QJsonObject &detail)
{
    m_operations->record(newEvent(kind, QString(), detail));
}

Hall::Hall(const Paths &paths, QObject *parent)
    : QObject(parent), m_paths(paths), m_ledger(std::make_unique<ledger::Ledger>())
{
    m_operations = std::make_unique<ledger::Operations>(*m_ledger, m_register, m_paths,
                                                        [this](int t) { return tableName(t); });
    m_cashiers = std::make_unique<ledger::Cashiers>(
        *m_ledger, [this](const QString &kind, const QByteArray &detail) {
            recordCashierEvent(kind, detail);
        });
    // Events still waiting go in first, so that the log stays in order.
    m_cashiers->setBeforeChange([this] { m_operations->tryLedger(); });
}

Hall::~Hall() = default;

// ---- Loading ----------------------------------------------------------------------------

bool Hall::takePreloaded(RecordList &list, const QString &path)
{
    std::optional<QStringList> lines = m_preloaded ? m_preloaded(path) : std::nullopt;
    if (!lines)
        return false;
    list.assign(*lines);
    return true;
}

bool Hall::loadSettings()
{
    const auto changed = qScopeGuard([this] { emit settingsChanged(); });
    if (takePreloaded(m_settings, m_paths.settingsFile()))
        return true;
    if (files::kind(m_paths.settingsFile()) == files::Kind::Missing) {
        fsys::makeDataDirectory(m_paths.dataDir());
        files::makeDir(m_paths.extrasDir());
        m_settings.assign(defaultSettings());
        m_settings.save(m_paths.settingsFile());
        return false;
    }
    m_settings.load(m_paths.settingsFile());
    return true;
}

QStringList Hall::loadRegister()
{
    const QString askForTables = QStringLiteral(
        "Masa bilgilerinizi girmek için Ayarlar/Seçenekler sekmesi altından Masa sayınızı girin!");
    // The tables are listed from what was read, after a failure too.
    const auto listed = qScopeGuard([this] { listTables(); });
    QStringList told = loadLayout();
    if (!takePreloaded(m_register, m_paths.registerFile())) {
        if (files::kind(m_paths.registerFile()) == files::Kind::Missing) {
            m_register.assign(defaultRegister());
            m_register.save(m_paths.registerFile());
            return told << askForTables;
        }
        m_register.load(m_paths.registerFile());
    }
    const QString count = m_register.at(RegisterLine::TableCount);
    if (count == QLatin1String("0"))
        return told << askForTables;
    // Only a hand-edited register holds more; listing millions would never end. Without the
    // settings the tables' names are unknown (that error is shown already).
    if (strToInt(count) > kMaxTables && m_settings.known())
        told << QStringLiteral("Masa sayısı %1 olamaz; en fazla %2 masa listelendi.")
                    .arg(count)
                    .arg(kMaxTables);
    return told;
}

QStringList Hall::loadLayout()
{
    QStringList told;
    loadPrinter();
    // A file missing is a hall without own names, kinds or time changes: as before them.
    const auto read = [&](RecordList &file, const QString &path, QString &problem,
                          const std::function<void(const QStringList &)> &take) {
        problem.clear();
        try {
            if (!takePreloaded(file, path)) {
                if (files::kind(path) == files::Kind::Missing)
                    file.assign({});
                else
                    file.load(path);
            }
            if (!file.lines().isEmpty())
                take(file.lines());
        } catch (const RuntimeError &e) {
            problem = e.text();
            told << problem;
        }
    };
    m_layout = {};
    read(m_tablesFile, m_paths.tablesFile(), m_layoutProblem,
         [this](const QStringList &lines) { m_layout = readTables(lines); });
    m_times.clear();
    read(m_timesFile, m_paths.timesFile(), m_timesProblem,
         [this](const QStringList &lines) { m_times = readTimes(lines); });
    return told;
}

void Hall::listTables()
{
    m_names.clear();
    int n = 0;
    if (m_register.known() && m_settings.known() &&
        tryStrToInt(m_register.value(RegisterLine::TableCount), &n))
        n = qBound(0, n, kMaxTables);
    m_names = namesOf(n);
    m_booked.assign(size_t(m_names.size()), RecordList());
    m_bookedAt.assign(size_t(m_names.size()), {});
    m_floor = counter::Floor();
    m_floor.resize(int(m_names.size()));
}

void Hall::loadCatalogue()
{
    const auto changed = qScopeGuard([this] { emit catalogueChanged(); });
    if (takePreloaded(m_catalogue, m_paths.catalogueFile()))
        return;
    if (files::kind(m_paths.catalogueFile()) == files::Kind::Missing) {
        m_catalogue.assign({});
        m_catalogue.save(m_paths.catalogueFile());
        return;
    }
    m_catalogue.load(m_paths.catalogueFile());
}

void Hall::reloadCatalogue()
{
    const auto changed = qScopeGuard([this] { emit catalogueChanged(); });
    m_catalogue.load(m_paths.catalogueFile());
}

void Hall::prepareExtrasDirectory()
{
    // Without it every booking fails, and nothing else would ever make it again.
    if (files::isDir(m_paths.dataDir()) && !files::isDir(m_paths.extrasDir()))
        files::makeDir(m_paths.extrasDir());
    // A save cut short by a crash or a power cut leaves its temporary file behind.
    removeSaveLeftovers(m_paths.dataDir());
    removeSaveLeftovers(m_paths.extrasDir());
}

void Hall::loadExtras()
{
    if (m_floor.tableCount() != tableCount())
        listTables();
    m_booked.assign(size_t(m_names.size()), RecordList());
    for (int i = 0; i < tableCount(); ++i)
        readExtrasTotal(i);
}

void Hall::reread(int table)
{
    if (table >= 0 && table < tableCount())
        readExtrasTotal(table);
}

void Hall::readExtrasTotal(int table)
{
    const QString path = m_paths.tableExtrasFile(tableName(table));
    counter::Booked total;
    RecordList &booked = m_booked[size_t(table)];
    const auto times = forgetTimesIfChanged(table);
    booked = RecordList();
    const bool preloaded = takePreloaded(booked, path);
    if (preloaded || files::kind(path) != files::Kind::Missing) {
        try {
            if (!preloaded)
                booked.load(path);
            total = counter::bookedOf(booked.lines());
        } catch (const RuntimeError &) {
            total.total.reset(); // the error is shown when the table is selected
        }
    } else {
        booked.assign({});
    }
    m_floor.setBooked(table, total);
}

// ---- Settings ---------------------------------------------------------------------------

bool Hall::multipleFees() const
{
    return m_settings.has(SettingsLine::MultipleFees) &&
           isOn(m_settings.at(SettingsLine::MultipleFees));
}

bool Hall::endTimeFollowsClock() const
{
    return m_settings.has(SettingsLine::EndTimeFollowsClock) &&
           isOn(m_settings.at(SettingsLine::EndTimeFollowsClock));
}

QString Hall::unitFeeLine() const
{
    return m_settings.at(SettingsLine::UnitFee);
}

// ---- Tables and accounts ----------------------------------------------------------------

QString Hall::tableName(int table) const
{
    if (table >= 0 && table < m_names.size())
        return m_names.at(table);
    if (table >= 0)
        return namesOf(table + 1).value(table);
    return kv::tableName(m_settings.value(SettingsLine::TablePrefix), table + 1);
}

const TableKind *Hall::kindOf(int table) const
{
    if (table < 0 || table >= m_layout.tables.size())
        return nullptr;
    const int kind = m_layout.tables.at(table).kind;
    return kind >= 0 && kind < m_layout.kinds.size() ? &m_layout.kinds.at(kind) : nullptr;
}

const AccountTimes *Hall::timesOf(int table) const
{
    return entryOf(m_times, table);
}

const AccountTimes *Hall::entryOf(const QList<AccountTimes> &times, int table) const
{
    const QString date = m_register.value(RegisterLine::date(table));
    if (date.isEmpty())
        return nullptr;
    const QString time = m_register.value(RegisterLine::startTime(table));
    for (const AccountTimes &t : times)
        if (t.table == table && t.dateLine == date && t.timeLine == time)
            return &t;
    // A move cut short before its times followed: the entry its account left behind.
    for (const AccountTimes &t : times)
        if (t.dateLine == date && t.timeLine == time &&
            (m_register.value(RegisterLine::date(t.table)) != date ||
             m_register.value(RegisterLine::startTime(t.table)) != time))
            return &t;
    return nullptr;
}

bool Hall::isPaused(int table) const
{
    const AccountTimes *t = timesOf(table);
    return t && counter::pausedBy(t->changes);
}

counter::Pricing Hall::pricing(int table) const
{
    counter::Pricing p;
    if (const TableKind *kind = kindOf(table)) {
        p.bands = kind->bands;
        p.minimum = counter::MinimumCharge{kind->minimum.has_value(), kind->minimum.value_or(0)};
        p.ownFee = true;
    }
    if (const AccountTimes *t = timesOf(table)) {
        p.changes = t->changes;
        // A fee change is saved just before the line that shows the fee: it stands only once
        // that line holds it, so a step cut short between the two changes no fee.
        int now = 0;
        if (tryStrToInt(shownFee(table), &now))
            for (qsizetype k = p.changes.size() - 1; k >= 0; --k) {
                if (p.changes.at(k).kind != counter::TimeChange::Kind::Fee)
                    continue;
                if (p.changes.at(k).fee == now)
                    break;
                p.changes.removeAt(k);
            }
        // Without a fee change the fee now prices all of it.
        if (std::any_of(p.changes.cbegin(), p.changes.cend(), [](const counter::TimeChange &c) {
                return c.kind == counter::TimeChange::Kind::Fee;
            }))
            p.startFee = t->startFee;
    }
    return p;
}

counter::Pricings Hall::pricings() const
{
    counter::Pricings out;
    for (int t = 0; t < tableCount(); ++t)
        if (kindOf(t) || timesOf(t))
            out.insert(t, pricing(t));
    return out;
}

Account Hall::account(int table) const
{
    Account a;
    a.date = m_register.at(RegisterLine::date(table));
    if (!a.date.isEmpty()) {
        a.time = m_register.at(RegisterLine::startTime(table));
        a.fee = m_register.value(RegisterLine::fee(table));
    }
    return a;
}

bool Hall::hasAccount(int table) const
{
    return !m_register.value(RegisterLine::date(table)).isEmpty();
}

QString Hall::shownFee(int table) const
{
    if (!hasAccount(table))
        return QStringLiteral("0");
    return multipleFees() || kindOf(table) ? m_register.at(RegisterLine::fee(table))
                                           : m_settings.at(SettingsLine::UnitFee);
}

bool Hall::bookedKnown(int table) const
{
    return table >= 0 && size_t(table) < m_booked.size() && m_booked[size_t(table)].known();
}

void Hall::loadBooked(int table)
{
    const QString path = m_paths.tableExtrasFile(tableName(table));
    RecordList &booked = m_booked[size_t(table)];
    const auto times = forgetTimesIfChanged(table);
    try {
        if (files::kind(path) == files::Kind::Missing)
            booked.assign({});
        else
            booked.load(path); // an unreadable file leaves nothing of another table
    } catch (const RuntimeError &) {
        m_floor.setBooked(table, {0, std::nullopt});
        throw;
    }
    m_floor.setBooked(table, counter::bookedOf(booked.lines()));
}

void Hall::reloadBooked(int table)
{
    if (table < 0 || table >= tableCount())
        throwListIndex(table);
    loadBooked(table);
}

const RecordList &Hall::booked(int table)
{
    if (table < 0 || table >= tableCount())
        throwListIndex(table);
    if (!m_booked[size_t(table)].known())
        loadBooked(table);
    return m_booked[size_t(table)];
}

counter::Booked Hall::bookedOn(int table) const
{
    const QString path = m_paths.tableExtrasFile(tableName(table));
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

qint64 Hall::extrasSum(int table)
{
    // A file that could not be read counts nothing: its error was said when it was shown.
    if (!bookedKnown(table))
        return 0;
    const RecordList &list = m_booked[size_t(table)];
    qint64 sum = 0;
    for (int p = 1; p < list.count(); p += 2)
        sum += strToInt(list.at(p));
    return sum;
}

bool Hall::isFree(int table) const
{
    return counter::isFreeTable(m_register, table, bookedOn(table));
}

QList<std::pair<int, QString>> Hall::freeTables(int except, int like) const
{
    // An account is priced by its table's kind: it moves only where the same kind prices it.
    const auto kindIndex = [this](int t) {
        return t >= 0 && t < m_layout.tables.size() && kindOf(t) ? m_layout.tables.at(t).kind : -1;
    };
    QList<std::pair<int, QString>> free;
    for (int t = 0; t < tableCount(); ++t)
        if (t != except && isFree(t) && (like < 0 || kindIndex(t) == kindIndex(like)))
            free.append({t, tableName(t)});
    return free;
}

bool Hall::feeListExists() const
{
    return files::exists(m_paths.feeListFile());
}

QStringList Hall::feeList() const
{
    RecordList fees;
    fees.load(m_paths.feeListFile());
    return fees.lines();
}

// ---- The floor and the fee calculation --------------------------------------------------

QList<int> Hall::refreshFloor(const counter::Moment &now)
{
    if (m_floor.tableCount() != tableCount())
        loadExtras();
    return m_floor.refresh(m_register, m_settings, now, openings(), pricings());
}

std::optional<qint64> Hall::accountElapsedMs(int table, const counter::Moment &now) const
{
    return counter::accountElapsedMs(m_register, table, openings(), now);
}

Calculation Hall::calculate(int table, qint64 elapsedMs)
{
    Calculation c;
    c.free = table < 0 || !hasAccount(table);
    c.minutes = c.free ? 0 : counter::wholeMinutes(elapsedMs);
    c.fee = table < 0 ? 0 : strToInt(shownFee(table));
    const qint64 extras = table < 0 ? 0 : extrasSum(table);
    const counter::Pricing p = c.free ? counter::Pricing() : pricing(table);
    // A free table's bill is its extras alone: no minimum charge.
    const counter::MinimumCharge minimum =
        c.free ? counter::MinimumCharge() : counter::minimumOf(m_settings, &p);
    if (p.plain()) {
        c.bill = counter::bill(c.minutes, c.fee, minimum, extras);
        return c;
    }
    c.segments = counter::pricedSegments(
        counter::accountStart(m_register, table, openings(), clock::now()), elapsedMs, c.fee, p);
    c.bill = counter::billOf(c.segments, c.fee, minimum, extras);
    c.minutes = c.bill.minutes;
    c.paused = counter::pausedBy(p.changes);
    return c;
}

// ---- The counter's verbs ----------------------------------------------------------------

void Hall::openAccount(int table, const QString &fee, const counter::Moment &at)
{
    const QString date = shortDate(at.wall.date());
    const QString time = longTime(at.wall.time());
    const auto shown = qScopeGuard([&] { emit tableChanged(table); });
    RecordList next = m_register;
    next.set(RegisterLine::date(table), date);
    next.set(RegisterLine::startTime(table), time);
    next.set(RegisterLine::fee(table), fee);
    saveList(m_register, m_paths.registerFile(), next,
             newEvent(QStringLiteral("open"), tableName(table), accountJson(date, time, fee)));
    // Best effort: where the ledger cannot take it, the account is billed by its register text.
    if (m_ledger->isOpen() && m_ledger->reopen())
        m_ledger->setOpening(table, counter::openingAt(at, date, time));
}

void Hall::restartAccount(int table, const QString &fee, const counter::Moment &at)
{
    // Money taken on the account would be left on no bill.
    if (const QString paid = paidAheadProblem(table); !paid.isEmpty())
        throwError(paid);
    const QString date = shortDate(at.wall.date());
    const QString time = longTime(at.wall.time());
    const auto shown = qScopeGuard([&] {
        dropEndedTimes();
        emit tableChanged(table);
    });
    ledger::BillRecord dropped = droppedTime(table, at, QStringLiteral("Yeniden başlatıldı"));
    dropped.restart = true;
    const QJsonObject detail{
        {"old", accountJson(dropped.openedDate, dropped.openedTime, dropped.feeLine)},
        {"new", accountJson(date, time, fee)},
        {"minutes", dropped.bill.minutes}};
    m_operations->restart(
        dropped, {date, time, fee},
        newEvent(QStringLiteral("restart"), tableName(table), detail, -dropped.bill.timeCharge));
    if (m_ledger->isOpen() && m_ledger->reopen())
        m_ledger->setOpening(table, counter::openingAt(at, date, time));
}

void Hall::changeFee(int table, const QString &fee, const counter::Moment &now, bool fromOpening)
{
    const auto shown = qScopeGuard([&] { emit tableChanged(table); });
    RecordList next = m_register;
    next.set(RegisterLine::fee(table), fee);
    const QString old = m_register.value(RegisterLine::fee(table));
    int oldFee = 0, newFee = 0;
    const bool feesRead = tryStrToInt(shownFee(table), &oldFee) && tryStrToInt(fee, &newFee);
    const std::optional<qint64> at = accountElapsedMs(table, now);
    QJsonObject detail{{"old", old}, {"new", fee}};
    // Time already played keeps its fee; a table that ran less than a minute has none.
    const bool fromNow = !fromOpening && at && *at >= 60000 && feesRead && hasAccount(table);
    const AccountTimes *had = timesOf(table);
    // From the opening the new fee stands over the kind's bands too, as it stood over none.
    const bool timesChange = fromNow || (had && !had->changes.isEmpty()) ||
                             (feesRead && hasAccount(table) && !pricing(table).bands.isEmpty());
    if (timesChange) {
        QList<AccountTimes> times = timesWith(
            table,
            [&](AccountTimes &t) {
                counter::TimeChange c;
                c.kind = counter::TimeChange::Kind::Fee;
                c.fee = newFee;
                if (fromNow) {
                    c.atMs = *at;
                    t.changes << c;
                    return;
                }
                // All of it at the new fee: no fee of its own before, none of the bands.
                t.changes.removeIf([](const counter::TimeChange &x) {
                    return x.kind == counter::TimeChange::Kind::Fee;
                });
                t.startFee = newFee;
                if (!pricing(table).bands.isEmpty())
                    t.changes.prepend(c);
            },
            oldFee);
        if (fromNow)
            detail.insert(QStringLiteral("from_minute"), counter::wholeMinutes(*at));
        const auto undo = timesUndo();
        saveTimes(times, {});
        try {
            saveList(m_register, m_paths.registerFile(), next,
                     newEvent(QStringLiteral("fee"), tableName(table), detail));
        } catch (...) {
            undo(); // the fee stays as it was for all of the time
            throw;
        }
        return;
    }
    saveList(m_register, m_paths.registerFile(), next,
             newEvent(QStringLiteral("fee"), tableName(table), detail));
}

void Hall::saveTimes(QList<AccountTimes> next, const ledger::NewEvent &change, bool prune)
{
    if (!m_timesProblem.isEmpty())
        throwError(m_timesProblem);
    // Entries of accounts that ended are dropped; a moved account's entry takes its table.
    QList<AccountTimes> kept;
    // Accounts beyond the count (lowered by Masa Oluştur) keep theirs until they come back.
    const int held = std::max(tableCount(), (int(m_register.count()) - 1) / 3);
    for (AccountTimes &t : next) {
        if (!prune) {
            kept << t;
            continue;
        }
        for (int table = 0; table < held; ++table)
            if (m_register.value(RegisterLine::date(table)) == t.dateLine &&
                m_register.value(RegisterLine::startTime(table)) == t.timeLine &&
                (table == t.table || m_register.value(RegisterLine::date(t.table)) != t.dateLine ||
                 m_register.value(RegisterLine::startTime(t.table)) != t.timeLine)) {
                t.table = table;
                if (!t.changes.isEmpty())
                    kept << t;
                break;
            }
    }
    // Nothing to keep where nothing was kept: no file made for it.
    if (kept.isEmpty() && change.isEmpty() &&
        files::kind(m_paths.timesFile()) == files::Kind::Missing) {
        m_times = kept;
        return;
    }
    RecordList lines;
    lines.assign(kept.isEmpty() ? QStringList() : timesLines(kept));
    saveList(m_timesFile, m_paths.timesFile(), lines, change);
    m_times = kept;
}

std::function<void()> Hall::timesUndo()
{
    const QList<AccountTimes> before = m_times;
    const bool existed = files::kind(m_paths.timesFile()) != files::Kind::Missing;
    return [this, before, existed] {
        try {
            if (existed) {
                saveTimes(before, {}, false);
            } else {
                files::remove(m_paths.timesFile());
                m_timesFile.assign({});
                m_times.clear();
            }
        } catch (const RuntimeError &) {
            // What stays behind is keyed by the account's lines: it changes no other account.
        }
    };
}

QList<AccountTimes> Hall::timesWith(int table, const std::function<void(AccountTimes &)> &change,
                                    qint64 feeNow, std::optional<QList<AccountTimes>> base) const
{
    QList<AccountTimes> next = base ? std::move(*base) : m_times;
    if (const AccountTimes *now = entryOf(next, table)) {
        change(next[now - next.constData()]);
    } else {
        AccountTimes made;
        made.table = table;
        made.dateLine = m_register.value(RegisterLine::date(table));
        made.timeLine = m_register.value(RegisterLine::startTime(table));
        made.startFee = feeNow;
        change(made);
        next << made;
    }
    return next;
}

void Hall::pause(int table, const counter::Moment &now)
{
    if (!hasAccount(table) || isPaused(table))
        return;
    const std::optional<qint64> at = accountElapsedMs(table, now);
    if (!at)
        throwError(QStringLiteral("%1 hesabının açılış zamanı okunamadığı için durdurulamaz.")
                       .arg(tableName(table)));
    const auto shown = qScopeGuard([&] { emit tableChanged(table); });
    counter::TimeChange c;
    c.kind = counter::TimeChange::Kind::Pause;
    c.atMs = std::max<qint64>(0, *at);
    saveTimes(timesWith(
                  table, [&](AccountTimes &t) { t.changes << c; }, strToInt(shownFee(table))),
              newEvent(QStringLiteral("pause"), tableName(table),
                       {{"minutes", counter::wholeMinutes(c.atMs)}}));
}

void Hall::resume(int table, const counter::Moment &now)
{
    if (!isPaused(table))
        return;
    const std::optional<qint64> at = accountElapsedMs(table, now);
    const AccountTimes *before = timesOf(table);
    qint64 pausedAt = 0;
    for (const counter::TimeChange &c : before->changes)
        if (c.kind == counter::TimeChange::Kind::Pause)
            pausedAt = c.atMs;
    const auto shown = qScopeGuard([&] { emit tableChanged(table); });
    counter::TimeChange c;
    c.kind = counter::TimeChange::Kind::Resume;
    // A clock set back while paused resumes where it stopped.
    c.atMs = std::max(pausedAt, at.value_or(pausedAt));
    saveTimes(timesWith(
                  table, [&](AccountTimes &t) { t.changes << c; }, 0),
              newEvent(QStringLiteral("resume"), tableName(table),
                       {{"minutes", counter::wholeMinutes(c.atMs)},
                        {"paused_minutes",
                         counter::wholeMinutes(c.atMs) - counter::wholeMinutes(pausedAt)}}));
}

void Hall::correctTime(int table, qint64 minutes, const QString &reason, const counter::Moment &now)
{
    if (reason.trimmed().isEmpty())
        throwError(QStringLiteral("Süre düzeltmesinin nedenini yazın."));
    const std::optional<qint64> at = accountElapsedMs(table, now);
    if (!hasAccount(table) || !at)
        throwError(QStringLiteral("%1 için düzeltilecek bir süre yok.").arg(tableName(table)));
    const qint64 before = calculate(table, *at).minutes;
    if (minutes == 0)
        return;
    if (before + minutes < 0)
        throwError(QStringLiteral("En fazla %1 dakika düşülebilir.").arg(before));
    const auto shown = qScopeGuard([&] { emit tableChanged(table); });
    counter::TimeChange c;
    c.kind = counter::TimeChange::Kind::Correction;
    c.atMs = std::max<qint64>(0, *at);
    c.minutes = minutes;
    c.reason = reason.trimmed();
    saveTimes(timesWith(
                  table, [&](AccountTimes &t) { t.changes << c; }, strToInt(shownFee(table))),
              newEvent(QStringLiteral("correct_time"), tableName(table),
                       {{"minutes", minutes},
                        {"reason", c.reason},
                        {"old_minutes", before},
                        {"new_minutes", before + minutes}}));
}

void Hall::setStart(int table, const QDateTime &start, const QString &reason,
                    const counter::Moment &now)
{
    if (reason.trimmed().isEmpty())
        throwError(QStringLiteral("Süre düzeltmesinin nedenini yazın."));
    const std::optional<qint64> at = accountElapsedMs(table, now);
    if (!hasAccount(table) || !at)
        throwError(QStringLiteral("%1 için düzeltilecek bir süre yok.").arg(tableName(table)));
    const QDateTime startAt = start.addMSecs(-start.time().msec());
    if (!startAt.isValid() || startAt > now.wall)
        throwError(QStringLiteral("Başlangıç şu andan sonra olamaz."));
    const QString date = shortDate(startAt.date());
    const QString time = longTime(startAt.time());
    const Account old = account(table);
    const auto shown = qScopeGuard([&] { emit tableChanged(table); });
    // The start moved earlier by `shift`: the changes' offsets grow by as much.
    const qint64 shift = startAt.msecsTo(now.wall) - *at;
    const qint64 fee = strToInt(shownFee(table));
    const QString text =
        QStringLiteral("Başlangıç %1 yerine %2: %3")
            .arg(old.time.left(5), startAt.time().toString(QStringLiteral("HH:mm")),
                 reason.trimmed());
    QList<AccountTimes> both = m_times;
    AccountTimes moved = timesOf(table) ? *timesOf(table) : AccountTimes{table, {}, {}, fee, {}};
    moved.table = table;
    moved.dateLine = date;
    moved.timeLine = time;
    for (counter::TimeChange &c : moved.changes)
        c.atMs += shift;
    counter::TimeChange mark;
    mark.kind = counter::TimeChange::Kind::Correction;
    mark.atMs = std::max<qint64>(0, *at + shift);
    mark.reason = text;
    moved.changes << mark;
    // The time left after the corrections made before may not fall below zero.
    counter::Pricing p = pricing(table);
    p.changes = moved.changes;
    p.startFee = moved.startFee;
    const qint64 after =
        counter::billOf(counter::pricedSegments(startAt, startAt.msecsTo(now.wall), fee, p), fee,
                        {}, 0)
            .minutes;
    if (after < 0)
        throwError(QStringLiteral("Bu başlangıçla süre %1 dakikaya düşer; başlangıç daha önce "
                                  "olmalı.")
                       .arg(after));
    // Both accounts' entries first, so that whichever lines the register holds after a crash
    // finds its own; the old one goes at the next save.
    both << moved;
    const auto undo = timesUndo();
    saveTimes(both, {}, false);
    RecordList next = m_register;
    next.set(RegisterLine::date(table), date);
    next.set(RegisterLine::startTime(table), time);
    try {
        saveList(m_register, m_paths.registerFile(), next,
                 newEvent(QStringLiteral("correct_time"), tableName(table),
                          {{"old", accountJson(old.date, old.time, old.fee)},
                           {"new", accountJson(date, time, old.fee)},
                           {"reason", reason.trimmed()}}));
    } catch (...) {
        undo();
        throw;
    }
    try {
        saveTimes(m_times, {});
    } catch (const RuntimeError &) {
        // The old entry stays behind, matching no account, until the next save.
    }
    if (m_ledger->isOpen() && m_ledger->reopen()) {
        counter::Moment opened = now;
        opened.wall = startAt;
        opened.sinceBootMs = now.sinceBootMs - startAt.msecsTo(now.wall);
        m_ledger->setOpening(table, counter::openingAt(opened, date, time));
    }
}

void Hall::saveBooked(int table, const RecordList &next, const ledger::NewEvent &change)
{
    const auto shown = qScopeGuard([&] { emit tableChanged(table); });
    RecordList &booked = m_booked[size_t(table)];
    saveList(booked, m_paths.tableExtrasFile(tableName(table)), next, change);
    m_floor.setBooked(table, counter::bookedOf(booked.lines()));
}

bool Hall::book(int table, int k)
{
    if (!m_catalogue.has(PairLine::price(k)))
        return false;
    RecordList next = booked(table);
    // A trailing name without a price (a hand-edited file) is neither shown nor charged;
    // booking after it would pair the new name with it as its price.
    if (next.count() % 2 != 0)
        next.removeAt(next.count() - 1);
    const QString name = m_catalogue.at(PairLine::name(k));
    const QString price = m_catalogue.at(PairLine::price(k));
    next.append(name);
    next.append(price);
    int amount = 0;
    tryStrToInt(price, &amount);
    saveBooked(table, next,
               newEvent(QStringLiteral("book"), tableName(table),
                        {{"name", name}, {"price", amount}}, amount));
    // Times that did not line up with the extras before say nothing of any of them.
    QList<qint64> &at = m_bookedAt[size_t(table)];
    const qsizetype before = next.count() / 2 - 1;
    if (at.size() != before)
        at = QList<qint64>(before, kUnknownTime);
    at.append(counter::momentNow().sinceBootMs);
    return true;
}

void Hall::removeExtra(int table, int k)
{
    RecordList next = booked(table);
    const QString name = next.at(PairLine::name(k));
    int price = 0;
    tryStrToInt(next.value(PairLine::price(k)), &price);
    next.removeAt(PairLine::price(k));
    next.removeAt(PairLine::name(k));
    saveBooked(table, next,
               newEvent(QStringLiteral("remove"), tableName(table),
                        {{"name", name}, {"price", price}}, -price));
    QList<qint64> &at = m_bookedAt[size_t(table)];
    if (k < at.size())
        at.removeAt(k);
}

QScopeGuard<std::function<void()>> Hall::forgetTimesIfChanged(int table)
{
    const std::optional<QStringList> before =
        bookedKnown(table) ? std::optional(m_booked[size_t(table)].lines()) : std::nullopt;
    return qScopeGuard(std::function<void()>([this, table, before] {
        if (!before || !bookedKnown(table) || m_booked[size_t(table)].lines() != *before)
            m_bookedAt[size_t(table)].clear();
    }));
}

bool Hall::bookedWithin(int table, int k, qint64 ms) const
{
    if (table < 0 || size_t(table) >= m_bookedAt.size() || !bookedKnown(table))
        return false;
    const QList<qint64> &at = m_bookedAt[size_t(table)];
    // Times that no longer line up with the file say nothing.
    if (at.size() != m_booked[size_t(table)].count() / 2 ||
        at.value(k, kUnknownTime) == kUnknownTime)
        return false;
    // On the time since boot: a wall clock set back makes nothing recent.
    const qint64 since = counter::momentNow().sinceBootMs - at.at(k);
    return since >= 0 && since < ms;
}

void Hall::clearExtras(int table)
{
    const QList<ledger::BookedExtra> extras = pairsOf(booked(table).lines());
    saveBooked(
        table, RecordList(),
        newEvent(QStringLiteral("clear"), tableName(table), extrasJson(extras), -priceSum(extras)));
    m_bookedAt[size_t(table)].clear();
}

// ---- The cash desk ----------------------------------------------------------------------

ledger::BillRecord Hall::accountRecord(int table, const counter::Moment &now) const
{
    ledger::BillRecord record;
    record.tablePos = table;
    record.tableName = tableName(table);
    record.openedDate = m_register.value(RegisterLine::date(table));
    record.openedTime = m_register.value(RegisterLine::startTime(table));
    record.feeLine =
        record.openedDate.isEmpty() ? QString() : m_register.value(RegisterLine::fee(table));
    record.closedAt = now.wall;
    RecordList booked;
    const QString path = m_paths.tableExtrasFile(record.tableName);
    if (files::kind(path) != files::Kind::Missing)
        record.extrasFile = booked.load(path);
    const counter::Pricing p = pricing(table);
    record.bill = counter::accountBill(m_register, m_settings, table, booked.lines(), now,
                                       openings(), &p, &record.segments);
    for (int k = 0; PairLine::price(k) < booked.count(); ++k)
        record.extras << ledger::BookedExtra{booked.at(PairLine::name(k)),
                                             strToInt(booked.at(PairLine::price(k)))};
    return record;
}

ledger::BillRecord Hall::droppedTime(int table, const counter::Moment &now,
                                     const QString &reason) const
{
    ledger::BillRecord record;
    record.tablePos = table;
    record.tableName = tableName(table);
    record.openedDate = m_register.value(RegisterLine::date(table));
    record.openedTime = m_register.value(RegisterLine::startTime(table));
    record.feeLine = m_register.value(RegisterLine::fee(table));
    record.closedAt = record.cancelledAt = now.wall;
    record.cancelReason = reason;
    // Its time alone: the extras stay on the table, listed and not counted.
    try {
        const counter::Pricing p = pricing(table);
        record.bill = counter::accountBill(m_register, m_settings, table, {}, now, openings(), &p,
                                           &record.segments);
    } catch (const RuntimeError &) {
        // What cannot be read is kept as the register holds it, with no amount.
    }
    if (const auto booked = extrasOf(record.tableName + kExtrasSuffix)) {
        record.extrasFile = booked->first;
        record.extras = booked->second;
        for (ledger::BookedExtra &extra : record.extras)
            extra.carried = true;
    }
    return record;
}

std::optional<std::pair<QByteArray, QList<ledger::BookedExtra>>>
Hall::extrasOf(const QString &file) const
{
    const QString path = m_paths.extrasDir() + QLatin1Char('/') + file;
    if (files::kind(path) == files::Kind::Missing)
        return std::nullopt;
    QByteArray bytes;
    try {
        bytes = files::readRecordFile(path);
    } catch (const RuntimeError &) {
        return std::nullopt;
    }
    // The file itself is kept with the bill.
    return std::make_pair(bytes, pairsOf(RecordList::fromBytes(bytes)));
}

std::optional<ledger::BillRecord> Hall::droppedExtras(const QString &file, const QDateTime &now,
                                                      const QString &reason) const
{
    const auto booked = extrasOf(file);
    if (!booked || booked->first.isEmpty())
        return std::nullopt;
    ledger::BillRecord record;
    record.extrasFile = booked->first;
    record.extras = booked->second;
    record.tableName = file.endsWith(kExtrasSuffix) ? file.chopped(kExtrasSuffix.size()) : file;
    for (int t = 0; t < tableCount(); ++t)
        if (tableName(t) == record.tableName)
            record.tablePos = t;
    record.closedAt = record.cancelledAt = now;
    record.cancelReason = reason;
    record.bill = counter::bill(0, 0, {}, priceSum(record.extras));
    return record;
}

void Hall::move(int from, int to)
{
    // The booking times go with the extras, once the files are read again.
    QList<qint64> carried = m_bookedAt[size_t(from)];
    bool moved = false;
    const auto shown = qScopeGuard([&] {
        reread(from);
        reread(to);
        if (moved)
            m_bookedAt[size_t(to)] = std::move(carried);
        emit tableChanged(from);
        emit tableChanged(to);
    });
    m_operations->move(from, to,
                       newEvent(QStringLiteral("move"), tableName(from),
                                {{"from", tableName(from)}, {"to", tableName(to)}}));
    moved = true;
    m_ledger->moveOpening(from, to); // best effort: else billed by its register text
}

void Hall::cancel(qint64 id, const QString &reason, const QDateTime &now,
                  const std::optional<ledger::Operations::Reopen> &reopen,
                  const std::optional<counter::Opening> &opening, std::optional<bool> refunded)
{
    const auto shown = qScopeGuard([&] {
        if (reopen) {
            reread(reopen->table);
            emit tableChanged(reopen->table);
        }
    });
    const std::optional<ledger::BillRecord> bill = m_ledger->bill(id);
    m_operations->cancel(
        id, reason, now, reopen,
        newEvent(QStringLiteral("cancel"), bill ? bill->tableName : QString(),
                 cancelDetail(id, reason, reopen ? tableName(reopen->table) : QString(), refunded),
                 bill ? std::optional<qint64>(-bill->due().net) : std::nullopt),
        refunded.value_or(false));
    // Best effort: without it the reopened account is billed by its register text.
    if (reopen && opening)
        m_ledger->setOpening(reopen->table, opening);
    // Running on from its start, the account takes back its pauses and corrections.
    if (reopen && bill && m_timesProblem.isEmpty() &&
        m_register.value(RegisterLine::date(reopen->table)) == bill->openedDate &&
        m_register.value(RegisterLine::startTime(reopen->table)) == bill->openedTime) {
        if (auto times =
                timesOfBill(*bill, reopen->table, !pricing(reopen->table).bands.isEmpty())) {
            try {
                saveTimes(m_times + QList<AccountTimes>{*times}, {});
            } catch (const RuntimeError &) {
                // Billed by its lines alone, as an account without them.
            }
        }
    }
}

std::optional<AccountTimes> Hall::timesOfBill(const ledger::BillRecord &bill, int table, bool bands)
{
    using Kind = counter::TimeChange::Kind;
    AccountTimes t{table, bill.openedDate, bill.openedTime, 0, {}};
    std::optional<qint64> fee;
    for (const counter::Segment &s : bill.segments) {
        switch (s.kind) {
        case counter::Segment::Kind::Pause:
            t.changes << counter::TimeChange{Kind::Pause, s.fromMs, 0, 0, {}}
                      << counter::TimeChange{Kind::Resume, s.toMs, 0, 0, {}};
            break;
        case counter::Segment::Kind::Correction:
            t.changes << counter::TimeChange{Kind::Correction, s.fromMs, 0, s.minutes, s.reason};
            break;
        case counter::Segment::Kind::Time:
            // Under bands a segment's own fee may be the band's: only a plain table's tell.
            if (!fee)
                t.startFee = *(fee = s.fee);
            else if (!bands && s.fee != *fee)
                t.changes << counter::TimeChange{Kind::Fee, s.fromMs, *(fee = s.fee), 0, {}};
            break;
        }
    }
    if (t.changes.isEmpty())
        return std::nullopt;
    return t;
}

void Hall::dropEndedTimes()
{
    // Only where an entry no longer names an account: no write at every settle.
    const bool ended = std::any_of(m_times.cbegin(), m_times.cend(), [this](const AccountTimes &t) {
        return m_register.value(RegisterLine::date(t.table)) != t.dateLine ||
               m_register.value(RegisterLine::startTime(t.table)) != t.timeLine;
    });
    if (!ended || !m_timesProblem.isEmpty())
        return;
    try {
        saveTimes(m_times, {});
    } catch (const RuntimeError &) {
        // Left behind, an entry names no account: the next save drops it.
    }
}

bool Hall::wipeDropsTime() const
{
    for (int t = 0; RegisterLine::fee(t) < m_register.count(); ++t)
        if (!m_register.value(RegisterLine::date(t)).isEmpty())
            return true;
    return false;
}

void Hall::wipeAccounts()
{
    for (int t = 0; RegisterLine::fee(t) < m_register.count(); ++t)
        if (const QString paid = paidAheadProblem(t); !paid.isEmpty())
            throwError(paid);
    const auto shown = qScopeGuard([&] {
        dropEndedTimes();
        emit accountsCleared();
        emit tablesChanged();
    });
    // Every account the register holds, also of tables beyond the count, which keep theirs.
    const counter::Moment now = counter::momentNow();
    QList<ledger::BillRecord> dropped;
    qint64 time = 0;
    for (int t = 0; RegisterLine::fee(t) < m_register.count(); ++t) {
        if (m_register.value(RegisterLine::date(t)).isEmpty())
            continue;
        dropped << droppedTime(t, now, QStringLiteral("Masa bilgileri silindi"));
        time += dropped.last().bill.timeCharge;
    }
    m_operations->clearAccounts(dropped, newEvent(QStringLiteral("wipe"), QString(),
                                                  {{"accounts", int(dropped.size())}}, -time));
}

bool Hall::hasDroppableExtras(int table) const
{
    return droppedExtras(tableName(table) + kExtrasSuffix, clock::now(), QString()).has_value();
}

void Hall::dropFreeExtras(int table)
{
    const auto shown = qScopeGuard([&] {
        reread(table);
        emit tableChanged(table);
    });
    const QString file = tableName(table) + kExtrasSuffix;
    const auto bill = droppedExtras(file, clock::now(), QStringLiteral("Silindi"));
    if (!m_operations->removeExtras(
            bill, file,
            newEvent(QStringLiteral("clear"), tableName(table),
                     extrasJson(bill ? bill->extras : QList<ledger::BookedExtra>()),
                     bill ? -bill->bill.extrasTotal : 0)))
        throwError(QStringLiteral("%1 silinemedi.")
                       .arg(files::native(m_paths.tableExtrasFile(tableName(table)))));
}

void Hall::addTable()
{
    const int t = tableCount();
    if (!m_register.known() || !m_settings.known())
        throwError(QStringLiteral("Masa bilgileri okunamadığı için masa eklenemez."));
    checkEditable();
    if (t >= kMaxTables)
        throwError(QStringLiteral("En fazla %1 masa olabilir.").arg(kMaxTables));
    // From the prefix, past the names taken; or as an entry left past the count names it.
    const QString name = tableName(t);
    // Left by a count lowered earlier: never handed to a new guest unseen.
    if (!m_register.value(RegisterLine::date(t)).isEmpty())
        throwError(QStringLiteral("Kayıtlarda %1 için önceden kalmış bir hesap var; masa "
                                  "eklenmedi. Masa Oluştur ile masa sayısını artırırsanız o hesap "
                                  "geri gelir.")
                       .arg(name));
    if (const counter::Booked left = bookedOn(t); left.count > 0 || !left.total)
        throwError(QStringLiteral("%1 dosyasında önceden kalmış extralar var; masa eklenmedi.")
                       .arg(files::native(m_paths.tableExtrasFile(name))));
    RecordList next = m_register;
    while (next.count() <= RegisterLine::fee(t))
        next.append(QString());
    next.set(RegisterLine::TableCount, QString::number(t + 1));
    for (int line : {RegisterLine::date(t), RegisterLine::startTime(t), RegisterLine::fee(t)})
        next.set(line, QString());
    const auto listed = qScopeGuard([this] { relist(); });
    saveList(m_register, m_paths.registerFile(), next,
             newEvent(QStringLiteral("table_add"), name, {{"name", name}, {"count", t + 1}}));
}

QString Hall::lastTableProblem() const
{
    const int t = tableCount() - 1;
    if (t < 0)
        return QStringLiteral("Silinecek masa yok.");
    if (hasAccount(t))
        return QStringLiteral("%1 açık: yalnız boş ve extrası olmayan masa silinir.")
            .arg(tableName(t));
    const counter::Booked booked = bookedOn(t);
    if (booked.count > 0 || !booked.total)
        return QStringLiteral("%1 üzerinde extralar var: yalnız boş ve extrası olmayan masa "
                              "silinir.")
            .arg(tableName(t));
    return QString();
}

void Hall::removeLastTable()
{
    checkEditable();
    if (const QString why = lastTableProblem(); !why.isEmpty())
        throwError(why);
    const int t = tableCount() - 1;
    const QString name = tableName(t);
    // Only the count changes: the register keeps its layout.
    RecordList next = m_register;
    next.set(RegisterLine::TableCount, QString::number(t));
    const auto listed = qScopeGuard([this] { relist(); });
    saveList(m_register, m_paths.registerFile(), next,
             newEvent(QStringLiteral("table_remove"), name, {{"name", name}, {"count", t}}));
    dropLayoutPast(t);
}

bool Hall::createTablesDropsExtras() const
{
    const QDateTime now = clock::now();
    for (const QString &file : files::list(m_paths.extrasDir()))
        if (droppedExtras(file, now, QString()))
            return true;
    return false;
}

void Hall::createTables(const QString &countText, const QString &prefix)
{
    checkEditable();
    const QStringList extrasFiles = files::list(m_paths.extrasDir());
    const QString oldCount = m_register.value(RegisterLine::TableCount);
    const QString oldPrefix = m_settings.value(SettingsLine::TablePrefix);
    // From here the table list shows what the files hold, after a failure too.
    const auto listed = qScopeGuard([this] {
        listTables();
        loadExtras();
        emit accountsCleared();
        emit tablesChanged();
    });
    // Only the count changes: the accounts stay with the positions of the tables. A
    // hand-shortened register is padded, so that every table has its lines again.
    RecordList reg = m_register;
    reg.padFrom(defaultRegister());
    reg.set(RegisterLine::TableCount, countText);
    RecordList settings = m_settings;
    settings.padFrom(defaultSettings());
    settings.set(SettingsLine::TablePrefix, prefix);
    const QDateTime now = clock::now();
    qint64 dropped = 0;
    for (const QString &file : extrasFiles)
        if (const auto bill = droppedExtras(file, now, QString()))
            dropped += bill->bill.extrasTotal;
    saveList(m_register, m_paths.registerFile(), reg,
             newEvent(QStringLiteral("tables"), QString(),
                      {{"old", oldCount.toInt()}, {"new", countText.toInt()}, {"prefix", prefix}},
                      -dropped));
    // A prefix left as it was changes no setting: no event of its own.
    const QJsonObject prefixChange = settingsChange(m_settings, settings);
    saveList(m_settings, m_paths.settingsFile(), settings,
             prefixChange.value(QStringLiteral("changed")).toObject().isEmpty()
                 ? ledger::NewEvent{}
                 : newEvent(QStringLiteral("settings"), QString(), prefixChange));
    emit settingsChanged();
    listTables();
    for (const QString &file : extrasFiles) {
        const auto bill = droppedExtras(file, now, QStringLiteral("Masalar yeniden oluşturuldu"));
        // A file that cannot be removed is left as it was, and the next one taken. Its money is
        // in the tables event.
        m_operations->removeExtras(bill, file, {});
    }
    keepLayoutOf(tableCount(), oldPrefix);
}

QJsonObject Hall::settingsChange(const RecordList &before, const RecordList &after)
{
    QJsonObject changed;
    for (const auto &[line, key] : kSettingKeys)
        if (before.value(line) != after.value(line))
            changed.insert(QLatin1String(key),
                           QJsonObject{{"old", before.value(line)}, {"new", after.value(line)}});
    return {{"changed", changed}};
}

void Hall::saveSettings(const RecordList &next, const std::optional<QStringList> &fees)
{
    if (fees) {
        const bool exists = feeListExists();
        const QStringList old = exists ? feeList() : QStringList();
        if (!exists || old != *fees) {
            const QJsonObject fee{{"old", old.join(", ")}, {"new", fees->join(", ")}};
            m_operations->saveFile(m_paths.feeListFile(), RecordList::toBytes(*fees),
                                   newEvent(QStringLiteral("settings"), QString(),
                                            {{"changed", QJsonObject{{"fees", fee}}}}));
        }
    }
    const auto changed = qScopeGuard([this] { emit settingsChanged(); });
    // A new unit fee bills open accounts from now on: the time played keeps the fee it had.
    const QString oldFee = m_settings.value(SettingsLine::UnitFee);
    const QString newFee = next.value(SettingsLine::UnitFee);
    int oldAmount = 0, newAmount = 0;
    QList<AccountTimes> times = m_times;
    bool timesChanged = false;
    if (oldFee != newFee && !multipleFees() && !isOn(next.value(SettingsLine::MultipleFees)) &&
        tryStrToInt(oldFee, &oldAmount) && tryStrToInt(newFee, &newAmount) &&
        m_timesProblem.isEmpty()) {
        const counter::Moment now = counter::momentNow();
        for (int t = 0; t < tableCount(); ++t) {
            const std::optional<qint64> at = accountElapsedMs(t, now);
            if (!hasAccount(t) || kindOf(t) || !at || *at < 60000)
                continue;
            times = timesWith(
                t,
                [&](AccountTimes &a) {
                    a.changes << counter::TimeChange{
                        counter::TimeChange::Kind::Fee, *at, newAmount, 0, {}};
                },
                oldAmount, std::move(times));
            timesChanged = true;
        }
    }
    const auto undo = timesUndo();
    if (timesChanged)
        saveTimes(times, {});
    try {
        saveList(m_settings, m_paths.settingsFile(), next,
                 newEvent(QStringLiteral("settings"), QString(), settingsChange(m_settings, next)));
    } catch (...) {
        if (timesChanged)
            undo();
        throw;
    }
}

void Hall::saveCatalogue(const RecordList &next)
{
    const auto changed = qScopeGuard([this] { emit catalogueChanged(); });
    QStringList oldNames, newNames, added, removed, changedNames;
    for (int k = 0; PairLine::name(k) < m_catalogue.count(); ++k)
        oldNames << m_catalogue.at(PairLine::name(k));
    for (int k = 0; PairLine::name(k) < next.count(); ++k)
        newNames << next.at(PairLine::name(k));
    for (const QString &name : std::as_const(newNames))
        if (!oldNames.contains(name))
            added << name;
    for (const QString &name : std::as_const(oldNames))
        if (!newNames.contains(name))
            removed << name;
    for (int k = 0; PairLine::name(k) < next.count(); ++k) {
        const int old = oldNames.indexOf(next.at(PairLine::name(k)));
        if (old >= 0 && m_catalogue.value(PairLine::price(old)) != next.value(PairLine::price(k)))
            changedNames << next.at(PairLine::name(k));
    }
    saveList(m_catalogue, m_paths.catalogueFile(), next,
             newEvent(QStringLiteral("catalogue"), QString(),
                      {{"old", int(oldNames.size())},
                       {"new", int(newNames.size())},
                       {"added", QJsonArray::fromStringList(added)},
                       {"removed", QJsonArray::fromStringList(removed)},
                       {"changed", QJsonArray::fromStringList(changedNames)}}));
}

bool Hall::catchUp()
{
    bool changed = true;
    const auto floor = qScopeGuard([&] {
        if (changed) {
            m_preloaded = nullptr; // the step may have changed what was read
            rereadLayout();
            listTables();
            loadExtras();
            emit tablesChanged();
        }
    });
    changed = m_operations->finishPending();
    return changed;
}

} // namespace kv::hall
