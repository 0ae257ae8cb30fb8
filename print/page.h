#pragma once

#include "receipt.h"

#include <QRectF>
#include <QString>

class QPainter;

// A receipt drawn with QPainter: on a system printer's page, in a PDF, and in the preview.
namespace kv::print {

// The receipt's rows (laid out to `columns`) drawn from the top of `area` in a fixed-pitch
// font that fits `columns` to its width; the height they took.
qreal paint(const Receipt &receipt, int columns, QPainter &painter, const QRectF &area);

// The receipt as a PDF file at `path`, a page as wide as the roll (`paperMm`) and as long as
// the receipt; empty, or why it could not be written.
QString writePdf(const Receipt &receipt, int paperMm, const QString &path,
                 const QString &title);

// The receipt on a system printer (empty name: the default), at the width of its page; empty,
// or why it did not print.
QString printOnPrinter(const Receipt &receipt, int paperMm, const QString &printerName,
                       const QString &title);

} // namespace kv::print
