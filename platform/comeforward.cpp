#include "comeforward.h"

#include <QFile>

#ifdef Q_OS_WIN
#include <QWinEventNotifier>
#include <windows.h>
#else
#include <QSocketNotifier>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kv {

namespace {
const QByteArray kRequest = QByteArrayLiteral("activate\n");
} // namespace

#ifdef Q_OS_WIN

namespace {
std::wstring eventName(const QString &name)
{
    return (QStringLiteral("Local\\") + name).toStdWString();
}
} // namespace

struct ComeForwardChannel::Private
{
    HANDLE event = nullptr;
    QWinEventNotifier *notifier = nullptr;
};

ComeForwardChannel::ComeForwardChannel(QObject *parent)
    : QObject(parent), d(std::make_unique<Private>())
{
}

ComeForwardChannel::~ComeForwardChannel()
{
    delete d->notifier;
    if (d->event)
        CloseHandle(d->event);
}

bool ComeForwardChannel::listen(const QString &name)
{
    // Auto-reset: each request wakes the notifier once; requests before it woke are one.
    d->event = CreateEventW(nullptr, FALSE, FALSE, eventName(name).c_str());
    if (!d->event)
        return false;
    d->notifier = new QWinEventNotifier(d->event, this);
    connect(d->notifier, &QWinEventNotifier::activated, this, &ComeForwardChannel::requested);
    return true;
}

bool ComeForwardChannel::request(const QString &name)
{
    const HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName(name).c_str());
    if (!event)
        return false;
    // The user just started this copy, so it may take the foreground; it hands that right on,
    // or Windows only flashes the running copy's taskbar button.
    AllowSetForegroundWindow(ASFW_ANY);
    const bool sent = SetEvent(event) != 0;
    CloseHandle(event);
    return sent;
}

#else

namespace {
// A FIFO of this user's, and nothing else (a file someone put in its place is not used).
bool ownFifo(int fd)
{
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode) && st.st_uid == geteuid();
}
} // namespace

struct ComeForwardChannel::Private
{
    QByteArray path;
    int reader = -1;
    int keeper = -1; // a writer of its own, so the reader never sees the end of the FIFO
    QSocketNotifier *notifier = nullptr;
    QByteArray pending;
};

ComeForwardChannel::ComeForwardChannel(QObject *parent)
    : QObject(parent), d(std::make_unique<Private>())
{
}

ComeForwardChannel::~ComeForwardChannel()
{
    delete d->notifier;
    if (d->keeper >= 0)
        ::close(d->keeper);
    if (d->reader >= 0) {
        ::close(d->reader);
        ::unlink(d->path.constData());
    }
}

bool ComeForwardChannel::listen(const QString &name)
{
    d->path = QFile::encodeName(name);
    const char *path = d->path.constData();
    ::unlink(path); // left by a copy that crashed
    if (::mkfifo(path, 0600) != 0)
        return false;
    d->reader = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (d->reader < 0)
        return false;
    d->keeper = ::open(path, O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (!ownFifo(d->reader) || d->keeper < 0) {
        ::close(d->reader);
        d->reader = -1;
        return false;
    }
    d->notifier = new QSocketNotifier(d->reader, QSocketNotifier::Read, this);
    connect(d->notifier, &QSocketNotifier::activated, this, [this] {
        char buffer[256];
        ssize_t n;
        while ((n = ::read(d->reader, buffer, sizeof buffer)) > 0)
            d->pending.append(buffer, n);
        // Whole lines only; anything but the request is ignored.
        qsizetype end;
        while ((end = d->pending.indexOf('\n')) >= 0) {
            const QByteArray line = d->pending.left(end + 1);
            d->pending.remove(0, end + 1);
            if (line == kRequest)
                emit requested();
        }
        if (d->pending.size() > 4096)
            d->pending.clear();
    });
    return true;
}

bool ComeForwardChannel::request(const QString &name)
{
    // Without a reader (the copy is gone) opening fails at once instead of waiting.
    const int fd = ::open(QFile::encodeName(name).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool sent = false;
    if (ownFifo(fd)) {
        // Shorter than PIPE_BUF: written whole, never mixed with another copy's request.
        ssize_t n;
        do
            n = ::write(fd, kRequest.constData(), size_t(kRequest.size()));
        while (n < 0 && errno == EINTR);
        sent = n == kRequest.size();
    }
    ::close(fd);
    return sent;
}

#endif

} // namespace kv
