#include "dayendwindow.h"
#include "ui_dayendwindow.h"

#include "daybillsmodel.h"

#include "applocale.h"
#include "billing.h"
#include "floor.h"
#include "messages.h"
#include "placement.h"
#include "recordlist.h"

#include <QDir>
#include <QFileDialog>
#include <QHash>
#include <QInputDialog>
#include <QSet>
#include <QSortFilterProxyModel>

using namespace kv;

namespace {

QString field(const QString &text)
{
    if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// Every text the export writes (names, reasons, statuses; never an amount) goes through here:
// a spreadsheet evaluates a cell that starts like a formula ("=1+1 1" as a table name), so
// such a text is kept a text by a leading apostrophe.
QString textField(const QString &text)
{
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    const bool formula = !text.isEmpty() && formulaStarts.contains(text.front());
    return field(formula ? QLatin1Char('\'') + text : text);
}

QString momentField(const QDateTime &moment)
{
    return moment.isValid() ? moment.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) : QString();
}

// The register's lines were written in the locale of their day: read back as the bill read
// them, they are written as every other moment; what cannot be read is kept as it was.
QString openedDateField(const ledger::BillRecord &b)
{
    const QDate date = readStoredDate(b.openedDate, b.closedAt.date());
    return date.isValid() ? date.toString(QStringLiteral("dd.MM.yyyy")) : textField(b.openedDate);
}

QString openedTimeField(const ledger::BillRecord &b)
{
    try {
        return strToTime(b.openedTime).toString(QStringLiteral("HH:mm:ss"));
    } catch (const RuntimeError &) {
        return textField(b.openedTime);
    }
}
QString collectedText(const ledger::MethodSums &sums)
{
    const QString all = counter::amountText(sums.sum());
    return sums.sum()
               ? QStringLiteral("%1 (nakit %2, kart %3)")
                     .arg(all, counter::amountText(sums.cash), counter::amountText(sums.card))
               : all;
}
} // namespace

DayEndWindow::DayEndWindow(QWidget *parent)
    : QDialog(parent), ui(new Ui::DayEndWindow), m_bills(new DayBillsModel(this)),
      m_sorted(new QSortFilterProxyModel(this))
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    centreAtEveryShowing(this);
    ui->DayEdit->setLocale(appLocale());
    m_sorted->setSortRole(DayBillsModel::SortRole);
    m_sorted->setSourceModel(m_bills);
    ui->BillsTable->setModel(m_sorted);
    // In the ledger's order (as they were closed) until the operator sorts by a column.
    QHeaderView *header = ui->BillsTable->horizontalHeader();
    header->setSortIndicator(-1, Qt::AscendingOrder);
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
    // A double click or Enter on a row shows the bill whole, with its extras.
    connect(ui->BillsTable, &QTableView::activated, this, [this](const QModelIndex &row) {
        guard([&] {
            if (showBill)
                showBill(row.data(DayBillsModel::BillRole).toLongLong());
        });
    });
    connect(ui->ExportButton, &QPushButton::clicked, this, on(&DayEndWindow::ExportClick));
    connect(ui->PrintBillButton, &QPushButton::clicked, this, on(&DayEndWindow::PrintBillClick));
    connect(ui->PrintReportButton, &QPushButton::clicked, this,
            on(&DayEndWindow::PrintReportClick));
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
    using Detail = ledger::Ledger::Detail;
    const QDateTime from = ledger::businessDayStart(day);
    const QDateTime to = ledger::businessDayStart(day.addDays(1));
    m_bills->setBills(m_ledger ? m_ledger->bills(from, to, Detail::Listing)
                               : QList<ledger::BillRecord>());
    m_earlierCancelled =
        m_ledger ? m_ledger->cancelledFromEarlierDays(from, to) : QList<ledger::BillRecord>();
    m_collected =
        m_ledger && m_ledger->readable() ? m_ledger->collections(from, to) : ledger::MethodSums();
    fitColumns();
    showTotals();
}

