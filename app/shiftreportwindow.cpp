#include "shiftreportwindow.h"
#include "ui_shiftreportwindow.h"

#include "floor.h"
#include "messages.h"
#include "moneyfields.h"
#include "placement.h"

using namespace kv;
using counter::amountText;

namespace {

QString cell(const QString &text, bool right = false)
{
    return QStringLiteral("<td%1>%2</td>")
        .arg(right ? QStringLiteral(" align=\"right\"") : QString(), text.toHtmlEscaped());
}

QString row(const QString &caption, const QString &value, bool strong = false)
{
    const QString v =
        strong ? QStringLiteral("<b>%1</b>").arg(value.toHtmlEscaped()) : value.toHtmlEscaped();
    return QStringLiteral("<tr><td>%1</td><td align=\"right\">%2</td></tr>")
        .arg(caption.toHtmlEscaped(), v);
}

QString heading(const QString &text)
{
    return QStringLiteral("<h3 style=\"margin-top:14px\">%1</h3>").arg(text.toHtmlEscaped());
}

QString table(const QString &rows)
{
    return QStringLiteral("<table cellspacing=\"0\" cellpadding=\"3\">%1</table>").arg(rows);
}

QString timeOf(const QDateTime &moment)
{
    return moment.toString(QStringLiteral("HH:mm"));
}

// How a bill was paid, "Nakit 300 TL + Kart 200 TL".
QString paidText(const ledger::BillRecord &b)
{
    QStringList parts;
    for (const counter::Payment &p : b.settlement.payments)
        parts << QStringLiteral("%1 %2%3").arg(
            counter::methodText(p.method), amountText(p.amount),
            p.customer.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(p.customer));
    return parts.join(QStringLiteral(" + "));
}

} // namespace

ShiftReportWindow::ShiftReportWindow(QWidget *parent)
    : QDialog(parent), ui(new Ui::ShiftReportWindow)
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    centreAtEveryShowing(this);
    connect(ui->Kapat, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->Yazdir, &QPushButton::clicked, this, [this] {
        if (printReport)
            guard([this] { printReport(m_report); });
    });
}

ShiftReportWindow::~ShiftReportWindow()
{
    delete ui;
}

void ShiftReportWindow::showReport(const ledger::ShiftReport &report)
{
    m_report = report;
    ui->Yazdir->setVisible(bool(printReport));
    ui->Rapor->setHtml(html(report));
    ui->Kapat->setFocus();
    exec();
}

