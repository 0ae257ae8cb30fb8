#pragma once

#include "ledger.h"

#include <QAbstractTableModel>

#include <array>

// The bills of one day as "Gün Sonu" lists them: every cell's text made once when the day is
// read, so that painting, measuring and sorting the list cost no formatting.
class DayBillsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Closed, Table, Time, TimeCharge, Extras, Total, Status, ColumnCount };
    static constexpr int SortRole = Qt::UserRole;     // the value behind the text
    static constexpr int BillRole = Qt::UserRole + 1; // the bill's number

    using QAbstractTableModel::QAbstractTableModel;

    void setBills(QList<kv::ledger::BillRecord> bills);
    // One bill again, as the ledger holds it now (after a cancel); false when it is not listed.
    bool replaceBill(const kv::ledger::BillRecord &bill);
    const QList<kv::ledger::BillRecord> &bills() const { return m_bills; }
    // A cell's text, by the model's own row (not a sorted view's).
    const QString &text(int row, int column) const { return m_rows.at(row).text.at(column); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    struct Row
    {
        std::array<QString, ColumnCount> text;
        std::array<QVariant, ColumnCount> key;
    };
    Row rowOf(const kv::ledger::BillRecord &bill);
    const QString &dateText(const QDate &date);

    QList<kv::ledger::BillRecord> m_bills;
    QList<Row> m_rows;
    // A day's bills close on one or two dates: each written once.
    QDate m_lastDate;
    QString m_lastDateText;
};