void DayEndWindow::fitColumns()
{
    // As wide as the widest text, measured once per day shown (a cancel changes only the
    // last column, which stretches). Laying out all 2,100 texts took longer than reading
    // the day from the ledger, so they are ranked by the sum of their letters' widths and
    // laid out from the top down, each text once, while a sum is wider than the widest laid
    // out (kerning narrows a text, it does not widen it); the widest is then measured as the
    // item.
    QTableView *view = ui->BillsTable;
    QHeaderView *header = view->horizontalHeader();
    const QFontMetricsF metrics(view->font());
    std::array<qreal, 0x180> letters; // Latin and Turkish; others in the hash
    letters.fill(-1);
    QHash<char16_t, qreal> others;
    const auto estimate = [&](const QString &text) {
        qreal sum = 0;
        for (QChar c : text) {
            const bool latin = c.unicode() < letters.size();
            qreal width = latin ? letters[c.unicode()] : others.value(c.unicode(), -1);
            if (width < 0) {
                width = metrics.horizontalAdvance(c);
                if (latin)
                    letters[c.unicode()] = width;
                else
                    others.insert(c.unicode(), width);
            }
            sum += width;
        }
        return sum;
    };
    constexpr int kMostMeasured = 32; // different texts a column, as a bound
    const int rows = m_bills->rowCount();
    QList<std::pair<qreal, int>> ranked(rows);
    for (int column = 0; column < DayBillsModel::ColumnCount; ++column) {
        for (int row = 0; row < rows; ++row)
            ranked[row] = {estimate(m_bills->text(row, column)), row};
        // Taken from a heap, the widest sum first: most columns stop after a few.
        const auto narrower = [](const auto &a, const auto &b) { return a.first < b.first; };
        std::make_heap(ranked.begin(), ranked.end(), narrower);
        int widest = -1;
        qreal widestAdvance = -1;
        QSet<QString> measured; // a text many bills share is laid out once
        for (auto end = ranked.end();
             end != ranked.begin() && ranked.front().first > widestAdvance &&
             measured.size() < kMostMeasured;
             --end) {
            std::pop_heap(ranked.begin(), end, narrower);
            const int row = (end - 1)->second;
            const QString &text = m_bills->text(row, column);
            if (measured.contains(text))
                continue;
            measured.insert(text);
            const qreal advance = metrics.horizontalAdvance(text);
            if (advance > widestAdvance) {
                widestAdvance = advance;
                widest = row;
            }
        }
        int width = header->sectionSizeHint(column);
        if (widest >= 0) {
            const QModelIndex item = m_sorted->mapFromSource(m_bills->index(widest, column));
            const int grid = view->showGrid() ? 1 : 0;
            width = qMax(width, view->sizeHintForIndex(item).width() + grid);
        }
        header->resizeSection(column, width);
    }
}

const QList<ledger::BillRecord> &DayEndWindow::shownBills() const
{
    return m_bills->bills();
}

void DayEndWindow::showTotals()
{
    const ledger::DayTotals t = ledger::dayTotals(m_bills->bills(), m_earlierCancelled);
    ui->CountValue->setText(QString::number(t.paid));
    ui->TimeValue->setText(counter::amountText(t.timeCharges));
    ui->ExtrasValue->setText(counter::amountText(t.extras));
    ui->TotalValue->setText(counter::amountText(t.total));
    ui->RestartValue->setText(
        QStringLiteral("%1 hesap · %2").arg(t.restarts).arg(counter::amountText(t.restartTotal)));
    ui->OpenValue->setText(openTablesNow ? openTablesNow() : QString());
    ui->EarlierCancelCaption->setVisible(t.earlierCancels > 0);
    ui->EarlierCancelValue->setVisible(t.earlierCancels > 0);
    ui->EarlierCancelValue->setText(QStringLiteral("%1 fiş · −%2")
                                        .arg(t.earlierCancels)
                                        .arg(counter::amountText(t.earlierCancelTotal)));
    // The day's sales by how they were paid; tabs collected today are money in, not sales.
    using counter::amountText;
    ui->Brut->setText(amountText(t.gross));
    ui->IndirimIkram->setText(
        QStringLiteral("%1 / %2").arg(amountText(t.discounts), amountText(t.treats)));
    ui->Net->setText(amountText(t.net));
    ui->Yontemler->setText(QStringLiteral("%1 / %2 / %3")
                               .arg(amountText(t.byMethod.cash), amountText(t.byMethod.card),
                                    amountText(t.byMethod.tab)));
    ui->Tahsilat->setText(collectedText(m_collected));
    ui->ChainValue->setText(m_ledger && m_ledger->readable() ? m_ledger->chainHead().shortText()
                                                             : QStringLiteral("-"));
}

