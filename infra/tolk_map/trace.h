// The mapper's debug streams and its debug switch.
#pragma once

#include <string>

#include "platform/value/debug_stream.h"

// Error and information traces of the mapper (off unless QX_DEBUG_STREAMS names them).
extern ErrorI18n tolk_error;
extern DebugI18n tolk_info;

// With the debug switch (QX_TOLK_MAPPING_DEBUG) on, further trace lines go to standard
// output.
extern int tolk_map_debug;

namespace qx {
// ": " and the reason of the failure that the operation just called on a table object
// caught, for a dispatcher that fails because of it to append to its own reason; empty
// when it caught none.
std::string inner_reason();
}  // namespace qx
