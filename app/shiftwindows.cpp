#include "shiftwindows.h"
#include "ui_cashoutwindow.h"
#include "ui_closeshiftwindow.h"
#include "ui_openshiftwindow.h"

#include "floor.h"
#include "messages.h"
#include "moneyfields.h"
#include "placement.h"

using namespace kv;
using counter::amountText;

namespace {
// Dialog chrome every drawer window shares; `tamam` runs guarded, as every handler does.
template <class W> void setUp(W *window, void (W::*tamam)())
{
    window->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    centreAtEveryShowing(window);
    QObject::connect(window->ui->Tamam, &QPushButton::clicked, window,
                     [window, tamam] { guard([&] { (window->*tamam)(); }); });
    QObject::connect(window->ui->Vazgec, &QPushButton::clicked, window, &QDialog::reject);
}
} // namespace

OpenShiftWindow::OpenShiftWindow(QWidget *parent) : QDialog(parent), ui(new Ui::OpenShiftWindow)
{
    ui->setupUi(this);
    makeAmountField(ui->KasadakiPara);
    setUp(this, &OpenShiftWindow::TamamClick);
}

OpenShiftWindow::~OpenShiftWindow()
{
    delete ui;
}

bool OpenShiftWindow::ask(const QString &cashier, const QDateTime &now)
{
    ui->Kasiyer->setText(cashierText(cashier));
    ui->Acilis->setText(momentText(now));
    ui->KasadakiPara->clear();
    ui->KasadakiPara->setFocus();
    return exec() == Accepted;
}

void OpenShiftWindow::TamamClick()
{
    const std::optional<qint64> cash =
        typedAmount(ui->KasadakiPara, QStringLiteral("Çekmecedeki parayı yazın (boşsa 0)."));
    if (!cash)
        return;
    if (apply)
        apply(*cash);
    accept();
}

CashOutWindow::CashOutWindow(QWidget *parent) : QDialog(parent), ui(new Ui::CashOutWindow)
{
    ui->setupUi(this);
    makeAmountField(ui->Tutar);
    setUp(this, &CashOutWindow::TamamClick);
}

CashOutWindow::~CashOutWindow()
{
    delete ui;
}

bool CashOutWindow::ask()
{
    ui->Tutar->clear();
    ui->Neden->clear();
    ui->Tutar->setFocus();
    return exec() == Accepted;
}

void CashOutWindow::TamamClick()
{
    const std::optional<qint64> amount =
        typedAmount(ui->Tutar, QStringLiteral("Kasadan çıkan tutarı yazın."));
    if (!amount)
        return;
    if (apply)
        apply(*amount, ui->Neden->text());
    accept();
}

CloseShiftWindow::CloseShiftWindow(QWidget *parent) : QDialog(parent), ui(new Ui::CloseShiftWindow)
{
    ui->setupUi(this);
    makeAmountField(ui->Sayilan);
    setUp(this, &CloseShiftWindow::TamamClick);
    connect(ui->Sayilan, &QLineEdit::textChanged, this, [this] { showDifference(); });
}

CloseShiftWindow::~CloseShiftWindow()
{
    delete ui;
}

bool CloseShiftWindow::ask(const ledger::ShiftReport &report)
{
    const ledger::Shift &s = report.shift;
    m_expected = report.expectedCash();
    ui->Kasiyer->setText(cashierText(s.cashier));
    ui->Acilis->setText(momentText(s.openedAt));
    ui->Beklenen->setText(amountText(m_expected));
    ui->BeklenenDokum->setText(
        QStringLiteral("Devir %1 + nakit ödemeler %2 + nakit veresiye tahsilatı %3 − nakit "
                       "iadeler %4 − kasadan çıkış %5")
            .arg(amountText(s.floatCash), amountText(report.taken.cash),
                 amountText(report.collected.cash), amountText(report.refunded.cash),
                 amountText(report.cashOut)));
    ui->Sayilan->clear();
    ui->Not->clear();
    showDifference();
    ui->Sayilan->setFocus();
    return exec() == Accepted;
}

void CloseShiftWindow::showDifference()
{
    bool ok = false;
    const qint64 counted = ui->Sayilan->text().toLongLong(&ok);
    const qint64 difference = counted - m_expected;
    ui->Fark->setText(ok ? differenceText(difference) : QStringLiteral("-"));
    ui->Fark->setStyleSheet(!ok || difference == 0 ? QString()
                            : difference > 0       ? QStringLiteral("color: #006000;")
                                                   : QStringLiteral("color: #d00000;"));
}

void CloseShiftWindow::TamamClick()
{
    const std::optional<qint64> counted =
        typedAmount(ui->Sayilan, QStringLiteral("Çekmecede sayılan parayı yazın."));
    if (!counted)
        return;
    if (apply)
        apply(*counted, ui->Not->text());
    accept();
}
