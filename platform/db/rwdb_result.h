#ifndef QX_PLATFORM_DB_RWDB_RESULT_H_
#define QX_PLATFORM_DB_RWDB_RESULT_H_

#include "platform/db/rwdb_status.h"

// The outcome of executing a statement: its status and, for INSERT, UPDATE and
// DELETE, the number of rows it touched (-1 when not known). A value type.
class RWDBResult {
 public:
  RWDBResult() = default;
  explicit RWDBResult(const RWDBStatus& s, long rows = -1) : status_(s), rows_(rows) {}
  const RWDBStatus& status() const { return status_; }
  bool isValid() const { return status_.isValid(); }
  long rowCount() const { return rows_; }

 private:
  RWDBStatus status_;
  long rows_ = -1;
};

#endif  // QX_PLATFORM_DB_RWDB_RESULT_H_
