// Records of classes without a table of their own, on both stores: kept whole in the blob
// table and read back as written, changed, refused when they cannot be kept, and served
// as alarms (acknowledged, cleared one at a time or by selection) through the alarm index
// and a clear selection that no other process or table object sees.
#include <sys/wait.h>
#include <unistd.h>

#include <map>

#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/alarmlog.h"
#include "infra/tolk_map/tables/blob.h"
#include "infra/tolk_map/testing.h"
#include "platform/db/fault_driver.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_deleter.h"
#include "platform/db/rwdb_manager.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_selector.h"
#include "platform/db/rwdb_table.h"
#include "platform/db/rwdb_updater.h"
#include "platform/value/exception.h"
#include "tests/tolk_map/store_fixture.h"

namespace qx::test {
namespace {

// X.721's alarmRecord and another class: neither has a table of its own.
const Oid kAlarmRecord("2.9.3.2.3.1");
const Oid kOtherClass("1.3.6.1.4.1.32473.7.1");
const char* const kCommunicationsAlarm = "2.9.3.2.10.2";
const char* const kEquipmentAlarm = "2.9.3.2.10.3";
const char* const kPowerProblem = "2.9.3.2.0.0.58";
const char* const kFanProblem = "2.9.3.2.0.0.15";

Asn1Value ClassValue(const Oid& cls) {  // ObjectClass globalForm
  Asn1Value v;
  v.encode_oid(cls, TAG_CTX0);
  return v;
}

// An alarm record about network element `ne`.
Attrs Alarm(const std::string& ne, const char* event_type, const char* cause, long severity,
            const char* problem = nullptr) {
  Attrs a = {
      {objectClassOid, ClassValue(kAlarmRecord)},
      {loggingTimeOid, GenTime("20240301101500.250Z")},
      {eventTypeOid, Oidv(event_type, TAG_CTX6)},
      {moiOid, Dn(ne)},
      {probableCauseOid, Oidv(cause, TAG_CTX6)},
      {perceivedSeverityOid, Enum(severity)},
      {additionalTextOid, Graph("alarm of " + ne)},
  };
  if (problem != nullptr) a.push_back({specificProblemsOid, Set({Oidv(problem)})});
  return a;
}

Attrs Cleared(const char* op) {
  return {{clearStateOid, Enum(1)},
          {clearTimeOid, Set({GenTime("20240302080000Z")}, TAG_CTX0)},
          {clearOperatorOid, Graph(op)}};
}

class BlobRecordsTest : public StoreTest {
 protected:
  static int Write(LogMapper* m, int id, const Asn1Value& list, const Oid& cls = kAlarmRecord) {
    return WriteRecord(m, id, cls, list);
  }
  static int Write(LogMapper* m, int id, const Attrs& attrs, const Oid& cls = kAlarmRecord) {
    return WriteRecord(m, id, cls, AttrList(attrs));
  }
  static Attrs Read(LogMapper* m, int id, int* rc = nullptr) { return ReadRecord(m, id, rc); }
  std::string BlobTable(LogMapper* m) const { return m->get_table_name() + "_blob"; }
  std::string IndexTable(LogMapper* m) const { return m->get_table_name() + "_bAlm"; }
  // The stored bytes of a record's list, straight from the table ("NULL", "no row").
  std::string Stored(LogMapper* m, int id) {
    return RowColumn(BlobTable(m), static_cast<unsigned long>(id), "userDefined", true);
  }
  void Damage(LogMapper* m, int id, const std::string& bytes) {
    ASSERT_TRUE(SetColumn(BlobTable(m), id, "userDefined",
                          RWDBExpr(RWDBBlob(bytes.data(), bytes.size()))));
  }
  static std::map<unsigned long, std::string> Select(LogMapper* m, long moi,
                                                     const Attrs& criteria) {
    RWDBReader r;
    EXPECT_EQ(m->getOarInfo(static_cast<int>(moi), kAlarmRecord, AttrList(criteria), r), 1);
    return LookupRows(r);
  }
  // The clear selections any session of the store has, or the permanent tables of that
  // name (on SQLite only those can be seen: a session's temporary tables live in its
  // process).
  long SelectionTables(bool permanent_only = false) {
    bool pg = postgres();
    RWDBTable t = LogMapper::aDB_().table(pg ? "pg_class" : "sqlite_master");
    const char* column = pg ? "relname" : "name";
    RWDBSelector sel = LogMapper::aDB_().selector();
    sel << t[column];
    RWDBCriterion named = t[column].like(RWDBExpr("%batc%"));
    sel.where(pg && permanent_only ? named && t["relpersistence"] == RWDBExpr("p") : named);
    RWDBReader r = sel.reader(LogMapper::aConnection());
    long n = 0;
    while (r()) ++n;
    return r.status().isValid() ? n : -1;
  }
};

TEST_P(BlobRecordsTest, RecordsOfAnyClassRoundTripWholeAndInOrder) {
  LogMapper* m = NewLog();
  // Attributes the mapper has no codec for, a value of no known type, a list-valued one,
  // an attribute twice: all kept, in order, exactly.
  Attrs written = Alarm("ne-1", kCommunicationsAlarm, kPowerProblem, 2, "1.2.3");
  written.push_back({Oid("1.3.6.1.4.1.32473.99.1"), Octets(std::string("\0\x01\xff", 3))});
  written.push_back({additionalTextOid, Graph("second text")});
  ASSERT_EQ(Write(m, 10, written), 1);
  ASSERT_EQ(Write(m, 11, {{objectClassOid, ClassValue(kOtherClass)}}, kOtherClass), 1);
  ASSERT_EQ(Write(m, 12, AttrList({}), kOtherClass), 1);  // nothing but its identifier
  LogMapper::commit();

  int rc = 0;
  Attrs got = Read(m, 10, &rc);
  ASSERT_EQ(rc, 1);
  ASSERT_EQ(got.size(), written.size() + 1);
  EXPECT_EQ(got[0].first, logRecordIdOid);
  EXPECT_EQ(got[0].second, Unsigned(10));
  for (size_t i = 0; i < written.size(); ++i) {
    EXPECT_EQ(got[i + 1].first, written[i].first) << i;
    EXPECT_EQ(got[i + 1].second, written[i].second) << i;
  }
  EXPECT_EQ(Read(m, 12), (Attrs{{logRecordIdOid, Unsigned(12)}}));
  // A list with a logRecordId of its own reads back exactly as written.
  Attrs own = {{logRecordIdOid, Int(99)}, {objectClassOid, ClassValue(kOtherClass)}};
  ASSERT_EQ(Write(m, 13, own, kOtherClass), 1);
  EXPECT_EQ(Read(m, 13), own);

  // The class is the record's objectClass, wherever it stands in the list.
  Oid cls;
  ASSERT_EQ(m->get_log_record_class(10, cls), 1);
  EXPECT_EQ(cls, kAlarmRecord);
  ASSERT_EQ(m->get_log_record_class(11, cls), 1);
  EXPECT_EQ(cls, kOtherClass);
  unsigned short type = 0;
  ASSERT_EQ(m->get_table_type(11, type), 1);
  EXPECT_EQ(type, BLOB_TABLE);

  EXPECT_TRUE(Exists(BlobTable(m)));
  EXPECT_TRUE(Exists(IndexTable(m)));
  EXPECT_TRUE(Exists("7_blob"));

  // Every record to a callback, then start-up rebuilds the cache.
  std::vector<size_t> sizes;
  Callback cb(
      [](void* c, void* data) {
        if (data != nullptr)
          static_cast<std::vector<size_t>*>(c)->push_back(static_cast<RespValue*>(data)->size());
      },
      &sizes);
  ASSERT_EQ(m->get_all_log_recs(cb), 1);
  EXPECT_EQ(sizes, (std::vector<size_t>{written.size() + 1, 2, 1, 2}));
  LogMapper::commit();
  Restart();
  LogMapper* again = StartUp();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->get_initial_log_record_count(), 4u);
  ASSERT_EQ(again->get_log_record_class(11, cls), 1);
  EXPECT_EQ(cls, kOtherClass);
  EXPECT_EQ(Read(again, 13), own);
}

TEST_P(BlobRecordsTest, UpdatesPutTheListFirstAndKeepTheRest) {
  LogMapper* m = NewLog();
  Attrs a = {{objectClassOid, ClassValue(kOtherClass)},
             {notificationIdOid, Int(1)},
             {additionalTextOid, Graph("one")},
             {eventTimeOid, GenTime("20240301101459Z")}};
  ASSERT_EQ(Write(m, 5, a, kOtherClass), 1);
  RespValue response;
  Attrs change = {{additionalTextOid, Graph("two")}, {additionalInfoOid, Int(4)}};
  ASSERT_EQ(m->UpdateDB(5, AttrList(change), response), 1);
  EXPECT_EQ(Read(m, 5), (Attrs{{logRecordIdOid, Unsigned(5)},
                               {additionalTextOid, Graph("two")},
                               {additionalInfoOid, Int(4)},
                               {objectClassOid, ClassValue(kOtherClass)},
                               {notificationIdOid, Int(1)},
                               {eventTimeOid, GenTime("20240301101459Z")}}));
  ASSERT_EQ(response.size(), 2u);
  Asn1Value old;
  ASSERT_EQ(response.find_old_value(additionalTextOid, old), 1);
  EXPECT_EQ(old, Graph("one"));
  ASSERT_EQ(response.find_old_value(additionalInfoOid, old), 1);
  EXPECT_FALSE(old);
  // The form without response, and an empty list, which changes nothing.
  ASSERT_EQ(m->UpdateDB(5, AttrList({{notificationIdOid, Int(2)}})), 1);
  EXPECT_EQ(ValueOf(Read(m, 5), notificationIdOid), Int(2));
  std::string before = Stored(m, 5);
  RespValue none;
  ASSERT_EQ(m->UpdateDB(5, AttrList({}), none), 1);
  EXPECT_EQ(none.size(), 0u);
  EXPECT_EQ(Stored(m, 5), before);
  // A record without a row (its row went away behind the cache): nothing to change.
  LogMapper* table = m->get_table(BLOB_TABLE);
  ASSERT_EQ(table->UpdateDB(77, AttrList(change)), 1);
  EXPECT_EQ(Stored(m, 77), "no row");
  EXPECT_EQ(m->UpdateDB(77, AttrList(change)), 0);  // never written: not dispatched
}

// What cannot be kept is refused whole: nothing of the record is written or changed.
TEST_P(BlobRecordsTest, ListsThatCannotBeKeptAreRefusedWithNothingWritten) {
  LogMapper* m = NewLog();
  std::string too_long(BlobT::kMaxListOctets, 'x');
  const std::vector<std::pair<const char*, Asn1Value>> bad = {
      {"not a list", Int(3)},
      {"a component that is no pair", Set({Int(1)})},
      {"a pair without a value", Set({Set({Oidv("1.2.3")}, TAG_SEQ)})},
      {"an identifier that is no identifier", Set({Set({Octets(""), Int(1)}, TAG_SEQ)})},
      {"a list longer than a record holds", AttrList({{additionalTextOid, Graph(too_long)}})},
  };
  for (const auto& [why, list] : bad) {
    SCOPED_TRACE(why);
    EXPECT_EQ(Write(m, 1, list), 0);
    EXPECT_EQ(Stored(m, 1), "no row");
    EXPECT_EQ(CountRows(IndexTable(m).c_str(), "logRecordId", 1ul), 0);
    EXPECT_FALSE(Exception::pending());
  }
  // A list exactly as long as a record holds is kept; one octet more is not.
  std::string fits(BlobT::kMaxListOctets - 19, 'y');
  Asn1Value at_limit = AttrList({{additionalTextOid, Graph(fits)}});
  ASSERT_EQ(at_limit.size(), BlobT::kMaxListOctets);
  EXPECT_EQ(Write(m, 2, AttrList({{additionalTextOid, Graph(fits + "y")}}), kOtherClass), 0);
  ASSERT_EQ(Write(m, 2, at_limit, kOtherClass), 1);
  EXPECT_EQ(ValueOf(Read(m, 2), additionalTextOid), Graph(fits));

  // A change that would make the list too long changes nothing.
  ASSERT_EQ(Write(m, 3, {{objectClassOid, ClassValue(kOtherClass)}}, kOtherClass), 1);
  std::string before = Stored(m, 3);
  RespValue response;
  EXPECT_EQ(m->UpdateDB(3, AttrList({{additionalTextOid, Graph(too_long)}}), response), 0);
  EXPECT_EQ(m->UpdateDB(3, Set({Int(1)}), response), 0);
  EXPECT_EQ(m->UpdateDBAck(3, AttrList({{ackTextOid, Graph(too_long)}}), response), 0);
  EXPECT_EQ(response.size(), 0u);
  EXPECT_EQ(Stored(m, 3), before);

  // Without objectClass a record has no class.
  ASSERT_EQ(Write(m, 4, {{notificationIdOid, Int(4)}}, kOtherClass), 1);
  Oid cls;
  {
    ExceptionScope scope;
    EXPECT_EQ(m->get_table(BLOB_TABLE)->getBlobMOCInfo(4, cls), 0);
    ASSERT_NE(scope.caught(), nullptr);
    EXPECT_EQ(scope.caught()->type(), Exception::RESOURCE_LIM);
  }
  {
    ExceptionScope scope;
    EXPECT_EQ(m->get_log_record_class(4, cls), 0);
    ASSERT_EQ(Write(m, 6, {{objectClassOid, Int(5)}}, kOtherClass), 1);
    EXPECT_EQ(m->get_log_record_class(6, cls), 0);  // a class that is no identifier
    EXPECT_EQ(m->get_table(BLOB_TABLE)->getBlobMOCInfo(99, cls), 0);  // no row
  }
  EXPECT_TRUE(cls.empty());
}

// A stored list damaged in the database is reported, never overwritten: a change that
// could not read it must not write the new attributes alone over the record.
TEST_P(BlobRecordsTest, DamagedStoredListsAreNeverOverwritten) {
  LogMapper* m = NewLog();
  long ne1 = LogMapper::moi_number(Dn("ne-1"));
  ASSERT_EQ(Write(m, 1, Alarm("ne-1", kCommunicationsAlarm, kPowerProblem, 1)), 1);
  ASSERT_EQ(Write(m, 2, Alarm("ne-1", kCommunicationsAlarm, kPowerProblem, 2)), 1);
  const std::vector<std::string> damage = {
      std::string("\x31\x05\x30\x03\x06\x01", 6),      // cut short
      std::string("\x31\x03\x02\x01\x05", 5),          // a component that is no pair
      std::string("\x04\x01x", 3),                     // no list at all
      std::string("\x31\x05\x30\x03\x06\x01\x80", 7),  // an identifier that does not decode
      // ... nor when it is tagged otherwise
      std::string("\x31\x08\x30\x06\x80\x01\x80\x02\x01\x05", 10),
  };
  for (const std::string& bytes : damage) {
    SCOPED_TRACE(testing::PrintToString(bytes));
    Damage(m, 1, bytes);
    int rc = 1;
    {
      ExceptionScope scope;
      Read(m, 1, &rc);
    }
    EXPECT_EQ(rc, 0);
    RespValue response;
    EXPECT_EQ(m->UpdateDB(1, AttrList({{notificationIdOid, Int(1)}}), response), 0);
    EXPECT_EQ(m->UpdateDBAck(1, AttrList({{ackStateOid, Enum(1)}}), response), 0);
    EXPECT_EQ(m->UpdateDBClear(1, AttrList(Cleared("x")), response), 0);
    EXPECT_EQ(Stored(m, 1), bytes);
    Oid cls;
    ExceptionScope scope;
    EXPECT_EQ(m->get_log_record_class(1, cls), 0);
  }
  // The selection and the rest of the log go on.
  EXPECT_EQ(Select(m, ne1, {}).size(), 2u);  // the index still knows record 1
  RespValue response;
  ASSERT_EQ(m->UpdateDBClear(2, AttrList(Cleared("ops")), response), 1);
  Damage(m, 2, damage[0]);
  LogMapper::commit();
  Restart();
  LogMapper* again = StartUp();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->get_initial_log_record_count(), 2u);
  EXPECT_EQ(CachedClearState(again, 2), 1);
  ASSERT_EQ(again->deleteDB(1), 1);
  EXPECT_EQ(Stored(again, 1), "no row");
}

