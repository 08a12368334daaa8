// AlarmLogT: the record table of one alarm record class of one log. An alarm table is
// an event record table (EventLogT: its columns, codecs, readers, insert and walks come
// from its EventClass) that also serves the caller's alarm service: operators
// acknowledge and clear alarms, one record at a time or all outstanding alarms of a
// managed object at once, and the caller looks up the outstanding alarms of a managed
// object. What tells the alarm classes apart is data again, an AlarmClass: its
// EventClass, the column its specific problems are compared in (none for the trap
// alarms), and what its alarm lookup reports.
//
// Statements. Each operation has its statement prepared once, bound to the fields of an
// image that the operation fills from its attribute list:
//   acknowledge   UPDATE SET ackstate, acktime, ackoperator, acktext BY logrecordid
//   clear one     UPDATE SET clearstate, cleartime, clearoperator, cleartext BY logrecordid
//   clear all     the same columns WHERE moi_id = ? AND eventname = ? AND probablecause_s
//                 LIKE ? AND clearstate = 'unCleared' [AND (specific problems IS NULL OR
//                 specific problems = ?)]
//   alarm lookup  SELECT logrecordid, perceivedseverity [, clearstate] WHERE moi_id, the
//                 clear state, event name, probable cause (LIKE) [and specific problems]
//   MO lookup     SELECT logrecordid, perceivedseverity, clearstate WHERE moi_id = ? AND
//                 clearstate = 'unCleared'
// The probable cause is compared with LIKE: an absent one is "%" (every cause), and a
// "%" or "_" inside a given one is a wildcard.
//
// Every operation with a list checks the whole list before anything is executed: an
// attribute the operation does not take, a malformed pair, or a value its column cannot
// hold fails the operation (0) with nothing executed and the alarm state cache as it
// was. The operation's exception scope keeps the reason; it never reaches the caller.
//
// Thread-safety: none; one call at a time per table object, all statements on the one
// shared connection.
#pragma once

#include <array>
#include <span>

#include "infra/tolk_map/tables/eventlog.h"
#include "platform/db/rwdb_updater.h"

// Attributes of the alarm columns (the acknowledge, clear and display attributes are in
// oids.h).
extern const Oid probableCauseOid;          // 2.9.3.2.7.18
extern const Oid perceivedSeverityOid;      // 2.9.3.2.7.17
extern const Oid specificProblemsOid;       // 2.9.3.2.7.27
extern const Oid backedUpStatusOid;         // 2.9.3.2.7.11
extern const Oid backUpObjectOid;           // 2.9.3.2.7.41
extern const Oid trendIndicationOid;        // 2.9.3.2.7.30
extern const Oid thresholdInfoOid;          // 2.9.3.2.7.29
extern const Oid monitoredAttributesOid;    // 2.9.3.2.7.15
extern const Oid proposedRepairActionsOid;  // 2.9.3.2.7.19

