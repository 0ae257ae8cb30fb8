#include "daybillsmodel.h"

#include "applocale.h"
#include "billing.h"
#include "floor.h"

#include <QColor>

using namespace kv;

const QString &DayBillsModel::dateText(const QDate &date)
{
    if (date != m_lastDate || m_lastDateText.isNull()) {
        m_lastDate = date;
        m_lastDateText = shortDate(date);
    }
    return m_lastDateText;
}

DayBillsModel::Row DayBillsModel::rowOf(const ledger::BillRecord &b)
{
    using counter::amountText;
    // A cancel of a later day (which leaves the bill in its own day's figures) says its date.
    const bool laterDay =
        b.cancelled() && counter::businessDay(b.cancelledAt) != counter::businessDay(b.closedAt);
    const QString cancelled = laterDay ? shortDate(b.cancelledAt.date()) + QLatin1Char(' ') +
                                             longTime(b.cancelledAt.time())
                                       : longTime(b.cancelledAt.time());
    const QString status = b.restart ? QStringLiteral("Yeniden başlatıldı (%1)").arg(cancelled)
                           : b.cancelled()
                               ? QStringLiteral("İptal (%1): %2").arg(cancelled, b.cancelReason)
                               : QStringLiteral("Ödendi");
    Row row;
    row.text = {dateText(b.closedAt.date()) + QLatin1Char(' ') + longTime(b.closedAt.time()),
                b.tableName,
                counter::hoursAndMinutes(b.bill.minutes),
                amountText(b.bill.timeCharge),
                amountText(b.bill.extrasTotal),
                amountText(b.bill.total),
                status};
    row.key = {b.closedAt,         b.tableName,  b.bill.minutes, b.bill.timeCharge,
               b.bill.extrasTotal, b.bill.total, status};
    return row;
}

void DayBillsModel::setBills(QList<ledger::BillRecord> bills)
{
    beginResetModel();
    m_bills = std::move(bills);
    m_rows.clear();
    m_rows.reserve(m_bills.size());
    m_lastDateText = QString(); // in the locale of now
    for (const ledger::BillRecord &b : std::as_const(m_bills))
        m_rows << rowOf(b);
    endResetModel();
}

bool DayBillsModel::replaceBill(const ledger::BillRecord &bill)
{
    for (qsizetype row = 0; row < m_bills.size(); ++row) {
        if (m_bills.at(row).id != bill.id)
            continue;
        m_bills[row] = bill;
        m_rows[row] = rowOf(bill);
        emit dataChanged(index(int(row), 0), index(int(row), ColumnCount - 1));
        return true;
    }
    return false;
}

int DayBillsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int DayBillsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant DayBillsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    const Row &row = m_rows.at(index.row());
    const ledger::BillRecord &bill = m_bills.at(index.row());
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole:
        return row.text.at(column);
    case SortRole:
        return row.key.at(column);
    case BillRole:
        return bill.id;
    case Qt::TextAlignmentRole:
        if (column >= Time && column <= Total)
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    case Qt::ForegroundRole:
        return bill.cancelled() ? QVariant(QColor(0x99, 0x99, 0x99)) : QVariant();
    case Qt::ToolTipRole:
        return bill.cancelled() ? QVariant(bill.cancelReason) : QVariant();
    default:
        return QVariant();
    }
}

QVariant DayBillsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const std::array<QString, ColumnCount> titles{
        QStringLiteral("Kapanış"),     QStringLiteral("Masa"),     QStringLiteral("Süre"),
        QStringLiteral("Saat Tutarı"), QStringLiteral("Extralar"), QStringLiteral("Toplam"),
        QStringLiteral("Durum")};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < ColumnCount)
        return titles.at(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}
