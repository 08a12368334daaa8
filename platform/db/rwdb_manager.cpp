#include "platform/db/rwdb_manager.h"

#include <cstdlib>
#include <string>

#include "platform/db/driver.h"
#include "platform/db/impl.h"

namespace {

RWDBErrorHandler g_handler = nullptr;
RWDBManager::DriverWrapper g_wrapper;

std::string upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

// "key=value;key=value"
std::string property(const std::string& props, const std::string& key) {
  size_t pos = 0;
  while (pos < props.size()) {
    size_t end = props.find(';', pos);
    if (end == std::string::npos) end = props.size();
    std::string item = props.substr(pos, end - pos);
    size_t eq = item.find('=');
    if (eq != std::string::npos && item.substr(0, eq) == key) return item.substr(eq + 1);
    pos = end + 1;
  }
  return std::string();
}

}  // namespace

namespace qx::db {

const RWDBStatus& report(const RWDBStatus& s) {
  if (!s.isValid() && g_handler != nullptr) g_handler(s);
  return s;
}

}  // namespace qx::db

RWDBErrorHandler RWDBManager::setErrorHandler(RWDBErrorHandler handler) {
  RWDBErrorHandler old = g_handler;
  g_handler = handler;
  return old;
}

RWDBErrorHandler RWDBManager::errorHandler() { return g_handler; }

void RWDBManager::setDriverWrapper(DriverWrapper wrap) { g_wrapper = std::move(wrap); }

RWDBDatabase RWDBManager::database(const RWCString& serverType, const RWCString& serverName,
                                   const RWCString& userName, const RWCString& password,
                                   const RWCString& databaseName, const RWCString& propertyString) {
  auto db = std::make_shared<qx::db::DatabaseImpl>();
  qx::db::OpenParams p;
  p.serverName = serverName.str();
  p.userName = userName.str();
  p.password = password.str();
  p.databaseName = databaseName.str();
  std::string timeout = property(propertyString.str(), "busy_timeout_ms");
  if (!timeout.empty()) p.busyTimeoutMs = std::atoi(timeout.c_str());
  std::string app = property(propertyString.str(), "application_name");
  if (!app.empty()) p.applicationName = app;

  std::string type = upper(serverType.str());
  std::unique_ptr<qx::db::Driver> driver;
  if (type == "SQLITE" || type == "SQLITE3") {
    driver = qx::db::make_sqlite_driver(p);
  } else if (type == "POSTGRESQL" || type == "POSTGRES" || type == "PG") {
    driver = qx::db::make_postgres_driver(p);
  } else {
    db->status = RWDBStatus(RWDBStatus::notConnected,
                            "unknown server type \"" + serverType + "\" (SQLITE or POSTGRESQL)");
    qx::db::report(db->status);
    return RWDBDatabase(db);
  }
  if (g_wrapper) driver = g_wrapper(std::move(driver));
  db->serverType = driver->serverType();
  db->dbName = p.databaseName;
  db->driver = std::move(driver);
  if (db->serverType == "SQLITE") {
    db->phraseBook = RWDBPhraseBook("SQLITE", "TEXT", "BLOB", "INTEGER", "TIMESTAMP TEXT");
  } else {
    db->phraseBook =
        RWDBPhraseBook("POSTGRESQL", "VARCHAR", "BYTEA", "BIGINT", "TIMESTAMP(3) WITH TIME ZONE");
  }
  // Open the default connection now, so that a database that cannot be
  // reached says so at once.
  auto conn = db->defaultConnection();
  if (!conn->status().isValid()) {
    const RWDBStatus& s = conn->status();
    db->status = RWDBStatus(RWDBStatus::notConnected, "cannot open the database: " + s.message(),
                            s.vendorError1(), s.vendorError2(), s.vendorMessage1(),
                            s.vendorMessage2(), s.isTerminal());
    qx::db::report(db->status);
  }
  return RWDBDatabase(db);
}
