#include "antTaskbarIcon.h"

#include <QMenu>
#include <QPixmap>
#include <QTimer>
#include <QtTest>

#include <map>

// A notification area that only records: the test fires the mouse actions itself.
class FakeTray : public kv::TrayService
{
public:
    QStringList calls;     // "add 0 <tip>", "modify 0 <tip>", "remove 0"
    QList<unsigned> sizes; // record size of every call
    bool fail = false;
    bool availableFlag = true;

    bool isAvailable() const override { return availableFlag; }
    bool add(const kv::TrayIconData &d) override
    {
        record(QStringLiteral("add %1 %2").arg(d.id).arg(d.tip), d);
        if (shown.count(d.id))
            return false;
        shown[d.id] = d;
        return true;
    }
    bool modify(const kv::TrayIconData &d) override
    {
        record(QStringLiteral("modify %1 %2").arg(d.id).arg(d.tip), d);
        return shown.count(d.id) != 0;
    }
    bool remove(const kv::TrayIconData &d) override
    {
        record(QStringLiteral("remove %1").arg(d.id), d);
        return shown.erase(d.id) != 0;
    }
    // Delivers a mouse action the way the desktop does: to the receiver of the shown icon.
    void fire(int id, kv::TrayAction action, QPoint pos = QPoint(30, 40))
    {
        QVERIFY(shown.count(id));
        const kv::TrayIconData d = shown.at(id);
        d.window->trayMessage(d.callbackMessage, id, action, pos);
    }
    void click(int id, bool right)
    {
        fire(id, right ? kv::TrayAction::RightDown : kv::TrayAction::LeftDown);
        fire(id, right ? kv::TrayAction::RightUp : kv::TrayAction::LeftUp);
    }

    std::map<int, kv::TrayIconData> shown;

private:
    void record(const QString &call, const kv::TrayIconData &d)
    {
        calls << call;
        sizes << d.size;
        if (fail)
            throw std::runtime_error("tray gone");
    }
};

class TestTaskbarIcon : public QObject
{
    Q_OBJECT

    QStringList log;

    void watch(TantTaskbarIcon &icon)
    {
        log.clear();
        auto button = [](Qt::MouseButton b) { return b == Qt::LeftButton ? "left" : "right"; };
        connect(&icon, &TantTaskbarIcon::OnMouseDown, this,
                [this, button](Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
                    log << QStringLiteral("down %1 %2,%3").arg(button(b)).arg(x).arg(y);
                });
        connect(&icon, &TantTaskbarIcon::OnMouseUp, this,
                [this, button](Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
                    log << QStringLiteral("up %1 %2,%3").arg(button(b)).arg(x).arg(y);
                });
        connect(&icon, &TantTaskbarIcon::OnClick, this, [this] { log << "click"; });
        connect(&icon, &TantTaskbarIcon::OnDblClick, this, [this] { log << "dblclick"; });
        connect(&icon, &TantTaskbarIcon::OnPopupMenu, this, [this] { log << "popup"; });
        connect(&icon, &TantTaskbarIcon::OnShow, this, [this] { log << "show"; });
        connect(&icon, &TantTaskbarIcon::OnHide, this, [this] { log << "hide"; });
    }

    // A menu that logs when it opens and closes itself again, so exec() never blocks.
    QMenu *selfClosingMenu()
    {
        auto *menu = new QMenu;
        menu->addAction(QStringLiteral("Hakkında"));
        connect(menu, &QMenu::aboutToShow, this, [this, menu] {
            QTimer::singleShot(0, menu, [this, menu] {
                log << QStringLiteral("menu %1,%2").arg(menu->pos().x()).arg(menu->pos().y());
                menu->close();
            });
        });
        return menu;
    }

private slots:
    void showAndHideFillTheRecord()
    {
        FakeTray tray;
        TantTaskbarIcon icon(&tray);
        icon.setObjectName("a1");
        icon.setIconID(7);
        icon.setHint("Kelvora v3.0");
        watch(icon);
        icon.setVisible(true);
        QCOMPARE(icon.notificationFlags(), 7u);
        const kv::TrayIconData &r = icon.notificationRecord();
        QCOMPARE(r.size, 88u);
        QCOMPARE(r.id, 7);
        QCOMPARE(r.flags, 7u);
        QCOMPARE(r.callbackMessage, 1025u);
        QCOMPARE(r.tip, QStringLiteral("Kelvora v3.0"));
        QVERIFY(r.window);
        icon.setVisible(false);
        QCOMPARE(icon.notificationFlags(), 5u);
        QCOMPARE(tray.calls,
                 QStringList({"modify 7 Kelvora v3.0", "add 7 Kelvora v3.0", "remove 7"}));
        QCOMPARE(log, QStringList({"show", "hide"}));
        for (unsigned size : tray.sizes)
            QCOMPARE(size, 88u);
    }

