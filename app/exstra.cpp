#include "exstra.h"
#include "ui_exstra.h"

#include "Unit1.h"
#include "listlines.h"
#include "rowdelegate.h"

#include "messages.h"
#include "placement.h"
#include <QKeyEvent>

TForm5::TForm5(TForm1 *desk, QWidget *parent) : QDialog(parent), ui(new Ui::TForm5), m_desk(desk)
{
    ui->setupUi(this);
    ListBox1 = ui->ListBox1;
    ListBox1->setFocus();
    kv::centreAtEveryShowing(this);
    // Each extra's price beside its name.
    auto *rows = new TRowDelegate(ListBox1);
    rows->setColumnSamples(QString(), QStringLiteral("999.999 TL"));
    ListBox1->setItemDelegate(rows);
    // Enter books the chosen extra, one more at every press; Escape closes like "Çık".
    ListBox1->installEventFilter(this);
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

bool TForm5::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListBox1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            kv::selectCurrentRow(ListBox1);
            kv::guard([this] { ListBox1DblClick(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TForm5::SpeedButton1Click()
{
    accept();
}
