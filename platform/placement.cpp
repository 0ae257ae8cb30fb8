#include "placement.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace kv {

namespace {
class Recentre : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // The show event comes before the window is mapped. The client area is placed, not
        // the frame: the frame is unknown at the first showing and known at the later ones,
        // which would put the window lower from the second showing on.
        if (event->type() == QEvent::Show && !event->spontaneous()) {
            auto *window = static_cast<QWidget *>(watched);
            const QWidget *parent = window->parentWidget();
            QRect area(QPoint(0, 0), window->size());
            area.moveCenter(parent ? parent->window()->geometry().center()
                                   : window->screen()->availableGeometry().center());
            const QRect screen = window->screen()->availableGeometry();
            // A window larger than the screen keeps its top-left corner on the screen.
            area.moveLeft(std::max(
                screen.left(), std::min(area.left(), screen.x() + screen.width() - area.width())));
            area.moveTop(std::max(
                screen.top(), std::min(area.top(), screen.y() + screen.height() - area.height())));
            window->setGeometry(area);
        }
        return false;
    }
};
} // namespace

void centreAtEveryShowing(QWidget *window)
{
    window->installEventFilter(new Recentre(window));
}

} // namespace kv
