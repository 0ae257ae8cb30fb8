#include "startup.h"

#include "JustOne.h"
#include "Unit1.h"
#include "ayarlar.h"
#include "cashdesk.h"
#include "datadir.h"
#include "exstra.h"
#include "firstpaint.h"
#include "fsys.h"
#include "hakkinda.h"
#include "ileride.h"
#include "messageboxes.h"
#include "messages.h"
#include "trayservice.h"
#include "ucretgirisi.h"
#include "ucretsecimi.h"
#include "ui_Unit1.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLibraryInfo>
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
}

Forms::Forms(Forms &&) noexcept = default;

Forms &Forms::operator=(Forms &&other) noexcept
{
    if (this != &other) {
        clear();
        Form1 = std::move(other.Form1);
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
    app.setApplicationName(QStringLiteral("Kelvora"));
    app.setApplicationVersion(QStringLiteral("3.0"));
    // The program ends only through "Çıkış": hiding or closing other windows never quits.
    app.setQuitOnLastWindowClosed(false);
    messages::useMessageBoxes();

    auto *translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Turkish, QLocale::Turkey), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(translator);
}

Forms createForms(const Paths &paths, TrayService *tray)
{
    initPictures();
    Forms forms;
    forms.Form1 = std::make_unique<TForm1>(paths);
    TForm1 *form1 = forms.Form1.get();
    forms.Form2 = std::make_unique<TForm2>(form1);
    forms.Form3 = std::make_unique<TForm3>(form1, form1);
    forms.Form4 = std::make_unique<TForm4>(form1);
    forms.Form5 = std::make_unique<TForm5>(form1, form1);
    forms.Form6 = std::make_unique<TForm6>(form1);
    forms.Form7 = std::make_unique<TForm7>(form1);
    forms.Cash = new CashDesk(form1);
    form1->setCashDesk(forms.Cash);

    forms.Form6->setFeeList(forms.Form3->feeList());
    forms.Form3->setFeeEntryWindow(forms.Form6.get());
    TForm3 *form3 = forms.Form3.get();
    form1->openSettings = [form3] { form3->openFromMainMenu(); };

    form1->setPickerWindow(forms.Form5.get());
    form1->setFeeSelectionWindow(forms.Form7.get());
    forms.Form7->setRawFeeLabel(form1->ui->Label26);
    TForm2 *form2 = forms.Form2.get();
    TForm4 *form4 = forms.Form4.get();
    form1->showAboutModal = [form2] { form2->showModalChecked(); };
    form1->showAboutModeless = [form2] { form2->showModeless(); };
    form1->showPlanned = [form4] { form4->exec(); };
    form1->openUrl = [](const QUrl &url) { QDesktopServices::openUrl(url); };
    if (tray)
        form1->setTrayService(tray);
    form1->setTrayAvailable(tray && tray->isAvailable());

    guard([form1] { form1->FormCreate(); });
    return forms;
}

int runProgram(int argc, char *argv[])
{
    QApplication app(argc, argv);
    initApplication(app);

    // A second copy brings the first forward and ends before it touches any record file.
    // The data directory holds a lock too, so it never has two writers.
    const Paths paths(defaultDataDir());
    fsys::makeDataDirectory(paths.dataDir());
    auto *guardian = new TXJustOne(&app, QStringLiteral("Kelvora"));
    guardian->setObjectName(QStringLiteral("XJustOne1"));
    guardian->setDataDirectory(paths.dataDir());
    if (!guardian->check())
        return 0;

    DesktopTrayService tray;
    Forms forms = createForms(paths, &tray);
    TForm1 *form1 = forms.Form1.get();
    QObject::connect(guardian, &TXJustOne::activateRequested, form1, [form1] {
        // A window hidden in the notification area stays there.
        if (form1->isHidden())
            return;
        if (form1->isMinimized())
            form1->showNormal();
        form1->raise();
        form1->activateWindow();
    });
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        form1->move(screen->availableGeometry().center() - form1->rect().center());
    reportFirstPaint(form1);
    form1->show();
    return app.exec();
}

} // namespace kv
