#ifndef QX_PLATFORM_DB_RWDB_SELECTOR_H_
#define QX_PLATFORM_DB_RWDB_SELECTOR_H_

#include <memory>

#include "platform/db/rwdb_column.h"
#include "platform/db/rwdb_expr.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_result.h"

class RWDBConnection;
class RWDBTable;
namespace qx::db {
class StatementImpl;
}

// SELECT columns FROM table WHERE criterion.
//
//   RWDBSelector sel = db.selector();
//   sel << t["logrecordid"] << t["perceivedseverity"];   // or: sel << t  (all columns)
//   sel.where(t["moi_id"] == RWDBBoundExpr(&image.moi) && t["clearstate"] == "unCleared");
//   RWDBReader r = sel.reader(conn);
//
// The table is the one the columns came from (or given with from()); one
// table per selector. Prepared on first execution; bound variables are read
// at each execution. execute() runs the query and keeps its rows for the next
// reader() call, which then does not run it again; reader() alone runs it.
// Running the selector again ends its previous reader. A handle.
//
// A selector may also give values (constants or bound variables) among its columns,
// order its rows and stop after a number of them:
//
//   sel << t["logrecordid"];
//   sel.value(RWDBBoundExpr(&action));          // the same value on every row
//   sel.orderBy(t["loggingtime"]).orderBy(t["logrecordid"]).limit(RWDBBoundExpr(&n));
//
// Rows are ordered ascending, NULL first, on every server. Such a selector is also the
// source of an INSERT ... SELECT (RWDBTable::inserter(source, columns)).
class RWDBSelector {
 public:
  RWDBSelector() = default;
  explicit RWDBSelector(std::shared_ptr<qx::db::StatementImpl> impl) : impl_(std::move(impl)) {}

  // Adds a column of a table to the select list.
  RWDBSelector& operator<<(const RWDBColumn& c);
  // Selects every column of t (SELECT *).
  RWDBSelector& operator<<(const RWDBTable& t);
  RWDBSelector& from(const RWDBTable& t);
  RWDBSelector& where(const RWDBCriterion& c);
  // Adds a value (a constant or a bound variable, read at each execution) to the
  // select list.
  RWDBSelector& value(const RWDBExpr& v);
  // Orders the rows by a column, ascending with NULL first; called again, by the next.
  RWDBSelector& orderBy(const RWDBColumn& c);
  // At most `n` rows (a constant or a bound variable).
  RWDBSelector& limit(const RWDBExpr& n);

  RWDBResult execute(const RWDBConnection& conn);
  RWDBResult execute();
  RWDBReader reader(const RWDBConnection& conn);
  RWDBReader reader();
  RWCString asString() const;
  RWDBStatus status() const;
  bool isValid() const { return status().isValid(); }

  const std::shared_ptr<qx::db::StatementImpl>& impl() const { return impl_; }

 private:
  std::shared_ptr<qx::db::StatementImpl> impl_;
};

#endif  // QX_PLATFORM_DB_RWDB_SELECTOR_H_
