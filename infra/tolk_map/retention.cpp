// Retention: the oldest records of a log give way, by the caller's purge or by the log's
// own attributes (maxLogSize, logFullAction, capacityAlarmThreshold).
//
// A purge works out which records go before it deletes any: from each record table the
// oldest records it may delete, in the database (ORDER BY loggingTime, logRecordId with a
// LIMIT: a walk down the table's age index; by time, those below a bound, kept by their
// instants; the blob table's records carry their logging time inside their lists and are
// read whole), merged into one list, oldest first. It then deletes that list in
// batches, each batch one transaction: per table, the batch's identifiers in ascending
// order, a list of them per DELETE, each DELETE repeating the purge's own condition (not
// an outstanding alarm), so that an alarm that became outstanding again since stays. A
// purge killed half-way has committed whole batches of records it was to delete and
// nothing else; the next one goes on from there. The alarm state cache and the
// bookkeeping follow each batch once it is committed.
//
// The age index of a record table, on (loggingTime, logRecordId), is the library's own:
// the first purge of a log makes it on each of the log's event and alarm tables where it
// is missing (a sort of the table, about as long as one purge without it), and from then
// on every record written to the table adds an entry to it. A log that is never purged
// never has one. It goes with its table.
//
// The history of purged alarms stays in the history table: it is the record of what
// operators did.
#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "infra/tolk_map/codecs/attribute_list.h"
#include "infra/tolk_map/codecs/codecs.h"
#include "infra/tolk_map/log_tables.h"
#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/alarmlog.h"
#include "infra/tolk_map/tables/blob.h"
#include "infra/tolk_map/trace.h"
#include "platform/db/rw_zone.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_schema.h"
#include "platform/db/rwdb_selector.h"
#include "platform/db/rwdb_table.h"
#include "platform/db/rwdb_updater.h"
#include "platform/value/exception.h"
#include "platform/value/generalized_time.h"
#include "platform/value/value_notation.h"
#include "tolk.h"

// A record a purge is to delete, by its age.
struct LogMapper::Aged {
  int64_t time;  // milliseconds since the epoch; INT64_MIN without a logging time
  unsigned long id;
  TABLE_TYPE type;
  bool operator<(const Aged& o) const { return time != o.time ? time < o.time : id < o.id; }
};

