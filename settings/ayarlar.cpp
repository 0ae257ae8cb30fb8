#include "ayarlar.h"
#include "ui_ayarlar.h"

#include "listlines.h"

#include "applocale.h"
#include "cashierspage.h"
#include "hall.h"
#include "kindspage.h"
#include "layout.h"
#include "messages.h"
#include "names.h"
#include "placement.h"
#include "printerpage.h"
#include "tablespage.h"

#include <QAction>
#include <QEvent>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QStyle>

using namespace kv;

TForm3::TForm3(hall::Hall &hall, QWidget *parent)
    : QDialog(parent), ui(new Ui::TForm3), m_hall(hall)
{
    ui->setupUi(this);
    setFixedSize(size());
    centreAtEveryShowing(this);
    ui->ayar->loaded();
    m_tablesPage = new TablesPage(m_hall, ui->PageControl1);
    m_tablesPage->approve = [this](const QString &action) { return approval(action); };
    ui->PageControl1->addTab(m_tablesPage, QStringLiteral("Masalar"));
    m_kindsPage = new KindsPage(m_hall, ui->PageControl1);
    m_kindsPage->approve = [this](const QString &action) { return approval(action); };
    ui->PageControl1->addTab(m_kindsPage, QStringLiteral("Masa Türleri"));
    m_printerPage = new PrinterPage(m_hall, ui->PageControl1);
    m_printerPage->approve = [this](const QString &action) { return approval(action); };
    ui->PageControl1->addTab(m_printerPage, QStringLiteral("Yazıcı"));
    ui->Image1->setPixmap(style()->standardIcon(QStyle::SP_FileDialogDetailedView).pixmap(40));
    for (TumNumberEdit *price : {ui->birim, ui->enaz, ui->fiyati})
        price->setAmount(true);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Ekle1 = PopupMenu1->addAction(QStringLiteral("Ekle"));
    Ekle1->setObjectName(QStringLiteral("Ekle1"));
    PopupMenu1->addSeparator();
    ar1 = PopupMenu1->addAction(QStringLiteral("Çıkar"));
    ar1->setObjectName(QStringLiteral("ar1"));

    // Every handler runs inside the guard, so a runtime error ends in the error box.
    const auto on = [this](auto *sender, auto signal, void (TForm3::*handler)()) {
        connect(sender, signal, this, [this, handler] { guard([&] { (this->*handler)(); }); });
    };
    on(ui->SpeedButton1, &QPushButton::clicked, &TForm3::SpeedButton1Click);
    // A check box reacts to every change of its state, whoever makes it, and to nothing else.
    on(ui->CheckBox2, &QCheckBox::toggled, &TForm3::CheckBox2Click);
    on(ui->CheckBox3, &QCheckBox::toggled, &TForm3::CheckBox3Click);
    on(Ekle1, &QAction::triggered, &TForm3::Ekle1Click);
    on(ar1, &QAction::triggered, &TForm3::ar1Click);
    on(ui->enaz, &TumNumberEdit::OnChange, &TForm3::enazChange);
    on(ui->BitBtn1, &QPushButton::clicked, &TForm3::BitBtn1Click);
    on(this, &QDialog::finished, &TForm3::FormClose);
    on(ui->SpeedButton2, &QPushButton::clicked, &TForm3::SpeedButton2Click);
    on(ui->SpeedButton6, &QPushButton::clicked, &TForm3::SpeedButton6Click);
    on(ui->SpeedButton3, &QPushButton::clicked, &TForm3::SpeedButton3Click);
    on(ui->SpeedButton4, &QPushButton::clicked, &TForm3::SpeedButton4Click);
    on(ui->SpeedButton5, &QPushButton::clicked, &TForm3::SpeedButton5Click);

    connect(ui->ListBox2, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        PopupMenu1->popup(ui->ListBox2->viewport()->mapToGlobal(pos));
    });

    // Selecting an extra by mouse or keyboard loads it; so does a click on the selected one.
    // Selection, not the current row: focus alone makes a row current.
    // A click that changed the selection has loaded the extra already: once per click.
    connect(ui->ListBox4, &QListWidget::itemSelectionChanged, this, [this] {
        m_selectionChangedByClick = true;
        if (!m_fillingExtras && chosenRow(ui->ListBox4) >= 0)
            guard([this] { ListBox4Click(); });
    });
    connect(ui->ListBox4, &QListWidget::itemClicked, this, [this] {
        if (!m_selectionChangedByClick && chosenRow(ui->ListBox4) >= 0)
            guard([this] { ListBox4Click(); });
    });
    ui->ListBox4->viewport()->installEventFilter(this);
    ui->Label12->installEventFilter(this);
    ui->Label11->installEventFilter(this);
}

