#include "tablesfile.h"

#include "codec.h"
#include "errors.h"
#include "names.h"

#include <limits>

namespace kv::hall {

namespace {
const QString kHeader = QStringLiteral("KELVORA MASALAR 1");
const QString kTimesHeader = QStringLiteral("KELVORA SURELER 1");
// A time change's kind as the file names it.
const std::pair<counter::TimeChange::Kind, const char *> kChangeNames[] = {
    {counter::TimeChange::Kind::Fee, "ucret"},
    {counter::TimeChange::Kind::Pause, "durdur"},
    {counter::TimeChange::Kind::Resume, "devam"},
    {counter::TimeChange::Kind::Correction, "duzelt"},
};
constexpr int kMaxKinds = 100;
constexpr int kMaxBands = 50;
constexpr int kMaxTables = 1000;

QString daysText(quint8 days)
{
    QStringList out;
    for (int d = 0; d < 7; ++d)
        if ((days >> d) & 1)
            out << QString::number(d + 1);
    return out.join(QLatin1Char(','));
}

// Reads the lines in order; each failure names the line it stopped at (counted from 1).
class Reader
{
public:
    explicit Reader(const QStringList &lines, QString file)
        : m_lines(lines), m_file(std::move(file))
    {
    }

    [[noreturn]] void fail(const QString &what) const
    {
        throwError(QStringLiteral("%1 dosyasının %2. satırı okunamadı: %3")
                       .arg(m_file)
                       .arg(m_next)
                       .arg(what));
    }
    QString text()
    {
        if (m_next >= m_lines.size()) {
            ++m_next;
            fail(QStringLiteral("dosya erken bitiyor"));
        }
        return m_lines.at(m_next++);
    }
    qint64 number(qint64 max, qint64 min = 0)
    {
        bool ok = false;
        const qint64 n = text().toLongLong(&ok);
        if (!ok || n < min || n > max)
            fail(QStringLiteral("%1 ile %2 arası bir sayı olmalı").arg(min).arg(max));
        return n;
    }
    QTime time()
    {
        const QTime t = QTime::fromString(text(), QStringLiteral("HH:mm"));
        if (!t.isValid())
            fail(QStringLiteral("SS:dd biçiminde bir saat olmalı"));
        return t;
    }
    quint8 days()
    {
        quint8 out = 0;
        for (const QString &d : text().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            bool ok = false;
            const int n = d.toInt(&ok);
            if (!ok || n < 1 || n > 7)
                fail(QStringLiteral("günler 1 (Pazartesi) ile 7 (Pazar) arası olmalı"));
            out |= quint8(1 << (n - 1));
        }
        return out;
    }
    bool atEnd() const { return m_next >= m_lines.size(); }

private:
    const QStringList &m_lines;
    QString m_file;
    int m_next = 0;
};
} // namespace

QStringList tablesLines(const TablesLayout &layout)
{
    QStringList out{kHeader, QString::number(layout.kinds.size())};
    for (const TableKind &kind : layout.kinds) {
        out << kind.name << QString::number(kind.fee)
            << (kind.minimum ? QString::number(*kind.minimum) : QString())
            << QString::number(kind.bands.size());
        for (const counter::RateBand &band : kind.bands)
            out << daysText(band.days) << band.from.toString(QStringLiteral("HH:mm"))
                << band.to.toString(QStringLiteral("HH:mm")) << QString::number(band.fee);
    }
    out << QString::number(layout.tables.size());
    for (const TableSetup &table : layout.tables)
        out << table.name << (table.kind < 0 ? QString() : QString::number(table.kind + 1));
    return out;
}

TablesLayout readTables(const QStringList &lines)
{
    Reader r(lines, QStringLiteral("Masa bilgileri"));
    if (r.text() != kHeader)
        r.fail(QStringLiteral("başlık \"%1\" olmalı").arg(kHeader));
    TablesLayout layout;
    for (qint64 k = r.number(kMaxKinds); k > 0; --k) {
        TableKind kind;
        kind.name = r.text();
        kind.fee = r.number(std::numeric_limits<int>::max());
        if (const QString minimum = r.text(); !minimum.isEmpty()) {
            bool ok = false;
            kind.minimum = minimum.toLongLong(&ok);
            if (!ok || *kind.minimum < 0)
                r.fail(QStringLiteral("en az ücret boş ya da bir sayı olmalı"));
        }
        for (qint64 b = r.number(kMaxBands); b > 0; --b) {
            counter::RateBand band;
            band.days = r.days();
            band.from = r.time();
            band.to = r.time();
            band.fee = r.number(std::numeric_limits<int>::max());
            kind.bands << band;
        }
        layout.kinds << kind;
    }
    for (qint64 t = r.number(kMaxTables); t > 0; --t) {
        TableSetup table;
        table.name = r.text();
        if (const QString kind = r.text(); !kind.isEmpty()) {
            bool ok = false;
            table.kind = kind.toInt(&ok) - 1;
            if (!ok || table.kind < 0 || table.kind >= layout.kinds.size())
                r.fail(QStringLiteral("masa türü 1 ile %1 arası olmalı").arg(layout.kinds.size()));
        }
        layout.tables << table;
    }
    if (!r.atEnd())
        r.fail(QStringLiteral("dosyanın sonundan sonra satır var"));
    if (const QString why = tablesProblem(layout); !why.isEmpty())
        throwError(QStringLiteral("Masa bilgileri dosyası kullanılamıyor: %1").arg(why));
    return layout;
}

QString tablesProblem(const TablesLayout &layout)
{
    QStringList kinds;
    for (const TableKind &kind : layout.kinds) {
        if (kind.name.trimmed().isEmpty())
            return QStringLiteral("Her masa türünün bir adı olmalı.");
        // Kept in a Windows-1254 file, one name to a line.
        if (!canEncode1254(kind.name) ||
            std::any_of(kind.name.cbegin(), kind.name.cend(),
                        [](QChar c) { return c.category() == QChar::Other_Control; }))
            return QStringLiteral("\"%1\" masa türü adında kullanılamayan bir işaret var.")
                .arg(kind.name);
        for (const QString &other : kinds)
            if (other.compare(kind.name, Qt::CaseInsensitive) == 0)
                return QStringLiteral("\"%1\" adlı iki masa türü var.").arg(kind.name);
        kinds << kind.name;
        if (const QString why = counter::bandsProblem(kind.bands); !why.isEmpty())
            return QStringLiteral("%1: %2").arg(kind.name, why);
    }
    QStringList taken;
    for (const TableSetup &table : layout.tables) {
        if (const QString why = names::problem(table.name, names::NameUse::TableName, taken);
            !why.isEmpty())
            return why;
        taken << table.name;
    }
    return QString();
}

QStringList timesLines(const QList<AccountTimes> &accounts)
{
    QStringList out{kTimesHeader, QString::number(accounts.size())};
    for (const AccountTimes &a : accounts) {
        out << QString::number(a.table + 1) << a.dateLine << a.timeLine
            << QString::number(a.startFee) << QString::number(a.changes.size());
        for (const counter::TimeChange &c : a.changes) {
            for (const auto &[kind, name] : kChangeNames)
                if (kind == c.kind)
                    out << QLatin1String(name);
            out << QString::number(c.atMs);
            switch (c.kind) {
            case counter::TimeChange::Kind::Fee:
                out << QString::number(c.fee);
                break;
            case counter::TimeChange::Kind::Correction:
                out << QString::number(c.minutes);
                break;
            default:
                out << QString();
            }
            out << c.reason;
        }
    }
    return out;
}

QList<AccountTimes> readTimes(const QStringList &lines)
{
    using Kind = counter::TimeChange::Kind;
    constexpr qint64 kMaxMs = qint64(1) << 50;
    constexpr qint64 kMaxMinutes = 1000000;
    Reader r(lines, QStringLiteral("Süre değişiklikleri"));
    if (r.text() != kTimesHeader)
        r.fail(QStringLiteral("başlık \"%1\" olmalı").arg(kTimesHeader));
    QList<AccountTimes> out;
    for (qint64 n = r.number(kMaxTables); n > 0; --n) {
        AccountTimes a;
        a.table = int(r.number(kMaxTables, 1)) - 1;
        a.dateLine = r.text();
        a.timeLine = r.text();
        a.startFee = r.number(std::numeric_limits<int>::max());
        for (qint64 k = r.number(10000); k > 0; --k) {
            counter::TimeChange c;
            const QString name = r.text();
            bool known = false;
            for (const auto &[kind, text] : kChangeNames)
                if (name == QLatin1String(text)) {
                    c.kind = kind;
                    known = true;
                }
            if (!known)
                r.fail(QStringLiteral("bilinmeyen değişiklik \"%1\"").arg(name));
            c.atMs = r.number(kMaxMs, -kMaxMs);
            if (c.kind == Kind::Fee)
                c.fee = r.number(std::numeric_limits<int>::max());
            else if (c.kind == Kind::Correction)
                c.minutes = r.number(kMaxMinutes, -kMaxMinutes);
            else
                r.text();
            c.reason = r.text();
            a.changes << c;
        }
        out << a;
    }
    if (!r.atEnd())
        r.fail(QStringLiteral("dosyanın sonundan sonra satır var"));
    return out;
}

} // namespace kv::hall
