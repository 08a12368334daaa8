#ifndef QX_PLATFORM_DB_RWDB_CONNECTION_H_
#define QX_PLATFORM_DB_RWDB_CONNECTION_H_

#include <memory>

#include "platform/db/rw_cstring.h"
#include "platform/db/rwdb_result.h"
#include "platform/db/rwdb_status.h"

class RWDBDatabase;
namespace qx::db {
class ConnectionImpl;
}

// One session with the server. Starts in auto-commit mode (each statement its
// own transaction). With auto-commit off, the first statement after a commit
// or roll-back opens a transaction, so work is always inside one until the
// caller commits or rolls back.
//
// A statement that fails inside a transaction undoes only itself: the
// transaction and everything done before in it stay (PostgreSQL: a savepoint
// around each statement, sent in one round trip with it). When the server
// nevertheless ends the transaction (SQLite: some I/O and full-disk errors),
// the status says so (transactionAborted is not used for the statement's
// own code; the message ends with "transaction rolled back") and, with
// auto-commit off, the next statement opens a new transaction.
//
// A handle: copies share the session. One thread at a time.
class RWDBConnection {
 public:
  RWDBConnection() = default;  // not valid
  explicit RWDBConnection(std::shared_ptr<qx::db::ConnectionImpl> impl)
      : impl_(std::move(impl)) {}

  // Switches auto-commit on (committing an open transaction) or off.
  RWDBStatus autoCommit(bool on);
  bool isAutoCommit() const;
  // Opens a transaction now. invalidUsage when one is open already and has
  // done work.
  RWDBStatus beginTransaction(const RWCString& name = RWCString());
  // Commits. A failed commit leaves no transaction open. commitInDoubt when
  // the connection broke before the server answered.
  RWDBStatus commitTransaction(const RWCString& name = RWCString());
  RWDBStatus rollbackTransaction(const RWCString& name = RWCString());
  bool inTransaction() const;

  // Runs raw SQL text (the caller's own text, no bound values); see
  // RWDBDatabase::executeSql for the statement forms the layer translates.
  RWDBResult executeSql(const RWCString& sql);

  bool isValid() const;
  RWDBStatus status() const;
  RWDBDatabase database() const;
  const std::shared_ptr<qx::db::ConnectionImpl>& impl() const { return impl_; }

 private:
  std::shared_ptr<qx::db::ConnectionImpl> impl_;
};

#endif  // QX_PLATFORM_DB_RWDB_CONNECTION_H_