namespace qx {

// Everything that tells one alarm table class from another, beyond its event class.
struct AlarmClass {
  const EventClass& event;
  // The column the clear-all and the alarm lookup compare specific problems in, or
  // null for a class whose statements have no specific-problems criterion (and take
  // no specificProblems attribute).
  const char* specific_problems_column;
  // The alarm lookup selects clearstate after logrecordid and perceivedseverity.
  bool lookup_selects_clear_state;
  // The two lines written when a clear of one record fails.
  int clear_messages[2];
  // The alarm lookup reports its reader's validity and status on standard output, as
  // the correlation feature's callers have always seen it.
  bool report_lookup = false;
  // The class keeps the X.733 alarm attributes (x733_alarm_codecs), besides the codecs
  // of its event class.
  bool x733 = false;
};

// The first columns of every alarm table after the common ones: the record key, the
// managed object's number (from the OarInfo of the record's write; never read back as
// an attribute) and the probable cause's text.
inline constexpr std::array<ColumnDef, 3> kAlarmKeyColumns = {{
    {"logRecordId", RWDBValue::UnsignedLong, 0, false, ATTR_LOG_RECORD_ID},
    {"moi_id", RWDBValue::UnsignedLong, 0, true, ATTR_MOI_ID},
    {"probableCause_s", RWDBValue::String, 255, true, ATTR_PROBABLE_CAUSE},
}};

// The columns of the X.733 attributes after the probable cause, with the names a class
// gives its specific problems and repair actions columns.
constexpr std::array<ColumnDef, 9> x733_columns(const char* specific_problems,
                                                const char* repair_actions) {
  return {{
      {"perceivedSeverity", RWDBValue::String, 14, true, ATTR_PERCEIVED_SEVERITY},
      {specific_problems, RWDBValue::String, 255, true, ATTR_SPECIFIC_PROBLEMS},
      {"backedUpStatus", RWDBValue::String, 13, true, ATTR_BACKED_UP_STATUS},
      {"backUpObject", RWDBValue::String, 255, true, ATTR_BACK_UP_OBJECT},
      {"trendIndication", RWDBValue::String, 11, true, ATTR_TREND_INDICATION},
      {"thresholdInfo_s", RWDBValue::String, 255, true, ATTR_THRESHOLD_INFO},
      {"stateChangeDef_s", RWDBValue::String, 255, true, ATTR_STATE_CHANGE_DEF},
      {"monitoredAttribs", RWDBValue::String, 255, true, ATTR_MONITORED_ATTRIBUTES},
      {repair_actions, RWDBValue::String, 255, true, ATTR_PROPOSED_REPAIR_ACTIONS},
  }};
}

// The twelve columns every alarm table keeps of what operators did with an alarm, in
// table order: acknowledge, clear and display, each with its state, time, operator and
// text.
inline constexpr std::array<ColumnDef, 12> kAlarmStateColumns = {{
    {"ackState", RWDBValue::String, 8, true, ATTR_ACK_STATE},
    {"ackTime", RWDBValue::DateTime, 0, true, ATTR_ACK_TIME},
    {"ackOperator", RWDBValue::String, 16, true, ATTR_ACK_OPERATOR},
    {"ackText", RWDBValue::String, 255, true, ATTR_ACK_TEXT},
    {"clearState", RWDBValue::String, 10, true, ATTR_CLEAR_STATE},
    {"clearTime", RWDBValue::DateTime, 0, true, ATTR_CLEAR_TIME},
    {"clearOperator", RWDBValue::String, 16, true, ATTR_CLEAR_OPERATOR},
    {"clearText", RWDBValue::String, 255, true, ATTR_CLEAR_TEXT},
    {"displayState", RWDBValue::String, 12, true, ATTR_DISPLAY_STATE},
    {"displayTime", RWDBValue::DateTime, 0, true, ATTR_DISPLAY_TIME},
    {"displayOperator", RWDBValue::String, 16, true, ATTR_DISPLAY_OPERATOR},
    {"displayText", RWDBValue::String, 255, true, ATTR_DISPLAY_TEXT},
}};

// The attributes the acknowledgement and the clears change in their columns.
inline constexpr std::array<ATTRIBUTES, 8> kAckClearAttributes = {
    ATTR_ACK_STATE,   ATTR_ACK_TIME,   ATTR_ACK_OPERATOR,   ATTR_ACK_TEXT,
    ATTR_CLEAR_STATE, ATTR_CLEAR_TIME, ATTR_CLEAR_OPERATOR, ATTR_CLEAR_TEXT,
};

// A new alarm is not acknowledged, not cleared and not displayed until its record says
// otherwise: the clear-all and the lookups find it as outstanding.
inline constexpr std::array<InitialText, 3> kAlarmInitialTexts = {{
    {ATTR_ACK_STATE, "unAcked"},
    {ATTR_CLEAR_STATE, "unCleared"},
    {ATTR_DISPLAY_STATE, "unDisplayed"},
}};

// The codecs and readers of the X.733 alarm attributes (probable cause, perceived
// severity, specific problems, backed-up status and object, trend, threshold, state
// change, monitored attributes, repair actions) for the classes that keep them all.
std::span<const CodecSpec> x733_alarm_codecs();
std::span<const ReaderSpec> x733_alarm_readers();

// The codecs and readers of the twelve columns, which every alarm table registers after
// its class's own.
std::span<const CodecSpec> alarm_state_codecs();
std::span<const ReaderSpec> alarm_state_readers();

}  // namespace qx

// The acknowledge image: the variables of the acknowledge statement.
class QxAckImpl {
 public:
  // Record 0, no state (the statement without ackstate is used), no time, empty texts.
  void set_defvals();
  // The field of an attribute number: 63 logRecordId, 14 to 17; null for any other.
  void* myAckColumn(ATTRIBUTES attr);

  unsigned long logRecordId = 0;
  RWCString ackState;
  RWDBDateTime ackTime;
  RWCString ackOperator;
  RWCString ackText;
};

// The clear image: the variables of the clear-one and of the clear-all statement.
class QxClearImpl {
 public:
  explicit QxClearImpl(bool has_specific_problems)
      : has_specific_problems_(has_specific_problems) {}
  // Record and managed object 0, no event name, probable cause "%" (every cause), no
  // specific problems, "unCleared", no time, empty texts.
  void set_defvals();
  // 63, 72, 27, 3, 6 (when the class compares specific problems), 18 to 21.
  void* myClearColumn(ATTRIBUTES attr);

