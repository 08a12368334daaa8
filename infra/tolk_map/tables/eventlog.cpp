#include "infra/tolk_map/tables/eventlog.h"

#include <algorithm>
#include <iostream>

#include "infra/tolk_map/log_tables.h"
#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/record_table.h"
#include "infra/tolk_map/trace.h"
#include "infra/tolk_map/util.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_result.h"
#include "platform/db/rwdb_selector.h"
#include "platform/db/rwdb_table.h"
#include "platform/db/rwdb_updater.h"
#include "platform/value/ber.h"
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

namespace {

// Whether the table keeps `attr` in a date-time column.
bool is_datetime(const EventLogT& table, ATTRIBUTES attr) {
  for (const ColumnDef& c : table.event_class().columns) {
    if (c.attr == attr) return c.type == RWDBValue::DateTime;
  }
  return false;
}

// Adds the changes of `attrs` to `up`: column attributes through their update codecs,
// list values into a new blob. The blob keeps every other value the record's blob holds:
// the list values not named, and values kept there because their column could not hold
// them, unless the update gives them anew. False (exception raised) for a value its
// column cannot hold (an invalid time excepted: it makes its column NULL), a blob that
// cannot be built, or a stored blob that does not decode.
bool assign_update(EventLogT& table, int id, std::vector<Attribute>& attrs, RWDBUpdater& up) {
  Asn1Value blob = empty_blob_value();
  RespValue stored;  // what the record's blob holds, read at the first registered attribute
  bool read = false;
  bool rewrite = false;
  for (qx::Attribute& a : attrs) {
    PopValues* pv = table.pop_hash().fetch(&a.id);
    if (pv == nullptr) continue;
    if (!read) {  // without a row nothing is kept, and the update changes nothing
      read = true;
      ExceptionScope reading;
      table.read_blob_column(id, stored);
      if (const Exception* x = reading.caught()) {
        std::string why = x->full_reason();
        reading.close();
        ProcessFailX::raise("update of %s refused: %s", table.get_table_name().c_str(),
                            why.c_str());
        return false;
      }
    }
    if (pv->pop == pop_qxlist) {
      if (!blob.add_component(a.pair)) {
        ResourceLimX::raise("blob cannot be built");
        return false;
      }
      rewrite = true;
    } else if (!pv->pop(&table, up, pv->column, a.id, a.value) && !is_datetime(table, pv->attr)) {
      InvalidX::raise("value of attribute %s does not fit its column", a.id.format().c_str());
      return false;
    }
    Asn1Value held;
    if (stored.find_value(a.id, held) == 1) {  // the new value replaces the one kept
      stored.remove(a.id);
      rewrite = true;
    }
  }
  if (rewrite) {
    if (!table.append_values(blob, stored)) return false;
    Oid none;
    pop_blob(&table, up, blob_col, none, blob);
  }
  return true;
}

// What read_row needs to know of a stored blob before it reads the columns: how many
// pairs it holds, and which of the column readers from `first` on (at most 64) read an
// attribute the blob holds as well, as a bit set (bit 0: `first`): a value its column
// could not hold whole is kept in the blob, and is read from there, not from what its
// column holds of it.
struct BlobPairs {
  size_t count = 0;
  uint64_t kept = 0;
};

// The pairs are read in place, no value built: the blob is walked once more when its
// pairs are added (read_pairs), which refuses what does not read here.
BlobPairs scan_blob(const Asn1Value& blob,
                    std::vector<std::pair<size_t, RdrInfo*>>::const_iterator first,
                    std::vector<std::pair<size_t, RdrInfo*>>::const_iterator last) {
  // Kept values are rare: a pair whose identifier's last octet no reader's has is
  // passed over without comparing it with each reader's identifier.
  uint64_t last_octets = 0;
  for (auto it = first; it != last; ++it) {
    std::string_view id = it->second->attr.contents().view();
    if (!id.empty()) last_octets |= uint64_t{1} << (static_cast<uint8_t>(id.back()) & 63);
  }
  BlobPairs out;
  const auto pairs = blob.components();
  for (auto pair = pairs.begin(); pair != pairs.end(); ++pair, ++out.count) {
    // The identifier's contents: the first element inside the pair.
    const auto* p = reinterpret_cast<const uint8_t*>(pair.encoding().data());
    ber::Header h = ber::read_trusted(p);
    if (!h.constructed || h.content_len == 0) continue;
    ber::Header idh = ber::read_trusted(p + h.header_len);
    std::string_view id(reinterpret_cast<const char*>(p) + h.header_len + idh.header_len,
                        idh.content_len);
    if (id.empty() || (last_octets >> (static_cast<uint8_t>(id.back()) & 63) & 1) == 0) continue;
    uint64_t bit = 1;
    for (auto it = first; it != last && bit != 0; ++it, bit <<= 1) {
      if (it->second->attr.contents().view() == id) out.kept |= bit;
    }
  }
  return out;
}

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
  for (size_t i = 0; i < initial_.size(); ++i) {
    if (initial_[i] != nullptr) with_initial_.push_back(i);
  }
}

