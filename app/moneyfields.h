#pragma once

#include "ledger.h"

#include <QString>

#include <optional>

class QLineEdit;

// What the money windows share: amounts typed in whole lira, and the moments they show.

// A field that takes whole lira only.
void makeAmountField(QLineEdit *field);
// The amount typed; none, after telling the operator `missing`, when nothing is.
std::optional<qint64> typedAmount(const QLineEdit *field, const QString &missing);
// "09.12.2026 18:00"
QString momentText(const QDateTime &moment);
// A difference as the operator reads it: "+20 TL fazla", "−30 TL eksik", "0 TL".
QString differenceText(qint64 difference);
// Who is at the counter, for a shift's window.
QString cashierText(const QString &op);
