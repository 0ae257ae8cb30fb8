#pragma once

#include <QFrame>
#include <QPoint>
#include <functional>

class QTimer;

// Direction of a slide out of the home position.
enum TDirection { drUp, drDown, drLeft, drRight };

// A raised panel that slides by MoveLength pixels from its home position and back, driven by
// its own timer: either MovePerTick pixels per tick (step movement) or following the clock so
// that every slide takes MoveFullTime milliseconds (timed movement, MoveNewStyle).
// The owning window calls loaded() once its description is set up; that fixes the home
// position and the direction in effect.
class TantMovablePanel : public QFrame
{
    Q_OBJECT
    Q_PROPERTY(bool MoveNewStyle READ MoveNewStyle WRITE setMoveNewStyle)
    Q_PROPERTY(quint32 MoveFullTime READ MoveFullTime WRITE setMoveFullTime)
    Q_PROPERTY(quint16 TimerInterval READ TimerInterval WRITE setTimerInterval)
    Q_PROPERTY(qint32 MovePerTick READ MovePerTick WRITE setMovePerTick)
    Q_PROPERTY(qint32 MoveLength READ MoveLength WRITE setMoveLength)
    Q_PROPERTY(TDirection Direction READ Direction WRITE setDirection)
    Q_PROPERTY(bool AutoBack READ AutoBack WRITE setAutoBack)
    Q_PROPERTY(bool AutoRepeat READ AutoRepeat WRITE setAutoRepeat)

public:
    // Milliseconds of a monotonic clock; only differences matter.
    using TickSource = std::function<quint64()>;

    explicit TantMovablePanel(QWidget *parent = nullptr);
    ~TantMovablePanel() override;

    bool MoveNewStyle() const { return m_moveNewStyle; }
    virtual void setMoveNewStyle(bool value);
    quint32 MoveFullTime() const { return m_moveFullTime; }
    void setMoveFullTime(quint32 ms) { m_moveFullTime = ms; }
    quint16 TimerInterval() const { return m_timerInterval; }
    virtual void setTimerInterval(quint16 ms);
    qint32 MovePerTick() const { return m_movePerTick; }
    virtual void setMovePerTick(qint32 pixels);
    qint32 MoveLength() const { return m_moveLength; }
    virtual void setMoveLength(qint32 pixels);
    TDirection Direction() const { return m_direction; }
    void setDirection(TDirection direction) { m_direction = direction; }
    bool AutoBack() const { return m_autoBack; }
    void setAutoBack(bool value) { m_autoBack = value; }
    bool AutoRepeat() const { return m_autoRepeat; }
    void setAutoRepeat(bool value) { m_autoRepeat = value; }

    // Called by the owning window after setupUi: takes the home position from the current
    // top-left corner and the direction in effect from Direction.
    void loaded();

    // Slide out / slide home; each reports its event and switches the timer on.
    virtual void DoMove();
    virtual void UndoMove();
    // Turns the heading round: no event, the timer is left as it is.
    virtual void ReverseMove();

    // One timer tick, exactly as the panel's timer delivers it.
    void tick();

    // The clock read at the start of a slide and on every timed tick; an empty function
    // restores the monotonic system clock.
    void setTickSource(TickSource source);

    bool isOut() const { return m_out; }
    bool isMoving() const { return m_moving; }
    qint64 startTime() const { return m_startTime; }
    QPoint homePosition() const { return m_home; }
    TDirection directionInEffect() const { return m_directionInEffect; }
    const QTimer *timer() const { return m_timer; }

signals:
    void OnDoMove(TantMovablePanel *sender);
    void OnUndoMove(TantMovablePanel *sender);
    void OnMoveEnd(TantMovablePanel *sender);

protected:
    virtual void setOut(bool value);
    virtual void stepTick();
    virtual void timedTick();

private:
    qint64 tickCount() const;
    void placeFor(qint64 t);
    void finishMove();

    QTimer *m_timer = nullptr;
    TickSource m_tickSource;

    bool m_moveNewStyle = false;
    quint32 m_moveFullTime = 1000;
    quint16 m_timerInterval = 25;
    qint32 m_movePerTick = 0;
    qint32 m_moveLength = 0;
    TDirection m_direction = drDown;
    bool m_autoBack = false;
    bool m_autoRepeat = false;

    bool m_out = false;
    bool m_moving = false;
    qint64 m_startTime = 0;
    QPoint m_home;
    TDirection m_directionInEffect = drDown;
};
