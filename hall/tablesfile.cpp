#include "tablesfile.h"

#include "errors.h"
#include "names.h"

#include <limits>

namespace kv::hall {

namespace {
const QString kHeader = QStringLiteral("KELVORA MASALAR 1");
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
    explicit Reader(const QStringList &lines) : m_lines(lines) {}

    [[noreturn]] void fail(const QString &what) const
    {
        throwError(QStringLiteral("Masa bilgileri dosyasının %1. satırı okunamadı: %2")
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
    qint64 number(qint64 max)
    {
        bool ok = false;
        const qint64 n = text().toLongLong(&ok);
        if (!ok || n < 0 || n > max)
            fail(QStringLiteral("0 ile %1 arası bir sayı olmalı").arg(max));
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
    Reader r(lines);
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

} // namespace kv::hall
