#pragma once

#include "layout.h"

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
}

namespace kv {

// The windows, created in the program's order; TForm1 is the main window.
struct Forms
{
    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TForm2> Form2;
    std::unique_ptr<TForm3> Form3;
    std::unique_ptr<TForm4> Form4;
    std::unique_ptr<TForm5> Form5;
    std::unique_ptr<TForm6> Form6;
    std::unique_ptr<TForm7> Form7;
    CashDesk *Cash = nullptr; // owned by the main window

    Forms();
    ~Forms();
    Forms(Forms &&) noexcept;
    Forms &operator=(Forms &&) noexcept;
    void clear();
};

// Sets up the application: title "Kelvora", pictures, Qt's Turkish texts.
void initApplication(QApplication &app);
// Creates and wires every window over the data directory, runs the main window's creation
// handler, and returns them; the main window is not shown yet. Without a tray service, or
// where it finds no notification area, the main window falls back to minimising.
Forms createForms(const Paths &paths, TrayService *tray = nullptr);
// The whole program: single-instance guard, windows, event loop.
int runProgram(int argc, char *argv[]);

} // namespace kv
