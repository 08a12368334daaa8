#ifndef QX_PLATFORM_DB_RWDB_DELETER_H_
#define QX_PLATFORM_DB_RWDB_DELETER_H_

#include <memory>

#include "platform/db/rwdb_expr.h"
#include "platform/db/rwdb_result.h"

class RWDBConnection;
namespace qx::db {
class StatementImpl;
}

// DELETE FROM table WHERE criterion (every row without a criterion). Prepared
// on first execution; bound variables are read at each execute. A handle.
class RWDBDeleter {
 public:
  RWDBDeleter() = default;
  explicit RWDBDeleter(std::shared_ptr<qx::db::StatementImpl> impl) : impl_(std::move(impl)) {}

  RWDBDeleter& where(const RWDBCriterion& c);
  RWDBResult execute(const RWDBConnection& conn);
  RWDBResult execute();
  RWCString asString() const;
  RWDBStatus status() const;
  bool isValid() const { return status().isValid(); }

  const std::shared_ptr<qx::db::StatementImpl>& impl() const { return impl_; }

 private:
  std::shared_ptr<qx::db::StatementImpl> impl_;
};

#endif  // QX_PLATFORM_DB_RWDB_DELETER_H_
