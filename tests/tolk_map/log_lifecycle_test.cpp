// A log's life on both stores: creation with its attributes and internal number,
// finding it again after a restart, changing and deleting it, bad input, transactions
// and the database error report.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <set>

#include "infra/tolk_map/log_tables.h"
#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/eventlog.h"
#include "infra/tolk_map/testing.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_status.h"
#include "platform/db/rwdb_table.h"
#include "platform/mgmt/ac_object.h"
#include "platform/value/exception.h"
#include "platform/value/value_notation.h"
#include "tests/tolk_map/store_fixture.h"

namespace qx::test {
namespace {

class LogLifecycleTest : public StoreTest {
 protected:
  // Creates a log with the first creating constructor, owned by "root".
  LogMapper* Create(const Asn1Value& id, const Asn1Value& attrs) {
    return Keep(new LogMapper(id, attrs, "", Graph("root")));
  }
  Asn1Value Parse(const Oid& attr, const char* text) {
    Asn1Value v;
    std::string error;
    EXPECT_TRUE(parse_attribute(attr, text, v, &error)) << text << ": " << error;
    return v;
  }
  // The maxLogSize of the one stored log (-1 when there is not one log with it).
  long MaxLogSize() {
    auto logs = AllLogs();
    Asn1Value v;
    long n = -1;
    if (logs.size() == 1 && logs[0].find(maxlogszOid, v)) v.decode_int(n);
    return n;
  }
  static const StoreTest::Log* Find(const std::vector<StoreTest::Log>& logs, const Asn1Value& id) {
    for (const auto& l : logs)
      if (l.id == id) return &l;
    return nullptr;
  }
  // Runs `child(c)` in `n` processes at once, each exiting with its result; their exit
  // statuses (-1 for one that did not exit or could not be started).
  template <typename Child>
  std::vector<int> RunChildren(int n, Child child) {
    std::vector<pid_t> children;
    std::vector<int> statuses;
    for (int c = 0; c < n; ++c) {
      pid_t pid = fork();
      if (pid == 0) _exit(child(c));
      if (pid < 0) {
        ADD_FAILURE() << "fork failed";
        statuses.push_back(-1);
        continue;
      }
      children.push_back(pid);
    }
    for (pid_t pid : children) {
      int status = 0;
      waitpid(pid, &status, 0);
      statuses.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
    return statuses;
  }
};

TEST_P(LogLifecycleTest, IntegerLogGetsRowsNumberAndName) {
  LogMapper* m = Create(Int(7), AttrList({{adminStateOid, Enum(1)}, {maxlogszOid, Int(100000)}}));
  ASSERT_TRUE(m->created());
  EXPECT_STREQ(m->get_logid(), "7");
  EXPECT_EQ(m->get_logid_type(), "integer");
  EXPECT_GE(m->get_qxlogid(), 2u);  // 1 stays for AlarmLog
  EXPECT_EQ(m->get_table_name(), "qxi" + std::to_string(m->get_qxlogid()));
  EXPECT_EQ(LogMapper::find_log_handle(Int(7)), m);
  EXPECT_EQ(CountRows("Log", "LogId", std::string("7")), 1);
  EXPECT_EQ(CountRows("QxLog", "qxlogid", static_cast<unsigned long>(m->get_qxlogid())), 10);
  EXPECT_TRUE(Exists("Logtable"));  // the log table's synonym
  EXPECT_TRUE(ACDbObject("LOG_7", 1).exists());
  EXPECT_EQ(m->table_exists(Int(7)), 1);
  EXPECT_EQ(m->table_exists(Int(8)), 0);
  // A string log is named by its octets; any owner, none too, gets the access objects.
  LogMapper* s = Keep(new LogMapper(Graph("abc"), AttrList({}), "", Graph("alice")));
  ASSERT_TRUE(s->created());
  EXPECT_STREQ(s->get_logid(), "abc");
  EXPECT_EQ(s->get_logid_type(), "string");
  EXPECT_TRUE(ACDbObject("LOG_abc", 1).exists());
  ASSERT_TRUE(Keep(new LogMapper(Int(8), AttrList({}), "", Graph("")))->created());
  EXPECT_TRUE(ACDbObject("LOG_8", 1).exists());
  EXPECT_TRUE(ACDbObject("LOG", 1).exists());
}

TEST_P(LogLifecycleTest, SecondConstructorTakesTheIdentifierFromTheList) {
  LogMapper* m = Keep(new LogMapper(AttrList({{logIdOid, Int(12)}, {opstateOid, Enum(0)}}), ""));
  ASSERT_TRUE(m->created());
  EXPECT_STREQ(m->get_logid(), "12");
  LogMapper* bad = Keep(new LogMapper(AttrList({{opstateOid, Enum(0)}, {logIdOid, Int(13)}}), ""));
  EXPECT_FALSE(bad->created());
  EXPECT_EQ(CountRows("Log", "LogId", std::string("13")), 0);
}

TEST_P(LogLifecycleTest, NumbersAreNeverSharedAndAlarmLogKeepsOne) {
  LogMapper* a = Create(Graph("AlarmLog"), AttrList({}));
  LogMapper* b = Create(Int(1), AttrList({}));
  LogMapper* c = Create(Graph("AlarmLogToo"), AttrList({}));
  ASSERT_TRUE(a->created() && b->created() && c->created());
  EXPECT_EQ(a->get_qxlogid(), 1u);
  EXPECT_EQ(b->get_qxlogid(), 2u);
  EXPECT_EQ(c->get_qxlogid(), 3u);
  Restart();
  // A process that creates a log before loading the store still takes a new number.
  LogMapper* d = Create(Int(4), AttrList({}));
  ASSERT_TRUE(d->created());
  EXPECT_EQ(d->get_qxlogid(), 4u);
}

TEST_P(LogLifecycleTest, TwoProcessesCreatingAtOnceTakeDistinctNumbers) {
  {
    LogMapper scratch;  // the shared tables exist before the race
  }
  qx::tolk_reset_for_tests();
  constexpr int kPerChild = 4;
  for (int status : RunChildren(2, [](int c) {
         int ok = 0;
         for (int i = 0; i < kPerChild; ++i) {
           LogMapper m(Int(100 * (c + 1) + i), AttrList({}), "", Graph("root"));
           ok += m.created() ? 1 : 0;
         }
         return ok == kPerChild ? 0 : 1;
       })) {
    EXPECT_EQ(status, 0);
  }
  std::set<uint32_t> numbers;
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < kPerChild; ++i) {
      LogMapper* m = Keep(new LogMapper());
      ASSERT_EQ(m->load_table(Int(100 * (c + 1) + i)), 1);
      numbers.insert(m->get_qxlogid());
    }
  }
  EXPECT_EQ(numbers.size(), 2u * kPerChild);
  EXPECT_EQ(numbers.count(1), 0u);
}

TEST_P(LogLifecycleTest, TwoProcessesCreatingTheSameLogStoreItOnce) {
  { LogMapper scratch; }
  qx::tolk_reset_for_tests();
  std::vector<int> statuses = RunChildren(3, [](int c) {
    LogMapper m(Int(500), AttrList({{maxlogszOid, Int(c)}}), "", Graph("root"));
    return m.created() ? 0 : 1;
  });
  EXPECT_EQ(std::count(statuses.begin(), statuses.end(), 0), 1);
  EXPECT_EQ(std::count(statuses.begin(), statuses.end(), 1), 2) << "a child did not exit";
  EXPECT_EQ(AllLogs().size(), 1u);
  EXPECT_EQ(CountRows("QxLog", "qxlogrecordtype", std::string("ObCre")), 1);
}

TEST_P(LogLifecycleTest, EveryAttributeComesBackAfterRestart) {
  Asn1Value av = IntSet({0, 8});
  Asn1Value discrim = Parse(discrimOid, "and:{}");
  Asn1Value intervals = Parse(
      dayintrvalsOid, "{{intervalStart {hour 8, minute 0}, intervalEnd {hour 17, minute 30}}}");
  Asn1Value week = Parse(weekmaskOid,
                         "{{daysOfWeek '1111100'B, intervalsOfDay {{intervalStart {hour 8, minute "
                         "0}, intervalEnd {hour 12, minute 0}}}}}");
  Asn1Value sched = Parse(externschedOid, "distinguishedName:/logId=1");
  std::vector<std::pair<Oid, Asn1Value>> attrs = {
      {adminStateOid, Enum(2)},
      {opstateOid, Enum(1)},
      {avstatusOid, av},
      {logfullOid, Enum(1)},
      {starttmOid, GenTime("20240131120000Z")},
      {stoptmOid, GenTime("20241231235959.5Z")},
      {maxlogszOid, Int(100000)},
      {currlogszOid, Int(12)},
      {numrecsOid, Int(3)},
      {dayintrvalsOid, intervals},
      {weekmaskOid, week},
      {externschedOid, sched},
      {discrimOid, discrim},
      {capacityAlarmThresholdOid, IntSet({10, 50, 90})},
  };
  LogMapper* m = Create(Int(7), AttrList(attrs));
  ASSERT_TRUE(m->created());
  uint32_t number = m->get_qxlogid();
  Restart();
  auto logs = AllLogs();
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].id, Int(7));
  for (const auto& [id, value] : attrs) {
    Asn1Value got;
    ASSERT_TRUE(logs[0].find(id, got)) << id.format();
    EXPECT_EQ(format_attribute(id, got), format_attribute(id, value)) << id.format();
  }
  EXPECT_EQ(logs[0].attrs.size(), attrs.size());

  // Start-up registers the log under its identifier with its number.
  std::vector<RespValue*> seen;
  Callback log_cb(
      [](void* client, void* data) {
        static_cast<std::vector<RespValue*>*>(client)->push_back(static_cast<RespValue*>(data));
      },
      &seen);
  Callback alarm_cb;
  ASSERT_EQ(LogMapper::init_log_handles(log_cb, alarm_cb), 1);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1], nullptr);
  Asn1Value got;
  EXPECT_TRUE(seen[0]->find_value(discrimOid, got));
  EXPECT_EQ(got, discrim);
  delete seen[0];
  LogMapper* loaded = Keep(LogMapper::find_log_handle(Int(7)));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->get_qxlogid(), number);
  EXPECT_EQ(LogMapper::qxlogid_val, number);
  EXPECT_EQ(LogMapper::init_log_handles(log_cb, alarm_cb), 0);
}

