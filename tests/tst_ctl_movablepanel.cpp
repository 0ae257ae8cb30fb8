#include "antMovablePanel.h"

#include <QTimer>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(TDirection)

// The panel's clock is driven by the test and ticks are delivered by hand, so every position
// is exact and no test waits for a real timer (except the one that checks the wiring).
class TestMovablePanel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void defaults();
    void setterLimits();
    void timedSlide_data() { directionRows(); }
    void timedSlide();
    void timedReverse_data() { directionRows(); }
    void timedReverse();
    void stepSlide_data() { directionRows(); }
    void stepSlide();
    void stepReverse();
    void zeroPerTickNeverArrives();
    void autoBackReturnsOnce();
    void autoRepeatKeepsGoing();
    void eventOrder();
    void homeAndDirectionFixedAtLoad();
    void zeroFullTimeArrivesAtOnce();
    void lateTurnDoesNotOvershoot();
    void realTimerDrivesSlide();

private:
    static void directionRows();
    void makePanel(TDirection direction);
    // Distance from home along the slide direction (positive = outward).
    int outward() const;
    // The coordinate that the slide must never change still equals home.
    bool crossAxisAtHome() const;
    void record();

    std::unique_ptr<QWidget> m_parent;
    TantMovablePanel *m_panel = nullptr;
    quint64 m_now = 0;
    TDirection m_direction = drDown;
    QStringList m_log;
};

static const QPoint kHome(300, 300);

void TestMovablePanel::directionRows()
{
    QTest::addColumn<TDirection>("direction");
    QTest::newRow("up") << drUp;
    QTest::newRow("down") << drDown;
    QTest::newRow("left") << drLeft;
    QTest::newRow("right") << drRight;
}

void TestMovablePanel::init()
{
    m_parent = std::make_unique<QWidget>();
    m_parent->resize(800, 800);
    m_now = 10000;
    m_log.clear();
}

void TestMovablePanel::cleanup()
{
    m_panel = nullptr;
    m_parent.reset();
}

void TestMovablePanel::makePanel(TDirection direction)
{
    m_direction = direction;
    m_panel = new TantMovablePanel(m_parent.get());
    m_panel->setGeometry(QRect(kHome, QSize(100, 50)));
    m_panel->setDirection(direction);
    m_panel->setMoveLength(220);
    m_panel->setTickSource([this] { return m_now; });
    m_panel->loaded();
    record();
}

void TestMovablePanel::record()
{
    connect(m_panel, &TantMovablePanel::OnDoMove, this, [this](TantMovablePanel *sender) {
        QCOMPARE(sender, m_panel);
        m_log << "do";
    });
    connect(m_panel, &TantMovablePanel::OnUndoMove, this, [this](TantMovablePanel *sender) {
        QCOMPARE(sender, m_panel);
        m_log << "undo";
    });
    connect(m_panel, &TantMovablePanel::OnMoveEnd, this, [this](TantMovablePanel *sender) {
        QCOMPARE(sender, m_panel);
        m_log << "end";
    });
}

int TestMovablePanel::outward() const
{
    const QPoint d = m_panel->pos() - kHome;
    switch (m_direction) {
    case drUp:
        return -d.y();
    case drDown:
        return d.y();
    case drLeft:
        return -d.x();
    case drRight:
        return d.x();
    }
    return 0;
}

bool TestMovablePanel::crossAxisAtHome() const
{
    const bool vertical = m_direction == drUp || m_direction == drDown;
    return vertical ? m_panel->x() == kHome.x() : m_panel->y() == kHome.y();
}

void TestMovablePanel::defaults()
{
    TantMovablePanel panel;
    QVERIFY(!panel.MoveNewStyle());
    QCOMPARE(panel.Direction(), drDown);
    QCOMPARE(panel.MoveFullTime(), 1000u);
    QVERIFY(!panel.isOut());
    QVERIFY(!panel.timer()->isActive());
    QCOMPARE(panel.timer()->interval(), 25);
    QCOMPARE(panel.frameShape(), QFrame::Panel);
    QCOMPARE(panel.frameShadow(), QFrame::Raised);
}

void TestMovablePanel::setterLimits()
{
    TantMovablePanel panel;
    panel.setTimerInterval(40);
    QCOMPARE(panel.TimerInterval(), quint16(40));
    QCOMPARE(panel.timer()->interval(), 40);
    panel.setTimerInterval(0);
    QCOMPARE(panel.TimerInterval(), quint16(25));
    QCOMPARE(panel.timer()->interval(), 25);

    panel.setMovePerTick(-5);
    QCOMPARE(panel.MovePerTick(), 0);
    panel.setMovePerTick(25);
    QCOMPARE(panel.MovePerTick(), 25);
    panel.setMoveLength(-1);
    QCOMPARE(panel.MoveLength(), 0);
    panel.setMoveLength(220);
    QCOMPARE(panel.MoveLength(), 220);
}

