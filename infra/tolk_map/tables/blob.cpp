#include "infra/tolk_map/tables/blob.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <map>
#include <unordered_set>

#include "infra/tolk_map/codecs/codecs.h"
#include "infra/tolk_map/log_tables.h"
#include "infra/tolk_map/moi_number.h"
#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/alarmlog.h"
#include "infra/tolk_map/tables/record_table.h"
#include "infra/tolk_map/trace.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_result.h"
#include "platform/db/rwdb_table.h"
#include "platform/mgmt/unique_mo.h"
#include "platform/value/exception.h"
#include "platform/value/value_notation.h"

namespace {

using qx::ColumnDef;

const ColumnDef kColumns[] = {
    {"logRecordId", RWDBValue::UnsignedLong, 0, false, ATTR_LOG_RECORD_ID},
    {"userDefined", RWDBValue::Blob, BlobT::kMaxListOctets, true, ATTR_BLOB},
};

const qx::IndexDef kIndexes[] = {{"blbid", "logRecordId"}};

const qx::TableLayout kLayout = {"_blob", kColumns, kIndexes, "blob",
                                 "ERROR: schema fetch failed."};

const char* const kListColumn = "userdefined";

// Prints an operation's two failure lines; 0.
int failed(int first, int second, const char* what) {
  tolk_error.print(first, "%s", what);
  tolk_error.print(second, "Attribute List not in correct format \n");
  return 0;
}

int failed(const char* what) {
  tolk_error.print("%s", what);
  tolk_error.print("Attribute List not in correct format \n");
  return 0;
}

// The attributes an alarm selection goes by.
bool is_criterion(const Oid& id) {
  return id == probableCauseOid || id == eventTypeOid || id == specificProblemsOid;
}

bool list_fits(size_t octets, unsigned long id) {
  if (octets <= BlobT::kMaxListOctets) return true;
  ResourceLimX::raise(
      "the attribute list of record %lu takes %zu octets, more than the %zu a "
      "record holds",
      id, octets, BlobT::kMaxListOctets);
  return false;
}

}  // namespace

// ---- Construction.

const qx::TableLayout& BlobT::layout() { return kLayout; }

BlobT::BlobT(LogMapper* owner)
    : LogMapper(owner, 0),
      image_(kColumns),
      index_(std::make_unique<qx::BlobAlarmIndex>(*owner, owner->get_table_name(), table())),
      selection_(std::make_unique<qx::BlobClearSelection>(owner->get_table_name())) {
  table_name_ = qx::record_table_name(owner->get_table_name(), BLOB_TABLE);
  bool made = qx::attach_record_table(*owner, table_name_, kLayout, *table_, synonym_name_);
  if (Exception::pending()) return;
  const RWDBTable& t = *table_;
  inserter_ = t.inserter();
  image_.bind(inserter_);
  updater_ = t.updater();
  updater_ << t[kListColumn].assign(image_.bound(ATTR_BLOB));
  updater_.where(t[logrecid_col] == RWDBBoundExpr(&key_));
  deleter_ = t.deleter();
  deleter_.where(t[logrecid_col] == RWDBBoundExpr(&key_));
  all_ = aDB_().selector();
  all_ << t[logrecid_col] << t[kListColumn];
  ids_ = aDB_().selector();
  ids_ << t[logrecid_col];
  one_ = aDB_().selector();
  one_ << t[logrecid_col] << t[kListColumn];
  one_.where(t[logrecid_col] == RWDBBoundExpr(&one_key_));
  index_->attach(made);
}

const RWDBTable& BlobT::table() {
  if (!table_) table_ = std::make_unique<RWDBTable>();
  return *table_;
}

BlobT::~BlobT() = default;

// ---- Reading.

int BlobT::stored_list(int id, Asn1Value& list) const {
  one_key_ = static_cast<unsigned int>(id);
  RWDBReader r = one_.reader(aConnection());
  if (!r()) {
    if (r.status().isValid()) return 0;
    ProcessFailX::raise("record %d not read: %s", id, r.status().message().data());
    return -1;
  }
  list = Asn1Value();
  std::string_view bytes;
  if (!qx::read_blob_view(r, kListColumn, bytes)) return 1;  // NULL: no attributes
  if (!Asn1Value::decode(bytes.data(), bytes.size(), list)) {
    ResourceLimX::raise("the stored attribute list of record %d does not decode", id);
    return -1;
  }
  return 1;
}