void EventLogImpl::start_row() {
  initialize();
  std::fill(given_.begin(), given_.end(), 0);
  for (size_t i : with_initial_) text_at(i) = initial_[i];
}

void EventLogImpl::given(ATTRIBUTES attr) {
  int i = column_of(attr);
  if (i >= 0) given_[static_cast<size_t>(i)] = 1;
}

void EventLogImpl::bind_all(RWDBInserter& ins, uint64_t present) {
  for (size_t i = 0; i < columns().size(); ++i) {
    if (i < 64 && (present >> i & 1) == 0) continue;
    const qx::ColumnDef& c = columns()[i];
    void* f = myColumn(c.attr);
    switch (c.type) {
      case RWDBValue::String:  // checked as the row was made (set_nulls)
        ins[c.name] << RWDBBoundExpr(&stored_text_at(i));
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

uint64_t EventLogImpl::set_nulls() {
  uint64_t null = 0;
  auto mark = [&](uint16_t i, bool is_null) { null |= uint64_t{is_null} << (i & 63); };
  auto set = [&](uint16_t i, bool is_null) {
    nulls_[i] = is_null;
    mark(i, is_null);
  };
  // A column with an initial text keeps even the empty one. A text the row's codecs
  // gave was fitted as it came; any other (an initial text) is fitted here.
  for (uint16_t i : columns_of_type(RWDBValue::String)) {
    const bool is_null = initial_[i] == nullptr && text_at(i).isNull();
    if (is_null) {
      clear_stored_text_at(i);
    } else if (!stored_text_at(i).refers_to(text_at(i).str())) {
      fit_text_at(i);
    }
    mark(i, is_null);
  }
  for (uint16_t i : columns_of_type(RWDBValue::Blob)) set(i, blob_at(i).length() == 0);
  for (uint16_t i : columns_of_type(RWDBValue::UnsignedLong)) {
    ATTRIBUTES a = columns()[i].attr;
    set(i, given_[i] == 0 && a != ATTR_LOG_RECORD_ID && a != ATTR_MOI_ID);
  }
  for (uint16_t i : columns_of_type(RWDBValue::Long)) set(i, given_[i] == 0);
  // A date-time binds as NULL while it holds the absent sentinel.
  for (uint16_t i : columns_of_type(RWDBValue::DateTime)) mark(i, !datetime_at(i).isValid());
  // The bits past the last column count as present: a row with every column gives
  // kAllColumns, and takes the insert of every column.
  return columns().size() > 64 ? kAllColumns : ~null;
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
  shapes_.clear();
  shapes_.reserve(kMaxShapes);
  deleter_ = table_->deleter();
  deleter_.where((*table_)[logrecid_col] == RWDBBoundExpr(&delete_id_));
}

RWDBInserter& EventLogT::inserter_for(uint64_t present) {
  if (present == EventLogImpl::kAllColumns) return inserter_;
  if (last_shape_ < shapes_.size() && shapes_[last_shape_].present == present)
    return shapes_[last_shape_].inserter;
  for (size_t i = 0; i < shapes_.size(); ++i) {
    if (shapes_[i].present == present) {
      last_shape_ = i;
      return shapes_[i].inserter;
    }
  }
  if (shapes_.size() == kMaxShapes) return inserter_;
  // A column left out of an insert is NULL: the tables give their columns no default.
  Shape& s = shapes_.emplace_back(Shape{present, table_->inserter()});
  image_->bind_all(s.inserter, present);
  last_shape_ = shapes_.size() - 1;
  return s.inserter;
}

void EventLogT::init_alarmsvc_variables() {
  alarmsvc_selector_ = aDB_().selector();
  alarmsvc_selector_ << (*table_)[logrecid_col];
}

// ---- Writing.

namespace {
// Prints the two failure lines of a write or an update (`what` the first); 0.
int failed(const int (&numbers)[2], const char* what) {
  tolk_error.print(numbers[0], "%s", what);
  tolk_error.print(numbers[1], "Attribute List not in correct format \n");
  return 0;
}
int write_failed(const int (&numbers)[2]) {
  return failed(numbers, "Error in writing to the Database \n");
}
int update_failed(const int (&numbers)[2]) {
  return failed(numbers, "Error in updating to the Database \n");
}
}  // namespace

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
  const auto list = attributes.components();
  size_t position = 0;
  for (auto it = list.begin(); it != list.end(); ++it, ++position) {
    std::string_view pair = it.encoding();
    qx::PairParts parts;
    if (!qx::read_pair(pair, parts)) {
      ResourceLimX::raise("attribute list component is not an attribute");
      return 0;
    }
    const Oid* key = nullptr;
    PopValues* pv = pop_hash_->fetch_at(position, parts.id, &key);
    if (pv == nullptr) {  // not an attribute of this class, but it must decode
      if (Oid stranger; !qx::pair_identifier(parts, stranger)) return 0;
      continue;
    }
    void* field = img.myColumn(pv->attr);
    if (pv->ins != ins_qxlist && field == nullptr) continue;
    const Oid& id = *key;
    // Every text a codec writes, even one it then refuses, is fitted at once: the
    // insert binds the texts as fitted.
    bool keep = pv->ins == ins_qxlist;
    if (keep) {
      // The text column is for people: it holds what it can of the value (the text
      // ins_formatedVal gives, made from the value's encoding in the list).
      if (field != nullptr) {
        qx::append_formatted_element(id, attributes, parts.value,
                                     static_cast<RWCString*>(field)->str());
        img.fit_text(pv->attr);
      }
    } else {
      Asn1Value value = attributes.element_at(parts.value);
      bool stored = pv->ins(this, field, id, value);
      if (stored) img.given(pv->attr);
      if (pv->attr == ATTR_EVENT_NAME) fix_event_name(field);
      // A value its column cannot hold whole (one its codec refuses, or a text too long
      // or not storable as text) is kept exactly in the blob, where the record keeps
      // its exact values; the column holds what it can. Times keep their own rule: an
      // invalid time leaves its column NULL.
      const bool whole = img.fit_text(pv->attr);
      keep = !img.is_datetime(pv->attr) && (!stored || !whole);
    }
    if (keep && pv->ins != ins_qxlist &&
        std::find(cls_.changed_in_place.begin(), cls_.changed_in_place.end(), pv->attr) !=
            cls_.changed_in_place.end()) {
      InvalidX::raise("value of attribute %s does not fit its column", id.format().c_str());
      break;  // nothing is written; the failure lines follow
    }
    if (keep && !blob.add_pair(attributes, pair, parts)) return 0;
  }
  if (Exception::pending()) return write_failed(cls_.messages.write);
  // Every record has its blob: an empty SET when it has no list values, so that no
  // record carries another's list values and every record reads back.
  blob.finish();
  // The row is always written: a record whose write succeeded must read back.
  RWDBResult res = inserter_for(img.set_nulls()).execute(aConnection());
  if (!res.isValid()) {
    ProcessFailX::raise("insert into %s refused: %s", table_name_.c_str(),
                        res.status().message().data());
  }
  if (scope.caught() != nullptr) return write_failed(cls_.messages.write);
  return 1;
}

// ---- Updating.

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
  if (!qx::assign_update(*this, id, attrs, up)) return update_failed(cls_.messages.update);
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
  RespValue report;
  for (qx::Attribute& a : attrs) Fill_response(report, a.id, a.value, old);
  if (!qx::assign_update(*this, id, attrs, up)) return update_failed(cls_.messages.update_response);
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
  const qx::BlobPairs pairs = blob ? qx::scan_blob(blob, it, readers.end()) : qx::BlobPairs();
  values.reserve(values.size() + static_cast<size_t>(readers.end() - it) + pairs.count);
  for (uint64_t bit = 1; it != readers.end(); ++it, bit <<= 1) {
    if ((pairs.kept & bit) != 0) continue;  // the blob holds the whole value
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
  if (!r()) {
    qx::walk_complete(r, table_name_.c_str());  // no row, or a read that failed
    return 0;
  }
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
  std::vector<std::pair<size_t, RdrInfo*>> readers;
  bool first = true;
  return qx::walk_records(*this, table_name_, cls_.type, r, cb, withLogId,
                          [&](RWDBReader& row, RespValue& values) {
                            if (first) readers = column_readers(row);
                            first = false;
                            return read_row(row, readers, values);
                          });
}

int EventLogT::get_all_almsvc_recs(Callback&, int flag) {
  RWDBReader r = alarmsvc_selector_.reader(aConnection());
  while (r()) {
    if (tolk_map_debug != 0) std::cout << "The column is " << r.column(0).name() << std::endl;
    unsigned long id = 0;
    if (flag != 0 && qx::read_unsigned(r, logrecid_col, id)) {
      update_log_record_hash(id, cls_.type, 0, 0, 0);
    }
  }
  return qx::walk_complete(r, table_name_.c_str()) ? 1 : 0;
}
