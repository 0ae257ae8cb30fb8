#include "printpreview.h"

#include "page.h"
#include "placement.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPainter>
#include <QPicture>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

using namespace kv;

namespace {
constexpr int kMargin = 12;

// As wide as the roll's columns in a readable fixed-pitch font.
int stripWidth(int columns)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(10);
    return qRound(QFontMetricsF(font).horizontalAdvance(QLatin1Char('M')) * columns) + 2 * kMargin;
}

// The height the receipt takes at `width`, drawn where nothing shows.
int stripHeight(const print::Receipt &receipt, int columns, int width)
{
    QPicture picture;
    QPainter painter(&picture);
    const qreal height =
        print::paint(receipt, columns, painter, QRectF(kMargin, kMargin, width - 2 * kMargin, 1e6));
    return qCeil(height) + 2 * kMargin;
}
} // namespace

class PrintPreview::Strip : public QWidget
{
public:
    using QWidget::QWidget;
    void setReceipt(const print::Receipt &receipt, int paperMm)
    {
        m_receipt = receipt;
        m_columns = print::columnsFor(paperMm);
        const int width = stripWidth(m_columns);
        setFixedSize(width, stripHeight(receipt, m_columns, width));
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.setPen(Qt::black);
        print::paint(m_receipt, m_columns, painter,
                     QRectF(kMargin, kMargin, width() - 2 * kMargin, height() - 2 * kMargin));
    }

private:
    print::Receipt m_receipt;
    int m_columns = 48;
};

PrintPreview::PrintPreview(QWidget *parent) : QDialog(parent), m_strip(new Strip)
{
    setObjectName(QStringLiteral("PrintPreview"));
    setWindowTitle(QStringLiteral("Baskı Önizleme"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    centreAtEveryShowing(this);
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("PreviewArea"));
    scroll->setWidget(m_strip);
    scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    scroll->setBackgroundRole(QPalette::Dark);
    // The keys scroll the strip: the buttons keep their accelerators.
    scroll->setFocusPolicy(Qt::StrongFocus);
    auto *print = new QPushButton(QStringLiteral("&Yazdır"), this);
    print->setObjectName(QStringLiteral("PreviewPrint"));
    auto *close = new QPushButton(QStringLiteral("&Kapat"), this);
    close->setObjectName(QStringLiteral("PreviewClose"));
    close->setDefault(true);
    connect(print, &QPushButton::clicked, this, &QDialog::accept);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(print);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addLayout(buttons);
}

bool PrintPreview::showReceipt(const print::Receipt &receipt, int paperMm, const QString &title)
{
    setWindowTitle(QStringLiteral("Baskı Önizleme — %1").arg(title));
    m_strip->setReceipt(receipt, paperMm);
    auto *scroll = findChild<QScrollArea *>(QStringLiteral("PreviewArea"));
    const int frame = 2 * scroll->frameWidth() + scroll->verticalScrollBar()->sizeHint().width();
    // The whole strip where the screen allows, else as tall as it does; never narrower.
    resize(m_strip->width() + frame + 2 * layout()->contentsMargins().left(),
           qMin(m_strip->height() + 2 * scroll->frameWidth() + 64, 640));
    scroll->verticalScrollBar()->setValue(0);
    scroll->setFocus();
    return exec() == QDialog::Accepted;
}
