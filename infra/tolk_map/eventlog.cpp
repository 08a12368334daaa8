#include "infra/tolk_map/eventlog.h"

#include <algorithm>
#include <iostream>

#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/trace.h"
#include "infra/tolk_map/util.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_result.h"
#include "platform/db/rwdb_selector.h"
#include "platform/db/rwdb_table.h"
#include "platform/db/rwdb_updater.h"
#include "platform/value/exception.h"

const Oid eventTypeOid("2.9.3.2.7.14");
const Oid objectClassOid("2.9.3.2.7.65");
const Oid mocOid("2.9.3.2.7.60");
const Oid eventTimeOid("2.9.3.2.7.13");
const Oid notificationIdOid("2.9.3.2.7.16");
const Oid correlatedNotifsOid("2.9.3.2.7.12");
const Oid additionalTextOid("2.9.3.2.7.7");
const Oid additionalInfoOid("2.9.3.2.7.6");
const Oid sourceIndicatorOid("2.9.3.2.7.26");
const Oid attributeListOid("2.9.3.2.7.9");
const Oid attributeIdListOid("2.9.3.2.7.8");
const Oid relChangeDefOid("2.9.3.2.7.20");
const Oid attrValChangeDefOid("2.9.3.2.7.10");
const Oid stateChangeDefOid("2.9.3.2.7.28");
const Oid securityAlarmCauseOid("2.9.3.2.7.21");
const Oid securityAlarmSeverityOid("2.9.3.2.7.23");
const Oid securityAlarmDetectorOid("2.9.3.2.7.22");
const Oid serviceUserOid("2.9.3.2.7.25");
const Oid serviceProviderOid("2.9.3.2.7.24");

const char* const logrecid_col = "logrecordid";
const char* const blob_col = "blob";

namespace qx {
namespace {

// The common attributes. Identifiers are referenced by address: the registries are
// filled at run time, after every identifier is built.
const CodecSpec kCommonCodecs[] = {
    {&loggingTimeOid, pop_time, ins_time, "loggingTime", ATTR_LOGGING_TIME},
    {&eventTypeOid, pop_formatedVal, ins_formatedVal, "eventName", ATTR_EVENT_NAME},
    {&objectClassOid, pop_oid, ins_oid, "logRecType", ATTR_LOG_REC_TYPE},
    {&mocOid, pop_qxlist, ins_qxlist, "MOC", ATTR_MOC},
    {&moiOid, pop_qxlist, ins_qxlist, "MOI", ATTR_MOI},
    {&eventTimeOid, pop_time, ins_time, "eventTime", ATTR_EVENT_TIME},
    {&notificationIdOid, pop_unsigned, ins_unsigned, "notificationId", ATTR_NOTIFICATION_ID},
    {&correlatedNotifsOid, pop_qxlist, ins_qxlist, "correlatedNotifications",
     ATTR_CORRELATED_NOTIFS},
    {&additionalTextOid, pop_qxlist, ins_qxlist, "additionalText", ATTR_ADDITIONAL_TEXT},
    {&additionalInfoOid, pop_qxlist, ins_qxlist, "additionalInfo", ATTR_ADDITIONAL_INFO},
};

const ReaderSpec kCommonReaders[] = {
    {"logrecordid", rdr_unsigned, "logRecordId", &logRecordIdOid},
    {"loggingtime", rdr_time, "loggingTime", &loggingTimeOid},
    {"eventname", rdr_eventType, "eventName", &eventTypeOid},
    {"moc_s", rdr_qxlist, "MOC_s", &mocOid},
    {"moi_s", rdr_qxlist, "MOI_s", &moiOid},
    {"eventtime", rdr_time, "eventTime", &eventTimeOid},
    {"notificationid", rdr_unsigned, "notificationId", &notificationIdOid},
    {"correlatednotifs", rdr_qxlist, "correlatedNotifications_s", &correlatedNotifsOid},
    {"additionaltext", rdr_qxlist, "additionalText", &additionalTextOid},
    {"additionalinfo_s", rdr_qxlist, "additionalInfo_s", &additionalInfoOid},
    {"logrectype", rdr_oid, "logRecType", &objectClassOid},
};

}  // namespace

std::span<const CodecSpec> common_event_codecs() { return kCommonCodecs; }
std::span<const ReaderSpec> common_event_readers() { return kCommonReaders; }

}  // namespace qx