bool BlobT::read_record(RWDBReader& r, RespValue& values) const {
  unsigned long id = 0;
  qx::read_unsigned(r, logrecid_col, id);
  Asn1Value list;
  std::string_view bytes;
  if (qx::read_blob_view(r, kListColumn, bytes) &&
      !Asn1Value::decode(bytes.data(), bytes.size(), list)) {
    ResourceLimX::raise("the stored attribute list of record %lu does not decode", id);
    return false;
  }
  // The record's identifier comes first, as every table reports it, unless its list
  // holds one of its own: then the list reads back exactly as written.
  bool own_id = false;
  if (list) {
    ExceptionScope scope;  // a malformed list is reported by read_pairs below
    qx::walk_pairs(list, [&](const qx::PairView& p) {
      own_id = p.id == logRecordIdOid.contents().view();
      return !own_id;
    });
  }
  values.reserve(values.size() + 1 + list.num_comps());
  if (!own_id) {
    Asn1Value idv;
    idv.encode_unsigned(id);
    values.adopt_entry(logRecordIdOid, std::move(idv));
  }
  return !list || qx::read_pairs(list, values);
}

int BlobT::ReadfromDB(const int& id, RespValue& values) {
  one_key_ = static_cast<unsigned int>(id);
  RWDBReader r = one_.reader(aConnection());
  if (!r()) {
    qx::walk_complete(r, table_name_.c_str());  // no row, or a read that failed
    return 0;
  }
  return read_record(r, values) ? 1 : 0;
}

int BlobT::get_all_log_recs(Callback& cb, int withLogId) {
  RWDBReader r = all_.reader(aConnection());
  if (!r.isValid()) outputStatus(r.status());
  return qx::walk_records(
      *this, table_name_, BLOB_TABLE, r, cb, withLogId,
      [this](RWDBReader& row, RespValue& values) { return read_record(row, values); });
}

int BlobT::get_all_almsvc_recs(Callback&, int flag) {
  ExceptionScope scope;
  std::vector<unsigned long> ids;
  {
    RWDBReader r = ids_.reader(aConnection());
    while (r()) {
      if (tolk_map_debug != 0) std::cout << "The column is " << r.column(0).name() << std::endl;
      unsigned long id = 0;
      if (qx::read_unsigned(r, logrecid_col, id)) ids.push_back(id);
    }
    if (!qx::walk_complete(r, table_name_.c_str())) return 0;
  }
  std::vector<qx::BlobAlarmIndex::State> states;
  if (!index_->states(states)) return 0;
  // The index must list exactly the stored records; rows written without it (by a
  // library that did not keep it) or left behind make it be built again.
  std::vector<unsigned long> listed;
  listed.reserve(states.size());
  for (const auto& s : states) listed.push_back(s.id);
  std::sort(ids.begin(), ids.end());
  std::sort(listed.begin(), listed.end());
  if (ids != listed && (!index_->rebuild() || !index_->states(states))) return 0;
  if (flag == 0) return 1;
  // Each managed object is looked up once; one the platform has no number for has 0.
  std::map<std::string, unsigned long> numbers;
  for (const auto& s : states) {
    unsigned long number = 0;
    if (!s.moi.empty()) {
      auto [it, fresh] = numbers.emplace(s.moi, 0);
      if (fresh) {
        set_uniqMO();
        long n = uniqMO->find_unique_id(RWDBBlob(s.moi.data(), s.moi.size()));
        it->second = n > 0 ? static_cast<unsigned long>(n) : 0;
      }
      number = it->second;
    }
    update_log_record_hash(s.id, BLOB_TABLE, number, s.cleared ? 1 : 0,
                           static_cast<unsigned char>(s.severity));
  }
  return 1;
}

