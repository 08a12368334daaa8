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

  RWDBResult execute(const RWDBConnection& conn);
  RWDBResult execute();
  RWDBReader reader(const RWDBConnection& conn);
  RWDBReader reader();
  RWCString asString() const;
  RWDBStatus status() const;
  bool isValid() const { return status().isValid(); }

 private:
  std::shared_ptr<qx::db::StatementImpl> impl_;
};

#endif  // QX_PLATFORM_DB_RWDB_SELECTOR_H_
