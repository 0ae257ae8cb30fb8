#include "bills.h"

#include "floor.h"

namespace kv::print {

namespace {
using counter::amountText;

const QString kTurkishLetters = QStringLiteral("ÇĞİÖŞÜ çğıöşü");

QString momentText(const QDateTime &moment)
{
    return moment.isValid() ? moment.toString(QStringLiteral("dd.MM.yyyy HH:mm")) : QString();
}

QString minus(qint64 amount)
{
    return QStringLiteral("−") + amountText(amount);
}

void addHeading(Receipt &r, const Heading &h)
{
    if (!h.name.trimmed().isEmpty())
        r.text(h.name.trimmed(), Align::Centre, true, true);
    // An address is kept with its own line breaks.
    for (const QString &line : h.address.split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty())
            r.text(line.trimmed(), Align::Centre);
}

// Where the account started on the wall clock: its segments' times count from there.
QDateTime startOf(const ledger::BillRecord &b)
{
    const counter::StartLines opened =
        counter::StartLines::read(b.openedDate, b.openedTime, b.closedAt.date());
    if (!opened.date.isValid() || !opened.time)
        return QDateTime();
    return QDateTime(opened.date, *opened.time);
}

void addSegments(Receipt &r, const ledger::BillRecord &b, const QDateTime &start)
{
    const auto at = [&](qint64 ms) {
        return start.isValid() ? start.addMSecs(ms).time().toString(QStringLiteral("HH:mm"))
                               : QStringLiteral("?");
    };
    for (const counter::Segment &s : b.segments) {
        switch (s.kind) {
        case counter::Segment::Kind::Pause:
            r.text(QStringLiteral("Durduruldu %1–%2").arg(at(s.fromMs), at(s.toMs)));
            break;
        case counter::Segment::Kind::Correction: {
            QString text = QStringLiteral("Düzeltme %1").arg(at(s.fromMs));
            if (s.minutes != 0)
                text += QStringLiteral(" · %1 dk · %2/saat").arg(s.minutes).arg(amountText(s.fee));
            if (!s.reason.isEmpty())
                text += QStringLiteral(" (%1)").arg(s.reason);
            if (s.minutes != 0)
                r.columns(text, amountText(s.charge));
            else
                r.text(text);
            break;
        }
        case counter::Segment::Kind::Time:
            r.columns(QStringLiteral("%1–%2 · %3 dk · %4/saat")
                          .arg(at(s.fromMs), at(s.toMs))
                          .arg(s.minutes)
                          .arg(amountText(s.fee)),
                      amountText(s.charge));
            break;
        }
    }
}

QString countAndAmount(qint64 count, const QString &unit, const QString &amount)
{
    return QStringLiteral("%1 %2 · %3").arg(count).arg(unit, amount);
}

void addChain(Receipt &r, const ledger::ChainHead &head)
{
    r.text(QStringLiteral("Olay zinciri: ") + head.shortText());
}

// A report's bills before and after treats and discounts, and how they were paid.
void addMoney(Receipt &r, qint64 gross, qint64 discounts, qint64 treats, qint64 net,
              const ledger::MethodSums &by)
{
    r.columns(QStringLiteral("Brüt"), amountText(gross));
    r.columns(QStringLiteral("İndirim"), amountText(discounts));
    r.columns(QStringLiteral("İkram"), amountText(treats));
    r.columns(QStringLiteral("Net"), amountText(net), true);
    r.columns(QStringLiteral("Nakit"), amountText(by.cash));
    r.columns(QStringLiteral("Kart"), amountText(by.card));
    r.columns(QStringLiteral("Veresiye"), amountText(by.tab));
}

// `ownDayOnly`: a day's report leaves out bills cancelled on a later day, which stay in its
// totals and are that later day's cancels.
void addCancels(Receipt &r, const QList<ledger::BillRecord> &bills, bool ownDayOnly = false)
{
    const auto listed = [ownDayOnly](const ledger::BillRecord &b) {
        return b.cancelled() && !b.restart &&
               (!ownDayOnly ||
                ledger::businessDay(b.cancelledAt) <= ledger::businessDay(b.closedAt));
    };
    qint64 count = 0, sum = 0;
    for (const ledger::BillRecord &b : bills)
        if (listed(b)) {
            ++count;
            sum += b.bill.total;
        }
    r.columns(QStringLiteral("İptal"),
              countAndAmount(count, QStringLiteral("fiş"), amountText(sum)));
    for (const ledger::BillRecord &b : bills)
        if (listed(b))
            r.columns(QStringLiteral("Fiş %1 · %2 (%3)").arg(b.id).arg(b.tableName, b.cancelReason),
                      amountText(b.bill.total));
}
} // namespace

Receipt billReceipt(const ledger::BillRecord &b, const Heading &heading, bool copy)
{
    Receipt r;
    addHeading(r, heading);
    if (copy)
        r.text(QStringLiteral("KOPYA"), Align::Centre, true);
    // Printed again from Gün Sonu, a cancelled bill says so.
    if (b.cancelled())
        r.text(ledger::statusText(b), Align::Centre, true);
    r.separator();
    r.text(b.part ? b.tableName + QStringLiteral(" · Ayrı ödeme") : b.tableName, Align::Left, true);
    if (b.id > 0)
        r.columns(QStringLiteral("Fiş no"), QString::number(b.id));
    const QDateTime start = startOf(b);
    if (start.isValid())
        r.columns(QStringLiteral("Açılış"), momentText(start));
    else if (!b.openedDate.isEmpty())
        r.columns(QStringLiteral("Açılış"), b.openedDate + QLatin1Char(' ') + b.openedTime);
    const bool unpaid = b.id == 0;
    r.columns(unpaid ? QStringLiteral("Saat") : QStringLiteral("Kapanış"), momentText(b.closedAt));
    r.separator();

    // Extras alone (a free table's, or paid apart) have no time to show.
    const bool timed = !b.segments.isEmpty() || !b.openedDate.isEmpty() || b.bill.timeCharge != 0;
    if (timed && b.segments.isEmpty()) {
        // An older ledger's bill: the time as one line.
        r.columns(
            QStringLiteral("Süre %1 dk · %2/saat").arg(b.bill.minutes).arg(amountText(b.bill.fee)),
            amountText(b.bill.timeCharge));
        if (b.bill.minimumApplied)
            r.text(QStringLiteral("En az ücret uygulandı"));
    } else if (timed) {
        addSegments(r, b, start);
        if (b.bill.minimumApplied)
            r.text(QStringLiteral("En az ücret uygulandı"));
        r.columns(QStringLiteral("Saat tutarı (%1 dk)").arg(ledger::billedMinutes(b)),
                  amountText(b.bill.timeCharge));
    }
    if (!b.extras.isEmpty()) {
        r.text(QStringLiteral("Extralar"), Align::Left, true);
        for (const ledger::BookedExtra &x : b.extras)
            r.columns(x.carried ? x.name + QStringLiteral(" (yeni hesaba aktarıldı)") : x.name,
                      amountText(x.price));
        r.columns(QStringLiteral("Extra toplamı"), amountText(b.bill.extrasTotal));
    }
    r.separator();

    // A paid bill shows what was paid; one not paid yet works its treats and discount out.
    counter::Settlement s = b.settlement;
    counter::Due due = b.due();
    if (unpaid) {
        QList<qint64> prices;
        for (const ledger::BookedExtra &x : b.extras)
            prices << (x.carried ? 0 : x.price);
        due = counter::dueOf(b.bill, prices, s);
    }
    if (due.treats > 0 || due.discount > 0)
        r.columns(QStringLiteral("Brüt"), amountText(due.gross));
    for (const counter::Treat &t : s.treats) {
        const QString what = t.extra == counter::Treat::TimeCharge ? QStringLiteral("Saat tutarı")
                                                                   : b.extras.value(t.extra).name;
        r.columns(QStringLiteral("İkram: ") + what +
                      (t.reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(t.reason)),
                  minus(t.amount));
    }
    if (due.discount > 0) {
        QString what = QStringLiteral("İndirim");
        if (s.discount.percent > 0)
            what += QStringLiteral(" %%1").arg(s.discount.percent);
        if (!s.discount.reason.isEmpty())
            what += QStringLiteral(" (%1)").arg(s.discount.reason);
        r.columns(what, minus(due.discount));
    }
    r.text(QStringLiteral("TOPLAM %1").arg(amountText(due.net)), Align::Right, true, true);
    for (const counter::Payment &p : s.payments)
        r.columns(counter::methodText(p.method) +
                      (p.customer.isEmpty() ? QString() : QStringLiteral(" · ") + p.customer) +
                      (p.ahead ? QStringLiteral(" (önceden ayrı ödendi)") : QString()),
                  amountText(p.amount));
    // Before paying: what is still owed after what was paid so far.
    if (unpaid && !s.payments.isEmpty())
        r.columns(QStringLiteral("Kalan"), amountText(due.left), true);
    // The guest is shown how the time and a percentage were worked out, as on the screen.
    if (counter::segmentsWorthShowing(b.segments) || s.discount.percent > 0)
        r.separator();
    if (counter::segmentsWorthShowing(b.segments))
        r.text(counter::segmentRuleText());
    if (s.discount.percent > 0)
        r.text(counter::discountRuleText());
    r.separator();
    r.text(QStringLiteral("Bilgi amaçlıdır. MALİ DEĞERİ YOKTUR."), Align::Centre);
    return r;
}

Receipt dayReceipt(const QDate &day, const ledger::DayTotals &t,
                   const QList<ledger::BillRecord> &bills, const ledger::MethodSums &collected,
                   const ledger::ChainHead &head, const Heading &heading,
                   const QDateTime &printedAt)
{
    Receipt r;
    addHeading(r, heading);
    r.text(QStringLiteral("GÜN SONU"), Align::Centre, true);
    r.columns(QStringLiteral("İş günü"), day.toString(QStringLiteral("dd.MM.yyyy")));
    r.separator();
    r.columns(QStringLiteral("Fiş sayısı"), QString::number(t.paid));
    r.columns(QStringLiteral("Saat tutarları"), amountText(t.timeCharges));
    r.columns(QStringLiteral("Extralar"), amountText(t.extras));
    r.columns(QStringLiteral("Genel toplam"), amountText(t.total), true);
    r.separator();
    addMoney(r, t.gross, t.discounts, t.treats, t.net, t.byMethod);
    if (collected.sum() > 0) {
        r.columns(QStringLiteral("Veresiye tahsilatı"), amountText(collected.sum()));
        r.columns(
            QStringLiteral("  nakit / kart"),
            QStringLiteral("%1 / %2").arg(amountText(collected.cash), amountText(collected.card)));
    }
    r.separator();
    addCancels(r, bills, true);
    r.columns(QStringLiteral("Yeniden başlatılan"),
              countAndAmount(t.restarts, QStringLiteral("hesap"), amountText(t.restartTotal)));
    if (t.earlierCancels > 0)
        r.columns(
            QStringLiteral("Önceki gün iptali"),
            countAndAmount(t.earlierCancels, QStringLiteral("fiş"), minus(t.earlierCancelTotal)));
    r.separator();
    r.columns(QStringLiteral("Yazdırıldı"), momentText(printedAt));
    addChain(r, head);
    return r;
}

Receipt shiftReceipt(const ledger::ShiftReport &report, const ledger::ChainHead &head,
                     const Heading &heading)
{
    const ledger::Shift &s = report.shift;
    Receipt r;
    addHeading(r, heading);
    r.text(QStringLiteral("VARDİYA RAPORU"), Align::Centre, true);
    r.columns(QStringLiteral("Vardiya"), QString::number(s.id));
    r.columns(QStringLiteral("Kasiyer"), s.cashier.isEmpty() || s.cashier == QLatin1String("-")
                                             ? QStringLiteral("(tanımlı değil)")
                                             : s.cashier);
    r.columns(QStringLiteral("Açılış"), momentText(s.openedAt));
    if (s.closedAt.isValid())
        r.columns(QStringLiteral("Kapanış"), momentText(s.closedAt));
    else
        r.columns(QStringLiteral("Vardiya açık; saat"), momentText(report.until));
    r.separator();
    qint64 standing = 0, restarts = 0;
    for (const ledger::BillRecord &b : report.bills) {
        if (b.restart)
            ++restarts;
        else if (!b.cancelled())
            ++standing;
    }
    r.columns(QStringLiteral("Fiş"), QString::number(standing));
    addMoney(r, report.gross, report.discounts, report.treats, report.net, report.taken);
    r.columns(QStringLiteral("Veresiye tahsilatı (nakit)"), amountText(report.collected.cash));
    r.columns(QStringLiteral("Veresiye tahsilatı (kart)"), amountText(report.collected.card));
    r.columns(QStringLiteral("İade (nakit)"), amountText(report.refunded.cash));
    r.columns(QStringLiteral("İade (kart)"), amountText(report.refunded.card));
    r.separator();
    r.text(QStringLiteral("Kasa"), Align::Left, true);
    r.columns(QStringLiteral("Devir"), amountText(s.floatCash));
    r.columns(QStringLiteral("+ Nakit ödemeler"), amountText(report.taken.cash));
    r.columns(QStringLiteral("+ Nakit veresiye tahsilatı"), amountText(report.collected.cash));
    r.columns(QStringLiteral("− Nakit iadeler"), amountText(report.refunded.cash));
    for (const ledger::CashOut &o : report.outs)
        r.columns(QStringLiteral("− Çıkış %1 %2")
                      .arg(o.at.toString(QStringLiteral("HH:mm")), o.reason)
                      .trimmed(),
                  amountText(o.amount));
    r.columns(QStringLiteral("− Kasadan çıkış"), amountText(report.cashOut));
    // A closed shift shows what was kept at its close.
    const qint64 expected = s.expected.value_or(report.expectedCash());
    r.columns(QStringLiteral("Olması gereken"), amountText(expected), true);
    if (s.counted) {
        const qint64 difference = *s.counted - expected;
        r.columns(QStringLiteral("Sayılan"), amountText(*s.counted), true);
        r.columns(QStringLiteral("Fark"),
                  difference > 0   ? QStringLiteral("+%1 fazla").arg(amountText(difference))
                  : difference < 0 ? QStringLiteral("−%1 eksik").arg(amountText(-difference))
                                   : amountText(0),
                  true);
    }
    if (!s.note.isEmpty())
        r.text(QStringLiteral("Not: ") + s.note);
    r.separator();
    addCancels(r, report.cancelled);
    r.columns(QStringLiteral("Yeniden başlatılan"), QString::number(restarts));
    r.separator();
    addChain(r, head);
    return r;
}

Receipt testPage(const PrinterSetup &setup)
{
    const int columns = columnsFor(setup.paperMm);
    Receipt r;
    addHeading(r, {setup.hallName, setup.hallAddress});
    r.text(QStringLiteral("Deneme Sayfası"), Align::Centre, true, true);
    r.separator();
    r.text(kTurkishLetters, Align::Left, true);
    r.text(kTurkishLetters);
    r.text(kTurkishLetters, Align::Left, false, true);
    r.separator();
    r.text(QStringLiteral("%1 sütun").arg(columns));
    QString ruler;
    for (int c = 1; c <= columns; ++c)
        ruler += QChar(u'0' + c % 10);
    r.text(ruler);
    r.separator();
    // One line per number: the one that prints these letters right is the printer's.
    QList<int> numbers;
    for (const CodePageChoice &c : codePageChoices())
        numbers << c.number;
    if (!numbers.contains(setup.codePage))
        numbers << setup.codePage;
    for (const int n : std::as_const(numbers))
        r.inCodePage(n, QStringLiteral("ESC t %1: %2").arg(n).arg(kTurkishLetters));
    r.separator();
    r.columns(QStringLiteral("Kağıt"), QStringLiteral("%1 mm").arg(setup.paperMm));
    QString connection;
    switch (setup.kind) {
    case PrinterSetup::Kind::None:
        connection = QStringLiteral("Yazıcı seçilmedi");
        break;
    case PrinterSetup::Kind::Network:
        connection = QStringLiteral("Ağ: %1:%2").arg(setup.host).arg(setup.port);
        break;
    case PrinterSetup::Kind::Device:
        connection = QStringLiteral("Aygıt: ") + setup.device;
        break;
    case PrinterSetup::Kind::System:
        connection =
            QStringLiteral("Sistem yazıcısı: ") +
            (setup.systemPrinter.isEmpty() ? QStringLiteral("varsayılan") : setup.systemPrinter);
        break;
    case PrinterSetup::Kind::Pdf:
        connection = QStringLiteral("PDF: ") + setup.pdfFolder;
        break;
    }
    r.text(connection);
    if (setup.escPos()) {
        r.columns(QStringLiteral("Kod sayfası"), QStringLiteral("ESC t %1").arg(setup.codePage));
        r.columns(QStringLiteral("Kesme"),
                  setup.cut ? QStringLiteral("açık") : QStringLiteral("kapalı"));
        r.columns(QStringLiteral("Çekmece"),
                  setup.drawer ? QStringLiteral("açık") : QStringLiteral("kapalı"));
    }
    return r;
}

} // namespace kv::print
