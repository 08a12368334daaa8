#ifndef QX_PLATFORM_MGMT_PLATFORM_STORE_H_
#define QX_PLATFORM_MGMT_PLATFORM_STORE_H_

#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"

namespace qx::mgmt {

// The database the platform services (access-control objects, unique MO
// numbers) use: opened on first use from QXDBConnectInfo(3), i.e. QXDB_URL.
// The returned database belongs to the process; not valid when it cannot be
// opened (its status says why).
RWDBDatabase platform_database();
// The connection those services use: on SQLite the process's session on the
// file; on PostgreSQL a connection of their own in auto-commit mode.
RWDBConnection platform_connection();
// Tests: forget the database so that the next use reopens it (after QXDB_URL
// changed).
void reset_platform_database();

}  // namespace qx::mgmt

#endif  // QX_PLATFORM_MGMT_PLATFORM_STORE_H_
