#include "platform/db/rwdb_database.h"

#include <atomic>
#include <map>

#include "platform/db/impl.h"

namespace qx::db {

namespace {

std::atomic<uint64_t> g_next_connection_id{1};

// Sessions shared within the process, by the driver's session key.
std::map<std::string, std::weak_ptr<ConnectionImpl>>& shared_sessions() {
  static auto* m = new std::map<std::string, std::weak_ptr<ConnectionImpl>>();
  return *m;
}

}  // namespace

ConnectionImpl::ConnectionImpl(std::shared_ptr<Driver> driver, std::weak_ptr<DatabaseImpl> db)
    : driver_(std::move(driver)), db_(std::move(db)), id_(g_next_connection_id++) {
  status_ = driver_->connect(&session_);
  if (status_.isValid() && !session_)
    status_ = layer_error(RWDBStatus::notConnected, "the driver opened no session");
}

RWDBStatus ConnectionImpl::beforeStatement() {
  if (!session_) return status_;
  noteLost();
  if (!autoCommit && !session_->inTransaction()) return begin();
  return RWDBStatus();
}

RWDBStatus ConnectionImpl::begin() {
  noteLost();
  RWDBStatus s = session_->begin();
  began_ = s.isValid();
  return s;
}

RWDBStatus ConnectionImpl::commit() {
  noteLost();
  bool lost = lost_;
  lost_ = false;
  began_ = false;
  if (lost && session_->alive()) {
    if (session_->inTransaction()) session_->rollback();
    return RWDBStatus(RWDBStatus::transactionAborted,
                      "the commit failed: the server rolled the transaction back after a "
                      "failed statement, so nothing of it is stored");
  }
  if (!session_->inTransaction()) return RWDBStatus();
  return session_->commit();
}

RWDBStatus ConnectionImpl::rollback() {
  lost_ = false;
  began_ = false;
  if (!session_->inTransaction()) return RWDBStatus();
  return session_->rollback();
}

std::shared_ptr<ConnectionImpl> DatabaseImpl::newConnection() {
  if (!driver) return nullptr;
  std::string key = driver->sessionKey();
  if (!key.empty()) {
    auto& m = shared_sessions();
    auto it = m.find(key);
    if (it != m.end()) {
      if (auto c = it->second.lock()) return c;
    }
    auto c = std::make_shared<ConnectionImpl>(driver, weak_from_this());
    if (c->status().isValid()) m[key] = c;
    return c;
  }
  return std::make_shared<ConnectionImpl>(driver, weak_from_this());
}

std::shared_ptr<ConnectionImpl> DatabaseImpl::handOutConnection() {
  if (default_ && default_->status().isValid() && !defaultHandedOut_) {
    defaultHandedOut_ = true;
    return default_;
  }
  return newConnection();
}

std::shared_ptr<ConnectionImpl> DatabaseImpl::defaultConnection() {
  if (!default_ || (!default_->status().isValid() && driver)) default_ = newConnection();
  return default_;
}

std::shared_ptr<ConnectionImpl> DatabaseImpl::recentConnection() {
  if (auto c = recent_.lock()) return c;
  return defaultConnection();
}

std::shared_ptr<ConnectionImpl> connection_of(const std::shared_ptr<DatabaseImpl>& db) {
  return db ? db->defaultConnection() : nullptr;
}

namespace {

RWDBStatus not_opened() {
  return RWDBStatus(RWDBStatus::notInitialized, "the database has not been opened");
}

bool ieq(const std::string& a, const char* b) {
  size_t n = std::char_traits<char>::length(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    char c = a[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != b[i]) return false;
  }
  return true;
}

bool space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Splits the caller's SQL into words: bare words end at white space or ';',
// double-quoted names may hold anything (a doubled quote stands for one).
// false when a quote is not closed.
bool words(const std::string& sql, std::vector<std::string>* out, std::vector<bool>* quoted) {
  size_t i = 0;
  while (i < sql.size()) {
    if (space(sql[i])) {
      ++i;
      continue;
    }
    if (sql[i] == ';') {
      out->push_back(";");
      quoted->push_back(false);
      ++i;
      continue;
    }
    std::string w;
    if (sql[i] == '"') {
      ++i;
      for (;;) {
        if (i >= sql.size()) return false;
        if (sql[i] == '"') {
          if (i + 1 < sql.size() && sql[i + 1] == '"') {
            w += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        w += sql[i++];
      }
      out->push_back(w);
      quoted->push_back(true);
      continue;
    }
    while (i < sql.size() && !space(sql[i]) && sql[i] != ';') w += sql[i++];
    out->push_back(w);
    quoted->push_back(false);
  }
  return true;
}

// The SQL that runs a synonym statement, or empty when sql is not one.
RWDBStatus translate_synonym(const std::string& sql, std::string* out) {
  std::vector<std::string> w;
  std::vector<bool> q;
  if (!words(sql, &w, &q)) return RWDBStatus();
  while (!w.empty() && w.back() == ";" && !q.back()) {
    w.pop_back();
    q.pop_back();
  }
  if (w.size() == 5 && !q[0] && !q[1] && !q[3] && ieq(w[0], "CREATE") && ieq(w[1], "SYNONYM") &&
      ieq(w[3], "FOR")) {
    std::string s = "CREATE VIEW ";
    RWDBStatus st = quote_identifier(w[2], &s);
    if (!st.isValid()) return st;
    s += " AS SELECT * FROM ";
    if (!(st = quote_identifier(w[4], &s)).isValid()) return st;
    *out = s;
  } else if (w.size() == 3 && !q[0] && !q[1] && ieq(w[0], "DROP") && ieq(w[1], "SYNONYM")) {
    std::string s = "DROP VIEW ";
    RWDBStatus st = quote_identifier(w[2], &s);
    if (!st.isValid()) return st;
    *out = s;
  }
  return RWDBStatus();
}

}  // namespace

// Runs raw SQL on c, translating the synonym forms.
RWDBResult execute_sql(const std::shared_ptr<DatabaseImpl>& db,
                       const std::shared_ptr<ConnectionImpl>& c, const std::string& rawSql) {
  if (!db || !db->driver) return RWDBResult(report(not_opened()));
  if (!c || !c->session()) return RWDBResult(report(c ? c->status() : not_opened()));
  std::string sql;
  RWDBStatus s = translate_synonym(rawSql, &sql);
  if (!s.isValid()) return RWDBResult(report(s));
  if (sql.empty()) sql = rawSql;
  if (sql.find('\0') != std::string::npos)
    return RWDBResult(report(layer_error(RWDBStatus::invalidUsage, "SQL text holds a NUL byte")));
  db->trace(sql);
  db->used(c);
  if (!(s = c->beforeStatement()).isValid()) return RWDBResult(report(s));
  // Caller's SQL may change any table: the schemas known so far are read again.
  db->schemas.clear();
  return RWDBResult(report(c->session()->exec(sql)));
}

}  // namespace qx::db

using qx::db::report;

RWDBStatus RWDBDatabase::status() const {
  if (!impl_) return qx::db::not_opened();
  return impl_->status;
}

RWCString RWDBDatabase::serverType() const { return impl_ ? impl_->serverType : RWCString(); }
RWCString RWDBDatabase::dbName() const { return impl_ ? impl_->dbName : RWCString(); }

RWDBConnection RWDBDatabase::connection(int) const {
  if (!impl_ || !impl_->driver) {
    report(qx::db::not_opened());
    return RWDBConnection();
  }
  auto c = impl_->handOutConnection();
  if (!c->status().isValid()) report(c->status());
  return RWDBConnection(c);
}

RWDBConnection RWDBDatabase::defaultConnection() const {
  if (!impl_ || !impl_->driver) return RWDBConnection();
  return RWDBConnection(impl_->defaultConnection());
}

RWDBTable RWDBDatabase::table(const RWCString& name) const {
  auto t = std::make_shared<qx::db::TableImpl>();
  t->db = impl_;
  t->name = name.str();
  if (!impl_ || !impl_->driver) t->status = qx::db::not_opened();
  return RWDBTable(t);
}

RWDBSelector RWDBDatabase::selector() const {
  return RWDBSelector(
      std::make_shared<qx::db::StatementImpl>(qx::db::StatementImpl::kSelect, impl_, ""));
}

RWDBSelector RWDBDatabase::selector(const RWDBCriterion& c) const {
  RWDBSelector s = selector();
  s.where(c);
  return s;
}

RWDBResult RWDBDatabase::executeSql(const RWCString& sql, const RWDBConnection& conn) const {
  return qx::db::execute_sql(impl_, conn.impl(), sql.str());
}

RWDBResult RWDBDatabase::executeSql(const RWCString& sql) const {
  return qx::db::execute_sql(impl_, qx::db::connection_of(impl_), sql.str());
}

RWDBStatus RWDBDatabase::createView(const RWCString& name, const RWCString& sqlText,
                                    const RWDBConnection& conn) const {
  std::string sql = "CREATE VIEW ";
  RWDBStatus s = qx::db::quote_identifier(name.str(), &sql);
  if (!s.isValid()) return report(s);
  sql += " AS ";
  sql += sqlText.str();
  // Not through the synonym translation: the text is a query.
  if (!impl_ || !impl_->driver) return report(qx::db::not_opened());
  auto c = conn.impl();
  if (!c || !c->session()) return report(c ? c->status() : qx::db::not_opened());
  impl_->trace(sql);
  impl_->used(c);
  if (!(s = c->beforeStatement()).isValid()) return report(s);
  return report(c->session()->exec(sql));
}

RWDBStatus RWDBDatabase::createTable(const RWCString& name, const RWDBSchema& schema,
                                     const RWDBConnection& conn) const {
  return create(false, name, schema, conn);
}

RWDBStatus RWDBDatabase::createTemporaryTable(const RWCString& name, const RWDBSchema& schema,
                                              const RWDBConnection& conn) const {
  return create(true, name, schema, conn);
}

RWDBStatus RWDBDatabase::create(bool temporary, const RWCString& name, const RWDBSchema& schema,
                                const RWDBConnection& conn) const {
  if (!impl_ || !impl_->driver) return report(qx::db::not_opened());
  auto c = conn.impl();
  if (!c || !c->session()) return report(c ? c->status() : qx::db::not_opened());
  if (schema.isEmpty())
    return report(qx::db::layer_error(RWDBStatus::invalidUsage, "a table needs columns"));
  std::string quotedTable;
  RWDBStatus s = qx::db::quote_identifier(name.str(), &quotedTable);
  if (!s.isValid()) return report(s);
  std::string sql =
      (temporary ? "CREATE TEMPORARY TABLE IF NOT EXISTS " : "CREATE TABLE ") + quotedTable + " (";
  RWDBSchema stored;
  std::vector<std::string> notes;  // run after the CREATE (Driver::columnNote)
  for (size_t i = 0; i < schema.entries(); ++i) {
    RWDBColumn col = schema[i];
    RWDBValue::ValueType t = col.type();
    if (t == RWDBValue::Int || t == RWDBValue::Short || t == RWDBValue::Char) t = RWDBValue::Long;
    if (t == RWDBValue::UnsignedInt || t == RWDBValue::UnsignedShort ||
        t == RWDBValue::UnsignedChar)
      t = RWDBValue::UnsignedLong;
    std::string quoted;
    if (!(s = qx::db::quote_identifier(col.name().str(), &quoted)).isValid()) return report(s);
    if (col.storageLength() < 0)
      return report(qx::db::layer_error(RWDBStatus::invalidUsage,
                                        "negative storage length for column " + col.name().str()));
    std::string def =
        impl_->driver->columnDefinition(quoted, t, col.storageLength(), col.nullAllowed());
    if (def.empty())
      return report(qx::db::layer_error(RWDBStatus::notSupported,
                                        "column " + col.name().str() + ": type " +
                                            std::to_string(static_cast<int>(col.type())) +
                                            " is not supported"));
    if (i > 0) sql += ", ";
    sql += def;
    std::string note = impl_->driver->columnNote(quotedTable, quoted, t, col.storageLength());
    if (!note.empty()) notes.push_back(std::move(note));
    stored.appendColumn(qx::db::fold_name(col.name().str()), t,
                        t == RWDBValue::String || t == RWDBValue::Blob ? col.storageLength() : 0,
                        col.nullAllowed());
  }
  sql += ")";
  impl_->used(c);
  if (!(s = c->beforeStatement()).isValid()) return report(s);
  // The table and its notes stand or fall together: in a transaction of their own when
  // the caller has none open; in the caller's, a table made here goes again when a note
  // fails (a failed statement undoes only itself there). A temporary table may have
  // been there before (IF NOT EXISTS): it stays.
  qx::db::Session* session = c->session();
  const bool own = !notes.empty() && !session->inTransaction();
  if (own && !(s = session->begin()).isValid()) return report(s);
  impl_->trace(sql);
  s = session->exec(sql);
  const bool made = s.isValid();
  for (size_t i = 0; s.isValid() && i < notes.size(); ++i) {
    impl_->trace(notes[i]);
    s = session->exec(notes[i]);
  }
  if (own) {
    if (s.isValid()) {
      s = session->commit();
    } else {
      session->rollback();
    }
  } else if (made && !s.isValid() && !temporary) {
    session->exec("DROP TABLE " + quotedTable);
  }
  if (s.isValid()) impl_->schemas[qx::db::fold_name(name.str())] = stored;
  return report(s);
}

const RWDBPhraseBook& RWDBDatabase::phraseBook() const {
  static const RWDBPhraseBook empty;
  return impl_ ? impl_->phraseBook : empty;
}

RWDBTracer& RWDBDatabase::tracer() const {
  static RWDBTracer none;
  return impl_ ? impl_->tracer : none;
}
