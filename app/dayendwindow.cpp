#include "dayendwindow.h"
#include "ui_dayendwindow.h"

#include "applocale.h"
#include "billing.h"
#include "floor.h"
#include "messages.h"
#include "placement.h"
#include "recordlist.h"

#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QTableWidgetItem>

using namespace kv;

namespace {
constexpr int kSortRole = Qt::UserRole;
constexpr int kBillRole = Qt::UserRole + 1;

// Sorts by the value behind the text: numbers as numbers, moments as moments.
class SortItem : public QTableWidgetItem
{
public:
    SortItem(const QString &text, const QVariant &key) : QTableWidgetItem(text)
    {
        setData(kSortRole, key);
    }
    bool operator<(const QTableWidgetItem &other) const override
    {
        const QVariant a = data(kSortRole), b = other.data(kSortRole);
        if (a.typeId() == QMetaType::LongLong && b.typeId() == QMetaType::LongLong)
            return a.toLongLong() < b.toLongLong();
        return a.toString() < b.toString();
    }
};

QString field(const QString &text)
{
    if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}
} // namespace

DayEndWindow::DayEndWindow(QWidget *parent) : QDialog(parent), ui(new Ui::DayEndWindow)
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    centreAtEveryShowing(this);
    ui->DayEdit->setLocale(appLocale());
    QHeaderView *header = ui->BillsTable->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setStretchLastSection(true);

    askReason = [this]() -> std::optional<QString> {
        bool ok = false;
        const QString text = QInputDialog::getText(this, QStringLiteral("Fiş İptali"),
                                                   QStringLiteral("İptal nedeni:"),
                                                   QLineEdit::Normal, QString(), &ok);
        return ok ? std::optional<QString>(text) : std::nullopt;
    };
    chooseFile = [this](const QString &suggested) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Dışa Aktar"), suggested,
                                            QStringLiteral("CSV dosyası (*.csv)"));
    };

    const auto on = [this](void (DayEndWindow::*handler)()) {
        return [this, handler] { guard([&] { (this->*handler)(); }); };
    };
    connect(ui->CancelBillButton, &QPushButton::clicked, this, on(&DayEndWindow::CancelBillClick));
    connect(ui->ExportButton, &QPushButton::clicked, this, on(&DayEndWindow::ExportClick));
    connect(ui->CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->DayEdit, &QDateEdit::dateChanged, this,
            [this](const QDate &day) { guard([&] { showDay(day); }); });
}

DayEndWindow::~DayEndWindow()
{
    delete ui;
}

void DayEndWindow::openAt(const QDateTime &now)
{
    const QDate day = ledger::businessDay(now);
    if (ui->DayEdit->date() == day)
        showDay(day);
    else
        ui->DayEdit->setDate(day); // shows it
    exec();
}

void DayEndWindow::showDay(const QDate &day)
{
    m_bills = m_ledger ? m_ledger->bills(ledger::businessDayStart(day),
                                         ledger::businessDayStart(day.addDays(1)))
                       : QList<ledger::BillRecord>();
    QTableWidget *table = ui->BillsTable;
    // Column widths are measured once over all rows, not again after every item.
    QHeaderView *header = table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    table->setSortingEnabled(false);
    table->setRowCount(int(m_bills.size()));
    qint64 count = 0, time = 0, extras = 0, total = 0;
    for (int row = 0; row < m_bills.size(); ++row) {
        const ledger::BillRecord &b = m_bills.at(row);
        using counter::amountText;
        const QString status = b.cancelled()
                                   ? QStringLiteral("İptal (%1): %2")
                                         .arg(longTime(b.cancelledAt.time()), b.cancelReason)
                                   : QStringLiteral("Ödendi");
        QList<QTableWidgetItem *> items{
            new SortItem(shortDate(b.closedAt.date()) + QLatin1Char(' ') +
                             longTime(b.closedAt.time()),
                         ledger::isoText(b.closedAt)),
            new SortItem(b.tableName, b.tableName),
            new SortItem(counter::hoursAndMinutes(b.bill.minutes), b.bill.minutes),
            new SortItem(amountText(b.bill.timeCharge), b.bill.timeCharge),
            new SortItem(amountText(b.bill.extrasTotal), b.bill.extrasTotal),
            new SortItem(amountText(b.bill.total), b.bill.total),
            new SortItem(status, status)};
        for (int column = 0; column < items.size(); ++column) {
            QTableWidgetItem *item = items.at(column);
            item->setData(kBillRole, b.id);
            if (column >= 2 && column <= 5)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (b.cancelled()) {
                item->setForeground(QColor(0x99, 0x99, 0x99));
                item->setToolTip(b.cancelReason);
            }
            table->setItem(row, column, item);
        }
        if (!b.cancelled()) {
            ++count;
            time += b.bill.timeCharge;
            extras += b.bill.extrasTotal;
            total += b.bill.total;
        }
    }
    table->setSortingEnabled(true);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui->CountValue->setText(QString::number(count));
    ui->TimeValue->setText(counter::amountText(time));
    ui->ExtrasValue->setText(counter::amountText(extras));
    ui->TotalValue->setText(counter::amountText(total));
    ui->OpenValue->setText(openTablesNow ? openTablesNow() : QString());
}

