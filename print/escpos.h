#pragma once

#include "receipt.h"

#include <QByteArray>

// A receipt as a thermal receipt printer's ESC/POS bytes.
namespace kv::print {

struct EscPosOptions
{
    int paperMm = 80;
    int codePage = 13; // ESC t n: the number the printer's maker gives its PC857 (Turkish)
    bool cut = true;
    bool drawer = false; // kick the cash drawer (a bill paid in cash only)
};

// Text in code page 857. What it cannot hold is printed as its nearest letter or sign ("–" as
// "-", "₺" as "TL"), and as "?" where there is none: never as a wrong byte.
QByteArray toCp857(const QString &text);

QByteArray escPos(const Receipt &receipt, const EscPosOptions &options);

} // namespace kv::print
