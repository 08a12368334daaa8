#include "platform/db/expr_node.h"

#include <cstring>
#include <limits>

#include "platform/db/rwdb_column.h"
#include "platform/db/rwdb_expr.h"

namespace qx::db {

std::string fold_name(const std::string& name) {
  std::string r(name);
  for (char& c : r) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return r;
}

RWDBStatus quote_identifier(const std::string& name, std::string* out) {
  if (name.empty()) return layer_error(RWDBStatus::invalidName, "empty name");
  if (name.find('\0') != std::string::npos)
    return layer_error(RWDBStatus::invalidName, "name holds a NUL byte");
  if (name.size() > 63)
    return layer_error(RWDBStatus::invalidName, "name longer than 63 bytes: " + name.substr(0, 63));
  out->push_back('"');
  for (char c : fold_name(name)) {
    if (c == '"') out->push_back('"');
    out->push_back(c);
  }
  out->push_back('"');
  return RWDBStatus();
}

RWDBStatus SqlBuilder::identifier(const std::string& name) { return quote_identifier(name, &sql_); }

RWDBStatus SqlBuilder::value(const NodePtr& n) {
  if (!n) {  // empty expression: NULL
    sql_ += "NULL";
    return RWDBStatus();
  }
  switch (n->kind) {
    case ExprNode::kColumn:
      return identifier(n->column);
    case ExprNode::kConst:
    case ExprNode::kBound:
    case ExprNode::kNull:
      params_.push_back(n);
      sql_ += driver_.placeholder(params_.size());
      return RWDBStatus();
    default:
      return layer_error(RWDBStatus::invalidUsage, "a condition used as a value");
  }
}

RWDBStatus SqlBuilder::selectValue(const NodePtr& n) {
  if (!n || (n->kind != ExprNode::kConst && n->kind != ExprNode::kBound)) return value(n);
  Param::Kind kind = n->constKind;
  if (n->kind == ExprNode::kBound) {
    switch (n->var) {
      case ExprNode::vText:
      case ExprNode::vStorableText:
        kind = Param::kText;
        break;
      case ExprNode::vInt:
      case ExprNode::vLong:
      case ExprNode::vULong:
        kind = Param::kInt;
        break;
      case ExprNode::vDateTime:
        kind = Param::kDateTime;
        break;
      case ExprNode::vBlob:
        kind = Param::kBlob;
        break;
    }
  }
  params_.push_back(n);
  sql_ += driver_.selectPlaceholder(params_.size(), kind);
  return RWDBStatus();
}

RWDBStatus SqlBuilder::criterion(const NodePtr& n) {
  if (!n) return layer_error(RWDBStatus::invalidUsage, "empty condition");
  RWDBStatus s;
  switch (n->kind) {
    case ExprNode::kCompare: {
      bool rightNull = !n->right || n->right->kind == ExprNode::kNull;
      if (rightNull && (std::string(n->op) == "=" || std::string(n->op) == "<>")) {
        // Comparing with the NULL constant means asking whether it is NULL.
        sql_ += "(";
        if (!(s = value(n->left)).isValid()) return s;
        sql_ += std::string(n->op) == "=" ? " IS NULL)" : " IS NOT NULL)";
        return s;
      }
      sql_ += "(";
      if (!(s = value(n->left)).isValid()) return s;
      sql_ += " ";
      sql_ += n->op;
      sql_ += " ";
      if (!(s = value(n->right)).isValid()) return s;
      sql_ += ")";
      return s;
    }
    case ExprNode::kLike:
      sql_ += "(";
      if (!(s = value(n->left)).isValid()) return s;
      sql_ += " LIKE ";
      if (!(s = value(n->right)).isValid()) return s;
      sql_ += " ESCAPE '\\')";
      return s;
    case ExprNode::kIsNull:
      sql_ += "(";
      if (!(s = value(n->left)).isValid()) return s;
      sql_ += " IS NULL)";
      return s;
    case ExprNode::kIn:
      // No value: no row (neither server takes an empty list).
      if (n->items.empty()) {
        sql_ += "(0 = 1)";
        return s;
      }
      sql_ += "(";
      if (!(s = value(n->left)).isValid()) return s;
      sql_ += " IN (";
      for (size_t i = 0; i < n->items.size(); ++i) {
        if (i > 0) sql_ += ", ";
        if (!(s = value(n->items[i])).isValid()) return s;
      }
      sql_ += "))";
      return s;
    case ExprNode::kAnd:
    case ExprNode::kOr:
      sql_ += "(";
      if (!(s = criterion(n->left)).isValid()) return s;
      sql_ += n->kind == ExprNode::kAnd ? " AND " : " OR ";
      if (!(s = criterion(n->right)).isValid()) return s;
      sql_ += ")";
      return s;
    case ExprNode::kNot:
      sql_ += "(NOT ";
      if (!(s = criterion(n->left)).isValid()) return s;
      sql_ += ")";
      return s;
    default:
      return layer_error(RWDBStatus::invalidUsage, "a value used as a condition");
  }
}

RWDBStatus evaluate(const ExprNode& n, Param* out) {
  *out = Param();
  switch (n.kind) {
    case ExprNode::kNull:
      return RWDBStatus();
    case ExprNode::kConst:
      if (n.constOutOfRange) return unbindable_unsigned();
      out->kind = n.constKind;
      out->i = n.constInt;
      out->offset = n.constOffset;
      if (n.constKind == Param::kText)
        return text_param(n.constBytes.data(), n.constBytes.size(), out);
      out->data = n.constBytes.data();
      out->size = n.constBytes.size();
      return RWDBStatus();
    case ExprNode::kBound:
      return read_bound(BoundVar{n.var, n.ptr, n.indicator}, out);
    default:
      return layer_error(RWDBStatus::invalidUsage, "not a value");
  }
}

RWDBStatus unbindable_text() {
  return layer_error(RWDBStatus::typeConflict, "text is not UTF-8 or holds a NUL byte");
}

RWDBStatus unbindable_unsigned() {
  return layer_error(RWDBStatus::typeConflict, "unsigned value above the integer range");
}

RWDBStatus layer_error(RWDBStatus::ErrorCode code, const std::string& message) {
  return RWDBStatus(code, message);
}

}  // namespace qx::db

