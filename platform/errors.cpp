#include "errors.h"

namespace kv {

RuntimeError::RuntimeError(const QString &text)
    : std::runtime_error(text.toStdString()), m_text(text)
{
}

void throwError(const QString &text)
{
    throw RuntimeError(text);
}

bool tryStrToInt(const QString &text, int *value)
{
    int i = 0;
    const int n = text.size();
    while (i < n && text.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    if (i == n)
        return false;
    qint64 magnitude = 0;
    for (; i < n; ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        magnitude = magnitude * 10 + (c.unicode() - '0');
        if (magnitude > 2147483648LL)
            return false;
    }
    if (!negative && magnitude > 2147483647LL)
        return false;
    if (value)
        *value = int(negative ? -magnitude : magnitude);
    return true;
}

int strToInt(const QString &text)
{
    int value = 0;
    if (!tryStrToInt(text, &value))
        throwError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

void throwListIndex(int index)
{
    throwError(QStringLiteral("List index out of bounds (%1)").arg(index));
}

} // namespace kv
