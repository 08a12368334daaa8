#include "platform/value/private_arc.h"

namespace qx {

#define QX_PRIVATE(suffix) QX_PRIVATE_ARC suffix

const NameDefinition kPlatformNames[] = {
    // Record classes.
    {"qxAlarmRecord", QX_PRIVATE(".2.2.2.16.3.1"), NameKind::kObjectClass},
    {"internetAlarmRecord", QX_PRIVATE(".2.2.2.16.3.2"), NameKind::kObjectClass},
    {"correlationAlarmRecord", QX_PRIVATE(".2.2.2.8.3.111"), NameKind::kObjectClass},
    // What operators did with an alarm.
    {"ackState", QX_PRIVATE(".2.2.2.16.7.1"), NameKind::kAttribute},
    {"ackTime", QX_PRIVATE(".2.2.2.16.7.2"), NameKind::kAttribute},
    {"ackOperator", QX_PRIVATE(".2.2.2.16.7.3"), NameKind::kAttribute},
    {"ackText", QX_PRIVATE(".2.2.2.16.7.4"), NameKind::kAttribute},
    {"clearState", QX_PRIVATE(".2.2.2.16.7.5"), NameKind::kAttribute},
    {"clearTime", QX_PRIVATE(".2.2.2.16.7.6"), NameKind::kAttribute},
    {"clearOperator", QX_PRIVATE(".2.2.2.16.7.7"), NameKind::kAttribute},
    {"clearText", QX_PRIVATE(".2.2.2.16.7.8"), NameKind::kAttribute},
    {"displayState", QX_PRIVATE(".2.2.2.16.7.9"), NameKind::kAttribute},
    {"displayTime", QX_PRIVATE(".2.2.2.16.7.10"), NameKind::kAttribute},
    {"displayOperator", QX_PRIVATE(".2.2.2.16.7.11"), NameKind::kAttribute},
    {"displayText", QX_PRIVATE(".2.2.2.16.7.12"), NameKind::kAttribute},
    // The alarm-correlation feature.
    {"mosiSeverity", QX_PRIVATE(".2.2.2.8.7.21"), NameKind::kAttribute},
    {"mosiStateID", QX_PRIVATE(".2.2.2.8.7.22"), NameKind::kAttribute},
    // Alarms raised from SNMP traps.
    {"objectInstanceList", QX_PRIVATE(".2.2.2.9.2.7.1"), NameKind::kAttribute},
    {"transportDomain", QX_PRIVATE(".2.2.2.9.2.7.3"), NameKind::kAttribute},
    {"snmpVarBindList", QX_PRIVATE(".2.2.2.9.2.4.1.1.13"), NameKind::kAttribute},
    {"internetTrapInfo", QX_PRIVATE(".2.2.2.9.2.4.1.1.14"), NameKind::kAttribute},
    {"accessControlInfo", QX_PRIVATE(".2.2.2.9.2.4.1.1.15"), NameKind::kAttribute},
};

#undef QX_PRIVATE

const size_t kNumPlatformNames = sizeof(kPlatformNames) / sizeof(kPlatformNames[0]);

}  // namespace qx