// A record and its alarm index row go together: a statement that fails leaves neither
// changed.
TEST_P(BlobRecordsTest, AFailedStatementChangesNeitherTheRecordNorItsIndexRow) {
  std::shared_ptr<qx::db::FaultPlan> plan = InjectFaults();
  LogMapper* m = NewLog();
  long ne1 = LogMapper::moi_number(Dn("ne-1"));
  ASSERT_EQ(Write(m, 1, Alarm("ne-1", kCommunicationsAlarm, kPowerProblem, 1)), 1);
  std::string stored = Stored(m, 1);
  using Found = std::map<unsigned long, std::string>;

  plan->failStatement = 2;  // the record's own row, after its index row
  EXPECT_EQ(Write(m, 2, Alarm("ne-1", kCommunicationsAlarm, kPowerProblem, 2)), 0);
  EXPECT_EQ(plan->injected, 1);
  EXPECT_EQ(Stored(m, 2), "no row");
  EXPECT_EQ(CountRows(IndexTable(m).c_str(), "logRecordId", 2ul), 0);

  plan->failStatement = 4;  // the stored list's read, the index row's two, then the record
  RespValue response;
  EXPECT_EQ(m->UpdateDBClear(1, AttrList(Cleared("x")), response), 0);
  EXPECT_EQ(plan->injected, 2);
  EXPECT_EQ(Stored(m, 1), stored);
  EXPECT_EQ(CachedClearState(m, 1), 0);
  EXPECT_EQ(Select(m, ne1, {}), (Found{{1, "critical"}}));

  plan->failStatement = 2;
  EXPECT_EQ(m->deleteDB(1), 0);
  EXPECT_EQ(plan->injected, 3);
  EXPECT_EQ(Stored(m, 1), stored);
  EXPECT_EQ(Select(m, ne1, {}), (Found{{1, "critical"}}));
}

