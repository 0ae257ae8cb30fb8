#pragma once

// What the cash-desk tests share: settling through the bill window, and reading the ledger.
#include "deskfixture.h"

#include "billwindow.h"
#include "cashdesk.h"
#include "ui_billwindow.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariantList>

// Runs "Hesabı Kapat" on the selected table with its window answered: paid, or given up.
inline void settle(Desk &desk, bool pay = true)
{
    BillWindow *w = desk.forms.Cash->billWindow();
    ModalDriver driver(w, {[w, pay] { pay ? w->ui->PaidButton->click() : w->reject(); }});
    desk.run([&] { desk.forms.Cash->HesabiKapatClick(); });
}

// Rows of the ledger, read with a connection of the test's own.
inline QList<QVariantList> rows(const QString &file, const QString &sql)
{
    QList<QVariantList> out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "test-reader");
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            q.exec(sql);
            while (q.next()) {
                QVariantList row;
                for (int i = 0; i < q.record().count(); ++i)
                    row << q.value(i);
                out << row;
            }
        }
    }
    QSqlDatabase::removeDatabase("test-reader");
    return out;
}