TEST_P(LogLifecycleTest, LogsComeBackUnderTheirIdentifiers) {
  ASSERT_TRUE(Create(Int(3), AttrList({}))->created());
  ASSERT_TRUE(Create(Graph("graph"), AttrList({}))->created());
  ASSERT_TRUE(Create(Octets("octets"), AttrList({}))->created());
  Asn1Value dn = Parse(moiOid, "distinguishedName:/logId=42");
  LogMapper* by_name = Create(dn, AttrList({}));
  ASSERT_TRUE(by_name->created());
  EXPECT_EQ(by_name->get_logid()[0], '/');
  Restart();
  auto logs = AllLogs();
  EXPECT_EQ(logs.size(), 4u);
  for (const Asn1Value& id : {Int(3), Graph("graph"), Octets("octets"), dn}) {
    EXPECT_NE(Find(logs, id), nullptr) << id.to_string();
    LogMapper* m = Keep(new LogMapper());
    EXPECT_EQ(m->load_table(id), 1) << id.to_string();
    EXPECT_EQ(LogMapper::find_log_handle(id), m);
  }
}

TEST_P(LogLifecycleTest, LogWithoutOrdinaryAttributesStillHasItsRow) {
  Asn1Value intervals =
      Parse(dayintrvalsOid, "{{intervalStart {hour 1, minute 0}, intervalEnd {hour 2, minute 0}}}");
  ASSERT_TRUE(Create(Int(5), AttrList({{dayintrvalsOid, intervals}}))->created());
  ASSERT_TRUE(Keep(new LogMapper(AttrList({{logIdOid, Int(6)}}), ""))->created());
  Restart();
  auto logs = AllLogs();
  ASSERT_EQ(logs.size(), 2u);
  const Log* five = Find(logs, Int(5));
  ASSERT_NE(five, nullptr);
  EXPECT_EQ(five->get(dayintrvalsOid), intervals);
}

