// Where the program's own start goes: the steps of the start (those of runProgram and of
// createForms, in their order) taken one by one in a fresh process, each printed as
// "step<TAB>ms<TAB>kB" with its wall time and the growth of resident memory; the last line
// is the time from main() to the first complete frame and the resident memory then; the
// ledger's opening and its check (on a thread of its own), deferred until after that frame,
// are the lines before it. Start
// it like the program (own XDG_RUNTIME_DIR, data present); it ends itself after that frame.
#include "JustOne.h"
#include "Unit1.h"
#include "cashdesk.h"
#include "clock.h"
#include "datadir.h"
#include "firstpaint.h"
#include "fsys.h"
#include "hall.h"
#include "messages.h"
#include "preload.h"
#include "startup.h"
#include "trayservice.h"
#include "ui_Unit1.h"

#include <QApplication>
#include <QFile>
#include <QFontMetrics>
#include <QMainWindow>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

qint64 s_main = 0;
qint64 s_last = 0;
qint64 s_lastRss = 0;
CashDesk *s_cash = nullptr;
TForm1 *s_form1 = nullptr;
kv::TrayService *s_tray = nullptr;

// Resident memory in kB.
qint64 rssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

void step(const char *name)
{
    const qint64 now = kv::monotonicNs();
    const qint64 rss = rssKb();
    std::printf("%s\t%.2f\t%lld\n", name, double(now - s_last) / 1e6, rss - s_lastRss);
    std::fflush(stdout);
    s_last = kv::monotonicNs();
    s_lastRss = rss;
}

// Ends the process once the first frame is complete, as reportFirstPaint sees it.
class FrameWatch : public QObject
{
protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QMetaObject::invokeMethod(
                this,
                [] {
                    const double total = double(kv::monotonicNs() - s_main) / 1e6;
                    step("first frame (paint and flush)");
                    const qint64 rss = rssKb();
                    s_form1->attachTray(s_tray);
                    step("after it: the notification area asked for, the icon shown");
                    if (s_cash) {
                        kv::guard([] { s_cash->startLedger(); });
                        step("after it: the ledger opened, its check started");
                        // The check runs on its own thread; here it is waited for.
                        kv::guard([] { s_cash->checkLedger(); });
                        step("  the check, beside the window");
                    }
                    s_form1->feePanel();
                    step("after it: the fee calculation's hidden time boxes");
                    std::printf("main() to first frame\t%.2f\t%lld\n", total, rss);
                    std::fflush(stdout);
                    QCoreApplication::exit(0);
                },
                Qt::QueuedConnection);
        }
        return false;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    s_main = s_last = kv::monotonicNs();
    s_lastRss = rssKb();
    std::printf("before QApplication\t0\t%lld\n", s_lastRss);
    kv::clock::readTimeZoneOnce();
    QApplication app(argc, argv);
    step("QApplication");
    kv::initApplication(app);
    step("initApplication (translations)");
    // As the program does: the data directory made and locked too.
    const kv::Paths paths(kv::defaultDataDir());
    kv::fsys::makeDataDirectory(paths.dataDir());
    auto *guardian = new TXJustOne(&app, QStringLiteral("Kelvora"));
    guardian->setDataDirectory(paths.dataDir());
    if (!guardian->check())
        return 1;
    step("single-instance check");
    kv::DesktopTrayService tray;

    // With --split, the pieces of the main window's constructor are paid for first, one by
    // one, so that the main window's step then shows only what is left.
    std::unique_ptr<QMainWindow> formOnly;
    if (app.arguments().contains(QStringLiteral("--split"))) {
        QFontMetrics(QApplication::font()).height();
        step("  the font database and the default face (as any window)");
        formOnly = std::make_unique<QMainWindow>();
        Ui::TForm1 ui;
        ui.setupUi(formOnly.get());
        step("  main window's form alone (setupUi)");
        QPixmap banner1(QStringLiteral(":/banner1.jpg"));
        step("  its JPEG banner");
        QPixmap mark(QStringLiteral(":/extras-16.png"));
        step("  the extras list's PNG mark");
        QPixmap about(QStringLiteral(":/about.jpg"));
        step("  the about window's JPEG");
    }

    auto preload = std::make_unique<kv::Preload>(paths, TForm1::firstPaintPictures());
    step("preload started (record files and pictures, on a thread)");
    kv::Forms forms;
    forms.Hall = std::make_unique<kv::hall::Hall>(paths);
    forms.Form1 = std::make_unique<TForm1>(*forms.Hall, preload.get());
    TForm1 *form1 = forms.Form1.get();
    step("TForm1 main window");
    kv::wireForms(forms, nullptr, true);
    step("wiring");
    s_cash = forms.Cash;
    s_form1 = form1;
    s_tray = &tray;
    kv::guard([form1] { form1->FormCreate(); });
    preload.reset();
    step("FormCreate (80 tables, the ledger)");

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        form1->move(screen->availableGeometry().center() - form1->rect().center());
    FrameWatch watch;
    form1->installEventFilter(&watch);
    form1->show();
    step("show()");
    QTimer::singleShot(30000, &app, [] { QCoreApplication::exit(1); });
    return app.exec();
}
