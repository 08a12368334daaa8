// Per-log database objects besides the tables: the access-control objects of the
// platform, synonyms and the security view. Names made from log names are quoted as
// identifiers wherever they are spliced into an SQL text, so any log name is safe.
#include <string>

#include "infra/tolk_map/tables/alarm_history.h"
#include "infra/tolk_map/log_tables.h"
#include "infra/tolk_map/trace.h"
#include "infra/tolk_map/util.h"
#include "platform/db/rw_tval_slist.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_result.h"
#include "platform/db/rwdb_table.h"
#include "platform/mgmt/ac_object.h"
#include "platform/value/exception.h"
#include "tolk.h"

namespace {

// The access-control object name of a log: "LOG_" + name, a distinguished name with
// its double quotes doubled.
bool db_object_name(const char* log_name, RWCString& name) {
  name = "LOG_";
  if (log_name[0] != '/') {
    name += log_name;
    return true;
  }
  if (!dbobject_strfmt(RWCString(log_name), RWCString("\""), name, '"')) {
    InvalidX::raise("dbobject format failure");
    return false;
  }
  return true;
}

void raise_ac(ACObject& o) { InvalidX::raise("%s", o.get_error_string().data()); }

}  // namespace

void LogMapper::Create_qxDbObject() {
  ACDbObject object("LOG", 1);
  if (object.exists()) return;
  if (!object.get_error_string().isNull()) return raise_ac(object);
  RWTValSlist<RWCString> tables;
  tables.append("Log");
  tables.append("QxLog");
  if (!object.set_db_object_table_list(tables)) return raise_ac(object);
  if (!object.create()) {
    // Another process may have made it at the same moment.
    ACDbObject again("LOG", 1);
    if (!again.exists()) raise_ac(object);
  }
}

void LogMapper::Create_qxDbObject(const char* logName, const Asn1Value ownerId) {
  RWCString name;
  if (!db_object_name(logName, name)) return;
  db_object_ = std::make_unique<ACDbObject>(name, 1);
  created_db_object_ = false;
  if (db_object_->exists()) return;  // a stored log's object is only looked up
  if (!db_object_->get_error_string().isNull()) return raise_ac(*db_object_);
  RWTValSlist<RWCString> tables;
  for (const auto& t : tables_) {
    if (t) tables.append(RWCString(t->get_table_name()));
  }
  if (history_) tables.append(RWCString(history_->name()));
  if (!db_object_->set_db_object_table_list(tables)) return raise_ac(*db_object_);
  std::string owner = "root";
  if (ownerId && ownerId.size() != 0) {
    ExceptionScope scope;
    std::string octets;
    if (ownerId.constructed() || !ownerId.decode_octets(octets)) {
      scope.close();
      InvalidX::raise("the owner identifier is not a string");
      return;
    }
    if (!octets.empty()) owner = octets;
  }
  tolk_info.print("The owner id is : %s\n", owner.c_str());
  if (!db_object_->set_auxobject_owner(AC_OWNER_USER, RWCString(owner))) {
    return raise_ac(*db_object_);
  }
  if (!db_object_->create()) return raise_ac(*db_object_);
  created_db_object_ = true;
}

void LogMapper::add_to_qxDbObject(const std::string& table) {
  RWCString name;
  if (!db_object_name(log_name_, name)) return;
  ACDbObject object(name, 1);
  if (!object.exists()) {
    if (!object.get_error_string().isNull()) raise_ac(object);
    return;
  }
  if (!object.add_db_object_table(RWCString(table))) raise_ac(object);
}

void LogMapper::Delete_qxDbObject() {
  if (!db_object_) {
    RWCString name;
    if (!db_object_name(log_name_, name)) return;
    db_object_ = std::make_unique<ACDbObject>(name, 1);
  }
  tolk_info.print("Going to delete the qxDbObject : %s \n", db_object_->get_object_name().data());
  if (!db_object_->exists()) {
    if (!db_object_->get_error_string().isNull()) return raise_ac(*db_object_);
    db_object_.reset();  // nothing stored under this name
    return;
  }
  if (!db_object_->destroy()) return raise_ac(*db_object_);
  db_object_.reset();
}

