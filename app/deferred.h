#pragma once

#include <functional>

class QObject;
class QWidget;

namespace kv {

// Runs `then` once, after the window's first frame is complete (behind whatever else was
// queued while it was painted), or after `fallbackMs` should the window not be painted by
// then. For work the operator need not wait for before seeing the window.
void afterFirstPaint(QWidget *window, std::function<void()> then, int fallbackMs = 3000);

// Runs `first` once, just before the program handles its first input from the operator (a
// key, a click, a touch), ahead of whatever that input does. Deleting the object returned
// cancels it.
QObject *beforeFirstInput(std::function<void()> first);

} // namespace kv