  unsigned long logRecordId = 0;
  unsigned long moi_id = 0;
  RWCString eventName;
  RWCString probableCause;
  RWCString specificProblems;
  RWCString clearState;
  RWDBDateTime clearTime;
  RWCString clearOperator;
  RWCString clearText;

 private:
  bool has_specific_problems_;
};

// The lookup image: the variables of the alarm lookup and of the managed-object lookup.
class QxOarImpl {
 public:
  explicit QxOarImpl(bool has_specific_problems) : has_specific_problems_(has_specific_problems) {}
  // Managed object 0, no specific problems, "unCleared", no event name, probable cause
  // "%", no severity, record 0.
  void set_defvals();
  // 72, 6 (when the class compares specific problems), 18, 27, 3, 5, 63.
  void* myOarColumn(ATTRIBUTES attr);

  unsigned long moi_id = 0;
  RWCString specificProblems;
  RWCString clearState;
  RWCString eventName;
  RWCString probableCause;
  RWCString perceivedSeverity;
  unsigned long logRecordId = 0;

 private:
  bool has_specific_problems_;
};

class AlarmLogT : public EventLogT {
 public:
  // Builds the alarm table object of `owner`'s log: the event table part (table,
  // indexes, synonym, insert), then the alarm statements.
  AlarmLogT(LogMapper* owner, const qx::AlarmClass& cls);
  ~AlarmLogT() override;

  using EventLogT::UpdateDB;
  using EventLogT::WriteToDB;

  // Acknowledges the record: ackState, ackTime, ackOperator and ackText from the list.
  // An absent ackState leaves the stored one; an absent time stores none, absent texts
  // the empty text. 1 also for an empty list (nothing executed, `response` empty);
  // otherwise `response` gets (new value, fixed old value) of each attribute. 0 when
  // the list is refused (see above) or the record has no row.
  int UpdateDBAck(const int& id, const Asn1Value& attributes, RespValue& response) override;
  // Clears the record: clearState (absent: "unCleared"), clearTime, clearOperator and
  // clearText, reported as by UpdateDBAck. On success the owner's cached clear state
  // becomes the state stored.
  int UpdateDBClear(const int& id, const Asn1Value& attributes, RespValue& response) override;
  // Clears every outstanding alarm of managed object `moiId` that matches the event
  // type, probable cause and specific problems of the list (an absent probable cause
  // matches every cause, absent specific problems only alarms without any), with the
  // clear attributes of the list. The cached clear states are not changed: a caller
  // that keeps them marks the records it selected with UpdateDBClear(id). 0 for a list
  // that names neither a clear attribute nor a criterion.
  int UpdateDBClearAlarms(const int moiId, const Oid& recordClass,
                          const Asn1Value& attributes) override;
  // The alarm lookup: `reader` is positioned before the rows (logrecordid,
  // perceivedseverity[, clearstate]) of the outstanding alarms of `moiId` with the
  // event type, probable cause and specific problems of the list. A list with none of
  // them runs nothing and leaves `reader` as it was (1).
  int getOarInfo(const int moiId, const Oid& recordClass, const Asn1Value& attributes,
                 RWDBReader& reader) override;
  // The managed-object lookup: rows (logrecordid, perceivedseverity, clearstate) of every
  // outstanding alarm of `moiId`.
  int getOarInfo(const int moiId, const Oid& recordClass, RWDBReader& reader) override;
  // With a non-zero flag, enters every stored alarm in the owner's cache with its
  // managed object, clear state and severity (a NULL or unknown word counts as not
  // cleared, indeterminate); then hands `cb` one LogRespValue of the log, without values.
  int get_all_almsvc_recs(Callback& cb, int flag) override;

  bool keeps_alarms() const override { return true; }
  const qx::AlarmClass& alarm_class() const { return alarm_; }

 protected:
  void bind_clear_variables();
  void bind_allclear_variables();
  void bind_ack_variables();
  void bind_oar_selvariables();
  void bind_mo_selvariables();
  void init_alarmsvc_variables();

 private:
  const qx::AlarmClass& alarm_;
  QxAckImpl ack_;
  QxClearImpl clear_;
  QxClearImpl clear_all_;
  QxOarImpl oar_;
  QxOarImpl mo_;
  RWDBUpdater ack_updater_;             // with ackstate
  RWDBUpdater ack_keep_state_updater_;  // without: the stored state stays
  RWDBUpdater clear_updater_;
  RWDBUpdater clear_all_updater_;
  RWDBSelector oar_selector_;
  RWDBSelector mo_selector_;
};
