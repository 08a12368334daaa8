// StateChgT: the record table of a log's state change records (stateChangeRecord, 2.9.3.2.3.12).
// An EventLogT of its own class description; see eventlog.h for the contract.
#pragma once

#include "infra/tolk_map/tables/eventlog.h"

class StateChgT : public EventLogT {
 public:
  explicit StateChgT(LogMapper* owner);
  // The class description: table stem "stChg", synonym suffix "stChg".
  static const qx::EventClass& description();
};
