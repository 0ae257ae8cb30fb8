#pragma once

#include <QStyledItemDelegate>

class QListWidgetItem;

// Draws a list row in columns beside its text, which stays the row's own text (what other
// windows and the files rely on): an optional round mark before it, and up to two columns
// after it, right-aligned at the row's right edge. The text gives way, elided in the middle
// so that a table's number stays readable.
class TRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    enum Role {
        MarkRole = Qt::UserRole + 40, // QColor of the mark; none when unset
        MiddleRole,                   // text of the middle column
        RightRole,                    // text of the right column
    };

    explicit TRowDelegate(QObject *parent = nullptr);

    // Sets a row's right column; a screen reader then reads the row as it is seen, its text
    // and the column ("Çay, 5.000 TL"), where it would read the text alone.
    static void setRightColumn(QListWidgetItem *item, const QString &text);

    // Leaves room for a mark before every row, set or not, so that texts stay aligned.
    void setMarkColumn(bool on) { m_mark = on; }
    // The widest texts the columns must hold; their width is reserved on every row that has
    // the column (with a mark column, on every row).
    void setColumnSamples(const QString &middle, const QString &right);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    // Where the row's own text goes; it is elided when narrower than the text.
    QRect textArea(const QStyleOptionViewItem &option, const QModelIndex &index) const;

private:
    QRect layout(const QStyleOptionViewItem &option, const QModelIndex &index, QRect *markRect,
                 QRect *middleRect, QRect *rightRect) const;

    bool m_mark = false;
    QString m_middleSample;
    QString m_rightSample;
};
