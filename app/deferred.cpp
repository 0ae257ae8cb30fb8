#include "deferred.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace kv {

namespace {

class AfterFirstPaint : public QObject
{
public:
    AfterFirstPaint(QWidget *window, std::function<void()> then, int fallbackMs)
        : QObject(window), m_then(std::move(then))
    {
        window->installEventFilter(this);
        QTimer::singleShot(fallbackMs, this, [this] { run(); });
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            // The children are painted and the frame flushed in the same call; posted twice,
            // so that what else was posted during the paint (its report) comes first.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    QMetaObject::invokeMethod(
                        this, [this] { run(); }, Qt::QueuedConnection);
                },
                Qt::QueuedConnection);
        }
        return false;
    }

private:
    void run()
    {
        if (!m_then)
            return;
        parent()->removeEventFilter(this);
        const std::function<void()> then = std::exchange(m_then, nullptr);
        deleteLater();
        then();
    }

    std::function<void()> m_then;
};

class BeforeFirstInput : public QObject
{
public:
    explicit BeforeFirstInput(std::function<void()> first) : m_first(std::move(first))
    {
        QCoreApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TabletPress:
            if (m_first) {
                QCoreApplication::instance()->removeEventFilter(this);
                const std::function<void()> first = std::exchange(m_first, nullptr);
                deleteLater();
                first();
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    std::function<void()> m_first;
};

} // namespace

QObject *beforeFirstInput(std::function<void()> first)
{
    return new BeforeFirstInput(std::move(first));
}

void afterFirstPaint(QWidget *window, std::function<void()> then, int fallbackMs)
{
    new AfterFirstPaint(window, std::move(then), fallbackMs);
}

} // namespace kv
