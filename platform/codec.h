#pragma once

#include <QByteArray>
#include <QString>

namespace kv {

// Record files are Windows-1254 bytes. Every byte decodes and encodes back to itself; a
// character the code page cannot hold is written as "?".
QString decode1254(const QByteArray &bytes);
QByteArray encode1254(const QString &text);
// True when every character of the text has a Windows-1254 byte of its own.
bool canEncode1254(const QString &text);

} // namespace kv