qint64 DayEndWindow::chosenBill(const QString &none) const
{
    const QModelIndexList chosen = ui->BillsTable->selectionModel()->selectedRows();
    if (chosen.isEmpty()) {
        messages::inform(none);
        return 0;
    }
    return chosen.first().data(DayBillsModel::BillRole).toLongLong();
}

void DayEndWindow::PrintBillClick()
{
    const qint64 id = chosenBill(QStringLiteral("Yazdırılacak fişi seçin!"));
    if (id != 0 && printBill)
        printBill(id);
}

void DayEndWindow::PrintReportClick()
{
    if (printReport)
        printReport(ui->DayEdit->date(), ledger::dayTotals(m_bills->bills(), m_earlierCancelled),
                    m_bills->bills(), m_collected);
}

void DayEndWindow::CancelBillClick()
{
    const qint64 id = chosenBill(QStringLiteral("İptal edilecek fişi seçin!"));
    if (id == 0)
        return;
    const QList<ledger::BillRecord> &bills = m_bills->bills();
    const auto bill = std::find_if(bills.cbegin(), bills.cend(),
                                   [id](const ledger::BillRecord &b) { return b.id == id; });
    if (bill != bills.cend() && bill->cancelled()) {
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
    // The list follows the ledger whatever the cancel did; only that bill can have changed.
    const auto follow = [this, id] {
        if (m_ledger)
            if (const std::optional<ledger::BillRecord> now = m_ledger->bill(id))
                m_bills->replaceBill(*now);
        showTotals();
    };
    try {
        cancelBill(id, reason->trimmed());
    } catch (...) {
        follow();
        throw;
    }
    follow();
}

void DayEndWindow::ExportClick()
{
    const QDate day = ui->DayEdit->date();
    const QString suggested =
        QDir::homePath() + QStringLiteral("/gun-sonu-%1.csv").arg(day.toString(Qt::ISODate));
    const QString path = chooseFile(suggested);
    if (path.isEmpty())
        return;
    if (!files::writeAtomically(path, csv(m_bills->bills())))
        throwError(QStringLiteral("Cannot create file %1").arg(files::native(path)));
    if (dayClosed)
        dayClosed();
    messages::inform(
        QStringLiteral("Günün fişleri %1 dosyasına yazıldı.").arg(files::native(path)));
}

QByteArray DayEndWindow::csv(const QList<ledger::BillRecord> &bills)
{
    // Columns are only ever appended, so that a sheet made for an earlier export still fits.
    QStringList lines{QStringLiteral(
        "Fiş No;Kapanış;Masa;Açılış Tarihi;Açılış Saati;Süre (dk);Saatlik Ücret;Saat Tutarı;"
        "En Az Ücret;Extralar;Toplam;İptal Zamanı;İptal Nedeni;Durum;Faturalanan dk;"
        "Durdurulan dk;Brüt;İndirim;İkram;Net;Nakit;Kart;Veresiye")};
    for (const ledger::BillRecord &b : bills) {
        const counter::Due due = b.due();
        ledger::MethodSums paid;
        for (const counter::Payment &p : b.settlement.payments)
            paid.of(p.method) += p.amount;
        QStringList f{QString::number(b.id),
                      momentField(b.closedAt),
                      textField(b.tableName),
                      openedDateField(b),
                      openedTimeField(b),
                      QString::number(b.bill.minutes),
                      QString::number(b.bill.fee),
                      QString::number(b.bill.timeCharge),
                      b.bill.minimumApplied ? QStringLiteral("Evet") : QStringLiteral("Hayır"),
                      QString::number(b.bill.extrasTotal),
                      QString::number(b.bill.total),
                      momentField(b.cancelledAt),
                      textField(b.cancelReason),
                      textField(ledger::statusText(b)),
                      QString::number(ledger::billedMinutes(b)),
                      QString::number(ledger::pausedMinutes(b)),
                      QString::number(due.gross),
                      QString::number(due.discount),
                      QString::number(due.treats),
                      QString::number(due.net),
                      QString::number(paid.cash),
                      QString::number(paid.card),
                      QString::number(paid.tab)};
        lines << f.join(QLatin1Char(';'));
    }
    return QByteArray("\xEF\xBB\xBF") + (lines.join(QStringLiteral("\r\n")) + "\r\n").toUtf8();
}
