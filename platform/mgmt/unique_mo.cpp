#include "platform/mgmt/unique_mo.h"

#include "platform/db/rwdb_manager.h"
#include "platform/db/rwdb_reader.h"

namespace {
const char* const kTable = "qx_uniquemo";
}

UniqueMO::UniqueMO(const RWCString& serverType, const RWCString& serverName,
                   const RWCString& userName, const RWCString& password,
                   const RWCString& databaseName, const RWCString& /*role*/, int /*firstId*/,
                   int /*cacheSize*/) {
  db_ = RWDBManager::database(serverType, serverName, userName, password, databaseName);
  if (!db_.isValid()) {
    status_ = db_.status();
    return;
  }
  // SQLite: the process's session on the file (and its transaction).
  // PostgreSQL: a session of its own in auto-commit mode, so numbers are
  // committed at once and never wait for the caller's transaction.
  conn_ = db_.connection();
  status_ = conn_.status();
}

bool UniqueMO::ensure_table() {
  if (ready_) return true;
  if (!status_.isValid() && (status_.isTerminal() || !db_.isValid())) return false;
  // The numbering needs an auto-allocated key, which the schema classes do
  // not describe: the table is made with the server's own words.
  const char* sql = db_.serverType() == "POSTGRESQL"
                        ? "CREATE TABLE IF NOT EXISTS qx_uniquemo (id BIGSERIAL PRIMARY KEY, "
                          "encoding BYTEA NOT NULL UNIQUE)"
                        : "CREATE TABLE IF NOT EXISTS qx_uniquemo (id INTEGER PRIMARY KEY, "
                          "encoding BLOB NOT NULL UNIQUE)";
  RWDBResult r = db_.executeSql(sql, conn_);
  if (!r.isValid()) {
    // Another process may have created it in the meantime.
    if (!db_.table(kTable).exists(conn_)) {
      status_ = r.status();
      return false;
    }
  }
  ready_ = true;
  return true;
}

long UniqueMO::get_unique_id(const unsigned char* encoding, size_t length) {
  return get_unique_id(RWDBBlob(encoding, length));
}

long UniqueMO::lookup(const RWDBBlob& encodedInstance) {
  if (!lookup_made_) {
    RWDBTable t = db_.table(kTable);
    lookup_ = db_.selector();
    lookup_ << t["id"];
    lookup_.where(t["encoding"] == RWDBBoundExpr(&lookup_key_));
    lookup_made_ = true;
  }
  lookup_key_ = encodedInstance;
  RWDBReader r = lookup_.reader(conn_);
  long id = 0;
  if (r()) r >> id;
  while (r()) {
  }
  if (!r.status().isValid()) {
    status_ = r.status();
    return -1;
  }
  status_ = RWDBStatus();
  return id;
}

long UniqueMO::find_unique_id(const RWDBBlob& encodedInstance) {
  if (encodedInstance.length() == 0) {
    status_ = RWDBStatus(RWDBStatus::invalidUsage, "an empty managed object instance");
    return -1;
  }
  if (!ensure_table()) return -1;
  return lookup(encodedInstance);
}

long UniqueMO::get_unique_id(const RWDBBlob& encodedInstance) {
  long id = find_unique_id(encodedInstance);
  if (id != 0) return id;
  // Allocate, then look again: when two processes allocate at once, the unique
  // encoding makes one insert fail and both read one number.
  RWDBInserter ins = db_.table(kTable).inserter();
  ins["encoding"] << encodedInstance;
  RWDBResult res = ins.execute(conn_);
  if (!res.isValid() && res.status().errorCode() != RWDBStatus::constraintViolation) {
    status_ = res.status();
    return -1;
  }
  id = lookup(encodedInstance);
  if (id == 0) {
    status_ = RWDBStatus(RWDBStatus::serverError, "no number allocated");
    return -1;
  }
  return id;
}

int UniqueMO::find_instance(long number, RWDBBlob& encodedInstance) {
  encodedInstance.clear();
  if (!ensure_table()) return -1;
  RWDBTable t = db_.table(kTable);
  RWDBSelector sel = db_.selector();
  sel << t["encoding"];
  sel.where(t["id"] == RWDBExpr(number));
  RWDBReader r = sel.reader(conn_);
  bool found = r();
  if (found) r >> encodedInstance;
  while (r()) {
  }
  if (!r.status().isValid()) {
    status_ = r.status();
    encodedInstance.clear();
    return -1;
  }
  status_ = RWDBStatus();
  return found ? 1 : 0;
}