void TestMovablePanel::timedSlide()
{
    QFETCH(TDirection, direction);
    makePanel(direction);
    m_panel->setMoveNewStyle(true);

    m_panel->DoMove();
    m_now += 500;
    m_panel->tick();
    QCOMPARE(outward(), 110);
    m_now += 500;
    m_panel->tick();
    QCOMPARE(outward(), 220);
    QVERIFY(m_panel->isMoving());
    m_now += 25;
    m_panel->tick();
    QCOMPARE(outward(), 220);
    QVERIFY(!m_panel->isMoving());
    QVERIFY(!m_panel->timer()->isActive());
    QVERIFY(crossAxisAtHome());

    m_now += 3000;
    m_panel->UndoMove();
    m_now += 250;
    m_panel->tick();
    QCOMPARE(outward(), 165);
    m_now += 751;
    m_panel->tick();
    QCOMPARE(m_panel->pos(), kHome);
    QVERIFY(!m_panel->isMoving());
    QCOMPARE(m_log, QStringList({"do", "end", "undo", "end"}));
}

void TestMovablePanel::timedReverse()
{
    QFETCH(TDirection, direction);
    makePanel(direction);
    m_panel->setMoveNewStyle(true);

    m_panel->DoMove();
    m_now += 300;
    m_panel->tick();
    QCOMPARE(outward(), 66);

    m_panel->ReverseMove();
    QVERIFY(!m_panel->isOut());
    QVERIFY(m_panel->timer()->isActive());
    m_panel->tick();
    QCOMPARE(outward(), 66); // turns round where it stands
    m_now += 150;
    m_panel->tick();
    QCOMPARE(outward(), 33);
    m_now += 149;
    m_panel->tick();
    QCOMPARE(outward(), 1);
    m_now += 1; // 300 ms after the turn
    m_panel->tick();
    QCOMPARE(m_panel->pos(), kHome);
    QVERIFY(m_panel->isMoving());
    m_now += 1;
    m_panel->tick();
    QVERIFY(!m_panel->isMoving());
    QCOMPARE(m_panel->pos(), kHome);
    QCOMPARE(m_log, QStringList({"do", "end"}));
}

void TestMovablePanel::stepSlide()
{
    QFETCH(TDirection, direction);
    makePanel(direction);
    m_panel->setMovePerTick(25);

    QList<int> out;
    m_panel->DoMove();
    for (int i = 0; i < 20 && m_panel->isMoving(); ++i) {
        m_panel->tick();
        out << outward();
        QVERIFY(crossAxisAtHome());
    }
    QCOMPARE(out, QList<int>({25, 50, 75, 100, 125, 150, 175, 200, 220}));
    QVERIFY(!m_panel->timer()->isActive());

    QList<int> back;
    m_panel->UndoMove();
    for (int i = 0; i < 20 && m_panel->isMoving(); ++i) {
        m_panel->tick();
        back << outward();
    }
    QCOMPARE(back, QList<int>({195, 170, 145, 120, 95, 70, 45, 20, 0}));
    QCOMPARE(m_panel->pos(), kHome);
    QCOMPARE(m_log, QStringList({"do", "end", "undo", "end"}));
}

void TestMovablePanel::stepReverse()
{
    makePanel(drDown);
    m_panel->setMovePerTick(25);
    m_panel->DoMove();
    for (int i = 0; i < 3; ++i)
        m_panel->tick();
    QCOMPARE(outward(), 75);

    m_panel->ReverseMove();
    QList<int> back;
    for (int i = 0; i < 10 && m_panel->isMoving(); ++i) {
        m_panel->tick();
        back << outward();
    }
    QCOMPARE(back, QList<int>({50, 25, 0}));
    QCOMPARE(m_log, QStringList({"do", "end"}));
}

void TestMovablePanel::zeroPerTickNeverArrives()
{
    makePanel(drDown);
    m_panel->DoMove();
    for (int i = 0; i < 50; ++i)
        m_panel->tick();
    QCOMPARE(m_panel->pos(), kHome);
    QVERIFY(m_panel->isMoving());
    QVERIFY(m_panel->timer()->isActive());

    m_panel->UndoMove();
    m_panel->tick();
    QVERIFY(!m_panel->isMoving());
    QVERIFY(!m_panel->timer()->isActive());
    QCOMPARE(m_panel->pos(), kHome);
    QCOMPARE(m_log, QStringList({"do", "undo", "end"}));
}

