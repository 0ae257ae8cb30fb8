// Where a window lands at its showing: centred, and never off the screen's top-left.
#include "placement.h"

#include <QScreen>
#include <QWidget>
#include <QtTest>

class TestPlacement : public QObject
{
    Q_OBJECT

private slots:
    void placed_data();
    void placed();
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

QTEST_MAIN(TestPlacement)
#include "tst_platform_placement.moc"
