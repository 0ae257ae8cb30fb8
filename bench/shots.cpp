// Pictures of the main window over fixed data and a fixed clock, to compare its look before
// and after a change (pixel by pixel, e.g. with ImageMagick's compare). Not a test. Run it
// under Xvfb:  xvfb-run -a -s "-screen 0 1280x1024x24" kelvora_shots OUT_DIR
// It writes main.png (the window as the X server holds it) and main-grab.png (as Qt renders
// it), with Masa 1 selected and calculated, one extra chosen, ten tables open; main-2.png in
// another state (see below).
#include "benchdata.h"
#include "deskfixture.h"

#include <QApplication>
#include <QDir>
#include <QScreen>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kelvora_shots OUT_DIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    int status = 0;
    {
        Desk desk;
        desk.env.setUptimeMs(98765432);
        benchdata::Options options;
        options.openTables = 10;
        benchdata::write(desk.paths, options);
        desk.start();
        TForm1 *form = desk.form();
        for (QTimer *t : {form->Timer1, form->Timer2, form->Timer3})
            t->stop();
        desk.run([&] { form->Timer1Timer(); });
        desk.select(0);
        desk.run([&] { form->SpeedButton3Click(); });
        desk.ui()->ListBox4->setCurrentRow(3);
        desk.run([&] { form->ListBox4Click(); });
        form->move(20, 20);
        form->show();
        if (!QTest::qWaitForWindowExposed(form))
            return 1;
        desk.ui()->ListBox2->setFocus();
        QTest::qWait(300);
        const QPixmap shown = form->screen()->grabWindow(form->winId());
        const QPixmap rendered = form->grab();
        if (!shown.save(out + QStringLiteral("/main.png")) ||
            !rendered.save(out + QStringLiteral("/main-grab.png")))
            status = 1;
        // A free table, the extras list in focus with its placeholder, the second banner,
        // a table open since yesterday, a calculation too short to charge.
        desk.env.setNow(desk.env.now().addSecs(30));
        desk.form()->hall().openAccount(
            11, desk.form()->hall().unitFeeLine(),
            {QDateTime(QDate(2026, 12, 6), QTime(23, 0)), QString(), 0});
        desk.run([&] { form->Timer1Timer(); });
        desk.select(14);
        desk.run([&] { form->SpeedButton3Click(); });
        desk.select(3);
        desk.run([&] { form->SpeedButton3Click(); });
        desk.run([&] { form->Timer2Timer(); });
        desk.ui()->ListBox4->setFocus();
        desk.ui()->ListBox4->setCurrentRow(0);
        QTest::qWait(300);
        if (!form->screen()->grabWindow(form->winId()).save(out + QStringLiteral("/main-2.png")))
            status = 1;
    }
    return status;
}
