#pragma once

#include <QList>
#include <QString>

// One description of what is printed, whatever prints it: a receipt printer's bytes, a page
// for a system printer or a PDF, and the preview in the program.
namespace kv::print {

enum class Align { Left, Centre, Right };

struct Line
{
    enum class Kind { Text, Columns, Separator };
    Kind kind = Kind::Text;
    QString text;   // a text line, or the name of a columns line
    QString amount; // a columns line's right column
    Align align = Align::Left;
    bool bold = false;
    bool large = false; // double width and height
    int codePage = -1;  // ESC t n for this line alone (the test page's); -1: the printer's
};

struct Receipt
{
    QList<Line> lines;
    Receipt &text(const QString &text, Align align = Align::Left, bool bold = false,
                  bool large = false);
    // A name on the left, an amount on the right ("Çay ........ 15 TL").
    Receipt &columns(const QString &name, const QString &amount, bool bold = false);
    Receipt &separator();
    // A line printed in code page `codePage`, the printer switched back after it.
    Receipt &inCodePage(int codePage, const QString &text);
};

// The columns a roll holds in the printer's normal font: 32 on 58 mm paper, 48 on 80 mm.
int columnsFor(int paperMm);

// One printed row, as wide as the roll (large rows: half as many columns).
struct Row
{
    QString text;
    bool bold = false;
    bool large = false;
    Align align = Align::Left;
    int codePage = -1;
    bool operator==(const Row &) const = default;
};

// The receipt laid out in `width` columns: text wrapped at spaces (a word longer than the row
// is cut), a name too long to share its row with its amount put on rows of its own.
QList<Row> layout(const Receipt &receipt, int width);

} // namespace kv::print