// The log table keeps schedule values as text only: one whose text its column cannot
// hold whole (and that would read back cut, as another value or not at all) is refused
// with its reason, at creation and at update; one that fits reads back exactly.
TEST_P(LogLifecycleTest, ScheduleValuesLongerThanTheirColumnAreRefused) {
  auto intervals = [&](int n) {
    std::string text = "{";
    for (int i = 0; i < n; ++i) {
      text += std::string(i ? ", " : "") +
              "{intervalStart {hour 1, minute 2}, intervalEnd {hour 3, minute 4}}";
    }
    return Parse(dayintrvalsOid, (text + "}").c_str());
  };
  auto week = [&](int n) {
    std::string text = "{";
    for (int i = 0; i < n; ++i)
      text += std::string(i ? ", " : "") + "{daysOfWeek '0000011'B, intervalsOfDay {}}";
    return Parse(weekmaskOid, (text + "}").c_str());
  };
  Asn1Value fits = intervals(2);
  Asn1Value too_long = intervals(6);  // about 370 characters as text
  EXPECT_FALSE(Create(Int(1), AttrList({{dayintrvalsOid, too_long}}))->created());
  EXPECT_FALSE(Create(Int(2), AttrList({{weekmaskOid, week(10)}}))->created());
  EXPECT_FALSE(
      Create(Int(3), AttrList({{externschedOid, Octets(std::string(300, 's'))}}))->created());
  LogMapper* m = Create(Int(4), AttrList({{dayintrvalsOid, fits}, {weekmaskOid, week(1)}}));
  ASSERT_TRUE(m->created());
  EXPECT_EQ(m->UpdateDB(AttrList({{dayintrvalsOid, too_long}}), {}, {}), 0);
  EXPECT_EQ(m->UpdateDB(AttrList({{maxlogszOid, Int(9)}, {weekmaskOid, week(10)}}), {}, {}), 0);
  ASSERT_EQ(LogMapper::commit(), 1);
  Restart();
  auto logs = AllLogs();
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].get(dayintrvalsOid), fits);
  EXPECT_EQ(logs[0].get(weekmaskOid), week(1));
  EXPECT_FALSE(logs[0].get(maxlogszOid)) << "the refused update changed nothing";
}

