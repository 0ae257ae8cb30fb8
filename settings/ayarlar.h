#pragma once

#include "hall.h"
#include "recordlist.h"

#include <QDialog>

#include <functional>

class QAction;
class QListWidget;
class QMenu;
class CashiersPage;
class KindsPage;
class PrinterPage;
class TablesPage;

namespace Ui {
class TForm3;
}

// The settings window: unit fee, minimum charge, the multiple-fee list, table setup and the
// price list of extras. It shows what the hall holds and changes it through the hall.
class TForm3 : public QDialog
{
    Q_OBJECT

public:
    TForm3(kv::hall::Hall &hall, QWidget *parent = nullptr);
    ~TForm3() override;

    // The steps that drop what the ledger must take (the cash desk asks for it first); each
    // returns false when nothing was done, after saying why.
    std::function<bool(const QString &count, const QString &prefix)> createTables;
    std::function<bool()> wipeAccounts;
    // The Yönetici's approval a change of settings, price list or cashiers needs; none asked
    // when unset.
    kv::hall::Approve approve;

    // The fee entry window that "Ekle" of the fee list menu shows.
    void setFeeEntryWindow(QDialog *window) { m_feeEntry = window; }
    // Adds the "Kasiyerler" tab, over the hall's cashiers.
    void setCashiers(kv::ledger::Cashiers *cashiers);
    CashiersPage *cashiersPage() const { return m_cashiersPage; }
    PrinterPage *printerPage() const { return m_printerPage; }
    // The fee list `ListBox2`; the fee entry window adds new fees to it.
    QListWidget *feeList() const;
    // The working copy of the extras catalogue (`ListBox1`).
    const kv::RecordList &catalogueCopy() const { return ListBox1; }

    // Main menu "Ayarlar" > "Seçenekler": fills the window from the stores and shows it
    // modally. A failing step shows the error box and the window is not shown.
    void openFromMainMenu();

    // Handlers, connected in the constructor.
    void SpeedButton1Click(); // "Kaydet"
    void CheckBox2Click();
    void Label12Click();
    void CheckBox3Click();
    void Ekle1Click();
    void ar1Click();
    void enazChange();
    void Label11Click();
    void BitBtn1Click(); // "Çıkış"
    void FormClose();
    void SpeedButton2Click(); // "Masa Oluştur"
    void SpeedButton6Click(); // "Masa Bilgilerini Sil"
    void SpeedButton3Click(); // "Ekle" (extras)
    void ListBox4Click();
    void SpeedButton4Click(); // "Düzelt"
    void SpeedButton5Click(); // "Çıkar" (extras)

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fill();
    void loadFeeList();
    void showCatalogueNames();
    // Saves the catalogue with a change; the working copy follows only when that succeeds.
    void saveCatalogue(const kv::RecordList &next);
    bool extraGiven();
    int selectedExtra() const;
    const kv::RecordList &settings() const;

    Ui::TForm3 *ui;
    kv::hall::Hall &m_hall;
    QDialog *m_feeEntry = nullptr;
    CashiersPage *m_cashiersPage = nullptr;
    TablesPage *m_tablesPage = nullptr;
    KindsPage *m_kindsPage = nullptr;
    PrinterPage *m_printerPage = nullptr;
    std::optional<kv::hall::Approval> approval(const QString &action);
    QMenu *PopupMenu1;
    QAction *Ekle1;
    QAction *ar1;
    // The hall's extras catalogue as the window shows it: name at 2k, price at 2k+1.
    kv::RecordList ListBox1;
    // ListBox4 changes made by the window itself are no operator selection.
    bool m_fillingExtras = false;
    bool m_selectionChangedByClick = false;
};
