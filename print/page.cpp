#include "page.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSaveFile>

namespace kv::print {

namespace {
constexpr qreal kMmPerInch = 25.4;
constexpr int kPdfDpi = 300;
constexpr qreal kPdfMarginMm = 3;
// A PDF page may not be longer than this; a longer receipt goes on to the next.
constexpr qreal kLongestPageMm = 2000;

QFont fixedFont()
{
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    if (!QFontInfo(font).fixedPitch())
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    return font;
}

// The receipt's fonts on one device: `columns` normal characters fill `width`, a large row
// is twice as wide and tall, as on the roll.
class Pen
{
public:
    Pen(int columns, qreal width, QPaintDevice *device) : m_device(device)
    {
        QFont font = fixedFont();
        font.setPointSizeF(100);
        const qreal advance = QFontMetricsF(font, device).horizontalAdvance(QLatin1Char('0'));
        font.setPointSizeF(qMax(1.0, 100 * width / (columns * qMax(advance, 0.01))));
        // Hinting may round each advance up: shrink until a whole row fits.
        const QString row(columns, QLatin1Char('0'));
        for (int i = 0; i < 20 && QFontMetricsF(font, device).horizontalAdvance(row) > width; ++i)
            font.setPointSizeF(font.pointSizeF() * 0.99);
        m_normal = font;
        m_large = font;
        m_large.setPointSizeF(font.pointSizeF() * 2);
    }

    qreal height(const Row &row) const { return metrics(row).lineSpacing(); }

    void draw(QPainter &painter, const Row &row, const QPointF &topLeft) const
    {
        painter.setFont(fontOf(row));
        painter.drawText(QPointF(topLeft.x(), topLeft.y() + metrics(row).ascent()), row.text);
    }

private:
    QFont fontOf(const Row &row) const
    {
        QFont font = row.large ? m_large : m_normal;
        font.setBold(row.bold);
        return font;
    }
    QFontMetricsF metrics(const Row &row) const { return QFontMetricsF(fontOf(row), m_device); }

    QPaintDevice *m_device;
    QFont m_normal, m_large;
};

// Draws the rows down the device's pages; false when a new page could not be begun.
bool drawPaged(QPagedPaintDevice &device, QPainter &painter, const QList<Row> &rows, const Pen &pen)
{
    qreal y = 0;
    for (const Row &row : rows) {
        const qreal h = pen.height(row);
        if (y > 0 && y + h > device.height()) {
            if (!device.newPage())
                return false;
            y = 0;
        }
        pen.draw(painter, row, QPointF(0, y));
        y += h;
    }
    return true;
}

qreal toDots(qreal mm, int dpi)
{
    return mm / kMmPerInch * dpi;
}
} // namespace

qreal paint(const Receipt &receipt, int columns, QPainter &painter, const QRectF &area)
{
    painter.save();
    const Pen pen(columns, area.width(), painter.device());
    qreal y = area.top();
    for (const Row &row : layout(receipt, columns)) {
        pen.draw(painter, row, QPointF(area.left(), y));
        y += pen.height(row);
    }
    painter.restore();
    return y - area.top();
}

QString writePdf(const Receipt &receipt, int paperMm, const QString &path, const QString &title)
{
    const QString folder = QFileInfo(path).absolutePath();
    const QFileInfo dir(folder);
    if (!dir.isDir())
        return QStringLiteral("PDF klasörü bulunamadı: %1").arg(QDir::toNativeSeparators(folder));
    if (!dir.isWritable())
        return QStringLiteral("PDF klasörüne yazılamıyor: %1")
            .arg(QDir::toNativeSeparators(folder));

    // Made in memory first: a file is only there once it is whole.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(kPdfDpi);
        writer.setTitle(title);
        writer.setCreator(QStringLiteral("Kelvora"));
        const int columns = columnsFor(paperMm);
        const QList<Row> rows = layout(receipt, columns);
        const Pen pen(columns, toDots(paperMm - 2 * kPdfMarginMm, kPdfDpi), &writer);
        qreal height = 0;
        for (const Row &row : rows)
            height += pen.height(row);
        const qreal lengthMm =
            qMin(kLongestPageMm, height / kPdfDpi * kMmPerInch + 2 * kPdfMarginMm + 1);
        writer.setPageSize(QPageSize(QSizeF(paperMm, lengthMm), QPageSize::Millimeter, title,
                                     QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(kPdfMarginMm, kPdfMarginMm, kPdfMarginMm, kPdfMarginMm),
                              QPageLayout::Millimeter);
        QPainter painter;
        if (!painter.begin(&writer))
            return QStringLiteral("PDF oluşturulamadı: %1").arg(QDir::toNativeSeparators(path));
        const bool drawn = drawPaged(writer, painter, rows, pen);
        if (!painter.end() || !drawn)
            return QStringLiteral("PDF oluşturulamadı: %1").arg(QDir::toNativeSeparators(path));
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(buffer.data()) != buffer.size() ||
        !file.commit())
        return QStringLiteral("PDF dosyası yazılamadı: %1 (%2)")
            .arg(QDir::toNativeSeparators(path), file.errorString());
    return QString();
}

QString printOnPrinter(const Receipt &receipt, int paperMm, const QString &printerName,
                       const QString &title)
{
    if (QPrinterInfo::availablePrinters().isEmpty())
        return QStringLiteral("Sistemde yazıcı bulunamadı.");
    const QPrinterInfo info = printerName.isEmpty() ? QPrinterInfo::defaultPrinter()
                                                    : QPrinterInfo::printerInfo(printerName);
    if (info.isNull())
        return printerName.isEmpty()
                   ? QStringLiteral("Sistemde varsayılan yazıcı seçilmemiş: Ayarlar > Yazıcı.")
                   : QStringLiteral("Yazıcı bulunamadı: %1").arg(printerName);
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(title);
    printer.setCreator(QStringLiteral("Kelvora"));
    QPainter painter;
    if (!painter.begin(&printer))
        return QStringLiteral("%1 yazıcısına yazdırılamadı.").arg(info.printerName());
    // As wide as the roll where the page is wider: a receipt on A4 keeps its size.
    const int columns = columnsFor(paperMm);
    const qreal width = qMin<qreal>(printer.width(), toDots(paperMm, printer.logicalDpiX()));
    const bool drawn =
        drawPaged(printer, painter, layout(receipt, columns), Pen(columns, width, &printer));
    if (!painter.end() || !drawn || printer.printerState() == QPrinter::Error)
        return QStringLiteral("%1 yazıcısına yazdırılamadı.").arg(info.printerName());
    return QString();
}

} // namespace kv::print
