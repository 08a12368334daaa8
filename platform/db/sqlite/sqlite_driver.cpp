// The SQLite driver: the only file that includes sqlite3.h.
//
// Every connection of the process to one file is one session (see
// Driver::sessionKey), opened in WAL mode with synchronous=FULL, a busy
// timeout and case-sensitive LIKE. A failed statement undoes only itself
// (SQLite's statement journal), so no savepoints are needed.
//
// A transaction takes the write lock when it begins: begin() sends nothing,
// and the first statement that may write opens the transaction with BEGIN
// IMMEDIATE, which waits the busy timeout while another process writes. A
// transaction that had begun by reading could not become a writer once
// another process had committed after its first read (SQLite then fails at
// once, without waiting), so reads before the first write run on their own,
// each seeing the latest committed data, as PostgreSQL's default isolation
// gives them.

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/civil.h"
#include "platform/db/driver.h"

namespace qx::db {
namespace {

bool is_check_length(const std::string& msg) { return msg.find("qxlen_") != std::string::npos; }

// The one place where SQLite's errors become statuses.
RWDBStatus translate(sqlite3* db, int rc, bool transactionLost = false) {
  int ext = db != nullptr ? sqlite3_extended_errcode(db) : rc;
  if ((ext & 0xff) != (rc & 0xff)) ext = rc;
  std::string msg = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
  RWDBStatus::ErrorCode code;
  std::string text;
  switch (rc & 0xff) {
    case SQLITE_CONSTRAINT:
      if (ext == SQLITE_CONSTRAINT_CHECK && is_check_length(msg)) {
        code = RWDBStatus::valueTooLong;
        text = "value longer than the column's declared length";
      } else {
        code = RWDBStatus::constraintViolation;
        text = "constraint violation";
      }
      break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      code = RWDBStatus::locked;
      text = "the database is locked";
      break;
    case SQLITE_FULL:
      code = RWDBStatus::diskFull;
      text = "the database is full";
      break;
    case SQLITE_NOMEM:
      code = RWDBStatus::noMem;
      text = "out of memory";
      break;
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB:
    case SQLITE_PERM:
    case SQLITE_READONLY:
      code = RWDBStatus::notConnected;
      text = "cannot use the database file";
      break;
    case SQLITE_MISMATCH:
    case SQLITE_TOOBIG:
    case SQLITE_RANGE:
      code = RWDBStatus::typeConflict;
      text = "value does not fit";
      break;
    case SQLITE_ERROR:
      if (msg.rfind("no such table", 0) == 0 || msg.rfind("no such column", 0) == 0 ||
          msg.rfind("no such view", 0) == 0 || msg.rfind("no such index", 0) == 0) {
        code = RWDBStatus::noSuchObject;
        text = "no such object";
      } else {
        code = RWDBStatus::serverError;
        text = "SQL error";
      }
      break;
    default:
      code = RWDBStatus::serverError;
      text = "database error";
  }
  text += ": " + msg;
  if (transactionLost) text += " (transaction rolled back)";
  return RWDBStatus(code, text, ext, rc & 0xff, msg, sqlite3_errstr(rc), false);
}

std::string lower(const char* s) {
  std::string r(s != nullptr ? s : "");
  for (char& c : r) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return r;
}

// The session's handle, shared by its statements so that it is closed only
// when the last of them is gone.
struct Db {
  sqlite3* db = nullptr;
  bool utf8 = false;  // the file keeps its text as UTF-8 (known at connect)
  // A transaction was begun and has not written yet: nothing is open on the
  // server until the first statement that may write.
  bool pending = false;
  ~Db() {
    if (db != nullptr) sqlite3_close_v2(db);
  }

