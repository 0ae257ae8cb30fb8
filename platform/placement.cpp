#include "placement.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>

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
            area.moveLeft(qBound(screen.left(), area.left(), screen.right() - area.width()));
            area.moveTop(qBound(screen.top(), area.top(), screen.bottom() - area.height()));
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
