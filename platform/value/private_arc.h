#ifndef QX_PLATFORM_VALUE_PRIVATE_ARC_H_
#define QX_PLATFORM_VALUE_PRIVATE_ARC_H_

#include <cstddef>

#include "platform/value/standard_names.h"

// The platform's own arc of object identifiers. Every identifier the platform
// defines for itself (its alarm record classes and their attributes) lies
// below it. QX_PRIVATE_ARC is the same text for building identifiers by
// literal concatenation: Oid(QX_PRIVATE_ARC ".2.2.2.16.7.1").
#define QX_PRIVATE_ARC "1.3.6.1.4.1.32473"
inline constexpr const char PRIVATE_ARC[] = QX_PRIVATE_ARC;

namespace qx {

// The platform's own identifiers below PRIVATE_ARC, each with its registered
// name: the alarm record classes (platform alarm, internet alarm raised from
// SNMP traps, correlation alarm) and their attributes.
extern const NameDefinition kPlatformNames[];
extern const size_t kNumPlatformNames;

}  // namespace qx

#endif  // QX_PLATFORM_VALUE_PRIVATE_ARC_H_
