#include "startup.h"

#include "pindialog.h"

#include "JustOne.h"
#include "Unit1.h"
#include "ayarlar.h"
#include "brand.h"
#include "cashdesk.h"
#include "clock.h"
#include "datadir.h"
#include "deferred.h"
#include "exstra.h"
#include "firstpaint.h"
#include "fsys.h"
#include "hakkinda.h"
#include "hall.h"
#include "ileride.h"
#include "messageboxes.h"
#include "messages.h"
#include "preload.h"
#include "printdesk.h"
#include "printerpage.h"
#include "trayservice.h"
#include "ucretgirisi.h"
#include "ucretsecimi.h"
#include "ui_Unit1.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLibraryInfo>
#include <QPointer>
#include <QScreen>
#include <QTranslator>

// Resources live in a static library, so they are registered by hand (outside any namespace).
static void initPictures()
{
    Q_INIT_RESOURCE(kelvora);
}

namespace kv {

Forms::Forms() = default;
Forms::~Forms()
{
    clear();
}

void Forms::clear()
{
    // The main window goes last: the others are its children or refer to it.
    Form7.reset();
    Form6.reset();
    Form5.reset();
    Form4.reset();
    Form3.reset();
    Form2.reset();
    Cash = nullptr; // goes with the main window
    Form1.reset();
    Hall.reset();
}

Forms::Forms(Forms &&) noexcept = default;

Forms &Forms::operator=(Forms &&other) noexcept
{
    if (this != &other) {
        clear();
        Form1 = std::move(other.Form1);
        Hall = std::move(other.Hall);
        Form2 = std::move(other.Form2);
        Form3 = std::move(other.Form3);
        Form4 = std::move(other.Form4);
        Form5 = std::move(other.Form5);
        Form6 = std::move(other.Form6);
        Form7 = std::move(other.Form7);
        Cash = std::exchange(other.Cash, nullptr);
    }
    return *this;
}

void initApplication(QApplication &app)
{
    initPictures();
    app.setApplicationName(brand::product());
    app.setApplicationVersion(QStringLiteral("3.0"));
    // The program ends only through "Çıkış": hiding or closing other windows never quits.
    app.setQuitOnLastWindowClosed(false);
    messages::useMessageBoxes();

    auto *translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Turkish, QLocale::Turkey), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(translator);
}

Forms createForms(const Paths &paths, TrayService *tray, bool deferLedger)
{
    initPictures();
    // The record files and pictures are read beside the window's building.
    Preload preload(paths, TForm1::firstPaintPictures());
    Forms forms;
    forms.Hall = std::make_unique<hall::Hall>(paths);
    forms.Form1 = std::make_unique<TForm1>(*forms.Hall, &preload);
    wireForms(forms, tray, deferLedger);
    TForm1 *form1 = forms.Form1.get();
    guard([form1] { form1->FormCreate(); });
    return forms;
}