namespace {

constexpr int64_t kNoTime = std::numeric_limits<int64_t>::min();

// The words an alarm table stores for a cleared alarm.
const char* const kCleared = "cleared";

// The identifiers one DELETE names: a few statements a batch, far below what either
// server takes as parameters of one statement.
constexpr size_t kIdsPerStatement = 1000;

// The table of capacity thresholds reported, one row per log and threshold.
const char* const kCapacityTable = "QxLogCapacity";

// The embedded store keeps a time as wall-clock text with its offset, and compares and
// orders such texts as text: in the hour a change back to standard time repeats, or
// between records logged in different zones, a later text may be the earlier instant.
// Offsets lie between -12 and +14 hours, so a record older than a time has a text below
// that of the time 26 hours later: a purge by time reads the records below that and
// keeps the older ones by instant. (A purge by count alone takes the oldest by the
// stored order; within such an hour that may be a record up to an hour younger.)
constexpr int64_t kOffsetSpread = 26LL * 3600 * 1000;

int64_t millis_of(const RWDBDateTime& t) { return t.isValid() ? t.millisSinceEpoch() : kNoTime; }

// Whether a table keeps alarms with a clear state column (the blob table keeps its
// records' states inside their lists).
bool clear_state_column(const LogMapper* table, int type) {
  return type != BLOB_TABLE && table->keeps_alarms();
}

// The age index of the record table `table` of type `type`: the table name with its stem
// replaced by the stem's first three letters and "tm" (qxi7ObCre: qxi7obctm).
std::string age_index_name(const std::string& table, int type) {
  std::string stem = qx::table_stem(TABLE_TYPE(type));
  std::string suffix = stem.substr(0, 3) + "tm";
  for (char& c : suffix) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return table.substr(0, table.size() - stem.size()) + suffix;
}

// The blob record's logging time, and whether it is an outstanding alarm: its list read
// in place, up to a component that is no pair.
void blob_age(const Asn1Value& list, RWDBDateTime& time, bool& outstanding) {
  time = RWDBDateTime();
  bool alarm = false;
  bool cleared = false;
  ExceptionScope scope;
  qx::walk_pairs(list, [&](const qx::PairView& p) {
    if (p.id == loggingTimeOid.contents().view() && !time.isValid()) {
      bool absent = false;
      if (!qx::time_to_datetime(p.value, time, absent)) time = RWDBDateTime();
    } else if (p.id == perceivedSeverityOid.contents().view()) {
      alarm = true;
    } else if (p.id == clearStateOid.contents().view()) {
      long n = 0;
      alarm = true;
      cleared = p.value.decode_int(n) && n != 0;
    }
    return true;
  });
  outstanding = alarm && !cleared;
}

// The identifiers of `ids` that still have a row in `t`.
bool still_there(const RWDBTable& t, const std::vector<RWDBExpr>& ids,
                 std::vector<unsigned long>& out) {
  RWDBSelector sel = TolkMap::aDB_().selector();
  sel << t[logrecid_col];
  sel.where(t[logrecid_col].in(ids));
  RWDBReader r = sel.reader(TolkMap::aConnection());
  while (r()) {
    unsigned long id = 0;
    if (qx::read_unsigned(r, logrecid_col, id)) out.push_back(id);
  }
  if (r.status().isValid()) return true;
  ProcessFailX::raise("the records of %s cannot be read: %s", t.name().data(),
                      r.status().message().data());
  return false;
}

}  // namespace

unsigned long LogMapper::current_log_size() const {
  const LogMapper* owner = owner_;
  unsigned long size = 0;
  for (const auto& [id, entry] : owner->oar_cache_) {
    const LogMapper* t = owner->tables_[entry->get_table_type() % NUM_TABLE_TYPES].get();
    size += static_cast<unsigned long>(t != nullptr ? t->get_nominal_log_record_size()
                                                    : default_log_record_size);
  }
  return size;
}

bool LogMapper::make_age_indexes() {
  for (int type = 0; type < NUM_TABLE_TYPES; ++type) {
    LogMapper* table = tables_[type].get();
    if (table == nullptr || type == BLOB_TABLE || !table->table_) continue;
    RWDBSchema columns;
    columns.appendColumn("loggingTime");
    columns.appendColumn(logrecid_col);
    std::string name = age_index_name(table->table_name_, type);
    RWDBStatus s = table->table_->createIndexIfMissing(name, columns, aConnection());
    if (!s.isValid()) {
      ProcessFailX::raise("index %s cannot be made: %s", name.c_str(), s.message().data());
      return false;
    }
  }
  return true;
}

