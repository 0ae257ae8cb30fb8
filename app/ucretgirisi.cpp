#include "ucretgirisi.h"
#include "ui_ucretgirisi.h"

#include "applocale.h"
#include "messages.h"
#include "placement.h"

#include <QListWidget>

using namespace kv;

namespace {
// A fee is written in digits only; anything else would break every later calculation at
// that fee.
bool isDigits(const QString &text)
{
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return !text.isEmpty();
}
} // namespace

TForm6::TForm6(QWidget *parent) : QDialog(parent), ui(new Ui::TForm6)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(size());
    // Large bold text for the typed fee; the designer file knows only point sizes.
    QFont big = ui->para->font();
    big.setPixelSize(16);
    big.setBold(true);
    ui->para->setFont(big);
    ui->Label1->setFont(big);
    // Stray keys never reach the box, so no error interrupts the typing; the box says why.
    ui->para->setAllowedCharacters(QStringLiteral("0123456789"));
    ui->para->setAmount(true);
    centreAtEveryShowing(this);

    const auto on = [this](auto *sender, auto signal, void (TForm6::*handler)()) {
        connect(sender, signal, this, [this, handler] { guard([&] { (this->*handler)(); }); });
    };
    on(ui->para, &TumEdit::OnChange, &TForm6::paraChange);
    on(ui->SpeedButton1, &QPushButton::clicked, &TForm6::SpeedButton1Click);
    on(ui->SpeedButton2, &QPushButton::clicked, &TForm6::SpeedButton2Click);
}

TForm6::~TForm6()
{
    delete ui;
}

void TForm6::paraChange()
{
    // Pasted text that is no fee leaves the last formatted fee; "Tamam" says why.
    int value = 0;
    if (isDigits(ui->para->text()) && tryStrToInt(ui->para->text(), &value))
        ui->Label2->setText(formatAmountDigits(value) + QStringLiteral("TL"));
}

void TForm6::SpeedButton1Click()
{
    const QString text = ui->para->text();
    if (!isDigits(text)) {
        messages::inform(QStringLiteral("Ücret yalnızca rakamlardan oluşmalıdır!"));
        return;
    }
    if (!tryStrToInt(text, nullptr)) {
        messages::inform(QStringLiteral("Ücret çok büyük! En fazla %1 TL girilebilir.")
                             .arg(formatAmountDigits(2147483647)));
        return;
    }
    if (m_feeList) {
        for (int i = 0; i < m_feeList->count(); ++i) {
            if (m_feeList->item(i)->text().compare(text, Qt::CaseInsensitive) == 0) {
                messages::inform(QStringLiteral("Ücret daha önce girilmiş!\r\r") + text);
                return;
            }
        }
    }
    if (!ui->para->amountConfirmed())
        return;
    // The list keeps itself in text order.
    if (m_feeList)
        m_feeList->addItem(text);
    accept();
}

void TForm6::SpeedButton2Click()
{
    reject();
}