void wireForms(Forms &forms, TrayService *tray, bool deferLedger)
{
    TForm1 *form1 = forms.Form1.get();
    hall::Hall *hall = forms.Hall.get();
    CashDesk *cash = forms.Cash = new CashDesk(*hall, form1);
    cash->deferLedger(deferLedger);
    form1->setCashDesk(cash);

    // Every other window is made at its first use.
    forms.Form2.makeWith([form1] { return std::make_unique<TForm2>(form1); });
    Lazy<TForm6>::Slot *form6 = forms.Form6.slot();
    forms.Form3.makeWith([form1, form6, hall, cash] {
        auto form3 = std::make_unique<TForm3>(*hall, form1);
        form3->createTables = [cash](const QString &count, const QString &prefix) {
            return cash->createTables(count, prefix);
        };
        form3->wipeAccounts = [cash] { return cash->clearAccounts(); };
        form3->approve = [hall, form1](const QString &action) {
            return askApproval(*hall, form1, action);
        };
        form3->setCashiers(&hall->cashiers());
        // The test page prints the setup on screen through the counter's printing.
        QPointer<PrinterPage> page = form3->printerPage();
        page->printTest = [cash, page](const print::Receipt &receipt,
                                       const print::PrinterSetup &setup) {
            cash->printDesk()->printWith(receipt, setup, print::Purpose::Test,
                                         QStringLiteral("Deneme Sayfası"),
                                         [page](bool ok, const QString &message) {
                                             if (page)
                                                 page->testDone(ok, message);
                                         });
        };
        auto entry = std::make_unique<TForm6>(form1);
        entry->setFeeList(form3->feeList());
        form3->setFeeEntryWindow(entry.get());
        form6->adopt(std::move(entry));
        return form3;
    });
    Lazy<TForm3>::Slot *form3 = forms.Form3.slot();
    forms.Form6.makeWith([form3] {
        form3->get(); // makes this one too
        return std::unique_ptr<TForm6>();
    });
    forms.Form4.makeWith([form1] { return std::make_unique<TForm4>(form1); });
    forms.Form5.makeWith([form1] { return std::make_unique<TForm5>(form1, form1); });
    forms.Form7.makeWith([form1] { return std::make_unique<TForm7>(form1); });

    form1->openSettings = [form3, cash] {
        form3->get()->openFromMainMenu();
        cash->cashiersChanged();
    };
    form1->setPickerWindow(forms.Form5.slot());
    form1->setFeeSelectionWindow(forms.Form7.slot());
    Lazy<TForm2>::Slot *form2 = forms.Form2.slot();
    Lazy<TForm4>::Slot *form4 = forms.Form4.slot();
    form1->showAboutModal = [form2] { form2->get()->showModalChecked(); };
    form1->showAboutModeless = [form2] { form2->get()->showModeless(); };
    form1->showPlanned = [form4] { form4->get()->exec(); };
    form1->openUrl = [](const QUrl &url) { QDesktopServices::openUrl(url); };
    if (tray)
        form1->setTrayService(tray);
    form1->setTrayAvailable(tray && tray->isAvailable());
}

int runProgram(int argc, char *argv[])
{
    clock::readTimeZoneOnce();
    QApplication app(argc, argv);
    initApplication(app);

    // A second copy brings the first forward and ends before it touches any record file.
    // The data directory holds a lock too, so it never has two writers.
    const Paths paths(defaultDataDir());
    fsys::makeDataDirectory(paths.dataDir());
    auto *guardian = new TXJustOne(&app, brand::product());
    guardian->setObjectName(QStringLiteral("XJustOne1"));
    guardian->setDataDirectory(paths.dataDir());
    if (!guardian->check())
        return 0;

    DesktopTrayService tray; // outlives the icon in the main window
    Forms forms = createForms(paths, nullptr, true);
    TForm1 *form1 = forms.Form1.get();
    CashDesk *cash = forms.Cash;
    // Opening the ledger and its full check (which reads all of it) wait for the window, and
    // so does the notification area: asking the desktop for it, and the icon's pictures. The
    // fee calculation's hidden time boxes are made then too, so that the first calculation
    // does not wait for them.
    afterFirstPaint(form1, [cash, form1, &tray] {
        guard([form1, &tray] { form1->attachTray(&tray); });
        guard([cash] { cash->startLedger(); });
        form1->feePanel();
        // With cashiers set up, nobody works the counter before a PIN is given.
        guard([cash] { cash->loginAtStart(); });
    });
    // As the icon's double click: shown from the notification area, restored, raised, focused.
    QObject::connect(guardian, &TXJustOne::activateRequested, form1,
                     [form1] { guard([form1] { form1->a1DblClick(); }); });
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        form1->move(screen->availableGeometry().center() - form1->rect().center());
    reportFirstPaint(form1);
    form1->show();
    return app.exec();
}

} // namespace kv
