#include "printdesk.h"

#include "hall.h"
#include "printpreview.h"

#include <QApplication>
#include <QJsonObject>
#include <QMessageBox>

using namespace kv;
using print::Purpose;

PrintDesk::PrintDesk(hall::Hall &hall, QWidget *window)
    : QObject(window), m_hall(hall), m_window(window)
{
    connect(&m_printer, &print::Printer::finished, this,
            [this](quint64 job, bool ok, const QString &message) {
                if (const auto done = m_done.take(job))
                    done(ok, message);
            });
}

PrintDesk::~PrintDesk() = default;

print::Heading PrintDesk::heading() const
{
    const print::PrinterSetup &s = m_hall.printerSetup();
    return {s.hallName, s.hallAddress};
}

int PrintDesk::paperMm() const
{
    return m_hall.printerSetup().paperMm;
}

void PrintDesk::print(const print::Receipt &receipt, Purpose purpose, const QString &title,
                      bool paid)
{
    print(receipt, purpose, title, paid, {});
}

void PrintDesk::print(const print::Receipt &receipt, Purpose purpose, const QString &title,
                      bool paid, std::function<void()> printedNote)
{
    const bool bill = purpose == Purpose::Bill || purpose == Purpose::CashBill;
    printWith(receipt, m_hall.printerSetup(), purpose, title,
              [this, bill, paid, title,
               printedNote = std::move(printedNote)](bool ok, const QString &message) {
                  if (ok) {
                      if (printedNote)
                          printedNote();
                      emit printed(message.isEmpty()
                                       ? QStringLiteral("%1 yazdırıldı.").arg(title)
                                       : QStringLiteral("%1 yazdırıldı: %2").arg(title, message));
                      return;
                  }
                  QString text = message;
                  // Nothing prints because the setup could not be read: that is the news.
                  if (m_hall.printerSetup().kind == print::PrinterSetup::Kind::None &&
                      !m_hall.printerProblem().isEmpty())
                      text = m_hall.printerProblem();
                  if (bill && paid)
                      text += QStringLiteral("\n\nHesap ödendi; fişi yeniden yazdırabilirsiniz.");
                  showProblem(text);
              });
}

void PrintDesk::printWith(const print::Receipt &receipt, const print::PrinterSetup &setup,
                          Purpose purpose, const QString &title,
                          std::function<void(bool, const QString &)> done)
{
    m_done.insert(m_printer.print(receipt, setup, purpose, title), std::move(done));
}

QString PrintDesk::billTitle(const ledger::BillRecord &bill)
{
    return bill.id > 0 ? QStringLiteral("Fiş %1 %2").arg(bill.id).arg(bill.tableName)
                       : QStringLiteral("Hesap %1").arg(bill.tableName);
}

void PrintDesk::printBill(const ledger::BillRecord &bill, Purpose purpose, bool paid)
{
    const bool copy = purpose == Purpose::Copy;
    QJsonObject detail{{"table", bill.tableName}, {"copy", copy}};
    if (bill.id > 0)
        detail.insert(QStringLiteral("bill"), bill.id);
    // The ledger says which bills a guest was handed, and how often.
    print(print::billReceipt(bill, heading(), copy), purpose, billTitle(bill), paid,
          [this, detail] {
              try {
                  // A print needs no approval: one standing for the bill window names no one.
                  const hall::Approval none(m_hall, QString());
                  m_hall.record(QStringLiteral("print"), detail);
              } catch (...) {
                  // A note only: what printed stays printed.
              }
          });
}

bool PrintDesk::previewAsked(const print::Receipt &receipt, const QString &title)
{
    if (!m_preview)
        m_preview = new PrintPreview(m_window);
    return m_preview->showReceipt(receipt, paperMm(), title);
}

void PrintDesk::preview(const print::Receipt &receipt, Purpose purpose, const QString &title)
{
    if (previewAsked(receipt, title))
        print(receipt, purpose, title);
}

void PrintDesk::previewBill(const ledger::BillRecord &bill, Purpose purpose)
{
    if (previewAsked(print::billReceipt(bill, heading(), purpose == Purpose::Copy),
                     billTitle(bill)))
        printBill(bill, purpose);
}

void PrintDesk::showProblem(const QString &text)
{
    // Above the window the operator works in (a message of its own, gone in a moment, aside);
    // never modal: the counter goes on while the message waits to be read.
    QWidget *parent = QApplication::activeModalWidget();
    if (!parent || qobject_cast<QMessageBox *>(parent))
        parent = m_window;
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Yazdırma"), text,
                                QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("PrintProblem"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}
