#include "receipt.h"

#include <QStringList>

namespace kv::print {

Receipt &Receipt::text(const QString &text, Align align, bool bold, bool large)
{
    lines << Line{Line::Kind::Text, text, {}, align, bold, large};
    return *this;
}

Receipt &Receipt::columns(const QString &name, const QString &amount, bool bold)
{
    lines << Line{Line::Kind::Columns, name, amount, Align::Left, bold, false};
    return *this;
}

Receipt &Receipt::separator()
{
    Line line;
    line.kind = Line::Kind::Separator;
    lines << line;
    return *this;
}

Receipt &Receipt::inCodePage(int codePage, const QString &text)
{
    Line line;
    line.text = text;
    line.codePage = codePage;
    lines << line;
    return *this;
}

int columnsFor(int paperMm)
{
    return paperMm <= 58 ? 32 : 48;
}

namespace {
// Words filled into rows of `width`; a word longer than a row is cut across rows.
QStringList wrapped(const QString &text, int width)
{
    QStringList rows;
    QString row;
    for (QString word : text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        while (word.size() > width) {
            if (!row.isEmpty())
                rows << std::exchange(row, QString());
            rows << word.left(width);
            word.remove(0, width);
        }
        if (row.isEmpty())
            row = word;
        else if (row.size() + 1 + word.size() <= width)
            row += QLatin1Char(' ') + word;
        else
            rows << std::exchange(row, word);
    }
    if (!row.isEmpty() || rows.isEmpty())
        rows << row;
    return rows;
}

QString aligned(const QString &text, int width, Align align)
{
    const int room = qMax(0, width - int(text.size()));
    switch (align) {
    case Align::Centre:
        return QString(room / 2, QLatin1Char(' ')) + text;
    case Align::Right:
        return QString(room, QLatin1Char(' ')) + text;
    case Align::Left:
        break;
    }
    return text;
}
} // namespace

QList<Row> layout(const Receipt &receipt, int width)
{
    QList<Row> out;
    for (const Line &l : receipt.lines) {
        switch (l.kind) {
        case Line::Kind::Separator:
            out << Row{QString(width, QLatin1Char('-'))};
            break;
        case Line::Kind::Text: {
            const int columns = l.large ? width / 2 : width;
            for (const QString &row : wrapped(l.text, columns))
                out << Row{aligned(row, columns, l.align), l.bold, l.large, l.align, l.codePage};
            break;
        }
        case Line::Kind::Columns: {
            const int room = width - int(l.amount.size()) - 1;
            QStringList name = wrapped(l.text, qMax(1, room));
            // The amount stands on the name's last row, right-aligned.
            const QString last = name.takeLast();
            for (const QString &row : std::as_const(name))
                out << Row{row, l.bold};
            out << Row{last +
                           QString(qMax(1, width - int(last.size()) - int(l.amount.size())),
                                   QLatin1Char(' ')) +
                           l.amount,
                       l.bold};
            break;
        }
        }
    }
    return out;
}

} // namespace kv::print
