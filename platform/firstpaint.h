#pragma once

#include <QtGlobal>

class QWidget;

namespace kv {

// Nanoseconds on the system's monotonic clock (CLOCK_MONOTONIC on Linux), comparable across
// processes of one machine.
qint64 monotonicNs();

// When KELVORA_REPORT_PAINT names a file, appends one line to it with monotonicNs() taken
// once the window's first frame is complete: the first event handled after the window's
// first paint event, i.e. after the window and its children were painted and the frame was
// flushed to the window system. Does nothing when the variable is unset.
void reportFirstPaint(QWidget *window);

} // namespace kv
