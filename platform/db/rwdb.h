#ifndef QX_PLATFORM_DB_RWDB_H_
#define QX_PLATFORM_DB_RWDB_H_

// Everything a user of the database layer needs.
#include "platform/db/rw_cstring.h"
#include "platform/db/rw_ctokenizer.h"
#include "platform/db/rw_date.h"
#include "platform/db/rw_zone.h"
#include "platform/db/rwdb_blob.h"
#include "platform/db/rwdb_column.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_date_time.h"
#include "platform/db/rwdb_expr.h"
#include "platform/db/rwdb_manager.h"
#include "platform/db/rwdb_null_indicator.h"
#include "platform/db/rwdb_phrase_book.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_result.h"
#include "platform/db/rwdb_schema.h"
#include "platform/db/rwdb_statements.h"
#include "platform/db/rwdb_status.h"
#include "platform/db/rwdb_table.h"
#include "platform/db/rwdb_tracer.h"
#include "platform/db/rwdb_value.h"

#endif  // QX_PLATFORM_DB_RWDB_H_
