#include "eventsmodel.h"

#include "errors.h"
#include "eventtext.h"
#include "floor.h"

#include <QCollator>
#include <QColor>
#include <QScopeGuard>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

using namespace kv;

namespace {

// Rows put into words at each fetch: a few screens.
constexpr int kBatch = 200;

// The moment's text as an event's `at` begins with it. The offset that follows is left out
// of the comparison, so the range is the wall clock's: a night that changes daylight saving
// keeps every event of its business day, both passes of a repeated hour included.
QString wallText(const QDate &day)
{
    return day.toString(Qt::ISODate) + QStringLiteral("T06:00:00");
}

QSqlDatabase connectionOf(const ledger::Ledger *ledger)
{
    return QSqlDatabase::database(ledger->connectionName(), false);
}

} // namespace

void EventsModel::setDay(const ledger::Ledger *ledger, const QDate &day)
{
    beginResetModel();
    m_events.clear();
    m_matching.clear();
    m_rows.clear();
    m_filter = {};
    m_tables.clear();
    m_kinds.clear();
    m_cashiers.clear();
    const auto reset = qScopeGuard([this] { endResetModel(); });
    if (!ledger || !ledger->readable())
        return;
    QSqlQuery q(connectionOf(ledger));
    q.setForwardOnly(true);
    // By number, not by time: the clock may have been set back, and an hour may repeat.
    q.prepare(QStringLiteral("SELECT id, at, operator, kind, table_name, detail, amount"
                             " FROM events WHERE at >= ? AND at < ? ORDER BY id DESC"));
    q.addBindValue(wallText(day));
    q.addBindValue(wallText(day.addDays(1)));
    if (!q.exec())
        throwError(QStringLiteral("Defter okunamadı: %1").arg(q.lastError().text()));
    QSet<QString> tables, kinds, cashiers;
    while (q.next()) {
        Event e;
        e.id = q.value(0).toLongLong();
        e.at = q.value(1).toString();
        e.cashier = q.value(2).toString();
        e.kind = q.value(3).toString();
        e.table = q.value(4).toString();
        e.detail = q.value(5).toString();
        e.amount = q.value(6);
        e.tables = ledger::eventTables(e.kind, e.table, e.detail);
        for (const QString &t : std::as_const(e.tables))
            tables.insert(t);
        kinds.insert(e.kind);
        cashiers.insert(e.cashier);
        m_matching << m_events.size();
        m_events << std::move(e);
    }
    q.finish();

    QCollator collator(QLocale(QLocale::Turkish, QLocale::Turkey));
    collator.setNumericMode(true); // "Masa 2" before "Masa 10"
    const auto sorted = [&collator](const QSet<QString> &values) {
        QStringList list(values.cbegin(), values.cend());
        std::sort(list.begin(), list.end(), collator);
        return list;
    };
    m_tables = sorted(tables);
    m_cashiers = sorted(cashiers);
    for (const QString &kind : ledger::eventKinds())
        if (kinds.remove(kind))
            m_kinds << kind;
    m_kinds << sorted(kinds);
}

bool EventsModel::matches(const Event &e) const
{
    return (m_filter.table.isEmpty() || e.tables.contains(m_filter.table)) &&
           (m_filter.kind.isEmpty() || e.kind == m_filter.kind) &&
           (m_filter.cashier.isEmpty() || e.cashier == m_filter.cashier);
}

void EventsModel::setFilter(const Filter &filter)
{
    beginResetModel();
    m_filter = filter;
    m_matching.clear();
    m_rows.clear();
    for (qsizetype i = 0; i < m_events.size(); ++i)
        if (matches(m_events.at(i)))
            m_matching << i;
    endResetModel();
}

EventsModel::Row EventsModel::rowOf(const Event &e) const
{
    QString amount;
    if (e.amount.typeId() == QMetaType::LongLong || e.amount.typeId() == QMetaType::Int)
        amount = counter::amountText(e.amount.toLongLong());
    else if (!e.amount.isNull()) // a file written by hand: shown, not counted
        amount = e.amount.toString().simplified();
    return {ledger::eventTimeText(e.at),
            e.cashier.simplified(),
            ledger::eventKindText(e.kind),
            e.table.simplified(),
            amount,
            ledger::eventDetailText(e.kind, e.detail)};
}

bool EventsModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_rows.size() < m_matching.size();
}

void EventsModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    const int first = int(m_rows.size());
    const int last = int(qMin<qsizetype>(m_matching.size(), first + kBatch)) - 1;
    beginInsertRows(QModelIndex(), first, last);
    for (int row = first; row <= last; ++row)
        m_rows << rowOf(m_events.at(m_matching.at(row)));
    endInsertRows();
}

std::optional<EventsModel::Head> EventsModel::head(const ledger::Ledger *ledger)
{
    if (!ledger || !ledger->readable())
        return std::nullopt;
    QSqlQuery q(connectionOf(ledger));
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT id, hash FROM events ORDER BY id DESC LIMIT 1")) ||
        !q.next())
        return std::nullopt;
    return Head{q.value(0).toLongLong(), q.value(1).toString()};
}

int EventsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int EventsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant EventsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    const Event &e = m_events.at(m_matching.at(index.row()));
    switch (role) {
    case Qt::DisplayRole:
        return m_rows.at(index.row()).at(index.column());
    case Qt::ToolTipRole: // the detail may be longer than its column
        return index.column() == Detail ? QVariant(m_rows.at(index.row()).at(Detail)) : QVariant();
    case IdRole:
        return e.id;
    case KindRole:
        return e.kind;
    case Qt::TextAlignmentRole:
        return index.column() == Amount ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    case Qt::ForegroundRole: // money dropped stands out
        return index.column() == Amount && e.amount.toLongLong() < 0
                   ? QVariant(QColor(0xc0, 0x00, 0x00))
                   : QVariant();
    default:
        return QVariant();
    }
}

QVariant EventsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const std::array<QString, ColumnCount> titles{
        QStringLiteral("Zaman"), QStringLiteral("Kasiyer"), QStringLiteral("İşlem"),
        QStringLiteral("Masa"),  QStringLiteral("Tutar"),   QStringLiteral("Ayrıntı")};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < ColumnCount)
        return titles.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}