TEST_P(BlobRecordsTest, AcknowledgeAndClearChangeTheListAndTheCache) {
  LogMapper* m = NewLog();
  ASSERT_EQ(Write(m, 5, Alarm("ne-1", kCommunicationsAlarm, kPowerProblem, 1)), 1);
  RespValue response;
  ASSERT_EQ(m->UpdateDBAck(5, AttrList({}), response), 1);  // nothing to do
  EXPECT_EQ(response.size(), 0u);
  Attrs ack = {{ackStateOid, Enum(1)}, {ackOperatorOid, Graph("alice")}};
  ASSERT_EQ(m->UpdateDBAck(5, AttrList(ack), response), 1);
  Attrs got = Read(m, 5);
  EXPECT_EQ(ValueOf(got, ackStateOid), Enum(1));
  EXPECT_EQ(ValueOf(got, ackOperatorOid), Graph("alice"));
  EXPECT_EQ(ValueOf(got, perceivedSeverityOid), Enum(1));
  ASSERT_EQ(response.size(), 2u);
  EXPECT_EQ(CachedClearState(m, 5), 0);

  RespValue cleared;
  ASSERT_EQ(m->UpdateDBClear(5, AttrList(Cleared("carol")), cleared), 1);
  EXPECT_EQ(ValueOf(Read(m, 5), clearOperatorOid), Graph("carol"));
  EXPECT_EQ(CachedClearState(m, 5), 1);
  Asn1Value old;
  ASSERT_EQ(cleared.find_old_value(clearStateOid, old), 1);
  EXPECT_FALSE(old);  // the record had none
  // A clear that leaves the record not cleared leaves the cache saying so.
  ASSERT_EQ(m->UpdateDBClear(5, AttrList({{clearStateOid, Enum(0)}}), cleared), 1);
  EXPECT_EQ(CachedClearState(m, 5), 0);

  // Records that keep no alarms, and records whose row went away.
  ASSERT_EQ(Write(m, 6, {{sourceIndicatorOid, Enum(1)}}, objcrtOid), 1);
  EXPECT_EQ(m->UpdateDBAck(6, AttrList(ack), response), 0);
  ASSERT_TRUE(DeleteRow(BlobTable(m), 5));
  RespValue nothing;
  EXPECT_EQ(m->UpdateDBAck(5, AttrList(ack), nothing), 0);
  EXPECT_EQ(m->UpdateDBClear(5, AttrList(Cleared("x")), nothing), 0);
  EXPECT_EQ(nothing.size(), 0u);
  EXPECT_EQ(Stored(m, 5), "no row");
}

