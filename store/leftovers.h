#pragma once

#include <QString>

namespace kv {

// Removes what an interrupted save left in one directory: the temporary files that a save
// names after its target, "<record file>.<6 letters A-Z a-z>", for the four record files of
// the data directory and the table extras files (*.msex). Nothing else is touched, so an
// operator's own files stay. Returns how many were removed.
int removeSaveLeftovers(const QString &dir);

// True for the name of such a temporary file.
bool isSaveLeftoverName(const QString &name);

} // namespace kv
