#pragma once

#include "floor.h"
#include "layout.h"
#include "lazywindow.h"
#include "mainlink.h"
#include "recordlist.h"

#include <QMainWindow>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <optional>

namespace Ui {
class TForm1;
class FeePanel;
} // namespace Ui
class TForm5;
class TForm7;
class CashDesk;
class QLabel;
class QListWidget;
class QMenu;
class TantTaskbarIcon;
namespace kv {
class Preload;
class TrayService;
} // namespace kv

// The counter desk: the table list, the table view, the fee calculation and the extras
// booked to the selected table.
class TForm1 : public QMainWindow, public TMainLink
{
    Q_OBJECT

public:
    static const QString kPlaceholder; // "Eklemek İçin Çift Tıklayın"

    // With a preload, the window takes its pictures and FormCreate its record files from
    // what that read, where it could; it must live until FormCreate is done.
    explicit TForm1(const kv::Paths &paths, kv::Preload *preload = nullptr,
                    QWidget *parent = nullptr);
    // The pictures the window shows at its first paint (resource paths).
    static QStringList firstPaintPictures();
    // Record files changed behind the desk: what the preload read of them is out of date.
    void dropPreload() { m_preload = nullptr; }
    ~TForm1() override;

    // The windows the desk drives (made at their first use); set once at start, before
    // FormCreate.
    void setPickerWindow(kv::WindowRef<TForm5> form5) { Form5 = std::move(form5); }
    void setFeeSelectionWindow(kv::WindowRef<TForm7> form7) { Form7 = std::move(form7); }
    // Settling, moving and the day's takings ("Kasa").
    void setCashDesk(CashDesk *cash) { m_cash = cash; }
    // Actions that belong to other windows, wired at start.
    std::function<void()> openSettings;      // "Ayarlar" > "Seçenekler"
    std::function<void()> showAboutModal;    // "Program Hakkında"
    std::function<void()> showAboutModeless; // the notification-area menu's "Hakkında"
    std::function<void()> showPlanned;       // "İleriki Sürümde Olacaklar"
    std::function<void(const QUrl &)> openUrl;

    // The notification-area icon `a1` over the given service: set before FormCreate, which
    // shows it, or through attachTray() after it.
    void setTrayService(kv::TrayService *service);

    // Where the desktop has no notification area, closing minimises and "Ayarlar" offers
    // "Çıkış".
    void setTrayAvailable(bool available);
    bool trayAvailable() const { return m_trayAvailable; }
    // The icon over the given service after FormCreate: asks whether the desktop has a
    // notification area and shows the icon there.
    void attachTray(kv::TrayService *service);

    // Handlers.
    void FormCreate();
    void ListBox2Click();
    void ListBox2DblClick();
    void SpeedButton3Click(); // "Ücret Hesapla"
    void SpeedButton2Click(); // "Hesapla"
    void SpeedButton1Click(); // "Sıfırla"
    void Label27DblClick();
    void ListBox4Click();
    void ListBox4DblClick();
    void kar1Click();    // "Çıkar"
    void emizle1Click(); // "Temizle"
    void Timer1Timer();
    void Timer2Timer();
    void Timer3Timer();
    void Image3Click();
    void Seenekler1Click();
    void ProgramHakknda1Click();
    void lerikiSrmdeolacaklar1Click();
    void Hakknda1Click();
    void k1Click();
    void a1DblClick();

    // Booking picker line k to the selected table (the picker's double click).
    void bookExtra(int k);
    // The selected table's position, or -1.
    int selectedTable() const;

    // TMainLink
    const kv::Paths &paths() const override { return m_paths; }
    kv::RecordList &settingsList() override { return ListBox1; }
    kv::RecordList &registerList() override { return ListBox3; }
    kv::RecordList &catalogueList() override { return ListBox5; }
    void setEndTimeEnabled(bool enabled) override;
    void setUnitFeeCaption(const QString &caption) override;
    QListWidget *tableList() override;
    void resetTableView() override;
    void reloadCatalogue() override;
    void refreshSelectedFee() override;
    void tablesChanged() override;
    bool clearAccounts() override;
    bool extrasRemovable(const QStringList &files) override;
    bool removeExtrasFiles(const QStringList &files) override;