TEST_P(BlobRecordsTest, SelectionFindsTheOutstandingAlarmsOfOneManagedObject) {
  LogMapper* m = NewLog();
  long ne1 = LogMapper::moi_number(Dn("ne-1"));
  long ne2 = LogMapper::moi_number(Dn("ne-2"));
  ASSERT_EQ(Write(m, 1, Alarm("ne-1", kCommunicationsAlarm, kPowerProblem, 1)), 1);
  ASSERT_EQ(Write(m, 2, Alarm("ne-1", kCommunicationsAlarm, kFanProblem, 2, "1.2.3")), 1);
  ASSERT_EQ(Write(m, 3, Alarm("ne-1", kEquipmentAlarm, kPowerProblem, 3, "1.2.3")), 1);
  ASSERT_EQ(Write(m, 4, Alarm("ne-1", kCommunicationsAlarm, kPowerProblem, 7)), 1);
  ASSERT_EQ(Write(m, 5, Alarm("ne-1", kCommunicationsAlarm, kPowerProblem, 4)), 1);
  ASSERT_EQ(Write(m, 6, Alarm("ne-2", kCommunicationsAlarm, kPowerProblem, 5)), 1);
  ASSERT_EQ(Write(m, 7, {{objectClassOid, ClassValue(kOtherClass)}}, kOtherClass), 1);
  RespValue response;
  ASSERT_EQ(m->UpdateDBClear(5, AttrList(Cleared("early")), response), 1);

  using Found = std::map<unsigned long, std::string>;
  // Without criteria: every outstanding alarm of the managed object, with its severity
  // as a word (an unknown number is indeterminate).
  EXPECT_EQ(Select(m, ne1, {}),
            (Found{{1, "critical"}, {2, "major"}, {3, "minor"}, {4, "indeterminate"}}));
  EXPECT_EQ(Select(m, ne2, {}), (Found{{6, "cleared"}}));
  // By event type, cause and specific problems; an absent value matches only an empty one.
  EXPECT_EQ(Select(m, ne1, {{eventTypeOid, Oidv(kCommunicationsAlarm, TAG_CTX6)}}),
            (Found{{1, "critical"}, {2, "major"}, {4, "indeterminate"}}));
  EXPECT_EQ(Select(m, ne1,
                   {{eventTypeOid, Oidv(kCommunicationsAlarm, TAG_CTX6)},
                    {probableCauseOid, Oidv(kPowerProblem, TAG_CTX6)}}),
            (Found{{1, "critical"}, {4, "indeterminate"}}));
  EXPECT_EQ(Select(m, ne1, {{specificProblemsOid, Set({Oidv("1.2.3")})}}),
            (Found{{2, "major"}, {3, "minor"}}));
  EXPECT_EQ(Select(m, ne1, {{probableCauseOid, Oidv("2.9.3.2.0.0.1", TAG_CTX6)}}), Found{});
  // A managed object without a number, or unknown to the platform, has no alarms.
  EXPECT_EQ(Select(m, 0, {}), Found{});
  EXPECT_EQ(Select(m, ne2 + 1000, {}), Found{});
  // The form without criteria reports the clear state too.
  RWDBReader all;
  ASSERT_EQ(m->getOarInfo(static_cast<int>(ne2), kAlarmRecord, all), 1);
  ASSERT_TRUE(all());
  unsigned long id = 0;
  RWCString severity, state;
  all >> id >> severity >> state;
  EXPECT_EQ(id, 6u);
  EXPECT_EQ(state, "unCleared");
  EXPECT_FALSE(all());

  // A list with another attribute is refused and the selection stays as it was.
  RWDBReader r;
  EXPECT_EQ(m->getOarInfo(static_cast<int>(ne1), kAlarmRecord,
                          AttrList({{eventTypeOid, Oidv(kCommunicationsAlarm, TAG_CTX6)},
                                    {perceivedSeverityOid, Enum(1)}}),
                          r),
            0);
  EXPECT_EQ(m->getOarInfo(static_cast<int>(ne1), kAlarmRecord, Set({Int(1)}), r), 0);
  EXPECT_FALSE(Exception::pending());
  ASSERT_EQ(m->UpdateDBClearAlarms(static_cast<int>(ne2), kAlarmRecord, AttrList(Cleared("a"))), 1);
  EXPECT_EQ(ValueOf(Read(m, 6), clearOperatorOid), Graph("a"));
  EXPECT_FALSE(ValueOf(Read(m, 1), clearOperatorOid));
}