// Two logs whose names differ only in case are two logs: each gets synonyms and a
// security view of its own, standing for its own tables (names fold to lower case in
// the store), and deleting one, also after a restart, leaves the other's objects.
TEST_P(LogLifecycleTest, LogsWhoseNamesDifferOnlyInCaseKeepTheirOwnObjects) {
  LogMapper* upper = Create(Graph("Foo"), AttrList({}));
  LogMapper* lower = Create(Graph("foo"), AttrList({}));
  ASSERT_TRUE(upper->created() && lower->created());
  auto reads = [](const std::string& name, const std::string& table) {
    return LogMapper::aDB_().table(name).reads(table, LogMapper::aConnection());
  };
  std::vector<std::pair<std::string, std::string>> upper_objects;  // name, table it reads
  for (int t = 0; t < NUM_TABLE_TYPES; ++t) {
    auto* u = dynamic_cast<EventLogT*>(upper->get_table(TABLE_TYPE(t)));
    auto* l = dynamic_cast<EventLogT*>(lower->get_table(TABLE_TYPE(t)));
    if (u == nullptr || l == nullptr) continue;
    SCOPED_TRACE(u->get_table_name());
    EXPECT_EQ(u->get_synonym_name(), std::string("Foo_") + u->event_class().synonym_suffix);
    ASSERT_FALSE(l->get_synonym_name().empty());
    EXPECT_TRUE(reads(u->get_synonym_name(), u->get_table_name()));
    EXPECT_TRUE(reads(l->get_synonym_name(), l->get_table_name()));
    EXPECT_FALSE(reads(l->get_synonym_name(), u->get_table_name()));
    upper_objects.emplace_back(u->get_synonym_name(), u->get_table_name());
  }
  ASSERT_FALSE(upper_objects.empty());
  ExceptionScope scope;
  upper->create_views();
  lower->create_views();
  ASSERT_EQ(scope.caught(), nullptr);
  std::string secalm = qx::record_table_name(upper->get_table_name(), SECALM_TABLE);
  if (upper->get_table(SECALM_TABLE) != nullptr) {
    EXPECT_EQ(upper->get_sec_view_name(), "qx_Foo_sec");
    EXPECT_NE(lower->get_sec_view_name(), "qx_foo_sec");
    upper_objects.emplace_back(upper->get_sec_view_name(), secalm);
    upper_objects.emplace_back(upper->get_sec_view_name() + "table", secalm);
    EXPECT_TRUE(reads(lower->get_sec_view_name(),
                      qx::record_table_name(lower->get_table_name(), SECALM_TABLE)));
  }
  ASSERT_EQ(LogMapper::commit(), 1);
  Restart();
  LogMapper* again = Keep(new LogMapper());
  ASSERT_EQ(again->load_table(Graph("foo")), 1);
  ASSERT_EQ(again->deleteDB(char(0)), 1);
  ASSERT_EQ(LogMapper::commit(), 1);
  for (const auto& [name, table] : upper_objects) {
    EXPECT_TRUE(reads(name, table)) << name << " of Foo went with foo";
  }
  auto logs = AllLogs();
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].id, Graph("Foo"));
  LogMapper* foo = Keep(new LogMapper());
  ASSERT_EQ(foo->load_table(Graph("Foo")), 1);
  ASSERT_EQ(foo->deleteDB(char(0)), 1);
  ASSERT_EQ(LogMapper::commit(), 1);
  for (const auto& [name, table] : upper_objects) EXPECT_FALSE(Exists(name)) << name;
}

