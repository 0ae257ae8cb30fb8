#pragma once

#include "ledger.h"

#include <QSqlDatabase>

#include <functional>

class QSqlError;
class QSqlQuery;

// How the ledger's writers run their statements: the operations and the event log share them.
namespace kv::ledger {

// The open connection; stops with a LedgerError saying why where the ledger is not open.
QSqlDatabase database(const Ledger &ledger);
// Stops with a LedgerError in the operator's words.
[[noreturn]] void sqlFailed(const QSqlError &e);
// Runs a statement; while another program holds the ledger, waits as long as the ledger's
// waiter lets it (the window keeps answering).
void execOrThrow(const Ledger &ledger, QSqlQuery &q);
// Runs the body in one transaction: all of it is in the ledger, or none of it. The write lock
// is taken at once, so the body never waits half way.
void transaction(const Ledger &ledger, const std::function<void(QSqlDatabase &)> &body);

} // namespace kv::ledger
