#ifndef QX_PLATFORM_DB_RWDB_TABLE_H_
#define QX_PLATFORM_DB_RWDB_TABLE_H_

#include <initializer_list>
#include <memory>

#include "platform/db/rwdb_column.h"
#include "platform/db/rwdb_deleter.h"
#include "platform/db/rwdb_inserter.h"
#include "platform/db/rwdb_schema.h"
#include "platform/db/rwdb_selector.h"
#include "platform/db/rwdb_status.h"
#include "platform/db/rwdb_updater.h"

class RWDBConnection;
class RWDBDatabase;
namespace qx::db {
class TableImpl;
}

// A named table of a database (which need not exist yet). Its schema is the
// one fetched with fetchSchema or, when never fetched, fetched the first time
// column(position) needs it. A handle: copies share the schema.
class RWDBTable {
 public:
  RWDBTable() = default;  // not valid
  explicit RWDBTable(std::shared_ptr<qx::db::TableImpl> impl) : impl_(std::move(impl)) {}

  // The name as given.
  RWCString name() const;
  // A column handle for criteria and assignments: name, and type and length
  // when the schema is known. Never fails (the statement using it will, if the
  // column does not exist).
  RWDBColumn operator[](const RWCString& columnName) const;
  RWDBColumn column(const RWCString& columnName) const { return (*this)[columnName]; }
  // The column at position of the table's schema (fetched on first use);
  // status invalidPosition (11) beyond the last column, or the fetch's
  // status when the schema cannot be fetched.
  RWDBColumn column(size_t position) const;
  RWDBColumn operator[](size_t position) const { return column(position); }
  size_t numberOfColumns() const;
  const RWDBSchema& schema() const;

  // Asks the database (never a cache) whether a table or view of this name
  // exists. false also when the question fails (the error handler is called).
  bool exists(const RWDBConnection& conn) const;
  bool exists() const;
  // Whether this is a view (a synonym is one) that reads `table`, directly or through
  // other views; names compare folded. false for a table, a missing name, or a view
  // that reads a table that is gone; other failures reach the error handler.
  bool reads(const RWCString& table, const RWDBConnection& conn) const;
  // Reads the columns of the existing table (names in lower case, type, length,
  // null flag). noSuchObject when there is no such table.
  RWDBStatus fetchSchema(const RWDBConnection& conn);
  RWDBStatus fetchSchema();
  // DROP TABLE.
  RWDBStatus drop(const RWDBConnection& conn);
  RWDBStatus drop();
  // CREATE [UNIQUE] INDEX name ON table (columns of schema). The clustered flag
  // is accepted and has no effect on these servers. Each column is in the order of
  // the layer's ORDER BY (ascending, NULL first), so that the index can give rows in
  // that order on every server.
  RWDBStatus createIndex(const RWCString& indexName, const RWDBSchema& columns,
                         const RWDBConnection& conn, bool unique = false, bool clustered = false);
  // The same, not unique, and nothing when an index of that name exists already.
  RWDBStatus createIndexIfMissing(const RWCString& indexName, const RWDBSchema& columns,
                                  const RWDBConnection& conn);

  RWDBInserter inserter() const;
  // INSERT INTO this table (columns) SELECT ...: the rows `source` selects, its select
  // list giving the columns in order. The source's bound variables are read at each
  // execution; it must be complete before the inserter first runs. Runs in a group
  // (RWDBConnection::execute) like any insert.
  RWDBInserter inserter(const RWDBSelector& source, std::initializer_list<RWCString> columns) const;
  RWDBUpdater updater() const;
  RWDBDeleter deleter() const;

  RWDBDatabase database() const;
  RWDBStatus status() const;
  bool isValid() const { return status().isValid(); }
  const std::shared_ptr<qx::db::TableImpl>& impl() const { return impl_; }

 private:
  std::shared_ptr<qx::db::TableImpl> impl_;
};

#endif  // QX_PLATFORM_DB_RWDB_TABLE_H_