  // Opens the begun transaction before a statement that may write, taking
  // the write lock (waiting the busy timeout for another writer).
  RWDBStatus startWriting() {
    if (!pending) return RWDBStatus();
    if (!sqlite3_get_autocommit(db)) {  // opened already (a savepoint outside one opens it)
      pending = false;
      return RWDBStatus();
    }
    int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return translate(db, rc);
    pending = false;
    return RWDBStatus();
  }
  bool inTransaction() const { return pending || !sqlite3_get_autocommit(db); }
};

class SqliteStatement;

class SqliteCursor : public Cursor {
 public:
  SqliteCursor(std::shared_ptr<Db> db, sqlite3_stmt* stmt, const uint64_t* generation)
      : db_(std::move(db)), stmt_(stmt), generation_(generation), mine_(*generation) {
    int n = sqlite3_column_count(stmt);
    for (int i = 0; i < n; ++i) names_.push_back(lower(sqlite3_column_name(stmt, i)));
  }
  ~SqliteCursor() override {
    if (live()) sqlite3_reset(stmt_);
  }

  bool next(RWDBStatus* status) override {
    *status = RWDBStatus();
    typeOf_ = -1;
    if (done_ || !live()) return false;
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    done_ = true;
    if (rc == SQLITE_DONE) {
      sqlite3_reset(stmt_);
      return false;
    }
    sqlite3_reset(stmt_);
    *status = translate(db_->db, rc);
    return false;
  }
  int columnCount() const override { return static_cast<int>(names_.size()); }
  const std::string& columnName(int i) const override { return names_[static_cast<size_t>(i)]; }
  bool isNull(int i) override { return type(i) == SQLITE_NULL; }
  bool getInt(int i, int64_t* v) override {
    int t = type(i);
    if (t == SQLITE_INTEGER) {
      *v = sqlite3_column_int64(stmt_, i);
      return true;
    }
    if (t == SQLITE_TEXT) {
      // Parsed from the stored bytes: no terminated copy of the value is made.
      std::string_view text = bytes(i, t);
      char buf[32];
      if (text.empty() || text.size() >= sizeof buf) return false;
      text.copy(buf, text.size());
      buf[text.size()] = '\0';
      char* end = nullptr;
      errno = 0;
      long long x = std::strtoll(buf, &end, 10);
      if (end != buf + text.size() || errno != 0) return false;
      *v = x;
      return true;
    }
    return false;
  }
  // Text and blobs are handed out as stored: sqlite3_column_text would first
  // copy a stored text to terminate it. Numbers are converted to their text,
  // which SQLite keeps beside the number until the next row.
  bool viewText(int i, std::string_view* v) override {
    int t = type(i);
    if (t == SQLITE_TEXT || t == SQLITE_BLOB) {
      *v = bytes(i, t);
      return true;
    }
    const unsigned char* s = sqlite3_column_text(stmt_, i);
    int n = sqlite3_column_bytes(stmt_, i);
    *v = s == nullptr ? std::string_view()
                      : std::string_view(reinterpret_cast<const char*>(s), static_cast<size_t>(n));
    return true;
  }
  bool viewBlob(int i, std::string_view* v) override {
    int t = type(i);
    if (t == SQLITE_TEXT || t == SQLITE_BLOB) {
      *v = bytes(i, t);
      return true;
    }
    return viewText(i, v);  // a number's text, as sqlite3_column_blob would give it
  }
  bool getDateTime(int i, int64_t* millis, int32_t* offset) override {
    if (type(i) != SQLITE_TEXT) return false;
    std::string_view text = bytes(i, SQLITE_TEXT);
    return parse_date_time(text.data(), text.size(), millis, offset);
  }