int BlobT::getBlobMOCInfo(const int& id, Oid& recordClass) const {
  Asn1Value list;
  if (stored_list(id, list) != 1) return 0;
  Oid cls;
  bool found = false;
  bool decoded = false;
  bool walked = qx::walk_pairs(list, [&](const qx::PairView& p) {
    if (p.id != objectClassOid.contents().view()) return true;
    // ObjectClass: globalForm [0], or the identifier as it stands; a localForm (an
    // integer) names no class the mapper knows.
    found = true;
    Asn1Tag tag = p.value.tag();
    decoded = (tag == TAG_OID || tag == TAG_CTX0) && p.value.decode_oid(cls);
    return false;
  });
  if (!walked) return 0;
  if (!found) {
    ResourceLimX::raise("record %d has no objectClass attribute", id);
    return 0;
  }
  if (!decoded || cls.empty()) {
    ResourceLimX::raise("the objectClass of record %d is no object identifier", id);
    return 0;
  }
  recordClass = cls;
  return 1;
}

// ---- Writing, changing, deleting.

int BlobT::WriteToDB(const int& id, const Oid&, const Oid&, const Asn1Value& attributes, OarInfo*) {
  ExceptionScope scope;
  const char* what = "Error in writing to the Database \n";
  unsigned long key = static_cast<unsigned int>(id);
  if (!attributes || !attributes.constructed()) {
    ResourceLimX::raise("attribute list is not a SET or SEQUENCE");
    return failed(what);
  }
  // One pass over the list: each pair is checked and goes into the blob as it comes.
  image_.initialize();
  qx::PairSetWriter list(image_.blob(ATTR_BLOB)->bytes());
  qx::BlobAlarmKeys keys;
  const auto pairs = attributes.components();
  for (auto it = pairs.begin(); it != pairs.end(); ++it) {
    std::string_view pair = it.encoding();
    qx::PairParts parts;
    if (!qx::read_pair(pair, parts)) {
      ResourceLimX::raise("attribute list component is not an attribute");
      return failed(what);
    }
    Asn1Value value = attributes.element_at(parts.value);
    if (!list.add_pair(attributes, pair, parts)) return failed(what);
    keys.see(parts.id, value);
  }
  if (!list_fits(list.encoded_size(), key)) return failed(what);
  list.finish();
  *image_.unsigned_field(ATTR_LOG_RECORD_ID) = key;
  image_.set_nulls();
  // The record and its alarm index row go in together, or neither does.
  if (!index_->add(key, keys, inserter_)) return failed(what);
  return 1;
}

int BlobT::deleteDB(const int& id) {
  ExceptionScope scope;
  key_ = static_cast<unsigned int>(id);
  return index_->remove(key_, deleter_) ? 1 : 0;
}

namespace {

// The history row of a blob record's change: the state attribute of the action, before
// (in `stored`) and after (the list first, then `stored`), and the time, operator and
// text the list gives.
void history_row(unsigned long id, const char* action, const std::vector<qx::Attribute>& attrs,
                 const RespValue& stored, qx::AlarmHistory::Row& row) {
  const Oid* state = &displayStateOid;
  const Oid* time = &displayTimeOid;
  const Oid* op = &displayOperatorOid;
  const Oid* text = &displayTextOid;
  if (std::strcmp(action, qx::kActionAcknowledge) == 0) {
    state = &ackStateOid, time = &ackTimeOid, op = &ackOperatorOid, text = &ackTextOid;
  } else if (std::strcmp(action, qx::kActionDisplay) != 0) {
    state = &clearStateOid, time = &clearTimeOid, op = &clearOperatorOid, text = &clearTextOid;
  }
  ExceptionScope scope;  // a value that does not read is no state, time or text
  auto words = [](const Oid& attr, const Asn1Value& v) {
    Asn1Tag t = v.tag();
    std::string octets;
    if (!v.constructed() && (t == TAG_OCTSTR || t == TAG_GRAPHSTR || t == TAG_UTF8STR ||
                             t == TAG_VISSTR || t == TAG_PRINTSTR || t == TAG_IA5STR) &&
        v.decode_octets(octets)) {
      return octets;
    }
    return format_attribute(attr, v);
  };
  row = qx::AlarmHistory::Row();
  row.id = id;
  row.action = action;
  Asn1Value v;
  if (stored.find_value(*state, v)) row.before = words(*state, v);
  row.after = row.before;
  for (const qx::Attribute& a : attrs) {
    if (a.id == *state) {
      row.after = words(*state, a.value);
    } else if (a.id == *time) {
      bool absent = false;
      qx::time_to_datetime(a.value, row.time, absent);
    } else if (a.id == *op) {
      row.operator_name = words(*op, a.value);
    } else if (a.id == *text) {
      row.text = words(*text, a.value);
    } else if (a.id == objectClassOid && row.record_class.empty()) {
      Oid cls;
      if (a.value.decode_oid(cls)) row.record_class = cls.format();
    }
  }
  if (row.record_class.empty() && stored.find_value(objectClassOid, v)) {
    Oid cls;
    if (v.decode_oid(cls)) row.record_class = cls.format();
  }
}

bool names_display(const std::vector<qx::Attribute>& attrs) {
  return std::any_of(attrs.begin(), attrs.end(), [](const qx::Attribute& a) {
    return a.id == displayStateOid || a.id == displayTimeOid || a.id == displayOperatorOid ||
           a.id == displayTextOid;
  });
}

}  // namespace

