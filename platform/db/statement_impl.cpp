#include "platform/db/impl.h"

#include <algorithm>

namespace qx::db {

RWDBStatus StatementImpl::build() {
  SqlBuilder b(*db->driver);
  RWDBStatus s;
  std::vector<Target> targets;
  switch (kind) {
    case kInsert: {
      if (source) {
        b.text("INSERT INTO ");
        if (!(s = b.identifier(table)).isValid()) return s;
        b.text(" (");
        for (size_t i = 0; i < sourceColumns.size(); ++i) {
          if (i > 0) b.text(", ");
          if (!(s = b.identifier(sourceColumns[i])).isValid()) return s;
        }
        b.text(") ");
        if (!(s = buildSelect(b, *source, &sourceColumns, targets)).isValid()) return s;
        break;
      }
      if (values.empty()) return layer_error(RWDBStatus::invalidUsage, "an insert without values");
      bool named = !values.front().first.empty();
      b.text("INSERT INTO ");
      if (!(s = b.identifier(table)).isValid()) return s;
      if (named) {
        b.text(" (");
        for (size_t i = 0; i < values.size(); ++i) {
          if (values[i].first.empty())
            return layer_error(RWDBStatus::invalidUsage,
                               "an insert mixes named columns and values in table order");
          if (i > 0) b.text(", ");
          if (!(s = b.identifier(values[i].first)).isValid()) return s;
        }
        b.text(")");
      } else {
        for (const auto& v : values) {
          if (!v.first.empty())
            return layer_error(RWDBStatus::invalidUsage,
                               "an insert mixes named columns and values in table order");
        }
      }
      b.text(" VALUES (");
      for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0) b.text(", ");
        size_t before = b.params().size();
        if (!(s = b.value(values[i].second.node())).isValid()) return s;
        if (b.params().size() > before) {
          targets.resize(b.params().size());
          targets.back() = named ? Target{values[i].first, -1} : Target{"", static_cast<int>(i)};
        }
      }
      b.text(")");
      break;
    }
    case kUpdate:
      b.text("UPDATE ");
      if (!(s = b.identifier(table)).isValid()) return s;
      b.text(" SET ");
      for (size_t i = 0; i < sets.size(); ++i) {
        if (i > 0) b.text(", ");
        if (!(s = b.identifier(sets[i].first)).isValid()) return s;
        b.text(" = ");
        size_t before = b.params().size();
        if (!(s = b.value(sets[i].second.node())).isValid()) return s;
        if (b.params().size() > before) {
          targets.resize(b.params().size());
          targets.back() = Target{sets[i].first, -1};
        }
      }
      break;
    case kDelete:
      b.text("DELETE FROM ");
      if (!(s = b.identifier(table)).isValid()) return s;
      break;
    case kSelect:
      if (!(s = buildSelect(b, *this, nullptr, targets)).isValid()) return s;
      break;
  }
  if ((kind == kUpdate || kind == kDelete) && !where.isEmpty()) {
    b.text(" WHERE ");
    if (!(s = b.criterion(where.node())).isValid()) return s;
  }
  sql_ = std::move(b.sql());
  rebuilt_ = true;
  nodes_ = std::move(b.params());
  bound_.assign(nodes_.size(), BoundVar());
  for (size_t i = 0; i < nodes_.size(); ++i) {
    const ExprNode& n = *nodes_[i];
    if (n.kind == ExprNode::kBound) bound_[i] = BoundVar{n.var, n.ptr, n.indicator};
  }
  params_.resize(nodes_.size());
  targets.resize(nodes_.size());
  targets_ = std::move(targets);
  limits_.assign(nodes_.size(), 0);
  lengthsResolved_ = false;
  return RWDBStatus();
}

RWDBStatus StatementImpl::buildSelect(SqlBuilder& b, const StatementImpl& q,
                                      const std::vector<std::string>* insertColumns,
                                      std::vector<Target>& targets) {
  RWDBStatus s;
  if (q.kind != kSelect || !q.status.isValid()) {
    return q.status.isValid() ? layer_error(RWDBStatus::invalidUsage, "an insert from no query")
                              : q.status;
  }
  if (q.table.empty()) return layer_error(RWDBStatus::invalidUsage, "a selector without a table");
  if (insertColumns != nullptr && insertColumns->size() != q.selectColumns.size()) {
    return layer_error(RWDBStatus::invalidUsage,
                       "an insert names " + std::to_string(insertColumns->size()) +
                           " columns for a query of " + std::to_string(q.selectColumns.size()));
  }
  b.text("SELECT ");
  if (q.selectColumns.empty()) b.text("*");
  for (size_t i = 0; i < q.selectColumns.size(); ++i) {
    if (i > 0) b.text(", ");
    const NodePtr& v = i < q.selectValues.size() ? q.selectValues[i] : nullptr;
    if (v == nullptr) {
      if (!(s = b.identifier(q.selectColumns[i])).isValid()) return s;
      continue;
    }
    size_t before = b.params().size();
    if (!(s = b.selectValue(v)).isValid()) return s;
    if (insertColumns != nullptr && b.params().size() > before) {
      targets.resize(b.params().size());
      targets.back() = Target{(*insertColumns)[i], -1};
    }
  }
  b.text(" FROM ");
  if (!(s = b.identifier(q.table)).isValid()) return s;
  if (!q.where.isEmpty()) {
    b.text(" WHERE ");
    if (!(s = b.criterion(q.where.node())).isValid()) return s;
  }
  for (size_t i = 0; i < q.orderColumns.size(); ++i) {
    b.text(i == 0 ? " ORDER BY " : ", ");
    if (!(s = b.identifier(q.orderColumns[i])).isValid()) return s;
    b.text(" ASC NULLS FIRST");
  }
  if (q.limitValue) {
    b.text(" LIMIT ");
    if (!(s = b.value(q.limitValue)).isValid()) return s;
  }
  return s;
}

