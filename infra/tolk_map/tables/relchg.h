// RelChgT: the record table of a log's relationship change records
// (relationshipChangeRecord, 2.9.3.2.3.10). An EventLogT of its own class description; see
// eventlog.h for the contract.
#pragma once

#include "infra/tolk_map/tables/eventlog.h"

class RelChgT : public EventLogT {
 public:
  explicit RelChgT(LogMapper* owner);
  // The class description: table stem "relCh", synonym suffix "relChg".
  static const qx::EventClass& description();
};