 private:
  bool live() const { return *generation_ == mine_; }
  // The type of column i of the row; remembers the last answer, since a value
  // is asked for its type (is it NULL?) and then read.
  int type(int i) {
    if (i != typeOf_) {
      typeOf_ = i;
      type_ = sqlite3_column_type(stmt_, i);
    }
    return type_;
  }
  // The stored bytes of a TEXT or BLOB value. With a UTF-8 database, the
  // text's bytes are the text; otherwise SQLite converts them first.
  std::string_view bytes(int i, int type) {
    const void* p = type == SQLITE_BLOB || db_->utf8 ? sqlite3_column_blob(stmt_, i)
                                                     : sqlite3_column_text(stmt_, i);
    int n = sqlite3_column_bytes(stmt_, i);
    if (p == nullptr || n <= 0) return std::string_view();
    return std::string_view(static_cast<const char*>(p), static_cast<size_t>(n));
  }
  std::shared_ptr<Db> db_;
  sqlite3_stmt* stmt_;
  const uint64_t* generation_;
  uint64_t mine_;
  bool done_ = false;
  int typeOf_ = -1;  // the column whose type type_ is, in the current row
  int type_ = SQLITE_NULL;
  std::vector<std::string> names_;
};

class SqliteStatement : public Statement {
 public:
  SqliteStatement(std::shared_ptr<Db> db, sqlite3_stmt* stmt)
      : db_(std::move(db)),
        stmt_(stmt),
        writes_(sqlite3_stmt_readonly(stmt) == 0),
        generation_(std::make_unique<uint64_t>(0)) {}
  ~SqliteStatement() override {
    ++*generation_;  // ends a cursor that is still around
    sqlite3_finalize(stmt_);
  }

  RWDBStatus execute(const std::vector<Param>& params, int64_t* rows) override {
    RWDBStatus s = writes_ ? db_->startWriting() : RWDBStatus();
    if (!s.isValid()) return s;
    bool wasInTx = !sqlite3_get_autocommit(db_->db);
    s = start(params);
    if (!s.isValid()) return s;
    int rc;
    while ((rc = sqlite3_step(stmt_)) == SQLITE_ROW) {
    }
    sqlite3_reset(stmt_);
    if (rc != SQLITE_DONE)
      return translate(db_->db, rc, wasInTx && sqlite3_get_autocommit(db_->db));
    *rows = sqlite3_changes64(db_->db);
    return RWDBStatus();
  }

  RWDBStatus query(const std::vector<Param>& params, std::unique_ptr<Cursor>* cursor) override {
    RWDBStatus s = writes_ ? db_->startWriting() : RWDBStatus();
    if (!s.isValid()) return s;
    s = start(params);
    if (!s.isValid()) return s;
    *cursor = std::make_unique<SqliteCursor>(db_, stmt_, generation_.get());
    return RWDBStatus();
  }

 private:
  RWDBStatus start(const std::vector<Param>& params) {
    ++*generation_;
    sqlite3_reset(stmt_);
    if (texts_.size() < params.size()) texts_.resize(params.size());
    for (size_t k = 0; k < params.size(); ++k) {
      const Param& p = params[k];
      int i = static_cast<int>(k) + 1, rc = SQLITE_OK;
      switch (p.kind) {
        case Param::kNull:
          rc = sqlite3_bind_null(stmt_, i);
          break;
        case Param::kInt:
          rc = sqlite3_bind_int64(stmt_, i, p.i);
          break;
        case Param::kText:
          // Bound as NUL-terminated (length -1): SQLite then knows the terminator is
          // there and need not copy the text whenever it looks at it (the length checks
          // of the columns do, on every insert).
          rc = sqlite3_bind_text(stmt_, i, p.size ? p.data : "", -1, SQLITE_STATIC);
          break;
        case Param::kBlob:
          rc = p.size ? sqlite3_bind_blob64(stmt_, i, p.data, p.size, SQLITE_STATIC)
                      : sqlite3_bind_zeroblob(stmt_, i, 0);
          break;
        case Param::kDateTime: {
          char* buf = texts_[k].data();
          buf[format_date_time(p.i, p.offset, buf)] = '\0';
          rc = sqlite3_bind_text(stmt_, i, buf, -1, SQLITE_STATIC);
          break;
        }
      }
      if (rc != SQLITE_OK) return translate(db_->db, rc);
    }
    return RWDBStatus();
  }

