#include "movewindow.h"
#include "ui_movewindow.h"

#include "placement.h"

MoveWindow::MoveWindow(QWidget *parent) : QDialog(parent), ui(new Ui::MoveWindow)
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    kv::centreAtEveryShowing(this);
    connect(ui->MoveButton, &QPushButton::clicked, this, [this] {
        if (ui->FreeTables->currentRow() >= 0)
            accept();
    });
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->FreeTables, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

MoveWindow::~MoveWindow()
{
    delete ui;
}

int MoveWindow::choose(const QString &prompt, const QList<std::pair<int, QString>> &tables)
{
    ui->Prompt->setText(prompt);
    ui->FreeTables->clear();
    m_positions.clear();
    for (const auto &[position, name] : tables) {
        ui->FreeTables->addItem(name);
        m_positions << position;
    }
    ui->FreeTables->setCurrentRow(0);
    ui->FreeTables->setFocus();
    if (exec() != Accepted)
        return -1;
    return m_positions.value(ui->FreeTables->currentRow(), -1);
}
