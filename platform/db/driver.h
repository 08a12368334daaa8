#ifndef QX_PLATFORM_DB_DRIVER_H_
#define QX_PLATFORM_DB_DRIVER_H_

// The one small interface between the RWDB* classes and a database server.
// Each driver (sqlite/, postgres/) implements it in one file and is the only
// place that includes its server's C header; fault_driver wraps any driver
// for tests. Internal to the layer.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/db/rwdb_status.h"
#include "platform/db/rwdb_value.h"

namespace qx::db {

// One bound value, read from the program's variable at execution. text and
// blob point into the caller's memory, valid for the duration of the call;
// text is NUL-terminated and holds no NUL byte.
struct Param {
  enum Kind { kNull, kInt, kText, kBlob, kDateTime };
  Kind kind = kNull;
  int64_t i = 0;               // kInt; kDateTime: milliseconds since the epoch
  int32_t offset = 0;          // kDateTime: seconds east of UTC to show it in
  const char* data = nullptr;  // kText, kBlob
  size_t size = 0;
};

// A column of a table as the server describes it.
struct ColumnInfo {
  std::string name;  // lower case
  RWDBValue::ValueType type = RWDBValue::NoType;
  long length = 0;
  bool nullAllowed = true;
};

// The rows of one query, fetched as they come.
class Cursor {
 public:
  virtual ~Cursor() = default;
  // Reads the next row. false at the end (*status valid) or on error.
  virtual bool next(RWDBStatus* status) = 0;
  virtual int columnCount() const = 0;
  virtual const std::string& columnName(int i) const = 0;  // lower case
  // Values of the current row. REQUIRES: 0 <= i < columnCount(), a row read.
  virtual bool isNull(int i) = 0;
  // false when the value does not convert (the caller reports typeConflict).
  virtual bool getInt(int i, int64_t* v) = 0;
  // The text of a value (an integer as its decimal form) and the bytes of a
  // blob, borrowed from the cursor: they stay valid until the next row is
  // read or the cursor ends, whatever else of the row is read meanwhile.
  virtual bool viewText(int i, std::string_view* v) = 0;
  virtual bool viewBlob(int i, std::string_view* v) = 0;
  // The same, copied.
  bool getText(int i, std::string* v) {
    std::string_view s;
    if (!viewText(i, &s)) return false;
    v->assign(s.data(), s.size());
    return true;
  }
  bool getBlob(int i, std::string* v) {
    std::string_view s;
    if (!viewBlob(i, &s)) return false;
    v->assign(s.data(), s.size());
    return true;
  }
  virtual bool getDateTime(int i, int64_t* millis, int32_t* offset) = 0;
};

// A statement prepared once on a session and executed many times.
class Statement {
 public:
  virtual ~Statement() = default;
  // Runs the statement with params; *rows = rows touched (-1 unknown).
  virtual RWDBStatus execute(const std::vector<Param>& params, int64_t* rows) = 0;
  // Runs a query; on success *cursor holds its rows. The cursor ends when the
  // statement runs again.
  virtual RWDBStatus query(const std::vector<Param>& params, std::unique_ptr<Cursor>* cursor) = 0;
};

// A session with the server. A statement that fails inside a transaction
// undoes only itself and the transaction goes on; where the server ends the
// transaction anyway, inTransaction() is false afterwards and the status's
// message says so.
class Session {
 public:
  virtual ~Session() = default;
  // sql holds nparams placeholders made by Driver::placeholder.
  virtual RWDBStatus prepare(const std::string& sql, size_t nparams,
                             std::unique_ptr<Statement>* out) = 0;
  // Runs trusted SQL text of the layer or the caller, without parameters.
  virtual RWDBStatus exec(const std::string& sql) = 0;
  virtual RWDBStatus begin() = 0;
  virtual RWDBStatus commit() = 0;
  virtual RWDBStatus rollback() = 0;
  virtual bool inTransaction() const = 0;
  // Whether a table or view named name (already folded) exists, the session's
  // temporary tables included.
  virtual RWDBStatus tableExists(const std::string& name, bool* exists) = 0;
  // The tables and views that the view `name` (already folded) reads, directly or
  // through other views, folded. noSuchObject when there is no such view or it reads
  // a table that is gone.
  virtual RWDBStatus viewSources(const std::string& name, std::vector<std::string>* out) = 0;
  // The columns of table name (already folded); noSuchObject when missing.
  virtual RWDBStatus fetchSchema(const std::string& name, std::vector<ColumnInfo>* out) = 0;
  // Whether the session can still talk to the server.
  virtual bool alive() const = 0;
  // Runs statements of this session one after the other as one unit, each with its
  // parameters; rows[i] gets what statement i touched (-1 unknown). Either all take
  // effect or none: when one fails, the work of those before it is undone (inside a
  // transaction the group is undone alone, as a failed statement is; outside one it
  // runs in a transaction of its own) and its status is the result, *failed its index.
  virtual RWDBStatus executeGroup(std::span<Statement* const> statements,
                                  std::span<const std::vector<Param>* const> params,
                                  int64_t* rows, size_t* failed) = 0;
};

class Driver {
 public:
  virtual ~Driver() = default;
  // "SQLITE" or "POSTGRESQL".
  virtual std::string serverType() const = 0;
  // Text of the n-th (1-based) placeholder.
  virtual std::string placeholder(size_t n) const = 0;
  // The same for a value in a select list, whose type the server cannot infer from a
  // column: a value of `kind` (kNull: of no known type).
  virtual std::string selectPlaceholder(size_t n, Param::Kind) const { return placeholder(n); }
  // A column of CREATE INDEX, its name already quoted: ordered as the layer's ORDER BY
  // orders (ascending, NULL first), so that an index serves such a query on every server.
  virtual std::string indexColumn(const std::string& quotedName) const { return quotedName; }
  // The column definition of CREATE TABLE for a column, its name already
  // quoted, keeping its declared length where fetchSchema finds it again, in the
  // definition or in a columnNote (the layer enforces it before binding). Empty for a
  // type the driver does not take.
  virtual std::string columnDefinition(const std::string& quotedName, RWDBValue::ValueType type,
                                       long length, bool nullAllowed) const = 0;
  // A statement run after CREATE TABLE, in its transaction, that keeps what a column's
  // definition does not (its declared length, where the type has no room for it) for
  // fetchSchema to find again; empty: none. The names are quoted already.
  virtual std::string columnNote(const std::string& /*quotedTable*/,
                                 const std::string& /*quotedName*/, RWDBValue::ValueType /*type*/,
                                 long /*length*/) const {
    return std::string();
  }
  // A key under which sessions are shared within the process (SQLite: the
  // file, so that every connection of the process to one file is the same
  // session and transaction); empty: every connection is a session of its own.
  virtual std::string sessionKey() const = 0;
  virtual RWDBStatus connect(std::unique_ptr<Session>* out) = 0;
};

// Settings given to RWDBManager::database.
struct OpenParams {
  std::string serverName, userName, password, databaseName;
  int busyTimeoutMs = 5000;
  std::string applicationName = "logmapper";
};

std::unique_ptr<Driver> make_sqlite_driver(const OpenParams& p);
std::unique_ptr<Driver> make_postgres_driver(const OpenParams& p);

// The status of an error the layer itself detects.
RWDBStatus layer_error(RWDBStatus::ErrorCode code, const std::string& message);

}  // namespace qx::db

#endif  // QX_PLATFORM_DB_DRIVER_H_
