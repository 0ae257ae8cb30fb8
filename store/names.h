#pragma once

#include <QString>
#include <QStringList>

namespace kv::names {

// What a name the operator types becomes.
enum class NameUse {
    Extra,       // a line of the record files only
    TablePrefix, // the start of every table's name, and so of its extras file's name
    TableName,   // a table's own name, and so its extras file's name
};

// Why the name cannot be stored exactly as typed, as a sentence for the operator that names
// the offending character; empty when it can. `taken` holds the other names of the same
// kind where they must differ (table names, compared ignoring case as Windows does).
QString problem(const QString &name, NameUse use, const QStringList &taken = {});

} // namespace kv::names
