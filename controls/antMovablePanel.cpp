#include "antMovablePanel.h"

#include <QTimer>

#include <algorithm>
#include <chrono>

TantMovablePanel::TantMovablePanel(QWidget *parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(1);

    m_timer = new QTimer(this);
    m_timer->setInterval(m_timerInterval);
    connect(m_timer, &QTimer::timeout, this, &TantMovablePanel::tick);
}

TantMovablePanel::~TantMovablePanel() = default;

void TantMovablePanel::setMoveNewStyle(bool value)
{
    // tick() picks the timed or the step handler from this flag on every tick.
    m_moveNewStyle = value;
}

void TantMovablePanel::setTimerInterval(quint16 ms)
{
    m_timerInterval = ms == 0 ? 25 : ms;
    m_timer->setInterval(m_timerInterval);
}

void TantMovablePanel::setMovePerTick(qint32 pixels)
{
    m_movePerTick = std::max(pixels, 0);
}

void TantMovablePanel::setMoveLength(qint32 pixels)
{
    m_moveLength = std::max(pixels, 0);
}

void TantMovablePanel::loaded()
{
    m_directionInEffect = m_direction;
    m_home = pos();
}

void TantMovablePanel::DoMove()
{
    setOut(true);
    m_moving = true;
    emit OnDoMove(this);
    // An already running timer keeps its phase.
    if (!m_timer->isActive())
        m_timer->start();
}

void TantMovablePanel::UndoMove()
{
    setOut(false);
    m_moving = true;
    emit OnUndoMove(this);
    if (!m_timer->isActive())
        m_timer->start();
}

void TantMovablePanel::ReverseMove()
{
    setOut(!m_out);
}

void TantMovablePanel::tick()
{
    if (!m_timer->isActive())
        return;
    if (m_moveNewStyle)
        timedTick();
    else
        stepTick();
}

void TantMovablePanel::setTickSource(TickSource source)
{
    m_tickSource = std::move(source);
}

qint64 TantMovablePanel::tickCount() const
{
    if (m_tickSource)
        return qint64(m_tickSource());
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void TantMovablePanel::setOut(bool value)
{
    if (m_moveNewStyle && m_moving) {
        // Turning round mid-slide: the new elapsed time is what the old one had left, so the
        // panel goes on from where it stands.
        if (value != m_out) {
            const qint64 t = tickCount();
            m_startTime = 2 * t - m_startTime - qint64(m_moveFullTime);
            m_out = value;
        }
        return;
    }
    m_out = value;
    m_startTime = tickCount();
}

void TantMovablePanel::timedTick()
{
    const qint64 t = tickCount();
    const qint64 end = m_startTime + qint64(m_moveFullTime);
    if (end >= t) {
        placeFor(t);
        update();
        return;
    }
    placeFor(end);
    update();
    finishMove();
}

void TantMovablePanel::placeFor(qint64 t)
{
    const qint64 length = m_moveLength;
    // A zero duration arrives at once instead of dividing by zero; the clamp keeps a turn
    // made after the end time (before the finishing tick) from overshooting the far end.
    qint64 offset = length;
    if (m_moveFullTime != 0)
        offset = length * (t - m_startTime) / qint64(m_moveFullTime);
    offset = std::clamp<qint64>(offset, 0, length);

    const qint64 top = m_home.y();
    const qint64 left = m_home.x();
    switch (m_directionInEffect) {
    case drUp:
        move(x(), int(m_out ? top - offset : top + offset - length));
        break;
    case drDown:
        move(x(), int(m_out ? top + offset : top + length - offset));
        break;
    case drLeft:
        move(int(m_out ? left - offset : left + offset - length), y());
        break;
    case drRight:
        move(int(m_out ? left + offset : left + length - offset), y());
        break;
    }
}

void TantMovablePanel::stepTick()
{
    // Every step is measured from where the panel stands, so a turn mid-slide just works.
    const qint64 s = m_movePerTick;
    const qint64 length = m_moveLength;
    const qint64 homeTop = m_home.y();
    const qint64 homeLeft = m_home.x();
    const qint64 top = y();
    const qint64 left = x();

    bool step = false;
    qint64 newTop = top;
    qint64 newLeft = left;
    if (m_out) {
        switch (m_directionInEffect) {
        case drUp:
            step = homeTop - length + s < top;
            newTop = step ? top - s : homeTop - length;
            break;
        case drDown:
            step = homeTop + length - s > top;
            newTop = step ? top + s : homeTop + length;
            break;
        case drLeft:
            step = homeLeft - length + s < left;
            newLeft = step ? left - s : homeLeft - length;
            break;
        case drRight:
            step = homeLeft + length - s > left;
            newLeft = step ? left + s : homeLeft + length;
            break;
        }
    } else {
        switch (m_directionInEffect) {
        case drUp:
            step = homeTop - s > top;
            newTop = top + s;
            break;
        case drDown:
            step = homeTop + s < top;
            newTop = top - s;
            break;
        case drLeft:
            step = homeLeft - s > left;
            newLeft = left + s;
            break;
        case drRight:
            step = homeLeft + s < left;
            newLeft = left - s;
            break;
        }
        if (!step) {
            newTop = homeTop;
            newLeft = homeLeft;
        }
    }

    move(int(newLeft), int(newTop));
    update();
    if (!step)
        finishMove();
}

void TantMovablePanel::finishMove()
{
    m_timer->stop();
    m_moving = false;
    emit OnMoveEnd(this);
    if (m_autoRepeat || (m_autoBack && m_out)) {
        if (m_out)
            UndoMove();
        else
            DoMove();
    }
}
