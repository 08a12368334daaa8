#ifndef QX_PLATFORM_DB_IMPL_H_
#define QX_PLATFORM_DB_IMPL_H_

// The objects behind the RWDB* handles. Internal to the layer.

#include <map>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/db/driver.h"
#include "platform/db/expr_node.h"
#include "platform/db/rwdb_expr.h"
#include "platform/db/rwdb_phrase_book.h"
#include "platform/db/rwdb_result.h"
#include "platform/db/rwdb_schema.h"
#include "platform/db/rwdb_status.h"
#include "platform/db/rwdb_tracer.h"

namespace qx::db {

class DatabaseImpl;

// Calls the installed error handler with s when s is not valid; returns s.
const RWDBStatus& report(const RWDBStatus& s);

// One session and its transaction mode. Shared by every RWDBConnection handle
// of it (and, on SQLite, by every connection of the process to one file).
class ConnectionImpl {
 public:
  ConnectionImpl(std::shared_ptr<Driver> driver, std::weak_ptr<DatabaseImpl> db);

  // Opens a transaction when auto-commit is off and none is open, so that
  // work is always inside one. Not reported (the caller reports).
  RWDBStatus beforeStatement();
  // Opens a transaction for the caller (RWDBConnection::beginTransaction).
  RWDBStatus begin();
  // Ends the open transaction. A commit of a transaction that the server rolled back
  // on its own (after a failed statement) fails: the part of it that ran after the
  // roll-back is rolled back too, so that nothing of it is committed.
  RWDBStatus commit();
  RWDBStatus rollback();
  // Whether the server rolled back the caller's transaction on its own since the
  // caller's last commit or rollback.
  bool lost() {
    if (session_) noteLost();
    return lost_;
  }
  Session* session() { return session_.get(); }
  const RWDBStatus& status() const { return status_; }
  const std::shared_ptr<Driver>& driver() const { return driver_; }
  std::shared_ptr<DatabaseImpl> database() const { return db_.lock(); }
  uint64_t id() const { return id_; }

  bool autoCommit = true;

 private:
  std::shared_ptr<Driver> driver_;
  std::weak_ptr<DatabaseImpl> db_;
  std::unique_ptr<Session> session_;
  RWDBStatus status_;
  uint64_t id_;
  // A transaction was opened and neither commit nor rollback has ended it: when the
  // session is no longer in it, the server rolled it back on its own.
  bool began_ = false;
  // The server rolled back the transaction the caller is in since its last commit or
  // rollback (a new one may be open by now).
  bool lost_ = false;
  // Notes a roll-back by the server of the transaction opened.
  void noteLost() {
    if (began_ && !session_->inTransaction()) {
      lost_ = true;
      began_ = false;
    }
  }
};

class DatabaseImpl : public std::enable_shared_from_this<DatabaseImpl> {
 public:
  RWDBStatus status;
  std::string serverType, dbName;
  std::shared_ptr<Driver> driver;
  RWDBTracer tracer;
  RWDBPhraseBook phraseBook;

  std::shared_ptr<ConnectionImpl> newConnection();
  // For RWDBDatabase::connection(): the default session the first time
  // (it was opened to check the database), a new one after that.
  std::shared_ptr<ConnectionImpl> handOutConnection();
  std::shared_ptr<ConnectionImpl> defaultConnection();
  // The connection most recently used for a statement, else the default one.
  std::shared_ptr<ConnectionImpl> recentConnection();
  void used(const std::shared_ptr<ConnectionImpl>& c) {
    if (recentId_ != c->id()) {
      recent_ = c;
      recentId_ = c->id();
    }
  }
  void trace(const std::string& text) {
    if (tracer.isOn()) tracer.trace(text);
  }

  // Schemas known in this process, by folded table name.
  std::map<std::string, RWDBSchema> schemas;

 private:
  std::shared_ptr<ConnectionImpl> default_;
  bool defaultHandedOut_ = false;
  std::weak_ptr<ConnectionImpl> recent_;
  uint64_t recentId_ = 0;
};

class TableImpl {
 public:
  std::shared_ptr<DatabaseImpl> db;
  std::string name;
  RWDBSchema schema;
  bool schemaKnown = false;
  RWDBStatus status;
  // Makes the schema known (process cache, else a fetch); the fetch's status.
  RWDBStatus ensureSchema();
};

class ReaderImpl;

// An INSERT, UPDATE, DELETE or SELECT under construction and its prepared
// form on the connection it last ran on.
class StatementImpl {
 public:
  enum Kind { kInsert, kUpdate, kDelete, kSelect };
  StatementImpl(Kind k, std::shared_ptr<DatabaseImpl> d, std::string t)
      : kind(k), db(std::move(d)), table(std::move(t)) {}

  Kind kind;
  std::shared_ptr<DatabaseImpl> db;
  std::string table;
  RWDBStatus status;  // an error made while building (reported at execute)

