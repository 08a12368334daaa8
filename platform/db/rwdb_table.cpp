#include "platform/db/rwdb_table.h"

#include <algorithm>

#include "platform/db/impl.h"
#include "platform/db/rwdb_database.h"

using qx::db::report;

namespace qx::db {

RWDBStatus TableImpl::ensureSchema() {
  if (schemaKnown) return RWDBStatus();
  if (!db || !db->driver) return status;
  auto it = db->schemas.find(fold_name(name));
  if (it != db->schemas.end()) {
    schema = it->second;
    schemaKnown = true;
    return RWDBStatus();
  }
  auto c = db->recentConnection();
  if (!c || !c->session()) return c ? c->status() : status;
  std::vector<ColumnInfo> cols;
  RWDBStatus s = c->session()->fetchSchema(fold_name(name), &cols);
  if (!s.isValid()) return s;
  schema.clear();
  for (const ColumnInfo& ci : cols)
    schema.appendColumn(ci.name, ci.type, ci.length, ci.nullAllowed);
  schemaKnown = true;
  db->schemas[fold_name(name)] = schema;
  return RWDBStatus();
}

}  // namespace qx::db

namespace {

RWDBStatus no_table() { return RWDBStatus(RWDBStatus::notInitialized, "no table"); }

// The session to run on, or the reason there is none.
RWDBStatus usable(const std::shared_ptr<qx::db::TableImpl>& t,
                  const std::shared_ptr<qx::db::ConnectionImpl>& c) {
  if (!t) return no_table();
  if (!t->status.isValid()) return t->status;
  if (!c) return RWDBStatus(RWDBStatus::notInitialized, "the connection has not been opened");
  if (!c->session()) return c->status();
  return RWDBStatus();
}

RWDBStatus run(const std::shared_ptr<qx::db::TableImpl>& t,
               const std::shared_ptr<qx::db::ConnectionImpl>& c, const std::string& sql) {
  t->db->trace(sql);
  t->db->used(c);
  RWDBStatus s = c->beforeStatement();
  if (!s.isValid()) return s;
  return c->session()->exec(sql);
}

}  // namespace

RWCString RWDBTable::name() const { return impl_ ? impl_->name : RWCString(); }

RWDBColumn RWDBTable::operator[](const RWCString& columnName) const {
  RWDBColumn c(columnName);
  if (!impl_) return c;
  c.tableName(impl_->name);
  if (impl_->schemaKnown) {
    size_t i = impl_->schema.index(columnName);
    if (i != RW_NPOS) {
      const RWDBColumn& s = impl_->schema.columns()[i];
      c.type(s.type()).storageLength(s.storageLength()).nullAllowed(s.nullAllowed());
    }
  }
  return c;
}

RWDBColumn RWDBTable::column(size_t position) const {
  if (!impl_) return RWDBColumn::invalid(no_table());
  RWDBStatus s = impl_->ensureSchema();
  if (!s.isValid()) return RWDBColumn::invalid(s);
  RWDBColumn c = impl_->schema.column(position);
  if (c.isValid()) c.tableName(impl_->name);
  return c;
}

size_t RWDBTable::numberOfColumns() const {
  if (!impl_ || !impl_->ensureSchema().isValid()) return 0;
  return impl_->schema.entries();
}

const RWDBSchema& RWDBTable::schema() const {
  static const RWDBSchema empty;
  if (!impl_) return empty;
  impl_->ensureSchema();
  return impl_->schema;
}

bool RWDBTable::exists(const RWDBConnection& conn) const {
  auto c = conn.impl();
  RWDBStatus s = usable(impl_, c);
  if (!s.isValid()) {
    report(s);
    return false;
  }
  std::string folded;
  if (!(s = qx::db::quote_identifier(impl_->name, &folded)).isValid()) {
    report(s);
    return false;
  }
  bool found = false;
  s = c->session()->tableExists(qx::db::fold_name(impl_->name), &found);
  report(s);
  return s.isValid() && found;
}

bool RWDBTable::exists() const {
  return exists(RWDBConnection(impl_ ? qx::db::connection_of(impl_->db) : nullptr));
}

bool RWDBTable::reads(const RWCString& table, const RWDBConnection& conn) const {
  auto c = conn.impl();
  RWDBStatus s = usable(impl_, c);
  std::string quoted;
  if (s.isValid()) s = qx::db::quote_identifier(impl_->name, &quoted);
  if (!s.isValid()) {
    report(s);
    return false;
  }
  std::vector<std::string> sources;
  s = c->session()->viewSources(qx::db::fold_name(impl_->name), &sources);
  if (s.errorCode() == RWDBStatus::noSuchObject) return false;  // an answer, not a failure
  if (!s.isValid()) {
    report(s);
    return false;
  }
  return std::find(sources.begin(), sources.end(), qx::db::fold_name(table.str())) != sources.end();
}

