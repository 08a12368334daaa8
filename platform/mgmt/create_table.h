#ifndef QX_PLATFORM_MGMT_CREATE_TABLE_H_
#define QX_PLATFORM_MGMT_CREATE_TABLE_H_

#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_phrase_book.h"
#include "platform/db/rwdb_schema.h"
#include "platform/db/rwdb_status.h"
#include "platform/mgmt/storage.h"

// Creates table name with schema on conn's database. storage and
// lockGranularity are accepted and written to the database's tracer (when it
// is on) as "storage: first extent F next extent N lock granularity L"; they
// have no effect on these servers. phraseBook must be conn's database's (it
// is checked: a phrase book of another server type gives invalidUsage).
// flag is reserved (pass 0). Returns the status of CREATE TABLE; a failure
// has also reached the error handler.
RWDBStatus create_table(const RWCString& name, const RWDBSchema& schema, const Storage& storage,
                        int lockGranularity, const RWDBPhraseBook& phraseBook,
                        const RWDBConnection& conn, int flag);

#endif  // QX_PLATFORM_MGMT_CREATE_TABLE_H_
