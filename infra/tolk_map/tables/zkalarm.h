// ZKAlarmT: the record table of a log's correlation alarm records, the alarm records of
// the platform's alarm-correlation feature (correlationAlarmRecord). The alarm table's
// attributes and operations, with the feature's two integers, mosiSeverity and
// mosiStateID. An AlarmLogT of its own class description; see alarmlog.h.
#pragma once

#include "infra/tolk_map/tables/alarmlog.h"

extern const Oid mosiSeverityOid;  // PRIVATE_ARC.2.2.2.8.7.21
extern const Oid mosiStateOid;     // PRIVATE_ARC.2.2.2.8.7.22

class ZKAlarmT : public AlarmLogT {
 public:
  explicit ZKAlarmT(LogMapper* owner);
  // The class description: table stem "ZkvCt", synonym suffix "zkvAlm".
  static const qx::AlarmClass& description();
};
