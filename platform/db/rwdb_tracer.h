#ifndef QX_PLATFORM_DB_RWDB_TRACER_H_
#define QX_PLATFORM_DB_RWDB_TRACER_H_

#include <ostream>

#include "platform/db/rw_cstring.h"

// Writes a line for every statement sent to the server (the SQL text, never
// the bound values) and for the layer's own notes (storage clauses), while
// switched on. Off by default. Belongs to its database.
class RWDBTracer {
 public:
  enum TraceFlag { NoTrace = 0, SQL = 1, BoundBuffers = 2, All = 3 };

  void setOn(int flags) { flags_ = flags; }
  void setOff() { flags_ = NoTrace; }
  bool isOn() const { return flags_ != NoTrace && os_ != nullptr; }
  // REQUIRES: os outlives the tracer or is replaced first.
  void stream(std::ostream& os) { os_ = &os; }
  // Writes "qxdb: " text and a line end when on.
  void trace(const RWCString& text);

 private:
  int flags_ = NoTrace;
  std::ostream* os_ = nullptr;
};

#endif  // QX_PLATFORM_DB_RWDB_TRACER_H_
