#include "platform/mgmt/platform_store.h"

#include "platform/db/rwdb_manager.h"
#include "platform/mgmt/qxdb_connect_info.h"

namespace qx::mgmt {
namespace {

struct Store {
  bool opened = false;
  RWDBDatabase db;
  RWDBConnection conn;
};

Store& store() {
  static Store s;
  return s;
}

}  // namespace

RWDBDatabase platform_database() {
  Store& s = store();
  if (!s.opened) {
    QXDBConnectInfo info(3);
    s.db =
        RWDBManager::database(info.get_server_type(), info.get_server_name(), info.get_user_name(),
                              info.get_user_password(), info.get_database_name());
    s.opened = true;
  }
  return s.db;
}

RWDBConnection platform_connection() {
  Store& s = store();
  RWDBDatabase db = platform_database();
  if (!db.isValid()) return RWDBConnection();
  if (!s.conn.impl()) {
    // SQLite: the process's one session on the file. PostgreSQL: a session
    // of its own, each statement committed at once.
    s.conn = db.connection();
  }
  return s.conn;
}

void reset_platform_database() {
  Store& s = store();
  s.conn = RWDBConnection();
  s.db = RWDBDatabase();
  s.opened = false;
}

}  // namespace qx::mgmt
