#include "printer.h"

#include "escpos.h"
#include "page.h"
#include "rawport.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QThread>
#include <QTimer>
#include <QWaitCondition>

namespace kv::print {

namespace {
// What a job prints, copied whole: the worker touches nothing of the window's.
struct Job
{
    quint64 id = 0;
    Receipt receipt;
    PrinterSetup setup;
    Purpose purpose = Purpose::Bill;
    QString title;
    QString pdfBase; // "<folder>/<title> <moment>", without ".pdf"
    int timeoutMs = 0;
};
} // namespace

// Each printer's queue, drained in order by a worker of its own, and the object it reports to
// while that exists.
struct Printer::Shared
{
    struct Queue
    {
        QList<Job> jobs;
        bool running = false;
    };
    QMutex mutex;
    QWaitCondition ended; // a worker ended
    int workers = 0;
    Printer *owner = nullptr; // cleared by the printer's destructor
    QHash<QString, Queue> queues;
};

namespace {
const QString kNoPrinter = QStringLiteral("Yazıcı seçilmedi: Ayarlar > Yazıcı.");

// A title as part of a file name on any system.
QString fileNameOf(const QString &title)
{
    QString name;
    for (const QChar c : title)
        name += c.category() == QChar::Other_Control || QStringLiteral("\\/:*?\"<>|").contains(c)
                    ? QLatin1Char('-')
                    : c;
    name = name.simplified();
    // Windows drops dots and spaces at the end of a name.
    while (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    name = name.trimmed();
    return name.isEmpty() ? QStringLiteral("Kelvora") : name;
}

QString where(const PrinterSetup &s)
{
    switch (s.kind) {
    case PrinterSetup::Kind::Network:
        return QStringLiteral("%1:%2").arg(s.host).arg(s.port);
    case PrinterSetup::Kind::Device:
        return s.device;
    case PrinterSetup::Kind::System:
        return s.systemPrinter.isEmpty() ? QStringLiteral("varsayılan yazıcı") : s.systemPrinter;
    case PrinterSetup::Kind::Pdf:
        return QDir::toNativeSeparators(s.pdfFolder);
    case PrinterSetup::Kind::None:
        break;
    }
    return QString();
}

// Which queue a job waits in: one per receipt printer or system printer; PDFs have their own.
QString queueOf(const PrinterSetup &s)
{
    switch (s.kind) {
    case PrinterSetup::Kind::Network:
        return QStringLiteral("ag:%1:%2").arg(s.host.trimmed().toLower()).arg(s.port);
    case PrinterSetup::Kind::Device:
        return QStringLiteral("aygit:") + s.device.trimmed();
    case PrinterSetup::Kind::System:
        return QStringLiteral("sistem:") + s.systemPrinter;
    case PrinterSetup::Kind::Pdf:
    case PrinterSetup::Kind::None:
        break;
    }
    return QStringLiteral("pdf");
}

// Prints one job, blocking; ok and where, or why not.
std::pair<bool, QString> run(const Job &j)
{
    const PrinterSetup &s = j.setup;
    QString why;
    switch (s.kind) {
    case PrinterSetup::Kind::None:
        return {false, kNoPrinter};
    case PrinterSetup::Kind::Network:
    case PrinterSetup::Kind::Device: {
        const QByteArray bytes = escPos(j.receipt, s.escPosOptions(j.purpose == Purpose::CashBill));
        why = s.kind == PrinterSetup::Kind::Network
                  ? rawport::sendToHost(s.host, s.port, bytes, j.timeoutMs)
                  : rawport::sendToDevice(s.device, bytes, j.timeoutMs);
        if (why.isEmpty())
            return {true, QStringLiteral("Fiş yazıcısına gönderildi: %1").arg(where(s))};
        break;
    }
    case PrinterSetup::Kind::System:
        why = printOnPrinter(j.receipt, s.paperMm, s.systemPrinter, j.title);
        if (why.isEmpty())
            return {true, QStringLiteral("Yazıcıya gönderildi: %1").arg(where(s))};
        break;
    case PrinterSetup::Kind::Pdf: {
        // Two prints of a title in one second keep both files.
        QString path = j.pdfBase + QStringLiteral(".pdf");
        for (int n = 2; QFileInfo::exists(path) && n < 100; ++n)
            path = j.pdfBase + QStringLiteral(" (%1).pdf").arg(n);
        why = writePdf(j.receipt, s.paperMm, path, j.title);
        if (why.isEmpty())
            return {true, QStringLiteral("PDF kaydedildi: %1").arg(QDir::toNativeSeparators(path))};
        break;
    }
    }
    return {false, why};
}
} // namespace

Printer::Printer(QObject *parent) : QObject(parent), m_shared(std::make_shared<Shared>())
{
    m_shared->owner = this;
}

Printer::~Printer()
{
    // What waited is dropped; a job being printed is let finish, within its timeout, so that
    // the program does not end under a worker still drawing a page or sending a receipt.
    QMutexLocker lock(&m_shared->mutex);
    m_shared->owner = nullptr;
    for (Shared::Queue &queue : m_shared->queues)
        queue.jobs.clear();
    const QDeadlineTimer deadline(m_timeoutMs + 1000);
    while (m_shared->workers > 0)
        if (!m_shared->ended.wait(&m_shared->mutex, deadline))
            break;
}

quint64 Printer::print(const Receipt &receipt, const PrinterSetup &setup, Purpose purpose,
                       const QString &title)
{
    const quint64 id = ++m_lastJob;
    ++m_pending;
    const QString queue = queueOf(setup);
    m_waiting.insert(id, {queue, rawport::noAnswerText(where(setup), m_timeoutMs), nullptr});
    if (setup.kind == PrinterSetup::Kind::None) {
        QMetaObject::invokeMethod(
            this, [this, id] { reported(id, false, kNoPrinter); }, Qt::QueuedConnection);
        return id;
    }
    Job job{id,
            receipt,
            setup,
            purpose,
            title,
            QDir(setup.pdfFolder)
                .filePath(QStringLiteral("%1 %2").arg(
                    fileNameOf(title),
                    QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH.mm.ss")))),
            m_timeoutMs};

    QMutexLocker lock(&m_shared->mutex);
    Shared::Queue &waiting = m_shared->queues[queue];
    waiting.jobs << job;
    if (waiting.running)
        return id;
    waiting.running = true;
    ++m_shared->workers;
    QThread *worker = QThread::create([shared = m_shared, queue] {
        for (;;) {
            Job next;
            {
                QMutexLocker lock(&shared->mutex);
                Shared::Queue &mine = shared->queues[queue];
                if (mine.jobs.isEmpty()) {
                    mine.running = false;
                    --shared->workers;
                    shared->ended.wakeAll();
                    return;
                }
                next = mine.jobs.takeFirst();
                // Posted under the lock: the printer cannot go between the look and the post,
                // and a destroyed object's posted calls are dropped with it.
                if (Printer *owner = shared->owner)
                    QMetaObject::invokeMethod(
                        owner, [owner, id = next.id] { owner->started(id); }, Qt::QueuedConnection);
            }
            const auto [ok, message] = run(next);
            QMutexLocker lock(&shared->mutex);
            if (Printer *owner = shared->owner)
                QMetaObject::invokeMethod(
                    owner,
                    [owner, id = next.id, ok = ok, message = message] {
                        owner->reported(id, ok, message);
                    },
                    Qt::QueuedConnection);
        }
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
    return id;
}

void Printer::started(quint64 job)
{
    const auto found = m_waiting.find(job);
    if (found == m_waiting.end())
        return;
    auto *watchdog = new QTimer(this);
    watchdog->setSingleShot(true);
    connect(watchdog, &QTimer::timeout, this, [this, job] { givenUp(job); });
    watchdog->start(m_timeoutMs + 1000);
    found->watchdog = watchdog;
}

void Printer::givenUp(quint64 job)
{
    const auto found = m_waiting.constFind(job);
    if (found == m_waiting.cend())
        return;
    const QString queue = found->printer;
    const QString noAnswer = found->noAnswer;
    QList<quint64> behind;
    {
        QMutexLocker lock(&m_shared->mutex);
        for (const Job &j : std::as_const(m_shared->queues[queue].jobs))
            behind << j.id;
        m_shared->queues[queue].jobs.clear();
    }
    reported(job, false, noAnswer);
    for (quint64 id : std::as_const(behind))
        reported(id, false, noAnswer);
}

void Printer::reported(quint64 job, bool ok, const QString &message)
{
    const auto found = m_waiting.constFind(job);
    if (found == m_waiting.cend())
        return;
    if (QTimer *watchdog = found->watchdog)
        watchdog->deleteLater();
    m_waiting.erase(found);
    --m_pending;
    emit finished(job, ok, message);
}

} // namespace kv::print