RWDBStatus StatementImpl::resolveLengths(const std::shared_ptr<ConnectionImpl>& c) {
  std::fill(limits_.begin(), limits_.end(), 0);
  bool any = std::any_of(targets_.begin(), targets_.end(),
                         [](const Target& t) { return !t.column.empty() || t.position >= 0; });
  if (!any) return RWDBStatus();
  // The schema known to the process (kept when the layer creates or reads a table,
  // dropped when it drops one), else the server's.
  std::string folded = fold_name(table);
  auto known = db->schemas.find(folded);
  if (known == db->schemas.end()) {
    std::vector<ColumnInfo> columns;
    RWDBStatus s = c->session()->fetchSchema(folded, &columns);
    if (!s.isValid()) return s;
    RWDBSchema schema;
    for (const ColumnInfo& ci : columns)
      schema.appendColumn(ci.name, ci.type, ci.length, ci.nullAllowed);
    known = db->schemas.emplace(folded, std::move(schema)).first;
  }
  const std::vector<RWDBColumn>& columns = known->second.columns();
  for (size_t i = 0; i < targets_.size(); ++i) {
    const Target& t = targets_[i];
    const RWDBColumn* col = nullptr;
    if (t.position >= 0) {
      if (static_cast<size_t>(t.position) < columns.size()) col = &columns[t.position];
    } else if (!t.column.empty()) {
      std::string name = fold_name(t.column);
      for (const RWDBColumn& rc : columns) {
        if (fold_name(rc.name().str()) == name) col = &rc;
      }
    }
    if (col != nullptr && (col->type() == RWDBValue::String || col->type() == RWDBValue::Blob))
      limits_[i] = col->storageLength();
  }
  return RWDBStatus();
}

// Texts are measured in characters (UTF-8 sequences, as the servers count them),
// blobs in octets. Only a value longer in octets than its limit comes here.
RWDBStatus StatementImpl::checkLength(size_t i) const {
  const Param& p = params_[i];
  const long limit = limits_[i];
  size_t n = p.size;
  if (p.kind == Param::kText) {
    n = 0;
    for (size_t k = 0; k < p.size; ++k) n += (static_cast<unsigned char>(p.data[k]) & 0xC0) != 0x80;
  } else if (p.kind != Param::kBlob) {
    return RWDBStatus();
  }
  if (n <= static_cast<size_t>(limit)) return RWDBStatus();
  const Target& t = targets_[i];
  std::string column = t.position >= 0 ? "number " + std::to_string(t.position + 1) : t.column;
  return layer_error(RWDBStatus::valueTooLong,
                     "value longer than the column's declared length: column " + column + " of " +
                         table + " holds at most " + std::to_string(limit) +
                         (p.kind == Param::kText ? " characters" : " octets"));
}

RWDBStatus StatementImpl::prepareOn(const std::shared_ptr<ConnectionImpl>& c) {
  // Rebuilding after a rebind gives the same text: keep the statement.
  if (stmt_ && preparedOn_ == c->id() && (!rebuilt_ || preparedSql_ == sql_)) {
    rebuilt_ = false;
    return RWDBStatus();
  }
  rebuilt_ = false;
  stmt_.reset();
  RWDBStatus s = c->session()->prepare(sql_, nodes_.size(), &stmt_);
  if (!s.isValid()) {
    stmt_.reset();
    return s;
  }
  preparedOn_ = c->id();
  preparedSql_ = sql_;
  return s;
}

RWDBStatus StatementImpl::bindValues() {
  for (size_t i = 0; i < nodes_.size(); ++i) {
    const BoundVar& b = bound_[i];
    RWDBStatus s =
        b.ptr != nullptr ? read_bound(b, &params_[i]) : evaluate(*nodes_[i], &params_[i]);
    if (!s.isValid()) return s;
    // A value within the limit in octets is within it in characters too.
    const long limit = limits_[i];
    if (limit > 0 && params_[i].size > static_cast<size_t>(limit) &&
        !(s = checkLength(i)).isValid())
      return s;
  }
  return RWDBStatus();
}

