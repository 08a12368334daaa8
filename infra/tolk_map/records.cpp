// The record side of a log's mapper: the alarm state cache and the record bookkeeping,
// the record operations that find their table object through the cache, and the
// read-back helpers every table object shares (blob column, attribute lists, change
// reports).
#include <iostream>

#include "infra/tolk_map/cache_journal.h"
#include "infra/tolk_map/codecs/attribute_list.h"
#include "infra/tolk_map/codecs/codecs.h"
#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/eventlog.h"
#include "infra/tolk_map/trace.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_selector.h"
#include "platform/db/rwdb_table.h"
#include "platform/value/exception.h"
#include "tolk.h"

// ---- The alarm state cache.

int LogMapper::update_log_record_hash(unsigned long id, unsigned short type, unsigned long moiid,
                                      unsigned char state, unsigned char severity) {
  ExceptionScope scope;
  auto entry = std::make_unique<OarInfo>();
  unsigned char t = static_cast<unsigned char>(type & 0xff);
  entry->set_table_type(t);
  entry->set_moiid(moiid);
  entry->set_clear_severity(state, severity);
  if (owner_ == nullptr) {
    InvalidX::raise("table object without owner");
    tolk_error.print(152, "The log record hash creation failed. \n");
    return 0;
  }
  LogMapper& o = *owner_;
  // A later write or load of the same identifier replaces the entry (and deletes the
  // one it replaces).
  o.oar_cache_[static_cast<uint32_t>(id)] = std::move(entry);
  ++o.num_records_;
  if (!o.lowest_set_) {
    o.lowest_id_ = id;
    o.lowest_set_ = true;
  } else if (id < o.lowest_id_) {
    o.lowest_id_ = id;
  }
  if (id > o.highest_id_) o.highest_id_ = id;
  o.log_size_ += static_cast<unsigned long>(get_nominal_log_record_size());
  return 1;
}

int LogMapper::update_logrec_clear_state(unsigned long id, unsigned char state) {
  auto it = oar_cache_.find(static_cast<uint32_t>(id));
  if (it == oar_cache_.end()) {
    ExceptionScope scope;
    ProcessFailX::raise("record %lu not cached", id);
    tolk_error.print(154, "Processing failure. Hash clear failed.\n");
    return 0;
  }
  journal().state_changed(it->first, it->second->get_state_byte());
  it->second->set_clear_state(state);
  return 1;
}

int LogMapper::get_lowest_log_record_id(unsigned long& id) {
  id = 0;
  if (oar_cache_.empty()) return 0;
  bool first = true;
  for (const auto& [key, entry] : oar_cache_) {
    if (first || key < id) id = key;
    first = false;
  }
  return 1;
}

int LogMapper::get_table_type(const unsigned long id, unsigned short& type) const {
  auto it = oar_cache_.find(static_cast<uint32_t>(id));
  if (it == oar_cache_.end()) return 0;
  type = it->second->get_table_type();
  return 1;
}

int LogMapper::get_log_record_class(const unsigned long id, Oid& recordClass) const {
  auto it = oar_cache_.find(static_cast<uint32_t>(id));
  if (it == oar_cache_.end()) return 0;
  unsigned type = it->second->get_table_type();
  if (type > BLOB_TABLE) return 0;
  if (type == BLOB_TABLE) {
    LogMapper* blob = tables_[BLOB_TABLE].get();
    return blob != nullptr ? blob->getBlobMOCInfo(static_cast<int>(id), recordClass) : 0;
  }
  recordClass = record_class_of(TABLE_TYPE(type));
  return 1;
}

int LogMapper::ReadOarInfo(const int& id, unsigned long& moiid, unsigned char& state,
                           unsigned char& severity) {
  auto it = oar_cache_.find(static_cast<uint32_t>(id));
  if (it == oar_cache_.end()) {
    ExceptionScope scope;
    ProcessFailX::raise("record %d not cached", id);
    tolk_error.print(149, "Could not find the hashed entry.\n");
    return 0;
  }
  moiid = it->second->get_moiid();
  it->second->get_clear_severity(state, severity);
  return 1;
}

