// Which record-table classes exist: a log builds one table object per type that has a
// factory here, in TABLE_TYPE order, and nothing fails for a type without one.
#pragma once

#include "tolk.h"

namespace qx {

// Builds the table object of a type for `owner`; it creates or attaches to its table.
using TableFactory = LogMapper* (*)(LogMapper* owner);

// The factory of a type, or null when that table class is not built yet.
TableFactory table_factory(TABLE_TYPE type);

}  // namespace qx
