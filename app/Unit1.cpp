#include "Unit1.h"
#include "preload.h"
#include "timecorrection.h"
#include "ui_Unit1.h"
#include "ui_feepanel.h"

#include "antTaskbarIcon.h"
#include "applocale.h"
#include "brand.h"
#include "cashdesk.h"
#include "clock.h"
#include "clocktext.h"
#include "errors.h"
#include "exstra.h"
#include "feecaption.h"
#include "fsys.h"
#include "leftovers.h"
#include "listlines.h"
#include "mainlook.h"
#include "menuicons.h"
#include "messages.h"
#include "pindialog.h"
#include "placement.h"
#include "printdesk.h"
#include "rowdelegate.h"
#include "trayservice.h"
#include "ucretsecimi.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScopeGuard>
#include <QStatusBar>
#include <QStyle>

#include <functional>

using namespace kv;

const QString TForm1::kPlaceholder = QStringLiteral("Eklemek İçin Çift Tıklayın");

namespace {
const QString kSelectTable = QStringLiteral("İşlem Yapacağınız Masayı Seçin!");
const QString kTimeOrder = QStringLiteral("Girmiş olduğunuz saat dilimlerini kontrol edin!");
constexpr qint64 kRecentBookingMs = 5 * 60 * 1000;

// A price line as an amount beside its name; a line that is no number stands as it is.
QString priceText(const QString &line)
{
    int price = 0;
    return tryStrToInt(line, &price) ? counter::amountText(price) : line;
}
} // namespace

namespace {
const QString kBanner = QStringLiteral(":/banner1.jpg");
const QString kExtrasMark16 = QStringLiteral(":/extras-16.png");
const QString kExtrasMark32 = QStringLiteral(":/extras-32.png");
} // namespace

TForm1::TForm1(hall::Hall &hall, Preload *preload, QWidget *parent)
    : QMainWindow(parent), ui(new Ui::TForm1), Timer1(new QTimer(this)), Timer2(new QTimer(this)),
      Timer3(new QTimer(this)), m_hall(hall), m_preload(preload)
{
    // Before the form: set later, the flags would reparent every control once more.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    ui->setupUi(this);
    applyMainLook(this, ui);
    setWindowTitle(brand::mainCaption());
    setWindowIcon(brand::programIcon());
    ui->Label16->setText(brand::maker());
    setupStatusBar();
    setFixedSize(size());
    fitToScreen(this);
    ui->ListBox4->addItem(kPlaceholder);
    // The floor: each table's state mark, running time and bill beside its name; the name
    // gives way in the middle, so its number stays readable.
    auto *tableRows = new TRowDelegate(ui->ListBox2);
    tableRows->setMarkColumn(true);
    tableRows->setColumnSamples(QStringLiteral("88:88"), formatAmount(99999999));
    ui->ListBox2->setItemDelegate(tableRows);
    auto *extraRows = new TRowDelegate(ui->ListBox4);
    extraRows->setColumnSamples(QString(), formatAmount(999999));
    ui->ListBox4->setItemDelegate(extraRows);
    setupMenus();
    setupKeys();
    setupPictures();
    connectHandlers();
    startTimers();

    connect(&m_hall, &hall::Hall::tableChanged, this, [this](int table) { tableChanged(table); });
    connect(&m_hall, &hall::Hall::tablesChanged, this, [this] { listTables(); });
    connect(&m_hall, &hall::Hall::accountsCleared, this, [this] { resetTableView(); });
    connect(&m_hall, &hall::Hall::settingsChanged, this, [this] { showSettings(); });
}

TForm1::~TForm1()
{
    delete m_feePanel;
    delete ui;
}

Ui::FeePanel *TForm1::feePanel()
{
    if (m_feePanel)
        return m_feePanel;
    auto *panel = new QWidget(ui->centralwidget);
    m_feePanel = new Ui::FeePanel;
    m_feePanel->setupUi(panel);
    panel->setGeometry(680, 346, 360, 44);
    panel->hide();
    m_feePanel->bitis->setEnabled(m_endTimeEnabled);
    connect(m_feePanel->SpeedButton2, &QPushButton::clicked, this,
            [this] { guard([this] { SpeedButton2Click(); }); });
    m_feePanel->basla->installEventFilter(this);
    m_feePanel->bitis->installEventFilter(this);
    return m_feePanel;
}

void TForm1::setupMenus()
{
    m_exitSeparator = ui->Ayarlar1->addSeparator();
    m_exitAction = ui->Ayarlar1->addAction(QStringLiteral("Çıkış"));
    m_exitAction->setObjectName(QStringLiteral("k2"));
    setIconsAtFirstShowing(ui->Ayarlar1, {{ui->Seenekler1, QStyle::SP_FileDialogDetailedView},
                                          {m_exitAction, QStyle::SP_DialogCloseButton}});
    setIconsAtFirstShowing(ui->Hakknda2,
                           {{ui->ProgramHakknda1, QStyle::SP_MessageBoxInformation},
                            {ui->lerikiSrmdeolacaklar1, QStyle::SP_FileDialogInfoView}});
    setTrayAvailable(false);
    connect(ui->Ayarlar1, &QMenu::aboutToShow, this, [this] { updateExitRoute(); });

    // The notification-area icon's menu.
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QAction *hakkinda = PopupMenu1->addAction(QStringLiteral("Hakkında"));
    hakkinda->setObjectName(QStringLiteral("Hakknda1"));
    PopupMenu1->addSeparator();
    QAction *exit = PopupMenu1->addAction(QStringLiteral("Çıkış"));
    exit->setObjectName(QStringLiteral("k1"));
    setIconsAtFirstShowing(PopupMenu1, {{hakkinda, QStyle::SP_MessageBoxInformation},
                                        {exit, QStyle::SP_DialogCloseButton}});
    connect(hakkinda, &QAction::triggered, this, [this] { guard([this] { Hakknda1Click(); }); });
    connect(exit, &QAction::triggered, this, [this] { guard([this] { k1Click(); }); });
}

