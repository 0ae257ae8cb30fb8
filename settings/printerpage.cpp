#include "printerpage.h"

#include "bills.h"
#include "errors.h"
#include "messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSpinBox>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QtMath>

using namespace kv;
using Kind = print::PrinterSetup::Kind;

namespace {
const std::pair<Kind, const char *> kKinds[] = {
    {Kind::None, "Yazdırma yok"},
    {Kind::Network, "Fiş yazıcısı (ESC/POS) — ağ"},
    {Kind::Device, "Fiş yazıcısı (ESC/POS) — aygıt"},
    {Kind::System, "Sistem yazıcısı"},
    {Kind::Pdf, "PDF dosyası"},
};

QString defaultDevice()
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM1");
#else
    return QStringLiteral("/dev/usb/lp0");
#endif
}

// A label for `buddy`, its accelerator in `text`.
QLabel *labelFor(const QString &text, QWidget *buddy, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setBuddy(buddy);
    return label;
}
} // namespace

PrinterPage::PrinterPage(hall::Hall &hall, QWidget *parent) : QWidget(parent), m_hall(hall)
{
    setObjectName(QStringLiteral("PrinterPage"));
    const auto named = [](auto *widget, const char *name) {
        widget->setObjectName(QLatin1String(name));
        return widget;
    };
    m_problem = named(new QLabel(this), "printerProblem");
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #b00000"));
    m_kind = named(new QComboBox(this), "printKind");
    for (const auto &[kind, text] : kKinds)
        m_kind->addItem(QString::fromUtf8(text), int(kind));
    m_host = named(new QLineEdit(this), "printHost");
    m_host->setPlaceholderText(QStringLiteral("192.168.1.50"));
    m_port = named(new QSpinBox(this), "printPort");
    m_port->setRange(1, 65535);
    m_device = named(new QLineEdit(this), "printDevice");
    m_device->setPlaceholderText(defaultDevice());
    m_paper = named(new QComboBox(this), "printPaper");
    m_paper->addItem(QStringLiteral("58 mm"), 58);
    m_paper->addItem(QStringLiteral("80 mm"), 80);
    // The makers' numbers, or any other typed.
    m_codePage = named(new QComboBox(this), "printCodePage");
    m_codePage->setEditable(true);
    m_codePage->setInsertPolicy(QComboBox::NoInsert);
    for (const print::CodePageChoice &c : print::codePageChoices())
        m_codePage->addItem(c.text, c.number);
    m_codePage->setToolTip(QStringLiteral("Yazıcının Türkçe (PC857) kod sayfasının ESC t "
                                          "numarası; listede yoksa sayıyı yazın (0–255)."));
    m_cut = named(new QCheckBox(QStringLiteral("Kesi&ci (yazdırınca kes)"), this), "printCut");
    m_drawer = named(new QCheckBox(QStringLiteral("Para çek&mecesini aç (yalnız nakit ödenen "
                                                  "hesapta)"),
                                   this),
                     "printDrawer");
    m_system = named(new QComboBox(this), "printSystem");
    m_folder = named(new QLineEdit(this), "printFolder");
    m_chooseFolder = named(new QPushButton(QStringLiteral("S&eç…"), this), "printChooseFolder");
    m_hallName = named(new QLineEdit(this), "printHallName");
    m_hallAddress = named(new QPlainTextEdit(this), "printHallAddress");
    m_hallAddress->setTabChangesFocus(true);
    // Two lines whole, without a scroll bar.
    m_hallAddress->setFixedHeight(qCeil(m_hallAddress->fontMetrics().lineSpacing() * 2 +
                                        2 * m_hallAddress->document()->documentMargin()) +
                                  2 * m_hallAddress->frameWidth() + 4);
    m_autoPrint =
        named(new QCheckBox(QStringLiteral("Hesap ödenince &otomatik yazdır"), this), "printAuto");
    m_result = named(new QLabel(this), "printTestResult");
    m_result->setWordWrap(true);
    m_test = named(new QPushButton(QStringLiteral("De&neme Sayfası"), this), "printTest");
    m_save = named(new QPushButton(QStringLiteral("&Kaydet"), this), "savePrinter");

    auto *grid = new QGridLayout;
    grid->setVerticalSpacing(4);
    grid->addWidget(labelFor(QStringLiteral("&Yazdırma:"), m_kind, this), 0, 0);
    grid->addWidget(m_kind, 0, 1, 1, 3);
    grid->addWidget(labelFor(QStringLiteral("Yazıcı &adresi:"), m_host, this), 1, 0);
    grid->addWidget(m_host, 1, 1);
    grid->addWidget(labelFor(QStringLiteral("&Port:"), m_port, this), 1, 2);
    grid->addWidget(m_port, 1, 3);
    grid->addWidget(labelFor(QStringLiteral("Ay&gıt:"), m_device, this), 2, 0);
    grid->addWidget(m_device, 2, 1);
    grid->addWidget(labelFor(QStringLiteral("Kâğı&t:"), m_paper, this), 2, 2);
    grid->addWidget(m_paper, 2, 3);
    grid->addWidget(labelFor(QStringLiteral("Sistem ya&zıcısı:"), m_system, this), 3, 0);
    grid->addWidget(m_system, 3, 1);
    grid->addWidget(labelFor(QStringLiteral("Kod &sayfası:"), m_codePage, this), 3, 2);
    grid->addWidget(m_codePage, 3, 3);
    grid->addWidget(labelFor(QStringLiteral("P&DF klasörü:"), m_folder, this), 4, 0);
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(m_chooseFolder);
    grid->addLayout(folderRow, 4, 1, 1, 3);
    grid->addWidget(m_cut, 5, 1);
    grid->addWidget(m_autoPrint, 5, 2, 1, 2);
    grid->addWidget(m_drawer, 6, 1, 1, 3);
    grid->addWidget(labelFor(QStringLiteral("Sa&lon adı:"), m_hallName, this), 7, 0);
    grid->addWidget(m_hallName, 7, 1, 1, 3);
    grid->addWidget(labelFor(QStringLiteral("Salon ad&resi:"), m_hallAddress, this), 8, 0,
                    Qt::AlignTop);
    grid->addWidget(m_hallAddress, 8, 1, 1, 3);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(3, 2);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_result, 1);
    bottom->addWidget(m_test);
    bottom->addWidget(m_save);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 6, 8, 6);
    layout->setSpacing(4);
    layout->addWidget(m_problem);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addLayout(bottom);

    chooseFolder = [this](const QString &current) {
        return QFileDialog::getExistingDirectory(this, QStringLiteral("PDF klasörü"), current);
    };
    const auto on = [this](QPushButton *button, void (PrinterPage::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { guard([&] { (this->*handler)(); }); });
    };
    on(m_save, &PrinterPage::saveClick);
    on(m_test, &PrinterPage::testClick);
    on(m_chooseFolder, &PrinterPage::chooseFolderClick);
    connect(m_kind, &QComboBox::currentIndexChanged, this, &PrinterPage::showKind);
    reload();
}