// ---- The row image.

EventLogImpl::EventLogImpl(std::span<const qx::ColumnDef> columns,
                           std::span<const qx::InitialText> initial)
    : RowImage(columns),
      nulls_(columns.size()),
      given_(columns.size(), 0),
      initial_(columns.size(), nullptr) {
  for (const qx::InitialText& t : initial) {
    int i = column_of(t.attr);
    if (i >= 0) initial_[static_cast<size_t>(i)] = t.text;
  }
}

void EventLogImpl::start_row() {
  initialize();
  std::fill(given_.begin(), given_.end(), 0);
  for (size_t i = 0; i < initial_.size(); ++i) {
    if (initial_[i] != nullptr) *text(columns()[i].attr) = initial_[i];
  }
}

void EventLogImpl::given(ATTRIBUTES attr) {
  int i = column_of(attr);
  if (i >= 0) given_[static_cast<size_t>(i)] = 1;
}

void EventLogImpl::bind_all(RWDBInserter& ins) {
  for (size_t i = 0; i < columns().size(); ++i) {
    const qx::ColumnDef& c = columns()[i];
    void* f = myColumn(c.attr);
    switch (c.type) {
      case RWDBValue::String:
        ins[c.name] << RWDBBoundExpr(static_cast<RWCString*>(f), &nulls_[i]);
        break;
      case RWDBValue::UnsignedLong:
        ins[c.name] << RWDBBoundExpr(static_cast<unsigned long*>(f), &nulls_[i]);
        break;
      case RWDBValue::DateTime:  // the absent sentinel binds as NULL
        ins[c.name] << RWDBBoundExpr(static_cast<RWDBDateTime*>(f));
        break;
      case RWDBValue::Blob:
        ins[c.name] << RWDBBoundExpr(static_cast<RWDBBlob*>(f), &nulls_[i]);
        break;
      default:
        ins[c.name] << RWDBBoundExpr(static_cast<long*>(f), &nulls_[i]);
        break;
    }
  }
}

void EventLogImpl::set_nulls() {
  for (size_t i = 0; i < columns().size(); ++i) {
    const qx::ColumnDef& c = columns()[i];
    if (c.type == RWDBValue::String) {
      // A column with an initial text keeps even the empty one.
      nulls_[i] = initial_[i] == nullptr && static_cast<RWCString*>(myColumn(c.attr))->isNull();
    } else if (c.type == RWDBValue::Blob) {
      nulls_[i] = static_cast<RWDBBlob*>(myColumn(c.attr))->length() == 0;
    } else if (c.type == RWDBValue::UnsignedLong) {
      nulls_[i] = given_[i] == 0 && c.attr != ATTR_LOG_RECORD_ID && c.attr != ATTR_MOI_ID;
    } else if (c.type == RWDBValue::Long) {
      nulls_[i] = given_[i] == 0;
    }
  }
}

// ---- Construction.

EventLogT::EventLogT(LogMapper* owner, const qx::EventClass& cls) : LogMapper(owner, 0), cls_(cls) {
  store_all_pop_funcs();
  store_all_rdr_funcs();
  table_name_ = owner->get_table_name() + cls.stem;
  for (const qx::ColumnDef& c : cls.columns) has_moi_id_ |= c.attr == ATTR_MOI_ID;
  CreateLogT(table_name_, owner);
  bind_variables();
  init_alarmsvc_variables();
}

EventLogT::~EventLogT() = default;

void EventLogT::store_all_pop_funcs() {
  register_codecs(*pop_hash_, qx::common_event_codecs());
  register_codecs(*pop_hash_, cls_.codecs);
}

