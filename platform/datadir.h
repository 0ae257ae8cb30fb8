#pragma once

#include <QString>

namespace kv {

// "C:/Kelvora" on Windows; elsewhere the per-user data location + "/Kelvora".
QString defaultDataDir();

} // namespace kv
