#include "platform/mgmt/ac_object.h"

#include "platform/db/rwdb_reader.h"
#include "platform/mgmt/platform_store.h"

namespace {

const char* const kTable = "qx_acobject";

// Makes sure the platform table exists; another process may create it at the
// same time, so a failed creation is followed by a second look.
RWDBStatus ensure_table(RWDBDatabase& db, RWDBConnection& conn) {
  RWDBTable t = db.table(kTable);
  if (t.exists(conn)) return RWDBStatus();
  RWDBSchema s;
  s.appendColumn("kind", RWDBValue::String, 16, false);
  s.appendColumn("name", RWDBValue::String, 1024, false);
  s.appendColumn("owner", RWDBValue::String, 1024, true);
  s.appendColumn("owner_type", RWDBValue::Long, 0, true);
  s.appendColumn("tables", RWDBValue::String, 0, true);
  RWDBStatus st = db.createTable(kTable, s, conn);
  if (st.isValid()) {
    RWDBSchema key;
    key.appendColumn("kind");
    key.appendColumn("name");
    st = t.createIndex("qx_acobject_key", key, conn, true);
  }
  if (!st.isValid() && t.exists(conn)) st = RWDBStatus();
  return st;
}

}  // namespace

ACObject::ACObject(const RWCString& name) : name_(name) {}
ACObject::~ACObject() = default;

bool ACObject::fail(const RWCString& what, const RWDBStatus& s) {
  error_ = what;
  if (!s.isValid()) error_ += ": " + s.message();
  return false;
}

bool ACObject::open_store(RWDBDatabase& db, RWDBConnection& conn) {
  if (!db.isValid()) return fail("the platform database is not open", db.status());
  RWDBStatus s = ensure_table(db, conn);
  if (!s.isValid()) return fail("cannot create the access-control table", s);
  return true;
}

bool ACObject::exists() {
  error_ = RWCString();
  RWDBDatabase db = qx::mgmt::platform_database();
  RWDBConnection conn = qx::mgmt::platform_connection();
  if (!open_store(db, conn)) return false;
  RWDBTable t = db.table(kTable);
  RWDBSelector sel = db.selector();
  sel << t["name"];
  sel.where(t["kind"] == kind_ && t["name"] == name_);
  RWDBReader r = sel.reader(conn);
  bool found = r();
  if (!r.status().isValid()) return fail("cannot look up " + name_, r.status());
  while (found && r()) {
  }
  return found;
}

bool ACObject::set_auxobject_owner(ACAuxOwnerType type, const RWCString& owner) {
  if (owner.isNull()) return fail("an owner needs a name", RWDBStatus());
  owner_type_ = type;
  owner_ = owner;
  error_ = RWCString();
  return true;
}

bool ACObject::create() {
  if (exists()) return fail("the object " + name_ + " exists already", RWDBStatus());
  if (!error_.isNull()) return false;
  RWDBDatabase db = qx::mgmt::platform_database();
  RWDBConnection conn = qx::mgmt::platform_connection();
  RWDBTable t = db.table(kTable);
  RWDBInserter ins = t.inserter();
  ins["kind"] << kind_;
  ins["name"] << name_;
  ins["owner"] << owner_;
  ins["owner_type"] << static_cast<long>(owner_type_);
  ins["tables"] << tableText();
  RWDBResult res = ins.execute(conn);
  if (!res.isValid()) return fail("cannot create " + name_, res.status());
  return true;
}

bool ACObject::destroy() {
  error_ = RWCString();
  RWDBDatabase db = qx::mgmt::platform_database();
  RWDBConnection conn = qx::mgmt::platform_connection();
  if (!open_store(db, conn)) return false;
  RWDBTable t = db.table(kTable);
  RWDBDeleter del = t.deleter();
  del.where(t["kind"] == kind_ && t["name"] == name_);
  RWDBResult res = del.execute(conn);
  if (!res.isValid()) return fail("cannot destroy " + name_, res.status());
  if (res.rowCount() == 0) return fail("the object " + name_ + " does not exist", RWDBStatus());
  return true;
}

RWCString ACObject::tableText() const { return RWCString(); }

ACDbObject::ACDbObject(const RWCString& name, char) : ACObject(name) { kind_ = "db"; }

// The stored list separates the names by commas.
bool ACDbObject::table_name(const RWCString& t) {
  if (!t.isNull() && !t.contains(",")) return true;
  return fail("a table name is empty or holds a comma: \"" + t + "\"", RWDBStatus());
}

bool ACDbObject::set_db_object_table_list(RWTValSlist<RWCString>& tables) {
  for (const RWCString& t : tables) {
    if (!table_name(t)) return false;
  }
  tables_ = tables;
  error_ = RWCString();
  return true;
}

bool ACDbObject::create() { return ACObject::create(); }

bool ACDbObject::add_db_object_table(const RWCString& table) {
  error_ = RWCString();
  if (!table_name(table)) return false;
  RWDBDatabase db = qx::mgmt::platform_database();
  RWDBConnection conn = qx::mgmt::platform_connection();
  if (!open_store(db, conn)) return false;
  RWDBTable t = db.table(kTable);
  RWDBSelector sel = db.selector();
  sel << t["tables"];
  sel.where(t["kind"] == kind_ && t["name"] == name_);
  RWDBReader r = sel.reader(conn);
  if (!r()) {
    if (!r.status().isValid()) return fail("cannot look up " + name_, r.status());
    return fail("the object " + name_ + " does not exist", RWDBStatus());
  }
  RWDBNullIndicator none;
  RWCString stored;
  r >> none;
  if (!none) r >> stored;
  while (r()) {
  }
  std::string list = stored.str();
  size_t at = 0;
  while (at <= list.size()) {
    size_t end = list.find(',', at);
    if (end == std::string::npos) end = list.size();
    if (list.compare(at, end - at, table.str()) == 0) return true;
    at = end + 1;
  }
  RWCString text = list.empty() ? table : RWCString(list) + "," + table;
  RWDBUpdater up = t.updater();
  up << t["tables"].assign(text);
  up.where(t["kind"] == kind_ && t["name"] == name_);
  RWDBResult res = up.execute(conn);
  if (!res.isValid()) return fail("cannot change " + name_, res.status());
  tables_.append(table);
  return true;
}

RWCString ACDbObject::tableText() const {
  RWCString text;
  for (const RWCString& t : tables_) {
    if (!text.isNull()) text += ",";
    text += t;
  }
  return text;
}