void EventLogT::store_all_rdr_funcs() {
  register_readers(*rdr_hash_, qx::common_event_readers());
  register_readers(*rdr_hash_, cls_.readers);
}

void EventLogT::CreateLogT(const std::string& tableName, const LogMapper* owner) {
  table_ = std::make_unique<RWDBTable>();
  qx::TableLayout layout = {cls_.stem, cls_.columns, cls_.indexes, cls_.synonym_suffix,
                            cls_.schema_failure_text};
  qx::attach_record_table(*owner, tableName, layout, *table_, synonym_name_);
}

void EventLogT::bind_variables() {
  image_ = std::make_unique<EventLogImpl>(cls_.columns, cls_.initial_texts);
  inserter_ = table_->inserter();
  image_->bind_all(inserter_);
  deleter_ = table_->deleter();
  deleter_.where((*table_)[logrecid_col] == RWDBBoundExpr(&delete_id_));
}

void EventLogT::init_alarmsvc_variables() {
  alarmsvc_selector_ = aDB_().selector();
  alarmsvc_selector_ << (*table_)[logrecid_col];
}

// ---- Writing.

int EventLogT::WriteToDB(const int& record_id, const Oid&, const Oid&, const Asn1Value& attributes,
                         OarInfo* entry) {
  ExceptionScope scope;
  EventLogImpl& img = *image_;
  img.start_row();
  *img.unsigned_field(ATTR_LOG_RECORD_ID) = static_cast<unsigned int>(record_id);
  if (has_moi_id_) *img.unsigned_field(ATTR_MOI_ID) = entry != nullptr ? entry->get_moiid() : 0;

  if (!attributes || !attributes.constructed()) {
    ResourceLimX::raise("attribute list is not a SET or SEQUENCE");
    return 0;
  }
  // One pass over the list; a malformed component ends the write before anything
  // is executed. The list values go into the blob as they come: its contents are
  // built behind room for the SET's header, which is written once they are known.
  qx::PairSetWriter blob(img.blob(ATTR_BLOB)->bytes());
  Oid id;
  for (const Asn1Value& component : attributes.components()) {
    qx::PairParts parts;
    if (!qx::read_pair(component, parts)) {
      ResourceLimX::raise("attribute list component is not an attribute");
      return 0;
    }
    const Oid* key = nullptr;
    PopValues* pv = pop_hash_->fetch(parts.id, &key);
    if (pv == nullptr) {  // not an attribute of this class, but it must decode
      if (!qx::pair_identifier(parts, id)) return 0;
      continue;
    }
    void* field = img.myColumn(pv->attr);
    if (pv->ins != ins_qxlist && field == nullptr) continue;
    id = *key;
    Asn1Value value = *++component.components().begin();
    if (pv->ins == ins_qxlist) {
      if (!blob.add_pair(component, parts)) return 0;
      if (field != nullptr) ins_formatedVal(this, field, id, value);
    } else if (pv->ins(this, field, id, value)) {
      // A value that its codec refuses leaves the column empty, as an absent one.
      img.given(pv->attr);
    }
  }
  // Every record has its blob: an empty SET when it has no list values, so that no
  // record carries another's list values and every record reads back.
  blob.finish();
  fix_event_name(img.myColumn(ATTR_EVENT_NAME));
  img.set_nulls();
  // The row is always written: a record whose write succeeded must read back.
  RWDBResult res = inserter_.execute(aConnection());
  if (!res.isValid()) {
    ProcessFailX::raise("insert into %s refused: %s", table_name_.c_str(),
                        res.status().message().data());
  }
  if (scope.caught() != nullptr) {
    tolk_error.print(cls_.messages.write[0], "Error in writing to the Database \n");
    tolk_error.print(cls_.messages.write[1], "Attribute List not in correct format \n");
    return 0;
  }
  return 1;
}

// ---- Updating.

namespace {
// Prints the two failure lines of an update.
int update_failed(const int (&numbers)[2]) {
  tolk_error.print(numbers[0], "Error in updating to the Database \n");
  tolk_error.print(numbers[1], "Attribute List not in correct format \n");
  return 0;
}
}  // namespace