int LogMapper::getBlobMOCInfo(const int&, Oid&) const { return 1; }

// ---- Dispatch by record identifier.

namespace {

using Tables = std::array<std::unique_ptr<LogMapper>, NUM_TABLE_TYPES>;

// The table object of a cached record, or null (ProcessFailX raised) when the record
// is not cached or its table class is not built. With `alarm`, also null (InvalidX
// raised) when the record's class keeps no alarms.
LogMapper* cached_table(const LogMapper::OarCache& cache, const Tables& tables, int id,
                        bool alarm = false) {
  auto it = cache.find(static_cast<uint32_t>(id));
  if (it == cache.end()) {
    ProcessFailX::raise("no record %d in the log", id);
    return nullptr;
  }
  auto type = TABLE_TYPE(it->second->get_table_type() % NUM_TABLE_TYPES);
  LogMapper* t = tables[type].get();
  if (t == nullptr) {
    ProcessFailX::raise("record %d has no table object", id);
  } else if (alarm && !t->keeps_alarms()) {
    InvalidX::raise("record %d is a %s record, not an alarm", id,
                    record_class_of(type).format().c_str());
    return nullptr;
  }
  return t;
}

// The alarm table object of a record class, or null (raised) when the class keeps no
// alarms or its table class is not built.
LogMapper* alarm_table_of(const Tables& tables, const Oid& recordClass) {
  LogMapper* t = tables[tolk_oid_to_table.get_table_type(recordClass)].get();
  if (t == nullptr || !t->keeps_alarms()) {
    InvalidX::raise("records of class %s are not alarms", recordClass.format().c_str());
    return nullptr;
  }
  return t;
}

void debug_failure(const char* what) {
  if (tolk_map_debug != 0) std::cout << what << std::endl;
}

// The result of a table object's operation; a failure may have been the statement after
// which the database rolled the transaction back, and the caches follow it at once.
int followed(int rc) {
  if (rc != 1) qx::CacheJournal::check_lost();
  return rc;
}

}  // namespace

int LogMapper::UpdateDB(const int& id, const Asn1Value& attributes) {
  ExceptionScope scope;
  LogMapper* t = cached_table(oar_cache_, tables_, id);
  if (t == nullptr) {
    debug_failure("Processing failure. Record update failed.");
    return 0;
  }
  return followed(t->UpdateDB(id, attributes));
}

int LogMapper::UpdateDB(const int& id, const Asn1Value& attributes, RespValue& response) {
  ExceptionScope scope;
  LogMapper* t = cached_table(oar_cache_, tables_, id);
  if (t == nullptr) {
    debug_failure("Processing failure. Record update failed.");
    return 0;
  }
  return followed(t->UpdateDB(id, attributes, response));
}

// The table object that clears the record sets its cached clear state to the state it
// stored.
int LogMapper::UpdateDBClear(const int& id, const Asn1Value& value, RespValue& response) {
  ExceptionScope scope;
  LogMapper* t = cached_table(oar_cache_, tables_, id, true);
  if (t != nullptr && followed(t->UpdateDBClear(id, value, response)) == 1) return 1;
  std::string inner = qx::inner_reason();  // ": " and the table's reason, or empty
  ResourceLimX::raise("%s", inner.empty() ? "not cleared" : inner.c_str() + 2);
  debug_failure("Processing failure. Clear failed.");
  return 0;
}

int LogMapper::UpdateDBClear(const int& id) {
  ExceptionScope scope;
  auto it = oar_cache_.find(static_cast<uint32_t>(id));
  if (it == oar_cache_.end()) {
    ProcessFailX::raise("no record %d in the log", id);
    debug_failure("Processing failure. Clear failed.");
    return 0;
  }
  unsigned char cleared = 1;
  journal().state_changed(it->first, it->second->get_state_byte());
  it->second->set_clear_state(cleared);
  return 1;
}

int LogMapper::UpdateDBAck(const int& id, const Asn1Value& value, RespValue& response) {
  ExceptionScope scope;
  LogMapper* t = cached_table(oar_cache_, tables_, id, true);
  if (t == nullptr) {
    debug_failure("Processing failure. Acknowledge failed.");
    return 0;
  }
  return followed(t->UpdateDBAck(id, value, response));
}