RWDBStatus RWDBTable::fetchSchema(const RWDBConnection& conn) {
  auto c = conn.impl();
  RWDBStatus s = usable(impl_, c);
  if (!s.isValid()) return report(s);
  std::string quoted;
  if (!(s = qx::db::quote_identifier(impl_->name, &quoted)).isValid()) return report(s);
  std::vector<qx::db::ColumnInfo> cols;
  s = c->session()->fetchSchema(qx::db::fold_name(impl_->name), &cols);
  if (!s.isValid()) return report(s);
  impl_->schema.clear();
  for (const auto& ci : cols)
    impl_->schema.appendColumn(ci.name, ci.type, ci.length, ci.nullAllowed);
  impl_->schemaKnown = true;
  impl_->db->schemas[qx::db::fold_name(impl_->name)] = impl_->schema;
  return RWDBStatus();
}

RWDBStatus RWDBTable::fetchSchema() {
  return fetchSchema(RWDBConnection(impl_ ? impl_->db->recentConnection() : nullptr));
}

RWDBStatus RWDBTable::drop(const RWDBConnection& conn) {
  auto c = conn.impl();
  RWDBStatus s = usable(impl_, c);
  if (!s.isValid()) return report(s);
  std::string sql = "DROP TABLE ";
  if (!(s = qx::db::quote_identifier(impl_->name, &sql)).isValid()) return report(s);
  s = run(impl_, c, sql);
  if (s.isValid()) {
    impl_->db->schemas.erase(qx::db::fold_name(impl_->name));
    impl_->schemaKnown = false;
    impl_->schema.clear();
  }
  return report(s);
}

RWDBStatus RWDBTable::drop() {
  return drop(RWDBConnection(impl_ ? qx::db::connection_of(impl_->db) : nullptr));
}

namespace {
// CREATE [UNIQUE] INDEX [IF NOT EXISTS] name ON table (columns), each column in the
// order the layer's ORDER BY gives.
RWDBStatus create_index(const std::shared_ptr<qx::db::TableImpl>& t, const RWCString& indexName,
                        const RWDBSchema& columns, const RWDBConnection& conn, bool unique,
                        bool if_missing) {
  auto c = conn.impl();
  RWDBStatus s = usable(t, c);
  if (!s.isValid()) return report(s);
  if (columns.isEmpty())
    return report(qx::db::layer_error(RWDBStatus::invalidUsage, "an index needs columns"));
  std::string sql = unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ";
  if (if_missing) sql += "IF NOT EXISTS ";
  if (!(s = qx::db::quote_identifier(indexName.str(), &sql)).isValid()) return report(s);
  sql += " ON ";
  if (!(s = qx::db::quote_identifier(t->name, &sql)).isValid()) return report(s);
  sql += " (";
  for (size_t i = 0; i < columns.entries(); ++i) {
    if (i > 0) sql += ", ";
    std::string quoted;
    if (!(s = qx::db::quote_identifier(columns[i].name().str(), &quoted)).isValid())
      return report(s);
    sql += t->db->driver->indexColumn(quoted);
  }
  sql += ")";
  return report(run(t, c, sql));
}
}  // namespace

RWDBStatus RWDBTable::createIndex(const RWCString& indexName, const RWDBSchema& columns,
                                  const RWDBConnection& conn, bool unique, bool) {
  return create_index(impl_, indexName, columns, conn, unique, false);
}

RWDBStatus RWDBTable::createIndexIfMissing(const RWCString& indexName, const RWDBSchema& columns,
                                           const RWDBConnection& conn) {
  return create_index(impl_, indexName, columns, conn, false, true);
}

namespace {
std::shared_ptr<qx::db::StatementImpl> statement(qx::db::StatementImpl::Kind k,
                                                 const std::shared_ptr<qx::db::TableImpl>& t) {
  auto s = std::make_shared<qx::db::StatementImpl>(k, t ? t->db : nullptr, t ? t->name : "");
  if (!t)
    s->status = no_table();
  else if (!t->status.isValid())
    s->status = t->status;
  return s;
}
}  // namespace

RWDBInserter RWDBTable::inserter() const {
  return RWDBInserter(statement(qx::db::StatementImpl::kInsert, impl_));
}
RWDBInserter RWDBTable::inserter(const RWDBSelector& source,
                                std::initializer_list<RWCString> columns) const {
  auto st = statement(qx::db::StatementImpl::kInsert, impl_);
  if (st) {
    st->source = source.impl();
    if (!st->source && st->status.isValid()) {
      st->status = qx::db::layer_error(RWDBStatus::invalidUsage, "an insert from no query");
    }
    for (const RWCString& c : columns) st->sourceColumns.push_back(qx::db::fold_name(c.str()));
  }
  return RWDBInserter(st);
}
RWDBUpdater RWDBTable::updater() const {
  return RWDBUpdater(statement(qx::db::StatementImpl::kUpdate, impl_));
}
RWDBDeleter RWDBTable::deleter() const {
  return RWDBDeleter(statement(qx::db::StatementImpl::kDelete, impl_));
}

RWDBDatabase RWDBTable::database() const {
  return impl_ ? RWDBDatabase(impl_->db) : RWDBDatabase();
}

RWDBStatus RWDBTable::status() const { return impl_ ? impl_->status : no_table(); }
