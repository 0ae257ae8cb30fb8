#pragma once

#include "events.h"
#include "ledger.h"
#include "printersetup.h"
#include "receipt.h"

#include <QDate>

// What the hall prints, as receipts: the guest's bill, Gün Sonu's report, a shift's report and
// the printer's test page. Texts are Turkish, amounts in whole lira ("235 TL").
namespace kv::print {

struct Heading
{
    QString name, address; // the hall's; a line each where set
};

// The guest's bill: the heading, the table, opening and closing, each time segment with its
// fee and charge, the extras with their prices, the minimum charge where applied, treats,
// discount, the total, payments, the rules of segments and of a percentage where they apply,
// and "Bilgi amaçlıdır. MALİ DEĞERİ YOKTUR.". `copy`: a reprint,
// marked "KOPYA". An unpaid account's bill (id 0: printed before paying) gives its moment as
// "Saat" in place of the closing, and after the payments so far what is left ("Kalan").
Receipt billReceipt(const ledger::BillRecord &bill, const Heading &heading, bool copy = false);

// Gün Sonu's report of a business day: totals, by method, tabs collected (apart from the bills'
// figures), cancellations and restarts, and the event chain's head at printing.
Receipt dayReceipt(const QDate &day, const ledger::DayTotals &totals,
                   const QList<ledger::BillRecord> &bills, const ledger::MethodSums &collected,
                   const ledger::ChainHead &head, const Heading &heading,
                   const QDateTime &printedAt);

// A shift's report: its bills' totals, by method, tab movements, cash out, cancellations,
// restarts, refunds, the cash expected and counted, and the event chain's head.
Receipt shiftReceipt(const ledger::ShiftReport &report, const ledger::ChainHead &head,
                     const Heading &heading);

// "Deneme Sayfası": every Turkish letter, the paper's width ruled, and the code page in use.
Receipt testPage(const PrinterSetup &setup);

} // namespace kv::print