bool LogMapper::oldest_records(const PurgeOptions& options, std::vector<Aged>& out) {
  out.clear();
  unsigned long total = oar_cache_.size();
  long wanted = -1;  // -1: every record the conditions name
  if (options.keep >= 0) {
    if (total <= static_cast<unsigned long>(options.keep)) return true;
    wanted = static_cast<long>(total - static_cast<unsigned long>(options.keep));
  }
  RWDBDateTime before;
  if (options.before) {
    bool absent = false;
    if (!qx::time_to_datetime(options.before, before, absent) || absent) {
      InvalidX::raise("the time of a purge is no GeneralizedTime");
      return false;
    }
  }
  for (int type = 0; type < NUM_TABLE_TYPES; ++type) {
    LogMapper* table = tables_[type].get();
    if (table == nullptr) continue;
    std::vector<Aged> found;
    const RWDBTable& t = *table->table_;
    RWDBSelector sel = aDB_().selector();
    if (type == BLOB_TABLE) {
      sel << t[logrecid_col] << t["userdefined"];
    } else {
      sel << t[logrecid_col] << t["loggingtime"];
      RWDBCriterion where;
      if (clear_state_column(table, type) && !options.outstanding) {
        where = t["clearstate"] == RWDBExpr(kCleared);
      }
      if (before.isValid()) {
        // Within a day after the time: what a time stored as wall-clock text with its
        // offset compares as (see kOffsetSpread). Which of them are older is decided by
        // their instants below, and so is the count.
        RWDBDateTime bound =
            RWDBDateTime::fromMillis(before.millisSinceEpoch() + kOffsetSpread, RWZone::local());
        where = where && (t["loggingtime"].isNull() || t["loggingtime"] < RWDBExpr(bound));
      }
      if (!where.isEmpty()) sel.where(where);
      sel.orderBy(t["loggingtime"]).orderBy(t[logrecid_col]);
      if (wanted >= 0 && !before.isValid()) sel.limit(RWDBExpr(wanted));
    }
    RWDBReader r = sel.reader(aConnection());
    while (r()) {
      Aged a{kNoTime, 0, TABLE_TYPE(type)};
      qx::read_unsigned(r, logrecid_col, a.id);
      RWDBDateTime logged;
      if (type == BLOB_TABLE) {
        std::string_view bytes;
        Asn1Value list;
        if (qx::read_blob_view(r, "userdefined", bytes)) {
          ExceptionScope scope;
          Asn1Value::decode(bytes.data(), bytes.size(), list);
        }
        bool outstanding = false;
        if (list) blob_age(list, logged, outstanding);
        if (outstanding && !options.outstanding) continue;
      } else {
        bool is_null = false;
        if (!qx::read_datetime(r, "loggingtime", logged, is_null) || is_null) {
          logged = RWDBDateTime();
        }
      }
      if (before.isValid() && logged.isValid() &&
          logged.millisSinceEpoch() >= before.millisSinceEpoch()) {
        continue;
      }
      a.time = millis_of(logged);
      found.push_back(a);
    }
    if (!r.status().isValid()) {
      ProcessFailX::raise("the records of %s cannot be read: %s", table->table_name_.c_str(),
                          r.status().message().data());
      return false;
    }
    // By instant: the order of the rows is that of the stored times, which on the embedded
    // store is wall-clock text (see kOffsetSpread).
    std::sort(found.begin(), found.end());
    if (wanted >= 0 && found.size() > static_cast<size_t>(wanted)) found.resize(wanted);
    // Each table's list is in order; the merged list keeps the oldest `wanted`.
    size_t middle = out.size();
    out.insert(out.end(), found.begin(), found.end());
    std::inplace_merge(out.begin(), out.begin() + static_cast<long>(middle), out.end());
    if (wanted >= 0 && out.size() > static_cast<size_t>(wanted)) out.resize(wanted);
  }
  return true;
}

bool LogMapper::delete_batch(const std::vector<Aged>& batch, bool outstanding,
                             std::vector<Aged>& deleted) {
  deleted.clear();
  for (int type = 0; type < NUM_TABLE_TYPES; ++type) {
    LogMapper* table = tables_[type].get();
    if (table == nullptr) continue;
    std::vector<unsigned long> ids;
    for (const Aged& a : batch) {
      if (a.type == type) ids.push_back(a.id);
    }
    if (ids.empty()) continue;
    if (type == BLOB_TABLE) {
      // Each through the blob table, which keeps its alarm index with the record.
      for (unsigned long id : ids) {
        if (table->deleteDB(static_cast<int>(id)) != 1) return false;
        deleted.push_back({kNoTime, id, TABLE_TYPE(type)});
      }
      continue;
    }
    // In ascending order the rows are deleted where they lie, page after page.
    std::sort(ids.begin(), ids.end());
    const RWDBTable& t = *table->table_;
    for (size_t at = 0; at < ids.size(); at += kIdsPerStatement) {
      size_t end = std::min(ids.size(), at + kIdsPerStatement);
      std::vector<RWDBExpr> list(ids.begin() + static_cast<long>(at),
                                 ids.begin() + static_cast<long>(end));
      RWDBCriterion where = t[logrecid_col].in(list);
      if (clear_state_column(table, type) && !outstanding) {
        where = where && t["clearstate"] == RWDBExpr(kCleared);
      }
      RWDBDeleter del = t.deleter();
      del.where(where);
      RWDBResult res = del.execute(aConnection());
      if (!res.isValid()) {
        ProcessFailX::raise("records of %s not deleted: %s", table->table_name_.c_str(),
                            res.status().message().data());
        return false;
      }
      std::vector<unsigned long> kept;
      if (res.rowCount() < static_cast<long>(end - at) && !still_there(t, list, kept)) {
        return false;
      }
      for (size_t i = at; i < end; ++i) {
        if (std::find(kept.begin(), kept.end(), ids[i]) == kept.end()) {
          deleted.push_back({kNoTime, ids[i], TABLE_TYPE(type)});
        }
      }
    }
  }
  return true;
}