TEST_P(BlobRecordsTest, ClearAllClearsExactlyTheSelection) {
  LogMapper* m = NewLog();
  long ne1 = LogMapper::moi_number(Dn("ne-1"));
  for (int id = 1; id <= 4; ++id) {
    const char* type = id == 4 ? kEquipmentAlarm : kCommunicationsAlarm;
    ASSERT_EQ(Write(m, id, Alarm("ne-1", type, kPowerProblem, id)), 1);
  }
  ASSERT_EQ(Write(m, 5, Alarm("ne-2", kCommunicationsAlarm, kPowerProblem, 1)), 1);
  // Nothing selected yet: nothing cleared.
  ASSERT_EQ(m->UpdateDBClearAlarms(static_cast<int>(ne1), kAlarmRecord, AttrList(Cleared("x"))), 1);
  EXPECT_FALSE(ValueOf(Read(m, 1), clearStateOid));

  EXPECT_EQ(Select(m, ne1, {{eventTypeOid, Oidv(kCommunicationsAlarm, TAG_CTX6)}}).size(), 3u);
  // Record 2 is cleared on its own (and leaves the selection), record 3 goes away.
  RespValue response;
  ASSERT_EQ(m->UpdateDBClear(2, AttrList(Cleared("alone")), response), 1);
  ASSERT_EQ(m->deleteDB(3), 1);
  // A list that is refused changes nothing and keeps the selection.
  EXPECT_EQ(m->UpdateDBClearAlarms(static_cast<int>(ne1), kAlarmRecord, Set({Int(1)})), 0);
  std::string too_long(BlobT::kMaxListOctets, 'x');
  EXPECT_EQ(m->UpdateDBClearAlarms(static_cast<int>(ne1), kAlarmRecord,
                                   AttrList({{clearTextOid, Graph(too_long)}})),
            0);
  EXPECT_FALSE(ValueOf(Read(m, 1), clearStateOid));
  ASSERT_EQ(m->UpdateDBClearAlarms(static_cast<int>(ne1), kAlarmRecord, AttrList(Cleared("all"))),
            1);
  EXPECT_EQ(ValueOf(Read(m, 1), clearOperatorOid), Graph("all"));
  EXPECT_EQ(ValueOf(Read(m, 2), clearOperatorOid), Graph("alone"));
  EXPECT_FALSE(ValueOf(Read(m, 4), clearStateOid));  // another event type
  EXPECT_FALSE(ValueOf(Read(m, 5), clearStateOid));  // another managed object
  EXPECT_EQ(CachedClearState(m, 1), 1);
  EXPECT_EQ(CachedClearState(m, 4), 0);
  EXPECT_EQ(Stored(m, 3), "no row");
  // The selection is spent: cleared alarms are outstanding no more.
  ASSERT_EQ(m->UpdateDBClearAlarms(static_cast<int>(ne1), kAlarmRecord, AttrList(Cleared("y"))), 1);
  EXPECT_EQ(ValueOf(Read(m, 1), clearOperatorOid), Graph("all"));
  EXPECT_EQ(Select(m, ne1, {}), (std::map<unsigned long, std::string>{{4, "warning"}}));
}

