#include "billwindow.h"
#include "ui_billwindow.h"

#include "applocale.h"
#include "floor.h"
#include "placement.h"
#include "rowdelegate.h"

using namespace kv;

BillWindow::BillWindow(QWidget *parent) : QDialog(parent), ui(new Ui::BillWindow)
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    centreAtEveryShowing(this);
    auto *rows = new TRowDelegate(ui->ExtrasList);
    rows->setColumnSamples(QString(), formatAmount(999999));
    ui->ExtrasList->setItemDelegate(rows);
    connect(ui->PaidButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

BillWindow::~BillWindow()
{
    delete ui;
}

void BillWindow::fill(const ledger::BillRecord &b)
{
    using counter::amountText;
    ui->TableName->setText(b.tableName);
    // A free table's extras were billed with no account opened.
    ui->OpenedValue->setText(b.openedDate.isEmpty()
                                 ? QStringLiteral("-")
                                 : b.openedDate + QLatin1Char(' ') + b.openedTime);
    ui->ClosedValue->setText(shortDate(b.closedAt.date()) + QLatin1Char(' ') +
                             longTime(b.closedAt.time()));
    ui->DurationValue->setText(QStringLiteral("%1 sa %2 dk (%3 dk)")
                                   .arg(b.bill.minutes / 60)
                                   .arg(b.bill.minutes % 60)
                                   .arg(b.bill.minutes));
    ui->FeeValue->setText(amountText(b.bill.fee));
    ui->TimeChargeValue->setText(amountText(b.bill.timeCharge));
    ui->MinimumNote->setVisible(b.bill.minimumApplied);
    // The single fee's one stretch needs no lines of its own: the figures above say it.
    const bool segments = counter::segmentsWorthShowing(b.segments);
    QStringList lines;
    if (segments) {
        const counter::StartLines opened =
            counter::StartLines::read(b.openedDate, b.openedTime, b.closedAt.date());
        const QDateTime start(opened.date, opened.time.value_or(QTime(0, 0)));
        for (const counter::Segment &s : b.segments)
            lines << counter::segmentText(s, start);
    }
    ui->SegmentsValue->setText(lines.join(QLatin1Char('\n')));
    ui->SegmentsValue->setVisible(segments);
    ui->SegmentsRule->setText(counter::segmentRuleText());
    ui->SegmentsRule->setVisible(segments);
    // Tall enough for every segment's line: never squeezed into the size of the last bill.
    layout()->activate();
    resize(width(), qMax(440, layout()->totalMinimumHeightForWidth(width())));
    ui->ExtrasList->clear();
    for (const ledger::BookedExtra &extra : b.extras) {
        // Left on the table for the account that followed: listed, not counted here.
        auto *item = new QListWidgetItem(
            extra.carried ? extra.name + QStringLiteral(" (yeni hesaba aktarıldı)") : extra.name,
            ui->ExtrasList);
        TRowDelegate::setRightColumn(item, amountText(extra.price));
    }
    if (b.extras.isEmpty())
        ui->ExtrasList->addItem(QStringLiteral("Extra girilmemiş"));
    ui->ExtrasTotalValue->setText(amountText(b.bill.extrasTotal));
    ui->TotalValue->setText(amountText(b.bill.total));
    ui->PaidButton->setFocus();
}

void BillWindow::showStored(const ledger::BillRecord &b)
{
    fill(b);
    const QString title = ui->TableName->text();
    ui->TableName->setText(title + QStringLiteral(" · ") + ledger::statusText(b));
    ui->PaidButton->hide();
    ui->CancelButton->setText(QStringLiteral("Kapat"));
    ui->CancelButton->setFocus();
    exec();
    ui->PaidButton->show();
    ui->CancelButton->setText(QStringLiteral("Vazgeç"));
}