namespace {
RWDBStatus check(const std::shared_ptr<DatabaseImpl>& db, const RWDBStatus& built,
                 const std::shared_ptr<ConnectionImpl>& c) {
  if (!db || !db->driver)
    return RWDBStatus(RWDBStatus::notInitialized, "the database has not been opened");
  if (!built.isValid()) return built;
  if (!c) return RWDBStatus(RWDBStatus::notInitialized, "the connection has not been opened");
  if (!c->session()) return c->status();
  return RWDBStatus();
}
}  // namespace

RWDBStatus StatementImpl::ready(const std::shared_ptr<ConnectionImpl>& c) {
  RWDBStatus s = prepareOn(c);
  if (!s.isValid()) return s;
  if (!lengthsResolved_ || lengthsOn_ != c->id()) {
    if (!(s = resolveLengths(c)).isValid()) return s;
    lengthsResolved_ = true;
    lengthsOn_ = c->id();
  }
  return bindValues();
}

RWDBResult StatementImpl::execute(const std::shared_ptr<ConnectionImpl>& c) {
  RWDBStatus s = check(db, status, c);
  if (!s.isValid()) return RWDBResult(report(s));
  if (kind == kUpdate && sets.empty()) return RWDBResult(RWDBStatus(), 0);
  if (dirty_) {
    if (!(s = build()).isValid()) return RWDBResult(report(s));
    dirty_ = false;
  }
  db->used(c);
  if (!(s = c->beforeStatement()).isValid()) return RWDBResult(report(s));
  if (!(s = ready(c)).isValid()) return RWDBResult(report(s));
  db->trace(sql_);
  int64_t rows = -1;
  s = stmt_->execute(params_, &rows);
  return RWDBResult(report(s), static_cast<long>(rows));
}

RWDBResult StatementImpl::executeGroup(std::span<StatementImpl* const> statements,
                                       const std::shared_ptr<ConnectionImpl>& c,
                                       std::vector<long>* rows) {
  if (rows != nullptr) rows->assign(statements.size(), 0);
  // An update without assignments touches nothing and is left out.
  std::vector<size_t> at;
  for (size_t i = 0; i < statements.size(); ++i) {
    StatementImpl& st = *statements[i];
    RWDBStatus s = check(st.db, st.status, c);
    if (!s.isValid()) return RWDBResult(report(s));
    if (st.kind == kSelect) {
      return RWDBResult(report(layer_error(RWDBStatus::invalidUsage, "a query in a group")));
    }
    if (st.kind == kUpdate && st.sets.empty()) continue;
    if (st.dirty_) {
      if (!(s = st.build()).isValid()) return RWDBResult(report(s));
      st.dirty_ = false;
    }
    at.push_back(i);
  }
  if (at.empty()) return RWDBResult(RWDBStatus(), 0);
  statements[at[0]]->db->used(c);
  RWDBStatus s = c->beforeStatement();
  if (!s.isValid()) return RWDBResult(report(s));
  std::vector<Statement*> prepared;
  std::vector<const std::vector<Param>*> params;
  for (size_t i : at) {
    StatementImpl& st = *statements[i];
    if (!(s = st.ready(c)).isValid()) return RWDBResult(report(s));
    prepared.push_back(st.stmt_.get());
    params.push_back(&st.params_);
  }
  for (size_t i : at) statements[i]->db->trace(statements[i]->sql_);
  std::vector<int64_t> touched(at.size(), -1);
  size_t failed = 0;
  s = c->session()->executeGroup(prepared, params, touched.data(), &failed);
  if (!s.isValid()) return RWDBResult(report(s));  // nothing of the group is left
  if (rows != nullptr) {
    for (size_t k = 0; k < at.size(); ++k) (*rows)[at[k]] = static_cast<long>(touched[k]);
  }
  return RWDBResult(s, static_cast<long>(touched.back()));
}

std::shared_ptr<ReaderImpl> StatementImpl::query(const std::shared_ptr<ConnectionImpl>& c) {
  auto failed = [](const RWDBStatus& st) {
    auto r = std::make_shared<ReaderImpl>();
    r->status = report(st);
    return r;
  };
  RWDBStatus s = check(db, status, c);
  if (!s.isValid()) return failed(s);
  if (dirty_) {
    if (!(s = build()).isValid()) return failed(s);
    dirty_ = false;
  }
  db->used(c);
  if (!(s = c->beforeStatement()).isValid()) return failed(s);
  if (!(s = prepareOn(c)).isValid()) return failed(s);
  if (!(s = bindValues()).isValid()) return failed(s);
  db->trace(sql_);
  std::unique_ptr<Cursor> cursor;
  s = stmt_->query(params_, &cursor);
  if (!s.isValid()) return failed(s);
  return std::make_shared<ReaderImpl>(std::move(cursor), c);
}

RWCString StatementImpl::sqlText() {
  if (!db || !db->driver) return RWCString();
  if (dirty_) {
    if (!build().isValid()) return RWCString();
    dirty_ = false;
  }
  return sql_;
}

}  // namespace qx::db
