#include "mainlook.h"
#include "ui_Unit1.h"

#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

namespace {

// Fills a widget's background before it paints, without handing the colour down to its
// controls through the palette: they keep the desktop's colours, as under a style sheet.
class Backdrop : public QObject
{
public:
    Backdrop(QWidget *widget, const QColor &colour) : QObject(widget), m_colour(colour)
    {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            QPainter painter(static_cast<QWidget *>(watched));
            painter.fillRect(static_cast<QPaintEvent *>(event)->rect(), m_colour);
        }
        return false;
    }

private:
    QColor m_colour;
};

// The widget's text and background colours; its children keep the desktop's.
void colour(QWidget *w, const QColor &text, const QColor &background = QColor())
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Text, text);
    if (background.isValid()) {
        p.setColor(QPalette::Window, background);
        p.setColor(QPalette::Base, background);
    }
    w->setPalette(p);
}

void list(QAbstractScrollArea *area, const QColor &text, const QColor &background)
{
    colour(area, text, background);
    for (QScrollBar *bar : {area->verticalScrollBar(), area->horizontalScrollBar()}) {
        QPalette own = QApplication::palette(bar);
        own.setResolveMask(~QPalette::ResolveMask(0)); // every role its own: none inherited
        bar->setPalette(own);
    }
}

// A value box: filled to its edges, the text 8 pixels in.
void valueBox(QLabel *label, const QColor &background)
{
    colour(label, Qt::white, background);
    label->setAutoFillBackground(true);
    label->setIndent(8);
}

} // namespace

void applyMainLook(QMainWindow *window, Ui::TForm1 *ui)
{
    const QColor cream(0xff, 0xf8, 0xe1);
    const QColor blue(0x1f, 0x3f, 0xbf);
    const QColor red(0xc0, 0x00, 0x00);
    const QColor navy(0x00, 0x00, 0x80);

    new Backdrop(window, cream);
    new Backdrop(ui->centralwidget, cream);
    list(ui->ListBox2, Qt::white, Qt::black);
    list(ui->ListBox4, Qt::black, QColor(0x87, 0xce, 0xeb));
    colour(ui->Edit1, Qt::white, navy);
    for (QLabel *label : {ui->Label20, ui->Label17, ui->Label15, ui->Label14})
        colour(label, blue);
    for (QLabel *label : {ui->Label25, ui->Label28})
        colour(label, red);
    colour(ui->Label27, navy);
    ui->statictext2->setIndent(8);
    valueBox(ui->Label10, Qt::black);
    valueBox(ui->Label12, navy);
    valueBox(ui->Label9, QColor(0xd0, 0x00, 0x00));
}
