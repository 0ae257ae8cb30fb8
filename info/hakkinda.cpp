#include "hakkinda.h"
#include "ui_hakkinda.h"

#include "infostyle.h"

#include "errors.h"

#include <QTextOption>

using kv::info::pixelFont;

TForm2::TForm2(QWidget *parent) : QDialog(parent), m_ui(new Ui::TForm2)
{
    m_ui->setupUi(this);
    kv::info::makeFixedDialog(this);
    m_ui->Label1->setFont(pixelFont(font(), 19, true));
    QPalette red = m_ui->Label1->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    m_ui->Label1->setPalette(red);
    m_ui->Label2->setFont(pixelFont(font(), 16, true));

    m_ui->Memo1->setFont(pixelFont(font(), 11, true));
    kv::info::paintWhiteOnBlack(m_ui->Memo1);
    QTextOption centred = m_ui->Memo1->document()->defaultTextOption();
    centred.setAlignment(Qt::AlignHCenter);
    m_ui->Memo1->document()->setDefaultTextOption(centred);

    connect(m_ui->SpeedButton1, &QToolButton::clicked, this, &TForm2::SpeedButton1Click);
}

TForm2::~TForm2()
{
    delete m_ui;
}

QLabel *TForm2::Image1() const
{
    return m_ui->Image1;
}
QLabel *TForm2::Label1() const
{
    return m_ui->Label1;
}
QLabel *TForm2::Label2() const
{
    return m_ui->Label2;
}
QLabel *TForm2::Image2() const
{
    return m_ui->Image2;
}
QPlainTextEdit *TForm2::Memo1() const
{
    return m_ui->Memo1;
}
QToolButton *TForm2::SpeedButton1() const
{
    return m_ui->SpeedButton1;
}

int TForm2::showModalChecked()
{
    if (isVisible())
        kv::throwError(QStringLiteral("Cannot make a visible window modal"));
    return exec();
}

void TForm2::showModeless()
{
    show();
    raise();
    activateWindow();
}

void TForm2::SpeedButton1Click()
{
    close();
}
