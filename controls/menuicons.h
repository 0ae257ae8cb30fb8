#pragma once

#include <QList>
#include <QStyle>

#include <utility>

class QAction;
class QMenu;

// Gives a menu's actions their standard icons when the menu is first about to show: the
// style decodes every size of each icon from its pictures, which the start need not wait
// for. The icons are in place before the menu measures itself, so it looks the same.
void setIconsAtFirstShowing(QMenu *menu,
                            const QList<std::pair<QAction *, QStyle::StandardPixmap>> &icons);
