#include "infra/tolk_map/tables/blob_alarms.h"

#include <array>
#include <cstring>

#include "infra/tolk_map/codecs/attribute_list.h"
#include "infra/tolk_map/codecs/codecs.h"
#include "infra/tolk_map/log_tables.h"
#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/alarmlog.h"
#include "infra/tolk_map/tables/record_table.h"
#include "infra/tolk_map/util.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_result.h"
#include "platform/value/exception.h"
#include "tolk.h"

namespace qx {

int64_t moi_hash(std::string_view encoding) {
  uint64_t h = 14695981039346656037ull;
  for (char c : encoding) {
    h ^= static_cast<unsigned char>(c);
    h *= 1099511628211ull;
  }
  return static_cast<int64_t>(h);
}

// ---- The keys of a record.

namespace {

enum KeyBit : unsigned {
  kMoi = 1,
  kClear = 2,
  kSeverity = 4,
  kCause = 8,
  kEventType = 16,
  kProblems = 32,
};

// A number of an INTEGER or ENUMERATED value, whatever its tag; false for anything else
// (nothing raised).
bool number_of(const Asn1Value& value, long& n) {
  ExceptionScope scope;
  return value.decode_int(n);
}

}  // namespace

void BlobAlarmKeys::see(std::string_view id, const Asn1Value& value) {
  struct Key {
    const Oid* attr;
    KeyBit bit;
  };
  static const std::array<Key, 6> kKeys = {{{&moiOid, kMoi},
                                            {&clearStateOid, kClear},
                                            {&perceivedSeverityOid, kSeverity},
                                            {&probableCauseOid, kCause},
                                            {&eventTypeOid, kEventType},
                                            {&specificProblemsOid, kProblems}}};
  for (const Key& k : kKeys) {
    if (id != k.attr->contents().view()) continue;
    if ((seen_ & k.bit) != 0) return;
    seen_ |= k.bit;
    long n = 0;
    switch (k.bit) {
      case kMoi:
        moi.assign(value.encoding_view());
        has_moi = true;
        break;
      case kClear:
        cleared = number_of(value, n) && n != 0;
        break;
      case kSeverity:
        severity = number_of(value, n) && n >= 0 && n <= 5 ? n : 0;
        break;
      case kCause:
        probable_cause.assign(value.contents());
        break;
      case kEventType:
        event_type.assign(value.contents());
        break;
      case kProblems:
        specific_problems.assign(value.contents());
        break;
    }
    return;
  }
}

BlobAlarmKeys BlobAlarmKeys::of(const Asn1Value& set) {
  BlobAlarmKeys keys;
  ExceptionScope scope;
  walk_pairs(set, [&](const PairView& p) {
    keys.see(p.id, p.value);
    return true;
  });
  return keys;
}

// ---- The alarm index.

namespace {

const ColumnDef kIndexColumns[] = {
    {"logRecordId", RWDBValue::UnsignedLong, 0, false, ATTR_LOG_RECORD_ID},
    {"moiHash", RWDBValue::Long, 0, true, ATTR_MOI_ID},
    {"moi", RWDBValue::Blob, 33000, true, ATTR_MOI},
    {"cleared", RWDBValue::Long, 0, false, ATTR_CLEAR_STATE},
    {"severity", RWDBValue::Long, 0, false, ATTR_PERCEIVED_SEVERITY},
    {"probableCause", RWDBValue::Blob, 33000, true, ATTR_PROBABLE_CAUSE},
    {"eventType", RWDBValue::Blob, 33000, true, ATTR_EVENT_NAME},
    {"specificProblems", RWDBValue::Blob, 33000, true, ATTR_SPECIFIC_PROBLEMS},
};

const IndexDef kIndexIndexes[] = {{"bamoi", "moiHash"}, {"balid", "logRecordId"}};

// The columns every row gives (an empty blob is NULL); the managed object's two are NULL
// without one.
constexpr ATTRIBUTES kWithoutMoi[] = {ATTR_LOG_RECORD_ID,      ATTR_CLEAR_STATE,
                                      ATTR_PERCEIVED_SEVERITY, ATTR_PROBABLE_CAUSE,
                                      ATTR_EVENT_NAME,         ATTR_SPECIFIC_PROBLEMS};
constexpr ATTRIBUTES kWithMoi[] = {ATTR_LOG_RECORD_ID,  ATTR_CLEAR_STATE, ATTR_PERCEIVED_SEVERITY,
                                   ATTR_PROBABLE_CAUSE, ATTR_EVENT_NAME,  ATTR_SPECIFIC_PROBLEMS,
                                   ATTR_MOI_ID,         ATTR_MOI};

// A blob column's bytes, or empty for NULL.
std::string blob_text(RWDBReader& r, const char* column) {
  std::string_view v;
  return read_blob_view(r, column, v) ? std::string(v) : std::string();
}

}  // namespace

BlobAlarmIndex::BlobAlarmIndex(const LogMapper& owner, const std::string& prefix,
                               const RWDBTable& blob)
    : owner_(owner),
      blob_(blob),
      name_(companion_table_name(prefix, BLOB_TABLE)),
      image_(kIndexColumns) {}

const TableLayout& BlobAlarmIndex::layout() {
  static const TableLayout kLayout = {
      "_bAlm", kIndexColumns, kIndexIndexes, nullptr, "ERROR: schema fetch failed.", true};
  return kLayout;
}

void BlobAlarmIndex::attach(bool blob_table_new) {
  std::string none;
  bool made = attach_record_table(owner_, name_, layout(), table_, none);
  if (Exception::pending()) return;
  const RWDBTable& t = table_;
  inserter_ = t.inserter();
  image_.bind(inserter_);
  deleter_ = t.deleter();
  deleter_.where(t[logrecid_col] == RWDBBoundExpr(&key_));
  clear_ = t.deleter();
  outstanding_ = TolkMap::aDB_().selector();
  outstanding_ << t[logrecid_col] << t["severity"] << t["probablecause"] << t["eventtype"]
               << t["specificproblems"];
  outstanding_.where(t["moihash"] == RWDBBoundExpr(&hash_) && t["moi"] == RWDBBoundExpr(&moi_) &&
                     t["cleared"] == RWDBExpr(0L));
  if ((made || blob_table_new) && !rebuild()) {
    ConflictX::raise("alarm index %s cannot be filled", name_.c_str());
  }
}

void BlobAlarmIndex::fill(unsigned long id, const BlobAlarmKeys& keys) {
  image_.initialize();
  *image_.unsigned_field(ATTR_LOG_RECORD_ID) = id;
  if (keys.has_moi) {
    *static_cast<long*>(image_.myColumn(ATTR_MOI_ID)) = moi_hash(keys.moi);
    image_.blob(ATTR_MOI)->bytes() = keys.moi;
  }
  *static_cast<long*>(image_.myColumn(ATTR_CLEAR_STATE)) = keys.cleared ? 1 : 0;
  *static_cast<long*>(image_.myColumn(ATTR_PERCEIVED_SEVERITY)) = keys.severity;
  image_.blob(ATTR_PROBABLE_CAUSE)->bytes() = keys.probable_cause;
  image_.blob(ATTR_EVENT_NAME)->bytes() = keys.event_type;
  image_.blob(ATTR_SPECIFIC_PROBLEMS)->bytes() = keys.specific_problems;
  if (keys.has_moi) {
    image_.set_nulls(kWithMoi);
  } else {
    image_.set_nulls(kWithoutMoi);
  }
}

bool BlobAlarmIndex::executed(RWDBResult res, const char* what) {
  if (res.isValid()) return true;
  ProcessFailX::raise("%s of %s refused: %s", what, name_.c_str(), res.status().message().data());
  return false;
}

bool BlobAlarmIndex::add(unsigned long id, const BlobAlarmKeys& keys,
                         const RWDBGroupStatement& blob) {
  fill(id, keys);
  return executed(TolkMap::aConnection().execute({inserter_, blob}), "insert");
}

bool BlobAlarmIndex::replace(unsigned long id, const BlobAlarmKeys& keys,
                             const RWDBGroupStatement& blob) {
  fill(id, keys);
  key_ = id;
  return executed(TolkMap::aConnection().execute({deleter_, inserter_, blob}), "update");
}

bool BlobAlarmIndex::remove(unsigned long id, const RWDBGroupStatement& blob) {
  key_ = id;
  return executed(TolkMap::aConnection().execute({deleter_, blob}), "delete");
}

bool BlobAlarmIndex::rebuild() {
  if (!executed(clear_.execute(TolkMap::aConnection()), "emptying")) return false;
  RWDBSelector sel = TolkMap::aDB_().selector();
  sel << blob_[logrecid_col] << blob_["userdefined"];
  RWDBReader r = sel.reader(TolkMap::aConnection());
  while (r()) {
    unsigned long id = 0;
    if (!read_unsigned(r, logrecid_col, id)) continue;
    std::string_view bytes;
    Asn1Value set;
    if (read_blob_view(r, "userdefined", bytes)) {
      ExceptionScope scope;  // a list that does not decode has no keys
      Asn1Value::decode(bytes.data(), bytes.size(), set);
    }
    fill(id, BlobAlarmKeys::of(set));
    if (!executed(inserter_.execute(TolkMap::aConnection()), "rebuild")) return false;
  }
  return executed(RWDBResult(r.status()), "rebuild");
}

bool BlobAlarmIndex::outstanding(const RWDBBlob& moi, std::vector<Outstanding>& out) {
  out.clear();
  hash_ = moi_hash(moi.bytes());
  moi_ = moi;
  RWDBReader r = outstanding_.reader(TolkMap::aConnection());
  while (r()) {
    Outstanding o;
    read_unsigned(r, logrecid_col, o.id);
    read_long(r, "severity", o.severity);
    o.probable_cause = blob_text(r, "probablecause");
    o.event_type = blob_text(r, "eventtype");
    o.specific_problems = blob_text(r, "specificproblems");
    out.push_back(std::move(o));
  }
  return executed(RWDBResult(r.status()), "selection");
}

bool BlobAlarmIndex::states(std::vector<State>& out) {
  out.clear();
  RWDBSelector sel = TolkMap::aDB_().selector();
  sel << table_[logrecid_col] << table_["moi"] << table_["cleared"] << table_["severity"];
  RWDBReader r = sel.reader(TolkMap::aConnection());
  while (r()) {
    State s;
    long cleared = 0;
    read_unsigned(r, logrecid_col, s.id);
    s.moi = blob_text(r, "moi");
    read_long(r, "cleared", cleared);
    read_long(r, "severity", s.severity);
    s.cleared = cleared != 0;
    out.push_back(std::move(s));
  }
  return executed(RWDBResult(r.status()), "reading");
}

// ---- The clear selection.

namespace {

const ColumnDef kSelectionColumns[] = {
    {"logRecordId", RWDBValue::UnsignedLong, 0, false, ATTR_LOG_RECORD_ID},
    {"perceivedseverity", RWDBValue::String, 14, true, ATTR_PERCEIVED_SEVERITY},
    {"clearstate", RWDBValue::String, 10, true, ATTR_CLEAR_STATE},
};

// Numbers the selections of the process: two table objects of one log (on SQLite, every
// connection of a process is one session) never share one.
unsigned long next_selection = 0;

}  // namespace

BlobClearSelection::BlobClearSelection(const std::string& prefix)
    : name_(prefix + "_batc" + std::to_string(++next_selection)) {
  RWDBDatabase& db = TolkMap::aDB_();
  table_ = db.table(name_);
  const RWDBTable& t = table_;
  inserter_ = t.inserter();
  inserter_["logrecordid"] << RWDBBoundExpr(&id_);
  inserter_["perceivedseverity"] << RWDBBoundExpr(&severity_);
  inserter_["clearstate"] << RWDBExpr(uncleared_state);
  forget_ = t.deleter();
  forget_.where(t[logrecid_col] == RWDBBoundExpr(&id_));
  clear_ = t.deleter();
  records_ = db.selector();
  records_ << t[logrecid_col];
  rows_ = db.selector();
  rows_ << t[logrecid_col] << t["perceivedseverity"];
  rows_with_state_ = db.selector();
  rows_with_state_ << t[logrecid_col] << t["perceivedseverity"] << t["clearstate"];
}

BlobClearSelection::~BlobClearSelection() {
  if (!made_ || !TolkMap::aConnection().isValid()) return;
  RWDBConnection& conn = TolkMap::aConnection();
  if (table_.exists(conn)) table_.drop(conn);
}

bool BlobClearSelection::ensure() {
  RWDBSchema schema;
  for (const ColumnDef& c : kSelectionColumns) {
    schema.appendColumn(c.name, c.type, c.length, c.nullable);
  }
  RWDBStatus s = TolkMap::aDB_().createTemporaryTable(name_, schema, TolkMap::aConnection());
  if (!s.isValid()) {
    ProcessFailX::raise("selection table %s not made: %s", name_.c_str(), s.message().data());
    return false;
  }
  made_ = true;
  return true;
}

namespace {
bool done(const RWDBResult& res, const std::string& table) {
  if (res.isValid()) return true;
  ProcessFailX::raise("selection %s: %s", table.c_str(), res.status().message().data());
  return false;
}
}  // namespace

bool BlobClearSelection::replace(const std::vector<std::pair<unsigned long, long>>& rows) {
  if (!ensure() || !done(clear_.execute(TolkMap::aConnection()), name_)) return false;
  for (const auto& [id, severity] : rows) {
    id_ = id;
    long s = severity;
    convert_severity(s, severity_);
    if (!done(inserter_.execute(TolkMap::aConnection()), name_)) return false;
  }
  return true;
}

bool BlobClearSelection::records(std::vector<unsigned long>& out) {
  out.clear();
  if (!made_) return true;
  if (!ensure()) return false;
  RWDBReader r = records_.reader(TolkMap::aConnection());
  while (r()) {
    unsigned long id = 0;
    if (read_unsigned(r, logrecid_col, id)) out.push_back(id);
  }
  return done(RWDBResult(r.status()), name_);
}

bool BlobClearSelection::forget(unsigned long id) {
  if (!made_) return true;
  if (!ensure()) return false;
  id_ = id;
  return done(forget_.execute(TolkMap::aConnection()), name_);
}

bool BlobClearSelection::clear() {
  if (!made_) return true;
  return ensure() && done(clear_.execute(TolkMap::aConnection()), name_);
}

RWDBReader BlobClearSelection::reader(bool with_state) {
  RWDBReader r;
  if (!ensure()) return r;
  r = (with_state ? rows_with_state_ : rows_).reader(TolkMap::aConnection());
  if (!r.isValid()) {
    ProcessFailX::raise("selection %s not read: %s", name_.c_str(), r.status().message().data());
  }
  return r;
}

}  // namespace qx
