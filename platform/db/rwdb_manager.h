#ifndef QX_PLATFORM_DB_RWDB_MANAGER_H_
#define QX_PLATFORM_DB_RWDB_MANAGER_H_

#include <functional>
#include <memory>

#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_status.h"

namespace qx::db {
class Driver;
}

// Opens databases and holds the process's error handler.
class RWDBManager {
 public:
  // Opens a database. serverType "SQLITE" (databaseName = file path, or
  // ":memory:") or "POSTGRESQL" (serverName = host or socket directory, with
  // ":port" when not the default; userName; password (may be empty: libpq's
  // password file is used); databaseName). propertyString: optional
  // "key=value;..." settings: busy_timeout_ms (SQLite, default 5000),
  // application_name (PostgreSQL, default logmapper).
  // On failure the database's status is notConnected (8) with the driver's
  // reason, and the error handler is called. Never throws.
  static RWDBDatabase database(const RWCString& serverType, const RWCString& serverName,
                               const RWCString& userName, const RWCString& password,
                               const RWCString& databaseName,
                               const RWCString& propertyString = RWCString());

  // Installs the handler called with every failed status; returns the previous
  // one. nullptr: no handler.
  static RWDBErrorHandler setErrorHandler(RWDBErrorHandler handler);
  static RWDBErrorHandler errorHandler();

  // Tests: every database opened from now on uses wrap(driver) instead of the
  // driver itself (for example a fault-injecting wrapper); an empty function
  // restores the plain drivers.
  using DriverWrapper =
      std::function<std::unique_ptr<qx::db::Driver>(std::unique_ptr<qx::db::Driver>)>;
  static void setDriverWrapper(DriverWrapper wrap);
};

#endif  // QX_PLATFORM_DB_RWDB_MANAGER_H_
