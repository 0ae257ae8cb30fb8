#include "events.h"

#include "clock.h"
#include "ledger.h"
#include "operations.h"
#include "recordlist.h"
#include "sqlwrite.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <atomic>

namespace kv::ledger {

namespace {
const QByteArray kHashTag = QByteArrayLiteral("kelvora-events-1");

// A name kept on one line of the row's hashed text.
QString clean(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text)
        if (c.category() != QChar::Other_Control && c != QChar::LineSeparator &&
            c != QChar::ParagraphSeparator)
            out += c;
    return out;
}

QVariant nullable(const std::optional<qint64> &value)
{
    return value ? QVariant(*value) : QVariant(QMetaType(QMetaType::LongLong));
}

std::atomic<int> s_verifiers{0};

// "Defter.zincir" beside "Defter.db", as its id file.
QString besideLedger(const QString &ledgerPath, const QString &suffix)
{
    const QFileInfo info(ledgerPath);
    return info.path() + QLatin1Char('/') + info.completeBaseName() + suffix;
}
// A row of "SELECT id, at, operator, kind, table_name, detail, amount, prev_hash, hash".
Event eventOfRow(const QSqlQuery &q)
{
    Event e;
    e.id = q.value(0).toLongLong();
    e.at = q.value(1).toString();
    e.op = q.value(2).toString();
    e.kind = q.value(3).toString();
    e.table = q.value(4).isNull() ? std::nullopt : std::optional(q.value(4).toString());
    e.detail = q.value(5).toString().toUtf8();
    e.amount = q.value(6).isNull() ? std::nullopt : std::optional(q.value(6).toLongLong());
    e.prevHash = q.value(7).toString();
    e.hash = q.value(8).toString();
    return e;
}
} // namespace

QString brokenText(qint64 id)
{
    return QStringLiteral(
               "Defter bozulmuş: %1 numaralı kayıt değiştirilmiş, silinmiş ya da araya eklenmiş!")
        .arg(id);
}

QString ChainHead::shortText() const
{
    return QStringLiteral("%1 · %2").arg(id).arg(hash.left(12));
}