    void hintIsCutTo63Characters_data()
    {
        QTest::addColumn<QString>("hint");
        QTest::addColumn<QString>("stored");
        const QString s63 = QString(60, u'a') + QStringLiteral("ĞÜŞ");
        QTest::newRow("70") << s63 + QStringLiteral("bcdefgh") << s63;
        QTest::newRow("63") << s63 << s63;
        QTest::newRow("empty") << QString() << QString();
        // A character outside the basic plane is never split in two.
        QTest::newRow("surrogate") << QString(62, u'x') + QStringLiteral("😀") << QString(62, u'x');
    }
    void hintIsCutTo63Characters()
    {
        QFETCH(QString, hint);
        QFETCH(QString, stored);
        FakeTray tray;
        TantTaskbarIcon icon(&tray);
        icon.setVisible(true);
        icon.setHint(hint);
        QCOMPARE(icon.Hint(), stored);
        QCOMPARE(tray.calls.last(), QStringLiteral("modify 0 ") + stored);
    }

    void iconIdChangeMovesTheShownIcon()
    {
        FakeTray tray;
        TantTaskbarIcon icon(&tray);
        icon.setVisible(true);
        watch(icon);
        tray.calls.clear();
        icon.setIconID(3);
        QCOMPARE(tray.calls, QStringList({"remove 0", "add 3 "}));
        QCOMPARE(log, QStringList({"hide", "show"}));
        QVERIFY(icon.Visible());
        // While hidden the identifier only changes.
        icon.setVisible(false);
        tray.calls.clear();
        log.clear();
        icon.setIconID(4);
        QVERIFY(tray.calls.isEmpty());
        QVERIFY(log.isEmpty());
        QVERIFY(!icon.Visible());
    }

    void settingCurrentValuesReportsNothing()
    {
        FakeTray tray;
        TantTaskbarIcon icon(&tray);
        watch(icon);
        icon.setVisible(false);
        icon.setIconID(0);
        icon.setVisible(true);
        tray.calls.clear();
        log.clear();
        icon.setVisible(true);
        icon.setIconID(0);
        QVERIFY(tray.calls.isEmpty());
        QVERIFY(log.isEmpty());
    }

    void pictureFromImageList()
    {
        FakeTray tray;
        TantTaskbarIcon icon(&tray);
        QPixmap red(16, 16), blue(16, 16);
        red.fill(Qt::red);
        blue.fill(Qt::blue);
        const QList<QIcon> list{QIcon(red), QIcon(blue)};
        icon.setImageIndex(1); // no list yet: nothing taken
        QVERIFY(icon.Icon().isNull());
        icon.setImageList(&list);
        QCOMPARE(icon.Icon().pixmap(16).toImage().pixelColor(0, 0), QColor(Qt::blue));
        icon.setImageIndex(5);
        QVERIFY(icon.Icon().isNull());
        QCOMPARE(tray.calls.size(), 2); // each pick updates the shown picture
    }

    void doubleClickSequence()
    {
        FakeTray tray;
        TantTaskbarIcon icon(&tray);
        icon.setVisible(true);
        watch(icon);
        tray.fire(0, kv::TrayAction::LeftDown);
        QVERIFY(icon.leftPressed());
        tray.fire(0, kv::TrayAction::LeftUp);
        QVERIFY(!icon.leftPressed());
        tray.fire(0, kv::TrayAction::LeftDoubleClick);
        tray.fire(0, kv::TrayAction::LeftUp);
        QCOMPARE(log, QStringList({"down left 30,40", "up left 30,40", "click", "dblclick",
                                   "up left 30,40"}));
    }

