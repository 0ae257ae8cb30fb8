#pragma once

#include "applocale.h"

namespace kv {
// The main window's unit-fee caption in single-fee and in multiple-fee mode.
inline QString unitFeeCaption(qint64 fee)
{
    return QStringLiteral("Birim Ücret   :  ") + formatAmount(fee);
}
inline QString multipleFeesCaption()
{
    return QStringLiteral("Birim Ücret   :Çoklu Ücretlendirme!");
}
} // namespace kv