  std::shared_ptr<Db> db_;
  sqlite3_stmt* stmt_;
  bool writes_;                              // the statement may change the database
  std::unique_ptr<uint64_t> generation_;     // stable address for cursors
  std::vector<std::array<char, 48>> texts_;  // formatted date-times
};

class SqliteSession : public Session {
 public:
  explicit SqliteSession(std::shared_ptr<Db> db) : db_(std::move(db)) {}
  ~SqliteSession() override {
    for (sqlite3_stmt* st : group_) sqlite3_finalize(st);
  }

  // The group between a SAVEPOINT and its RELEASE (outside a transaction they begin and
  // commit one), with those statements prepared once: a savepoint costs SQLite next to
  // nothing, compiling its text at every group would not.
  RWDBStatus executeGroup(std::span<Statement* const> statements,
                          std::span<const std::vector<Param>* const> params, int64_t* rows,
                          size_t* failed) override {
    *failed = 0;
    static const char* const kText[] = {"SAVEPOINT qx_group", "RELEASE qx_group",
                                        "ROLLBACK TO qx_group"};
    for (size_t k = 0; k < 3; ++k) {
      if (group_[k] != nullptr) continue;
      int rc =
          sqlite3_prepare_v3(db_->db, kText[k], -1, SQLITE_PREPARE_PERSISTENT, &group_[k], nullptr);
      if (rc != SQLITE_OK) return translate(db_->db, rc);
    }
    // The group writes: a begun transaction opens now, with the write lock, not as the
    // deferred one that a savepoint outside a transaction would open.
    RWDBStatus started = db_->startWriting();
    if (!started.isValid()) return started;
    bool wasInTx = !sqlite3_get_autocommit(db_->db);
    int rc = step(group_[0]);
    if (rc != SQLITE_DONE) return translate(db_->db, rc);
    for (size_t i = 0; i < statements.size(); ++i) {
      RWDBStatus s = statements[i]->execute(*params[i], &rows[i]);
      if (!s.isValid()) {
        *failed = i;
        // Nothing of the group stays (unless the error ended the transaction already,
        // and the savepoint with it).
        if (step(group_[2]) == SQLITE_DONE) step(group_[1]);
        return s;
      }
    }
    rc = step(group_[1]);
    if (rc == SQLITE_DONE) return RWDBStatus();
    *failed = statements.size() - 1;
    RWDBStatus s = translate(db_->db, rc, wasInTx && sqlite3_get_autocommit(db_->db));
    if (step(group_[2]) == SQLITE_DONE) step(group_[1]);
    return s;
  }

  RWDBStatus prepare(const std::string& sql, size_t, std::unique_ptr<Statement>* out) override {
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    int rc = sqlite3_prepare_v3(db_->db, sql.c_str(), static_cast<int>(sql.size()),
                                SQLITE_PREPARE_PERSISTENT, &stmt, &tail);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(stmt);
      return translate(db_->db, rc);
    }
    if (stmt == nullptr) return RWDBStatus(RWDBStatus::invalidUsage, "empty statement");
    *out = std::make_unique<SqliteStatement>(db_, stmt);
    return RWDBStatus();
  }