bool BlobT::plan(int id, std::vector<qx::Attribute>& attrs, Change& change, RespValue* report,
                 const char* action) {
  change.id = static_cast<unsigned int>(id);
  Asn1Value stored;
  int found = stored_list(id, stored);
  if (found < 0) return false;
  change.has_row = found == 1;
  if (!change.has_row) return true;
  RespValue old;
  old.reserve(stored.num_comps());
  if (stored && !qx::read_pairs(stored, old)) return false;
  std::unordered_set<std::string_view> named;
  qx::PairSetWriter list(change.list);
  change.keys = qx::BlobAlarmKeys();
  for (qx::Attribute& a : attrs) {
    if (report != nullptr) Fill_response(*report, a.id, a.value, old);
    named.insert(a.id.contents().view());
    list.add(a.pair.encoding_view());
    change.keys.see(a.id.contents().view(), a.value);
  }
  // The attributes the list does not name stay, as they were stored.
  if (stored) {
    qx::walk_pairs(stored, [&](const qx::PairView& p) {
      if (named.count(p.id) != 0) return true;
      list.add(p.pair);
      change.keys.see(p.id, p.value);
      return true;
    });
  }
  if (!list_fits(list.encoded_size(), change.id)) return false;
  list.finish();
  change.action.clear();
  if (owner_->alarm_history() != nullptr) {
    if (action == nullptr && names_display(attrs)) action = qx::kActionDisplay;
    if (action != nullptr) {
      change.action = action;
      history_row(change.id, action, attrs, old, change.history);
    }
  }
  return true;
}

bool BlobT::apply(const Change& change) {
  key_ = change.id;
  image_.blob(ATTR_BLOB)->bytes() = change.list;
  image_.set_nulls();
  if (change.action.empty()) return index_->replace(change.id, change.keys, updater_);
  RWDBGroupStatement row = owner_->alarm_history()->row_inserter(change.history);
  return index_->replace(change.id, change.keys, updater_, &row);
}

int BlobT::change(int id, const Asn1Value& attributes, RespValue& response, bool require_row,
                  Change* done, const char* action) {
  std::vector<qx::Attribute> attrs;
  if (!qx::take_list(attributes, attrs)) return 0;
  if (attrs.empty()) return 1;
  Change c;
  RespValue report;
  if (!plan(id, attrs, c, &report, action)) return 0;
  if (!c.has_row) {
    if (!require_row) return 1;
    ProcessFailX::raise("record %d has no row in %s", id, table_name_.c_str());
    return 0;
  }
  if (!c.action.empty()) owner_->alarm_history()->next_action();
  if (!apply(c)) return 0;
  for (const auto& e : report) response.create_entry(e->id(), e->value(), e->old_value());
  if (done != nullptr) *done = std::move(c);
  return 1;
}

int BlobT::UpdateDB(const int& id, const Asn1Value& attributes) {
  RespValue scratch;
  return UpdateDB(id, attributes, scratch);
}

int BlobT::UpdateDB(const int& id, const Asn1Value& attributes, RespValue& response) {
  ExceptionScope scope;
  if (change(id, attributes, response, false, nullptr) == 1) return 1;
  return failed("Error in updating to the Database \n");
}

// ---- Alarms.