// A time that is no real time (month 13) is kept as none, as a record keeps it, both at
// creation and in a change; a value that is no time at all is refused.
TEST_P(LogLifecycleTest, AbsentAndInvalidTimesAreStoredAsNull) {
  Asn1Value absent;
  absent.encode_null(TAG_CTX1);
  ASSERT_TRUE(Create(Int(9), AttrList({{starttmOid, absent}}))->created());
  LogMapper* ten = Create(Int(10), AttrList({{stoptmOid, GenTime("20241332000000Z")},
                                             {starttmOid, GenTime("20240101000000Z")}}));
  ASSERT_TRUE(ten->created());
  EXPECT_FALSE(Create(Int(11), AttrList({{stoptmOid, Int(5)}}))->created());
  Restart();
  auto logs = AllLogs();
  ASSERT_EQ(logs.size(), 2u);
  Asn1Value got;
  for (const Log& log : logs) {
    EXPECT_EQ(log.find(starttmOid, got), log.id == Int(10));
    EXPECT_FALSE(log.find(stoptmOid, got));
  }
  ten = Keep(new LogMapper());
  ASSERT_EQ(ten->load_table(Int(10)), 1);
  ASSERT_EQ(ten->UpdateDB(AttrList({{starttmOid, GenTime("20240230000000Z")}}), {}, {}), 1);
  ASSERT_EQ(LogMapper::commit(), 1);
  for (const Log& log : AllLogs()) EXPECT_FALSE(log.find(starttmOid, got));
}

TEST_P(LogLifecycleTest, HostileNamesAreOnlyNames) {
  const std::string hostile = "x\"; DROP TABLE \"Log";
  LogMapper* h = Create(Graph(hostile), AttrList({{adminStateOid, Enum(0)}}));
  ASSERT_TRUE(h->created());
  LogMapper* pct = Create(Graph("1%"), AttrList({{adminStateOid, Enum(0)}}));
  LogMapper* abc = Create(Graph("abc"), AttrList({{adminStateOid, Enum(0)}}));
  LogMapper* a_c = Create(Graph("a_c"), AttrList({{adminStateOid, Enum(0)}}));
  ASSERT_TRUE(pct->created() && abc->created() && a_c->created());
  EXPECT_TRUE(Exists("Log"));
  EXPECT_EQ(h->table_exists(Graph("a%")), 0);
  EXPECT_EQ(h->table_exists(Graph("1_")), 0);
  // Changing a_c changes a_c alone.
  ASSERT_EQ(a_c->UpdateDB(AttrList({{adminStateOid, Enum(1)}}), {}, {}), 1);
  LogMapper::commit();
  EXPECT_TRUE(ACDbObject("LOG_" + hostile, 1).exists());
  for (const auto& log : AllLogs()) {
    EXPECT_EQ(log.get(adminStateOid), Enum(log.id == Graph("a_c") ? 1 : 0)) << log.id.to_string();
  }
  ASSERT_EQ(h->deleteDB(char(0)), 1);
  LogMapper::commit();
  EXPECT_EQ(AllLogs().size(), 3u);
}

