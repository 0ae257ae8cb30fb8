// The tables edited one at a time: own names, kinds, their order and the kinds' rate bands.
#include "hall.h"

#include "errors.h"
#include "fsys.h"
#include "names.h"

#include <QJsonArray>
#include <QSet>

namespace kv::hall {

namespace {
QString kindName(const TablesLayout &layout, int kind)
{
    return kind >= 0 && kind < layout.kinds.size() ? layout.kinds.at(kind).name : QString();
}
} // namespace

QStringList Hall::namesOf(int count) const
{
    const QString prefix = m_settings.value(SettingsLine::TablePrefix);
    QStringList names;
    QSet<QString> taken; // upper case, as names compare
    for (int k = 0; k < count; ++k) {
        QString name;
        if (k < m_layout.tables.size()) {
            name = m_layout.tables.at(k).name;
        } else {
            for (int n = k + 1; taken.contains((name = kv::tableName(prefix, n)).toUpper()); ++n) {
            }
        }
        names << name;
        taken.insert(name.toUpper());
    }
    return names;
}

TablesLayout Hall::fullLayout() const
{
    TablesLayout next = m_layout;
    for (int t = int(next.tables.size()); t < tableCount(); ++t)
        next.tables << TableSetup{m_names.at(t), -1};
    return next;
}

void Hall::checkEditable() const
{
    if (!m_layoutProblem.isEmpty())
        throwError(m_layoutProblem);
}

void Hall::saveLayout(const TablesLayout &next, const ledger::NewEvent &change)
{
    checkEditable();
    if (const QString why = tablesProblem(next); !why.isEmpty())
        throwError(why);
    RecordList lines;
    lines.assign(tablesLines(next));
    saveList(m_tablesFile, m_paths.tablesFile(), lines, change);
    m_layout = next;
}

void Hall::rereadLayout()
{
    m_layoutProblem.clear();
    try {
        if (files::kind(m_paths.tablesFile()) == files::Kind::Missing)
            m_tablesFile.assign({});
        else
            m_tablesFile.load(m_paths.tablesFile());
        m_layout =
            m_tablesFile.lines().isEmpty() ? TablesLayout() : readTables(m_tablesFile.lines());
    } catch (const RuntimeError &e) {
        m_layout = {};
        m_layoutProblem = e.text();
    }
}

void Hall::relist(const std::function<int(int)> &from)
{
    const std::vector<QList<qint64>> bookedAt = m_bookedAt;
    listTables();
    loadExtras();
    // The extras are where they were (or went along with their table): so are their times.
    for (int t = 0; t < tableCount(); ++t) {
        const size_t before = size_t(from ? from(t) : t);
        if (before < bookedAt.size())
            m_bookedAt[size_t(t)] = bookedAt[before];
    }
    emit tablesChanged();
}

void Hall::dropLayoutPast(int count)
{
    if (m_layout.tables.size() <= count)
        return;
    TablesLayout next = m_layout;
    next.tables.resize(count);
    try {
        saveLayout(next, {});
    } catch (const RuntimeError &) {
        // Left in place it names no table; the next table added takes it.
    }
}

void Hall::keepLayoutOf(int count, const QString &oldPrefix)
{
    TablesLayout next = m_layout;
    if (next.tables.size() > count)
        next.tables.resize(count);
    const QString prefix = m_settings.value(SettingsLine::TablePrefix);
    if (prefix != oldPrefix) {
        // A name the old prefix gave was never chosen: it follows the new one, past the own
        // names.
        QSet<QString> taken;
        QList<int> plain;
        for (int k = 0; k < next.tables.size(); ++k) {
            if (next.tables.at(k).name == kv::tableName(oldPrefix, k + 1))
                plain << k;
            else
                taken.insert(next.tables.at(k).name.toUpper());
        }
        for (int k : std::as_const(plain)) {
            QString name;
            for (int n = k + 1; taken.contains((name = kv::tableName(prefix, n)).toUpper()); ++n) {
            }
            next.tables[k].name = name;
            taken.insert(name.toUpper());
        }
    }
    if (next != m_layout)
        saveLayout(next, {});
}

void Hall::saveKinds(const QList<TableKind> &kinds, const QList<int> &origins)
{
    checkEditable();
    QList<int> from = origins;
    if (from.isEmpty())
        for (int k = 0; k < kinds.size(); ++k)
            from << (k < m_layout.kinds.size() ? k : -1);
    if (from.size() != kinds.size())
        throwError(QStringLiteral("Masa türleri kaydedilemedi."));
    TablesLayout next = m_layout;
    next.kinds = kinds;
    if (const QString why = tablesProblem(next); !why.isEmpty())
        throwError(why);
    QStringList added, removed, changed;
    for (int k = 0; k < kinds.size(); ++k) {
        const int old = from.at(k);
        if (old < 0 || old >= m_layout.kinds.size()) {
            added << kinds.at(k).name;
            continue;
        }
        const TableKind &was = m_layout.kinds.at(old);
        if (was != kinds.at(k))
            changed << kinds.at(k).name;
        if (was.bands == kinds.at(k).bands && was.minimum == kinds.at(k).minimum)
            continue;
        // The bands and minimum price an open account as it runs; its fee was fixed at opening.
        for (int t = 0; t < tableCount(); ++t)
            if (m_layout.tables.value(t).kind == old && hasAccount(t))
                throwError(QStringLiteral("%1 açık: %2 türünün zaman dilimleri ve en az ücreti "
                                          "açık hesabı fiyatlar. Hesap kapandıktan sonra "
                                          "değiştirin.")
                               .arg(tableName(t), was.name));
    }
    for (int t = 0; t < next.tables.size(); ++t) {
        TableSetup &table = next.tables[t];
        if (table.kind < 0)
            continue;
        const int now = int(from.indexOf(table.kind));
        if (now < 0 && t < tableCount())
            throwError(QStringLiteral("%1 türünü %2 kullanıyor; tür silinemez.")
                           .arg(m_layout.kinds.value(table.kind).name, tableName(t)));
        table.kind = now; // an entry past the count keeps no kind that went
    }
    for (int k = 0; k < m_layout.kinds.size(); ++k)
        if (!from.contains(k))
            removed << m_layout.kinds.at(k).name;
    if (next == m_layout)
        return;
    const auto listed = qScopeGuard([this] { relist(); });
    saveLayout(next, newEvent(QStringLiteral("kinds"), QString(),
                              {{"old", int(m_layout.kinds.size())},
                               {"new", int(kinds.size())},
                               {"added", QJsonArray::fromStringList(added)},
                               {"removed", QJsonArray::fromStringList(removed)},
                               {"changed", QJsonArray::fromStringList(changed)}}));
}

void Hall::renameTable(int table, const QString &name)
{
    checkEditable();
    if (table < 0 || table >= tableCount())
        throwListIndex(table);
    const QString old = tableName(table);
    if (name == old)
        return;
    QStringList others = m_names;
    others.removeAt(table);
    if (const QString why = names::problem(name, names::NameUse::TableName, others); !why.isEmpty())
        throwError(why);
    // Never over extras that some table left behind.
    const QString path = m_paths.tableExtrasFile(name);
    if (files::kind(path) != files::Kind::Missing)
        throwError(QStringLiteral("%1 dosyası var: %2 bu ada geçerse o extralar bu masaya "
                                  "eklenir. Masa adı değiştirilmedi.")
                       .arg(files::native(path), old));
    if (!m_tablesFile.known())
        throwError(QStringLiteral("%1 okunamadığı için üzerine kaydedilmedi!")
                       .arg(files::native(m_paths.tablesFile())));
    TablesLayout next = fullLayout();
    next.tables[table].name = name;
    if (const QString why = tablesProblem(next); !why.isEmpty())
        throwError(why);
    // Whatever became of the step, the hall follows the files.
    bool done = false;
    const auto listed = qScopeGuard([&] {
        if (done) {
            m_tablesFile.assign(tablesLines(next));
            m_layout = next;
        } else {
            rereadLayout();
        }
        relist();
    });
    m_operations->renameTable(
        old, name, m_paths.tablesFile(), RecordList::toBytes(tablesLines(next)),
        newEvent(QStringLiteral("table_rename"), old, {{"old", old}, {"new", name}}));
    done = true;
}

void Hall::setTableKind(int table, int kind)
{
    checkEditable();
    if (table < 0 || table >= tableCount())
        throwListIndex(table);
    if (kind < -1 || kind >= m_layout.kinds.size())
        throwListIndex(kind);
    TablesLayout next = fullLayout();
    const int old = next.tables.at(table).kind;
    if (old == kind)
        return;
    if (hasAccount(table))
        throwError(QStringLiteral("%1 açık: ücreti açılışta türünden alındı. Türü hesap "
                                  "kapandıktan sonra değiştirin.")
                       .arg(tableName(table)));
    next.tables[table].kind = kind;
    const auto listed = qScopeGuard([this] { relist(); });
    saveLayout(next, newEvent(QStringLiteral("table_kind"), tableName(table),
                              {{"old", kindName(m_layout, old)}, {"new", kindName(next, kind)}}));
}

void Hall::moveTable(int table, int by)
{
    checkEditable();
    if (table < 0 || table >= tableCount())
        throwListIndex(table);
    const int other = table + by;
    if ((by != -1 && by != 1) || other < 0 || other >= tableCount())
        throwError(QStringLiteral("%1 %2.").arg(tableName(table),
                                                by < 0 ? QStringLiteral("zaten en üstte")
                                                       : QStringLiteral("zaten en altta")));
    for (int t : {table, other})
        if (hasAccount(t))
            throwError(QStringLiteral("%1 açık: hesaplar masaların sırasıyla kayıtlı olduğu için "
                                      "açık masanın yeri değiştirilemez.")
                           .arg(tableName(t)));
    TablesLayout next = fullLayout();
    next.tables.swapItemsAt(table, other);
    bool moved = false;
    const auto listed = qScopeGuard([&] {
        // Their extras files go by their names: so do their booking times.
        relist([&](int t) { return !moved ? t : t == table ? other : t == other ? table : t; });
    });
    const QString name = tableName(table);
    saveLayout(next, newEvent(QStringLiteral("table_order"), name,
                              {{"name", name}, {"from", table + 1}, {"to", other + 1}}));
    moved = true;
}

} // namespace kv::hall
