#pragma once

#include "floor.h"
#include "hall.h"
#include "layout.h"
#include "lazywindow.h"
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
class QPushButton;
class QListWidget;
class QMenu;
class TantTaskbarIcon;
namespace kv {
class Preload;
class TrayService;
} // namespace kv

// The counter desk: the table list, the table view, the fee calculation and the extras
// booked to the selected table.
class TForm1 : public QMainWindow
{
    Q_OBJECT

public:
    static const QString kPlaceholder; // "Eklemek İçin Çift Tıklayın"

    // With a preload, the window takes its pictures and FormCreate its record files from
    // what that read, where it could; it must live until FormCreate is done.
    explicit TForm1(kv::hall::Hall &hall, kv::Preload *preload = nullptr,
                    QWidget *parent = nullptr);
    // The pictures the window shows at its first paint (resource paths).
    static QStringList firstPaintPictures();
    ~TForm1() override;

    // The windows the desk drives (made at their first use); set once at start, before
    // FormCreate.
    void setPickerWindow(kv::WindowRef<TForm5> form5) { Form5 = std::move(form5); }
    void setFeeSelectionWindow(kv::WindowRef<TForm7> form7) { Form7 = std::move(form7); }
    // Settling, moving and the day's takings ("Kasa").
    void setCashDesk(CashDesk *cash);
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
    void DurdurClick();     // "Durdur" / "Devam Ettir"
    void SureDuzeltClick(); // "Süre Düzelt"
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
    // The pause button as table i's account stands.
    void showPause(int table);
    // The selected table's position, or -1.
    int selectedTable() const;

    kv::hall::Hall &hall() { return m_hall; }
    const kv::Paths &paths() const { return m_hall.paths(); }
    // The end-time field `bitis` follows the settings (kept until the field is made).
    void setEndTimeEnabled(bool enabled);
    // Clears the table view: extras lists to the placeholder, date "-", start "00:00:00",
    // raw fee "0", fee label "0 TL".
    void resetTableView();

    // The floor's rows, from the hall's floor, refreshed by Timer1's tick.
    void refreshFloor();
    // A table's account or extras changed at the cash desk (settled, moved, reopened): it is
    // shown again when selected, and the floor follows.
    void accountChanged(int table);
    // Says on the status bar why the cash desk cannot work now; empty: it can.
    void showLedgerStatus(const QString &text);
    // Selects a table and shows it, as a click does.
    void selectTable(int table);

    Ui::TForm1 *ui;
    // The fee calculation's start and end times (`basla`, `bitis`), its "Hesapla" button and
    // the exit flag `CheckBox2`, on `Panel1`, which is never shown: made at its first use, so
    // that its time boxes cost nothing at start. Until then both times are 00:00:00 and the
    // flag is off.
    Ui::FeePanel *feePanel();
    TantTaskbarIcon *a1 = nullptr;
    QMenu *PopupMenu1;
    QLabel *StatusPanel0;     // the byline
    QLabel *StatusPanel1;     // the uptime text
    QLabel *StatusLedger;     // why the cash desk cannot work now; hidden while it can
    QLabel *StatusCashier;    // who is at the counter; hidden without cashiers
    QLabel *StatusShift;      // the shift open now; hidden while none is
    QPushButton *StatusChain; // a broken event chain, until acknowledged
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
    void showIcon();
    void updateExitRoute();

    void setupMenus();
    void setupKeys();
    void setupPictures();
    void setupStatusBar();
    void connectHandlers();
    void startTimers();

    // What the hall emits, shown.
    void showSettings();
    // The fee and captions as the settings file was read at start.
    void showStartFee();
    // The unit-fee caption and the end-time field, as the settings hold them.
    void showCaption();
    void listTables();
    void tableChanged(int table);
    // The fee of table i as the table view shows it.
    void showTableFee(int table);
    // The selected table's booked extras, as the hall holds them; a file that cannot be read
    // shows nothing and stops with its error.
    void showBookedExtras(int table);
    QPixmap preloadedPicture(const QString &resource);
    // Picks a fee in the fee selection window; none when the operator cancelled.
    std::optional<QString> chooseFee();

    kv::hall::Hall &m_hall;
    kv::Preload *m_preload = nullptr; // until FormCreate is done
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
    bool m_redrawRows = true;     // the list was made anew: every row is drawn
    bool m_created = false;       // FormCreate is done
};
