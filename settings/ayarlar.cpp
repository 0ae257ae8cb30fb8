#include "ayarlar.h"
#include "ui_ayarlar.h"

#include "listlines.h"

#include "applocale.h"
#include "layout.h"
#include "mainlink.h"
#include "messages.h"

#include <QAction>
#include <QEvent>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>

using namespace kv;

TForm3::TForm3(TMainLink *main, QWidget *parent) : QDialog(parent), ui(new Ui::TForm3), m_main(main)
{
    ui->setupUi(this);
    setFixedSize(size());
    ui->ayar->loaded();
    ui->Image1->setPixmap(style()->standardIcon(QStyle::SP_FileDialogDetailedView).pixmap(40));

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
    connect(ui->ListBox4, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_fillingExtras && chosenRow(ui->ListBox4) >= 0)
            guard([this] { ListBox4Click(); });
    });
    connect(ui->ListBox4, &QListWidget::itemClicked, this, [this] {
        if (ui->ListBox4->currentRow() == m_extraRowAtPress)
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

QListWidget *TForm3::feeList() const
{
    return ui->ListBox2;
}

RecordList &TForm3::settings()
{
    return m_main->settingsList();
}

bool TForm3::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress && watched == ui->ListBox4->viewport())
        m_extraRowAtPress = ui->ListBox4->currentRow();
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

void TForm3::fill()
{
    RecordList &s = settings();
    ui->birim->setText(s.at(SettingsLine::UnitFee));
    ui->Edit1->setText(s.at(SettingsLine::TablePrefix));

    if (isOn(s.at(SettingsLine::EndTimeFollowsClock))) {
        ui->CheckBox1->setChecked(true);
        m_main->setEndTimeEnabled(false);
    } else {
        ui->CheckBox1->setChecked(false);
        m_main->setEndTimeEnabled(true);
    }

    if (isOn(s.at(SettingsLine::MinimumChargeOn))) {
        ui->CheckBox2->setChecked(true);
        ui->enaz->setText(s.at(SettingsLine::MinimumCharge));
        ui->enaz->setEnabled(true);
    } else {
        ui->CheckBox2->setChecked(false);
        ui->enaz->setEnabled(false);
    }

    if (isOn(s.at(SettingsLine::MultipleFees))) {
        ui->CheckBox3->setChecked(true);
        if (files::exists(m_main->paths().feeListFile()))
            loadFeeList();
        ui->ListBox2->setEnabled(true);
    } else {
        ui->CheckBox3->setChecked(false);
        ui->ListBox2->setEnabled(false);
    }

    ui->masasayisi->setText(m_main->registerList().at(RegisterLine::TableCount));

    // The names are every even line, a trailing name without a price included.
    const RecordList &catalogue = m_main->catalogueList();
    m_fillingExtras = true;
    ui->ListBox4->clear();
    for (int i = 0; i < catalogue.count(); i += 2)
        ui->ListBox4->addItem(catalogue.at(i));
    m_fillingExtras = false;
    ListBox1 = catalogue;

    ui->Edit2->setText(QStringLiteral("--"));
    ui->fiyati->setText(QStringLiteral("0"));
    ui->PageControl1->setCurrentIndex(0);
}

void TForm3::loadFeeList()
{
    RecordList fees;
    fees.load(m_main->paths().feeListFile());
    ui->ListBox2->clear();
    ui->ListBox2->addItems(fees.lines());
}

void TForm3::CheckBox2Click()
{
    if (ui->CheckBox2->isChecked()) {
        ui->enaz->setEnabled(true);
        ui->enaz->setText(settings().at(SettingsLine::MinimumCharge));
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
    const int minimum = strToInt(ui->enaz->text());
    const int unitFee = strToInt(ui->birim->text());
    if (minimum > unitFee) {
        messages::inform(QStringLiteral("Girilen alt limit Birim ücretten daha büyük olamaz!"));
        // A new text is a change of its own, so the guard runs once more on it.
        ui->enaz->setText(QStringLiteral("250000"));
    }
}

void TForm3::CheckBox3Click()
{
    if (ui->CheckBox3->isChecked()) {
        ui->ListBox2->setEnabled(true);
        if (files::exists(m_main->paths().feeListFile()))
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
    RecordList &s = settings();
    s.set(SettingsLine::UnitFee, ui->birim->text());

    if (ui->CheckBox1->isChecked()) {
        s.set(SettingsLine::EndTimeFollowsClock, flagText(true));
        m_main->setEndTimeEnabled(false);
    } else {
        s.set(SettingsLine::EndTimeFollowsClock, flagText(false));
        m_main->setEndTimeEnabled(true);
    }

    // The stored minimum charge is kept while the minimum charge is off.
    if (ui->CheckBox2->isChecked()) {
        s.set(SettingsLine::MinimumChargeOn, flagText(true));
        s.set(SettingsLine::MinimumCharge, ui->enaz->text());
    } else {
        s.set(SettingsLine::MinimumChargeOn, flagText(false));
    }

    if (ui->ListBox2->count() == 0)
        ui->CheckBox3->setChecked(false);

    if (ui->CheckBox3->isChecked()) {
        s.set(SettingsLine::MultipleFees, flagText(true));
        QStringList fees;
        for (int i = 0; i < ui->ListBox2->count(); ++i)
            fees << ui->ListBox2->item(i)->text();
        RecordList(fees).save(m_main->paths().feeListFile());
        m_main->setUnitFeeCaption(multipleFeesCaption());
    } else {
        s.set(SettingsLine::MultipleFees, flagText(false));
        m_main->setUnitFeeCaption(unitFeeCaption(strToInt(s.at(SettingsLine::UnitFee))));
    }

    s.save(m_main->paths().settingsFile());
    messages::inform(QStringLiteral("Ayarlarınız Kaydedilmiştir!"));
}

void TForm3::BitBtn1Click()
{
    reject();
}

void TForm3::FormClose()
{
    m_main->reloadCatalogue();
}

void TForm3::SpeedButton2Click()
{
    const Paths &paths = m_main->paths();
    // Everything that can fail is checked before anything changes.
    const QString countText = ui->masasayisi->text();
    const int count = strToInt(countText);
    const QString prefix = ui->Edit1->text();
    if (!isValidTableNamePrefix(prefix)) {
        messages::inform(
            QStringLiteral("Masa adı dosya adında kullanılamayan karakterler içeremez!"));
        return;
    }
    if (!messages::ask(
            QStringLiteral("Tüm masa extraları silinecek. Masalar yeniden oluşturulsun mu?")))
        return;

    QListWidget *tables = m_main->tableList();
    tables->clear();
    const QStringList extrasFiles = files::list(paths.extrasDir());
    for (int k = 1; k <= count; ++k)
        tables->addItem(prefix + QLatin1Char(' ') + QString::number(k));

    // Only the count changes: the accounts stay with the positions of the tables.
    RecordList &reg = m_main->registerList();
    reg.set(RegisterLine::TableCount, countText);
    reg.save(paths.registerFile());

    RecordList &s = settings();
    s.set(SettingsLine::TablePrefix, prefix);
    s.save(paths.settingsFile());

    for (const QString &name : extrasFiles)
        files::remove(paths.extrasDir() + QLatin1Char('/') + name);

    m_main->resetTableView();
    messages::inform(QStringLiteral("Masalar Oluşturuldu!"));
}

void TForm3::SpeedButton6Click()
{
    if (!messages::ask(QStringLiteral(
            "Tüm masaların saat, tarih ve ücret kayıtları silinecek. Devam edilsin mi?")))
        return;
    RecordList &reg = m_main->registerList();
    for (int i = RegisterLine::TableCount + 1; i < reg.count(); ++i)
        reg.set(i, QString());
    reg.save(m_main->paths().registerFile());
    m_main->resetTableView();
    messages::inform(QStringLiteral("Masalara ait saat tarih ve ücret kayıtları sıfırlandı!"));
}

int TForm3::selectedExtra() const
{
    return chosenRow(ui->ListBox4);
}

void TForm3::SpeedButton3Click()
{
    ListBox1.append(ui->Edit2->text());
    ListBox1.append(ui->fiyati->text());
    m_fillingExtras = true;
    ui->ListBox4->addItem(ui->Edit2->text());
    m_fillingExtras = false;
    ListBox1.save(m_main->paths().catalogueFile());
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
    ListBox1.set(PairLine::name(k), ui->Edit2->text());
    ListBox1.set(PairLine::price(k), ui->fiyati->text());
    ui->ListBox4->item(k)->setText(ui->Edit2->text());
    ListBox1.save(m_main->paths().catalogueFile());
}

void TForm3::SpeedButton5Click()
{
    const int k = selectedExtra();
    if (k < 0) {
        messages::inform(QStringLiteral("İşlem Yapılacak Extra Seçin!"));
        return;
    }
    ListBox1.removeAt(PairLine::price(k));
    ListBox1.removeAt(PairLine::name(k));
    m_fillingExtras = true;
    delete ui->ListBox4->takeItem(k);
    ui->ListBox4->setCurrentRow(-1);
    m_fillingExtras = false;
    ListBox1.save(m_main->paths().catalogueFile());
    ui->Edit2->setText(QStringLiteral("--"));
    ui->fiyati->setText(QStringLiteral("0"));
}