namespace qx {

std::array<std::string, 2> own_names(const std::string& primary, uint32_t qxlogid) {
  return {primary, primary + "_" + std::to_string(qxlogid)};
}

// A name another log holds is passed over without trying it: a statement that fails
// inside the log's creating transaction costs that transaction a roll-back to its last
// good statement. A failure for any other reason would befall the second name alike.
std::string create_own_synonym(const std::string& primary, const std::string& table,
                               uint32_t qxlogid) {
  std::string sql;
  for (const std::string& name : own_names(primary, qxlogid)) {
    sql = "CREATE SYNONYM " + quote_identifier(name) + " FOR " + quote_identifier(table);
    if (!valid_name(name)) break;  // the statement could only fail
    if (LogMapper::aDB_().table(name).exists(LogMapper::aConnection())) continue;
    if (LogMapper::aDB_().executeSql(sql, LogMapper::aConnection()).isValid()) return name;
    break;
  }
  tolk_error.print("Synonym creation failure: DB SQL: %s\n", sql.c_str());
  return std::string();
}

bool stands_for(const std::string& name, const std::string& table) {
  if (!valid_name(name)) return false;
  RWDBTable view = LogMapper::aDB_().table(name);
  return view.exists(LogMapper::aConnection()) && view.reads(table, LogMapper::aConnection());
}

}  // namespace qx

// The security view, under the first of the log's own names that is free.
void LogMapper::create_views() {
  std::string secalm = qx::record_table_name(table_name_, SECALM_TABLE);
  std::string text =
      "SELECT loggingTime securityLogTime, serviceUser_s, \t\t\teventName securityEvent, "
      "MOC_s securityMOC, \t\t\tMOI_s securityMOI, eventTime securityeventTime, "
      "\t\t\tsecurityAlmDtectrs, serviceProvider_s, \t\t\tlogRecordId securityRecordId, "
      "securityAlmCauses, \t\t\tsecurityAlmSeverty FROM " +
      qx::quote_identifier(secalm);
  RWDBStatus s;
  for (const std::string& name : qx::own_names("qx_" + std::string(log_name_) + "_sec", qxlogid_)) {
    if (aDB_().table(name).exists(aConnection())) {
      if (qx::stands_for(name, secalm)) break;  // made already
      continue;                                 // another log's
    }
    s = aDB_().createView(name, text, aConnection());
    if (!s.isValid()) break;
    sec_view_ = name;
    create_synonym(sec_view_);
    return;
  }
  ConflictX::raise("security view of log %s not created: %s", log_name_,
                   s.isValid() ? "it exists already" : s.message().data());
}

// Drops the log's security view and its synonym: a view left behind would keep the
// server from dropping the log's security alarm table. Another log's view under a name
// that folds to the same stays.
void LogMapper::delete_views() {
  std::string secalm = qx::record_table_name(table_name_, SECALM_TABLE);
  for (const std::string& view : qx::own_names("qx_" + std::string(log_name_) + "_sec", qxlogid_)) {
    if (qx::stands_for(view + "table", secalm)) delete_synonym(view + "table");
    if (Exception::pending()) return;
    if (!qx::stands_for(view, secalm)) continue;
    RWDBResult r = aDB_().executeSql("DROP VIEW " + qx::quote_identifier(view), aConnection());
    if (!r.isValid()) {
      ProcessFailX::raise("security view %s not dropped: %s", view.c_str(),
                          r.status().message().data());
      return;
    }
  }
}

void LogMapper::create_synonym(const std::string& name) {
  std::string synonym = name + "table";
  size_t dot = name.find('.');
  if (dot != std::string::npos) synonym = name.substr(dot) + "table";
  std::string sql =
      "CREATE SYNONYM " + qx::quote_identifier(synonym) + " FOR " + qx::quote_identifier(name);
  aDB_().executeSql(sql, aConnection());
}

void LogMapper::delete_synonym(const std::string& name) {
  if (name.empty()) return;
  RWDBResult r = aDB_().executeSql("DROP SYNONYM " + qx::quote_identifier(name), aConnection());
  if (!r.isValid()) {
    ProcessFailX::raise("synonym %s not dropped: %s", name.c_str(), r.status().message().data());
  }
}