TForm3::~TForm3()
{
    delete ui;
}

void TForm3::setCashiers(kv::ledger::Cashiers *cashiers)
{
    if (m_cashiersPage)
        return;
    m_cashiersPage = new CashiersPage(cashiers, ui->PageControl1);
    m_cashiersPage->approve = [this](const QString &action) { return approval(action); };
    ui->PageControl1->addTab(m_cashiersPage, QStringLiteral("Kasiyerler"));
}

QListWidget *TForm3::feeList() const
{
    return ui->ListBox2;
}

const RecordList &TForm3::settings() const
{
    return m_hall.settings();
}

bool TForm3::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress && watched == ui->ListBox4->viewport())
        m_selectionChangedByClick = false;
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == ui->Label12) {
            guard([this] { Label12Click(); });
            return true;
        }
        if (watched == ui->Label11) {
            guard([this] { Label11Click(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TForm3::openFromMainMenu()
{
    bool filled = false;
    guard([&] {
        fill();
        filled = true;
    });
    if (filled)
        exec();
}

namespace {
// A stored amount or count for a number box: a line that is missing or not a number in the
// box's range shows an empty box, so that any file can be opened and repaired here.
void showNumber(TumNumberEdit *box, const QString &line)
{
    box->setText(QString());
    bool digits = !line.isEmpty();
    for (const QChar c : line)
        digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    if (digits)
        box->setText(line); // the box itself refuses what is out of its range
}
} // namespace

void TForm3::fill()
{
    m_kindsPage->reload(); // edits left unsaved when the window was closed are gone
    m_printerPage->reload();
    const RecordList &s = settings();
    showNumber(ui->birim, s.value(SettingsLine::UnitFee));
    ui->Edit1->setText(s.value(SettingsLine::TablePrefix));

    ui->CheckBox1->setChecked(isOn(s.value(SettingsLine::EndTimeFollowsClock)));

    if (isOn(s.value(SettingsLine::MinimumChargeOn))) {
        ui->CheckBox2->setChecked(true);
        showNumber(ui->enaz, s.value(SettingsLine::MinimumCharge));
        ui->enaz->setEnabled(true);
    } else {
        ui->CheckBox2->setChecked(false);
        ui->enaz->setEnabled(false);
    }

    if (isOn(s.value(SettingsLine::MultipleFees))) {
        ui->CheckBox3->setChecked(true);
        if (m_hall.feeListExists())
            guard([this] { loadFeeList(); });
        ui->ListBox2->setEnabled(true);
    } else {
        ui->CheckBox3->setChecked(false);
        ui->ListBox2->setEnabled(false);
    }

    showNumber(ui->masasayisi, m_hall.registerLines().value(RegisterLine::TableCount));

    // A catalogue that failed to load is read once more, and stays unsaveable while its file
    // cannot be read.
    if (!m_hall.catalogue().known())
        guard([this] { m_hall.reloadCatalogue(); });
    ListBox1 = m_hall.catalogue();
    showCatalogueNames();

    ui->Edit2->setText(QStringLiteral("--"));
    ui->fiyati->setText(QStringLiteral("0"));
    ui->PageControl1->setCurrentIndex(0);
}

void TForm3::showCatalogueNames()
{
    // The names are every even line, a trailing name without a price included.
    m_fillingExtras = true;
    ui->ListBox4->clear();
    for (int i = 0; i < ListBox1.count(); i += 2)
        ui->ListBox4->addItem(ListBox1.at(i));
    m_fillingExtras = false;
}

std::optional<kv::hall::Approval> TForm3::approval(const QString &action)
{
    return approve ? approve(action) : m_hall.noneAsked();
}

void TForm3::saveCatalogue(const RecordList &next)
{
    // The names show what the file holds, after a failure too.
    const auto shown = qScopeGuard([this] {
        ListBox1 = m_hall.catalogue();
        showCatalogueNames();
    });
    const auto approved = approval(QStringLiteral("catalogue"));
    if (!approved)
        return;
    m_hall.saveCatalogue(next);
}

void TForm3::loadFeeList()
{
    const QStringList fees = m_hall.feeList();
    ui->ListBox2->clear();
    ui->ListBox2->addItems(fees);
}

void TForm3::CheckBox2Click()
{
    if (ui->CheckBox2->isChecked()) {
        ui->enaz->setEnabled(true);
        showNumber(ui->enaz, settings().value(SettingsLine::MinimumCharge));
    } else {
        ui->enaz->setEnabled(false);
        ui->enaz->setText(QStringLiteral("0"));
    }
}

void TForm3::Label12Click()
{
    ui->CheckBox2->setChecked(!ui->CheckBox2->isChecked());
    CheckBox2Click();
}

void TForm3::Label11Click()
{
    ui->CheckBox1->setChecked(!ui->CheckBox1->isChecked());
}

void TForm3::enazChange()
{
    // Nothing to compare yet; "Kaydet" refuses empty boxes.
    if (ui->enaz->text().isEmpty() || ui->birim->text().isEmpty())
        return;
    const int minimum = strToInt(ui->enaz->text());
    const int unitFee = strToInt(ui->birim->text());
    if (minimum > unitFee) {
        messages::inform(QStringLiteral("Girilen alt limit Birim ücretten daha büyük olamaz!"));
        // Never above the unit fee, or every short game would cost more than an hour. The
        // new text is a change of its own, so the guard runs once more on it.
        ui->enaz->setText(QString::number(qMin(250000, unitFee)));
    }
}

void TForm3::CheckBox3Click()
{
    if (ui->CheckBox3->isChecked()) {
        ui->ListBox2->setEnabled(true);
        if (m_hall.feeListExists())
            loadFeeList();
    } else {
        ui->ListBox2->setEnabled(false);
        ui->ListBox2->clear();
    }
}

void TForm3::Ekle1Click()
{
    if (m_feeEntry)
        m_feeEntry->exec();
}

void TForm3::ar1Click()
{
    const int row = chosenRow(ui->ListBox2);
    if (row < 0)
        messages::inform(QStringLiteral("Çıkarılacak Ücreti seçin!"));
    else
        delete ui->ListBox2->takeItem(row);
    // Qt would select the next fee; a second press must ask again, not remove it too.
    ui->ListBox2->setCurrentRow(-1);
    if (ui->ListBox2->count() == 0)
        ui->CheckBox3->setChecked(false);
}

void TForm3::SpeedButton1Click()
{
    // Checked first: a refused save changes nothing, in memory or on disk.
    if (ui->birim->text().isEmpty()) {
        messages::inform(QStringLiteral("Birim ücreti girin!"));
        return;
    }
    if (ui->CheckBox2->isChecked() && ui->enaz->text().isEmpty()) {
        messages::inform(QStringLiteral("En az ücreti girin!"));
        return;
    }
    if (!ui->birim->amountConfirmed() ||
        (ui->CheckBox2->isChecked() && !ui->enaz->amountConfirmed()))
        return;

    RecordList s = settings();
    s.padFrom(defaultSettings());
    s.set(SettingsLine::UnitFee, ui->birim->text());
    s.set(SettingsLine::EndTimeFollowsClock, flagText(ui->CheckBox1->isChecked()));

    // The stored minimum charge is kept while the minimum charge is off.
    s.set(SettingsLine::MinimumChargeOn, flagText(ui->CheckBox2->isChecked()));
    if (ui->CheckBox2->isChecked())
        s.set(SettingsLine::MinimumCharge, ui->enaz->text());

    if (ui->ListBox2->count() == 0)
        ui->CheckBox3->setChecked(false);

    const bool multiple = ui->CheckBox3->isChecked();
    s.set(SettingsLine::MultipleFees, flagText(multiple));
    std::optional<QStringList> fees;
    if (multiple) {
        fees.emplace();
        for (int i = 0; i < ui->ListBox2->count(); ++i)
            *fees << ui->ListBox2->item(i)->text();
    }
    if (!multiple)
        strToInt(s.at(SettingsLine::UnitFee)); // a fee that is no number is not saved
    const auto approved = approval(QStringLiteral("settings"));
    if (!approved)
        return;
    m_hall.saveSettings(s, fees);
    messages::inform(QStringLiteral("Ayarlarınız Kaydedilmiştir!"));
}

void TForm3::BitBtn1Click()
{
    reject();
}

void TForm3::FormClose()
{
    m_hall.reloadCatalogue();
}

void TForm3::SpeedButton2Click()
{
    // Everything that can fail is checked before anything changes.
    const QString countText = ui->masasayisi->text();
    strToInt(countText);
    const QString prefix = ui->Edit1->text();
    if (const QString problem = names::problem(prefix, names::NameUse::TablePrefix);
        !problem.isEmpty()) {
        messages::inform(problem);
        return;
    }
    if (!messages::ask(
            QStringLiteral("Tüm masa extraları silinecek. Masalar yeniden oluşturulsun mu?")))
        return;
    if (!createTables || !createTables(countText, prefix))
        return;
    messages::inform(QStringLiteral("Masalar Oluşturuldu!"));
}

void TForm3::SpeedButton6Click()
{
    if (!messages::ask(QStringLiteral(
            "Tüm masaların saat, tarih ve ücret kayıtları silinecek. Devam edilsin mi?")))
        return;
    // The time of the accounts emptied reaches the ledger in the same step.
    if (!wipeAccounts || !wipeAccounts())
        return;
    messages::inform(QStringLiteral("Masalara ait saat tarih ve ücret kayıtları sıfırlandı!"));
}

int TForm3::selectedExtra() const
{
    return chosenRow(ui->ListBox4);
}

bool TForm3::extraGiven()
{
    // A name the files cannot hold as typed would be stored changed.
    if (const QString problem = names::problem(ui->Edit2->text(), names::NameUse::Extra);
        !problem.isEmpty()) {
        messages::inform(problem);
        return false;
    }
    // An extra without a price would make every table it is booked to unbillable.
    if (ui->fiyati->text().isEmpty()) {
        messages::inform(QStringLiteral("Extranın ücretini girin!"));
        return false;
    }
    return ui->fiyati->amountConfirmed();
}

void TForm3::SpeedButton3Click()
{
    if (!extraGiven())
        return;
    RecordList next = ListBox1;
    next.append(ui->Edit2->text());
    next.append(ui->fiyati->text());
    saveCatalogue(next);
    ui->Edit2->setText(QStringLiteral("--"));
    ui->fiyati->setText(QStringLiteral("0"));
}

void TForm3::ListBox4Click()
{
    const int k = ui->ListBox4->currentRow();
    if (k < 0)
        return;
    ui->Edit2->setText(ui->ListBox4->item(k)->text());
    ui->fiyati->setText(ListBox1.at(PairLine::price(k)));
}

void TForm3::SpeedButton4Click()
{
    const int k = selectedExtra();
    if (k < 0) {
        messages::inform(QStringLiteral("İşlem Yapılacak Extra Seçin!"));
        return;
    }
    if (!extraGiven())
        return;
    RecordList next = ListBox1;
    next.set(PairLine::name(k), ui->Edit2->text());
    next.set(PairLine::price(k), ui->fiyati->text());
    saveCatalogue(next);
    // The extra keeps its place and stays selected.
    m_fillingExtras = true;
    ui->ListBox4->setCurrentRow(k);
    m_fillingExtras = false;
}

void TForm3::SpeedButton5Click()
{
    const int k = selectedExtra();
    if (k < 0) {
        messages::inform(QStringLiteral("İşlem Yapılacak Extra Seçin!"));
        return;
    }
    RecordList next = ListBox1;
    next.removeAt(PairLine::price(k));
    next.removeAt(PairLine::name(k));
    saveCatalogue(next);
    ui->ListBox4->setCurrentRow(-1);
    ui->Edit2->setText(QStringLiteral("--"));
    ui->fiyati->setText(QStringLiteral("0"));
}