    void rightClick()
    {
        FakeTray tray;
        TantTaskbarIcon icon(&tray);
        icon.setVisible(true);
        watch(icon);
        tray.click(0, true);
        QCOMPARE(log, QStringList({"down right 30,40", "up right 30,40"}));

        QMenu *menu = selfClosingMenu();
        icon.setPopupMenu(menu);
        log.clear();
        tray.click(0, true);
        QCOMPARE(log, QStringList({"down right 30,40", "menu 30,40", "popup", "up right 30,40"}));

        // A destroyed menu is forgotten.
        delete menu;
        QCOMPARE(icon.PopupMenu(), nullptr);
        log.clear();
        tray.click(0, true);
        QCOMPARE(log, QStringList({"down right 30,40", "up right 30,40"}));
    }

    void disabledReportsNothing()
    {
        FakeTray tray;
        TantTaskbarIcon icon(&tray);
        std::unique_ptr<QMenu> menu(selfClosingMenu());
        icon.setPopupMenu(menu.get());
        icon.setVisible(true);
        icon.setEnabled(false);
        watch(icon);
        tray.click(0, false);
        tray.fire(0, kv::TrayAction::LeftDoubleClick);
        tray.click(0, true);
        QVERIFY(log.isEmpty());
        QVERIFY(!icon.leftPressed());
        // Other messages than the callback are ignored as well.
        icon.setEnabled(true);
        tray.shown[0].window->trayMessage(1024, 0, kv::TrayAction::LeftDoubleClick, {});
        QVERIFY(log.isEmpty());
    }

    void serviceErrorBecomesComponentError_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("message");
        QTest::newRow("add") << 0 << "a1.AddToTaskbar failed";
        QTest::newRow("modify") << 1 << "a1.UpDate failed";
        QTest::newRow("delete") << 2 << "a1.DeleteFromTaskbar failed";
    }
    void serviceErrorBecomesComponentError()
    {
        QFETCH(int, step);
        QFETCH(QString, message);
        FakeTray tray;
        TantTaskbarIcon icon(&tray);
        icon.setObjectName("a1");
        if (step == 2)
            icon.setVisible(true);
        watch(icon);
        tray.fail = true;
        QString caught;
        try {
            if (step == 0)
                icon.setVisible(true);
            else if (step == 1)
                icon.setHint("x");
            else
                icon.setVisible(false);
        } catch (const kv::RuntimeError &e) {
            QVERIFY(dynamic_cast<const EantTaskbarIcon *>(&e));
            caught = e.text();
        }
        QCOMPARE(caught, message);
        // A failed show or hide leaves the icon's state as it was and reports nothing.
        QCOMPARE(icon.Visible(), step == 2);
        QCOMPARE(icon.notificationFlags(), step == 2 ? 7u : 5u);
        QVERIFY(log.isEmpty());
        tray.fail = false;
    }

    void refusalPassesSilently()
    {
        FakeTray tray;
        TantTaskbarIcon icon(&tray);
        icon.setHint("before shown"); // modify of an icon that is not there
        icon.setIcon(QIcon());
        icon.setVisible(true);
        QCOMPARE(tray.calls.size(), 3);
    }

    void destructionRemovesTheIcon()
    {
        FakeTray tray;
        {
            TantTaskbarIcon icon(&tray);
            icon.setVisible(true);
        }
        QCOMPARE(tray.calls.last(), QStringLiteral("remove 0"));
        QVERIFY(tray.shown.empty());
        // A service error at that moment does not escape the destructor.
        {
            TantTaskbarIcon icon(&tray);
            icon.setVisible(true);
            tray.fail = true;
        }
        tray.fail = false;
    }
};

QTEST_MAIN(TestTaskbarIcon)
#include "tst_ctl_taskbaricon.moc"
