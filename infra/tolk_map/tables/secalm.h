// SecAlmT: the record table of a log's security alarm report records
// (securityAlarmReportRecord, 2.9.3.2.3.11). An EventLogT of its own class description; see
// eventlog.h for the contract.
#pragma once

#include "infra/tolk_map/tables/eventlog.h"

class SecAlmT : public EventLogT {
 public:
  explicit SecAlmT(LogMapper* owner);
  // The class description: table stem "secur", synonym suffix "secAlm".
  static const qx::EventClass& description();
};
