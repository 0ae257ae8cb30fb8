#include "ucretsecimi.h"
#include "ui_ucretsecimi.h"

#include "applocale.h"
#include "errors.h"
#include "listlines.h"
#include "messages.h"
#include "placement.h"
#include "recordlist.h"

#include <QKeyEvent>
#include <QLabel>
#include <QStyle>

using namespace kv;

TForm7::TForm7(QWidget *parent) : QDialog(parent), ui(new Ui::TForm7)
{
    ui->setupUi(this);
    ListBox1 = ui->ListBox1;
    Edit1 = ui->Edit1;
    CheckBox1 = ui->CheckBox1;
    kv::centreAtEveryShowing(this);
    setFixedSize(size());
    // No caption buttons: the window is left by a choice or by the cancel button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    ui->SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    ui->SpeedButton1->setIconSize(QSize(24, 24));

    connect(ListBox1, &QListWidget::itemClicked, this,
            [this] { guard([this] { ListBox1Click(); }); });
    // A line chosen with the keyboard counts as a click; focus alone, which makes a line
    // current, does not.
    ListBox1->installEventFilter(this);
    connect(ListBox1, &QListWidget::itemDoubleClicked, this,
            [this] { guard([this] { ListBox1DblClick(); }); });
    connect(ui->SpeedButton1, &QToolButton::clicked, this,
            [this] { guard([this] { SpeedButton1Click(); }); });
}

TForm7::~TForm7()
{
    delete ui;
}

bool TForm7::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ListBox1 && event->type() == QEvent::KeyPress) {
        // Enter chooses the line, as a double click does; Escape cancels (reject).
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (selectCurrentRow(ListBox1))
                guard([this] { ListBox1DblClick(); });
            return true;
        }
        bool handled = false;
        if (keyMovesCurrentRow(ListBox1, event, &handled))
            guard([this] { ListBox1Click(); });
        return handled;
    }
    return QDialog::eventFilter(watched, event);
}

void TForm7::setFees(const QStringList &fees)
{
    ListBox1->clear();
    ListBox1->addItems(fees);
    ListBox1->setCurrentRow(-1);
}

void TForm7::ListBox1Click()
{
    const int row = ListBox1->currentRow();
    if (row < 0)
        return;
    Edit1->setText(formatAmount(strToInt(ListBox1->item(row)->text())));
}

void TForm7::ListBox1DblClick()
{
    // Only a selected line is a choice; the caller reads the selection too.
    const int row = chosenRow(ListBox1);
    if (row < 0)
        throwListIndex(-1);
    done(Accepted);
}

void TForm7::SpeedButton1Click()
{
    CheckBox1->setChecked(true);
    done(Rejected);
}

void TForm7::reject()
{
    // Escape or a close request is a cancel, never an unnoticed choice.
    CheckBox1->setChecked(true);
    QDialog::reject();
}

void TForm7::done(int result)
{
    QDialog::done(result);
    FormClose();
}

void TForm7::FormClose()
{
    Edit1->setText(QStringLiteral("0"));
}
