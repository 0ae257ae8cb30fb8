#include "deskfixture.h"

#include "antTaskbarIcon.h"
#include "brand.h"
#include "hakkinda.h"
#include "ileride.h"
#include "trayservice.h"

#include <QApplication>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>

using namespace kv;

class TestDesktop : public QObject
{
    Q_OBJECT

private slots:
    void iconAppearsLastWithHint();
    void noNotificationAreaShowsNoIcon();
    void iconDoubleClickShowsHiddenWindow();
    void iconMenuOffersAboutAndExit();
    void clockDateAndUptime();
    void bannersAlternateAndOpenTheWebPage();
    void aboutCannotBeMadeModalWhileOpen();
};

void TestDesktop::iconAppearsLastWithHint()
{
    FakeTray tray; // outlives the windows, as the desktop's service does
    Desk desk;
    tray.dataDir = desk.env.dataDir();
    desk.forms = createForms(desk.paths, &tray);
    // Setting the picture and hint ask for changes the area refuses while nothing is shown.
    QCOMPARE(tray.calls.filter(QStringLiteral("add")),
             QStringList{QStringLiteral("add ") + brand::trayHint()});
    QCOMPARE(tray.calls.last(), QStringLiteral("add ") + brand::trayHint());
    QVERIFY(brand::trayHint().size() <= 63);
    for (const QString &part :
         {brand::product() + " " + brand::version(), brand::customer(), brand::author()})
        QVERIFY2(brand::trayHint().contains(part), qPrintable(part));
    // Every record file, and the ledger, was in place before the icon showed.
    for (const char *file : {"Zorbelayar.dll", "Zorbelayarex.dll", "Zorbelayarms.dll", "Defter.db"})
        QVERIFY2(tray.filesAtAdd.contains(QLatin1String(file)), file);
    QVERIFY(desk.form()->a1->Visible());
    QVERIFY(desk.form()->trayAvailable());
    QVERIFY(!desk.ui()->Ayarlar1->actions().last()->isVisible());
}

void TestDesktop::noNotificationAreaShowsNoIcon()
{
    FakeTray tray;
    Desk desk;
    desk.prepare(1);
    tray.available = false;
    desk.forms = createForms(desk.paths, &tray);
    QVERIFY(tray.calls.filter(QStringLiteral("add")).isEmpty());
    QVERIFY(!desk.form()->trayAvailable());
    QVERIFY(desk.ui()->Ayarlar1->actions().last()->isVisible());
}

void TestDesktop::iconDoubleClickShowsHiddenWindow()
{
    FakeTray tray;
    Desk desk;
    desk.prepare(1);
    desk.forms = createForms(desk.paths, &tray);
    desk.form()->show();
    QVERIFY(!desk.form()->close());
    QVERIFY(desk.form()->isHidden());
    tray.fire(TrayAction::LeftDown);
    tray.fire(TrayAction::LeftUp);
    QVERIFY(desk.form()->isHidden()); // a single click is not enough
    tray.fire(TrayAction::LeftDoubleClick);
    tray.fire(TrayAction::LeftUp);
    QVERIFY(desk.form()->isVisible());
}

void TestDesktop::iconMenuOffersAboutAndExit()
{
    FakeTray tray;
    Desk desk;
    desk.prepare(1);
    desk.forms = createForms(desk.paths, &tray);
    QStringList offered;
    QTimer::singleShot(50, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        for (QAction *a : menu->actions())
            offered << (a->isSeparator() ? QStringLiteral("-") : a->text());
        // "Hakkında" shows the about window without waiting, while the desk stays hidden.
        menu->actions().first()->trigger();
        menu->close();
    });
    tray.fire(TrayAction::RightDown);
    tray.fire(TrayAction::RightUp);
    QCOMPARE(offered, (QStringList{"Hakkında", "-", "Çıkış"}));
    QTRY_VERIFY(desk.forms.Form2->isVisible());
    QVERIFY(!desk.forms.Form2->isModal());
    QVERIFY(desk.form()->isHidden());
}

void TestDesktop::clockDateAndUptime()
{
    Desk desk;
    desk.prepare(1);
    desk.start();
    desk.env.setNow(QStringLiteral("2026-12-07T20:59:59"));
    desk.env.setUptimeMs(90061999);
    desk.form()->Timer1Timer();
    QCOMPARE(desk.ui()->Label14->text(), QStringLiteral(" 7 Aralık 2026 Pazartesi "));
    QCOMPARE(desk.ui()->Label15->text(), QStringLiteral("20:59:59"));
    QCOMPARE(desk.form()->StatusPanel1->text(),
             QStringLiteral("Bilgisayarın Toplam Çalıştığı Süre:1 Gün 1 saat 1 dakika 1 saniye "));
    desk.env.setNow(QStringLiteral("2026-12-07T21:00:00"));
    desk.env.setUptimeMs(quint64(60) * 24 * 3600 * 1000); // past the 49.7-day wrap
    desk.form()->Timer1Timer();
    QCOMPARE(desk.ui()->Label14->text(), QStringLiteral(" 8 Aralık 2026 Salı "));
    QCOMPARE(desk.form()->StatusPanel1->text(),
             QStringLiteral("Bilgisayarın Toplam Çalıştığı Süre:60 Gün 0 saat 0 dakika 0 saniye "));
    QCOMPARE(desk.form()->Timer1->interval(), 1000);
    QVERIFY(desk.form()->Timer1->isActive());
}

void TestDesktop::bannersAlternateAndOpenTheWebPage()
{
    Desk desk;
    desk.prepare(1);
    desk.start();
    QCOMPARE(desk.ui()->Image3->pixmap().size(), QSize(609, 65));
    QVERIFY(desk.ui()->Image4->pixmap().isNull()); // decoded when first shown
    QCOMPARE(desk.form()->Timer2->interval(), 3000);
    QCOMPARE(desk.form()->Timer3->interval(), 4000);
    desk.form()->show();
    QVERIFY(!desk.ui()->Image4->isVisible());
    desk.form()->Timer2Timer();
    QVERIFY(desk.ui()->Image4->isVisible());
    QCOMPARE(desk.ui()->Image4->pixmap().size(), QSize(609, 65));
    desk.form()->Timer3Timer();
    QVERIFY(!desk.ui()->Image4->isVisible());

    QList<QUrl> opened;
    desk.form()->openUrl = [&](const QUrl &url) { opened << url; };
    QTest::mouseClick(desk.ui()->Image3, Qt::LeftButton);
    QCOMPARE(opened, QList<QUrl>{QUrl(brand::webAddress())});
    QCOMPARE(desk.ui()->Image3->toolTip(), brand::webAddress());
}

void TestDesktop::aboutCannotBeMadeModalWhileOpen()
{
    Desk desk;
    desk.prepare(1);
    desk.start();
    desk.form()->Hakknda1Click();
    QVERIFY(desk.forms.Form2->isVisible());
    desk.run([&] { desk.form()->ProgramHakknda1Click(); });
    QCOMPARE(desk.env.messages().errors, QStringList{"Cannot make a visible window modal"});
    QVERIFY(desk.forms.Form2->isVisible());
    desk.forms.Form2->SpeedButton1Click();
    QVERIFY(!desk.forms.Form2->isVisible());

    // Shown modally from the menu, "Tamam" returns to the desk.
    QTimer::singleShot(50, [&] { desk.forms.Form4->SpeedButton1Click(); });
    desk.form()->lerikiSrmdeolacaklar1Click();
    QVERIFY(!desk.forms.Form4->isVisible());
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