void DayEndWindow::CancelBillClick()
{
    const QList<QTableWidgetItem *> chosen = ui->BillsTable->selectedItems();
    if (chosen.isEmpty()) {
        messages::inform(QStringLiteral("İptal edilecek fişi seçin!"));
        return;
    }
    const qint64 id = chosen.first()->data(kBillRole).toLongLong();
    const auto bill = std::find_if(m_bills.cbegin(), m_bills.cend(),
                                   [id](const ledger::BillRecord &b) { return b.id == id; });
    if (bill != m_bills.cend() && bill->cancelled()) {
        messages::inform(QStringLiteral("Bu fiş zaten iptal edilmiş."));
        return;
    }
    const std::optional<QString> reason = askReason();
    if (!reason)
        return;
    if (reason->trimmed().isEmpty()) {
        messages::inform(QStringLiteral("İptal için bir neden girin!"));
        return;
    }
    // The list follows the ledger whatever the cancel did.
    try {
        cancelBill(id, reason->trimmed());
    } catch (...) {
        showDay(ui->DayEdit->date());
        throw;
    }
    showDay(ui->DayEdit->date());
}

void DayEndWindow::ExportClick()
{
    const QDate day = ui->DayEdit->date();
    const QString suggested =
        QDir::homePath() + QStringLiteral("/gun-sonu-%1.csv").arg(day.toString(Qt::ISODate));
    const QString path = chooseFile(suggested);
    if (path.isEmpty())
        return;
    if (!files::writeAtomically(path, csv(m_bills)))
        throwError(QStringLiteral("Cannot create file %1").arg(files::native(path)));
    messages::inform(
        QStringLiteral("Günün fişleri %1 dosyasına yazıldı.").arg(files::native(path)));
}

QByteArray DayEndWindow::csv(const QList<ledger::BillRecord> &bills)
{
    QStringList lines{QStringLiteral(
        "Fiş No;Kapanış;Masa;Açılış Tarihi;Açılış Saati;Süre (dk);Saatlik Ücret;Saat Tutarı;"
        "En Az Ücret;Extralar;Toplam;İptal Zamanı;İptal Nedeni")};
    for (const ledger::BillRecord &b : bills) {
        QStringList f{QString::number(b.id),
                      ledger::isoText(b.closedAt),
                      field(b.tableName),
                      field(b.openedDate),
                      field(b.openedTime),
                      QString::number(b.bill.minutes),
                      QString::number(b.bill.fee),
                      QString::number(b.bill.timeCharge),
                      b.bill.minimumApplied ? QStringLiteral("1") : QStringLiteral("0"),
                      QString::number(b.bill.extrasTotal),
                      QString::number(b.bill.total),
                      b.cancelled() ? ledger::isoText(b.cancelledAt) : QString(),
                      field(b.cancelReason)};
        lines << f.join(QLatin1Char(';'));
    }
    return QByteArray("\xEF\xBB\xBF") + (lines.join(QStringLiteral("\r\n")) + "\r\n").toUtf8();
}
