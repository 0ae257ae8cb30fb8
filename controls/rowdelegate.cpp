#include "rowdelegate.h"

#include <QApplication>
#include <QPainter>

namespace {
constexpr int kPadding = 4;
constexpr int kMarkSize = 10;
constexpr int kGap = 10;
} // namespace

TRowDelegate::TRowDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

void TRowDelegate::setColumnSamples(const QString &middle, const QString &right)
{
    m_middleSample = middle;
    m_rightSample = right;
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

    painter->save();
    const bool selected = opt.state & QStyle::State_Selected;
    const QColor pen = opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text);
    QRect area = opt.rect.adjusted(kPadding, 0, -kPadding, 0);

    if (m_mark) {
        const QVariant mark = index.data(MarkRole);
        if (mark.isValid()) {
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setPen(Qt::NoPen);
            painter->setBrush(mark.value<QColor>());
            painter->drawEllipse(
                QRect(area.left(), area.center().y() - kMarkSize / 2 + 1, kMarkSize, kMarkSize));
        }
        area.setLeft(area.left() + kMarkSize + kPadding + 2);
    }

    // The columns are in the list's face without the bold, the text in its own.
    QFont columnFont = opt.font;
    columnFont.setBold(false);
    const QFontMetrics columnMetrics(columnFont);
    painter->setPen(pen);
    const QString right = index.data(RightRole).toString();
    const QString middle = index.data(MiddleRole).toString();
    const auto reserve = [&](const QString &sample, const QString &shown) {
        return qMax(columnMetrics.horizontalAdvance(sample),
                    columnMetrics.horizontalAdvance(shown));
    };
    // The floor keeps its columns on every row; a list of priced names only where a price is.
    if ((m_mark && !m_rightSample.isEmpty()) || !right.isEmpty()) {
        const int width = reserve(m_rightSample, right);
        painter->setFont(columnFont);
        painter->drawText(QRect(area.right() - width + 1, area.top(), width, area.height()),
                          Qt::AlignRight | Qt::AlignVCenter, right);
        area.setRight(area.right() - width - kGap);
    }
    if ((m_mark && !m_middleSample.isEmpty()) || !middle.isEmpty()) {
        const int width = reserve(m_middleSample, middle);
        painter->setFont(columnFont);
        painter->drawText(QRect(area.right() - width + 1, area.top(), width, area.height()),
                          Qt::AlignRight | Qt::AlignVCenter, middle);
        area.setRight(area.right() - width - kGap);
    }

    painter->setFont(opt.font);
    const QString shown = QFontMetrics(opt.font).elidedText(text, Qt::ElideMiddle, area.width());
    painter->drawText(area, Qt::AlignLeft | Qt::AlignVCenter, shown);
    painter->restore();
}
