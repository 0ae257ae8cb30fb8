#pragma once

#include <QString>
#include <stdexcept>

namespace kv {

// An error of the runtime, carrying the exact text the operator sees in the error box.
class RuntimeError : public std::runtime_error
{
public:
    explicit RuntimeError(const QString &text);
    const QString &text() const { return m_text; }

private:
    QString m_text;
};

[[noreturn]] void throwError(const QString &text);

// Whole number in the 32-bit signed range: optional blanks, optional sign, decimal digits.
// Anything else throws "'%s' is not a valid integer value".
int strToInt(const QString &text);
// The same conversion without the error: false when the text is not such a number.
bool tryStrToInt(const QString &text, int *value);

[[noreturn]] void throwListIndex(int index);

} // namespace kv
