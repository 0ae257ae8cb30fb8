#include "exstra.h"
#include "ui_exstra.h"

#include "Unit1.h"
#include "listlines.h"
#include "messages.h"
#include "placement.h"

TForm5::TForm5(TForm1 *desk, QWidget *parent) : QDialog(parent), ui(new Ui::TForm5), m_desk(desk)
{
    ui->setupUi(this);
    ListBox1 = ui->ListBox1;
    kv::centreAtEveryShowing(this);
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this,
            [this] { kv::guard([this] { ListBox1DblClick(); }); });
    connect(ui->SpeedButton1, &QPushButton::clicked, this,
            [this] { kv::guard([this] { SpeedButton1Click(); }); });
}

TForm5::~TForm5()
{
    delete ui;
}

void TForm5::ListBox1DblClick()
{
    // No line selected books nothing.
    const int k = kv::chosenRow(ListBox1);
    if (k < 0)
        return;
    m_desk->bookExtra(k);
}

void TForm5::SpeedButton1Click()
{
    accept();
}
