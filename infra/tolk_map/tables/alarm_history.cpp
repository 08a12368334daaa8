#include "infra/tolk_map/tables/alarm_history.h"

#include <chrono>
#include <cstring>

#include "infra/tolk_map/codecs/codecs.h"
#include "infra/tolk_map/tables/eventlog.h"
#include "infra/tolk_map/tables/record_table.h"
#include "infra/tolk_map/util.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_reader.h"
#include "platform/value/exception.h"
#include "platform/value/installation.h"

namespace qx {

namespace {

int g_switch = -1;  // -1: not read yet

// The most octets an attribute list of a record holds: every text of an action fits.
constexpr long kTextLength = 33000;

const ColumnDef kHistoryColumns[] = {
    {"seq", RWDBValue::Long, 0, false, ATTR_HISTORY_SEQ},
    {"logRecordId", RWDBValue::UnsignedLong, 0, false, ATTR_LOG_RECORD_ID},
    {"recordClass", RWDBValue::String, 255, true, ATTR_HISTORY_CLASS},
    {"action", RWDBValue::String, 16, false, ATTR_HISTORY_ACTION},
    {"stateBefore", RWDBValue::String, 16, true, ATTR_HISTORY_BEFORE},
    {"stateAfter", RWDBValue::String, 16, true, ATTR_HISTORY_AFTER},
    {"actionTime", RWDBValue::DateTime, 0, true, ATTR_HISTORY_TIME},
    {"operatorName", RWDBValue::String, kTextLength, true, ATTR_HISTORY_OPERATOR},
    {"actionText", RWDBValue::String, kTextLength, true, ATTR_HISTORY_TEXT},
};

const IndexDef kHistoryIndexes[] = {{"hsrid", "logRecordId"}};

// Made when a log is opened with the history on and has none yet.
const TableLayout kHistoryLayout = {
    "_hist", kHistoryColumns, kHistoryIndexes, "hist", "ERROR: schema fetch failed.", true};

// The last sequence number given out by this process.
long g_last_seq = 0;

}  // namespace

const char* const kActionAcknowledge = "acknowledge";
const char* const kActionClear = "clear";
const char* const kActionClearAll = "clear-all";
const char* const kActionDisplay = "display";

bool alarm_history_on() {
  if (g_switch < 0) {
    const char* v = Installation::getenv("QX_ALARM_HISTORY");
    g_switch = v != nullptr && std::strcmp(v, "1") == 0 ? 1 : 0;
  }
  return g_switch == 1;
}

void reset_alarm_history_switch() { g_switch = -1; }

std::string history_table_name(const std::string& prefix) { return prefix + "_hist"; }
std::string history_synonym_name(const std::string& log_name) { return log_name + "_hist"; }

AlarmHistory::AlarmHistory(const LogMapper& owner)
    : owner_(owner), name_(history_table_name(owner.get_table_name())), image_(kHistoryColumns) {}

bool AlarmHistory::attach() {
  bool made = attach_record_table(owner_, name_, kHistoryLayout, table_, synonym_);
  if (Exception::pending()) return false;
  if (!made) synonym_ = history_synonym_name(owner_.get_logid());
  inserter_ = table_.inserter();
  image_.bind(inserter_);
  return made;
}

void AlarmHistory::next_action() {
  long now = static_cast<long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count());
  g_last_seq = now > g_last_seq ? now : g_last_seq + 1;
  seq_ = g_last_seq;
}

RWDBInserter AlarmHistory::from_rows(const RWDBTable& table, const Oid& record_class,
                                     const char* action, const char* state_column,
                                     const char* after_column, const RWDBExpr& after,
                                     const RWDBExpr& time, const RWDBExpr& operator_name,
                                     const RWDBExpr& text, const RWDBCriterion& where) {
  RWDBSelector source = TolkMap::aDB_().selector();
  source.value(RWDBBoundExpr(&seq_));
  source << table[logrecid_col];
  source.value(RWDBExpr(record_class.format()));
  source.value(RWDBExpr(action));
  source << table[state_column];
  if (after_column != nullptr) {
    source << table[after_column];
  } else {
    source.value(after);
  }
  source.value(time);
  source.value(operator_name);
  source.value(text);
  source.where(where);
  return table_.inserter(source, {"seq", "logRecordId", "recordClass", "action", "stateBefore",
                                  "stateAfter", "actionTime", "operatorName", "actionText"});
}

RWDBInserter& AlarmHistory::row_inserter(const Row& row) {
  image_.initialize();
  std::vector<ATTRIBUTES> present = {ATTR_HISTORY_SEQ, ATTR_LOG_RECORD_ID, ATTR_HISTORY_ACTION};
  *static_cast<long*>(image_.myColumn(ATTR_HISTORY_SEQ)) = seq_;
  *image_.unsigned_field(ATTR_LOG_RECORD_ID) = row.id;
  *image_.text(ATTR_HISTORY_ACTION) = RWCString(row.action);
  auto text = [&](ATTRIBUTES attr, const std::string& value) {
    if (value.empty()) return;
    *image_.text(attr) = RWCString(value);
    present.push_back(attr);
  };
  text(ATTR_HISTORY_CLASS, row.record_class);
  text(ATTR_HISTORY_BEFORE, row.before);
  text(ATTR_HISTORY_AFTER, row.after);
  text(ATTR_HISTORY_OPERATOR, row.operator_name);
  text(ATTR_HISTORY_TEXT, row.text);
  if (row.time.isValid()) {
    *image_.datetime(ATTR_HISTORY_TIME) = row.time;
    present.push_back(ATTR_HISTORY_TIME);
  }
  image_.set_nulls(present);
  return inserter_;
}

int read_alarm_history(const LogMapper& log, const unsigned long* id,
                       std::vector<AlarmHistoryEntry>& out) {
  out.clear();
  RWDBConnection& conn = TolkMap::aConnection();
  std::string name = history_table_name(log.get_table_name());
  RWDBTable t = TolkMap::aDB_().table(name);
  if (!log.created() || !t.exists(conn)) {
    InvalidX::raise("log %s keeps no action history (QX_ALARM_HISTORY=1 keeps one)",
                    log.get_logid());
    return 0;
  }
  RWDBSelector sel = TolkMap::aDB_().selector();
  sel << t["seq"] << t[logrecid_col] << t["recordclass"] << t["action"] << t["statebefore"]
      << t["stateafter"] << t["actiontime"] << t["operatorname"] << t["actiontext"];
  unsigned long key = id != nullptr ? *id : 0;
  if (id != nullptr) sel.where(t[logrecid_col] == RWDBExpr(key));
  sel.orderBy(t["seq"]).orderBy(t[logrecid_col]);
  RWDBReader r = sel.reader(conn);
  while (r()) {
    AlarmHistoryEntry e;
    RWCString text;
    bool is_null = false;
    read_long(r, "seq", e.seq);
    read_unsigned(r, logrecid_col, e.id);
    auto take = [&](const char* column, std::string& into) {
      text = RWCString();
      if (read_text(r, column, text)) into = text.str();
    };
    take("recordclass", e.record_class);
    take("action", e.action);
    take("statebefore", e.before);
    take("stateafter", e.after);
    read_datetime(r, "actiontime", e.time, is_null);
    if (is_null) e.time = RWDBDateTime();
    take("operatorname", e.operator_name);
    take("actiontext", e.text);
    out.push_back(std::move(e));
  }
  if (!r.status().isValid()) {
    ProcessFailX::raise("the history of log %s cannot be read: %s", log.get_logid(),
                        r.status().message().data());
    return 0;
  }
  return 1;
}

}  // namespace qx
