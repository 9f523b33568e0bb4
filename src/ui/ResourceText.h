#pragma once
// The string table's texts (resources/StringTable.h) as the Qt strings the window shows.

#include "resources/StringTable.h"

#include <QString>

namespace orv {

inline QString ResourceText(int id) { return QString::fromUtf8(ResourceString(id)); }

}  // namespace orv
