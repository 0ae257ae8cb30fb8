#pragma once

#include "escpos.h"

#include <QString>
#include <QStringList>

// Where and how the hall prints, kept in a record file of its own beside the settings
// (Windows-1254, CR LF), and the hall's name and address heading what it prints.
namespace kv::print {

struct PrinterSetup
{
    enum class Kind {
        None,    // nothing prints ("Yazdır" says so)
        Network, // a receipt printer at host:port (raw ESC/POS)
        Device,  // a receipt printer at a device file (/dev/usb/lp0, COM3)
        System,  // a printer Qt's print support offers
        Pdf,     // each print saved as a PDF in a folder
    };
    Kind kind = Kind::None;
    QString host;
    int port = 9100;
    QString device;
    int paperMm = 80;  // 58 or 80
    int codePage = 13; // ESC t n of the printer's PC857
    bool cut = true;
    bool drawer = false;
    QString systemPrinter; // empty: the system's default
    QString pdfFolder;
    QString hallName, hallAddress; // empty until set
    bool autoPrint = false;        // each bill printed as it is paid
    bool operator==(const PrinterSetup &) const = default;

    bool escPos() const { return kind == Kind::Network || kind == Kind::Device; }
    // The receipt printer's options; the drawer kicks only where `cashBill` and it is on.
    EscPosOptions escPosOptions(bool cashBill) const;
};

// Common makers' numbers for PC857 under ESC t n, for the setup's list; any other can be typed.
struct CodePageChoice
{
    int number;
    QString text;
};
QList<CodePageChoice> codePageChoices();

// The file's lines: a header, then "key=value" lines.
QStringList printerLines(const PrinterSetup &setup);
// The setup the lines hold; throws the operator's message, naming the line, when they cannot
// be read. Keys it does not know (a later version's) are passed over, and not written back.
PrinterSetup readPrinter(const QStringList &lines);
// Why the setup cannot be saved; empty when it can (an address or device for a receipt
// printer, a port 1–65535, paper 58 or 80, a code page 0–255, a folder for PDF).
QString printerProblem(const PrinterSetup &setup);

} // namespace kv::print
