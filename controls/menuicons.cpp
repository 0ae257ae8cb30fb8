#include "menuicons.h"

#include <QAction>
#include <QMenu>
#include <QPointer>

#include <memory>

void setIconsAtFirstShowing(QMenu *menu,
                            const QList<std::pair<QAction *, QStyle::StandardPixmap>> &icons)
{
    auto connection = std::make_shared<QMetaObject::Connection>();
    QList<std::pair<QPointer<QAction>, QStyle::StandardPixmap>> actions;
    for (const auto &[action, icon] : icons)
        actions.append({action, icon});
    *connection = QObject::connect(menu, &QMenu::aboutToShow, menu, [menu, actions, connection] {
        QObject::disconnect(*connection);
        for (const auto &[action, icon] : actions)
            if (action)
                action->setIcon(menu->style()->standardIcon(icon));
    });
}
