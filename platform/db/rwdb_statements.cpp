// The four statement handles over StatementImpl.
#include "platform/db/rwdb_statements.h"
#include "platform/db/impl.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_table.h"

using qx::db::StatementImpl;

namespace {

RWDBStatus no_statement() { return RWDBStatus(RWDBStatus::notInitialized, "no statement"); }

RWDBResult run(const std::shared_ptr<StatementImpl>& s,
               const std::shared_ptr<qx::db::ConnectionImpl>& c) {
  if (!s) return RWDBResult(qx::db::report(no_statement()));
  return s->execute(c);
}

std::shared_ptr<qx::db::ConnectionImpl> default_of(const std::shared_ptr<StatementImpl>& s) {
  return s ? qx::db::connection_of(s->db) : nullptr;
}

void set_column_value(StatementImpl& s, const std::string& folded, const RWDBExpr& v) {
  for (auto& entry : s.values) {
    if (!folded.empty() && entry.first == folded) {
      // Rebind: same column, new value. The SQL text stays the same, so the
      // prepared statement is kept.
      entry.second = v;
      s.changed();
      return;
    }
  }
  s.values.emplace_back(folded, v);
  s.changed();
}

}  // namespace

// ---- RWDBInserter ----

RWDBInserter& RWDBInserter::operator[](const RWCString& columnName) {
  if (impl_) {
    impl_->nextColumn = qx::db::fold_name(columnName.str());
    impl_->haveNextColumn = true;
  }
  return *this;
}

RWDBInserter& RWDBInserter::operator<<(const RWDBExpr& value) {
  if (!impl_) return *this;
  if (impl_->haveNextColumn) {
    set_column_value(*impl_, impl_->nextColumn, value);
    impl_->haveNextColumn = false;
  } else {
    impl_->values.emplace_back(std::string(), value);
    impl_->changed();
  }
  return *this;
}

RWDBInserter& RWDBInserter::rebind(const RWCString& columnName, const RWDBExpr& value) {
  return (*this)[columnName] << value;
}

RWDBResult RWDBInserter::execute(const RWDBConnection& conn) { return run(impl_, conn.impl()); }
RWDBResult RWDBInserter::execute() { return run(impl_, default_of(impl_)); }
RWCString RWDBInserter::asString() const { return impl_ ? impl_->sqlText() : RWCString(); }
RWDBStatus RWDBInserter::status() const { return impl_ ? impl_->status : no_statement(); }

// ---- RWDBUpdater ----

RWDBUpdater& RWDBUpdater::set(const RWDBAssignment& a) {
  if (!impl_) return *this;
  std::string folded = qx::db::fold_name(a.columnName().str());
  for (auto& entry : impl_->sets) {
    if (entry.first == folded) {
      entry.second = a.value();
      impl_->changed();
      return *this;
    }
  }
  impl_->sets.emplace_back(folded, a.value());
  impl_->changed();
  return *this;
}

RWDBUpdater& RWDBUpdater::where(const RWDBCriterion& c) {
  if (impl_) {
    impl_->where = c;
    impl_->changed();
  }
  return *this;
}

size_t RWDBUpdater::entries() const { return impl_ ? impl_->sets.size() : 0; }
RWDBResult RWDBUpdater::execute(const RWDBConnection& conn) { return run(impl_, conn.impl()); }
RWDBResult RWDBUpdater::execute() { return run(impl_, default_of(impl_)); }
RWCString RWDBUpdater::asString() const { return impl_ ? impl_->sqlText() : RWCString(); }
RWDBStatus RWDBUpdater::status() const { return impl_ ? impl_->status : no_statement(); }

// ---- RWDBDeleter ----

RWDBDeleter& RWDBDeleter::where(const RWDBCriterion& c) {
  if (impl_) {
    impl_->where = c;
    impl_->changed();
  }
  return *this;
}

RWDBResult RWDBDeleter::execute(const RWDBConnection& conn) { return run(impl_, conn.impl()); }
RWDBResult RWDBDeleter::execute() { return run(impl_, default_of(impl_)); }
RWCString RWDBDeleter::asString() const { return impl_ ? impl_->sqlText() : RWCString(); }
RWDBStatus RWDBDeleter::status() const { return impl_ ? impl_->status : no_statement(); }

// ---- RWDBSelector ----

namespace {
void set_table(StatementImpl& s, const std::string& table) {
  if (table.empty()) return;
  if (s.table.empty()) {
    s.table = table;
  } else if (qx::db::fold_name(s.table) != qx::db::fold_name(table) && s.status.isValid()) {
    s.status = qx::db::layer_error(RWDBStatus::notSupported,
                                   "a selector reads one table (" + s.table + ", " + table + ")");
  }
}
}  // namespace

RWDBSelector& RWDBSelector::operator<<(const RWDBColumn& c) {
  if (!impl_) return *this;
  set_table(*impl_, c.tableName().str());
  impl_->selectColumns.push_back(qx::db::fold_name(c.name().str()));
  impl_->selectValues.push_back(nullptr);
  impl_->changed();
  return *this;
}

RWDBSelector& RWDBSelector::value(const RWDBExpr& v) {
  if (!impl_) return *this;
  impl_->selectColumns.emplace_back();
  impl_->selectValues.push_back(v.node());
  impl_->changed();
  return *this;
}

RWDBSelector& RWDBSelector::orderBy(const RWDBColumn& c) {
  if (!impl_) return *this;
  set_table(*impl_, c.tableName().str());
  impl_->orderColumns.push_back(qx::db::fold_name(c.name().str()));
  impl_->changed();
  return *this;
}

RWDBSelector& RWDBSelector::limit(const RWDBExpr& n) {
  if (!impl_) return *this;
  impl_->limitValue = n.node();
  impl_->changed();
  return *this;
}

RWDBSelector& RWDBSelector::operator<<(const RWDBTable& t) {
  if (!impl_) return *this;
  set_table(*impl_, t.name().str());
  impl_->selectColumns.clear();
  impl_->selectValues.clear();
  impl_->changed();
  return *this;
}

RWDBSelector& RWDBSelector::from(const RWDBTable& t) {
  if (impl_) {
    set_table(*impl_, t.name().str());
    impl_->changed();
  }
  return *this;
}

RWDBSelector& RWDBSelector::where(const RWDBCriterion& c) {
  if (impl_) {
    impl_->where = c;
    impl_->changed();
  }
  return *this;
}

RWDBResult RWDBSelector::execute(const RWDBConnection& conn) {
  if (!impl_) return RWDBResult(qx::db::report(no_statement()));
  impl_->pending.reset();
  auto r = impl_->query(conn.impl());
  if (r->status.isValid()) impl_->pending = r;
  return RWDBResult(r->status);
}

RWDBResult RWDBSelector::execute() { return execute(RWDBConnection(default_of(impl_))); }

RWDBReader RWDBSelector::reader(const RWDBConnection& conn) {
  if (!impl_) {
    auto r = std::make_shared<qx::db::ReaderImpl>();
    r->status = qx::db::report(no_statement());
    return RWDBReader(r);
  }
  if (impl_->pending) {
    auto r = std::move(impl_->pending);
    impl_->pending.reset();
    return RWDBReader(r);
  }
  return RWDBReader(impl_->query(conn.impl()));
}

RWDBReader RWDBSelector::reader() { return reader(RWDBConnection(default_of(impl_))); }
RWCString RWDBSelector::asString() const { return impl_ ? impl_->sqlText() : RWCString(); }
RWDBStatus RWDBSelector::status() const { return impl_ ? impl_->status : no_statement(); }
