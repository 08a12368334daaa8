#ifndef QX_PLATFORM_DB_RWDB_EXPR_H_
#define QX_PLATFORM_DB_RWDB_EXPR_H_

#include <memory>

#include "platform/db/rw_cstring.h"
#include "platform/db/rwdb_blob.h"
#include "platform/db/rwdb_date_time.h"
#include "platform/db/rwdb_null_indicator.h"

namespace qx::db {
struct ExprNode;
class StorableText;
}  // namespace qx::db

// The NULL value, as in `inserter["eventTime"] << rwdbNull`.
struct RWDBNullType {};
inline constexpr RWDBNullType rwdbNull{};

// A value expression of a statement: a constant, a bound program variable, a
// column, or NULL. Constants are copied when the expression is made and, like
// every value, sent to the server as bound parameters: no caller data ever
// becomes SQL text. A value type (shares its immutable tree).
class RWDBExpr {
 public:
  RWDBExpr();                       // empty: binds NULL
  RWDBExpr(RWDBNullType);           // NOLINT: implicit by design
  RWDBExpr(int v);                  // NOLINT
  RWDBExpr(long v);                 // NOLINT
  RWDBExpr(unsigned long v);        // NOLINT
  RWDBExpr(const char* v);          // NOLINT
  RWDBExpr(const RWCString& v);     // NOLINT
  RWDBExpr(const std::string& v);   // NOLINT
  RWDBExpr(const RWDBDateTime& v);  // NOLINT: an invalid date-time binds NULL
  RWDBExpr(const RWDBBlob& v);      // NOLINT

  bool isEmpty() const;
  const std::shared_ptr<const qx::db::ExprNode>& node() const { return node_; }
  explicit RWDBExpr(std::shared_ptr<const qx::db::ExprNode> n) : node_(std::move(n)) {}

 private:
  std::shared_ptr<const qx::db::ExprNode> node_;
};

// A program variable bound into a prepared statement: the statement reads the
// variable each time it is executed, so a statement is prepared once and run
// many times. The variable must outlive every execution of the statement.
// With a null indicator, NULL is bound while the indicator is set. A bound
// RWDBDateTime that is not valid binds NULL. `int` is bound as an integer.
class RWDBBoundExpr : public RWDBExpr {
 public:
  RWDBBoundExpr(RWCString* v, RWDBNullIndicator* n = nullptr);
  RWDBBoundExpr(int* v, RWDBNullIndicator* n = nullptr);
  RWDBBoundExpr(long* v, RWDBNullIndicator* n = nullptr);
  RWDBBoundExpr(unsigned long* v, RWDBNullIndicator* n = nullptr);
  RWDBBoundExpr(RWDBDateTime* v, RWDBNullIndicator* n = nullptr);
  RWDBBoundExpr(RWDBBlob* v, RWDBNullIndicator* n = nullptr);
  // A text checked when it was made, bound as it stands; NULL while it is a default one.
  explicit RWDBBoundExpr(const qx::db::StorableText* v);
};

// A condition (WHERE clause): column comparisons combined with &&, || and !.
class RWDBCriterion {
 public:
  RWDBCriterion() = default;  // empty: no condition
  explicit RWDBCriterion(std::shared_ptr<const qx::db::ExprNode> n) : node_(std::move(n)) {}
  bool isEmpty() const { return node_ == nullptr; }
  const std::shared_ptr<const qx::db::ExprNode>& node() const { return node_; }

 private:
  std::shared_ptr<const qx::db::ExprNode> node_;
};

// Combining an empty criterion with another yields the other.
RWDBCriterion operator&&(const RWDBCriterion& a, const RWDBCriterion& b);
RWDBCriterion operator||(const RWDBCriterion& a, const RWDBCriterion& b);
RWDBCriterion operator!(const RWDBCriterion& a);

// One assignment of an UPDATE's SET list (column.assign(value)).
class RWDBAssignment {
 public:
  RWDBAssignment(const RWCString& column, const RWDBExpr& value) : column_(column), value_(value) {}
  const RWCString& columnName() const { return column_; }
  const RWDBExpr& value() const { return value_; }

 private:
  RWCString column_;
  RWDBExpr value_;
};

#endif  // QX_PLATFORM_DB_RWDB_EXPR_H_
