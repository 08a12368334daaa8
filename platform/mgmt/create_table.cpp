#include "platform/mgmt/create_table.h"

#include <string>

#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_manager.h"

RWDBStatus create_table(const RWCString& name, const RWDBSchema& schema, const Storage& storage,
                        int lockGranularity, const RWDBPhraseBook& phraseBook,
                        const RWDBConnection& conn, int /*flag*/) {
  RWDBDatabase db = conn.database();
  if (!db.isValid()) {
    RWDBStatus s = db.status();
    if (RWDBErrorHandler h = RWDBManager::errorHandler()) h(s);
    return s;
  }
  if (phraseBook[RWDBPhraseBook::serverType] != db.serverType()) {
    RWDBStatus s(RWDBStatus::invalidUsage, "create_table: the phrase book is not the database's (" +
                                               phraseBook[RWDBPhraseBook::serverType] + ", " +
                                               db.serverType() + ")");
    if (RWDBErrorHandler h = RWDBManager::errorHandler()) h(s);
    return s;
  }
  // The storage clause has no counterpart on these servers; it is kept in
  // the trace so that configured extents can still be checked.
  db.tracer().trace("storage: " + name + " first extent " + std::to_string(storage.first_extent) +
                    " next extent " + std::to_string(storage.next_extent) + " lock granularity " +
                    std::to_string(lockGranularity));
  return db.createTable(name, schema, conn);
}
