#include "ucretgirisi.h"
#include "ui_ucretgirisi.h"

#include "applocale.h"
#include "messages.h"

#include <QListWidget>

using namespace kv;

namespace {
// A fee is a whole number from 0 to 2147483647 written in digits only; anything else would
// break every later calculation at that fee.
bool isFeeText(const QString &text)
{
    if (text.isEmpty())
        return false;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        value = value * 10 + (c.unicode() - '0');
        if (value > 2147483647LL)
            return false;
    }
    return true;
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
    const QString text = ui->para->text();
    if (text.isEmpty())
        return;
    ui->Label2->setText(formatAmountDigits(strToInt(text)) + QStringLiteral("TL"));
}

void TForm6::SpeedButton1Click()
{
    const QString text = ui->para->text();
    if (!isFeeText(text)) {
        messages::inform(QStringLiteral("Ücret yalnızca rakamlardan oluşmalıdır!"));
        return;
    }
    if (m_feeList) {
        for (int i = 0; i < m_feeList->count(); ++i) {
            if (m_feeList->item(i)->text().compare(text, Qt::CaseInsensitive) == 0) {
                messages::inform(QStringLiteral("Ücret daha önce girilmiş!\r\r") + text);
                return;
            }
        }
        // The list keeps itself in text order.
        m_feeList->addItem(text);
    }
    accept();
}

void TForm6::SpeedButton2Click()
{
    reject();
}