void TForm1::setupKeys()
{
    // The evening without the mouse; each key is named in its control's tooltip or menu.
    const auto key = [this](const QKeySequence &sequence, void (TForm1::*handler)()) {
        auto *action = new QAction(this);
        action->setShortcut(sequence);
        connect(action, &QAction::triggered, this,
                [this, handler] { guard([&] { (this->*handler)(); }); });
        addAction(action);
    };
    key(Qt::Key_F5, &TForm1::SpeedButton3Click);
    key(Qt::Key_F2, &TForm1::ListBox4DblClick);
    key(Qt::Key_F4, &TForm1::Label27DblClick);
}

QStringList TForm1::firstPaintPictures()
{
    return {kExtrasMark16, kExtrasMark32, kBanner};
}

QPixmap TForm1::preloadedPicture(const QString &resource)
{
    const QImage image = m_preload ? m_preload->takePicture(resource) : QImage();
    return image.isNull() ? QPixmap(resource) : QPixmap::fromImage(image);
}

void TForm1::setupPictures()
{
    // Taken once the controls are made: the reading beside them has normally ended by then.
    // Both sizes of the mark, so that a screen of twice the pixels shows the large one.
    QIcon mark;
    for (const QString &image : {kExtrasMark16, kExtrasMark32})
        mark.addPixmap(preloadedPicture(image));
    ui->Image1->setPixmap(mark.pixmap(QSize(16, 16)));
    ui->Image3->setPixmap(preloadedPicture(kBanner));
    ui->Image3->setToolTip(brand::webAddress());
    ui->Image4->setToolTip(brand::webAddress());
}

void TForm1::setupStatusBar()
{
    StatusPanel0 = new QLabel(QStringLiteral("  ") + brand::author() + QStringLiteral("  "), this);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFrameShape(QFrame::StyledPanel);
    StatusPanel1 = new QLabel(this);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setFrameShape(QFrame::StyledPanel);
    // On a narrow screen the uptime gives way, so that the cashier and the ledger's word stay.
    StatusPanel1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    StatusLedger = new QLabel(this);
    StatusLedger->setObjectName(QStringLiteral("StatusLedger"));
    StatusLedger->setFrameShape(QFrame::StyledPanel);
    StatusLedger->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    StatusLedger->hide();
    StatusCashier = new QLabel(this);
    StatusCashier->setObjectName(QStringLiteral("StatusCashier"));
    StatusCashier->setFrameShape(QFrame::StyledPanel);
    StatusCashier->hide();
    StatusShift = new QLabel(this);
    StatusShift->setObjectName(QStringLiteral("StatusShift"));
    StatusShift->setFrameShape(QFrame::StyledPanel);
    StatusShift->hide();
    StatusChain = new QPushButton(QStringLiteral("Defter bozulmuş!"), this);
    StatusChain->setObjectName(QStringLiteral("StatusChain"));
    StatusChain->setFlat(true);
    StatusChain->setFocusPolicy(Qt::NoFocus);
    StatusChain->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    StatusChain->hide();
    ui->StatusBar1->addWidget(StatusPanel0);
    ui->StatusBar1->addWidget(StatusPanel1, 1);
    ui->StatusBar1->addWidget(StatusChain);
    ui->StatusBar1->addWidget(StatusLedger);
    ui->StatusBar1->addWidget(StatusCashier);
    ui->StatusBar1->addWidget(StatusShift);
    ui->StatusBar1->setSizeGripEnabled(false);
}

void TForm1::setCashDesk(CashDesk *cash)
{
    m_cash = cash;
    connect(cash->printDesk(), &PrintDesk::printed, this,
            [this](const QString &text) { ui->StatusBar1->showMessage(text, 10000); });
    cash->selectedTable = [this] { return selectedTable(); };
    connect(cash, &CashDesk::accountShown, this, [this](int table) { accountChanged(table); });
    connect(cash, &CashDesk::tableChosen, this, [this](int table) { selectTable(table); });
    connect(cash, &CashDesk::ledgerStatus, this,
            [this](const QString &text) { showLedgerStatus(text); });
    connect(cash, &CashDesk::chainWarning, this, [this](const QString &text) {
        StatusChain->setToolTip(text + QStringLiteral("\nUyarıyı kaldırmak için tıklayın."));
        StatusChain->setVisible(!text.isEmpty());
    });
    connect(StatusChain, &QPushButton::clicked, this,
            [this] { guard([this] { m_cash->acknowledgeChain(); }); });
    connect(cash, &CashDesk::cashierShown, this, [this](const QString &text) {
        StatusCashier->setText(text);
        StatusCashier->setVisible(!text.isEmpty());
    });
    connect(cash, &CashDesk::shiftShown, this, [this](const QString &text) {
        StatusShift->setText(text);
        StatusShift->setVisible(!text.isEmpty());
    });
}

