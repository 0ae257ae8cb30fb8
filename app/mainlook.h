#pragma once

class QMainWindow;
namespace Ui {
class TForm1;
}

// The main window's colours, set as palettes once at start rather than as style sheets: a
// style sheet anywhere in the window makes every control of it go through the style-sheet
// engine, in time and memory, for a look palettes give alike.
void applyMainLook(QMainWindow *window, Ui::TForm1 *ui);
