#pragma once

#include "hall.h"
#include "printersetup.h"
#include "receipt.h"

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

// The "Yazıcı" tab of the settings window: where the hall prints (a receipt printer on the
// network or at a device, a system printer, PDF files, or nothing), the roll and the printer's
// code page, and the hall's name and address heading each receipt. Saved together
// ("Kaydet"); a refused save keeps the edits on screen.
class PrinterPage : public QWidget
{
    Q_OBJECT

public:
    explicit PrinterPage(kv::hall::Hall &hall, QWidget *parent = nullptr);

    // The Yönetici's approval a save needs; none asked when unset.
    kv::hall::Approve approve;
    // Prints a receipt where the setup given says; the outcome comes back to testDone().
    std::function<void(const kv::print::Receipt &, const kv::print::PrinterSetup &)> printTest;
    // The PDF folder; empty when the operator gave up. A folder dialog unless replaced.
    std::function<QString(const QString &current)> chooseFolder;

    // The setup as the hall holds it; edits not saved are dropped.
    void reload();
    // The setup as the boxes hold it.
    kv::print::PrinterSetup edited() const;
    // How the test page went.
    void testDone(bool ok, const QString &message);

    // Handlers, connected in the constructor.
    void saveClick();
    void testClick();
    void chooseFolderClick();

private:
    void show(const kv::print::PrinterSetup &setup);
    // The boxes the chosen kind uses enabled, the others not.
    void showKind();
    kv::print::PrinterSetup::Kind kind() const;
    int codePage() const;

    kv::hall::Hall &m_hall;
    QLabel *m_problem;
    QComboBox *m_kind;
    QLineEdit *m_host;
    QSpinBox *m_port;
    QLineEdit *m_device;
    QComboBox *m_paper;
    QComboBox *m_codePage;
    QCheckBox *m_cut, *m_drawer;
    QComboBox *m_system;
    bool m_systemListed = false; // the system's printers asked for
    QLineEdit *m_folder;
    QPushButton *m_chooseFolder;
    QLineEdit *m_hallName;
    QPlainTextEdit *m_hallAddress;
    QCheckBox *m_autoPrint;
    QLabel *m_result;
    QPushButton *m_test, *m_save;
};
