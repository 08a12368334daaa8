// ObjdltT: the record table of a log's object deletion records (objectDeletionRecord, 2.9.3.2.3.9).
// An EventLogT of its own class description (object_records.cpp); see eventlog.h for the
// contract.
#pragma once

#include "infra/tolk_map/tables/eventlog.h"

class ObjdltT : public EventLogT {
 public:
  explicit ObjdltT(LogMapper* owner);
  // The class description: table stem "ObDel", synonym suffix "objdlt".
  static const qx::EventClass& description();
};
