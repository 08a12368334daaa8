#ifndef QX_PLATFORM_DB_RWDB_UPDATER_H_
#define QX_PLATFORM_DB_RWDB_UPDATER_H_

#include <memory>

#include "platform/db/rwdb_expr.h"
#include "platform/db/rwdb_result.h"

class RWDBConnection;
namespace qx::db {
class StatementImpl;
}

// UPDATE table SET assignments WHERE criterion.
//
//   RWDBUpdater up = table.updater();
//   up << table["ackstate"].assign(RWDBBoundExpr(&ack.state));
//   up.set("acktime", RWDBBoundExpr(&ack.time));
//   up.where(table["logrecordid"] == RWDBBoundExpr(&ack.id));
//   up.execute(conn);
//
// Assigning a column twice keeps the last assignment. An updater without
// assignments executes nothing and returns a valid result with rowCount 0.
// Prepared on first execution (again only if assignments or the criterion
// change); bound variables are read at each execute. A handle.
class RWDBUpdater {
 public:
  RWDBUpdater() = default;
  explicit RWDBUpdater(std::shared_ptr<qx::db::StatementImpl> impl) : impl_(std::move(impl)) {}

  RWDBUpdater& set(const RWDBAssignment& a);
  RWDBUpdater& operator<<(const RWDBAssignment& a) { return set(a); }
  RWDBUpdater& set(const RWCString& columnName, const RWDBExpr& value) {
    return set(RWDBAssignment(columnName, value));
  }
  RWDBUpdater& where(const RWDBCriterion& c);
  // Number of assignments so far.
  size_t entries() const;

  RWDBResult execute(const RWDBConnection& conn);
  RWDBResult execute();
  RWCString asString() const;
  RWDBStatus status() const;
  bool isValid() const { return status().isValid(); }

  const std::shared_ptr<qx::db::StatementImpl>& impl() const { return impl_; }

 private:
  std::shared_ptr<qx::db::StatementImpl> impl_;
};

#endif  // QX_PLATFORM_DB_RWDB_UPDATER_H_
