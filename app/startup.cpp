#include "startup.h"

#include "Unit1.h"
#include "datadir.h"
#include "exstra.h"
#include "messages.h"
#include "ucretsecimi.h"
#include "ui_Unit1.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLibraryInfo>
#include <QTranslator>

namespace kv {

Forms::Forms() = default;
Forms::~Forms() = default;
Forms::Forms(Forms &&) noexcept = default;
Forms &Forms::operator=(Forms &&) noexcept = default;

void initApplication(QApplication &app)
{
    app.setApplicationName(QStringLiteral("Kelvora"));
    app.setApplicationDisplayName(QString());
    app.setApplicationVersion(QStringLiteral("3.0"));
    // The program ends only through "Çıkış": hiding or closing other windows never quits.
    app.setQuitOnLastWindowClosed(false);

    auto *translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Turkish, QLocale::Turkey), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(translator);
}

Forms createForms(const Paths &paths, bool trayAvailable)
{
    Forms forms;
    forms.Form1 = std::make_unique<TForm1>(paths);
    TForm1 *form1 = forms.Form1.get();
    forms.Form5 = std::make_unique<TForm5>(form1, form1);
    forms.Form7 = std::make_unique<TForm7>(form1);

    form1->setPickerWindow(forms.Form5.get());
    form1->setFeeSelectionWindow(forms.Form7.get());
    forms.Form7->setRawFeeLabel(form1->ui->Label26);
    form1->setTrayAvailable(trayAvailable);
    form1->openUrl = [](const QUrl &url) { QDesktopServices::openUrl(url); };

    guard([form1] { form1->FormCreate(); });
    return forms;
}

int runProgram(int argc, char *argv[])
{
    QApplication app(argc, argv);
    initApplication(app);
    Forms forms = createForms(Paths(defaultDataDir()), false);
    forms.Form1->show();
    return app.exec();
}

} // namespace kv