QByteArray compactJson(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QString eventTime(const QDateTime &moment)
{
    const int offset = moment.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return moment.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss")) +
           QLatin1Char(offset < 0 ? '-' : '+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString eventHash(const Event &e)
{
    QByteArray text = kHashTag;
    const auto field = [&text](const QByteArray &bytes) {
        text += '\n';
        text += bytes;
    };
    field(e.prevHash.toUtf8());
    field(QByteArray::number(e.id));
    field(e.at.toUtf8());
    field(e.op.toUtf8());
    field(e.kind.toUtf8());
    field(e.table ? e.table->toUtf8() : QByteArray());
    field(e.detail);
    field(e.amount ? QByteArray::number(*e.amount) : QByteArray());
    return QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex());
}

QString firstPrevHash()
{
    return QString(64, QLatin1Char('0'));
}

Event chainEvent(const NewEvent &n, const QString &op, const QString &at, qint64 id,
                 const QString &prevHash)
{
    Event e;
    e.id = id;
    e.at = at;
    e.op = clean(op);
    if (e.op.isEmpty())
        e.op = QStringLiteral("-");
    e.kind = clean(n.kind);
    const QString table = clean(n.table);
    if (!table.isEmpty())
        e.table = table;
    // Hashed as the ledger stores it: as text.
    e.detail = QString::fromUtf8(n.detail).toUtf8();
    e.amount = n.amount;
    e.prevHash = prevHash;
    e.hash = eventHash(e);
    return e;
}

QByteArray newEventJson(const NewEvent &n, const QString &op)
{
    QJsonObject o{{QStringLiteral("kind"), n.kind},
                  {QStringLiteral("table"), n.table},
                  {QStringLiteral("detail"), QString::fromUtf8(n.detail)},
                  {QStringLiteral("operator"), op}};
    if (n.amount)
        o.insert(QStringLiteral("amount"), QString::number(*n.amount));
    return compactJson(o);
}

std::optional<std::pair<NewEvent, QString>> newEventFromJson(const QByteArray &json)
{
    const QJsonDocument doc = QJsonDocument::fromJson(json);
    if (!doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    NewEvent n{o.value(QStringLiteral("kind")).toString(),
               o.value(QStringLiteral("table")).toString(),
               o.value(QStringLiteral("detail")).toString().toUtf8(),
               {}};
    // As text: a double would round amounts past 2^53.
    if (o.contains(QStringLiteral("amount")))
        n.amount = o.value(QStringLiteral("amount")).toString().toLongLong();
    return std::pair{n, o.value(QStringLiteral("operator")).toString()};
}

Event insertEvent(const Ledger &ledger, const NewEvent &n, const QString &op, const QString &at)
{
    QSqlQuery &head = ledger.statement("SELECT id, hash FROM events ORDER BY id DESC LIMIT 1");
    execOrThrow(ledger, head);
    qint64 id = 1;
    QString prev = firstPrevHash();
    if (head.next()) {
        id = head.value(0).toLongLong() + 1;
        prev = head.value(1).toString();
    }
    head.finish();
    const Event e = chainEvent(n, op, at, id, prev);
    QSqlQuery &q = ledger.statement(
        "INSERT INTO events(id, at, operator, kind, table_name, detail, amount, prev_hash, hash)"
        " VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?)");
    q.bindValue(0, e.id);
    q.bindValue(1, e.at);
    q.bindValue(2, e.op);
    q.bindValue(3, e.kind);
    q.bindValue(4, e.table ? QVariant(*e.table) : QVariant(QMetaType(QMetaType::QString)));
    q.bindValue(5, QString::fromUtf8(e.detail));
    q.bindValue(6, nullable(e.amount));
    q.bindValue(7, e.prevHash);
    q.bindValue(8, e.hash);
    execOrThrow(ledger, q);
    return e;
}

ChainCheck verifyChain(const QSqlDatabase &db, const QString &anchorsPath)
{
    ChainCheck out;
    // Every break, not only the first: one acknowledged must not hide a later one.
    QSet<qint64> breaks;
    const auto bad = [&breaks](qint64 id) { breaks.insert(id); };
    // What the chain must hold at some ids: each bill's settle event, each closing's head.
    QHash<qint64, QString> anchors;
    const auto anchor = [&](qint64 id, const QString &hash) {
        const auto known = anchors.constFind(id);
        if (known != anchors.cend() && *known != hash)
            bad(id); // two anchors disagree: one of them names a row since changed
        anchors.insert(id, hash);
    };
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT settle_event, settle_hash FROM bills"
                               " WHERE settle_event IS NOT NULL"))) {
        out.text = QStringLiteral("Defter okunamadı: %1").arg(q.lastError().text());
        return out;
    }
    while (q.next())
        anchor(q.value(0).toLongLong(), q.value(1).toString());
    q.finish();
    if (const std::optional<QByteArray> bytes = files::readWhole(anchorsPath)) {
        for (const QByteArray &line : bytes->split('\n')) {
            const QList<QByteArray> f = line.trimmed().split('\t');
            bool ok = false;
            const qint64 id = f.size() == 3 ? f.at(1).toLongLong(&ok) : 0;
            if (ok && id > 0)
                anchor(id, QString::fromLatin1(f.at(2)));
        }
    }

    if (!q.exec(QStringLiteral("SELECT id, at, operator, kind, table_name, detail, amount,"
                               " prev_hash, hash FROM events ORDER BY id"))) {
        out.text = QStringLiteral("Defter okunamadı: %1").arg(q.lastError().text());
        return out;
    }
    Event e;
    QString prev = firstPrevHash();
    qint64 last = 0;
    while (q.next()) {
        e = eventOfRow(q);
        ++out.count;
        // A missing id is the row deleted; an id too far on, or a broken link, a row put in.
        if (e.id != last + 1)
            bad(last + 1);
        else if (e.prevHash != prev || eventHash(e) != e.hash)
            bad(e.id);
        const auto anchored = anchors.constFind(e.id);
        if (anchored != anchors.cend() && *anchored != e.hash)
            bad(e.id);
        prev = e.hash;
        last = e.id;
    }
    // An anchor beyond the last row: the chain was cut at its end.
    for (auto it = anchors.cbegin(); it != anchors.cend(); ++it)
        if (it.key() > last)
            bad(last + 1);
    out.breaks = breaks.values();
    std::sort(out.breaks.begin(), out.breaks.end());
    out.firstBad = out.breaks.value(0);
    out.ok = out.breaks.isEmpty();
    out.text = out.ok ? QStringLiteral("Defter sağlam: %1 kayıt").arg(out.count)
                      : brokenText(out.firstBad);
    return out;
}