  // INSERT: columns (folded names, empty = next in table order) and values.
  std::vector<std::pair<std::string, RWDBExpr>> values;
  std::string nextColumn;
  bool haveNextColumn = false;
  // UPDATE
  std::vector<std::pair<std::string, RWDBExpr>> sets;
  // SELECT: folded names; empty = all columns. A value item has an empty name and
  // its node at the same position of selectValues (null for a column).
  std::vector<std::string> selectColumns;
  std::vector<NodePtr> selectValues;
  std::vector<std::string> orderColumns;  // folded
  NodePtr limitValue;
  // INSERT ... SELECT: the rows of `source` into the (folded) columns.
  std::shared_ptr<StatementImpl> source;
  std::vector<std::string> sourceColumns;
  RWDBCriterion where;
  std::shared_ptr<ReaderImpl> pending;  // rows of execute() for reader()

  void changed() { dirty_ = true; }
  // Builds (when changed), prepares (when new or on another connection),
  // evaluates the bound values and runs the statement.
  RWDBResult execute(const std::shared_ptr<ConnectionImpl>& c);
  // For SELECT: runs the query and returns its reader (never null).
  std::shared_ptr<ReaderImpl> query(const std::shared_ptr<ConnectionImpl>& c);
  // Runs inserts, updates and deletes on c as one unit (Session::executeGroup); none
  // runs when one cannot be built, prepared or bound. rows (when given) gets what each
  // touched.
  static RWDBResult executeGroup(std::span<StatementImpl* const> statements,
                                 const std::shared_ptr<ConnectionImpl>& c,
                                 std::vector<long>* rows);
  RWCString sqlText();

 private:
  // Prepares (when new or on another connection) and evaluates the bound values for a
  // run on c. REQUIRES: built, and c ready for a statement.
  RWDBStatus ready(const std::shared_ptr<ConnectionImpl>& c);
  RWDBStatus build();
  RWDBStatus prepareOn(const std::shared_ptr<ConnectionImpl>& c);
  RWDBStatus bindValues();

  // Declared lengths are enforced here, before a value reaches the server: each
  // placeholder of an INSERT or UPDATE value knows the column it fills (its name, or
  // its position for an insert in table order), and, once prepared, that column's
  // declared length (0: none).
  struct Target {
    std::string column;
    int position = -1;
  };
  // Appends the SELECT of statement s (this one, or the source of an insert); each
  // placeholder of its select list gets the target of the insert column it fills.
  RWDBStatus buildSelect(SqlBuilder& b, const StatementImpl& s,
                         const std::vector<std::string>* insertColumns,
                         std::vector<Target>& targets);
  RWDBStatus resolveLengths(const std::shared_ptr<ConnectionImpl>& c);
  // REQUIRES: placeholder i has a limit and a value longer than it in octets.
  RWDBStatus checkLength(size_t i) const;

  bool dirty_ = true;
  bool rebuilt_ = false;  // sql_ changed since the last prepareOn
  std::string sql_;
  std::vector<NodePtr> nodes_;
  std::vector<BoundVar> bound_;  // one per placeholder: its variable (none: read the node)
  std::vector<Param> params_;
  std::vector<Target> targets_;  // one per placeholder
  std::vector<long> limits_;     // one per placeholder
  bool lengthsResolved_ = false;
  uint64_t lengthsOn_ = 0;  // the connection the lengths were read on
  uint64_t preparedOn_ = 0;
  std::string preparedSql_;
  std::unique_ptr<Statement> stmt_;
};

class ReaderImpl {
 public:
  ReaderImpl() = default;
  ReaderImpl(std::unique_ptr<Cursor> c, std::shared_ptr<ConnectionImpl> conn)
      : cursor(std::move(c)), columns(cursor->columnCount()), conn_(std::move(conn)) {}

  // Whether column i of the current row is NULL; remembers the last answer,
  // since callers ask for the indicator and then take the value.
  bool isNull(int i) {
    if (i != nullPos) {
      nullPos = i;
      nullValue = cursor->isNull(i);
    }
    return nullValue;
  }

  std::unique_ptr<Cursor> cursor;
  int columns = 0;
  int nullPos = -1;
  bool nullValue = false;
  RWDBStatus status;  // of the query and the fetches
  RWDBStatus access;  // of the last positioning or extraction; reset by each row
  bool hasRow = false;
  size_t position = 0;
  bool positionValid = true;
  std::map<std::string, size_t> byName;
  std::string nameKey;  // the folded name of the last lookup, reused between lookups
  // By position, the name (as given) a lookup last found there.
  std::vector<std::string> askedAs;

 private:
  std::shared_ptr<ConnectionImpl> conn_;  // keeps the session open
};

// The connection a handle-less call uses.
std::shared_ptr<ConnectionImpl> connection_of(const std::shared_ptr<DatabaseImpl>& db);

}  // namespace qx::db

#endif  // QX_PLATFORM_DB_IMPL_H_
