#include "codec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace kv {

namespace {
const char *const kCodePage = "windows-1254";
}

QString decode1254(const QByteArray &bytes)
{
    QStringDecoder decoder(kCodePage);
    return decoder.decode(bytes);
}

QByteArray encode1254(const QString &text)
{
    QStringEncoder encoder(kCodePage);
    QByteArray bytes = encoder.encode(text);
    // One byte per character; a lone surrogate at the end is dropped without an error.
    if (!encoder.hasError() && bytes.size() == text.size())
        return bytes;
    // The encoder marks what it cannot hold with 0x1A, which a real 0x1A would also give:
    // encode character by character so only the unmappable ones become "?".
    bytes.clear();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair =
            text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const qsizetype len = pair ? 2 : 1;
        QStringEncoder one(kCodePage);
        const QByteArray b = one.encode(QStringView(text).mid(i, len));
        bytes += one.hasError() || b.size() != 1 ? QByteArray("?") : b;
        i += len - 1;
    }
    return bytes;
}

bool canEncode1254(const QString &text)
{
    QStringEncoder encoder(kCodePage);
    const QByteArray bytes = encoder.encode(text); // the encoding runs only when taken
    return !encoder.hasError() && bytes.size() == text.size();
}

} // namespace kv