// The selection belongs to its table object and its transaction: one table per log,
// emptied or dropped by whoever came next, would mix the selections of everyone working
// on the log.
TEST_P(BlobRecordsTest, SelectionIsPrivateToItsTableObjectAndTransaction) {
  LogMapper* m = NewLog();
  long ne1 = LogMapper::moi_number(Dn("ne-1"));
  long ne2 = LogMapper::moi_number(Dn("ne-2"));
  ASSERT_EQ(Write(m, 1, Alarm("ne-1", kCommunicationsAlarm, kPowerProblem, 1)), 1);
  ASSERT_EQ(Write(m, 2, Alarm("ne-2", kCommunicationsAlarm, kPowerProblem, 1)), 1);
  LogMapper::commit();
  // A second mapper of the same log in the same process (and, on SQLite, session).
  LogMapper* other = Keep(new LogMapper());
  ASSERT_EQ(other->load_table(Int(7)), 1);
  ASSERT_EQ(other->get_all_almsvc_recs(no_op_cb, 1), 1);
  EXPECT_EQ(Select(m, ne1, {}).size(), 1u);
  EXPECT_EQ(Select(other, ne2, {}).size(), 1u);
  const auto* mine = dynamic_cast<BlobT*>(m->get_table(BLOB_TABLE));
  const auto* theirs = dynamic_cast<BlobT*>(other->get_table(BLOB_TABLE));
  ASSERT_NE(mine, nullptr);
  ASSERT_NE(theirs, nullptr);
  EXPECT_NE(mine->clear_selection().name(), theirs->clear_selection().name());
  ASSERT_EQ(m->UpdateDBClearAlarms(static_cast<int>(ne1), kAlarmRecord, AttrList(Cleared("m"))), 1);
  EXPECT_EQ(ValueOf(Read(m, 1), clearOperatorOid), Graph("m"));
  EXPECT_FALSE(ValueOf(Read(m, 2), clearStateOid));
  // The selection outlives a commit, not a roll-back.
  LogMapper::commit();
  LogMapper::abort();
  ASSERT_EQ(other->UpdateDBClearAlarms(static_cast<int>(ne2), kAlarmRecord, AttrList(Cleared("o"))),
            1);
  EXPECT_EQ(ValueOf(Read(m, 2), clearOperatorOid), Graph("o"));
  EXPECT_EQ(Select(m, ne2, {}).size(), 0u);
  LogMapper::commit();
  RespValue reopen;
  ASSERT_EQ(m->UpdateDB(2, AttrList({{clearStateOid, Enum(0)}}), reopen), 1);
  LogMapper::commit();
  // A selection made in a transaction that is rolled back is gone with it, table and all.
  LogMapper* third = Keep(new LogMapper());
  ASSERT_EQ(third->load_table(Int(7)), 1);
  ASSERT_EQ(third->get_all_almsvc_recs(no_op_cb, 1), 1);
  EXPECT_EQ(Select(third, ne2, {}).size(), 1u);
  EXPECT_EQ(Select(third, ne2, {}).size(), 1u);  // its statements are now prepared ones
  LogMapper::abort();
  ASSERT_EQ(third->UpdateDBClearAlarms(static_cast<int>(ne2), kAlarmRecord, AttrList(Cleared("z"))),
            1);
  EXPECT_EQ(ValueOf(Read(m, 2), clearStateOid), Enum(0));
  EXPECT_EQ(Select(third, ne2, {}).size(), 1u);  // and a new one is made
  EXPECT_EQ(SelectionTables(true), 0);           // the selections are no tables of the store
}