  // Runs the text statement by statement, opening the begun transaction before
  // the first that may write.
  RWDBStatus exec(const std::string& sql) override {
    const char* next = sql.c_str();
    const char* end = next + sql.size();
    while (next < end) {
      sqlite3_stmt* stmt = nullptr;
      int rc = sqlite3_prepare_v2(db_->db, next, static_cast<int>(end - next), &stmt, &next);
      if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return translate(db_->db, rc);
      }
      if (stmt == nullptr) break;  // only blanks or comments left
      RWDBStatus s = sqlite3_stmt_readonly(stmt) ? RWDBStatus() : db_->startWriting();
      if (!s.isValid()) {
        sqlite3_finalize(stmt);
        return s;
      }
      bool wasInTx = !sqlite3_get_autocommit(db_->db);
      while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      }
      sqlite3_finalize(stmt);
      if (rc != SQLITE_DONE)
        return translate(db_->db, rc, wasInTx && sqlite3_get_autocommit(db_->db));
    }
    return RWDBStatus();
  }
  RWDBStatus begin() override {
    if (db_->inTransaction())
      return RWDBStatus(RWDBStatus::invalidUsage, "a transaction is open already");
    db_->pending = true;
    return RWDBStatus();
  }
  RWDBStatus commit() override {
    if (db_->pending) {  // nothing was written
      db_->pending = false;
      return RWDBStatus();
    }
    int rc = sqlite3_exec(db_->db, "COMMIT", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) return RWDBStatus();
    RWDBStatus s = translate(db_->db, rc);
    // A commit that did not happen leaves nothing behind.
    if (!sqlite3_get_autocommit(db_->db))
      sqlite3_exec(db_->db, "ROLLBACK", nullptr, nullptr, nullptr);
    return s;
  }
  RWDBStatus rollback() override {
    if (db_->pending) {
      db_->pending = false;
      return RWDBStatus();
    }
    int rc = sqlite3_exec(db_->db, "ROLLBACK", nullptr, nullptr, nullptr);
    return rc == SQLITE_OK ? RWDBStatus() : translate(db_->db, rc);
  }
  bool inTransaction() const override { return db_->inTransaction(); }
  bool alive() const override { return true; }

  RWDBStatus tableExists(const std::string& name, bool* exists) override {
    // The session's temporary tables count, as they do on PostgreSQL.
    return query1(
        "SELECT (SELECT count(*) FROM sqlite_master WHERE type IN ('table','view') AND name = ?1 "
        "COLLATE NOCASE) + (SELECT count(*) FROM sqlite_temp_master WHERE type IN "
        "('table','view') AND name = ?1 COLLATE NOCASE)",
        name, [&](sqlite3_stmt* st) { *exists = sqlite3_column_int64(st, 0) > 0; });
  }

  // The names SQLite's authorizer reports reading while it compiles a query of the
  // view (views are expanded, so the tables behind other views are reported too).
  RWDBStatus viewSources(const std::string& name, std::vector<std::string>* out) override {
    out->clear();
    bool isView = false;
    RWDBStatus s =
        query1("SELECT count(*) FROM sqlite_master WHERE type = 'view' AND name = ?1", name,
               [&](sqlite3_stmt* st) { isView = sqlite3_column_int64(st, 0) > 0; });
    if (!s.isValid()) return s;
    if (!isView) return RWDBStatus(RWDBStatus::noSuchObject, "no such view: " + name);
    struct Reads {
      std::string view;
      std::vector<std::string>* names;
    } reads{name, out};
    auto collect = [](void* data, int action, const char* table, const char*, const char*,
                      const char*) {
      auto* r = static_cast<Reads*>(data);
      if (action != SQLITE_READ || table == nullptr) return SQLITE_OK;
      std::string t = lower(table);
      if (t != r->view && std::find(r->names->begin(), r->names->end(), t) == r->names->end())
        r->names->push_back(t);
      return SQLITE_OK;
    };
    std::string sql = "SELECT * FROM \"";
    for (char c : name) sql += c == '"' ? std::string("\"\"") : std::string(1, c);
    sql += "\"";
    sqlite3_set_authorizer(db_->db, collect, &reads);
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db_->db, sql.c_str(), -1, &st, nullptr);
    sqlite3_set_authorizer(db_->db, nullptr, nullptr);
    sqlite3_finalize(st);
    if (rc != SQLITE_OK) {
      out->clear();
      return translate(db_->db, rc);
    }
    return RWDBStatus();
  }

  RWDBStatus fetchSchema(const std::string& name, std::vector<ColumnInfo>* out) override {
    out->clear();
    RWDBStatus s = query1(
        "SELECT name, type, \"notnull\" FROM pragma_table_info(?1)", name, [&](sqlite3_stmt* st) {
          ColumnInfo c;
          c.name = lower(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
          std::string type = lower(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
          c.nullAllowed = sqlite3_column_int(st, 2) == 0;
          size_t paren = type.find('(');
          if (paren != std::string::npos) c.length = std::atol(type.c_str() + paren + 1);
          if (type.rfind("integer", 0) == 0) {
            c.type = RWDBValue::Long;
          } else if (type.rfind("timestamp", 0) == 0) {
            c.type = RWDBValue::DateTime;
          } else if (type.rfind("text", 0) == 0) {
            c.type = RWDBValue::String;
          } else if (type.rfind("blob", 0) == 0) {
            c.type = RWDBValue::Blob;
          }
          out->push_back(c);
        });
    if (s.isValid() && out->empty())
      return RWDBStatus(RWDBStatus::noSuchObject, "no such table: " + name);
    return s;
  }

 private:
  template <class Row>
  RWDBStatus query1(const char* sql, const std::string& arg, Row row) {
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db_->db, sql, -1, &st, nullptr);
    if (rc != SQLITE_OK) {
      sqlite3_finalize(st);
      return translate(db_->db, rc);
    }
    sqlite3_bind_text(st, 1, arg.c_str(), static_cast<int>(arg.size()), SQLITE_TRANSIENT);
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) row(st);
    sqlite3_finalize(st);
    return rc == SQLITE_DONE ? RWDBStatus() : translate(db_->db, rc);
  }

  static int step(sqlite3_stmt* st) {
    int rc = sqlite3_step(st);
    sqlite3_reset(st);
    return rc;
  }

  std::shared_ptr<Db> db_;
  sqlite3_stmt* group_[3] = {nullptr, nullptr, nullptr};  // savepoint, release, roll back
};

