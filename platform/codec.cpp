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
    if (!encoder.hasError())
        return bytes;
    // The encoder marks what it cannot hold with 0x1A, which a real 0x1A would also give:
    // encode character by character so only the unmappable ones become "?".
    bytes.clear();
    for (qsizetype i = 0; i < text.size(); ++i) {
        qsizetype len = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QStringEncoder one(kCodePage);
        const QByteArray b = one.encode(QStringView(text).mid(i, len));
        bytes += one.hasError() ? QByteArray("?") : b;
        i += len - 1;
    }
    return bytes;
}

bool canEncode1254(const QString &text)
{
    QStringEncoder encoder(kCodePage);
    const QByteArray bytes = encoder.encode(text); // the encoding runs only when taken
    Q_UNUSED(bytes);
    return !encoder.hasError();
}

} // namespace kv
