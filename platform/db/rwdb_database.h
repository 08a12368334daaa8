#ifndef QX_PLATFORM_DB_RWDB_DATABASE_H_
#define QX_PLATFORM_DB_RWDB_DATABASE_H_

#include <memory>

#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_phrase_book.h"
#include "platform/db/rwdb_result.h"
#include "platform/db/rwdb_schema.h"
#include "platform/db/rwdb_selector.h"
#include "platform/db/rwdb_status.h"
#include "platform/db/rwdb_table.h"
#include "platform/db/rwdb_tracer.h"

namespace qx::db {
class DatabaseImpl;
}

// An opened database (RWDBManager::database). A default-constructed one is not
// opened: its status has code notInitialized (2); one that failed to open has
// notConnected (8). A handle: copies share the database.
//
// Identifiers (table, column, index, view names) are folded to lower case and
// quoted; a name that is empty, holds NUL, or is longer than 63 bytes is
// refused with invalidName. Values are always bound.
class RWDBDatabase {
 public:
  RWDBDatabase() = default;
  explicit RWDBDatabase(std::shared_ptr<qx::db::DatabaseImpl> impl) : impl_(std::move(impl)) {}

  bool isValid() const { return status().isValid(); }
  RWDBStatus status() const;
  // "SQLITE" or "POSTGRESQL"; empty when not opened.
  RWCString serverType() const;
  RWCString dbName() const;

  // A connection. type is accepted for compatibility (1 = synchronous).
  // The first call returns the database's default connection (the one calls
  // that name no connection use, opened to check the database); later calls
  // open new ones. On SQLite every connection of the process to one file
  // (or of one in-memory database) is the same session.
  RWDBConnection connection(int type = 1) const;
  // The connection used by calls that name none.
  RWDBConnection defaultConnection() const;

  RWDBTable table(const RWCString& name) const;
  RWDBSelector selector() const;
  // The selector with a criterion.
  RWDBSelector selector(const RWDBCriterion& c) const;

  // Runs the caller's raw SQL text: one statement, no bound values. Two forms are
  // translated, since neither server has synonyms:
  //   CREATE SYNONYM s FOR t   ->  a view s over t (SELECT * FROM t)
  //   DROP SYNONYM s           ->  dropping that view
  // (keywords in any case; names bare or double-quoted, folded and quoted).
  RWDBResult executeSql(const RWCString& sql, const RWDBConnection& conn) const;
  RWDBResult executeSql(const RWCString& sql) const;
  // CREATE VIEW name AS sqlText.
  RWDBStatus createView(const RWCString& name, const RWCString& sqlText,
                        const RWDBConnection& conn) const;
  // CREATE TABLE from a schema; column types by the phrase book (see
  // DESIGN: INTEGER/BIGINT, TEXT/VARCHAR(n), TEXT/TIMESTAMP(3) WITH TIME ZONE,
  // BLOB/BYTEA), declared lengths enforced. notSupported for other types.
  RWDBStatus createTable(const RWCString& name, const RWDBSchema& schema,
                         const RWDBConnection& conn) const;
  // As createTable, a temporary table: only conn's session sees it (on SQLite, every
  // connection of the process to the file, which are one session), it goes when the
  // session ends (a process that dies leaves nothing behind), it stays across commits,
  // and a roll-back of the transaction that created it removes it. It shadows a
  // permanent table of the same name in that session. When the session has a table of
  // this name already, nothing is done and the result is success (CREATE TEMPORARY
  // TABLE IF NOT EXISTS), so a caller may ask for it before each use.
  RWDBStatus createTemporaryTable(const RWCString& name, const RWDBSchema& schema,
                                  const RWDBConnection& conn) const;

  const RWDBPhraseBook& phraseBook() const;
  RWDBTracer& tracer() const;

  const std::shared_ptr<qx::db::DatabaseImpl>& impl() const { return impl_; }

 private:
  // CREATE TABLE, or for `temporary` CREATE TEMPORARY TABLE IF NOT EXISTS.
  RWDBStatus create(bool temporary, const RWCString& name, const RWDBSchema& schema,
                    const RWDBConnection& conn) const;

  std::shared_ptr<qx::db::DatabaseImpl> impl_;
};

#endif  // QX_PLATFORM_DB_RWDB_DATABASE_H_