// A change of the log's attributes: one of wrong syntax (or of an attribute the platform
// does not know) changes nothing and leaves the log's open creation alone; a
// discriminator changes in place, keeping the row and its other columns; every kind of
// attribute changes.
TEST_P(LogLifecycleTest, UpdatesChangeTheRowInPlaceAndWrongSyntaxChangesNothing) {
  LogMapper* m = Create(
      Int(7),
      AttrList({{adminStateOid, Enum(1)}, {maxlogszOid, Int(500)}, {avstatusOid, IntSet({0})}}));
  ASSERT_TRUE(m->created());
  EXPECT_EQ(m->UpdateDB(AttrList({{maxlogszOid, Int(6)}, {adminStateOid, Octets("\x01")}}), {}, {}),
            0);
  EXPECT_EQ(m->UpdateDB(AttrList({{adminStateOid, Enum(3)}}), {}, {}), 0);
  EXPECT_EQ(m->UpdateDB(Int(1), {}, {}), 0);
  EXPECT_EQ(m->UpdateDB(AttrList({{maxlogszOid, Int(6)}, {Oid("1.2.999"), Int(1)}}), {}, {}), 0);
  // An attribute the platform knows but the log table does not keep is passed over.
  EXPECT_EQ(m->UpdateDB(AttrList({{logRecordIdOid, Int(1)}}), {}, {}), 1);
  LogMapper::commit();
  EXPECT_EQ(AllLogs()[0].get(maxlogszOid), Int(500));

  Asn1Value discrim = Parse(discrimOid, "or:{}");
  ASSERT_EQ(m->UpdateDB(AttrList({{discrimOid, discrim}}), {}, {}), 1);
  ASSERT_EQ(LogMapper::commit(), 1);
  auto logs = AllLogs();
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].get(discrimOid), discrim);
  EXPECT_EQ(logs[0].get(maxlogszOid), Int(500));
  EXPECT_EQ(logs[0].get(adminStateOid), Enum(1));
  EXPECT_EQ(CountRows("Log", "QxLogId", static_cast<unsigned long>(m->get_qxlogid())), 1);

  Asn1Value week = Parse(weekmaskOid, "{{daysOfWeek '0000011'B, intervalsOfDay {}}}");
  ASSERT_EQ(m->UpdateDB(AttrList({{avstatusOid, IntSet({1, 3})},
                                  {weekmaskOid, week},
                                  {starttmOid, GenTime("20250101000000Z")},
                                  {capacityAlarmThresholdOid, IntSet({70})}}),
                        {}, {}),
            1);
  LogMapper::commit();
  logs = AllLogs();
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].get(avstatusOid), IntSet({1, 3}));
  EXPECT_EQ(logs[0].get(weekmaskOid), week);
  EXPECT_EQ(logs[0].get(capacityAlarmThresholdOid), IntSet({70}));
  EXPECT_EQ(format_attribute(starttmOid, logs[0].get(starttmOid)), "\"20250101000000Z\"");
}