// Two processes select the alarms of their own managed object in the same log, both
// selections stand at once, then both clear at once: each clears exactly its own.
TEST_P(BlobRecordsTest, TwoProcessesClearingAtOnceEachClearTheirOwnSelection) {
  LogMapper* m = NewLog();
  long numbers[2] = {LogMapper::moi_number(Dn("ne-a")), LogMapper::moi_number(Dn("ne-b"))};
  for (int k = 0; k < 3; ++k) {
    ASSERT_EQ(Write(m, 1 + k, Alarm("ne-a", kCommunicationsAlarm, kPowerProblem, 1)), 1);
    ASSERT_EQ(Write(m, 11 + k, Alarm("ne-b", kCommunicationsAlarm, kPowerProblem, 1)), 1);
  }
  ASSERT_EQ(LogMapper::commit(), 1);
  Restart();
  const char* const ops[2] = {"a", "b"};
  int selected[2][2], go[2][2];
  std::vector<pid_t> children;
  for (int c = 0; c < 2; ++c) {
    ASSERT_EQ(pipe(selected[c]), 0);
    ASSERT_EQ(pipe(go[c]), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int rc = 1;
      if (LogMapper::init_log_handles(TakeLogs(), no_op_cb) == 1) {
        LogMapper* log = LogMapper::find_log_handle(Int(7));
        RWDBReader r;
        int rows = 0;
        if (log != nullptr &&
            log->getOarInfo(static_cast<int>(numbers[c]), kAlarmRecord, AttrList({}), r) == 1) {
          while (r()) ++rows;
        }
        bool ok = rows == 3 && LogMapper::commit() == 1;
        char b = ok ? 'y' : 'n';
        (void)!write(selected[c][1], &b, 1);
        (void)!read(go[c][0], &b, 1);
        // On the embedded store writers take turns: a transaction that lost the race is
        // rolled back and done again (the selection, committed, stays).
        for (int attempt = 0; ok && rc != 0 && attempt < 50; ++attempt) {
          if (log->UpdateDBClearAlarms(static_cast<int>(numbers[c]), kAlarmRecord,
                                       AttrList(Cleared(ops[c]))) == 1 &&
              LogMapper::commit() == 1) {
            rc = 0;
          } else {
            LogMapper::abort();
            usleep(20000);
          }
        }
      }
      _exit(rc);
    }
    children.push_back(pid);
  }
  for (int c = 0; c < 2; ++c) {
    char b = 0;
    ASSERT_EQ(read(selected[c][0], &b, 1), 1);
    EXPECT_EQ(b, 'y');
  }
  for (int c = 0; c < 2; ++c) {
    char b = 'g';
    ASSERT_EQ(write(go[c][1], &b, 1), 1);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  for (int c = 0; c < 2; ++c) {
    close(selected[c][0]);
    close(selected[c][1]);
    close(go[c][0]);
    close(go[c][1]);
  }
  LogMapper* again = StartUp();
  ASSERT_NE(again, nullptr);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(ValueOf(Read(again, 1 + k), clearOperatorOid), Graph("a")) << k;
    EXPECT_EQ(ValueOf(Read(again, 11 + k), clearOperatorOid), Graph("b")) << k;
    EXPECT_EQ(CachedClearState(again, 1 + k), 1);
  }
  // The processes are gone, and so are their selections (a server drops a session's
  // temporary tables when the session ends, a moment after the process).
  long left = -1;
  for (int wait = 0; wait < 100 && left != 0; ++wait) {
    left = SelectionTables();
    if (left != 0) usleep(50000);
  }
  EXPECT_EQ(left, 0);
}

