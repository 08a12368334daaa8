// ObjcrtT: the record table of a log's object creation records (objectCreationRecord, 2.9.3.2.3.8).
// An EventLogT of its own class description (object_records.cpp); see eventlog.h for the
// contract.
#pragma once

#include "infra/tolk_map/tables/eventlog.h"

class ObjcrtT : public EventLogT {
 public:
  explicit ObjcrtT(LogMapper* owner);
  // The class description: table stem "ObCre", synonym suffix "objcrt".
  static const qx::EventClass& description();
};
