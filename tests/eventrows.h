#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>

// The ledger's events after `afterId` as "kind operator approver" (the approver when there is
// one), in order.
inline QStringList eventRows(const QString &connection, qint64 afterId = 0)
{
    QSqlQuery q(QSqlDatabase::database(connection));
    q.prepare("SELECT kind, operator, json_extract(detail, '$.approved_by') FROM events"
              " WHERE id > ? ORDER BY id");
    q.addBindValue(afterId);
    QStringList rows;
    if (q.exec())
        while (q.next())
            rows << QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString()}
                        .join(' ')
                        .trimmed();
    return rows;
}
