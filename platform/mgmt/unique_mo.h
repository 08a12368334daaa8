#ifndef QX_PLATFORM_MGMT_UNIQUE_MO_H_
#define QX_PLATFORM_MGMT_UNIQUE_MO_H_

#include "platform/db/rw_cstring.h"
#include "platform/db/rwdb_blob.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_selector.h"

// Numbers managed object instances: the same encoded instance gets the same
// number in every process and after restarts. Numbers (1, 2, ...) are
// allocated by the database (the platform table "qx_uniquemo", created when
// missing), never by a per-process counter, so two processes sharing a
// PostgreSQL store get consistent numbers.
//
// On SQLite the allocation runs in the session (and transaction) the process
// already has on the file: a number allocated in a transaction that is rolled
// back is gone with it, as is every row that used it. On PostgreSQL it runs on
// a connection of its own in auto-commit mode.
//
// Not copyable. One thread at a time.
class UniqueMO {
 public:
  // The connection description's six strings; firstId and cacheSize are
  // accepted for compatibility (callers pass 1 and 1000).
  UniqueMO(const RWCString& serverType, const RWCString& serverName, const RWCString& userName,
           const RWCString& password, const RWCString& databaseName, const RWCString& role,
           int firstId, int cacheSize);
  UniqueMO(const UniqueMO&) = delete;
  UniqueMO& operator=(const UniqueMO&) = delete;

  // The number of the encoded instance, allocating one on first sight; -1 on
  // failure (an empty encoding, or a database error, which also reaches the
  // error handler).
  long get_unique_id(const RWDBBlob& encodedInstance);
  long get_unique_id(const unsigned char* encoding, size_t length);
  // The number of the encoded instance without allocating one: 0 when it has none yet,
  // -1 on failure.
  long find_unique_id(const RWDBBlob& encodedInstance);
  // The encoded instance that has `number`: 1 with `encodedInstance` holding it, 0 when
  // no instance has that number (encodedInstance emptied), -1 on failure.
  int find_instance(long number, RWDBBlob& encodedInstance);
  const RWDBStatus& status() const { return status_; }

 private:
  RWDBDatabase db_;
  RWDBConnection conn_;
  RWDBStatus status_;
  bool ready_ = false;
  // The lookup by encoding, prepared once (start-up looks up every managed object of
  // a log's alarms), reading the encoding bound from lookup_key_.
  RWDBSelector lookup_;
  RWDBBlob lookup_key_;
  bool lookup_made_ = false;
  bool ensure_table();
  // The stored number (0 when none), or -1 with status_ set on failure.
  long lookup(const RWDBBlob& encodedInstance);
};

#endif  // QX_PLATFORM_MGMT_UNIQUE_MO_H_