int BlobT::UpdateDBAck(const int& id, const Asn1Value& attributes, RespValue& response) {
  ExceptionScope scope;
  if (change(id, attributes, response, true, nullptr, qx::kActionAcknowledge) == 1) return 1;
  return failed(78, 79, "Error in performing the ack operation.\n");
}

int BlobT::UpdateDBClear(const int& id, const Asn1Value& attributes, RespValue& response) {
  ExceptionScope scope;
  const char* what = "Error in performing the clear operation.\n";
  Change done;
  done.has_row = false;
  if (change(id, attributes, response, true, &done, qx::kActionClear) != 1) {
    return failed(86, 87, what);
  }
  if (!selection_->forget(static_cast<unsigned int>(id))) return failed(86, 87, what);
  // The cache follows the state the record now has.
  if (done.has_row) owner_->update_logrec_clear_state(done.id, done.keys.cleared ? 1 : 0);
  return 1;
}

int BlobT::UpdateDBClearAlarms(const int, const Oid&, const Asn1Value& attributes) {
  ExceptionScope scope;
  const char* what = "Error in performing the Clear operation.\n";
  std::vector<qx::Attribute> attrs;
  if (!qx::take_list(attributes, attrs)) return failed(78, 79, what);
  std::vector<unsigned long> ids;
  if (!selection_->records(ids)) return failed(78, 79, what);
  std::vector<Change> changes;
  if (!attrs.empty()) {
    changes.reserve(ids.size());
    for (unsigned long id : ids) {
      Change c;
      if (!plan(static_cast<int>(id), attrs, c, nullptr, qx::kActionClearAll)) {
        return failed(78, 79, what);
      }
      if (c.has_row) changes.push_back(std::move(c));
    }
  }
  // One action: its history rows share their sequence number.
  if (!changes.empty() && owner_->alarm_history() != nullptr) owner_->alarm_history()->next_action();
  for (const Change& c : changes) {
    if (!apply(c)) return failed(78, 79, what);
    owner_->update_logrec_clear_state(c.id, c.keys.cleared ? 1 : 0);
  }
  if (!selection_->clear()) return failed(78, 79, what);
  return 1;
}

bool BlobT::select(int moiId, const std::vector<qx::Attribute>& criteria) {
  RWDBBlob moi;
  int known = qx::moi_encoding(moiId, moi);
  if (known < 0) return false;
  std::vector<qx::BlobAlarmIndex::Outstanding> rows;
  if (known == 1 && !index_->outstanding(moi, rows)) return false;
  std::vector<std::pair<unsigned long, long>> picked;
  for (const auto& row : rows) {
    bool match = std::all_of(criteria.begin(), criteria.end(), [&](const qx::Attribute& c) {
      std::string_view want = c.value.contents();
      if (c.id == probableCauseOid) return row.probable_cause == want;
      if (c.id == eventTypeOid) return row.event_type == want;
      return row.specific_problems == want;
    });
    if (match) picked.emplace_back(row.id, row.severity);
  }
  std::sort(picked.begin(), picked.end());
  return selection_->replace(picked);
}

int BlobT::getOarInfo(const int moiId, const Oid&, const Asn1Value& attributes,
                      RWDBReader& reader) {
  ExceptionScope scope;
  const char* what = "Error in performing the OAR read operation.\n";
  std::vector<qx::Attribute> criteria;
  if (!qx::take_list(attributes, criteria)) return failed(78, 79, what);
  for (const qx::Attribute& c : criteria) {
    if (!is_criterion(c.id)) {
      InvalidX::raise("attribute %s is no criterion of an alarm selection", c.id.format().c_str());
      return failed(78, 79, what);
    }
  }
  if (!select(moiId, criteria)) return failed(78, 79, what);
  RWDBReader r = selection_->reader(false);
  if (!r.isValid()) return failed(78, 79, what);
  if (tolk_map_debug != 0) outputStatus(r.status());
  reader = r;
  return 1;
}

int BlobT::getOarInfo(const int moiId, const Oid&, RWDBReader& reader) {
  ExceptionScope scope;
  if (!select(moiId, {})) return 0;
  RWDBReader r = selection_->reader(true);
  if (!r.isValid()) return 0;
  reader = r;
  return 1;
}