void LogMapper::forget_records(const std::vector<Aged>& records) {
  for (const Aged& a : records) {
    auto it = oar_cache_.find(static_cast<uint32_t>(a.id));
    if (it == oar_cache_.end()) continue;
    LogMapper* t = tables_[a.type].get();
    unsigned long size = static_cast<unsigned long>(t != nullptr ? t->get_nominal_log_record_size()
                                                                 : default_log_record_size);
    oar_cache_.erase(it);
    if (num_records_ > 0) --num_records_;
    log_size_ = log_size_ > size ? log_size_ - size : 0;
  }
}

void LogMapper::recount_bounds() {
  lowest_set_ = !oar_cache_.empty();
  lowest_id_ = highest_id_ = 0;
  for (const auto& [id, entry] : oar_cache_) {
    if (lowest_id_ == 0 || id < lowest_id_) lowest_id_ = id;
    highest_id_ = std::max<unsigned long>(highest_id_, id);
  }
}

int LogMapper::purge(const PurgeOptions& options, PurgeResult* result) {
  ExceptionScope scope;
  PurgeResult done;
  if (owner_ != this || !created()) {
    InvalidX::raise("only a log's mapper purges its records");
  } else if (options.keep < 0 && !options.before) {
    InvalidX::raise("a purge names how many records to keep or a time");
  } else {
    // Work of the caller's transaction is not undone by a batch that fails.
    if (commit() != 1) ProcessFailX::raise("the open transaction could not be committed");
    if (!Exception::pending() && (!make_age_indexes() || commit() != 1)) {
      ProcessFailX::raise("the age indexes of log %s cannot be made", log_name_);
    }
    std::vector<Aged> oldest;
    if (!Exception::pending() && oldest_records(options, oldest)) {
      size_t step = options.batch == 0 ? 10000 : options.batch;
      std::vector<Aged> deleted;
      for (size_t at = 0; at < oldest.size(); at += step) {
        std::vector<Aged> batch(
            oldest.begin() + static_cast<long>(at),
            oldest.begin() + static_cast<long>(std::min(at + step, oldest.size())));
        if (!delete_batch(batch, options.outstanding, deleted)) {
          abort();
          break;
        }
        if (commit() != 1) {
          ProcessFailX::raise("a batch of the purge could not be committed");
          break;
        }
        forget_records(deleted);
        done.purged += deleted.size();
        ++done.batches;
      }
      if (done.purged > 0) recount_bounds();
    }
  }
  if (result != nullptr) *result = done;
  if (const Exception* x = scope.caught()) {
    tolk_error.print("Purge of log %s failed: %s\n", log_name_, x->reason().c_str());
    return 0;
  }
  return 1;
}

// ---- Enforcing the log's attributes.

// The log's attributes that enforce applies, as the log's readers give them back.
struct LogMapper::Limits {
  unsigned long max_size = 0;  // 0: none
  long full_action = -1;       // logFullAction; -1: none
  std::string full_action_text;
  std::vector<long> thresholds;
  std::vector<long> availability;  // availabilityStatus
};