std::atomic<uint64_t> g_memory_id{0};

class SqliteDriver : public Driver {
 public:
  explicit SqliteDriver(const OpenParams& p) : p_(p) {
    if (p_.databaseName == ":memory:") {
      key_ = "sqlite-memory:" + std::to_string(++g_memory_id);
    } else {
      // The process id keeps a forked child off its parent's handle.
      key_ = "sqlite:" + std::to_string(getpid()) + ":" + canonical(p_.databaseName);
    }
  }
  std::string serverType() const override { return "SQLITE"; }
  std::string placeholder(size_t n) const override { return "?" + std::to_string(n); }
  std::string columnDefinition(const std::string& q, RWDBValue::ValueType type, long length,
                               bool nullAllowed) const override {
    std::string d = q + " ";
    std::string check;
    switch (type) {
      case RWDBValue::Long:
      case RWDBValue::UnsignedLong:
        d += "INTEGER";
        break;
      case RWDBValue::DateTime:
        d += "TIMESTAMP TEXT";
        break;
      case RWDBValue::String:
        d += length > 0 ? "TEXT(" + std::to_string(length) + ")" : "TEXT";
        break;
      case RWDBValue::Blob:
        d += length > 0 ? "BLOB(" + std::to_string(length) + ")" : "BLOB";
        break;
      default:
        return std::string();
    }
    if (!nullAllowed) d += " NOT NULL";
    // The declared length is kept in the type ("TEXT(255)") and enforced by the layer
    // before a value is bound: a CHECK constraint would cost every insert a statement
    // journal and a length() call per column. Tables made by earlier versions keep
    // their qxlen_ constraints, which translate() still reports as too long.
    return d;
  }
  std::string sessionKey() const override { return key_; }

