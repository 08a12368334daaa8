#ifndef QX_PLATFORM_DB_EXPR_NODE_H_
#define QX_PLATFORM_DB_EXPR_NODE_H_

// The tree behind RWDBExpr and RWDBCriterion, and its rendering into SQL with
// placeholders. Internal to the layer.

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "platform/db/column_text.h"
#include "platform/db/driver.h"
#include "platform/db/rw_cstring.h"
#include "platform/db/rwdb_blob.h"
#include "platform/db/rwdb_date_time.h"
#include "platform/db/rwdb_null_indicator.h"

namespace qx::db {

struct ExprNode {
  enum Kind { kConst, kBound, kColumn, kNull, kCompare, kLike, kIsNull, kIn, kAnd, kOr, kNot };
  enum Var { vText, vInt, vLong, vULong, vDateTime, vBlob, vStorableText };
  Kind kind = kNull;
  // kConst: the value, in the form it is bound.
  Param::Kind constKind = Param::kNull;
  int64_t constInt = 0;
  int32_t constOffset = 0;
  std::string constBytes;
  bool constOutOfRange = false;  // an unsigned constant above the integer range
  // kBound
  Var var = vText;
  const void* ptr = nullptr;
  RWDBNullIndicator* indicator = nullptr;
  // kColumn
  std::string column;
  // kCompare: "=", "<>", ">=", ">", "<=", "<"
  const char* op = "";
  std::shared_ptr<const ExprNode> left, right;
  // kIn: the values `left` is compared with.
  std::vector<std::shared_ptr<const ExprNode>> items;
};

using NodePtr = std::shared_ptr<const ExprNode>;

// Folds name to lower case (ASCII) and quotes it, doubling embedded quotes.
// invalidName for an empty name, a NUL byte, or more than 63 bytes (the
// longest name PostgreSQL keeps whole).
RWDBStatus quote_identifier(const std::string& name, std::string* out);
std::string fold_name(const std::string& name);

// Builds the text of a statement, collecting the value nodes its
// placeholders stand for.
class SqlBuilder {
 public:
  explicit SqlBuilder(const Driver& d) : driver_(d) {}
  // Appends a value (constant, bound variable or NULL) as a placeholder, or a
  // column as its quoted name.
  RWDBStatus value(const NodePtr& n);
  // The same for a value in a select list (Driver::selectPlaceholder).
  RWDBStatus selectValue(const NodePtr& n);
  RWDBStatus criterion(const NodePtr& n);
  RWDBStatus identifier(const std::string& name);
  SqlBuilder& text(const char* s) {
    sql_ += s;
    return *this;
  }
  std::string& sql() { return sql_; }
  std::vector<NodePtr>& params() { return params_; }

 private:
  const Driver& driver_;
  std::string sql_;
  std::vector<NodePtr> params_;
};

// The parameter a value node stands for at this moment (reads bound
// variables). typeConflict for an unsigned value above the integer range or a
// text that is not UTF-8 or holds NUL bytes. Text and blob parameters point
// into the node or the bound variable.
RWDBStatus evaluate(const ExprNode& n, Param* out);

// A bound variable apart from its node: what a statement reads for a placeholder at
// each execution, kept in one array so that binding a row walks no tree.
struct BoundVar {
  ExprNode::Var var = ExprNode::vText;
  const void* ptr = nullptr;
  const RWDBNullIndicator* indicator = nullptr;
};

// Why a value of a bound variable cannot be bound (the text check, the integer range).
RWDBStatus unbindable_text();
RWDBStatus unbindable_unsigned();

// A text parameter: valid UTF-8 without NUL bytes, what both servers store as text alike.
inline RWDBStatus text_param(const char* p, size_t n, Param* out) {
  if (storable_prefix(p, n, 0) != n) return unbindable_text();
  out->kind = Param::kText;
  out->data = p;
  out->size = n;
  return RWDBStatus();
}

// The parameter of a bound variable at this moment; the errors of evaluate(). Every
// placeholder of every row written goes through here, so it is inline: the statement's
// binding loop then makes no call but the text check.
inline RWDBStatus read_bound(const BoundVar& b, Param* out) {
  if (b.indicator != nullptr && b.indicator->isNull()) {
    out->kind = Param::kNull;
    return RWDBStatus();
  }
  switch (b.var) {
    case ExprNode::vText: {
      const RWCString& s = *static_cast<const RWCString*>(b.ptr);
      return text_param(s.data(), s.length(), out);
    }
    case ExprNode::vStorableText: {  // checked when it was made
      const StorableText& t = *static_cast<const StorableText*>(b.ptr);
      if (t.null()) {
        out->kind = Param::kNull;
        return RWDBStatus();
      }
      out->kind = Param::kText;
      out->data = t.data();
      out->size = t.size();
      return RWDBStatus();
    }
    case ExprNode::vInt:
      out->kind = Param::kInt;
      out->i = *static_cast<const int*>(b.ptr);
      return RWDBStatus();
    case ExprNode::vLong:
      out->kind = Param::kInt;
      out->i = *static_cast<const long*>(b.ptr);
      return RWDBStatus();
    case ExprNode::vULong: {
      unsigned long v = *static_cast<const unsigned long*>(b.ptr);
      if (v > static_cast<unsigned long>(std::numeric_limits<int64_t>::max()))
        return unbindable_unsigned();
      out->kind = Param::kInt;
      out->i = static_cast<int64_t>(v);
      return RWDBStatus();
    }
    case ExprNode::vDateTime: {
      const RWDBDateTime& d = *static_cast<const RWDBDateTime*>(b.ptr);
      if (!d.isValid()) {
        out->kind = Param::kNull;
        return RWDBStatus();
      }
      out->kind = Param::kDateTime;
      out->i = d.millisSinceEpoch();
      out->offset = d.offsetSeconds();
      return RWDBStatus();
    }
    case ExprNode::vBlob: {
      const RWDBBlob& blob = *static_cast<const RWDBBlob*>(b.ptr);
      out->kind = Param::kBlob;
      out->data = reinterpret_cast<const char*>(blob.data());
      out->size = blob.length();
      return RWDBStatus();
    }
  }
  out->kind = Param::kNull;
  return RWDBStatus();
}

}  // namespace qx::db

#endif  // QX_PLATFORM_DB_EXPR_NODE_H_
