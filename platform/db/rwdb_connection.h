#ifndef QX_PLATFORM_DB_RWDB_CONNECTION_H_
#define QX_PLATFORM_DB_RWDB_CONNECTION_H_

#include <initializer_list>
#include <memory>
#include <vector>

#include "platform/db/rw_cstring.h"
#include "platform/db/rwdb_result.h"
#include "platform/db/rwdb_status.h"

class RWDBDatabase;
class RWDBDeleter;
class RWDBInserter;
class RWDBUpdater;
namespace qx::db {
class ConnectionImpl;
class StatementImpl;
}

// One statement of a group that RWDBConnection::execute runs as one unit: an insert,
// an update or a delete (a handle on it).
class RWDBGroupStatement {
 public:
  RWDBGroupStatement(const RWDBInserter& s);  // NOLINT: implicit by design
  RWDBGroupStatement(const RWDBUpdater& s);   // NOLINT
  RWDBGroupStatement(const RWDBDeleter& s);   // NOLINT
  const std::shared_ptr<qx::db::StatementImpl>& impl() const { return impl_; }

 private:
  std::shared_ptr<qx::db::StatementImpl> impl_;
};

// One session with the server. Starts in auto-commit mode (each statement its
// own transaction). With auto-commit off, the first statement after a commit
// or roll-back opens a transaction, so work is always inside one until the
// caller commits or rolls back.
//
// A statement that fails inside a transaction undoes only itself: the
// transaction and everything done before in it stay (PostgreSQL: a savepoint
// around each statement, sent in one round trip with it). When the server
// nevertheless ends the transaction (SQLite: some I/O and full-disk errors),
// the failed statement's message ends with "(transaction rolled back)" and,
// with auto-commit off, the next statement opens a new transaction; the commit
// that ends it fails (transactionAborted) and rolls it back, since the work
// before the failed statement is gone: a commit never stores only the tail of
// the caller's unit of work.
//
// SQLite: every connection of the process to one file is the same session,
// so they share one transaction (and auto-commit mode). PostgreSQL: each
// connection is a session of its own. A session whose server has gone stays
// unusable (status connectionLost, isTerminal); it is not reopened behind
// the caller's back, since its open transaction is lost.
//
// A handle: copies share the session. One thread at a time.
class RWDBConnection {
 public:
  RWDBConnection() = default;  // not valid
  explicit RWDBConnection(std::shared_ptr<qx::db::ConnectionImpl> impl) : impl_(std::move(impl)) {}

  // Switches auto-commit on (committing an open transaction) or off.
  RWDBStatus autoCommit(bool on);
  bool isAutoCommit() const;
  // Opens a transaction now; when one is open already, it goes on.
  RWDBStatus beginTransaction(const RWCString& name = RWCString());
  // Commits (nothing to do without an open transaction). A failed commit
  // leaves no transaction open: its work is gone. commitInDoubt when the
  // connection broke before the server answered; transactionAborted when the
  // server had rolled the transaction back after a failed statement.
  RWDBStatus commitTransaction(const RWCString& name = RWCString());
  RWDBStatus rollbackTransaction(const RWCString& name = RWCString());
  bool inTransaction() const;
  // Whether the server rolled back the caller's transaction on its own (after a
  // failed statement) since the caller's last commit or rollback: the next commit
  // fails.
  bool transactionLost() const;

  // Runs raw SQL text (the caller's own text, no bound values); see
  // RWDBDatabase::executeSql for the statement forms the layer translates.
  RWDBResult executeSql(const RWCString& sql);

  // Runs inserts, updates and deletes one after the other as one unit: all of them
  // take effect, or, when one fails, none, and the result is that statement's status
  // (inside a transaction the group is undone alone, as a failed statement is; in
  // auto-commit mode it is one transaction). Each is built, prepared and its values
  // checked before any runs. On PostgreSQL they reach the server together, in one round
  // trip. `rows` (when given) gets what each statement touched, in order (-1 when not
  // known); the result's row count is the last one's.
  RWDBResult execute(std::initializer_list<RWDBGroupStatement> statements,
                     std::vector<long>* rows = nullptr);

  bool isValid() const;
  RWDBStatus status() const;
  RWDBDatabase database() const;
  const std::shared_ptr<qx::db::ConnectionImpl>& impl() const { return impl_; }

 private:
  std::shared_ptr<qx::db::ConnectionImpl> impl_;
};

#endif  // QX_PLATFORM_DB_RWDB_CONNECTION_H_
