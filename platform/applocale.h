#pragma once

#include <QDate>
#include <QLocale>
#include <QString>
#include <QTime>

namespace kv {

// The locale all formats come from: the system's, or Turkish where the system names none.
QLocale appLocale();
// Tests pin a locale here; a default-constructed optional restores the system's.
void setAppLocale(const QLocale &locale);
void resetAppLocale();

// "#," then nothing: the locale's digit grouping, no decimals, no digits at all for zero.
QString formatAmountDigits(qint64 value);
// The amount as the windows show it: "#," followed by " TL".
QString formatAmount(qint64 value);

QString shortDateFormat();
QString longDateFormat();
// The locale's long time format with the time-zone field removed.
QString longTimeFormat();
// A time format without its zone field and the spaces and brackets around it.
QString withoutZoneField(const QString &format);

QString shortDate(const QDate &date);
QString longDate(const QDate &date);
QString longTime(const QTime &time);

// Reads a time of day as the runtime does; "'%s' is not a valid time" otherwise.
QTime strToTime(const QString &text);
// Reads a stored account date: in the short date format, where a two-digit year is the
// year nearest to `today`; failing that in the Turkish and ISO forms (a date written under
// another locale). An invalid QDate when none reads it.
QDate readStoredDate(const QString &text, const QDate &today);

} // namespace kv