void PrinterPage::reload()
{
    QString problem = m_hall.printerProblem();
    if (!problem.isEmpty() && !problem.endsWith(QLatin1Char('.')))
        problem += QLatin1Char('.');
    m_problem->setText(problem + QStringLiteral(" Hiçbir şey yazdırılmıyor; \"Kaydet\" dosyayı "
                                                "ekrandaki ayarlarla değiştirir."));
    m_problem->setVisible(!m_hall.printerProblem().isEmpty());
    m_result->clear();
    show(m_hall.printerSetup());
}

void PrinterPage::show(const print::PrinterSetup &s)
{
    m_kind->setCurrentIndex(m_kind->findData(int(s.kind)));
    m_host->setText(s.host);
    m_port->setValue(s.port);
    m_device->setText(s.device);
    m_paper->setCurrentIndex(qMax(0, m_paper->findData(s.paperMm)));
    const int listed = m_codePage->findData(s.codePage);
    if (listed >= 0)
        m_codePage->setCurrentIndex(listed);
    else
        m_codePage->setEditText(QString::number(s.codePage));
    m_cut->setChecked(s.cut);
    m_drawer->setChecked(s.drawer);
    // The system's printers are asked for only when chosen (a print server far away can take
    // its time); the one saved is listed, so a save keeps it.
    m_system->clear();
    m_systemListed = false;
    m_system->addItem(QStringLiteral("Varsayılan yazıcı"), QString());
    if (!s.systemPrinter.isEmpty())
        m_system->addItem(s.systemPrinter, s.systemPrinter);
    m_system->setCurrentIndex(qMax(0, m_system->findData(s.systemPrinter)));
    m_folder->setText(s.pdfFolder);
    m_hallName->setText(s.hallName);
    m_hallAddress->setPlainText(s.hallAddress);
    m_autoPrint->setChecked(s.autoPrint);
    showKind();
}

