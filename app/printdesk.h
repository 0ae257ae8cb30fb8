#pragma once

#include "bills.h"
#include "printer.h"

#include <QHash>
#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;
class PrintPreview;
namespace kv::hall {
class Hall;
}

// What the counter prints, where the hall's setup says, headed by the hall's name and
// address. Printing never waits: jobs run off the window's thread, and each one's outcome is
// said when it ends (the status bar for success, a message that blocks nothing for a failure).
class PrintDesk : public QObject
{
    Q_OBJECT

public:
    // `window`: the main window, parent of the preview and of the failures' messages.
    PrintDesk(kv::hall::Hall &hall, QWidget *window);
    ~PrintDesk() override;

    // How long a printer may take to answer before it is given up.
    void setTimeoutMs(int ms) { m_printer.setTimeoutMs(ms); }
    kv::print::Heading heading() const;
    int paperMm() const;

    // Starts printing and returns at once. `paid`: a bill already settled, which a failure
    // must not make the operator doubt.
    void print(const kv::print::Receipt &receipt, kv::print::Purpose purpose, const QString &title,
               bool paid = false);
    // With another setup, its outcome given to `done` alone (the settings' test page).
    void printWith(const kv::print::Receipt &receipt, const kv::print::PrinterSetup &setup,
                   kv::print::Purpose purpose, const QString &title,
                   std::function<void(bool ok, const QString &message)> done);
    // The guest's bill: Bill or CashBill as paid, Copy for a reprint ("KOPYA").
    void printBill(const kv::ledger::BillRecord &bill, kv::print::Purpose purpose,
                   bool paid = false);
    static QString billTitle(const kv::ledger::BillRecord &bill);

    // "Baskı Önizleme": the receipt at the roll's width; printed when the operator says so.
    void preview(const kv::print::Receipt &receipt, kv::print::Purpose purpose,
                 const QString &title);
    void previewBill(const kv::ledger::BillRecord &bill, kv::print::Purpose purpose);

    // Jobs started and not finished.
    int pending() const { return m_printer.pending(); }

signals:
    // A job printed: what the status bar says.
    void printed(const QString &message);

private:
    // `printedNote`: run when it printed.
    void print(const kv::print::Receipt &receipt, kv::print::Purpose purpose, const QString &title,
               bool paid, std::function<void()> printedNote);
    // The receipt in the preview; true when the operator asked it printed.
    bool previewAsked(const kv::print::Receipt &receipt, const QString &title);
    void showProblem(const QString &text);

    kv::hall::Hall &m_hall;
    QWidget *m_window;
    QPointer<PrintPreview> m_preview;
    // One for all jobs: it prints them one after another on each printer.
    kv::print::Printer m_printer;
    QHash<quint64, std::function<void(bool, const QString &)>> m_done;
};
