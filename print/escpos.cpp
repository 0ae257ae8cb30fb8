#include "escpos.h"

#include <QHash>

namespace kv::print {

namespace {
// Code page 857's upper half, from 0x80; 0 where it holds no character.
constexpr char16_t kCp857[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x0131, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x0130, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x015E, 0x015F, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x011E, 0x011F, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557,
    0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4, 0x00BA, 0x00AA, 0x00CA, 0x00CB,
    0x00C8, 0x0000, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x0000, 0x00D7, 0x00DA, 0x00DB, 0x00D9,
    0x00EC, 0x00FF, 0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x0000, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8,
    0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0};

const QHash<char16_t, QByteArray> &upperHalf()
{
    static const QHash<char16_t, QByteArray> table = [] {
        QHash<char16_t, QByteArray> t;
        for (int b = 0; b < 128; ++b)
            if (kCp857[b])
                t.insert(kCp857[b], QByteArray(1, char(0x80 + b)));
        return t;
    }();
    return table;
}

// The nearest a receipt can print of what code page 857 lacks.
QByteArray nearest(char32_t c)
{
    switch (c) {
    case U'\u2013': // en dash
    case U'\u2014': // em dash
    case U'\u2212': // minus sign
        return "-";
    case U'\u20BA': // Turkish lira sign
        return "TL";
    case U'\u20AC':
        return "EUR";
    case U'\u2018':
    case U'\u2019':
        return "'";
    case U'\u201C':
    case U'\u201D':
        return "\"";
    case U'\u2026':
        return "...";
    case U'\u2022': // a bullet prints as the page's middle dot
        return QByteArray(1, char(0xFA));
    }
    return "?";
}
// What prints as more than one sign ("₺" as "TL") spelled out before the rows are laid out,
// so that they keep their width.
QString spelledOut(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const char32_t c : text.normalized(QString::NormalizationForm_C).toUcs4()) {
        if (c >= 0x80 && (c > 0xFFFF || !upperHalf().contains(char16_t(c)))) {
            if (const QByteArray n = nearest(c); n.size() > 1) {
                out += QString::fromLatin1(n);
                continue;
            }
        }
        out += QString::fromUcs4(&c, 1);
    }
    return out;
}
} // namespace

QByteArray toCp857(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    // A letter typed as a base and a combining mark ("I" and a dot above) is one letter here.
    for (const char32_t c : text.normalized(QString::NormalizationForm_C).toUcs4()) {
        if (c < 0x80) {
            // Control characters would be commands to the printer.
            out += c < 0x20 ? ' ' : char(c);
            continue;
        }
        const auto found = c <= 0xFFFF ? upperHalf().constFind(char16_t(c)) : upperHalf().cend();
        out += found != upperHalf().cend() ? *found : nearest(c);
    }
    return out;
}

QByteArray escPos(const Receipt &receipt, const EscPosOptions &o)
{
    QByteArray out("\x1b@", 2); // initialise
    const QByteArray codePage = QByteArray("\x1bt", 2) + char(qBound(0, o.codePage, 255));
    out += codePage;
    Receipt spelled = receipt;
    for (Line &line : spelled.lines) {
        line.text = spelledOut(line.text);
        line.amount = spelledOut(line.amount);
    }
    for (const Row &row : layout(spelled, columnsFor(o.paperMm))) {
        const bool own = row.codePage >= 0 && row.codePage != o.codePage;
        if (own)
            out += QByteArray("\x1bt", 2) + char(qBound(0, row.codePage, 255));
        out += QByteArray("\x1b"
                          "E",
                          2) +
               char(row.bold ? 1 : 0);
        out += QByteArray("\x1d!", 2) + char(row.large ? 0x11 : 0x00);
        // Large rows are aligned by the printer, which knows their width.
        out += QByteArray("\x1b"
                          "a",
                          2) +
               char(row.large ? (row.align == Align::Centre  ? 1
                                 : row.align == Align::Right ? 2
                                                             : 0)
                              : 0);
        out += toCp857(row.large ? row.text.trimmed() : row.text);
        out += '\n';
        if (own)
            out += codePage;
    }
    out += QByteArray("\x1b"
                      "E\0\x1d!\0\x1b"
                      "a\0",
                      9);
    if (o.drawer)
        out += QByteArray("\x1bp\0\x19\xfa", 5); // pin 2, 50 ms on, 500 ms off
    if (o.cut)
        out += QByteArray("\x1dV\x42\x03", 4); // feed to the cutter (and a little more), then cut
    return out;
}

} // namespace kv::print
