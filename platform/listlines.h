#pragma once

#include <QEvent>
#include <QListWidget>

namespace kv {

// The line the operator chose: the current line when it is also selected, else -1.
inline int chosenRow(const QListWidget *list)
{
    const QListWidgetItem *item = list->currentItem();
    return item && item->isSelected() ? list->currentRow() : -1;
}

// Enter takes the line the keyboard stands on, which focus alone shows without selecting it.
// False when no line is current.
inline bool selectCurrentRow(QListWidget *list)
{
    QListWidgetItem *current = list->currentItem();
    if (current)
        current->setSelected(true);
    return current != nullptr;
}

// Lets a list handle a key press itself and tells whether the key moved its current line to
// another one: a line chosen with the keyboard counts as a click, focus alone does not.
inline bool keyMovesCurrentRow(QListWidget *list, QEvent *keyPress, bool *handled)
{
    const int before = list->currentRow();
    *handled = static_cast<QObject *>(list)->event(keyPress);
    return list->currentRow() != before && list->currentRow() >= 0;
}

} // namespace kv