TEST_P(LogLifecycleTest, BadInputLeavesNothingBehind) {
  struct Case {
    Asn1Value id;
    Asn1Value attrs;
  } cases[] = {
      {Int(20), Int(1)},                                               // not a list
      {Int(21), AttrList({{adminStateOid, Octets("locked")}})},        // wrong syntax
      {Int(22), AttrList({{avstatusOid, IntSet({0, 9})}})},            // out of range
      {Graph(""), AttrList({})},                                       // empty identifier
      {Asn1Value(), AttrList({})},                                     // no identifier
      {IntSet({1}), AttrList({})},                                     // not an identifier
      {Int(24), AttrList({{Oid("1.3.6.1.4.1.32473.99.1"), Int(1)}})},  // unknown attribute
  };
  for (const Case& c : cases) {
    LogMapper* m = Create(c.id, c.attrs);
    EXPECT_FALSE(m->created()) << c.id.to_string();
    EXPECT_EQ(LogMapper::find_log_handle(c.id), nullptr);
  }
  // A pair that is not a pair.
  Asn1Value list;
  list.start_construct(TAG_SET);
  list.add_component(Int(1));
  EXPECT_FALSE(Create(Int(23), list)->created());
  Restart();
  EXPECT_TRUE(AllLogs().empty());
  EXPECT_EQ(CountRows("QxLog", "qxlogrecordtype", std::string("ObCre")), 0);
}

TEST_P(LogLifecycleTest, DuplicateLogIsRefusedAndTheFirstStays) {
  LogMapper* first = Create(Int(7), AttrList({{maxlogszOid, Int(1)}}));
  ASSERT_TRUE(first->created());
  LogMapper* again = Create(Int(7), AttrList({{maxlogszOid, Int(2)}}));
  EXPECT_FALSE(again->created());
  EXPECT_EQ(LogMapper::find_log_handle(Int(7)), first);
  // A string identifier with the same name would share its database objects.
  EXPECT_FALSE(Create(Graph("7"), AttrList({}))->created());
  auto logs = AllLogs();
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].get(maxlogszOid), Int(1));
}

TEST_P(LogLifecycleTest, DeleteRemovesRowsAndObjectsAlsoAfterRestart) {
  LogMapper* m = Create(Int(7), AttrList({}));
  LogMapper* other = Create(Int(8), AttrList({}));
  ASSERT_TRUE(m->created() && other->created());
  uint32_t n = m->get_qxlogid();
  ASSERT_EQ(m->deleteDB(char(0)), 1);
  ASSERT_EQ(LogMapper::commit(), 1);
  EXPECT_EQ(CountRows("Log", "LogId", std::string("7")), 0);
  EXPECT_EQ(CountRows("QxLog", "qxlogid", static_cast<unsigned long>(n)), 0);
  EXPECT_FALSE(ACDbObject("LOG_7", 1).exists());
  EXPECT_TRUE(ACDbObject("LOG_8", 1).exists());
  Restart();
  LogMapper* loaded = Keep(new LogMapper());
  ASSERT_EQ(loaded->load_table(Int(8)), 1);
  std::string prefix = loaded->get_table_name();
  ASSERT_EQ(loaded->deleteDB(char(0)), 1);
  LogMapper::commit();
  EXPECT_TRUE(AllLogs().empty());
  // Every record table and synonym of the log went with it, and no table object is
  // left pointing at a dropped table.
  for (int t = 0; t < NUM_TABLE_TYPES; ++t) {
    EXPECT_FALSE(Exists(qx::record_table_name(prefix, TABLE_TYPE(t)))) << t;
    EXPECT_FALSE(Exists(qx::record_synonym_name("8", TABLE_TYPE(t)))) << t;
    EXPECT_EQ(loaded->get_table(TABLE_TYPE(t)), nullptr) << t;
  }
  EXPECT_EQ(Keep(new LogMapper())->load_table(Int(8)), 0);
}

TEST_P(LogLifecycleTest, DeleteKeepingRowsLeavesThem) {
  LogMapper* m = Create(Int(7), AttrList({}));
  ASSERT_TRUE(m->created());
  ASSERT_EQ(m->deleteDB(char(1)), 1);
  LogMapper::commit();
  EXPECT_EQ(CountRows("Log", "LogId", std::string("7")), 1);
  EXPECT_FALSE(ACDbObject("LOG_7", 1).exists());
}

TEST_P(LogLifecycleTest, GetAllLogsLeavesTheRegistryAlone) {
  ASSERT_TRUE(Create(Int(7), AttrList({}))->created());
  Restart();
  EXPECT_EQ(AllLogs().size(), 1u);
  // No mapper of get_all_logs survives it, registered or not.
  EXPECT_EQ(LogMapper::find_log_handle(Int(7)), nullptr);
  EXPECT_TRUE(LogMapper::LogHandles == nullptr || LogMapper::LogHandles->entries() == 0);
}