// ---- RWDBExpr, RWDBBoundExpr, RWDBCriterion, RWDBColumn conditions ----

using qx::db::ExprNode;
using qx::db::NodePtr;
using qx::db::Param;

namespace {

std::shared_ptr<ExprNode> make(ExprNode::Kind k) {
  auto n = std::make_shared<ExprNode>();
  n->kind = k;
  return n;
}

std::shared_ptr<ExprNode> constant(Param::Kind k) {
  auto n = make(ExprNode::kConst);
  n->constKind = k;
  return n;
}

std::shared_ptr<ExprNode> bound(ExprNode::Var v, const void* p, RWDBNullIndicator* ind) {
  auto n = make(ExprNode::kBound);
  n->var = v;
  n->ptr = p;
  n->indicator = ind;
  return n;
}

NodePtr int_const(int64_t v) {
  auto n = constant(Param::kInt);
  n->constInt = v;
  return n;
}

NodePtr text_const(const char* p, size_t len) {
  auto n = constant(Param::kText);
  n->constBytes.assign(p, len);
  return n;
}

}  // namespace

RWDBExpr::RWDBExpr() = default;
RWDBExpr::RWDBExpr(RWDBNullType) : node_(make(ExprNode::kNull)) {}
RWDBExpr::RWDBExpr(int v) : node_(int_const(v)) {}
RWDBExpr::RWDBExpr(long v) : node_(int_const(v)) {}
RWDBExpr::RWDBExpr(unsigned long v) {
  auto n = constant(Param::kInt);
  n->constInt = static_cast<int64_t>(v);
  n->constOutOfRange = v > static_cast<unsigned long>(std::numeric_limits<int64_t>::max());
  node_ = n;
}
RWDBExpr::RWDBExpr(const char* v) : node_(text_const(v ? v : "", v ? std::strlen(v) : 0)) {}
RWDBExpr::RWDBExpr(const RWCString& v) : node_(text_const(v.data(), v.length())) {}
RWDBExpr::RWDBExpr(const std::string& v) : node_(text_const(v.data(), v.size())) {}
RWDBExpr::RWDBExpr(const RWDBDateTime& v) {
  if (!v.isValid()) {
    node_ = make(ExprNode::kNull);
    return;
  }
  auto n = constant(Param::kDateTime);
  n->constInt = v.millisSinceEpoch();
  n->constOffset = v.offsetSeconds();
  node_ = n;
}
RWDBExpr::RWDBExpr(const RWDBBlob& v) {
  auto n = constant(Param::kBlob);
  n->constBytes = v.bytes();
  node_ = n;
}
bool RWDBExpr::isEmpty() const { return node_ == nullptr; }