RWDBResult EventLogT::execute_update(RWDBUpdater& up, unsigned long,
                                     const std::vector<qx::Attribute>&) {
  return up.execute(aConnection());
}

int EventLogT::UpdateDB(const int& id, const Asn1Value& attributes) {
  ExceptionScope scope;
  std::vector<qx::Attribute> attrs;
  if (!qx::take_list(attributes, attrs)) return 0;
  RWDBUpdater up = table_->updater();
  unsigned long key = static_cast<unsigned int>(id);
  up.where((*table_)[logrecid_col] == RWDBExpr(key));
  Asn1Value blob = qx::empty_blob_value();
  RespValue old;
  bool list_seen = false;
  for (qx::Attribute& a : attrs) {
    PopValues* pv = pop_hash_->fetch(&a.id);
    if (pv == nullptr) continue;
    if (pv->pop == pop_qxlist) {
      if (!blob.add_component(a.pair)) {
        ResourceLimX::raise("blob cannot be built");
        return 0;
      }
      if (!list_seen) read_blob_column(id, old);
      list_seen = true;
      old.remove(a.id);
    } else {
      pv->pop(this, up, pv->column, a.id, a.value);
    }
  }
  if (list_seen) {
    if (!append_values(blob, old)) return 0;
    Oid none;
    pop_blob(this, up, blob_col, none, blob);
  }
  if (Exception::pending()) return update_failed(cls_.messages.update);
  if (up.entries() == 0) return 1;
  RWDBResult res = execute_update(up, key, attrs);
  if (!res.isValid()) {
    ProcessFailX::raise("update of %s refused: %s", table_name_.c_str(),
                        res.status().message().data());
    return update_failed(cls_.messages.update);
  }
  return 1;
}

int EventLogT::UpdateDB(const int& id, const Asn1Value& attributes, RespValue& response) {
  ExceptionScope scope;
  RespValue old;
  if (ReadfromDB(id, old) != 1) return 0;
  std::vector<qx::Attribute> attrs;
  if (!qx::take_list(attributes, attrs)) return 0;
  RWDBUpdater up = table_->updater();
  unsigned long key = static_cast<unsigned int>(id);
  up.where((*table_)[logrecid_col] == RWDBExpr(key));
  Asn1Value blob = qx::empty_blob_value();
  bool list_seen = false;
  RespValue report;
  for (qx::Attribute& a : attrs) {
    Fill_response(report, a.id, a.value, old);
    old.remove(a.id);
    PopValues* pv = pop_hash_->fetch(&a.id);
    if (pv == nullptr) continue;
    if (pv->pop == pop_qxlist) {
      if (!blob.add_component(a.pair)) {
        ResourceLimX::raise("blob cannot be built");
        return 0;
      }
      list_seen = true;
    } else {
      pv->pop(this, up, pv->column, a.id, a.value);
    }
  }
  if (list_seen) {
    if (!append_blob_values(blob, old)) return 0;
    Oid none;
    pop_blob(this, up, blob_col, none, blob);
  }
  if (Exception::pending()) return update_failed(cls_.messages.update_response);
  if (up.entries() > 0) {
    RWDBResult res = execute_update(up, key, attrs);
    if (!res.isValid()) {
      ProcessFailX::raise("update of %s refused: %s", table_name_.c_str(),
                          res.status().message().data());
      return update_failed(cls_.messages.update_response);
    }
  }
  for (const auto& e : report) response.create_entry(e->id(), e->value(), e->old_value());
  return 1;
}

// ---- Deleting.

int EventLogT::deleteDB(const int& id) {
  delete_id_ = static_cast<unsigned int>(id);
  RWDBResult res = deleter_.execute(aConnection());
  if (!res.isValid()) {
    ProcessFailX::raise("delete from %s refused: %s", table_name_.c_str(),
                        res.status().message().data());
    return 0;
  }
  return 1;
}

