#include "rowdelegate.h"

#include <QApplication>
#include <QListWidgetItem>
#include <QPainter>

namespace {
constexpr int kPadding = 4;
constexpr int kMarkSize = 10;
constexpr int kGap = 10;
} // namespace

TRowDelegate::TRowDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

void TRowDelegate::setRightColumn(QListWidgetItem *item, const QString &text)
{
    item->setData(RightRole, text);
    item->setData(Qt::AccessibleTextRole,
                  text.isEmpty() ? QString() : item->text() + QStringLiteral(", ") + text);
}

void TRowDelegate::setColumnSamples(const QString &middle, const QString &right)
{
    m_middleSample = middle;
    m_rightSample = right;
}

QRect TRowDelegate::layout(const QStyleOptionViewItem &opt, const QModelIndex &index,
                           QRect *markRect, QRect *middleRect, QRect *rightRect) const
{
    QRect area = opt.rect.adjusted(kPadding, 0, -kPadding, 0);
    if (m_mark) {
        *markRect = QRect(area.left(), area.center().y() - kMarkSize / 2 + 1, kMarkSize, kMarkSize);
        area.setLeft(area.left() + kMarkSize + kPadding + 2);
    }
    // The columns are in the list's face without the bold; their width is the widest sample.
    QFont columnFont = opt.font;
    columnFont.setBold(false);
    const QFontMetrics columnMetrics(columnFont);
    const auto column = [&](const QString &sample, const QString &shown, QRect *rect) {
        const int width =
            qMax(columnMetrics.horizontalAdvance(sample), columnMetrics.horizontalAdvance(shown));
        *rect = QRect(area.right() - width + 1, area.top(), width, area.height());
        area.setRight(area.right() - width - kGap);
    };
    // The floor keeps its columns on every row; a list of priced names only where a price is.
    const QString right = index.data(RightRole).toString();
    if ((m_mark && !m_rightSample.isEmpty()) || !right.isEmpty())
        column(m_rightSample, right, rightRect);
    const QString middle = index.data(MiddleRole).toString();
    if ((m_mark && !m_middleSample.isEmpty()) || !middle.isEmpty())
        column(m_middleSample, middle, middleRect);
    return area;
}

QRect TRowDelegate::textArea(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QRect mark, middle, right;
    return layout(option, index, &mark, &middle, &right);
}

void TRowDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                         const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString text = opt.text;
    opt.text.clear();
    const QWidget *widget = opt.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget); // background, focus

    QRect mark, middle, right;
    const QRect area = layout(opt, index, &mark, &middle, &right);
    painter->save();
    const bool selected = opt.state & QStyle::State_Selected;
    painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const QVariant markColor = index.data(MarkRole);
    if (!mark.isNull() && markColor.isValid()) {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(markColor.value<QColor>());
        painter->drawEllipse(mark);
        painter->restore();
    }
    QFont columnFont = opt.font;
    columnFont.setBold(false);
    painter->setFont(columnFont);
    painter->drawText(right, Qt::AlignRight | Qt::AlignVCenter, index.data(RightRole).toString());
    painter->drawText(middle, Qt::AlignRight | Qt::AlignVCenter, index.data(MiddleRole).toString());
    painter->setFont(opt.font);
    const QString shown = QFontMetrics(opt.font).elidedText(text, Qt::ElideMiddle, area.width());
    painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter, shown);
    painter->restore();
}
