// Per-log database objects besides the tables: the access-control objects of the
// platform, synonyms and the security view. Names made from log names are quoted as
// identifiers wherever they are spliced into an SQL text, so any log name is safe.
#include <string>

#include "infra/tolk_map/alarm_history.h"
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

void LogMapper::create_views() {
  std::string text =
      "SELECT loggingTime securityLogTime, serviceUser_s, \t\t\teventName securityEvent, "
      "MOC_s securityMOC, \t\t\tMOI_s securityMOI, eventTime securityeventTime, "
      "\t\t\tsecurityAlmDtectrs, serviceProvider_s, \t\t\tlogRecordId securityRecordId, "
      "securityAlmCauses, \t\t\tsecurityAlmSeverty FROM " +
      qx::quote_identifier(qx::record_table_name(table_name_, SECALM_TABLE));
  RWDBStatus s = aDB_().createView(sec_view_, text, aConnection());
  if (!s.isValid()) {
    ConflictX::raise("security view %s not created: %s", sec_view_.c_str(), s.message().data());
    return;
  }
  create_synonym(sec_view_);
}

// Drops the security view and its synonym when they exist: a view left behind would
// keep the server from dropping the log's security alarm table.
void LogMapper::delete_views() {
  std::string synonym = sec_view_ + "table";
  if (qx::valid_name(synonym) && aDB_().table(synonym).exists(aConnection())) {
    delete_synonym(synonym);
  }
  if (qx::valid_name(sec_view_) && aDB_().table(sec_view_).exists(aConnection())) {
    RWDBResult r = aDB_().executeSql("DROP VIEW " + qx::quote_identifier(sec_view_), aConnection());
    if (!r.isValid()) {
      ProcessFailX::raise("security view %s not dropped: %s", sec_view_.c_str(),
                          r.status().message().data());
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
