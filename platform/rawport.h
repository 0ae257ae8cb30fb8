#pragma once

#include <QByteArray>
#include <QString>

// Bytes sent as they are to a receipt printer: on the network (a raw port such as 9100) or at
// a device file (/dev/usb/lp0; on Windows a COM or LPT port). Each call blocks, so it is
// for a worker thread, and gives up once `timeoutMs` has passed in all.
namespace kv::rawport {

// Connects, asks the printer for its paper status and sends the bytes once it has answered
// with paper in. Empty, or why not in Turkish (refused, no answer in time, out of paper).
QString sendToHost(const QString &host, int port, const QByteArray &bytes, int timeoutMs);

// Writes the bytes to the device. Empty, or why not (missing, no permission, no answer).
QString sendToDevice(const QString &path, const QByteArray &bytes, int timeoutMs);

// "Yazıcı 5 saniye içinde yanıt vermedi: WHERE."
QString noAnswerText(const QString &where, int timeoutMs);

} // namespace kv::rawport