    // The floor: every table's state, running time and bill, refreshed by Timer1's tick.
    const kv::counter::Floor &floor() const { return m_floor; }
    void refreshFloor();
    // A table's account or extras changed behind the view (settled, moved, reopened): its
    // extras are read again, it is shown again when selected, and the floor follows.
    void accountChanged(int table);
    // Says on the status bar why the cash desk cannot work now; empty: it can.
    void showLedgerStatus(const QString &text);
    // Selects a table and shows it, as a click does.
    void selectTable(int table);

    // Hidden working lists, named as on the original form.
    kv::RecordList ListBox1; // settings file
    kv::RecordList ListBox3; // table register
    kv::RecordList ListBox5; // extras catalogue
    kv::RecordList ListBox6; // booked extras of the selected table

    Ui::TForm1 *ui;
    // The fee calculation's start and end times (`basla`, `bitis`), its "Hesapla" button and
    // the exit flag `CheckBox2`, on `Panel1`, which is never shown: made at its first use, so
    // that its time boxes cost nothing at start. Until then both times are 00:00:00 and the
    // flag is off.
    Ui::FeePanel *feePanel();
    TantTaskbarIcon *a1 = nullptr;
    QMenu *PopupMenu1;
    QLabel *StatusPanel0; // the byline
    QLabel *StatusPanel1; // the uptime text
    QLabel *StatusLedger; // why the cash desk cannot work now; hidden while it can
    QTimer *Timer1;
    QTimer *Timer2;
    QTimer *Timer3;

    // True while the icon is really in the notification area: only then does closing hide
    // the window; otherwise it minimises and "Ayarlar" offers "Çıkış".
    bool iconInNotificationArea() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The start-up steps; each loads its store whatever happened in the steps before it.
    void loadSettings();
    void loadRegister();
    void loadCatalogue();
    void prepareExtrasDirectory();
    void showIcon();
    void updateExitRoute();

    void setupMenus();
    void setupKeys();
    void setupPictures();
    void setupStatusBar();
    void connectHandlers();
    void startTimers();

    bool multipleFees() const;
    // The fee of table i as the table view shows it: the stamped fee in multiple-fee mode,
    // the unit fee otherwise, "0" for a free table.
    void showTableFee(int table);
    void loadTableExtras(int table);
    // Booking, removing and clearing need the table's own extras: after a failed load they
    // try again, and stop with its error while the file cannot be read.
    void requireBookedExtras(int table);
    void showBookedExtras();
    void saveBookedExtras(int table, const kv::RecordList &booked);
    // Reads every table's booked extras once, for the floor's running bills.
    void loadExtrasTotals();
    void readExtrasTotal(int table);
    // The file's lines from the preload, when it read them: true when the list took them.
    bool takePreloaded(kv::RecordList &list, const QString &path);
    QPixmap preloadedPicture(const QString &resource);
    // Picks a fee in the fee selection window; false when the operator cancelled.
    bool chooseFee();

    kv::Paths m_paths;
    kv::Preload *m_preload = nullptr; // until FormCreate is done
    kv::counter::Floor m_floor;
    kv::WindowRef<TForm5> Form5;
    kv::WindowRef<TForm7> Form7;
    CashDesk *m_cash = nullptr;
    bool m_trayAvailable = false;
    kv::TrayService *m_tray = nullptr;
    // The click Qt reports on the release after a double click is not a click of its own.
    bool m_dropClickOnTables = false;
    bool m_dropClickOnExtras = false;
    QAction *m_exitSeparator = nullptr;
    QAction *m_exitAction = nullptr;
    // Whole days between the account's date and the calculation (accounts past midnight).
    int m_accountDays = 0;
    // What F5 filled in for table's account: while the times it showed stand, the account's
    // own elapsed time is billed, as F8 bills it.
    struct AccountTime
    {
        int table = -1;
        QTime start, end;
        qint64 elapsedMs = 0;
    };
    std::optional<AccountTime> m_accountTime;
    Ui::FeePanel *m_feePanel = nullptr;
    bool m_endTimeEnabled = true; // for the panel, when it is made
};