// ---- Reading.

std::vector<std::pair<size_t, RdrInfo*>> EventLogT::column_readers(RWDBReader& r) {
  std::vector<std::pair<size_t, RdrInfo*>> out;
  size_t n = r.numberOfColumns();
  for (size_t i = 0; i < n; ++i) {
    RWDBColumn c = r.column(i);
    if (!c.isValid()) break;
    if (c.name() == blob_col) {
      out.emplace(out.begin(), i, nullptr);
      continue;
    }
    RdrInfo* info = rdr_hash_->fetch(std::string_view(c.name().str()));
    if (info == nullptr || info->rdr == rdr_qxlist) continue;
    out.emplace_back(i, info);
  }
  return out;
}

bool EventLogT::read_row(RWDBReader& r, const std::vector<std::pair<size_t, RdrInfo*>>& readers,
                         RespValue& values) {
  Asn1Value blob;
  auto it = readers.begin();
  if (it != readers.end() && it->second == nullptr) {
    if (!r.isNull(it->first)) {
      Oid none;
      r[it->first];
      if (!rdr_blob(this, r, blob_col, none, blob)) {
        ResourceLimX::raise("stored blob does not decode");
        return false;
      }
    }
    ++it;
  }
  values.reserve(values.size() + static_cast<size_t>(readers.end() - it) + blob.num_comps());
  for (; it != readers.end(); ++it) {
    RdrInfo* info = it->second;
    Asn1Value v;
    r[it->first];  // the reader's lookup of its column by name finds it at once
    if (info->rdr(this, r, info->column, info->attr, v) && v) {
      values.adopt_entry(info->attr, std::move(v));
    }
  }
  if (!blob) return true;  // NULL blob: a row of an older version, no list values
  return qx::read_pairs(blob, values);
}

int EventLogT::ReadfromDB(const int& id, RespValue& values) {
  RWDBSelector sel = aDB_().selector();
  sel << *table_;
  unsigned long key = static_cast<unsigned int>(id);
  sel.where((*table_)[logrecid_col] == RWDBExpr(key));
  RWDBReader r = sel.reader(aConnection());
  if (!r()) return 0;
  if (!read_row(r, column_readers(r), values)) return 0;
  if (cls_.single_row_read && r()) {
    std::cout << "\n***ERROR - more than one logrecordid " << id << "\n" << std::endl;
    return 0;
  }
  return 1;
}

int EventLogT::get_all_log_recs(Callback& cb, int withLogId) {
  RWDBSelector sel = aDB_().selector();
  sel << *table_;
  RWDBReader r = sel.reader(aConnection());
  if (!r.isValid()) outputStatus(r.status());
  std::vector<std::pair<size_t, RdrInfo*>> readers;
  bool first = true;
  RespValue row;  // lent to the callback for one row at a time, then emptied for the next
  while (r()) {
    if (first) readers = column_readers(r);
    first = false;
    if (withLogId != 0) {
      auto values = std::make_unique<RespValue>();  // the callback's to keep
      if (!read_row(r, readers, *values)) return 0;
      unsigned long id = 0;
      qx::read_unsigned(r, logrecid_col, id);
      update_log_record_hash(id, cls_.type, 0, 0, 0);
      LogRespValue lrv(owner_->get_log_id_value(), values.release());
      cb.exec(&lrv);
    } else {
      row.clear();
      if (!read_row(r, readers, row)) return 0;
      cb.exec(&row);
    }
  }
  return 1;
}

int EventLogT::get_all_almsvc_recs(Callback&, int flag) {
  RWDBReader r = alarmsvc_selector_.reader(aConnection());
  if (!r.isValid()) return 0;
  while (r()) {
    if (tolk_map_debug != 0) std::cout << "The column is " << r.column(0).name() << std::endl;
    unsigned long id = 0;
    if (flag != 0 && qx::read_unsigned(r, logrecid_col, id)) {
      update_log_record_hash(id, cls_.type, 0, 0, 0);
    }
  }
  return 1;
}
