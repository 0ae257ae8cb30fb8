#pragma once

#include "layout.h"
#include "lazywindow.h"

#include <memory>

class QApplication;
class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class TForm7;
class CashDesk;
namespace kv {
class TrayService;
namespace hall {
class Hall;
}
} // namespace kv

namespace kv {

// The windows; TForm1 is the main window, made at start. The others are made at their
// first use (or first access here) and kept.
struct Forms
{
    std::unique_ptr<hall::Hall> Hall; // what every window shows; outlives them
    std::unique_ptr<TForm1> Form1;
    Lazy<TForm2> Form2;
    Lazy<TForm3> Form3;
    Lazy<TForm4> Form4;
    Lazy<TForm5> Form5;
    Lazy<TForm6> Form6; // made with TForm3, whose fee list it adds to
    Lazy<TForm7> Form7;
    CashDesk *Cash = nullptr; // owned by the main window

    Forms();
    ~Forms();
    Forms(Forms &&) noexcept;
    Forms &operator=(Forms &&) noexcept;
    void clear();
};

// Sets up the application: title "Kelvora", pictures, Qt's Turkish texts.
void initApplication(QApplication &app);
// Creates the main window over the data directory and wires the others to be made at their
// first use, runs the main window's creation handler, and returns them; the main window is
// not shown yet. Without a tray service, or where it finds no notification area, the main
// window falls back to minimising. With deferLedger the ledger is opened and checked by
// Cash->startLedger() (the program runs it after the first paint) or before the first input.
Forms createForms(const Paths &paths, TrayService *tray = nullptr, bool deferLedger = false);
// createForms' wiring, between making the main window and running its creation handler.
void wireForms(Forms &forms, TrayService *tray, bool deferLedger);
// The whole program: single-instance guard, windows, event loop.
int runProgram(int argc, char *argv[]);

} // namespace kv
