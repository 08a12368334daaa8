#ifndef QX_PLATFORM_DB_RWDB_COLUMN_H_
#define QX_PLATFORM_DB_RWDB_COLUMN_H_

#include <vector>

#include "platform/db/rw_cstring.h"
#include "platform/db/rwdb_expr.h"
#include "platform/db/rwdb_status.h"
#include "platform/db/rwdb_value.h"

// A column: its name, value type, storage length (characters for String,
// bytes for Blob; 0 = no limit) and whether it takes NULL. Also the left side
// of criteria and assignments. A column fetched by a position that does not
// exist has status invalidPosition (11). A value type.
//
// Names are case-insensitive: the layer folds them to lower case (ASCII) and
// quotes them in SQL, and reports them in lower case.
class RWDBColumn {
 public:
  RWDBColumn() = default;
  explicit RWDBColumn(const RWCString& name, RWDBValue::ValueType type = RWDBValue::NoType,
                      long storageLength = 0, bool nullAllowed = true)
      : name_(name), type_(type), storageLength_(storageLength), nullAllowed_(nullAllowed) {}

  const RWCString& name() const { return name_; }
  RWDBValue::ValueType type() const { return type_; }
  long storageLength() const { return storageLength_; }
  bool nullAllowed() const { return nullAllowed_; }
  RWDBColumn& name(const RWCString& n) {
    name_ = n;
    return *this;
  }
  RWDBColumn& type(RWDBValue::ValueType t) {
    type_ = t;
    return *this;
  }
  RWDBColumn& storageLength(long l) {
    storageLength_ = l;
    return *this;
  }
  RWDBColumn& nullAllowed(bool b) {
    nullAllowed_ = b;
    return *this;
  }
  // The table the column was taken from (empty for a free-standing column).
  const RWCString& tableName() const { return table_; }
  RWDBColumn& tableName(const RWCString& t) {
    table_ = t;
    return *this;
  }

  const RWDBStatus& status() const { return status_; }
  bool isValid() const { return status_.isValid(); }
  static RWDBColumn invalid(const RWDBStatus& s) {
    RWDBColumn c;
    c.status_ = s;
    return c;
  }

  // Conditions on this column. like() is case-sensitive on every server, with
  // % and _ as wildcards and backslash as the escape character.
  RWDBCriterion operator==(const RWDBExpr& e) const;
  RWDBCriterion operator!=(const RWDBExpr& e) const;
  RWDBCriterion operator>=(const RWDBExpr& e) const;
  RWDBCriterion operator>(const RWDBExpr& e) const;
  RWDBCriterion operator<=(const RWDBExpr& e) const;
  RWDBCriterion operator<(const RWDBExpr& e) const;
  RWDBCriterion like(const RWDBExpr& pattern) const;
  RWDBCriterion isNull() const;
  // The column equals one of `values` (none: no row). Each value is a parameter: keep
  // a list to a few thousand (the servers take 32,766 and 65,535 parameters at most).
  RWDBCriterion in(const std::vector<RWDBExpr>& values) const;
  RWDBAssignment assign(const RWDBExpr& e) const { return RWDBAssignment(name_, e); }

 private:
  RWCString name_;
  RWDBValue::ValueType type_ = RWDBValue::NoType;
  long storageLength_ = 0;
  bool nullAllowed_ = true;
  RWCString table_;
  RWDBStatus status_;
};

#endif  // QX_PLATFORM_DB_RWDB_COLUMN_H_
