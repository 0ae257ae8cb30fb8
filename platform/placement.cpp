#include "placement.h"

#include <QApplication>
#include <QEvent>
#include <QLayout>
#include <QMainWindow>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QSizeGrip>
#include <QStyle>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace kv {

namespace {

// The frame a window manager put around a window that has been shown; none while unknown,
// and none for popups and tool tips, which have no frame.
QMargins knownFrame(const QWidget *w)
{
    if (w->windowType() != Qt::Window && w->windowType() != Qt::Dialog)
        return {};
    const QWindow *handle = w->windowHandle();
    return handle ? handle->frameMargins() : QMargins();
}

// The frame of a window. Until it has been shown, its parent's is taken, or another window's,
// or a title bar and borders are guessed (platforms that draw no frames have none).
QMargins frameOf(const QWidget *window)
{
    if (window->windowFlags() & Qt::FramelessWindowHint)
        return {};
    QList<const QWidget *> known{window};
    if (const QWidget *parent = window->parentWidget())
        known << parent->window();
    for (const QWidget *other : QApplication::topLevelWidgets())
        if (other->isVisible())
            known << other;
    for (const QWidget *w : known)
        if (const QMargins frame = knownFrame(w); !frame.isNull())
            return frame;
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return {};
    return {8, 32, 8, 8};
}

bool fits(QSize size, QSize room)
{
    return size.width() <= room.width() && size.height() <= room.height();
}

// Moves a window, frame included, onto the area; a window larger than the area keeps its
// top-left corner on it.
QRect clampedInto(QRect client, const QMargins &frame, const QRect &area)
{
    QRect outer = client.marginsAdded(frame);
    outer.moveLeft(std::max(area.left(), std::min(outer.left(), area.right() + 1 - outer.width())));
    outer.moveTop(std::max(area.top(), std::min(outer.top(), area.bottom() + 1 - outer.height())));
    return outer.marginsRemoved(frame);
}

// Fits a window to its screen at every showing; then centres it, or keeps one that had to
// shrink on the screen.
class ScreenFit : public QObject
{
public:
    ScreenFit(QWidget *window, bool centred) : QObject(window), m_window(window), m_centred(centred)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        // The show event comes before the window is mapped.
        if (event->type() == QEvent::Show && !event->spontaneous()) {
            const bool changed = fit();
            if (m_centred)
                centre();
            else if (changed)
                keepOnScreen();
            m_frameTaken = knownFrame(m_window).isNull();
        } else if (event->type() == QEvent::WindowActivate && m_frameTaken) {
            // Mapped, it has a frame of its own, which may be larger than the one taken (a
            // dialog's grip): then it fits once more.
            // Or smaller than the one guessed: a window shrunk for it gets its size back.
            m_frameTaken = false;
            const QRect area = m_window->screen()->availableGeometry();
            const QMargins frame = knownFrame(m_window);
            if (!frame.isNull() &&
                (fit() || !area.contains(m_window->geometry().marginsAdded(frame))))
                keepOnScreen();
        }
        return false;
    }

private:
    // Fits the window to the screen it is shown on; true when its size changed.
    bool fit()
    {
        QWidget *w = m_window;
        if (!m_design.isValid()) {
            // What the window was made for, before any fitting.
            m_fixed = w->minimumSize() == w->maximumSize();
            m_design = w->size();
            const bool laidOut = w->layout() && !qobject_cast<QMainWindow *>(w);
            m_least =
                m_fixed || !laidOut ? m_design : w->minimumSizeHint().expandedTo(w->minimumSize());
        }
        const QSize room = w->screen()->availableGeometry().size().shrunkBy(frameOf(w));
        if (fits(m_least, room)) {
            if (m_fixed && w->size() != m_design) {
                w->setFixedSize(m_design); // back on a screen it fits
                return true;
            }
            if (m_fixed || fits(w->size(), room))
                return false;
            w->resize(w->size().boundedTo(room));
            return true;
        }
        wrap();
        // Where one way scrolls, its scroll bar is added the other way, as far as there is room.
        QSize target = m_fixed ? m_design : w->size();
        const int bar = w->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, w);
        if (m_least.width() > room.width())
            target.rheight() += bar;
        if (m_least.height() > room.height())
            target.rwidth() += bar;
        target = target.boundedTo(room);
        if (target == w->size())
            return false;
        if (m_fixed)
            w->setFixedSize(target);
        else
            w->resize(target);
        return true;
    }

    // The window on its screen, frame included.
    void keepOnScreen()
    {
        const QRect area = m_window->screen()->availableGeometry();
        m_window->setGeometry(clampedInto(m_window->geometry(), frameOf(m_window), area));
    }

    // Centred over its parent window, or on the screen. The client area is centred, not the
    // frame: the frame is unknown at the first showing and known at the later ones, which
    // would put the window lower from the second showing on.
    void centre()
    {
        QWidget *window = m_window;
        const QWidget *parent = window->parentWidget();
        const QRect screen = window->screen()->availableGeometry();
        QRect client(QPoint(0, 0), window->size());
        client.moveCenter(parent ? parent->window()->geometry().center() : screen.center());
        window->setGeometry(clampedInto(client, frameOf(window), screen));
    }

    // Moves the window's content into a scroll area that keeps it at its designed size. The
    // controls keep their names, order and visibility; only their parent changes.
    void wrap()
    {
        if (m_area)
            return;
        QWidget *w = m_window;
        auto *area = new QScrollArea(w);
        area->setObjectName(QStringLiteral("screenFitArea"));
        area->setFrameShape(QFrame::NoFrame);
        area->setWidgetResizable(true);
        area->setFocusPolicy(Qt::NoFocus); // Tab goes on to the controls, scrolling to each
        m_area = area;
        if (auto *main = qobject_cast<QMainWindow *>(w)) {
            QWidget *content = main->centralWidget();
            if (!content->layout())
                content->setMinimumSize(content->size());
            main->takeCentralWidget();
            area->setWidget(content);
            main->setCentralWidget(area);
        } else {
            auto *content = new QWidget;
            content->setObjectName(QStringLiteral("screenFitContent"));
            area->setWidget(content); // in the window already, so the focus order stays
            if (QLayout *layout = w->layout()) {
                QList<QWidget *> hidden;
                for (QWidget *child : w->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
                    if (isExplicitlyHidden(child))
                        hidden << child;
                content->setLayout(layout); // takes the layout's controls along
                for (QWidget *child : hidden)
                    child->hide();
            } else {
                content->setMinimumSize(m_design);
            }
            // Controls placed by hand go along where they were.
            const QObjectList children = w->children(); // changes while they move
            for (QObject *object : children) {
                auto *child = qobject_cast<QWidget *>(object);
                if (!child || child->isWindow() || child == area ||
                    qobject_cast<QSizeGrip *>(child))
                    continue;
                const bool hidden = isExplicitlyHidden(child);
                const QRect at = child->geometry();
                child->setParent(content);
                child->setGeometry(at);
                child->setVisible(!hidden);
            }
            auto *outer = new QVBoxLayout(w);
            outer->setContentsMargins(0, 0, 0, 0);
            outer->addWidget(area);
            // The least size the window's own layout gave it now belongs to the content.
            if (!m_fixed)
                w->setMinimumSize(0, 0);
            outer->activate();
        }
        area->show();
    }

    static bool isExplicitlyHidden(const QWidget *w)
    {
        return w->isHidden() && w->testAttribute(Qt::WA_WState_ExplicitShowHide);
    }

    QWidget *m_window;
    bool m_centred;
    bool m_frameTaken = false; // shown with a frame not its own
    QPointer<QScrollArea> m_area;
    QSize m_design; // invalid until the first showing
    QSize m_least;
    bool m_fixed = false;
};

} // namespace

void fitToScreen(QWidget *window)
{
    new ScreenFit(window, false);
}

void centreAtEveryShowing(QWidget *window)
{
    new ScreenFit(window, true);
}

} // namespace kv
