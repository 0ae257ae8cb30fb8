#include "codec.h"

#include <algorithm>
#include <array>
#include <utility>

namespace kv {

namespace {

// Bytes 0x80 to 0xFF of Windows-1254 as Unicode, as the system's converter (ICU) maps them:
// the five bytes the code page leaves free stand for the control characters of their own
// number, so every byte has a character and every character one byte. A table of its own:
// opening a converter loads the converter library's data, a megabyte that the start pays.
constexpr std::array<char16_t, 128> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039,
    0x0152, 0x008D, 0x008E, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x009E, 0x0178, 0x00A0, 0x00A1, 0x00A2, 0x00A3,
    0x00A4, 0x00A5, 0x00A6, 0x00A7, 0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF,
    0x00B0, 0x00B1, 0x00B2, 0x00B3, 0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x00B9, 0x00BA, 0x00BB,
    0x00BC, 0x00BD, 0x00BE, 0x00BF, 0x00C0, 0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7,
    0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD, 0x00CE, 0x00CF, 0x011E, 0x00D1, 0x00D2, 0x00D3,
    0x00D4, 0x00D5, 0x00D6, 0x00D7, 0x00D8, 0x00D9, 0x00DA, 0x00DB, 0x00DC, 0x0130, 0x015E, 0x00DF,
    0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7, 0x00E8, 0x00E9, 0x00EA, 0x00EB,
    0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x011F, 0x00F1, 0x00F2, 0x00F3, 0x00F4, 0x00F5, 0x00F6, 0x00F7,
    0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x0131, 0x015F, 0x00FF};

// The same pairs, sorted by character, for encoding.
using Pair = std::pair<char16_t, char>;
std::array<Pair, 128> sortedByCharacter()
{
    std::array<Pair, 128> pairs{};
    for (int i = 0; i < 128; ++i)
        pairs[i] = {kHigh[i], char(0x80 + i)};
    std::sort(pairs.begin(), pairs.end());
    return pairs;
}

// The byte of a character, or -1 when the code page has none.
int byteOf(char16_t c)
{
    if (c < 0x80)
        return c;
    static const std::array<Pair, 128> pairs = sortedByCharacter();
    const auto it =
        std::lower_bound(pairs.begin(), pairs.end(), Pair{c, char(0)},
                         [](const Pair &a, const Pair &b) { return a.first < b.first; });
    return it != pairs.end() && it->first == c ? uchar(it->second) : -1;
}

} // namespace

QString decode1254(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (const char b : bytes) {
        const uchar u = uchar(b);
        *out++ = QChar(u < 0x80 ? char16_t(u) : kHigh[u - 0x80]);
    }
    return text;
}

QByteArray encode1254(const QString &text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        // A surrogate pair is one character the code page cannot hold; a lone surrogate too.
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        const int b = c.isSurrogate() ? -1 : byteOf(c.unicode());
        bytes += b < 0 ? '?' : char(b);
    }
    return bytes;
}

bool canEncode1254(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(),
                       [](QChar c) { return !c.isSurrogate() && byteOf(c.unicode()) >= 0; });
}

} // namespace kv