ChainCheck verifyChain(const QString &ledgerPath)
{
    const QString name = QStringLiteral("kelvora-chain-%1").arg(++s_verifiers);
    ChainCheck out;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(ledgerPath);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=3000"));
        if (!db.open())
            out.text = QStringLiteral("Defter okunamadı: %1").arg(db.lastError().text());
        else
            out = verifyChain(db, Ledger::anchorsFile(ledgerPath));
    }
    QSqlDatabase::removeDatabase(name);
    return out;
}

// The ledger's own part of the log.

std::optional<Event> Ledger::lastEvent() const
{
    QSqlQuery &q = statement("SELECT id, at, operator, kind, table_name, detail, amount,"
                             " prev_hash, hash FROM events ORDER BY id DESC LIMIT 1");
    if (!q.exec())
        sqlFailed(q.lastError());
    std::optional<Event> out;
    if (q.next())
        out = eventOfRow(q);
    q.finish();
    return out;
}

QSet<qint64> Ledger::acknowledgedBreaks() const
{
    QSet<qint64> out;
    if (!readable())
        return out;
    QSqlQuery &q = statement("SELECT detail FROM events WHERE kind = 'verify_ack'");
    if (!q.exec())
        sqlFailed(q.lastError());
    while (q.next()) {
        const QJsonObject o = QJsonDocument::fromJson(q.value(0).toString().toUtf8()).object();
        for (const QJsonValue v : o.value(QStringLiteral("breaks")).toArray())
            out.insert(v.toInteger());
    }
    q.finish();
    return out;
}

ChainHead Ledger::chainHead() const
{
    const std::optional<Event> last = lastEvent();
    return last ? ChainHead{last->id, last->hash} : ChainHead{0, firstPrevHash()};
}

Event Ledger::appendEvent(const NewEvent &event, const QString &op)
{
    Event out;
    transaction(*this, [&](QSqlDatabase &) {
        out = insertEvent(*this, event, op, eventTime(clock::now()));
    });
    return out;
}

bool Ledger::appendAnchor(const QDate &date) const
{
    const ChainHead head = chainHead();
    const QByteArray line = date.toString(QStringLiteral("yyyy-MM-dd")).toLatin1() + '\t' +
                            QByteArray::number(head.id) + '\t' + head.hash.toLatin1() + '\n';
    return files::appendDurably(anchorsFile(m_path), line);
}

qint64 Ledger::lastAnchorId() const
{
    const std::optional<QByteArray> bytes = files::readWhole(anchorsFile(m_path));
    if (!bytes)
        return 0;
    const QList<QByteArray> lines = bytes->trimmed().split('\n');
    const QList<QByteArray> f = lines.last().split('\t');
    return f.size() == 3 ? f.at(1).toLongLong() : 0;
}

QString Ledger::anchorsFile(const QString &ledgerPath)
{
    return besideLedger(ledgerPath, QStringLiteral(".zincir"));
}

QString Ledger::waitingEventsFile(const QString &ledgerPath)
{
    return besideLedger(ledgerPath, QStringLiteral(".bekleyen"));
}

} // namespace kv::ledger