namespace {

// LogFullAction ::= ENUMERATED {wrap(0), halt(1)}; AvailabilityStatus logFull(8).
constexpr long kWrap = 0;
constexpr long kHalt = 1;
constexpr long kLogFull = 8;

// The INTEGERs of a SET OF INTEGER (none for anything else).
std::vector<long> numbers_of(const Asn1Value& set) {
  std::vector<long> out;
  if (!set || !set.constructed()) return out;
  for (const Asn1Value& c : set.components()) {
    long n = 0;
    if (c.decode_int(n)) out.push_back(n);
  }
  return out;
}

Asn1Value set_of_integers(const std::vector<long>& numbers) {
  Asn1Value set;
  set.start_construct(TAG_SET);
  for (long n : numbers) {
    Asn1Value v;
    v.encode_int(n);
    set.add_component(v);
  }
  return set;
}

// What enforce reports of an availability status: its stored text.
std::string availability_text(const std::vector<long>& status) {
  bool ok = false;
  return status.empty() ? std::string() : qx::avstatus_text(set_of_integers(status), ok);
}

}  // namespace

bool LogMapper::read_limits(Limits& out) {
  RWDBSelector sel = aDB_().selector();
  sel << *table_;
  unsigned long n = qxlogid_;
  sel.where((*table_)[qxlogid_col] == RWDBExpr(n) &&
            (*table_)[logid_col] == RWDBExpr(RWCString(log_name_)));
  RWDBReader r = sel.reader(aConnection());
  if (!r()) {
    if (!r.status().isValid()) {
      ProcessFailX::raise("the log table cannot be read: %s", r.status().message().data());
    } else {
      ProcessFailX::raise("log %s has no row", log_name_);
    }
    return false;
  }
  RespValue stored;
  qx::read_log_attributes(this, r, *rdr_hash_, stored, true);
  while (r()) {
  }
  Asn1Value v;
  if (stored.find_value(maxlogszOid, v)) v.decode_unsigned(out.max_size);
  if (stored.find_value(logfullOid, v)) {
    if (!v.decode_enum(out.full_action)) out.full_action = -1;
    out.full_action_text = format_attribute(logfullOid, v);
  }
  if (stored.find_value(capacityAlarmThresholdOid, v)) out.thresholds = numbers_of(v);
  if (stored.find_value(avstatusOid, v)) out.availability = numbers_of(v);
  return true;
}

namespace {

// The capacity thresholds of log `qxlogid` reported and not yet re-armed.
bool reported_thresholds(unsigned long qxlogid, std::vector<long>& out, RWDBTable& table) {
  RWDBConnection& conn = TolkMap::aConnection();
  table = TolkMap::aDB_().table(kCapacityTable);
  if (!table.exists(conn)) {
    RWDBSchema s;
    s.appendColumn("qxlogid", RWDBValue::UnsignedLong, 0, false);
    s.appendColumn("threshold", RWDBValue::Long, 0, false);
    RWDBStatus st = TolkMap::aDB_().createTable(kCapacityTable, s, conn);
    if (!st.isValid() && !table.exists(conn)) {
      ProcessFailX::raise("table %s cannot be created: %s", kCapacityTable, st.message().data());
      return false;
    }
  }
  RWDBSelector sel = TolkMap::aDB_().selector();
  sel << table["threshold"];
  sel.where(table["qxlogid"] == RWDBExpr(qxlogid));
  RWDBReader r = sel.reader(conn);
  while (r()) {
    long t = 0;
    if (qx::read_long(r, "threshold", t)) out.push_back(t);
  }
  if (!r.status().isValid()) {
    ProcessFailX::raise("table %s cannot be read: %s", kCapacityTable, r.status().message().data());
    return false;
  }
  return true;
}

}  // namespace

namespace qx {
// Removes the capacity thresholds reported for a log (it is deleted).
void forget_capacity_thresholds(unsigned long qxlogid) {
  RWDBTable table = TolkMap::aDB_().table(kCapacityTable);
  if (!table.exists(TolkMap::aConnection())) return;
  RWDBDeleter del = table.deleter();
  del.where(table["qxlogid"] == RWDBExpr(qxlogid));
  del.execute(TolkMap::aConnection());
}
}  // namespace qx