// ---- Dispatch by record class.

int LogMapper::UpdateDBClearAlarms(const int id, const Oid& recordClass, const Asn1Value& value) {
  ExceptionScope scope;
  LogMapper* t = alarm_table_of(tables_, recordClass);
  if (t != nullptr && followed(t->UpdateDBClearAlarms(id, recordClass, value)) != 1) {
    ProcessFailX::raise("clearing the alarms of class %s failed%s", recordClass.format().c_str(),
                        qx::inner_reason().c_str());
  }
  if (const Exception* x = scope.caught()) {
    tolk_error.print("%s", x->type() == Exception::PROCESS_FAIL
                               ? "Processing failure. Clear all alarms has failed.\n"
                               : "Clearing the all the alarmss has failed.\n");
    return 0;
  }
  return 1;
}

int LogMapper::getOarInfo(const int id, const Oid& recordClass, const Asn1Value& value,
                          RWDBReader& reader) {
  ExceptionScope scope;
  LogMapper* t = alarm_table_of(tables_, recordClass);
  if (t == nullptr || t->getOarInfo(id, recordClass, value, reader) != 1) {
    ProcessFailX::raise("alarm lookup of class %s failed%s", recordClass.format().c_str(),
                        qx::inner_reason().c_str());
    debug_failure("Processing failure. The OAR info operation failed.");
    return 0;
  }
  return 1;
}

int LogMapper::getOarInfo(const int id, const Oid& recordClass, RWDBReader& reader) {
  ExceptionScope scope;
  LogMapper* t = alarm_table_of(tables_, recordClass);
  if (t == nullptr || t->getOarInfo(id, recordClass, reader) != 1) {
    ProcessFailX::raise("alarm lookup of class %s failed", recordClass.format().c_str());
    debug_failure("Processing failure. The OAR info operation failed.");
    return 0;
  }
  return 1;
}

// ---- Read-back helpers.

int LogMapper::read_blob_column(int id, RespValue& response) {
  if (!table_) return 0;
  RWDBSelector sel = aDB_().selector();
  sel << (*table_)[blob_col];
  unsigned long key = static_cast<unsigned int>(id);
  sel.where((*table_)[logrecid_col] == RWDBExpr(key));
  RWDBReader r = sel.reader(aConnection());
  if (!r()) {
    qx::walk_complete(r, table_name_.c_str());  // no row, or a read that failed
    return 0;
  }
  r[blob_col] >> nullval;
  if (nullval.isNull()) return 1;  // a row of an older version: no list values
  Oid none;
  Asn1Value blob;
  if (!rdr_blob(this, r, blob_col, none, blob)) {
    ResourceLimX::raise("blob of record %d does not decode", id);
    return 0;
  }
  response.reserve(response.size() + blob.num_comps());
  return qx::read_pairs(blob, response) ? 1 : 0;
}

namespace {
bool append_pair(Asn1Value& list, const RespValueElement& e) {
  Asn1Value idv;
  Asn1Value seq;
  if (!idv.encode_oid(e.id()) || !seq.start_construct(TAG_SEQ) || !seq.add_component(idv) ||
      !seq.add_component(e.value()) || !list.add_component(seq)) {
    ResourceLimX::raise("attribute %s cannot be added to the list", e.id().format().c_str());
    return false;
  }
  return true;
}
}  // namespace

int LogMapper::append_values(Asn1Value& list, RespValue& response) {
  for (const auto& e : response) {
    if (!append_pair(list, *e)) return 0;
  }
  return 1;
}

int LogMapper::append_blob_values(Asn1Value& list, RespValue& response) {
  for (const auto& e : response) {
    PopValues* pv = pop_hash_->fetch(&e->id());
    if (pv == nullptr || pv->ins != ins_qxlist) continue;
    if (!append_pair(list, *e)) return 0;
  }
  return 1;
}

int LogMapper::Fill_response(RespValue& response, Oid& id, const Asn1Value& value,
                             const RespValue& old) {
  Asn1Value previous;
  old.find_value(id, previous);
  return response.create_entry(id, value, previous);
}
