// Where a window lands at its showing: centred, and never off the screen's top-left; one
// larger than the screen fits it and scrolls.
#include "placement.h"

#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QWidget>
#include <QtTest>

class TestPlacement : public QObject
{
    Q_OBJECT

private slots:
    void placed_data();
    void placed();
    void fitted_data();
    void fitted();
};

void TestPlacement::placed_data()
{
    // Sizes as fractions of the screen, so the rows hold on any screen.
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<bool>("centred");
    QTest::newRow("smaller than the screen") << 0.5 << 0.5 << true;
    QTest::newRow("nearly the screen") << 0.95 << 0.95 << true;
    QTest::newRow("wider than the screen") << 1.5 << 0.5 << false;
    QTest::newRow("taller than the screen") << 0.5 << 1.5 << false;
}

void TestPlacement::placed()
{
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(bool, centred);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget window;
    window.resize(int(screen.width() * width), int(screen.height() * height));
    kv::centreAtEveryShowing(&window);
    for (int showing = 0; showing < 2; ++showing) {
        window.show();
        const QRect at = window.geometry();
        if (centred)
            QVERIFY2(screen.contains(at), qPrintable(QStringLiteral("%1,%2 %3x%4 in %5x%6")
                                                         .arg(at.left())
                                                         .arg(at.top())
                                                         .arg(at.width())
                                                         .arg(at.height())
                                                         .arg(screen.width())
                                                         .arg(screen.height())));
        else
            QVERIFY2(at.left() >= screen.left() && at.top() >= screen.top(),
                     qPrintable(QStringLiteral("%1,%2").arg(at.left()).arg(at.top())));
        // Whatever fits is still centred on its axis.
        if (width <= 1.0)
            QVERIFY(qAbs(at.center().x() - screen.center().x()) <= 1);
        if (height <= 1.0)
            QVERIFY(qAbs(at.center().y() - screen.center().y()) <= 1);
        window.hide();
    }
}

void TestPlacement::fitted_data()
{
    // The least size a laid-out window needs, as a fraction of the screen; 0: placed by hand.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<double>("size");
    QTest::addColumn<double>("least");
    QTest::addColumn<bool>("scrolls");
    QTest::newRow("fixed, fits") << "fixed" << 0.9 << 0.0 << false;
    QTest::newRow("fixed, larger") << "fixed" << 1.6 << 0.0 << true;
    QTest::newRow("main window, larger") << "main" << 1.6 << 0.0 << true;
    QTest::newRow("laid out, shrinks") << "laid out" << 1.6 << 0.5 << false;
    QTest::newRow("laid out, needs more") << "laid out" << 1.6 << 1.3 << true;
}

void TestPlacement::fitted()
{
    QFETCH(QString, kind);
    QFETCH(double, size);
    QFETCH(double, least);
    QFETCH(bool, scrolls);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize designed(int(screen.width() * size), int(screen.height() * size));
    std::unique_ptr<QWidget> window;
    QWidget *content = nullptr; // where the controls are made
    if (kind == "main") {
        auto *main = new QMainWindow;
        window.reset(main);
        main->setCentralWidget(content = new QWidget);
    } else {
        window = std::make_unique<QDialog>();
        content = window.get();
    }
    // A control at each corner of what was designed, and one hidden.
    QList<QPushButton *> buttons;
    for (const char *name : {"topLeft", "topRight", "bottomLeft", "bottomRight"})
        buttons << new QPushButton(name, content);
    auto *hidden = new QLabel(QStringLiteral("hidden"), content);
    hidden->hide();
    if (kind == "laid out") {
        auto *grid = new QGridLayout(window.get());
        for (int i = 0; i < 4; ++i)
            grid->addWidget(buttons[i], i / 2 * 2, i % 2);
        auto *filler = new QWidget;
        filler->setMinimumSize(int(screen.width() * least), int(screen.height() * least));
        grid->addWidget(filler, 1, 0, 1, 2);
        grid->addWidget(hidden, 3, 0);
        window->resize(designed);
    } else {
        window->setFixedSize(designed);
        const QSize area = kind == "main" ? designed - QSize(0, 40) : designed;
        const QSize b(100, 30);
        buttons[0]->setGeometry(QRect(QPoint(0, 0), b));
        buttons[1]->setGeometry(QRect(QPoint(area.width() - b.width(), 0), b));
        buttons[2]->setGeometry(QRect(QPoint(0, area.height() - b.height()), b));
        buttons[3]->setGeometry(
            QRect(QPoint(area.width() - b.width(), area.height() - b.height()), b));
    }
    const QList<QRect> placed{buttons[0]->geometry(), buttons[1]->geometry(),
                              buttons[2]->geometry(), buttons[3]->geometry()};
    window->setObjectName(QStringLiteral("window"));
    kv::fitToScreen(window.get());
    window->show();

    QVERIFY2(screen.contains(window->geometry()),
             qPrintable(QStringLiteral("%1x%2").arg(window->width()).arg(window->height())));
    auto *area = window->findChild<QScrollArea *>();
    QCOMPARE(area != nullptr, scrolls);
    QVERIFY(hidden->isHidden());
    for (int i = 0; i < 4; ++i) {
        if (kind != "laid out") // placed by hand, they stay where they were
            QCOMPARE(buttons[i]->geometry(), placed[i]);
        // Reachable: scrolled to, the whole button is seen.
        if (area)
            area->ensureWidgetVisible(buttons[i], 0, 0);
        QCOMPARE(buttons[i]->visibleRegion().boundingRect(), buttons[i]->rect());
    }
}

QTEST_MAIN(TestPlacement)
#include "tst_platform_placement.moc"