void TForm1::showLedgerStatus(const QString &text)
{
    StatusLedger->setText(text);
    StatusLedger->setToolTip(text);
    StatusLedger->setVisible(!text.isEmpty());
}

void TForm1::setTrayService(TrayService *service)
{
    m_tray = service;
    a1 = new TantTaskbarIcon(service, this);
    a1->setObjectName(QStringLiteral("a1"));
    a1->setIcon(brand::programIcon());
    a1->setHint(brand::trayHint());
    a1->setPopupMenu(PopupMenu1);
    connect(a1, &TantTaskbarIcon::OnDblClick, this, [this] { guard([this] { a1DblClick(); }); });
}

void TForm1::attachTray(TrayService *service)
{
    setTrayService(service);
    setTrayAvailable(service->isAvailable());
    showIcon();
}

void TForm1::connectHandlers()
{
    auto on = [this](auto handler) {
        return [this, handler] { guard([&] { (this->*handler)(); }); };
    };

    connect(ui->SpeedButton1, &QPushButton::clicked, this, on(&TForm1::SpeedButton1Click));
    connect(ui->SpeedButton3, &QPushButton::clicked, this, on(&TForm1::SpeedButton3Click));
    connect(ui->Seenekler1, &QAction::triggered, this, on(&TForm1::Seenekler1Click));
    connect(ui->ProgramHakknda1, &QAction::triggered, this, on(&TForm1::ProgramHakknda1Click));
    connect(ui->lerikiSrmdeolacaklar1, &QAction::triggered, this,
            on(&TForm1::lerikiSrmdeolacaklar1Click));
    connect(m_exitAction, &QAction::triggered, this, on(&TForm1::k1Click));
    const auto cash = [this](void (CashDesk::*handler)()) {
        return [this, handler] {
            if (CashDesk *desk = m_cash)
                guard([desk, handler] { std::invoke(handler, desk); });
        };
    };
    connect(ui->Durdur, &QPushButton::clicked, this, on(&TForm1::DurdurClick));
    connect(ui->Durdur1, &QAction::triggered, this, on(&TForm1::DurdurClick));
    connect(ui->SureDuzelt1, &QAction::triggered, this, on(&TForm1::SureDuzeltClick));
    connect(ui->HesabiKapat, &QPushButton::clicked, this, cash(&CashDesk::HesabiKapatClick));
    connect(ui->HesabiKapat1, &QAction::triggered, this, cash(&CashDesk::HesabiKapatClick));
    connect(ui->MasayiTasi1, &QAction::triggered, this, cash(&CashDesk::MasayiTasiClick));
    connect(ui->GunSonu1, &QAction::triggered, this, cash(&CashDesk::GunSonuClick));
    connect(ui->IslemGecmisi1, &QAction::triggered, this, cash(&CashDesk::IslemGecmisiClick));
    connect(ui->Veresiye1, &QAction::triggered, this, cash(&CashDesk::VeresiyeClick));
    connect(ui->VardiyaAc1, &QAction::triggered, this, cash(&CashDesk::VardiyaAcClick));
    connect(ui->KasadanCikis1, &QAction::triggered, this, cash(&CashDesk::KasadanCikisClick));
    connect(ui->VardiyaKapat1, &QAction::triggered, this, cash(&CashDesk::VardiyaKapatClick));
    connect(ui->VardiyaRaporu1, &QAction::triggered, this, cash(&CashDesk::VardiyaRaporuClick));
    connect(ui->DefteriDogrula1, &QAction::triggered, this, cash(&CashDesk::DefteriDogrulaClick));
    connect(ui->KasiyerDegistir1, &QAction::triggered, this, cash(&CashDesk::KasiyerDegistirClick));
    connect(Timer1, &QTimer::timeout, this, on(&TForm1::Timer1Timer));
    connect(Timer2, &QTimer::timeout, this, on(&TForm1::Timer2Timer));
    connect(Timer3, &QTimer::timeout, this, on(&TForm1::Timer3Timer));

    // A click on a line shows it; so does a line chosen with the keyboard (eventFilter).
    connect(ui->ListBox2, &QListWidget::itemClicked, this, [this] {
        if (!std::exchange(m_dropClickOnTables, false))
            guard([this] { ListBox2Click(); });
    });
    connect(ui->ListBox4, &QListWidget::itemClicked, this, [this] {
        if (!std::exchange(m_dropClickOnExtras, false))
            guard([this] { ListBox4Click(); });
    });

    // PopupMenu2 of the visible extras list.
    auto *popup = new QMenu(this);
    popup->setObjectName(QStringLiteral("PopupMenu2"));
    QAction *kar1 = popup->addAction(QStringLiteral("Çıkar"));
    kar1->setObjectName(QStringLiteral("kar1"));
    popup->addSeparator();
    QAction *emizle1 = popup->addAction(QStringLiteral("Temizle"));
    emizle1->setObjectName(QStringLiteral("emizle1"));
    setIconsAtFirstShowing(
        popup, {{kar1, QStyle::SP_DialogDiscardButton}, {emizle1, QStyle::SP_TrashIcon}});
    connect(kar1, &QAction::triggered, this, on(&TForm1::kar1Click));
    connect(emizle1, &QAction::triggered, this, on(&TForm1::emizle1Click));
    connect(ui->ListBox4, &QWidget::customContextMenuRequested, this,
            [this, popup](const QPoint &pos) {
                popup->popup(ui->ListBox4->viewport()->mapToGlobal(pos));
            });

    for (QObject *o :
         {static_cast<QObject *>(ui->ListBox2->viewport()),
          static_cast<QObject *>(ui->ListBox4->viewport()), static_cast<QObject *>(ui->ListBox2),
          static_cast<QObject *>(ui->ListBox4), static_cast<QObject *>(ui->Label27),
          static_cast<QObject *>(ui->Image3), static_cast<QObject *>(ui->Image4)})
        o->installEventFilter(this);
}

