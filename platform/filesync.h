#pragma once

class QString;

namespace kv {

// Forces a file's contents and its directory entry to disk, as a record save does after
// writing; false when either fails. Lets the cost of that step be measured on its own.
bool syncFileToDisk(const QString &path);

} // namespace kv
