// AttrValChgT: the record table of a log's attribute value change records
// (attributeValueChangeRecord, 2.9.3.2.3.2). An EventLogT of its own class description; see
// eventlog.h for the contract.
#pragma once

#include "infra/tolk_map/tables/eventlog.h"

class AttrValChgT : public EventLogT {
 public:
  explicit AttrValChgT(LogMapper* owner);
  // The class description: table stem "AVChR", synonym suffix "avChg".
  static const qx::EventClass& description();
};
