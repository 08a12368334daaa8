#ifndef QX_PLATFORM_DB_RWDB_INSERTER_H_
#define QX_PLATFORM_DB_RWDB_INSERTER_H_

#include <memory>

#include "platform/db/rwdb_expr.h"
#include "platform/db/rwdb_result.h"

class RWDBConnection;
namespace qx::db {
class StatementImpl;
}

// INSERT of one row into a table, prepared on first execution and executed
// many times: bound variables are read at each execute.
//
//   RWDBInserter ins = table.inserter();
//   ins["eventTime"] << RWDBBoundExpr(&image.eventTime);
//   ins["logRecordId"] << RWDBBoundExpr(&image.id);
//   ins.execute(conn);                        // reads the variables now
//   ins["eventTime"] << rwdbNull;             // rebind: NULL from now on
//   ins.execute(conn);
//   ins["eventTime"] << RWDBBoundExpr(&image.eventTime);  // and back
//
// `ins[name] << expr` names a column and gives its value; naming a column a
// second time replaces its value (a rebind: the SQL text does not change, so
// nothing is prepared again). `ins << expr` without a name gives the value of
// the next column in table order (no column list in the statement). Values
// are always bound parameters.
//
// A handle: copies share the statement. One thread at a time.
class RWDBInserter {
 public:
  RWDBInserter() = default;  // not valid
  explicit RWDBInserter(std::shared_ptr<qx::db::StatementImpl> impl) : impl_(std::move(impl)) {}

  RWDBInserter& operator[](const RWCString& columnName);
  RWDBInserter& operator<<(const RWDBExpr& value);
  // Same as `(*this)[columnName] << value`.
  RWDBInserter& rebind(const RWCString& columnName, const RWDBExpr& value);

  // Executes on conn (the database's default connection when omitted).
  RWDBResult execute(const RWDBConnection& conn);
  RWDBResult execute();
  // The SQL text with placeholders.
  RWCString asString() const;
  RWDBStatus status() const;
  bool isValid() const { return status().isValid(); }

  const std::shared_ptr<qx::db::StatementImpl>& impl() const { return impl_; }

 private:
  std::shared_ptr<qx::db::StatementImpl> impl_;
};

#endif  // QX_PLATFORM_DB_RWDB_INSERTER_H_
