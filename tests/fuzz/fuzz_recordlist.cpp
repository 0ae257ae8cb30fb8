// libFuzzer target over the record-list text form. Every input is checked three ways:
// - read as a file: reading never fails, and writing what was read reads back the same;
// - each byte taken as the Windows-1254 character it stands for (LF breaks the line, CR
//   and NUL are left out): such a list is written and read back unchanged;
// - the bytes taken as UTF-16 units (same line rule): characters the code page cannot
//   hold come back as "?", all others unchanged.
// The code page is spelled out here on its own so the codec is checked against it too.
#include "recordlist.h"

#include <cstdio>
#include <cstdlib>

namespace {

// Characters of bytes 0x80..0xFF; the five bytes the code page leaves free are kept as the
// C1 controls of the same value, which is what the codec reads them as.
constexpr char16_t kHigh[128] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x008E, 0x008F, // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x009E, 0x0178, // 98
    0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6, 0x00A7, // A0
    0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF, // A8
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7, // B0
    0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF, // B8
    0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7, // C0
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF, // C8
    0x011E, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7, // D0
    0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x0130, 0x015E, 0x00DF, // D8
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7, // E0
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, // E8
    0x011F, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7, // F0
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x0131, 0x015F, 0x00FF, // F8
};

QChar charOfByte(unsigned char b)
{
    return b < 0x80 ? QChar(b) : QChar(kHigh[b - 0x80]);
}

bool holdable(char16_t c)
{
    if (c < 0x80)
        return true;
    for (char16_t h : kHigh) {
        if (h == c)
            return true;
    }
    return false;
}

QString show(const QStringList &lines)
{
    QString out;
    for (const QString &line : lines) {
        out += QLatin1Char('[');
        for (QChar c : line) {
            if (c.unicode() >= 0x20 && c.unicode() < 0x7F)
                out += c;
            else
                out += QStringLiteral("\\u%1").arg(int(c.unicode()), 4, 16, QLatin1Char('0'));
        }
        out += QLatin1String("] ");
    }
    return out;
}

void expectSame(const char *what, const QStringList &expected, const QStringList &actual)
{
    if (expected == actual)
        return;
    std::fprintf(stderr, "%s\n  expected %d lines: %s\n  actual   %d lines: %s\n", what,
                 int(expected.size()), qPrintable(show(expected)), int(actual.size()),
                 qPrintable(show(actual)));
    std::abort();
}

// Lines built from units: LF ends a line, CR and NUL are left out.
struct LineBuilder
{
    QStringList lines{QString()};

    void add(char16_t unit, QChar c)
    {
        if (unit == 0x0A)
            lines.append(QString());
        else if (unit != 0x0D && unit != 0)
            lines.last() += c;
    }
};

// What a line reads back as: each character the code page cannot hold, a surrogate pair
// or a lone surrogate included, turned into one "?".
QString asWritten(const QString &line)
{
    QString out;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c.isHighSurrogate() && i + 1 < line.size() && line.at(i + 1).isLowSurrogate())
            ++i;
        out += holdable(c.unicode()) ? c : QChar(u'?');
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using kv::RecordList;
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));

    const QStringList read = RecordList::fromBytes(input);
    expectSame("written and read again differs from what was read", read,
               RecordList::fromBytes(RecordList::toBytes(read)));

    LineBuilder held;
    for (size_t i = 0; i < size; ++i)
        held.add(data[i], charOfByte(data[i]));
    expectSame("a list of code page characters does not survive writing and reading", held.lines,
               RecordList::fromBytes(RecordList::toBytes(held.lines)));

    LineBuilder wide;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const char16_t unit = char16_t(data[i] | data[i + 1] << 8);
        wide.add(unit, QChar(unit));
    }
    QStringList expected;
    for (const QString &line : wide.lines)
        expected.append(asWritten(line));
    expectSame("characters outside the code page are not written as \"?\"", expected,
               RecordList::fromBytes(RecordList::toBytes(wide.lines)));
    return 0;
}
