#pragma once

class QWidget;

namespace kv {

// Keeps a window on its screen at every showing. Where it fits the screen's available area it
// keeps its size and layout. Where it does not, it shrinks to the area (a fixed size too),
// its content moves into a scroll area at its designed size, so every control stays
// reachable, and the whole window, frame included, is placed on the area.
void fitToScreen(QWidget *window);

// Centres a dialog over its parent window at every showing, in the same place each time
// (on the screen when it has no parent); it is fitted to the screen first.
void centreAtEveryShowing(QWidget *window);

} // namespace kv
