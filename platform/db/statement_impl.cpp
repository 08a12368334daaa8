#include "platform/db/impl.h"

namespace qx::db {

RWDBStatus StatementImpl::build() {
  SqlBuilder b(*db->driver);
  RWDBStatus s;
  switch (kind) {
    case kInsert: {
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
        if (!(s = b.value(values[i].second.node())).isValid()) return s;
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
        if (!(s = b.value(sets[i].second.node())).isValid()) return s;
      }
      break;
    case kDelete:
      b.text("DELETE FROM ");
      if (!(s = b.identifier(table)).isValid()) return s;
      break;
    case kSelect:
      if (table.empty()) return layer_error(RWDBStatus::invalidUsage, "a selector without a table");
      b.text("SELECT ");
      if (selectColumns.empty()) b.text("*");
      for (size_t i = 0; i < selectColumns.size(); ++i) {
        if (i > 0) b.text(", ");
        if (!(s = b.identifier(selectColumns[i])).isValid()) return s;
      }
      b.text(" FROM ");
      if (!(s = b.identifier(table)).isValid()) return s;
      break;
  }
  if (kind != kInsert && !where.isEmpty()) {
    b.text(" WHERE ");
    if (!(s = b.criterion(where.node())).isValid()) return s;
  }
  sql_ = std::move(b.sql());
  rebuilt_ = true;
  nodes_ = std::move(b.params());
  params_.resize(nodes_.size());
  return RWDBStatus();
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
    RWDBStatus s = evaluate(*nodes_[i], &params_[i]);
    if (!s.isValid()) return s;
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
  if (!(s = prepareOn(c)).isValid()) return RWDBResult(report(s));
  if (!(s = bindValues()).isValid()) return RWDBResult(report(s));
  db->trace(sql_);
  int64_t rows = -1;
  s = stmt_->execute(params_, &rows);
  return RWDBResult(report(s), static_cast<long>(rows));
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
