#pragma once

#include <functional>

class QWidget;

namespace kv {

// Runs `then` once, after the window's first frame is complete (behind whatever else was
// queued while it was painted), or after `fallbackMs` should the window not be painted by
// then. For work the operator need not wait for before seeing the window.
void afterFirstPaint(QWidget *window, std::function<void()> then, int fallbackMs = 3000);

} // namespace kv