int LogMapper::enforce(EnforceResult* result) {
  ExceptionScope scope;
  EnforceResult r;
  Limits limits;
  if (owner_ != this || !created() || !table_) {
    InvalidX::raise("only a log's mapper enforces its attributes");
  } else if (read_limits(limits)) {
    r.max_size = limits.max_size;
    r.full_action = limits.full_action_text;
    unsigned long nominal = static_cast<unsigned long>(default_log_record_size);
    if (limits.max_size > 0 && limits.full_action == kWrap &&
        current_log_size() > limits.max_size) {
      PurgeOptions wrap;
      wrap.keep = static_cast<long>(limits.max_size / nominal);
      PurgeResult purged;
      if (purge(wrap, &purged) != 1) {
        ProcessFailX::raise("the log could not wrap: %s", last_failure().c_str());
      }
      r.purged = purged.purged;
    }
    r.size = current_log_size();
    r.records = oar_cache_.size();
    r.full = limits.max_size > 0 && r.size >= limits.max_size;
    r.availability = availability_text(limits.availability);
    if (!Exception::pending()) {
      // logFull while a halting log is full, through the log's own update.
      std::vector<long> status = limits.availability;
      status.erase(std::remove(status.begin(), status.end(), kLogFull), status.end());
      if (r.full && limits.full_action == kHalt) status.push_back(kLogFull);
      if (status != limits.availability) {
        Asn1Value pair, change;
        if (!qx::build_pair(avstatusOid, set_of_integers(status), pair) ||
            !change.start_construct(TAG_SET) || !change.add_component(pair) ||
            UpdateDB(change, OidArray(), Asn1ValueArray()) != 1) {
          ProcessFailX::raise("the availability status of log %s cannot be stored: %s", log_name_,
                              last_failure().c_str());
        }
        r.availability = availability_text(status);
      }
    }
    std::vector<long> reported;
    RWDBTable capacity;
    if (!Exception::pending() && !limits.thresholds.empty() && limits.max_size > 0 &&
        reported_thresholds(qxlogid_, reported, capacity)) {
      // Percent of the maximum, rounded down: a threshold is reached when the size is
      // at least that share of maxLogSize.
      unsigned long long percent =
          static_cast<unsigned long long>(r.size) * 100ull / limits.max_size;
      unsigned long n = qxlogid_;
      for (long t : limits.thresholds) {
        bool reached = t >= 0 && percent >= static_cast<unsigned long long>(t);
        bool was = std::find(reported.begin(), reported.end(), t) != reported.end();
        if (reached == was) continue;
        RWDBResult res;
        if (reached) {
          RWDBInserter ins = capacity.inserter();
          ins["qxlogid"] << RWDBExpr(n);
          ins["threshold"] << RWDBExpr(t);
          res = ins.execute(aConnection());
          r.thresholds_crossed.push_back(t);
          tolk_info.print("Log %s reached its capacity threshold of %ld%%\n", log_name_, t);
        } else {
          RWDBDeleter del = capacity.deleter();
          del.where(capacity["qxlogid"] == RWDBExpr(n) && capacity["threshold"] == RWDBExpr(t));
          res = del.execute(aConnection());
        }
        if (!res.isValid()) {
          ProcessFailX::raise("table %s cannot be changed: %s", kCapacityTable,
                              res.status().message().data());
          break;
        }
      }
    }
    if (!Exception::pending() && commit() != 1) {
      ProcessFailX::raise("the log's state could not be committed");
    }
    if (Exception::pending()) abort();
  }
  if (result != nullptr) *result = r;
  if (const Exception* x = scope.caught()) {
    tolk_error.print("Enforcing the attributes of log %s failed: %s\n", log_name_,
                     x->reason().c_str());
    return 0;
  }
  return 1;
}
