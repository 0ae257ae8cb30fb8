#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

class QJsonObject;
class QSqlDatabase;

// Who did what, chained: every change the counter makes is an event row whose hash covers
// the row before it, so a row changed, deleted or inserted afterwards shows.
namespace kv::ledger {

class Ledger;

// An event as its writer knows it; the ledger gives it its id, time, operator and hashes.
struct NewEvent
{
    QString kind;      // empty: no event
    QString table;     // empty: none
    QByteArray detail; // compact JSON, stored and hashed exactly as given
    std::optional<qint64> amount;
    bool isEmpty() const { return kind.isEmpty(); }
};

struct Event
{
    qint64 id = 0;
    QString at, op, kind;
    std::optional<QString> table;
    QByteArray detail;
    std::optional<qint64> amount;
    QString prevHash, hash;
};

// The chain's head, as reports show it.
struct ChainHead
{
    qint64 id = 0;
    QString hash;
    // "ID · the first characters of its hash"
    QString shortText() const;
};

struct ChainCheck
{
    bool ok = false;
    qint64 count = 0;
    qint64 firstBad = 0;  // the first row found changed, deleted or inserted
    QList<qint64> breaks; // every row where it breaks, in order (firstBad is the first)
    QString text;         // what the operator reads
};

// "Defter bozulmuş: ID numaralı kayıt …": a break named to the operator.
QString brokenText(qint64 id);

QByteArray compactJson(const QJsonObject &object);
// Local time with its offset, never "Z" and without fractions: "2026-12-09T20:15:00+03:00".
QString eventTime(const QDateTime &moment);
// The hash of a row as it stands; the fields are not cleaned here, so a changed one shows.
QString eventHash(const Event &event);
// The previous hash of the first row.
QString firstPrevHash();

// The row a new event becomes at `id` after `prevHash`: operator, kind and table without
// control characters, an empty table none, an empty operator "-"; hashed.
Event chainEvent(const NewEvent &event, const QString &op, const QString &at, qint64 id,
                 const QString &prevHash);

// A new event with its operator as one line of JSON (the journal keeps it until its step is
// done) and back; nullopt for a text that is not one.
QByteArray newEventJson(const NewEvent &event, const QString &op);
std::optional<std::pair<NewEvent, QString>> newEventFromJson(const QByteArray &json);

// Appends the event inside the open transaction of the ledger's own connection: its id follows
// the last row's, read in that transaction (another program may have written since). `at` as
// eventTime() writes it.
Event insertEvent(const Ledger &ledger, const NewEvent &event, const QString &op,
                  const QString &at);

// Walks every row in id order, recomputing each hash, link and id, and checks the anchors:
// each bill's settle event and each line of the anchors file. Opens a read-only connection of
// its own, so it may run on any thread.
ChainCheck verifyChain(const QString &ledgerPath);
ChainCheck verifyChain(const QSqlDatabase &db, const QString &anchorsPath);

} // namespace kv::ledger