Kind PrinterPage::kind() const
{
    return Kind(m_kind->currentData().toInt());
}

int PrinterPage::codePage() const
{
    // A choice of the list shows its text; anything else typed is read as the number.
    const QString text = m_codePage->currentText().trimmed();
    const int listed = m_codePage->findText(text);
    if (listed >= 0)
        return m_codePage->itemData(listed).toInt();
    bool ok = false;
    const int n = text.section(QLatin1Char(' '), 0, 0).toInt(&ok);
    return ok ? n : -1; // refused by the setup's check, with its message
}

void PrinterPage::showKind()
{
    const Kind k = kind();
    const bool escPos = k == Kind::Network || k == Kind::Device;
    m_host->setEnabled(k == Kind::Network);
    m_port->setEnabled(k == Kind::Network);
    m_device->setEnabled(k == Kind::Device);
    if (k == Kind::Device && m_device->text().isEmpty())
        m_device->setText(defaultDevice());
    m_paper->setEnabled(k != Kind::None);
    m_codePage->setEnabled(escPos);
    m_cut->setEnabled(escPos);
    m_drawer->setEnabled(escPos);
    m_system->setEnabled(k == Kind::System);
    if (k == Kind::System && !m_systemListed) {
        m_systemListed = true;
        for (const QString &name : QPrinterInfo::availablePrinterNames())
            if (m_system->findData(name) < 0)
                m_system->addItem(name, name);
    }
    m_folder->setEnabled(k == Kind::Pdf);
    m_chooseFolder->setEnabled(k == Kind::Pdf);
    m_test->setEnabled(k != Kind::None);
    // Nothing to print on: the bill would only say so after every settle.
    m_autoPrint->setEnabled(k != Kind::None);
}

print::PrinterSetup PrinterPage::edited() const
{
    print::PrinterSetup s;
    s.kind = kind();
    s.host = m_host->text().trimmed();
    s.port = m_port->value();
    s.device = m_device->text().trimmed();
    s.paperMm = m_paper->currentData().toInt();
    s.codePage = codePage();
    s.cut = m_cut->isChecked();
    s.drawer = m_drawer->isChecked();
    s.systemPrinter = m_system->currentData().toString();
    s.pdfFolder = m_folder->text().trimmed();
    s.hallName = m_hallName->text().trimmed();
    // Blank lines at the end would print as empty rows.
    QStringList address = m_hallAddress->toPlainText().split(QLatin1Char('\n'));
    for (QString &line : address)
        line = line.trimmed();
    while (!address.isEmpty() && address.last().isEmpty())
        address.removeLast();
    s.hallAddress = address.join(QLatin1Char('\n'));
    s.autoPrint = m_autoPrint->isChecked() && s.kind != Kind::None;
    return s;
}

void PrinterPage::saveClick()
{
    const print::PrinterSetup next = edited();
    if (next.hallAddress.count(QLatin1Char('\n')) > 1)
        throwError(QStringLiteral("Salon adresi en fazla iki satır olabilir."));
    if (const QString why = print::printerProblem(next); !why.isEmpty())
        throwError(why);
    const std::optional<hall::Approval> approval =
        approve ? approve(QStringLiteral("settings")) : m_hall.noneAsked();
    if (!approval)
        return;
    m_hall.savePrinterSetup(next);
    reload();
    messages::inform(QStringLiteral("Yazıcı ayarları kaydedildi."));
}

void PrinterPage::testClick()
{
    // What is on screen, saved or not: the operator tries a printer before keeping it.
    const print::PrinterSetup setup = edited();
    if (const QString why = print::printerProblem(setup); !why.isEmpty())
        throwError(why);
    if (!printTest)
        return;
    m_result->setText(QStringLiteral("Deneme sayfası gönderiliyor…"));
    m_test->setEnabled(false);
    printTest(print::testPage(setup), setup);
}

void PrinterPage::testDone(bool ok, const QString &message)
{
    m_test->setEnabled(kind() != Kind::None);
    m_result->setStyleSheet(ok ? QString() : QStringLiteral("color: #b00000"));
    m_result->setText(ok ? QStringLiteral("Deneme sayfası yazdırıldı. %1").arg(message)
                         : QStringLiteral("Deneme sayfası yazdırılamadı: %1").arg(message));
}

void PrinterPage::chooseFolderClick()
{
    const QString folder = chooseFolder(m_folder->text());
    if (!folder.isEmpty())
        m_folder->setText(folder);
}
