#pragma once

#include <QString>
#include <QStringList>

// The ledger's events in the operator's words: a Turkish label for each kind, and the
// detail's JSON as a sentence. The detail may have been edited by hand, so any text is
// taken: what cannot be read is shown as it is, never as JSON and never with a line break.
namespace kv::ledger {

// "Hesap açıldı" for "open"; a kind the program does not know, as it is stored.
QString eventKindText(const QString &kind);
// The kinds the program writes, in the order the filters list them.
const QStringList &eventKinds();

// The detail as words, e.g. "Fiş 12: 95 dakika, süre 238 TL, extra 45 TL, toplam 283 TL".
// A part whose key is missing or of another type is left out; a detail that is not a JSON
// object is shown as its text. An approver adds "(onaylayan: NAME)".
QString eventDetailText(const QString &kind, const QString &detail);

// An event's moment ("2026-12-09T20:15:00+03:00") as the windows show times: the wall clock
// it was written by, whatever the zone now. A text that is not such a moment, as it is.
QString eventTimeText(const QString &at);

// A name with the locative suffix as it is read aloud: "Masa 3'te", "Masa 10'da", "Bahçe'de".
QString withLocative(const QString &name);

// The keys of the settings event and their labels ("unit_fee" is "Birim ücret").
QString settingLabel(const QString &key);

// The table names an event concerns: its own, and the table a move or a cancel's reopening
// took the account to.
QStringList eventTables(const QString &kind, const QString &table, const QString &detail);

} // namespace kv::ledger
