#pragma once

class QWidget;

namespace kv {

// Centres a dialog over its parent window at every showing, in the same place each time
// (on the screen when it has no parent).
void centreAtEveryShowing(QWidget *window);

} // namespace kv