RWDBBoundExpr::RWDBBoundExpr(RWCString* v, RWDBNullIndicator* n)
    : RWDBExpr(bound(ExprNode::vText, v, n)) {}
RWDBBoundExpr::RWDBBoundExpr(int* v, RWDBNullIndicator* n)
    : RWDBExpr(bound(ExprNode::vInt, v, n)) {}
RWDBBoundExpr::RWDBBoundExpr(long* v, RWDBNullIndicator* n)
    : RWDBExpr(bound(ExprNode::vLong, v, n)) {}
RWDBBoundExpr::RWDBBoundExpr(unsigned long* v, RWDBNullIndicator* n)
    : RWDBExpr(bound(ExprNode::vULong, v, n)) {}
RWDBBoundExpr::RWDBBoundExpr(RWDBDateTime* v, RWDBNullIndicator* n)
    : RWDBExpr(bound(ExprNode::vDateTime, v, n)) {}
RWDBBoundExpr::RWDBBoundExpr(RWDBBlob* v, RWDBNullIndicator* n)
    : RWDBExpr(bound(ExprNode::vBlob, v, n)) {}
RWDBBoundExpr::RWDBBoundExpr(const qx::db::StorableText* v)
    : RWDBExpr(bound(ExprNode::vStorableText, v, nullptr)) {}

namespace {

RWDBCriterion combine(ExprNode::Kind k, const RWDBCriterion& a, const RWDBCriterion& b) {
  if (a.isEmpty()) return b;
  if (b.isEmpty()) return a;
  auto n = make(k);
  n->left = a.node();
  n->right = b.node();
  return RWDBCriterion(n);
}

NodePtr column_node(const RWCString& name) {
  auto n = make(ExprNode::kColumn);
  n->column = name.str();
  return n;
}

RWDBCriterion compare(const RWCString& col, const char* op, const RWDBExpr& e) {
  auto n = make(ExprNode::kCompare);
  n->op = op;
  n->left = column_node(col);
  n->right = e.node() ? e.node() : make(ExprNode::kNull);
  return RWDBCriterion(n);
}

}  // namespace

RWDBCriterion operator&&(const RWDBCriterion& a, const RWDBCriterion& b) {
  return combine(ExprNode::kAnd, a, b);
}
RWDBCriterion operator||(const RWDBCriterion& a, const RWDBCriterion& b) {
  return combine(ExprNode::kOr, a, b);
}
RWDBCriterion operator!(const RWDBCriterion& a) {
  if (a.isEmpty()) return a;
  auto n = make(ExprNode::kNot);
  n->left = a.node();
  return RWDBCriterion(n);
}

RWDBCriterion RWDBColumn::operator==(const RWDBExpr& e) const { return compare(name_, "=", e); }
RWDBCriterion RWDBColumn::operator!=(const RWDBExpr& e) const { return compare(name_, "<>", e); }
RWDBCriterion RWDBColumn::operator>=(const RWDBExpr& e) const { return compare(name_, ">=", e); }
RWDBCriterion RWDBColumn::operator>(const RWDBExpr& e) const { return compare(name_, ">", e); }
RWDBCriterion RWDBColumn::operator<=(const RWDBExpr& e) const { return compare(name_, "<=", e); }
RWDBCriterion RWDBColumn::operator<(const RWDBExpr& e) const { return compare(name_, "<", e); }
RWDBCriterion RWDBColumn::like(const RWDBExpr& pattern) const {
  auto n = make(ExprNode::kLike);
  n->left = column_node(name_);
  n->right = pattern.node() ? pattern.node() : make(ExprNode::kNull);
  return RWDBCriterion(n);
}
RWDBCriterion RWDBColumn::in(const std::vector<RWDBExpr>& values) const {
  auto n = make(ExprNode::kIn);
  n->left = column_node(name_);
  n->items.reserve(values.size());
  for (const RWDBExpr& v : values) n->items.push_back(v.node() ? v.node() : make(ExprNode::kNull));
  return RWDBCriterion(n);
}
RWDBCriterion RWDBColumn::isNull() const {
  auto n = make(ExprNode::kIsNull);
  n->left = column_node(name_);
  return RWDBCriterion(n);
}
