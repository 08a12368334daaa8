// The action history of a log's alarms: what the alarm tables keep only as the last
// acknowledge, clear and display of each alarm, told in full. With QX_ALARM_HISTORY=1 in
// the environment (read once per process), every successful acknowledge, clear (of one
// alarm, or of all outstanding alarms of a managed object) and display change of an
// alarm of any class appends one row per alarm changed to the log's history table
// "qxi<n>_hist":
//
//   seq          when the library recorded the action: microseconds since the epoch,
//                strictly increasing within a process; the rows of one clear of all
//                alarms share it
//   logRecordId  the alarm
//   recordClass  its record class (dotted identifier; NULL for a record of the blob
//                table without objectClass)
//   action       "acknowledge", "clear", "clear-all" or "display"
//   stateBefore, stateAfter
//                the ackState, clearState or displayState word before and after
//   actionTime   the time the action's list gave (ackTime, clearTime, displayTime)
//   operatorName, actionText
//                the operator and comment the list gave
//
// A row is appended in the same unit as the change it tells of (one group of statements,
// or, for a clear of all alarms, an INSERT ... SELECT by the clear's own criteria run
// before its UPDATE in one group): a change that fails or is rolled back leaves no row.
//
// The table is made with the log when the switch is on, or when a log made without it
// is opened with it on; it has the synonym "<log name>_hist" and belongs to the log's
// access-control object. Its one index, on logRecordId, serves the history of one alarm,
// what operators ask for most: without it, that question would read the whole history
// of the log, which grows with every action (about a tenth of an acknowledge's processor
// time with the history, measured, is what the index costs). The whole history is
// sorted by seq when it is read; an index on seq made an acknowledge about 6% dearer
// (measured) for no gain but the sort of a rarely printed list. Opened with the
// switch off, a log keeps its history table as it is (nothing appended, nothing lost),
// and deleting the log drops it whatever the switch says. With the switch off a log made
// now has no history table: its stored schema is what it has always been.
//
// Thread-safety: none; one per log mapper.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "infra/tolk_map/codecs/row_image.h"
#include "platform/db/rwdb_inserter.h"
#include "platform/db/rwdb_selector.h"
#include "platform/db/rwdb_table.h"
#include "tolk.h"

namespace qx {

// Whether QX_ALARM_HISTORY is "1": read the first time it is asked.
bool alarm_history_on();
// Forgets what was read, so that the next call reads the environment again (tests).
void reset_alarm_history_switch();

// The history table of the internal record-table name `prefix` ("qxi7_hist"), and the
// synonym of a log's history table.
std::string history_table_name(const std::string& prefix);
std::string history_synonym_name(const std::string& log_name);

// The words of the action column.
extern const char* const kActionAcknowledge;
extern const char* const kActionClear;
extern const char* const kActionClearAll;
extern const char* const kActionDisplay;

// The history table of one log, and the statements that append to it.
class AlarmHistory {
 public:
  explicit AlarmHistory(const LogMapper& owner);

  // Attaches to the table, making it (with its indexes and synonym) when missing.
  // ConflictX raised on failure. Returns true when the table was made now.
  bool attach();

  const std::string& name() const { return name_; }
  const std::string& synonym() const { return synonym_; }

  // Takes the sequence number of the next action into the variable every statement of
  // this history reads. Call once per action, before its statements run.
  void next_action();

  // An INSERT ... SELECT that appends one row per row of `table` matching `where`: the
  // state before is the row's `state_column`, the state after `after_column` (a state
  // the action leaves) or else `after` (a bound variable), and the time, operator and
  // text are bound variables. `record_class` is the class of every row.
  RWDBInserter from_rows(const RWDBTable& table, const Oid& record_class, const char* action,
                         const char* state_column, const char* after_column, const RWDBExpr& after,
                         const RWDBExpr& time, const RWDBExpr& operator_name, const RWDBExpr& text,
                         const RWDBCriterion& where);

  // One row given whole (the blob table's records, whose states are inside their
  // attribute lists): fill row(), then run row_inserter() in the change's group.
  struct Row {
    unsigned long id = 0;
    std::string record_class;  // empty: NULL
    const char* action = "";
    std::string before, after;  // empty: NULL
    RWDBDateTime time;          // invalid: NULL
    std::string operator_name, text;
  };
  // Binds `row` into the one-row insert; returns the statement, ready to run.
  RWDBInserter& row_inserter(const Row& row);

 private:
  const LogMapper& owner_;
  std::string name_;
  std::string synonym_;
  RWDBTable table_;
  long seq_ = 0;
  RowImage image_;
  RWDBInserter inserter_;
};

// One row of a history as read back.
struct AlarmHistoryEntry {
  long seq = 0;
  unsigned long id = 0;
  std::string record_class;  // dotted; empty when none was kept
  std::string action;
  std::string before, after;  // empty: none
  RWDBDateTime time;          // invalid: none
  std::string operator_name, text;
};

// Reads the history of log `log` (of record `id` alone when `id` is given), in the
// order the actions were recorded (rows of one action by record). 1 on success; 0 with
// the reason raised when the log keeps no history table or it cannot be read.
int read_alarm_history(const LogMapper& log, const unsigned long* id,
                       std::vector<AlarmHistoryEntry>& out);

}  // namespace qx
