#pragma once

#include "layout.h"

#include <memory>

class QApplication;
class TForm1;
class TForm5;
class TForm7;

namespace kv {

// The seven windows, created in the program's order; TForm1 is the main window.
struct Forms
{
    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TForm5> Form5;
    std::unique_ptr<TForm7> Form7;

    Forms();
    ~Forms();
    Forms(Forms &&) noexcept;
    Forms &operator=(Forms &&) noexcept;
};

// Sets up the application: title "Kelvora", Qt's Turkish texts.
void initApplication(QApplication &app);
// Creates and wires every window over the data directory, runs the main window's creation
// handler, and returns them; the main window is not shown yet.
Forms createForms(const Paths &paths, bool trayAvailable);
// The whole program: guard, windows, event loop.
int runProgram(int argc, char *argv[]);

} // namespace kv