void TestMovablePanel::autoBackReturnsOnce()
{
    makePanel(drDown);
    m_panel->setMovePerTick(100);
    m_panel->setAutoBack(true);
    m_panel->DoMove();
    QList<int> path;
    for (int i = 0; i < 8; ++i) {
        m_panel->tick();
        path << outward();
    }
    QCOMPARE(path, QList<int>({100, 200, 220, 120, 20, 0, 0, 0}));
    QCOMPARE(m_panel->pos(), kHome);
    QVERIFY(!m_panel->isMoving());
    QVERIFY(!m_panel->timer()->isActive());
    QCOMPARE(m_log, QStringList({"do", "end", "undo", "end"}));
}

void TestMovablePanel::autoRepeatKeepsGoing()
{
    makePanel(drRight);
    m_panel->setMoveNewStyle(true);
    m_panel->setAutoRepeat(true);
    m_panel->DoMove();
    int arrivals = 0;
    connect(m_panel, &TantMovablePanel::OnMoveEnd, this, [&] {
        QCOMPARE(outward(), arrivals % 2 == 0 ? 220 : 0);
        ++arrivals;
    });
    for (int i = 0; i < 100; ++i) {
        m_now += 100;
        m_panel->tick();
    }
    // Each slide: 10 placing ticks, the 11th finishes and starts the next slide.
    QCOMPARE(arrivals, 9);
    QVERIFY(m_panel->isMoving());
    QVERIFY(m_panel->timer()->isActive());
    QCOMPARE(m_log.mid(0, 7), QStringList({"do", "end", "undo", "end", "do", "end", "undo"}));
}

void TestMovablePanel::eventOrder()
{
    makePanel(drDown);
    m_panel->setMovePerTick(220);
    bool checked = false;
    connect(m_panel, &TantMovablePanel::OnDoMove, this, [&] {
        QVERIFY(m_panel->isOut());
        QVERIFY(m_panel->isMoving());
        QVERIFY(!m_panel->timer()->isActive()); // switched on after the report
        checked = true;
    });
    connect(m_panel, &TantMovablePanel::OnMoveEnd, this, [&] {
        QVERIFY(!m_panel->isMoving());
        QVERIFY(!m_panel->timer()->isActive());
        QCOMPARE(outward(), 220);
    });
    m_panel->DoMove();
    QVERIFY(checked);
    QCOMPARE(m_log, QStringList({"do"}));
    QVERIFY(m_panel->timer()->isActive());
    m_panel->tick();
    QCOMPARE(m_log, QStringList({"do", "end"}));
}

void TestMovablePanel::homeAndDirectionFixedAtLoad()
{
    // Configured as the settings window configures its panel.
    auto *panel = new TantMovablePanel(m_parent.get());
    panel->setGeometry(4, 16, 397, 273);
    panel->setMoveNewStyle(true);
    panel->setMovePerTick(25);
    panel->setMoveLength(220);
    panel->setTickSource([this] { return m_now; });
    panel->loaded();
    QCOMPARE(panel->homePosition(), QPoint(4, 16));
    QCOMPARE(panel->directionInEffect(), drDown);

    panel->setDirection(drLeft);
    panel->move(50, 60);
    panel->DoMove();
    m_now += 1001;
    panel->tick();
    QCOMPARE(panel->pos(), QPoint(50, 236));
    QCOMPARE(panel->homePosition(), QPoint(4, 16));
    QCOMPARE(panel->directionInEffect(), drDown);
}

void TestMovablePanel::zeroFullTimeArrivesAtOnce()
{
    makePanel(drUp);
    m_panel->setMoveNewStyle(true);
    m_panel->setMoveFullTime(0);
    m_panel->DoMove();
    m_panel->tick(); // same millisecond: placed at the end
    QCOMPARE(outward(), 220);
    m_now += 1;
    m_panel->tick();
    QCOMPARE(outward(), 220);
    QVERIFY(!m_panel->isMoving());
}

void TestMovablePanel::lateTurnDoesNotOvershoot()
{
    // A turn after the end time but before the finishing tick starts from the far end.
    makePanel(drDown);
    m_panel->setMoveNewStyle(true);
    m_panel->DoMove();
    m_now += 1000;
    m_panel->tick();
    QCOMPARE(outward(), 220);
    m_now += 40;
    m_panel->ReverseMove();
    m_panel->tick();
    QCOMPARE(outward(), 220);
    m_now += 40;
    m_panel->tick();
    QCOMPARE(outward(), 220);
    m_now += 500;
    m_panel->tick();
    QCOMPARE(outward(), 110);
}

void TestMovablePanel::realTimerDrivesSlide()
{
    makePanel(drDown);
    m_panel->setTickSource({});
    m_panel->setTimerInterval(1);
    m_panel->setMovePerTick(100);
    m_panel->DoMove();
    QTRY_VERIFY_WITH_TIMEOUT(!m_panel->isMoving(), 5000);
    QCOMPARE(outward(), 220);
}

QTEST_MAIN(TestMovablePanel)
#include "tst_ctl_movablepanel.moc"
