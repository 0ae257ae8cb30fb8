#include "applocale.h"

#include "errors.h"

#include <QRegularExpression>
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

QString longTimeFormat()
{
    QString format = appLocale().timeFormat(QLocale::LongFormat);
    // The zone field ("t", "tttt") has no place in a time of day.
    static const QRegularExpression zone(QStringLiteral("\\s*\\(?t+\\)?\\s*"));
    format.replace(zone, QString());
    // Two-digit 24-hour hours where the locale uses a 12-hour clock would be wrong for
    // the elapsed time; the windows only use this for times of day.
    return format.trimmed();
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
    return appLocale().toString(time, longTimeFormat());
}

QTime strToTime(const QString &text)
{
    const QString trimmed = text.trimmed();
    QTime t = appLocale().toTime(trimmed, longTimeFormat());
    for (const char *format : {"H:m:s", "H:m", "H:m:s.z"}) {
        if (t.isValid())
            break;
        t = QTime::fromString(trimmed, QLatin1String(format));
    }
    if (!t.isValid())
        throwError(QStringLiteral("'%1' is not a valid time").arg(text));
    return t;
}

QDate readShortDate(const QString &text)
{
    const QString trimmed = text.trimmed();
    QDate d = appLocale().toDate(trimmed, shortDateFormat());
    if (!d.isValid())
        d = QDate::fromString(trimmed, QStringLiteral("d.M.yyyy"));
    return d;
}

} // namespace kv
