#ifndef QX_PLATFORM_DB_RWDB_STATEMENTS_H_
#define QX_PLATFORM_DB_RWDB_STATEMENTS_H_

// Umbrella for the four statement classes.
#include "platform/db/rwdb_deleter.h"
#include "platform/db/rwdb_inserter.h"
#include "platform/db/rwdb_selector.h"
#include "platform/db/rwdb_updater.h"

#endif  // QX_PLATFORM_DB_RWDB_STATEMENTS_H_
