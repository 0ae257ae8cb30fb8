#include "ileride.h"
#include "ui_ileride.h"

#include "infostyle.h"

using kv::info::pixelFont;

TForm4::TForm4(QWidget *parent) : QDialog(parent), m_ui(new Ui::TForm4)
{
    m_ui->setupUi(this);
    kv::info::makeFixedDialog(this);
    // The text box has no scroll bars: a narrower face keeps each line on one row.
    QFont memoFont = pixelFont(font(), 11, true);
    memoFont.setStretch(QFont::SemiCondensed);
    m_ui->Memo1->setFont(memoFont);
    kv::info::paintWhiteOnBlack(m_ui->Memo1);

    connect(m_ui->SpeedButton1, &QToolButton::clicked, this, &TForm4::SpeedButton1Click);
}

TForm4::~TForm4()
{
    delete m_ui;
}

QPlainTextEdit *TForm4::Memo1() const
{
    return m_ui->Memo1;
}
QToolButton *TForm4::SpeedButton1() const
{
    return m_ui->SpeedButton1;
}

void TForm4::SpeedButton1Click()
{
    close();
}
