#pragma once

#include "ledger.h"

#include <QAbstractTableModel>
#include <QVariant>

#include <array>
#include <optional>

// The events of one business day as "İşlem Geçmişi" lists them, newest first. The day is
// read at once, but a row's words are made only when the view fetches it: a busy day holds
// thousands of events, and a window shows a few dozen.
class EventsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Time, Cashier, Kind, Table, Amount, Detail, ColumnCount };
    static constexpr int IdRole = Qt::UserRole;       // the event's number
    static constexpr int KindRole = Qt::UserRole + 1; // the kind as stored

    // Empty: any.
    struct Filter
    {
        QString table, kind, cashier;
        bool operator==(const Filter &) const = default;
    };

    using QAbstractTableModel::QAbstractTableModel;

    // Reads the events of a business day, 06:00 to 06:00 by the wall clock that wrote them,
    // and drops the filter. None without a ledger that can be read; "Defter okunamadı: ..."
    // when reading fails.
    void setDay(const kv::ledger::Ledger *ledger, const QDate &day);
    void setFilter(const Filter &filter);
    const Filter &filter() const { return m_filter; }

    // What the day's events hold, for the filters: tables and cashiers in alphabetical order,
    // kinds in the program's order with unknown ones after.
    const QStringList &tables() const { return m_tables; }
    const QStringList &kinds() const { return m_kinds; }
    const QStringList &cashiers() const { return m_cashiers; }
    // The events the filter lets through; fewer may be fetched yet.
    int matchCount() const { return int(m_matching.size()); }
    int dayCount() const { return int(m_events.size()); }

    // A fetched row's text.
    const QString &text(int row, int column) const { return m_rows.at(row).at(column); }

    // The last event of the ledger: its number and hash. None where there is none or the
    // ledger cannot be read.
    struct Head
    {
        qint64 id = 0;
        QString hash;
    };
    static std::optional<Head> head(const kv::ledger::Ledger *ledger);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

private:
    struct Event
    {
        qint64 id = 0;
        QString at, cashier, kind, table, detail;
        QVariant amount;
        QStringList tables; // its own and where it took the account
    };
    using Row = std::array<QString, ColumnCount>;
    bool matches(const Event &event) const;
    Row rowOf(const Event &event) const;

    QList<Event> m_events; // the day's, newest first
    QList<qsizetype> m_matching;
    QList<Row> m_rows; // the first of m_matching, in words
    Filter m_filter;
    QStringList m_tables, m_kinds, m_cashiers;
};