  RWDBStatus connect(std::unique_ptr<Session>* out) override {
    auto db = std::make_shared<Db>();
    // A name beginning "file:" is an SQLite URI with its parameters (mode=ro ...).
    const int flags =
        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI;
    int rc = sqlite3_open_v2(p_.databaseName.c_str(), &db->db, flags, nullptr);
    if (rc == SQLITE_OK) {
      sqlite3_extended_result_codes(db->db, 1);
      sqlite3_busy_timeout(db->db, p_.busyTimeoutMs);
    }
    if (rc == SQLITE_OK && sqlite3_db_readonly(db->db, "main") == 1 &&
        p_.databaseName.rfind("file:", 0) == 0 && shared_memory_missing(db->db)) {
      // A store in WAL mode that nobody has open, in a folder this process may not
      // write, cannot be read the usual way (its shared-memory file is missing and
      // cannot be made): read it as a file that does not change while it is read.
      sqlite3_close_v2(db->db);
      db->db = nullptr;
      std::string name = p_.databaseName;
      name += name.find('?') == std::string::npos ? "?immutable=1" : "&immutable=1";
      rc = sqlite3_open_v2(name.c_str(), &db->db, flags, nullptr);
    }
    if (rc != SQLITE_OK) {
      RWDBStatus s = translate(db->db, rc);
      return s;
    }
    const bool read_only = sqlite3_db_readonly(db->db, "main") == 1;
    sqlite3_extended_result_codes(db->db, 1);
    sqlite3_busy_timeout(db->db, p_.busyTimeoutMs);
    // A store opened for reading only keeps the journal mode and encoding it has.
    std::string pragmas = "PRAGMA case_sensitive_like = ON; PRAGMA synchronous = FULL;";
    if (p_.databaseName != ":memory:" && !read_only) {
      pragmas = "PRAGMA journal_mode = WAL; " + pragmas;
    }
    rc = sqlite3_exec(db->db, pragmas.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) return translate(db->db, rc);
    // A new file is made UTF-8; an existing one keeps the encoding it was made with.
    if (!read_only) {
      rc = sqlite3_exec(db->db, "PRAGMA encoding = 'UTF-8'", nullptr, nullptr, nullptr);
      if (rc != SQLITE_OK) return translate(db->db, rc);
    }
    sqlite3_stmt* enc = nullptr;
    rc = sqlite3_prepare_v2(db->db, "PRAGMA encoding", -1, &enc, nullptr);
    if (rc == SQLITE_OK && sqlite3_step(enc) == SQLITE_ROW) {
      const unsigned char* e = sqlite3_column_text(enc, 0);
      db->utf8 = e != nullptr && std::string_view(reinterpret_cast<const char*>(e)) == "UTF-8";
    }
    sqlite3_finalize(enc);
    if (rc != SQLITE_OK) return translate(db->db, rc);
    *out = std::make_unique<SqliteSession>(db);
    return RWDBStatus();
  }

 private:
  // Whether reading the schema of a database opened for reading fails because its
  // shared-memory file cannot be made. Only then: a store another process writes at
  // this moment (busy, or locked past the timeout) is read the usual way, never as one
  // that does not change, which would miss what is in its WAL and read pages half-way
  // through a change.
  static bool shared_memory_missing(sqlite3* db) {
    int rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    return (rc & 0xff) == SQLITE_READONLY || (rc & 0xff) == SQLITE_CANTOPEN;
  }

  // The absolute, resolved path of a file that may not exist yet.
  static std::string canonical(const std::string& path) {
    char buf[PATH_MAX];
    if (realpath(path.c_str(), buf) != nullptr) return buf;
    size_t slash = path.rfind('/');
    std::string dir = slash == std::string::npos ? "." : path.substr(0, slash);
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (dir.empty()) dir = "/";
    if (realpath(dir.c_str(), buf) != nullptr) return std::string(buf) + "/" + base;
    return path;
  }

  OpenParams p_;
  std::string key_;
};

}  // namespace

std::unique_ptr<Driver> make_sqlite_driver(const OpenParams& p) {
  return std::make_unique<SqliteDriver>(p);
}

}  // namespace qx::db
