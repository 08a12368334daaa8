// Alarm records on both stores: written and read back, acknowledged, cleared one at a
// time and all of a managed object at once, looked up, and rebuilt at start-up into the
// alarm state cache; lists the operations do not take change nothing.
#include <map>

#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/alarmlog.h"
#include "infra/tolk_map/tables/intrnet.h"
#include "infra/tolk_map/tables/qxalarm.h"
#include "infra/tolk_map/tables/zkalarm.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_selector.h"
#include "platform/db/rwdb_table.h"
#include "platform/db/rwdb_updater.h"
#include "platform/value/exception.h"
#include "platform/value/generalized_time.h"
#include "tests/tolk_map/store_fixture.h"

namespace qx::test {
namespace {

Asn1Value Cause(const char* name) {  // probableCause globalValue
  return Oidv(name, TAG_CTX6);
}
const char* const kPowerProblem = "2.9.3.2.0.0.58";
const char* const kCommunicationsAlarm = "2.9.3.2.10.2";
const char* const kEquipmentAlarm = "2.9.3.2.10.3";

// A time of the operators' form: [0] GeneralizedTime.
Asn1Value OperatorTime(const std::string& text) { return Set({GenTime(text)}, TAG_CTX0); }
Asn1Value NoTime() {
  Asn1Value null;
  null.encode_null();
  return Set({null}, TAG_CTX1);
}

// A realistic alarm: event type, probable cause, severity, specific problems (unless
// none is wanted), the other X.733 attributes and common ones.
Attrs Alarm(const char* event_type, const char* cause, long severity, const char* problem,
            int n = 1) {
  Attrs a = {
      {loggingTimeOid, GenTime("20240301101500.250Z")},
      {eventTypeOid, Oidv(event_type, TAG_CTX6)},
      {moiOid, Dn("ne-" + std::to_string(n))},
      {eventTimeOid, GenTime("20240301101459Z")},
      {notificationIdOid, Int(100 + n)},
      {additionalTextOid, Graph("fan " + std::to_string(n) + " stopped")},
      {probableCauseOid, Cause(cause)},
      {perceivedSeverityOid, Enum(severity)},
      {trendIndicationOid, Enum(2)},
      {proposedRepairActionsOid, Set({Oidv("2.9.3.2.0.1.2")})},
      {monitoredAttributesOid, Set({Set({Oidv("2.9.3.2.7.35"), Enum(1)}, TAG_SEQ)})},
  };
  if (problem != nullptr) a.push_back({specificProblemsOid, Set({Oidv(problem)})});
  return a;
}

class AlarmRecordsTest : public StoreTest {
 protected:
  // Writes an alarm about managed object `moi` and returns its cache entry (owned by the
  // cache after a write that succeeded), or null.
  OarInfo* Write(LogMapper* m, int id, const Attrs& attrs, unsigned long moi = 17,
                 const Oid& cls = qxalarmOid) {
    auto* entry = new OarInfo;
    entry->set_moiid(moi);
    if (m->WriteToDB(id, cls, cls, AttrList(attrs), entry) != 1) {
      delete entry;
      return nullptr;
    }
    return entry;
  }
  static std::map<Oid, Asn1Value> Read(LogMapper* m, int id, int* rc = nullptr) {
    Attrs r = ReadRecord(m, id, rc);
    return {r.begin(), r.end()};
  }
  // The text (or "NULL") of one column of an alarm row, straight from the table.
  std::string Column(LogMapper* m, int id, const char* column, const char* stem = "qxAlm") {
    return RowColumn(m->get_table_name() + stem, static_cast<unsigned long>(id), column);
  }
  static Attrs Ack(long state, const char* op) {
    return {{ackStateOid, Enum(state)}, {ackOperatorOid, Graph(op)}};
  }
  static Attrs Cleared(const char* op = "ops") {
    return {{clearStateOid, Enum(1)},
            {clearTimeOid, OperatorTime("20240302080000Z")},
            {clearOperatorOid, Graph(op)}};
  }
};

TEST_P(AlarmRecordsTest, AlarmRoundTripsWithItsOutstandingStates) {
  LogMapper* m = NewLog();
  Attrs written = Alarm(kCommunicationsAlarm, kPowerProblem, 1, "1.2.3.4");
  written.push_back({backedUpStatusOid, Enum(1)});
  written.push_back({ackOperatorOid, Graph("night shift")});  // kept although rarely written
  ASSERT_NE(Write(m, 10, written), nullptr);
  LogMapper::commit();

  int rc = 0;
  auto got = Read(m, 10, &rc);
  ASSERT_EQ(rc, 1);
  for (const auto& [id, value] : written) {
    SCOPED_TRACE(id.format());
    ASSERT_TRUE(got.count(id));
    if (id == loggingTimeOid || id == eventTimeOid) {
      EXPECT_EQ(GeneralizedTime(got[id]).to_time_stamp().millis(),
                GeneralizedTime(value).to_time_stamp().millis());
    } else {
      EXPECT_EQ(got[id], value);
    }
  }
  // Not acknowledged, not cleared, not displayed, and no times yet.
  EXPECT_EQ(got[ackStateOid], Enum(0));
  EXPECT_EQ(got[clearStateOid], Enum(0));
  EXPECT_EQ(got[displayStateOid], Enum(0));
  EXPECT_EQ(got[ackTimeOid], NoTime());
  EXPECT_EQ(got[clearTimeOid], NoTime());
  EXPECT_FALSE(got.count(clearOperatorOid));
  // The row as people see it: the words, the empty probableCauseOid, NULL details.
  EXPECT_EQ(Column(m, 10, "ackState"), "unAcked");
  EXPECT_EQ(Column(m, 10, "clearState"), "unCleared");
  EXPECT_EQ(Column(m, 10, "displayState"), "unDisplayed");
  EXPECT_EQ(Column(m, 10, "probableCauseOid"), "");
  EXPECT_EQ(Column(m, 10, "clearOperator"), "NULL");
  EXPECT_EQ(Column(m, 10, "moi_id"), "17");
  EXPECT_EQ(Column(m, 10, "perceivedSeverity"), "critical");
}

TEST_P(AlarmRecordsTest, CacheOwnsTheCallersEntryAndStartUpRebuildsIt) {
  LogMapper* m = NewLog();
  OarInfo* entry = Write(m, 1, Alarm(kCommunicationsAlarm, kPowerProblem, 2, nullptr), 41);
  ASSERT_NE(entry, nullptr);
  unsigned char cleared = 0, major = 2;
  entry->set_clear_severity(cleared, major);  // the caller keeps using its entry
  ASSERT_NE(Write(m, 2, Alarm(kCommunicationsAlarm, kPowerProblem, 3, nullptr), 42), nullptr);
  ASSERT_NE(Write(m, 3, Alarm(kEquipmentAlarm, kPowerProblem, 4, nullptr), 43), nullptr);
  RespValue response;
  ASSERT_EQ(m->UpdateDBClear(1, AttrList(Cleared()), response), 1);
  // The cache entry is the caller's very object.
  unsigned char state = 0, severity = 0;
  entry->get_clear_severity(state, severity);
  EXPECT_EQ(state, 1);
  EXPECT_EQ(severity, 2);
  // A row whose words a hand edit broke.
  ASSERT_TRUE(SetColumn(m->get_table_name() + "qxAlm", 3, "perceivedSeverity", RWDBExpr("bogus")));
  ASSERT_TRUE(SetColumn(m->get_table_name() + "qxAlm", 3, "clearState", RWDBExpr(rwdbNull)));
  LogMapper::commit();

  Restart();
  struct Calls {
    std::vector<std::string> alarm;
  } calls;
  Callback alarm_cb(
      [](void* c, void* data) {
        auto* lrv = static_cast<LogRespValue*>(data);
        static_cast<Calls*>(c)->alarm.push_back(lrv == nullptr ? "null"
                                                               : lrv->get_log_id().to_string());
      },
      &calls);
  ASSERT_EQ(LogMapper::init_log_handles(TakeLogs(), alarm_cb), 1);
  LogMapper* again = Keep(LogMapper::find_log_handle(Int(7)));
  ASSERT_NE(again, nullptr);
  // Each of the three alarm tables calls once with the log, then the end of the log.
  ASSERT_EQ(calls.alarm.size(), 4u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(calls.alarm[i], Int(7).to_string());
  EXPECT_EQ(calls.alarm[3], "null");
  struct Expected {
    int id;
    unsigned long moi;
    unsigned char state, severity;
  };
  // Record 3's NULL and unknown words are not cleared, indeterminate: not the words of
  // record 2 read before it.
  for (Expected e : {Expected{1, 41, 1, 2}, Expected{2, 42, 0, 3}, Expected{3, 43, 0, 0}}) {
    SCOPED_TRACE(e.id);
    unsigned long moi = 0;
    state = 9;
    severity = 9;
    ASSERT_EQ(again->ReadOarInfo(e.id, moi, state, severity), 1);
    EXPECT_EQ(moi, e.moi);
    EXPECT_EQ(state, e.state);
    EXPECT_EQ(severity, e.severity);
    unsigned short type = 99;
    EXPECT_EQ(again->get_table_type(e.id, type), 1);
    EXPECT_EQ(type, QXALARM_TABLE);
  }
  EXPECT_EQ(again->get_initial_log_record_count(), 3u);
  EXPECT_EQ(again->get_initial_log_size(), 1500u);
}

TEST_P(AlarmRecordsTest, AcknowledgeWritesWhatTheListSaysAndKeepsAnAbsentState) {
  LogMapper* m = NewLog();
  ASSERT_NE(Write(m, 5, Alarm(kCommunicationsAlarm, kPowerProblem, 1, nullptr)), nullptr);

  // An empty list runs nothing.
  RespValue response;
  ASSERT_EQ(m->UpdateDBAck(5, AttrList({}), response), 1);
  EXPECT_EQ(response.size(), 0u);
  EXPECT_EQ(Column(m, 5, "ackOperator"), "NULL");

  ASSERT_EQ(m->UpdateDBAck(5, AttrList(Ack(1, "alice")), response), 1);
  EXPECT_EQ(Column(m, 5, "ackState"), "acked");
  EXPECT_EQ(Column(m, 5, "ackOperator"), "alice");
  EXPECT_EQ(Column(m, 5, "ackText"), "");  // the image's empty text
  EXPECT_EQ(Column(m, 5, "ackTime"), "NULL");
  // Each attribute set is reported with its new value and a fixed old value.
  ASSERT_EQ(response.size(), 2u);
  Asn1Value v;
  ASSERT_TRUE(response.find_value(ackStateOid, v));
  EXPECT_EQ(v, Enum(1));
  auto it = response.begin();
  EXPECT_EQ((*it)->old_value(), Enum(0));
  ++it;
  Asn1Value null;
  null.encode_null();
  EXPECT_EQ((*it)->old_value(), Set({null}, TAG_GRAPHSTR));

  // A later acknowledge without ackState leaves the state (it used to store the word
  // "unCleared" there).
  RespValue again;
  Attrs note = {{ackTextOid, Graph("ticket 4711")},
                {ackTimeOid, OperatorTime("20240302090000.500Z")}};
  ASSERT_EQ(m->UpdateDBAck(5, AttrList(note), again), 1);
  EXPECT_EQ(Column(m, 5, "ackState"), "acked");
  EXPECT_EQ(Column(m, 5, "ackOperator"), "");
  auto got = Read(m, 5);
  EXPECT_EQ(got[ackTextOid], Graph("ticket 4711"));
  ASSERT_EQ(got[ackTimeOid].tag(), TAG_CTX0);
  EXPECT_EQ(GeneralizedTime(got[ackTimeOid].first_component()).to_time_stamp().millis(),
            GeneralizedTime(GenTime("20240302090000.500Z")).to_time_stamp().millis());
  // Un-acknowledging is an acknowledge with the state unAcked.
  ASSERT_EQ(m->UpdateDBAck(5, AttrList(Ack(0, "bob")), again), 1);
  EXPECT_EQ(Read(m, 5)[ackStateOid], Enum(0));
}

TEST_P(AlarmRecordsTest, ClearOfOneRecordSetsTheRowAndTheCache) {
  LogMapper* m = NewLog();
  ASSERT_NE(Write(m, 5, Alarm(kCommunicationsAlarm, kPowerProblem, 1, nullptr)), nullptr);
  RespValue response;
  ASSERT_EQ(m->UpdateDBClear(5, AttrList(Cleared("carol")), response), 1);
  EXPECT_EQ(Column(m, 5, "clearState"), "cleared");
  EXPECT_EQ(Column(m, 5, "clearOperator"), "carol");
  EXPECT_EQ(Column(m, 5, "clearText"), "");
  EXPECT_EQ(CachedClearState(m, 5), 1);
  ASSERT_EQ(response.size(), 3u);
  auto it = response.begin();
  EXPECT_EQ((*it)->value(), Enum(1));
  EXPECT_EQ((*it)->old_value(), Enum(0));
  ++it;
  EXPECT_EQ((*it)->old_value(), NoTime());
  auto got = Read(m, 5);
  EXPECT_EQ(got[clearStateOid], Enum(1));
  EXPECT_EQ(got[clearOperatorOid], Graph("carol"));

  // A clear that stores unCleared (given, or the default of a list without a state)
  // leaves the cache saying what the row says.
  ASSERT_EQ(m->UpdateDBClear(5, AttrList({{clearTextOid, Graph("reopened")}}), response), 1);
  EXPECT_EQ(Column(m, 5, "clearState"), "unCleared");
  EXPECT_EQ(CachedClearState(m, 5), 0);
  // The cache-only form marks the record cleared without touching the row.
  ASSERT_EQ(m->UpdateDBClear(5), 1);
  EXPECT_EQ(CachedClearState(m, 5), 1);
  EXPECT_EQ(Column(m, 5, "clearState"), "unCleared");
}

TEST_P(AlarmRecordsTest, ClearAllClearsTheMatchingOutstandingAlarmsOfOneManagedObject) {
  LogMapper* m = NewLog();
  // Managed object 17: three alarms of the type without specific problems (two causes),
  // one with specific problems, one of another type, one cleared already; managed
  // object 18: the same type.
  ASSERT_NE(Write(m, 1, Alarm(kCommunicationsAlarm, kPowerProblem, 1, nullptr)), nullptr);
  ASSERT_NE(Write(m, 2, Alarm(kCommunicationsAlarm, "2.9.3.2.0.0.15", 2, nullptr)), nullptr);
  ASSERT_NE(Write(m, 3, Alarm(kCommunicationsAlarm, kPowerProblem, 1, "1.2.3")), nullptr);
  ASSERT_NE(Write(m, 4, Alarm(kEquipmentAlarm, kPowerProblem, 1, nullptr)), nullptr);
  ASSERT_NE(Write(m, 5, Alarm(kCommunicationsAlarm, kPowerProblem, 1, nullptr)), nullptr);
  ASSERT_NE(Write(m, 6, Alarm(kCommunicationsAlarm, kPowerProblem, 1, nullptr), 18), nullptr);
  RespValue response;
  ASSERT_EQ(m->UpdateDBClear(5, AttrList(Cleared("early")), response), 1);

  // By event type alone: every cause, but only alarms without specific problems.
  Attrs by_type = Cleared("late");
  by_type.push_back({eventTypeOid, Oidv(kCommunicationsAlarm, TAG_CTX6)});
  ASSERT_EQ(m->UpdateDBClearAlarms(17, qxalarmOid, AttrList(by_type)), 1);
  EXPECT_EQ(Column(m, 1, "clearState"), "cleared");
  EXPECT_EQ(Column(m, 2, "clearState"), "cleared");
  EXPECT_EQ(Column(m, 3, "clearState"), "unCleared");
  EXPECT_EQ(Column(m, 4, "clearState"), "unCleared");
  EXPECT_EQ(Column(m, 5, "clearOperator"), "early");  // cleared rows are never changed
  EXPECT_EQ(Column(m, 6, "clearState"), "unCleared");
  EXPECT_EQ(Column(m, 1, "clearOperator"), "late");
  // The cache is the caller's to mark (it selected the records).
  EXPECT_EQ(CachedClearState(m, 1), 0);

  // With the specific problem and the cause given, the remaining alarm is cleared.
  Attrs exact = Cleared();
  exact.push_back({eventTypeOid, Oidv(kCommunicationsAlarm, TAG_CTX6)});
  exact.push_back({probableCauseOid, Cause(kPowerProblem)});
  exact.push_back({specificProblemsOid, Set({Oidv("1.2.3")})});
  ASSERT_EQ(m->UpdateDBClearAlarms(17, qxalarmOid, AttrList(exact)), 1);
  EXPECT_EQ(Column(m, 3, "clearState"), "cleared");
  EXPECT_EQ(Column(m, 6, "clearState"), "unCleared");
}

TEST_P(AlarmRecordsTest, LookupsFindOutstandingAlarmsOfAManagedObject) {
  LogMapper* m = NewLog();
  ASSERT_NE(Write(m, 1, Alarm(kCommunicationsAlarm, kPowerProblem, 1, nullptr)), nullptr);
  ASSERT_NE(Write(m, 2, Alarm(kCommunicationsAlarm, kPowerProblem, 3, "1.2.3")), nullptr);
  ASSERT_NE(Write(m, 3, Alarm(kEquipmentAlarm, kPowerProblem, 4, nullptr)), nullptr);
  ASSERT_NE(Write(m, 4, Alarm(kCommunicationsAlarm, kPowerProblem, 2, nullptr)), nullptr);
  ASSERT_NE(Write(m, 5, Alarm(kCommunicationsAlarm, kPowerProblem, 2, nullptr), 99), nullptr);
  RespValue response;
  ASSERT_EQ(m->UpdateDBClear(4, AttrList(Cleared()), response), 1);

  // The alarm lookup: same type and cause, without specific problems, outstanding.
  RWDBReader r;
  Attrs criteria = {{eventTypeOid, Oidv(kCommunicationsAlarm, TAG_CTX6)},
                    {probableCauseOid, Cause(kPowerProblem)}};
  ASSERT_EQ(m->getOarInfo(17, qxalarmOid, AttrList(criteria), r), 1);
  size_t columns = 0;
  EXPECT_EQ(LookupRows(r, &columns), (std::map<unsigned long, std::string>{{1, "critical"}}));
  EXPECT_EQ(columns, 2u);
  criteria.push_back({specificProblemsOid, Set({Oidv("1.2.3")})});
  ASSERT_EQ(m->getOarInfo(17, qxalarmOid, AttrList(criteria), r), 1);
  EXPECT_EQ(LookupRows(r), (std::map<unsigned long, std::string>{{1, "critical"}, {2, "minor"}}));

  // A list without criteria runs nothing and leaves the reader as it was.
  RWDBReader untouched;
  ASSERT_EQ(m->getOarInfo(17, qxalarmOid, AttrList({}), untouched), 1);
  EXPECT_FALSE(untouched.isValid());

  // Every outstanding alarm of the managed object, with its clear state.
  RWDBReader all;
  ASSERT_EQ(m->getOarInfo(17, qxalarmOid, all), 1);
  EXPECT_EQ(LookupRows(all, &columns),
            (std::map<unsigned long, std::string>{{1, "critical"}, {2, "minor"}, {3, "warning"}}));
  EXPECT_EQ(columns, 3u);
}

// Whatever the operation, a list it does not take in full runs nothing: the row, the
// cache and the caller's response stay as they were.
TEST_P(AlarmRecordsTest, RefusedListsChangeNothing) {
  LogMapper* m = NewLog();
  ASSERT_NE(Write(m, 5, Alarm(kCommunicationsAlarm, kPowerProblem, 1, nullptr)), nullptr);
  ASSERT_NE(Write(m, 6, Alarm(kCommunicationsAlarm, kPowerProblem, 1, nullptr)), nullptr);
  LogMapper::commit();
  const std::vector<std::pair<const char*, Attrs>> bad_acks = {
      {"an attribute of the clear", {{ackStateOid, Enum(1)}, {clearStateOid, Enum(1)}}},
      {"a state out of range", {{ackStateOid, Enum(7)}}},
      {"a time that is no time", {{ackStateOid, Enum(1)}, {ackTimeOid, Int(3)}}},
      {"an operator that is no text", {{ackStateOid, Enum(1)}, {ackOperatorOid, Int(3)}}},
      {"an operator longer than its column",
       {{ackStateOid, Enum(1)}, {ackOperatorOid, Graph(std::string(17, 'o'))}}},
  };
  for (const auto& [why, list] : bad_acks) {
    SCOPED_TRACE(why);
    RespValue response;
    EXPECT_EQ(m->UpdateDBAck(5, AttrList(list), response), 0);
    EXPECT_EQ(response.size(), 0u);
    EXPECT_EQ(Column(m, 5, "ackState"), "unAcked");
  }
  {
    RespValue response;
    Attrs list = Cleared();
    list.push_back({ackTextOid, Graph("not a clear attribute")});
    EXPECT_EQ(m->UpdateDBClear(5, AttrList(list), response), 0);
    EXPECT_EQ(Column(m, 5, "clearState"), "unCleared");
    EXPECT_EQ(CachedClearState(m, 5), 0);
    // A criterion of the clear-all is not an attribute of a clear of one record.
    list = Cleared();
    list.push_back({eventTypeOid, Oidv(kCommunicationsAlarm, TAG_CTX6)});
    EXPECT_EQ(m->UpdateDBClear(5, AttrList(list), response), 0);
    EXPECT_EQ(CachedClearState(m, 5), 0);
  }
  {
    Attrs list = Cleared();
    list.push_back({eventTypeOid, Oidv(kCommunicationsAlarm, TAG_CTX6)});
    list.push_back({perceivedSeverityOid, Enum(1)});
    EXPECT_EQ(m->UpdateDBClearAlarms(17, qxalarmOid, AttrList(list)), 0);
    EXPECT_EQ(m->UpdateDBClearAlarms(17, qxalarmOid, AttrList({})), 0);  // nothing to go by
    EXPECT_EQ(Column(m, 5, "clearState"), "unCleared");
    EXPECT_EQ(Column(m, 6, "clearState"), "unCleared");
    RWDBReader r;
    EXPECT_EQ(m->getOarInfo(17, qxalarmOid, AttrList({{ackStateOid, Enum(1)}}), r), 0);
  }
  // A malformed list: a component that is no pair.
  Asn1Value malformed = Set({Int(1)});
  RespValue response;
  EXPECT_EQ(m->UpdateDBAck(5, malformed, response), 0);
  EXPECT_EQ(m->UpdateDBClearAlarms(17, qxalarmOid, malformed), 0);
  EXPECT_FALSE(Exception::pending());  // the reasons stay inside the operations
}

TEST_P(AlarmRecordsTest, OperationsOnRecordsThatAreNoAlarmsFail) {
  LogMapper* m = NewLog();
  ASSERT_NE(Write(m, 5, Alarm(kCommunicationsAlarm, kPowerProblem, 1, nullptr)), nullptr);
  ASSERT_NE(Write(m, 6, {{sourceIndicatorOid, Enum(1)}}, 0, objcrtOid), nullptr);
  RespValue response;
  EXPECT_EQ(m->UpdateDBAck(6, AttrList(Ack(1, "x")), response), 0);
  EXPECT_EQ(m->UpdateDBClear(6, AttrList(Cleared()), response), 0);
  EXPECT_EQ(m->UpdateDBAck(77, AttrList(Ack(1, "x")), response), 0);  // never written
  EXPECT_EQ(m->UpdateDBClear(77, AttrList(Cleared()), response), 0);
  EXPECT_EQ(m->UpdateDBClearAlarms(17, objcrtOid, AttrList(Cleared())), 0);
  RWDBReader r;
  EXPECT_EQ(m->getOarInfo(17, objcrtOid, r), 0);
  // A record the cache knows whose row went away: nothing acknowledged is reported.
  ASSERT_TRUE(DeleteRow(m->get_table_name() + "qxAlm", 5));
  EXPECT_EQ(m->UpdateDBAck(5, AttrList(Ack(1, "x")), response), 0);
  EXPECT_EQ(m->UpdateDBClear(5, AttrList(Cleared()), response), 0);
  EXPECT_EQ(CachedClearState(m, 5), 0);
}

TEST_P(AlarmRecordsTest, UpdatesAndDeletesWorkOnAlarmsAsOnEveryRecord) {
  LogMapper* m = NewLog();
  ASSERT_NE(Write(m, 5, Alarm(kCommunicationsAlarm, kPowerProblem, 1, "1.2.3")), nullptr);
  RespValue response;
  Attrs change = {{perceivedSeverityOid, Enum(4)},
                  {specificProblemsOid, Set({Oidv("1.2.4")})},
                  {displayStateOid, Enum(1)},
                  {displayOperatorOid, Graph("dora")}};
  ASSERT_EQ(m->UpdateDB(5, AttrList(change), response), 1);
  auto got = Read(m, 5);
  EXPECT_EQ(got[perceivedSeverityOid], Enum(4));
  EXPECT_EQ(got[specificProblemsOid], Set({Oidv("1.2.4")}));
  EXPECT_EQ(got[displayStateOid], Enum(1));
  EXPECT_EQ(got[displayOperatorOid], Graph("dora"));
  EXPECT_EQ(got[proposedRepairActionsOid], Set({Oidv("2.9.3.2.0.1.2")}));  // kept in the blob
  ASSERT_EQ(m->deleteDB(5), 1);
  int rc = 1;
  Read(m, 5, &rc);
  EXPECT_EQ(rc, 0);
}

TEST_P(AlarmRecordsTest, ManagedObjectNumbersAreStableAndLookingOneUpAllocatesNone) {
  LogMapper* m = NewLog();
  EXPECT_EQ(LogMapper::moi_number(Dn("ne-1"), false), 0);
  long n1 = LogMapper::moi_number(Dn("ne-1"));
  long n2 = LogMapper::moi_number(Dn("ne-2"));
  ASSERT_GT(n1, 0);
  ASSERT_GT(n2, 0);
  EXPECT_NE(n1, n2);
  EXPECT_EQ(LogMapper::moi_number(Dn("ne-1"), false), n1);
  EXPECT_EQ(LogMapper::moi_number(Asn1Value()), -1);
  ASSERT_NE(Write(m, 1, Alarm(kCommunicationsAlarm, kPowerProblem, 1, nullptr), n1), nullptr);
  LogMapper::commit();
  Restart();
  EXPECT_EQ(LogMapper::moi_number(Dn("ne-2"), false), n2);
  EXPECT_EQ(LogMapper::moi_number(Dn("ne-1")), n1);
}

// The three alarm classes share every operation; each keeps its own table and type.
TEST_P(AlarmRecordsTest, EveryAlarmClassIsAcknowledgedClearedAndRebuilt) {
  struct Class {
    const Oid* cls;
    TABLE_TYPE type;
    const char* stem;
    const char* synonym;
  };
  const Class classes[] = {{&qxalarmOid, QXALARM_TABLE, "qxAlm", "7_qxAlm"},
                           {&zkalarmOid, ZKALARM_TABLE, "ZkvCt", "7_zkvAlm"},
                           {&intrnetOid, INTRNET_TABLE, "qxInt", "7_intAlm"}};
  LogMapper* m = NewLog();
  int id = 1;
  for (const Class& c : classes) {
    SCOPED_TRACE(c.stem);
    EXPECT_TRUE(Exists(c.synonym));
    auto* table = dynamic_cast<AlarmLogT*>(m->get_table(c.type));
    ASSERT_NE(table, nullptr);
    // Managed object 20 + type: three alarms; the first acknowledged, the second
    // cleared alone, the other two by the clear-all.
    unsigned long moi = 20 + c.type;
    for (int k = 0; k < 3; ++k) {
      ASSERT_NE(
          Write(m, id + k, Alarm(kCommunicationsAlarm, kPowerProblem, 1 + k, nullptr), moi, *c.cls),
          nullptr);
    }
    RespValue response;
    ASSERT_EQ(m->UpdateDBAck(id, AttrList(Ack(1, "alice")), response), 1);
    ASSERT_EQ(m->UpdateDBClear(id + 1, AttrList(Cleared()), response), 1);
    EXPECT_EQ(Column(m, id, "ackState", c.stem), "acked");
    EXPECT_EQ(Column(m, id + 1, "clearState", c.stem), "cleared");
    RWDBReader r;
    ASSERT_EQ(m->getOarInfo(static_cast<int>(moi), *c.cls, r), 1);
    EXPECT_EQ(LookupRows(r), (std::map<unsigned long, std::string>{
                                 {static_cast<unsigned long>(id), "critical"},
                                 {static_cast<unsigned long>(id + 2), "minor"}}));
    Attrs all = Cleared();
    all.push_back({eventTypeOid, Oidv(kCommunicationsAlarm, TAG_CTX6)});
    ASSERT_EQ(m->UpdateDBClearAlarms(static_cast<int>(moi), *c.cls, AttrList(all)), 1);
    EXPECT_EQ(Column(m, id, "clearState", c.stem), "cleared");
    EXPECT_EQ(Column(m, id + 2, "clearState", c.stem), "cleared");
    EXPECT_EQ(Column(m, id + 1, "clearOperator", c.stem), "ops");
    id += 3;
  }
  LogMapper::commit();
  Restart();
  LogMapper* again = StartUp();
  ASSERT_NE(again, nullptr);
  id = 1;
  for (const Class& c : classes) {
    SCOPED_TRACE(c.stem);
    for (int k = 0; k < 3; ++k) {
      unsigned short type = 99;
      ASSERT_EQ(again->get_table_type(id + k, type), 1);
      EXPECT_EQ(type, c.type);
      unsigned long moi = 0;
      unsigned char state = 9, severity = 9;
      ASSERT_EQ(again->ReadOarInfo(id + k, moi, state, severity), 1);
      EXPECT_EQ(moi, 20u + c.type);
      EXPECT_EQ(state, 1);
      EXPECT_EQ(severity, 1 + k);
      Oid cls;
      ASSERT_EQ(again->get_log_record_class(id + k, cls), 1);
      EXPECT_EQ(cls, *c.cls);
    }
    EXPECT_EQ(Read(again, id)[ackOperatorOid], Graph("alice"));
    id += 3;
  }
}

// The alarm tables as people and other tools see them: their columns in order, after
// the ten common ones, and their synonyms.
TEST_P(AlarmRecordsTest, AlarmTablesHaveTheirColumnsInOrder) {
  const std::vector<std::string> states = {"ackstate",      "acktime",         "ackoperator",
                                           "acktext",       "clearstate",      "cleartime",
                                           "clearoperator", "cleartext",       "displaystate",
                                           "displaytime",   "displayoperator", "displaytext"};
  auto with = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  struct Table {
    const char* stem;
    std::vector<std::string> columns;
  };
  const Table tables[] = {
      {"qxAlm", with(with({"logrecordid", "moi_id", "probablecause_s", "probablecauseoid",
                           "perceivedseverity", "specificproblems", "backedupstatus",
                           "backupobject", "trendindication", "thresholdinfo_s", "statechangedef_s",
                           "monitoredattribs", "proposedrpracts"},
                          states),
                     {"blob"})},
      {"ZkvCt",
       with(with({"logrecordid", "moi_id", "probablecause_s", "perceivedseverity",
                  "specificproblems_s", "backedupstatus", "backupobject", "trendindication",
                  "thresholdinfo_s", "statechangedef_s", "monitoredattribs", "proposedrpractions"},
                 states),
            {"mosiseverity", "mosistateid", "blob"})},
      {"qxInt", with(with({"logrecordid", "moi_id", "probablecause_s", "attributeidlist_s",
                           "objectinstancelsts", "snmpvarbindlist_s", "internettrapinfo_s",
                           "perceivedseverity", "transportdomain_s", "accesscontrolinfos"},
                          states),
                     {"blob"})},
  };
  LogMapper* m = NewLog();
  for (const Table& t : tables) {
    SCOPED_TRACE(t.stem);
    RWDBTable table = LogMapper::aDB_().table(m->get_table_name() + t.stem);
    ASSERT_TRUE(table.fetchSchema(LogMapper::aConnection()).isValid());
    std::vector<std::string> got;
    for (size_t i = 10; i < table.schema().entries(); ++i) {
      got.push_back(table.schema()[i].name().str());
    }
    EXPECT_EQ(got, t.columns);
  }
  // Deleting the log takes the alarm tables and their synonyms with it.
  ASSERT_EQ(m->deleteDB(static_cast<char>(0)), 1);
  LogMapper::commit();
  for (const char* name : {"qxAlm", "ZkvCt", "qxInt"}) {
    EXPECT_FALSE(Exists(m->get_table_name() + name)) << name;
  }
  for (const char* name : {"7_qxAlm", "7_zkvAlm", "7_intAlm"}) EXPECT_FALSE(Exists(name)) << name;
}

TEST_P(AlarmRecordsTest, CorrelationAlarmsKeepTheirIntegers) {
  LogMapper* m = NewLog();
  const long values[][2] = {{3, 17}, {-5, -2147483648L}, {2147483647L, 0}, {9000000000L, -1}};
  int id = 1;
  for (const auto& v : values) {
    Attrs a = Alarm(kCommunicationsAlarm, kPowerProblem, 2, "1.2.3");
    a.push_back({mosiSeverityOid, Int(v[0])});
    a.push_back({mosiStateOid, Int(v[1])});
    ASSERT_NE(Write(m, id, a, 17, zkalarmOid), nullptr);
    auto got = Read(m, id);
    EXPECT_EQ(got[mosiSeverityOid], Int(v[0]));
    EXPECT_EQ(got[mosiStateOid], Int(v[1]));
    EXPECT_EQ(got[specificProblemsOid], Set({Oidv("1.2.3")}));
    ++id;
  }
  // Without them the columns stay NULL and nothing reads back.
  ASSERT_NE(Write(m, id, Alarm(kCommunicationsAlarm, kPowerProblem, 2, nullptr), 17, zkalarmOid),
            nullptr);
  EXPECT_EQ(Column(m, id, "mosiSeverity", "ZkvCt"), "NULL");
  EXPECT_FALSE(Read(m, id).count(mosiSeverityOid));
  // An update changes them like any column.
  ASSERT_EQ(m->UpdateDB(1, AttrList({{mosiSeverityOid, Int(-7)}})), 1);
  EXPECT_EQ(Read(m, 1)[mosiSeverityOid], Int(-7));
  // The lookup with specific problems goes by their own column.
  RWDBReader r;
  Attrs criteria = {{eventTypeOid, Oidv(kCommunicationsAlarm, TAG_CTX6)},
                    {specificProblemsOid, Set({Oidv("1.2.3")})}};
  ASSERT_EQ(m->getOarInfo(17, zkalarmOid, AttrList(criteria), r), 1);
  EXPECT_EQ(LookupRows(r).size(), 5u);
}

TEST_P(AlarmRecordsTest, TrapAlarmsHaveNoSpecificProblems) {
  LogMapper* m = NewLog();
  Asn1Value var_binds = Set({Set({Oidv("1.3.6.1.2.1.1.3.0"), Int(4242)}, TAG_SEQ)}, TAG_SEQ);
  Attrs trap = Alarm(kCommunicationsAlarm, kPowerProblem, 3, "1.2.3");
  trap.push_back({backedUpStatusOid, Bool(true)});
  trap.push_back({snmpVarBindOid, var_binds});
  trap.push_back({transportDomOid, Oidv("1.3.6.1.6.1.1")});
  ASSERT_NE(Write(m, 1, trap, 17, intrnetOid), nullptr);
  ASSERT_NE(Write(m, 2, Alarm(kCommunicationsAlarm, kPowerProblem, 2, nullptr), 17, intrnetOid),
            nullptr);
  auto got = Read(m, 1);
  EXPECT_EQ(got[snmpVarBindOid], var_binds);
  EXPECT_EQ(got[transportDomOid], Oidv("1.3.6.1.6.1.1"));
  EXPECT_EQ(got[probableCauseOid], Cause(kPowerProblem));
  EXPECT_FALSE(got.count(specificProblemsOid));  // not trap attributes: not stored
  EXPECT_FALSE(got.count(backedUpStatusOid));
  EXPECT_FALSE(got.count(trendIndicationOid));
  EXPECT_EQ(Column(m, 1, "transportDomain_s", "qxInt"), "1.3.6.1.6.1.1");

  // The lookup reports three columns and knows no specific problems criterion.
  RWDBReader r;
  Attrs criteria = {{eventTypeOid, Oidv(kCommunicationsAlarm, TAG_CTX6)}};
  ASSERT_EQ(m->getOarInfo(17, intrnetOid, AttrList(criteria), r), 1);
  size_t columns = 0;
  EXPECT_EQ(LookupRows(r, &columns),
            (std::map<unsigned long, std::string>{{1, "minor"}, {2, "major"}}));
  EXPECT_EQ(columns, 3u);
  criteria.push_back({specificProblemsOid, Set({Oidv("1.2.3")})});
  EXPECT_EQ(m->getOarInfo(17, intrnetOid, AttrList(criteria), r), 0);
  Attrs all = Cleared();
  all.push_back({eventTypeOid, Oidv(kCommunicationsAlarm, TAG_CTX6)});
  all.push_back({specificProblemsOid, Set({Oidv("1.2.3")})});
  EXPECT_EQ(m->UpdateDBClearAlarms(17, intrnetOid, AttrList(all)), 0);
  EXPECT_EQ(Column(m, 1, "clearState", "qxInt"), "unCleared");
  // Without it, every matching alarm is cleared whatever its problems.
  all.pop_back();
  ASSERT_EQ(m->UpdateDBClearAlarms(17, intrnetOid, AttrList(all)), 1);
  EXPECT_EQ(Column(m, 1, "clearState", "qxInt"), "cleared");
  EXPECT_EQ(Column(m, 2, "clearState", "qxInt"), "cleared");
}

// A value its column cannot hold whole: an alarm attribute only the record carries (a
// perceived severity without a name) is kept exactly in the blob and reads back; one
// that acknowledging and clearing change in place (an operator's name longer than its
// column) is refused at the write, since a later acknowledgement would otherwise read
// back as the old value.
TEST_P(AlarmRecordsTest, ValuesTheirColumnCannotHoldReadBackOrAreRefused) {
  LogMapper* m = NewLog();
  ASSERT_NE(Write(m, 1, Alarm(kCommunicationsAlarm, kPowerProblem, 9, nullptr)), nullptr);
  EXPECT_EQ(Read(m, 1)[perceivedSeverityOid], Enum(9));
  EXPECT_EQ(Column(m, 1, "perceivedSeverity"), "NULL");
  Attrs named = Alarm(kCommunicationsAlarm, kPowerProblem, 1, nullptr);
  named.push_back({ackOperatorOid, Graph(std::string(17, 'o'))});
  EXPECT_EQ(Write(m, 2, named), nullptr);
  EXPECT_EQ(Column(m, 2, "ackOperator"), "no row");
  named.back().second = Graph(std::string(16, 'o'));
  ASSERT_NE(Write(m, 2, named), nullptr);
  RespValue r;
  ASSERT_EQ(m->UpdateDBAck(2, AttrList(Ack(1, "bob")), r), 1);
  EXPECT_EQ(Read(m, 2)[ackOperatorOid], Graph("bob"));
}

QX_STORE_TESTS(AlarmRecordsTest);

}  // namespace
}  // namespace qx::test
