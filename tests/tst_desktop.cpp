#include "deskfixture.h"

#include "antTaskbarIcon.h"
#include "ayarlar.h"
#include "billwindow.h"
#include "brand.h"
#include "cashdesk.h"
#include "dayendwindow.h"
#include "hakkinda.h"
#include "ileride.h"
#include "movewindow.h"
#include "shiftreportwindow.h"
#include "shiftwindows.h"
#include "tabswindow.h"
#include "trayservice.h"
#include "ucretgirisi.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
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
    void mnemonicsTypeOnBothKeyboards_data();
    void mnemonicsTypeOnBothKeyboards();
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

namespace {
// Every window, made as at its first use.
const std::map<QString, std::function<QWidget *(Desk &)>> &windows()
{
    static const std::map<QString, std::function<QWidget *(Desk &)>> all{
        {"main", [](Desk &d) -> QWidget * { return d.form(); }},
        {"about", [](Desk &d) -> QWidget * { return d.forms.Form2.get(); }},
        {"settings", [](Desk &d) -> QWidget * { return d.forms.Form3.get(); }},
        {"planned", [](Desk &d) -> QWidget * { return d.forms.Form4.get(); }},
        {"extra picker", [](Desk &d) -> QWidget * { return d.forms.Form5.get(); }},
        {"fee entry", [](Desk &d) -> QWidget * { return d.forms.Form6.get(); }},
        {"fee selection", [](Desk &d) -> QWidget * { return d.forms.Form7.get(); }},
        {"bill", [](Desk &d) -> QWidget * { return d.forms.Cash->billWindow(); }},
        {"move", [](Desk &d) -> QWidget * { return d.forms.Cash->moveWindow(); }},
        {"day end", [](Desk &d) -> QWidget * { return d.forms.Cash->dayEndWindow(); }},
        {"tabs", [](Desk &d) -> QWidget * { return d.forms.Cash->tabsWindow(); }},
        {"open shift", [](Desk &d) -> QWidget * { return d.forms.Cash->openShiftWindow(); }},
        {"cash out", [](Desk &d) -> QWidget * { return d.forms.Cash->cashOutWindow(); }},
        {"close shift", [](Desk &d) -> QWidget * { return d.forms.Cash->closeShiftWindow(); }},
        {"shift report", [](Desk &d) -> QWidget * { return d.forms.Cash->shiftReportWindow(); }},
    };
    return all;
}

// The letter after a single "&" ("&&" is an ampersand); none when there is none.
QChar mnemonic(const QString &text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i)
        if (text[i] == u'&') {
            if (text[i + 1] != u'&')
                return text[i + 1];
            ++i;
        }
    return {};
}
} // namespace

void TestDesktop::mnemonicsTypeOnBothKeyboards_data()
{
    QTest::addColumn<QString>("window");
    for (const auto &[name, get] : windows())
        QTest::newRow(qPrintable(name)) << name;
}

void TestDesktop::mnemonicsTypeOnBothKeyboards()
{
    QFETCH(QString, window);
    Desk desk;
    desk.prepare(2);
    desk.start();
    QWidget *w = windows().at(window)(desk);
    QVERIFY(w);
    // What a mnemonic is found in, grouped by where it acts: the window itself (its controls
    // and its menu bar's titles), each tab page (a hidden widget's mnemonic does not act, so a
    // page shares letters only with the window's own controls) and each of its menus.
    std::map<QString, QStringList> scopes;
    const QString own = QStringLiteral("window");
    const auto pageOf = [](QWidget *child) -> QWidget * {
        for (QWidget *p = child; p && p->parentWidget(); p = p->parentWidget())
            if (qobject_cast<QStackedWidget *>(p->parentWidget()) &&
                qobject_cast<QTabWidget *>(p->parentWidget()->parentWidget()))
                return p;
        return nullptr;
    };
    QList<QWidget *> all = w->findChildren<QWidget *>();
    all << w;
    for (QWidget *child : all) {
        QWidget *page = pageOf(child);
        QStringList &texts = scopes[page ? QStringLiteral("page %1").arg(quintptr(page)) : own];
        if (auto *menu = qobject_cast<QMenu *>(child)) {
            for (QAction *a : menu->actions())
                scopes[menu->objectName()] << a->text();
            continue;
        }
        if (child->window() != w)
            continue;
        if (auto *button = qobject_cast<QAbstractButton *>(child))
            texts << button->text();
        else if (auto *label = qobject_cast<QLabel *>(child))
            texts << label->text();
        else if (auto *box = qobject_cast<QGroupBox *>(child))
            texts << box->title();
        else if (auto *bar = qobject_cast<QMenuBar *>(child))
            for (QAction *a : bar->actions())
                texts << a->text();
        else if (auto *tabs = qobject_cast<QTabWidget *>(child))
            for (int i = 0; i < tabs->count(); ++i)
                texts << tabs->tabText(i);
    }
    for (const auto &[scope, found] : scopes) {
        QSet<QChar> taken;
        const QStringList texts =
            scope.startsWith(QLatin1String("page ")) ? scopes[own] + found : found;
        for (const QString &text : texts) {
            const QChar key = mnemonic(text).toLower();
            if (key.isNull())
                continue;
            // The letters a US and a Turkish-Q keyboard share unshifted; the key of "i" types
            // "ı" on a Turkish one.
            QVERIFY2(key >= u'a' && key <= u'z' && key != u'i',
                     qPrintable(scope + QStringLiteral(": ") + text));
            QVERIFY2(!taken.contains(key), qPrintable(scope + QStringLiteral(": ") + text));
            taken.insert(key);
        }
    }
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
