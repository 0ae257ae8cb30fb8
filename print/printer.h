#pragma once

#include "printersetup.h"
#include "receipt.h"

#include <QHash>
#include <QObject>

#include <memory>

class QTimer;

// Prints receipts where the setup says, off the window's thread: the counter never waits for
// a printer, and a printer that does not answer is given up after a timeout and said. Jobs
// for one printer print one after another, in the order given; a job for another printer
// (or a PDF) does not wait behind them.
namespace kv::print {

// What is printed: the drawer kicks for a bill paid in cash only.
enum class Purpose { Bill, CashBill, Copy, Report, Test };

class Printer : public QObject
{
    Q_OBJECT

public:
    explicit Printer(QObject *parent = nullptr);
    // Jobs not started are dropped; one being printed is waited for, at most its timeout.
    ~Printer() override;

    // How long a printer may take to answer (connect, status, write) before it is given up.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    int timeoutMs() const { return m_timeoutMs; }

    // Starts printing and returns at once with the job's number; finished() says how it went.
    // `title` names the job (and the PDF file: "<folder>/<title> <yyyy-MM-dd HH.mm.ss>.pdf").
    quint64 print(const Receipt &receipt, const PrinterSetup &setup, Purpose purpose,
                  const QString &title);
    // Jobs started and not finished.
    int pending() const { return m_pending; }

signals:
    // Job `job` ended. `ok`: printed (`message` says where, e.g. the PDF's path); else
    // `message` says why not, in Turkish, for the operator.
    void finished(quint64 job, bool ok, const QString &message);

private:
    struct Shared;
    struct Waiting
    {
        QString printer; // the printer's queue it waits in
        QString noAnswer;
        QTimer *watchdog = nullptr; // from when it starts
    };
    // Job `job` started: it has until the timeout, and a second more, to report.
    void started(quint64 job);
    // A job that did not report in time: it and those waiting behind it for its printer are
    // given up (those have not started, so none of them prints late).
    void givenUp(quint64 job);
    // A job's outcome, on this object's thread; a job given up already is not reported again.
    void reported(quint64 job, bool ok, const QString &message);

    int m_timeoutMs = 5000;
    int m_pending = 0;
    quint64 m_lastJob = 0;
    std::shared_ptr<Shared> m_shared; // with the worker, which may outlive this object
    QHash<quint64, Waiting> m_waiting;
};

} // namespace kv::print
