#include "historywindow.h"
#include "ui_historywindow.h"

#include "eventsmodel.h"

#include "applocale.h"
#include "eventtext.h"
#include "messages.h"
#include "placement.h"

#include <QHeaderView>
#include <QShortcut>
#include <QSignalBlocker>

#include <functional>

using namespace kv;

namespace {

const QString kAll = QStringLiteral("Tümü");

// The value chosen in a filter; empty for "Tümü".
QString chosen(const QComboBox *box)
{
    return box->currentData().toString();
}

// Fills a filter with "Tümü" and the day's values, keeping the one chosen where it is still
// among them.
void refill(QComboBox *box, const QStringList &values,
            const std::function<QString(const QString &)> &label)
{
    const QString was = chosen(box);
    box->clear();
    box->addItem(kAll, QString());
    for (const QString &value : values)
        box->addItem(label(value), value);
    box->setCurrentIndex(qMax(0, box->findData(was)));
}

} // namespace

HistoryWindow::HistoryWindow(QWidget *parent)
    : QDialog(parent), ui(new Ui::HistoryWindow), m_events(new EventsModel(this))
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    centreAtEveryShowing(this);
    ui->DayEdit->setLocale(appLocale());
    ui->EventsTable->setModel(m_events);
    ui->EventsTable->horizontalHeader()->setStretchLastSection(true);
    for (QComboBox *box : {ui->TableFilter, ui->KindFilter, ui->CashierFilter}) {
        box->addItem(kAll, QString());
        connect(box, &QComboBox::currentIndexChanged, this, [this] {
            if (!m_filling)
                applyFilter();
        });
    }

    const auto step = [this](int days) {
        return [this, days] { ui->DayEdit->setDate(ui->DayEdit->date().addDays(days)); };
    };
    connect(ui->PreviousDayButton, &QPushButton::clicked, this, step(-1));
    connect(ui->NextDayButton, &QPushButton::clicked, this, step(1));
    connect(new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Left), this), &QShortcut::activated, this,
            step(-1));
    connect(new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Right), this), &QShortcut::activated, this,
            step(1));
    connect(ui->CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->DayEdit, &QDateEdit::dateChanged, this,
            [this](const QDate &day) { guard([&] { showDay(day); }); });
}

HistoryWindow::~HistoryWindow()
{
    delete ui;
}

void HistoryWindow::openAt(const QDateTime &now)
{
    showDay(ledger::businessDay(now));
    exec();
}

void HistoryWindow::showDay(const QDate &day)
{
    if (ui->DayEdit->date() != day) {
        const QSignalBlocker quiet(ui->DayEdit); // read once, here
        ui->DayEdit->setDate(day);
    }
    const std::optional<EventsModel::Head> head = EventsModel::head(m_ledger);
    ui->HeadLabel->setText(
        head ? QStringLiteral("Son kayıt: %1 · %2").arg(head->id).arg(head->hash.left(12))
             : QStringLiteral("Son kayıt: yok"));
    try {
        m_events->setDay(m_ledger, day);
    } catch (...) {
        fillFilters();
        showCount();
        throw;
    }
    fillFilters();
    applyFilter();
}

void HistoryWindow::fillFilters()
{
    m_filling = true;
    refill(ui->TableFilter, m_events->tables(), [](const QString &t) { return t; });
    refill(ui->KindFilter, m_events->kinds(), ledger::eventKindText);
    refill(ui->CashierFilter, m_events->cashiers(), [](const QString &c) { return c; });
    m_filling = false;
}

void HistoryWindow::applyFilter()
{
    m_events->setFilter(
        {chosen(ui->TableFilter), chosen(ui->KindFilter), chosen(ui->CashierFilter)});
    // The first rows at once, so that the columns are sized by them.
    if (m_events->canFetchMore(QModelIndex()))
        m_events->fetchMore(QModelIndex());
    fitColumns();
    showCount();
}

void HistoryWindow::fitColumns()
{
    // By the rows fetched, the detail taking what is left.
    for (int column = 0; column < EventsModel::Detail; ++column)
        ui->EventsTable->resizeColumnToContents(column);
}

void HistoryWindow::showCount()
{
    const int all = m_events->dayCount();
    const int shown = m_events->matchCount();
    ui->CountLabel->setText(
        shown == all ? QStringLiteral("%1 kayıt").arg(shown)
                     : QStringLiteral("%1 kayıt (günün %2 kaydından)").arg(shown).arg(all));
}
