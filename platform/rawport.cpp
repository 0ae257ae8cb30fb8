#include "rawport.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpSocket>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#ifdef Q_OS_LINUX
#include <linux/lp.h>
#include <sys/ioctl.h>
#endif
#endif

namespace kv::rawport {

namespace {
// DLE EOT 4: the roll paper sensor's status, one byte.
const QByteArray kPaperStatus("\x10\x04\x04", 3);
constexpr char kPaperEnd = 0x60;

int remaining(const QDeadlineTimer &deadline)
{
    return int(qMax<qint64>(0, deadline.remainingTime()));
}
} // namespace

QString noAnswerText(const QString &where, int timeoutMs)
{
    const QString seconds = timeoutMs % 1000 == 0
                                ? QString::number(timeoutMs / 1000)
                                : QString::number(timeoutMs / 1000.0, 'f', 1)
                                      .replace(QLatin1Char('.'), QLatin1Char(','));
    return QStringLiteral("Yazıcı %1 saniye içinde yanıt vermedi: %2.").arg(seconds, where);
}

QString sendToHost(const QString &host, int port, const QByteArray &bytes, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    const QString where = QStringLiteral("%1:%2").arg(host).arg(port);
    QTcpSocket socket;
    socket.connectToHost(host, quint16(port));
    if (!socket.waitForConnected(remaining(deadline))) {
        switch (socket.error()) {
        case QAbstractSocket::ConnectionRefusedError:
            return QStringLiteral("Yazıcıya bağlanılamadı: %1 (bağlantı reddedildi).").arg(where);
        case QAbstractSocket::HostNotFoundError:
            return QStringLiteral("Yazıcının adresi bulunamadı: %1.").arg(host);
        case QAbstractSocket::SocketTimeoutError:
            return noAnswerText(where, timeoutMs);
        default:
            return QStringLiteral("Yazıcıya bağlanılamadı: %1 (%2).")
                .arg(where, socket.errorString());
        }
    }
    const auto lost = [&] {
        return socket.error() == QAbstractSocket::SocketTimeoutError || deadline.hasExpired()
                   ? noAnswerText(where, timeoutMs)
                   : QStringLiteral("Yazıcıyla bağlantı koptu: %1 (%2).")
                         .arg(where, socket.errorString());
    };
    // A printer out of paper would take the bytes and print nothing.
    socket.write(kPaperStatus);
    if (!socket.waitForReadyRead(remaining(deadline)))
        return lost();
    const QByteArray status = socket.read(1);
    if (status.isEmpty())
        return lost();
    if (status.at(0) & kPaperEnd)
        return QStringLiteral("Yazıcıda kâğıt bitti.");
    socket.write(bytes);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(remaining(deadline)))
            return lost();
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState)
        socket.waitForDisconnected(qMin(remaining(deadline), 1000));
    return QString();
}

#ifdef Q_OS_WIN

QString sendToDevice(const QString &path, const QByteArray &bytes, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    // A bare port name (COM10 and above need it) is reached in the device namespace.
    QString name = path;
    if (!name.contains(QLatin1Char('\\')) && !name.contains(QLatin1Char('/')) &&
        !name.contains(QLatin1Char(':')))
        name = QStringLiteral("\\\\.\\") + name;
    const HANDLE file = CreateFileW(reinterpret_cast<const wchar_t *>(name.utf16()), GENERIC_WRITE,
                                    0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return QStringLiteral("Yazıcı aygıtı bulunamadı: %1").arg(path);
        if (error == ERROR_ACCESS_DENIED)
            return QStringLiteral("Yazıcı aygıtı başka bir programda ya da izin yok: %1").arg(path);
        return QStringLiteral("Yazıcı aygıtı açılamadı: %1 (hata %2)").arg(path).arg(error);
    }
    // A COM port ends a write on its own after the timeout; other ports ignore this.
    COMMTIMEOUTS timeouts{};
    timeouts.WriteTotalTimeoutConstant = DWORD(timeoutMs);
    SetCommTimeouts(file, &timeouts);
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    QString why;
    qint64 offset = 0;
    while (offset < bytes.size() && why.isEmpty()) {
        ResetEvent(overlapped.hEvent);
        const DWORD chunk = DWORD(qMin<qint64>(bytes.size() - offset, 1 << 20));
        DWORD written = 0;
        if (!overlapped.hEvent ||
            (!WriteFile(file, bytes.constData() + offset, chunk, nullptr, &overlapped) &&
             GetLastError() != ERROR_IO_PENDING)) {
            why = QStringLiteral("Yazıcı aygıtına yazılamadı: %1").arg(path);
            break;
        }
        if (WaitForSingleObject(overlapped.hEvent, DWORD(remaining(deadline))) != WAIT_OBJECT_0) {
            // The write is called back before the buffer it reads goes away.
            CancelIo(file);
            GetOverlappedResult(file, &overlapped, &written, TRUE);
            why = noAnswerText(path, timeoutMs);
            break;
        }
        if (!GetOverlappedResult(file, &overlapped, &written, FALSE))
            why = QStringLiteral("Yazıcı aygıtına yazılamadı: %1").arg(path);
        else if (written == 0)
            why = noAnswerText(path, timeoutMs);
        offset += written;
    }
    if (overlapped.hEvent)
        CloseHandle(overlapped.hEvent);
    CloseHandle(file);
    return why;
}

#else

QString sendToDevice(const QString &path, const QByteArray &bytes, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    // Non-blocking: a printer that takes nothing must not hold the thread past the timeout.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENODEV || error == ENXIO || error == ENOTDIR)
            return QStringLiteral("Yazıcı aygıtı bulunamadı: %1").arg(path);
        if (error == EACCES || error == EPERM)
            return QStringLiteral("Yazıcı aygıtı için izin yok (lp grubu?): %1").arg(path);
        if (error == EBUSY)
            return QStringLiteral("Yazıcı aygıtı başka bir programda: %1").arg(path);
        return QStringLiteral("Yazıcı aygıtı açılamadı: %1 (%2)")
            .arg(path, QString::fromLocal8Bit(std::strerror(error)));
    }
    QString why;
#ifdef Q_OS_LINUX
    // A USB or parallel printer tells its paper state; a plain file or pipe has none.
    int status = 0;
    if (::ioctl(fd, LPGETSTATUS, &status) == 0 && (status & LP_POUTPA)) {
        ::close(fd);
        return QStringLiteral("Yazıcıda kâğıt bitti.");
    }
#endif
    qsizetype offset = 0;
    while (offset < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + offset, size_t(bytes.size() - offset));
        if (n > 0) {
            offset += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            why = QStringLiteral("Yazıcı aygıtına yazılamadı: %1 (%2)")
                      .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
            break;
        }
        pollfd p{fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, remaining(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            why = noAnswerText(path, timeoutMs);
            break;
        }
        if (ready < 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            why = QStringLiteral("Yazıcı aygıtına yazılamadı: %1").arg(path);
            break;
        }
    }
    // The USB printer driver takes a write at once and drops what it has not sent yet when the
    // device is closed: wait until it says it can take more, which is when the last is sent.
    while (why.isEmpty()) {
        pollfd p{fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, remaining(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0)
            why = noAnswerText(path, timeoutMs);
        else if (ready < 0 || (p.revents & (POLLERR | POLLNVAL)))
            why = QStringLiteral("Yazıcı aygıtına yazılamadı: %1").arg(path);
        break;
    }
    ::close(fd);
    return why;
}

#endif

} // namespace kv::rawport