QString ShiftReportWindow::html(const ledger::ShiftReport &r)
{
    const ledger::Shift &s = r.shift;
    QString out = QStringLiteral("<h2>Vardiya %1 · %2</h2>").arg(s.id).arg(cashierText(s.cashier));
    out += QStringLiteral("<p>Açılış: %1<br>%2</p>")
               .arg(momentText(s.openedAt),
                    s.closedAt.isValid()
                        ? QStringLiteral("Kapanış: %1").arg(momentText(s.closedAt))
                        : QStringLiteral("Vardiya açık; %1 itibarıyla").arg(momentText(r.until)));

    // The drawer first: it is what the closing is about.
    QString drawer =
        row(QStringLiteral("Devir (açılışta kasadaki)"), amountText(s.floatCash)) +
        row(QStringLiteral("+ Nakit ödemeler"), amountText(r.taken.cash)) +
        row(QStringLiteral("+ Nakit veresiye tahsilatı"), amountText(r.collected.cash)) +
        row(QStringLiteral("− Nakit iadeler"), amountText(r.refunded.cash)) +
        row(QStringLiteral("− Kasadan çıkış"), amountText(r.cashOut));
    // A closed shift shows what was kept at its close.
    const qint64 expected = s.expected.value_or(r.expectedCash());
    drawer += row(QStringLiteral("Olması gereken"), amountText(expected), true);
    if (s.counted) {
        const qint64 difference = *s.counted - expected;
        drawer += row(QStringLiteral("Sayılan"), amountText(*s.counted), true);
        drawer += QStringLiteral("<tr><td>Fark</td><td align=\"right\" style=\"color:%1\"><b>%2"
                                 "</b></td></tr>")
                      .arg(difference < 0   ? QStringLiteral("#d00000")
                           : difference > 0 ? QStringLiteral("#006000")
                                            : QStringLiteral("black"),
                           differenceText(difference).toHtmlEscaped());
    }
    if (!s.note.isEmpty())
        drawer += row(QStringLiteral("Not"), s.note);

    qint64 standing = 0, restarts = 0;
    QString bills = QStringLiteral("<tr><th>No</th><th>Saat</th><th>Masa</th><th>Brüt</th>"
                                   "<th>İndirim</th><th>İkram</th><th>Net</th><th>Ödeme</th></tr>");
    for (const ledger::BillRecord &b : r.bills) {
        const counter::Due due = b.due();
        if (b.restart)
            ++restarts;
        else if (!b.cancelled())
            ++standing;
        bills += QStringLiteral("<tr>") + cell(QString::number(b.id), true) +
                 cell(timeOf(b.closedAt)) + cell(b.tableName) + cell(amountText(due.gross), true) +
                 cell(amountText(due.discount), true) + cell(amountText(due.treats), true) +
                 cell(amountText(due.net), true) +
                 cell(b.cancelled() ? ledger::statusText(b) : paidText(b)) +
                 QStringLiteral("</tr>");
    }
    const QString sales =
        row(QStringLiteral("Fiş"), QString::number(standing)) +
        row(QStringLiteral("Brüt"), amountText(r.gross)) +
        row(QStringLiteral("İndirim"), amountText(r.discounts)) +
        row(QStringLiteral("İkram"), amountText(r.treats)) +
        row(QStringLiteral("Net"), amountText(r.net), true) +
        row(QStringLiteral("Nakit"), amountText(r.taken.cash)) +
        row(QStringLiteral("Kart"), amountText(r.taken.card)) +
        row(QStringLiteral("Veresiye"), amountText(r.taken.tab)) +
        row(QStringLiteral("Veresiye tahsilatı (nakit)"), amountText(r.collected.cash)) +
        row(QStringLiteral("Veresiye tahsilatı (kart)"), amountText(r.collected.card));
    out += QStringLiteral("<table cellspacing=\"0\" cellpadding=\"0\"><tr><td valign=\"top\">%1"
                          "%2</td><td width=\"40\"></td><td valign=\"top\">%3%4</td></tr></table>")
               .arg(heading(QStringLiteral("Kasa")), table(drawer),
                    heading(QStringLiteral("Satış ve ödemeler")), table(sales));

    out += heading(QStringLiteral("Fişler"));
    out +=
        r.bills.isEmpty()
            ? QStringLiteral("<p>Fiş yok.</p>")
            : QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">%1</table>")
                  .arg(bills);

    if (!r.tabMoves.isEmpty()) {
        QString moves;
        for (const ledger::TabLine &t : r.tabMoves)
            moves +=
                QStringLiteral("<tr>") + cell(timeOf(t.at)) + cell(t.customer) +
                cell(t.billId
                         ? QStringLiteral("Fiş %1 · %2").arg(t.billId).arg(t.tableName)
                         : QStringLiteral("Tahsilat (%1)").arg(counter::methodText(t.method))) +
                cell((t.billId ? QStringLiteral("+") : QStringLiteral("−")) +
                         amountText(qAbs(t.amount)),
                     true) +
                cell(t.cancelled ? QStringLiteral("iptal") : QString()) + QStringLiteral("</tr>");
        out += heading(QStringLiteral("Veresiye hareketleri")) + table(moves);
    }

    if (!r.outs.isEmpty()) {
        QString outs;
        for (const ledger::CashOut &o : r.outs)
            outs += QStringLiteral("<tr>") + cell(timeOf(o.at)) + cell(amountText(o.amount), true) +
                    cell(o.reason) + cell(o.op) + QStringLiteral("</tr>");
        out += heading(QStringLiteral("Kasadan çıkışlar")) + table(outs);
    }

    out += heading(QStringLiteral("İptaller ve yeniden başlatmalar"));
    QString cancels;
    for (const ledger::BillRecord &b : r.cancelled)
        if (!b.restart)
            cancels += QStringLiteral("<tr>") + cell(timeOf(b.cancelledAt)) +
                       cell(QStringLiteral("Fiş %1 · %2").arg(b.id).arg(b.tableName)) +
                       cell(amountText(b.bill.total), true) + cell(b.cancelReason) +
                       QStringLiteral("</tr>");
    if (!cancels.isEmpty())
        out += table(cancels);
    out += table(row(QStringLiteral("Yeniden başlatılan hesap"), QString::number(restarts)) +
                 row(QStringLiteral("İade (nakit)"), amountText(r.refunded.cash)) +
                 row(QStringLiteral("İade (kart)"), amountText(r.refunded.card)));
    return out;
}