void TForm1::startTimers()
{
    Timer1->setInterval(1000);
    Timer2->setInterval(3000);
    Timer3->setInterval(4000);
    Timer1->start();
    Timer2->start();
    Timer3->start();
    guard([this] { Timer1Timer(); });
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress) {
        if (watched == ui->ListBox2->viewport())
            m_dropClickOnTables = false;
        else if (watched == ui->ListBox4->viewport())
            m_dropClickOnExtras = false;
    }
    if (type == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == ui->ListBox2->viewport()) {
            m_dropClickOnTables = true;
            guard([this] { ListBox2DblClick(); });
            return true;
        }
        if (watched == ui->ListBox4->viewport()) {
            m_dropClickOnExtras = true;
            guard([this] { ListBox4DblClick(); });
            return true;
        }
        if (watched == ui->Label27) {
            guard([this] { Label27DblClick(); });
            return true;
        }
    }
    if (type == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton &&
        (watched == ui->Image3 || watched == ui->Image4)) {
        guard([this] { Image3Click(); });
        return true;
    }
    if (type == QEvent::KeyPress && (watched == ui->ListBox2 || watched == ui->ListBox4)) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (watched == ui->ListBox2 && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            guard([this] { ListBox2DblClick(); });
            return true;
        }
        if (watched == ui->ListBox4 && key == Qt::Key_Delete) {
            guard([this] { kar1Click(); });
            return true;
        }
        auto *list = static_cast<QListWidget *>(watched);
        bool handled = false;
        if (keyMovesCurrentRow(list, event, &handled))
            guard([this, list] { list == ui->ListBox2 ? ListBox2Click() : ListBox4Click(); });
        return handled;
    }
    if (type == QEvent::KeyPress && m_feePanel &&
        (watched == m_feePanel->basla || watched == m_feePanel->bitis)) {
        const auto key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            guard([this] { SpeedButton2Click(); });
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- Start-up and closing -------------------------------------------------------------

void TForm1::FormCreate()
{
    // Every step runs whatever happened before it: a store left unloaded would otherwise be
    // copied empty and saved over its file, and the icon is the way to reach the program.
    if (m_preload) {
        Preload *preload = m_preload;
        m_hall.setPreloaded([preload](const QString &path) { return preload->takeLines(path); });
    }
    guard([this] {
        if (m_hall.loadSettings())
            showStartFee();
    });
    guard([this] {
        for (const QString &info : m_hall.loadRegister())
            messages::inform(info);
    });
    guard([this] { m_hall.loadCatalogue(); });
    guard([this] { m_hall.prepareExtrasDirectory(); });
    guard([this] {
        if (m_cash)
            m_cash->openLedger(); // a step a crash left unfinished changes the register
    });
    guard([this] { m_hall.loadExtras(); });
    m_hall.dropPreloaded();
    m_preload = nullptr;
    listTables();
    guard([this] { showIcon(); });
    updateExitRoute();
    m_created = true;
}

void TForm1::showStartFee()
{
    // A unit fee that cannot be read stops here, with the captions as they were.
    if (!m_hall.multipleFees()) {
        const QString fee = m_hall.unitFeeLine();
        ui->Label26->setText(fee);
        ui->Label27->setText(formatAmount(strToInt(fee)));
    }
    showCaption();
}

void TForm1::showCaption()
{
    ui->Label6->setText(m_hall.multipleFees() ? multipleFeesCaption()
                                              : unitFeeCaption(strToInt(m_hall.unitFeeLine())));
    setEndTimeEnabled(!m_hall.endTimeFollowsClock());
}

void TForm1::showSettings()
{
    if (!m_created)
        return; // FormCreate shows them as they were read
    guard([this] { showCaption(); });
    const int i = selectedTable();
    if (i >= 0)
        guard([this, i] { showTableFee(i); });
    refreshFloor();
}

void TForm1::listTables()
{
    // The hall's floor is made anew with its tables: every row is drawn again.
    QStringList shown;
    for (int i = 0; i < ui->ListBox2->count(); ++i)
        shown << ui->ListBox2->item(i)->text();
    if (shown != m_hall.tableNames()) {
        ui->ListBox2->clear();
        ui->ListBox2->addItems(m_hall.tableNames());
    }
    m_redrawRows = true;
    refreshFloor();
}

void TForm1::tableChanged(int table)
{
    if (table == selectedTable())
        showPause(table);
    refreshFloor();
}

void TForm1::showPause(int table)
{
    const bool paused = table >= 0 && m_hall.isPaused(table);
    ui->Durdur->setText(paused ? QStringLiteral("Devam Ettir") : QStringLiteral("Durdur"));
    ui->Durdur->setEnabled(table < 0 || m_hall.hasAccount(table));
}

void TForm1::DurdurClick()
{
    const int i = selectedTable();
    if (i < 0) {
        messages::inform(kSelectTable);
        return;
    }
    if (!m_hall.hasAccount(i)) {
        messages::inform(m_hall.tableName(i) + QStringLiteral(" için açık bir hesap yok."));
        return;
    }
    const counter::Moment now = counter::momentNow();
    if (m_hall.isPaused(i))
        m_hall.resume(i, now);
    else
        m_hall.pause(i, now);
}

void TForm1::SureDuzeltClick()
{
    const int i = selectedTable();
    if (i < 0) {
        messages::inform(kSelectTable);
        return;
    }
    const counter::Moment now = counter::momentNow();
    const std::optional<qint64> elapsed = m_hall.accountElapsedMs(i, now);
    if (!m_hall.hasAccount(i) || !elapsed) {
        messages::inform(m_hall.tableName(i) + QStringLiteral(" için açık bir hesap yok."));
        return;
    }
    const hall::Calculation c = m_hall.calculate(i, *elapsed);
    const QDateTime start = now.wall.addMSecs(-*elapsed);
    TimeCorrection dialog(
        QStringLiteral("%1 · açılış %2 · faturalanan süre %3 (%4 dk)")
            .arg(m_hall.tableName(i), m_hall.account(i).time, counter::hoursAndMinutes(c.minutes))
            .arg(c.minutes),
        start, now.wall, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const auto approval = askApproval(m_hall, this, QStringLiteral("correct_time"));
    if (!approval)
        return;
    const counter::Moment at = counter::momentNow();
    if (dialog.setsStart())
        m_hall.setStart(i, dialog.start(), dialog.reason(), at);
    else
        m_hall.correctTime(i, dialog.minutes(), dialog.reason(), at);
    if (selectedTable() == i)
        guard([this] { ListBox2Click(); });
}

void TForm1::accountChanged(int table)
{
    if (table < 0 || table >= ui->ListBox2->count())
        return;
    if (selectedTable() == table)
        guard([this] { ListBox2Click(); });
    refreshFloor();
}

void TForm1::showIcon()
{
    if (a1 && m_trayAvailable)
        a1->setVisible(true);
}

bool TForm1::iconInNotificationArea() const
{
    return a1 && a1->Visible() && m_trayAvailable && m_tray && m_tray->isAvailable();
}

void TForm1::updateExitRoute()
{
    const bool viaMenu = !iconInNotificationArea();
    m_exitSeparator->setVisible(viaMenu);
    m_exitAction->setVisible(viaMenu);
}

void TForm1::setTrayAvailable(bool available)
{
    m_trayAvailable = available;
    updateExitRoute();
}

void TForm1::closeEvent(QCloseEvent *event)
{
    if (m_feePanel && m_feePanel->CheckBox2->isChecked()) {
        event->accept();
        QCoreApplication::quit();
        return;
    }
    event->ignore();
    updateExitRoute();
    if (iconInNotificationArea())
        hide();
    else
        showMinimized();
}

void TForm1::k1Click()
{
    feePanel()->CheckBox2->setChecked(true);
    close();
}

void TForm1::a1DblClick()
{
    show();
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void TForm1::Seenekler1Click()
{
    if (openSettings)
        openSettings();
}

void TForm1::ProgramHakknda1Click()
{
    if (showAboutModal)
        showAboutModal();
}

void TForm1::lerikiSrmdeolacaklar1Click()
{
    if (showPlanned)
        showPlanned();
}

void TForm1::Hakknda1Click()
{
    if (showAboutModeless)
        showAboutModeless();
}

// ---- What the hall says -------------------------------------------------------------

void TForm1::setEndTimeEnabled(bool enabled)
{
    m_endTimeEnabled = enabled;
    if (m_feePanel)
        m_feePanel->bitis->setEnabled(enabled);
}

void TForm1::resetTableView()
{
    // The booked extras list is emptied below; a table left selected would then be billed
    // and booked without the extras its file still holds.
    ui->ListBox2->setCurrentRow(-1);
    ui->ListBox4->clear();
    ui->ListBox4->addItem(kPlaceholder);
    ui->Label20->setText(QStringLiteral("-"));
    ui->Label17->setText(QStringLiteral("00:00:00"));
    ui->Label26->setText(QStringLiteral("0"));
    ui->Label27->setText(QStringLiteral("0 TL"));
}

void TForm1::selectTable(int table)
{
    ui->ListBox2->setCurrentRow(table);
    guard([this] { ListBox2Click(); });
    refreshFloor();
}

void TForm1::refreshFloor()
{
    if (ui->ListBox2->count() != m_hall.tableCount())
        return; // the list follows at the hall's next word
    QList<int> changed = m_hall.refreshFloor(counter::momentNow());
    if (std::exchange(m_redrawRows, false)) {
        changed.clear();
        for (int i = 0; i < ui->ListBox2->count(); ++i)
            changed << i;
    }
    const counter::Floor &floor = m_hall.floor();
    for (int i : changed) {
        const counter::FloorRow &row = floor.row(i);
        QListWidgetItem *item = ui->ListBox2->item(i);
        QVariant mark;
        if (row.paused)
            mark = QColor(0xf0, 0xa0, 0x20);
        else if (row.state == counter::FloorRow::State::Open)
            mark = QColor(0x2e, 0xcc, 0x40);
        else if (row.state == counter::FloorRow::State::OpenEarlierDay)
            mark = QColor(0xe8, 0x30, 0x30);
        item->setData(TRowDelegate::MarkRole, mark);
        item->setData(TRowDelegate::MiddleRole, row.time);
        item->setData(TRowDelegate::RightRole, row.amount);
        item->setData(Qt::ToolTipRole, row.description);
        item->setData(Qt::AccessibleDescriptionRole, row.description);
    }
    if (!changed.isEmpty() || ui->FloorSummary->text().isEmpty())
        ui->FloorSummary->setText(floor.summary());
}

// ---- Accounts and the table view -----------------------------------------------------

int TForm1::selectedTable() const
{
    return chosenRow(ui->ListBox2);
}

std::optional<QString> TForm1::chooseFee()
{
    if (m_hall.feeListExists())
        Form7->setFees(m_hall.feeList());
    Form7->CheckBox1->setChecked(false);
    Form7->exec();
    if (Form7->CheckBox1->isChecked())
        return std::nullopt;
    const int row = chosenRow(Form7->ListBox1);
    if (row < 0)
        throwListIndex(-1);
    return Form7->ListBox1->item(row)->text();
}

void TForm1::ListBox2DblClick()
{
    const int i = selectedTable();
    if (i < 0) {
        messages::inform(kSelectTable);
        return;
    }
    const QString name = m_hall.tableName(i);
    const bool restart = m_hall.hasAccount(i);
    // A double click on the wrong table must not silently restart a guest's account.
    if (restart &&
        !messages::ask(
            QStringLiteral("%1 için açık bir hesap var. Hesap yeniden başlatılsın mı?").arg(name)))
        return;
    // Extras left on a free table are the new guest's only when the operator says so.
    bool dropStray = false;
    if (!restart) {
        const counter::Booked stray = m_hall.bookedOn(i);
        dropStray = stray.count > 0 && messages::ask(CashDesk::strayExtrasQuestion(stray));
    }

    QString fee;
    if (const hall::TableKind *kind = m_hall.kindOf(i)) {
        fee = QString::number(kind->fee); // a kind's table takes the kind's fee
    } else if (!m_hall.multipleFees()) {
        fee = m_hall.unitFeeLine();
    } else if (const std::optional<QString> chosen = chooseFee()) {
        fee = *chosen;
    } else {
        messages::inform(QStringLiteral("Hesap açma işlemi iptal edildi!"));
        return;
    }
    ui->Label26->setText(fee);
    if (dropStray && !m_cash->dropFreeExtras(i))
        return;

    const counter::Moment at = counter::momentNow();
    if (restart) {
        // The time given up is written to the ledger in the same step.
        bool restarted = false;
        try {
            restarted = m_cash->restartAccount(i, fee, at);
        } catch (...) {
            guard([this, i] { showTableFee(i); });
            refreshFloor();
            throw;
        }
        if (!restarted) {
            guard([this, i] { showTableFee(i); });
            return;
        }
    } else {
        m_hall.openAccount(i, fee, at);
    }
    const hall::Account account = m_hall.account(i);
    ui->Label20->setText(account.date);
    ui->Label17->setText(account.time);
    refreshFloor();
    ui->Label27->setText(formatAmount(strToInt(fee)));
    messages::inform(name + QStringLiteral(" için hesap açıldı!"));
}

void TForm1::ListBox2Click()
{
    const int i = selectedTable();
    if (i < 0)
        return;
    ui->GroupBox2->setTitle(QStringLiteral("Masa Bilgileri  (") + m_hall.tableName(i) +
                            QLatin1Char(')'));
    ui->Edit1->clear();
    SpeedButton1Click();
    const hall::Account account = m_hall.account(i);
    if (!account.isOpen()) {
        ui->Label20->setText(QStringLiteral("-"));
        ui->Label17->setText(QStringLiteral("00:00:00"));
        ui->Label26->setText(QStringLiteral("0"));
    } else {
        ui->Label20->setText(account.date);
        ui->Label17->setText(account.time);
        ui->Label26->setText(m_hall.shownFee(i));
    }
    showPause(i);
    {
        // Read again at every selection; a file that cannot be read shows nothing.
        const auto shown = qScopeGuard([&] { showBookedExtras(i); });
        m_hall.reloadBooked(i);
    }
    const int fee = strToInt(ui->Label26->text());
    ui->Label27->setText(fee < 1 ? QStringLiteral("0 TL") : formatAmount(fee));
}

void TForm1::showTableFee(int table)
{
    const QString fee = m_hall.shownFee(table);
    ui->Label26->setText(fee);
    const int value = strToInt(fee);
    ui->Label27->setText(value < 1 ? QStringLiteral("0 TL") : formatAmount(value));
}

void TForm1::Label27DblClick()
{
    const int i = selectedTable();
    if (i < 0) {
        messages::inform(kSelectTable);
        return;
    }
    if (!m_hall.multipleFees())
        return;
    const std::optional<QString> fee = chooseFee();
    if (!fee) {
        messages::inform(QStringLiteral("Ücret değiştirme işlemi iptal edildi!"));
        return;
    }
    // Time already played keeps its fee unless the operator says otherwise.
    const counter::Moment now = counter::momentNow();
    bool fromOpening = true;
    if (m_hall.accountElapsedMs(i, now).value_or(0) >= 60000) {
        const int from = messages::choose(
            QStringLiteral("Yeni ücret ne zamandan itibaren geçerli olsun?"),
            {QStringLiteral("Şu andan itibaren"), QStringLiteral("Hesabın açılışından itibaren"),
             QStringLiteral("Vazgeç")},
            0);
        if (from == 2) {
            messages::inform(QStringLiteral("Ücret değiştirme işlemi iptal edildi!"));
            return;
        }
        fromOpening = from == 1;
    }
    const auto approval =
        askApproval(m_hall, this, QStringLiteral("fee_open"), m_hall.hasAccount(i));
    if (!approval)
        return;
    // The choice stands in the raw fee, as the window shows it, before it is read.
    ui->Label26->setText(*fee);
    const QString shown = formatAmount(strToInt(*fee));
    try {
        m_hall.changeFee(i, *fee, now, fromOpening);
    } catch (const RuntimeError &) {
        // The choice already stands in the raw fee: show the fee the register holds.
        guard([this, i] { showTableFee(i); });
        throw;
    }
    ui->Label27->setText(shown);
    refreshFloor();
}

// ---- The fee calculation -------------------------------------------------------------

void TForm1::SpeedButton1Click()
{
    if (m_feePanel) {
        m_feePanel->basla->setTime(QTime(0, 0));
        m_feePanel->bitis->setTime(QTime(0, 0));
    }
    m_accountDays = 0;
    m_accountTime.reset();
    for (QLabel *field : {ui->Label10, ui->Label9, ui->Label8, ui->Label12, ui->statictext2})
        field->setText(QStringLiteral("0"));
}

void TForm1::SpeedButton3Click()
{
    SpeedButton1Click();
    const int table = selectedTable();
    if (table < 0) {
        messages::inform(kSelectTable);
        return;
    }
    const counter::Moment moment = counter::momentNow();
    const QDateTime &now = moment.wall;
    Ui::FeePanel *panel = feePanel();
    const hall::Account account = m_hall.account(table);
    panel->basla->setTime(account.isOpen() ? strToTime(account.time) : QTime(0, 0));
    panel->bitis->setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));

    // An account opened on an earlier day runs on past midnight.
    const QDate opened =
        readStoredDate(account.isOpen() ? account.date : QStringLiteral("-"), now.date());
    if (opened.isValid())
        m_accountDays = int(opened.daysTo(now.date()));
    if (account.isOpen()) {
        if (const auto elapsed = m_hall.accountElapsedMs(table, moment))
            m_accountTime =
                AccountTime{table, panel->basla->time(), panel->bitis->time(), *elapsed};
    }
    // The extras' sum stops here at a price that is no number.
    ui->Label8->setText(QString::number(m_hall.extrasSum(table)));
    SpeedButton2Click();
}

void TForm1::SpeedButton2Click()
{
    Ui::FeePanel *panel = feePanel();
    const counter::Moment moment = counter::momentNow();
    const bool followsClock = m_hall.endTimeFollowsClock();
    if (followsClock) {
        const QTime t = moment.wall.time();
        panel->bitis->setTime(QTime(t.hour(), t.minute(), t.second()));
    }
    qint64 elapsedMs =
        counter::elapsedMs(m_accountDays, panel->basla->time(), panel->bitis->time());
    // The account F5 filled in, its times as shown: billed by the one rule, as F8 bills it.
    if (m_accountTime && m_accountTime->table == selectedTable() &&
        m_accountTime->start == panel->basla->time()) {
        if (followsClock) {
            if (const auto now = m_hall.accountElapsedMs(m_accountTime->table, moment))
                elapsedMs = *now;
        } else if (m_accountTime->end == panel->bitis->time()) {
            elapsedMs = m_accountTime->elapsedMs;
        }
    }
    if (elapsedMs < 0) {
        messages::inform(kTimeOrder);
        panel->basla->setTime(QTime(0, 0));
        panel->bitis->setTime(QTime(0, 0));
        return;
    }
    const qint64 seconds = elapsedMs / 1000;
    ui->statictext2->setText(QStringLiteral("%1:%2:%3")
                                 .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                                 .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                                 .arg(seconds % 60, 2, 10, QLatin1Char('0')));
    // The hall bills it by the one rule; a free table's bill is its extras alone.
    const hall::Calculation c = m_hall.calculate(selectedTable(), elapsedMs);
    ui->statictext2->setText(QString::number(c.minutes));
    ui->Label8->setText(QString::number(c.bill.extrasTotal));
    ui->Label10->setText(c.bill.timeCharge == 0 ? QStringLiteral("Hesaplama için süre az")
                                                : formatAmount(c.bill.timeCharge));
    ui->Label12->setText(c.bill.extrasTotal == 0 ? QStringLiteral("Extra girilmemiş!")
                                                 : formatAmount(c.bill.extrasTotal));
    ui->Label9->setText(c.bill.total == 0 ? QStringLiteral("Veri girişi yetersiz!")
                                          : formatAmount(c.bill.total));
}

// ---- Extras booked to the selected table ---------------------------------------------

void TForm1::showBookedExtras(int table)
{
    ui->ListBox4->clear();
    ui->ListBox4->addItem(kPlaceholder);
    if (!m_hall.bookedKnown(table))
        return;
    const RecordList &booked = m_hall.booked(table);
    if (booked.isEmpty())
        return;
    delete ui->ListBox4->takeItem(0);
    for (int k = 0; PairLine::price(k) < booked.count(); ++k) {
        auto *item = new QListWidgetItem(booked.at(PairLine::name(k)), ui->ListBox4);
        TRowDelegate::setRightColumn(item, priceText(booked.at(PairLine::price(k))));
    }
}

void TForm1::ListBox4Click()
{
    const int table = selectedTable();
    const RecordList *booked =
        table >= 0 && m_hall.bookedKnown(table) ? &m_hall.booked(table) : nullptr;
    if (!booked || booked->count() < 2) {
        ui->Edit1->clear();
        return;
    }
    const int k = ui->ListBox4->currentRow();
    ui->Edit1->setText(booked->at(PairLine::price(k)));
    ui->Edit1->setText(formatAmount(strToInt(ui->Edit1->text())));
}

void TForm1::ListBox4DblClick()
{
    if (selectedTable() < 0) {
        messages::inform(kSelectTable);
        return;
    }
    const RecordList &catalogue = m_hall.catalogue();
    Form5->ListBox1->clear();
    for (int k = 0; PairLine::name(k) < catalogue.count(); ++k) {
        auto *item = new QListWidgetItem(catalogue.at(PairLine::name(k)), Form5->ListBox1);
        TRowDelegate::setRightColumn(item, priceText(catalogue.value(PairLine::price(k))));
    }
    if (catalogue.isEmpty()) {
        messages::inform(QStringLiteral("Ayarlar Bölümünden Exstra Girişini Yapınız!"));
        return;
    }
    // The keyboard starts on the first extra: Enter books it at once.
    Form5->ListBox1->setCurrentRow(0);
    Form5->exec();
}

void TForm1::bookExtra(int k)
{
    const int table = selectedTable();
    if (table < 0 || k < 0)
        return;
    // The screen never shows what the file does not hold.
    const auto shown = qScopeGuard([&] { showBookedExtras(table); });
    if (!m_hall.book(table, k))
        messages::inform(QStringLiteral("Bu extranın fiyatı girilmemiş!"));
}

void TForm1::kar1Click()
{
    const int k = chosenRow(ui->ListBox4);
    if (k < 0) {
        messages::inform(QStringLiteral("Çıkarılacak Öğe üzerine Tıklayın!"));
        return;
    }
    if (ui->ListBox4->item(0)->text() != kPlaceholder) {
        const int table = selectedTable();
        if (table < 0)
            throwListIndex(-1);
        // Taking back what was just booked is a slip put right; later, it needs a Yönetici.
        const auto approval = askApproval(m_hall, this, QStringLiteral("remove_old_extra"),
                                          !m_hall.bookedWithin(table, k, kRecentBookingMs));
        if (!approval)
            return;
        {
            const auto shown = qScopeGuard([&] { showBookedExtras(table); });
            m_hall.removeExtra(table, k);
        }
        // What is left may be a name without a price (a hand-edited file): nothing shown.
        if (ui->ListBox4->count() == 0)
            ui->ListBox4->addItem(kPlaceholder);
    }
    ui->Edit1->clear();
}

void TForm1::emizle1Click()
{
    const int table = selectedTable();
    if (table < 0) {
        messages::inform(kSelectTable);
        return;
    }
    const auto approval =
        askApproval(m_hall, this, QStringLiteral("clear"), m_hall.booked(table).count() > 0);
    if (!approval)
        return;
    const auto shown = qScopeGuard([&] { showBookedExtras(table); });
    m_hall.clearExtras(table);
    ui->Edit1->clear();
}

// ---- Clock, uptime and banners -------------------------------------------------------

void TForm1::Timer1Timer()
{
    const QDateTime now = clock::now();
    ui->Label14->setText(dateLineText(now, clock::timeZoneIsSet()));
    ui->Label15->setText(clockText(now));
    StatusPanel1->setText(uptimeText(clock::uptimeMs()));
    refreshFloor();
}

void TForm1::Timer2Timer()
{
    // Decoded when it is first shown; it starts hidden.
    if (ui->Image4->pixmap().isNull())
        ui->Image4->setPixmap(QPixmap(QStringLiteral(":/banner2.jpg")));
    ui->Image4->setVisible(true);
}

void TForm1::Timer3Timer()
{
    ui->Image4->setVisible(false);
}

void TForm1::Image3Click()
{
    if (openUrl)
        openUrl(QUrl(brand::webAddress()));
}