// Transactions.
TEST_P(LogLifecycleTest, AbortUndoesAChangeAndCommitKeepsIt) {
  LogMapper* m = Create(Int(7), AttrList({{maxlogszOid, Int(1)}}));
  ASSERT_TRUE(m->created());
  ASSERT_EQ(m->UpdateDB(AttrList({{maxlogszOid, Int(2)}}), {}, {}), 1);
  EXPECT_EQ(LogMapper::abort(), 1);
  EXPECT_EQ(MaxLogSize(), 1);
  ASSERT_EQ(m->UpdateDB(AttrList({{maxlogszOid, Int(3)}}), {}, {}), 1);
  EXPECT_EQ(LogMapper::commit(), 1);
  Restart();
  EXPECT_EQ(MaxLogSize(), 3);
}

TEST_P(LogLifecycleTest, AutoCommitStoresAtOnceAndStillCreatesLogsWhole) {
  LogMapper::qxdb_log_tx = 0;  // as QXDB_LOG_TX set in the environment
  LogMapper* m = Create(Int(7), AttrList({{maxlogszOid, Int(1)}}));
  ASSERT_TRUE(m->created());
  ASSERT_EQ(m->UpdateDB(AttrList({{maxlogszOid, Int(5)}}), {}, {}), 1);
  EXPECT_EQ(LogMapper::abort(), 1);  // nothing to undo: the change is stored
  EXPECT_FALSE(Create(Int(8), AttrList({{adminStateOid, Enum(9)}}))->created());
  Restart();
  EXPECT_EQ(MaxLogSize(), 5);
  EXPECT_EQ(CountRows("Log", "LogId", std::string("8")), 0);
}

// Processes writing into one store at the same moment, each transaction reading before
// it writes (as the tool does, and a management process between its commits): every
// writer waits its turn, none fails and nothing is lost.
TEST_P(LogLifecycleTest, ConcurrentWritersWaitTheirTurn) {
  ASSERT_TRUE(Create(Int(7), AttrList({}))->created());
  ASSERT_EQ(LogMapper::commit(), 1);
  Restart();  // each child opens the store for itself
  constexpr int kChildren = 3;
  constexpr int kRecords = 30;
  for (int status : RunChildren(kChildren, [](int c) {
         int failures = 0;
         LogMapper m;
         if (m.load_table(Int(7)) != 1) return 100;
         for (int i = 0; i < kRecords; ++i) {
           int id = 1000 * (c + 1) + i;
           if (m.table_exists(Int(7)) != 1) ++failures;  // a read opens the transaction
           auto* entry = new OarInfo;
           if (m.WriteToDB(id, objcrtOid, objcrtOid, AttrList({{notificationIdOid, Int(i)}}),
                           entry) != 1) {
             delete entry;
             ++failures;
           }
           if (LogMapper::commit() != 1) ++failures;
         }
         return failures < 100 ? failures : 99;
       })) {
    EXPECT_EQ(status, 0) << "failed writes in one child";
  }
  LogMapper* m = Keep(new LogMapper());
  ASSERT_EQ(m->load_table(Int(7)), 1);
  int rows = 0;
  Callback cb([](void* n, void* d) { *static_cast<int*>(n) += d != nullptr; }, &rows);
  ASSERT_EQ(m->get_all_log_recs(cb, 0), 1);
  EXPECT_EQ(rows, kChildren * kRecords);
}

QX_STORE_TESTS(LogLifecycleTest);

TEST(OutputStatusTest, EightLinesWithEveryInformixReplaced) {
  RWDBStatus s(RWDBStatus::serverError, "INFORMIX said INFORMIX", 42, 7, "vendor one", "vendor two",
               true);
  testing::internal::CaptureStdout();
  outputStatus(s);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out,
            "Component:        Tolk Mapper\n"
            "Error code:       6\n"
            "Error message     database said database\n"
            "Is terminal:      Yes\n"
            "Vendor error 1:   42\n"
            "Vendor error 2:   7\n"
            "Vendor message 1: vendor one\n"
            "Vendor message 2: vendor two\n");
}


}  // namespace
}  // namespace qx::test
