// QxAlarmT: the record table of a log's alarm records, the platform's own alarm record
// class (qxAlarmRecord). An AlarmLogT of its own class description; see alarmlog.h and
// eventlog.h for the contract.
#pragma once

#include "infra/tolk_map/tables/alarmlog.h"

class QxAlarmT : public AlarmLogT {
 public:
  explicit QxAlarmT(LogMapper* owner);
  // The class description: table stem "qxAlm", synonym suffix "qxAlm".
  static const qx::AlarmClass& description();
};