TEST_P(BlobRecordsTest, AlarmIndexIsMadeAgainWhenMissingOrIncomplete) {
  LogMapper* m = NewLog();
  long ne1 = LogMapper::moi_number(Dn("ne-1"));
  ASSERT_EQ(Write(m, 1, Alarm("ne-1", kCommunicationsAlarm, kPowerProblem, 2)), 1);
  ASSERT_EQ(Write(m, 2, Alarm("ne-1", kCommunicationsAlarm, kPowerProblem, 3)), 1);
  ASSERT_EQ(Write(m, 3, {{objectClassOid, ClassValue(kOtherClass)}}, kOtherClass), 1);
  RespValue response;
  ASSERT_EQ(m->UpdateDBClear(2, AttrList(Cleared("ops")), response), 1);
  std::string index = IndexTable(m);
  LogMapper::commit();

  // Gone: made again from the blob table when the log is loaded.
  Restart();
  {
    LogMapper scratch;  // opens the store
    ASSERT_TRUE(LogMapper::aDB_().table(index).drop(LogMapper::aConnection()).isValid());
    LogMapper::commit();
  }
  LogMapper* again = StartUp();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(CountRows(index.c_str(), "cleared", 0ul), 2);
  EXPECT_EQ(Select(again, ne1, {}), (std::map<unsigned long, std::string>{{1, "major"}}));
  // Start-up entered each alarm's managed object, clear state and severity.
  unsigned long moi = 0;
  unsigned char state = 9, severity = 9;
  ASSERT_EQ(again->ReadOarInfo(2, moi, state, severity), 1);
  EXPECT_EQ(moi, static_cast<unsigned long>(ne1));
  EXPECT_EQ(state, 1);
  EXPECT_EQ(severity, 3);
  ASSERT_EQ(again->ReadOarInfo(3, moi, state, severity), 1);
  EXPECT_EQ(moi, 0u);
  LogMapper::commit();

  // Incomplete (a row written by a library that did not keep it): made again at start-up.
  Restart();
  {
    LogMapper scratch;
    ASSERT_TRUE(DeleteRow(index, 1));
    LogMapper::commit();
  }
  again = StartUp();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(Select(again, ne1, {}).size(), 1u);
  EXPECT_EQ(CountRows(index.c_str(), "logRecordId", 1ul), 1);
}

TEST_P(BlobRecordsTest, DeletingRecordsAndTheLogLeavesNothing) {
  LogMapper* m = NewLog();
  long ne1 = LogMapper::moi_number(Dn("ne-1"));
  ASSERT_EQ(Write(m, 1, Alarm("ne-1", kCommunicationsAlarm, kPowerProblem, 2)), 1);
  ASSERT_EQ(Write(m, 2, Alarm("ne-1", kCommunicationsAlarm, kPowerProblem, 3)), 1);
  ASSERT_EQ(m->deleteDB(1), 1);
  EXPECT_EQ(Stored(m, 1), "no row");
  EXPECT_EQ(CountRows(IndexTable(m).c_str(), "logRecordId", 1ul), 0);
  EXPECT_EQ(Select(m, ne1, {}).size(), 1u);
  std::string blob = BlobTable(m), index = IndexTable(m);
  ASSERT_EQ(m->deleteDB(static_cast<char>(0)), 1);
  LogMapper::commit();
  EXPECT_FALSE(Exists(blob));
  EXPECT_FALSE(Exists(index));
  EXPECT_FALSE(Exists("7_blob"));
}

QX_STORE_TESTS(BlobRecordsTest);

}  // namespace
}  // namespace qx::test
