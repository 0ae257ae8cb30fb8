#include "applocale.h"

#include "errors.h"

#include <optional>

namespace kv {

namespace {
std::optional<QLocale> s_pinned;

QLocale systemOrTurkish()
{
    const QLocale system = QLocale::system();
    if (system.language() == QLocale::C)
        return QLocale(QLocale::Turkish, QLocale::Turkey);
    return system;
}
} // namespace

QLocale appLocale()
{
    if (s_pinned)
        return *s_pinned;
    static const QLocale resolved = systemOrTurkish();
    return resolved;
}

void setAppLocale(const QLocale &locale)
{
    s_pinned = locale;
}

void resetAppLocale()
{
    s_pinned.reset();
}

QString formatAmountDigits(qint64 value)
{
    if (value == 0)
        return QString();
    QLocale locale = appLocale();
    if (locale.numberOptions() != QLocale::DefaultNumberOptions) // setting it copies the locale
        locale.setNumberOptions(QLocale::DefaultNumberOptions);
    return locale.toString(value);
}

QString formatAmount(qint64 value)
{
    return formatAmountDigits(value) + QStringLiteral(" TL");
}

QString shortDateFormat()
{
    return appLocale().dateFormat(QLocale::ShortFormat);
}

QString longDateFormat()
{
    return appLocale().dateFormat(QLocale::LongFormat);
}

namespace {
bool isAsciiSpace(QChar c)
{
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}
} // namespace

QString withoutZoneField(const QString &format)
{
    // The zone field ("t", "tttt"), with an opening and closing bracket and the spaces
    // around it, goes; by hand, not by a regular expression, whose library the start would
    // load for this alone.
    QString out;
    const qsizetype n = format.size();
    qsizetype i = 0;
    while (i < n) {
        qsizetype j = i;
        while (j < n && isAsciiSpace(format.at(j)))
            ++j;
        if (j < n && format.at(j) == u'(')
            ++j;
        const qsizetype tStart = j;
        while (j < n && format.at(j) == u't')
            ++j;
        if (j > tStart) {
            if (j < n && format.at(j) == u')')
                ++j;
            while (j < n && isAsciiSpace(format.at(j)))
                ++j;
            i = j;
        } else {
            out += format.at(i++);
        }
    }
    return out;
}

namespace {
struct TimeFormat
{
    QString format;
    // 24-hour fields and separators only, in Latin digits ("HH:mm:ss", "H.mm.ss"): written
    // by hand, as QLocale parses the format again at every call (Gün Sonu writes 300).
    bool plain = false;
};

bool isPlainClock(const QString &format, const QLocale &locale)
{
    if (locale.zeroDigit() != QLatin1String("0"))
        return false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == u'H' || c == u'm' || c == u's') {
            if (i + 2 < format.size() && format.at(i + 1) == c && format.at(i + 2) == c)
                return false; // three or more: as QLocale reads them
        } else if (c.isLetter() || c == u'\'') {
            return false;
        }
    }
    return true;
}

const TimeFormat &timeFormat()
{
    // Two-digit 24-hour hours where the locale uses a 12-hour clock would be wrong for
    // the elapsed time; the windows only use this for times of day. Asked every second
    // by the clock: kept for the locale it was made for.
    static QLocale madeFor(QLocale::C);
    static TimeFormat made;
    const QLocale locale = appLocale();
    if (made.format.isEmpty() || locale != madeFor) {
        made.format = withoutZoneField(locale.timeFormat(QLocale::LongFormat)).trimmed();
        made.plain = isPlainClock(made.format, locale);
        madeFor = locale;
    }
    return made;
}
} // namespace

QString longTimeFormat()
{
    return timeFormat().format;
}

QString shortDate(const QDate &date)
{
    return appLocale().toString(date, shortDateFormat());
}

QString longDate(const QDate &date)
{
    return appLocale().toString(date, longDateFormat());
}

QString longTime(const QTime &time)
{
    const TimeFormat &made = timeFormat();
    if (!made.plain || !time.isValid())
        return appLocale().toString(time, made.format);
    const QString &format = made.format;
    QString out;
    out.reserve(format.size() + 2);
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        const int value = c == u'H'   ? time.hour()
                          : c == u'm' ? time.minute()
                          : c == u's' ? time.second()
                                      : -1;
        if (value < 0) {
            out.append(c);
            continue;
        }
        const bool two = i + 1 < format.size() && format.at(i + 1) == c;
        if (two)
            ++i;
        if (two || value > 9)
            out.append(QLatin1Char(char('0' + value / 10)));
        out.append(QLatin1Char(char('0' + value % 10)));
    }
    return out;
}

QTime strToTime(const QString &text)
{
    const QString trimmed = text.trimmed();
    QTime t = appLocale().toTime(trimmed, longTimeFormat());
    // A time written under another locale: 24-hour, or the English 12-hour form.
    for (const char *format : {"H:m:s", "H:m", "H:m:s.z", "h:m:s AP", "h:m:s ap"}) {
        if (t.isValid())
            break;
        t = QTime::fromString(trimmed, QLatin1String(format));
    }
    if (!t.isValid())
        throwError(QStringLiteral("'%1' is not a valid time").arg(text));
    return t;
}

namespace {
// Qt reads "yy" as 19yy; the year meant is the one nearest to today.
QDate nearestCentury(const QDate &date, const QDate &today)
{
    const int shift = (today.year() - date.year() + 50) / 100 * 100;
    return date.addYears(shift);
}

bool hasTwoDigitYear(const QString &format)
{
    return format.count(QLatin1Char('y')) == 2;
}
} // namespace

QDate readStoredDate(const QString &text, const QDate &today)
{
    const QString trimmed = text.trimmed();
    const QString format = shortDateFormat();
    QDate d = appLocale().toDate(trimmed, format);
    if (d.isValid())
        return hasTwoDigitYear(format) ? nearestCentury(d, today) : d;
    for (const char *other : {"d.M.yyyy", "yyyy-MM-dd"}) {
        d = QDate::fromString(trimmed, QLatin1String(other));
        if (d.isValid())
            return d;
    }
    return QDate();
}

} // namespace kv
