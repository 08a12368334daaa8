// Faults at every step, on both stores: a statement or a commit that fails anywhere in
// a log's creation, a record's write, update, acknowledgement and clear, the clear of
// all alarms, a record's and a log's deletion is reported, leaves the tables as the
// transaction found them, and the alarm state cache as the tables are; the reason names
// the step and carries the database's message.
#include <gmock/gmock.h>

#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/alarmlog.h"
#include "infra/tolk_map/tables/eventlog.h"
#include "infra/tolk_map/testing.h"
#include "platform/db/fault_driver.h"
#include "platform/db/rwdb_connection.h"
#include "platform/value/exception.h"
#include "tests/tolk_map/store_fixture.h"

namespace qx::test {
namespace {

using ::testing::HasSubstr;

const Oid kAlarmRecord("2.9.3.2.3.1");  // no table of its own: the blob table keeps it
const char* const kCommunicationsAlarm = "2.9.3.2.10.2";
const char* const kPowerProblem = "2.9.3.2.0.0.58";
constexpr uint32_t kHighestId = 20;  // every record of these tests is below

Attrs Alarm(long severity, bool with_class = false) {
  Attrs a = {{eventTypeOid, Oidv(kCommunicationsAlarm, TAG_CTX6)},
             {probableCauseOid, Oidv(kPowerProblem, TAG_CTX6)},
             {perceivedSeverityOid, Enum(severity)},
             {moiOid, Dn("ne-1")},
             {additionalTextOid, Graph("fan stopped")}};
  if (with_class) {
    Asn1Value cls;
    cls.encode_oid(kAlarmRecord, TAG_CTX0);
    a.push_back({objectClassOid, cls});
  }
  return a;
}

Attrs Cleared(const char* op) {
  return {{clearStateOid, Enum(1)},
          {clearTimeOid, Set({GenTime("20240302080000Z")}, TAG_CTX0)},
          {clearOperatorOid, Graph(op)}};
}

// A mapper's alarm state cache, as text.
std::string CacheImage(LogMapper* m) {
  std::ostringstream out;
  out << m->cached_records() << " cached\n";
  for (uint32_t id = 0; id <= kHighestId; ++id) {
    ExceptionScope scope;
    unsigned long moi = 0;
    unsigned char state = 0, severity = 0;
    unsigned short type = 0;
    if (m->ReadOarInfo(static_cast<int>(id), moi, state, severity) != 1) continue;
    m->get_table_type(id, type);
    out << id << ": type " << type << " moi " << moi << " state " << int(state) << " severity "
        << int(severity) << "\n";
  }
  return out.str();
}

class FaultInjectionTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    plan_ = InjectFaults();
  }

  // Writes a record; the cache entry of an alarm holds what start-up would enter.
  static int Write(LogMapper* m, int id, const Oid& cls, const Attrs& attrs,
                   unsigned long moi = 0) {
    auto* entry = new OarInfo;
    entry->set_moiid(moi);
    for (const auto& [attr, value] : attrs) {
      long severity = 0;
      unsigned char state = 0;
      if (attr == perceivedSeverityOid && value.decode_int(severity)) {
        auto byte = static_cast<unsigned char>(severity);
        entry->set_clear_severity(state, byte);
      }
    }
    if (m->WriteToDB(id, cls, cls, AttrList(attrs), entry) != 1) {
      delete entry;
      return 0;
    }
    return 1;
  }

  // The log as a new process finds it: each record as its table object reads it back,
  // with what start-up enters in the cache, in a mapper of its own; "no log" when the
  // log cannot be loaded.
  std::string Stored(long log) {
    LogMapper fresh;
    ExceptionScope scope;
    if (fresh.load_table(Int(log)) != 1 || fresh.get_all_almsvc_recs(no_op_cb, 1) != 1) {
      return "no log";
    }
    std::string image = CacheImage(&fresh);
    for (uint32_t id = 0; id <= kHighestId; ++id) {
      unsigned short type = 0;
      if (fresh.get_table_type(id, type) != 1) continue;
      RespValue r;
      if (fresh.ReadfromDB(static_cast<int>(id), r) != 1) {
        image += std::to_string(id) + " does not read back\n";
        continue;
      }
      std::map<std::string, std::string> attrs;
      for (const auto& e : r) attrs[e->id().format()] = e->value().to_string();
      image += std::to_string(id) + ":";
      for (const auto& [k, v] : attrs) image += " " + k + "=" + v;
      image += "\n";
    }
    return image;
  }

  // Stored, and the live mapper's cache, which must be that of the tables.
  std::string Image(LogMapper* live, long log) {
    std::string stored = Stored(log);
    if (live != nullptr && stored != "no log") {
      std::string cache = CacheImage(live);
      EXPECT_EQ(stored.substr(0, cache.size()), cache) << "the cache is not as the tables are";
    }
    return stored;
  }

  // Runs `op` with the n-th statement from now failing, for every n until it runs
  // without a fault, each time followed by an abort; then once more whole, with its
  // commit failing. Each time the operation reports the failure and the log is as
  // before. Finally it runs and commits.
  void Sweep(const char* what, LogMapper* live, long log, const std::function<int()>& op) {
    SCOPED_TRACE(what);
    std::string before = Image(live, log);
    for (int n = 1;; ++n) {
      SCOPED_TRACE(n);
      ASSERT_LT(n, 200);
      int injected = plan_->injected;
      plan_->failStatement = n;
      int rc = op();
      plan_->failStatement = 0;
      if (plan_->injected == injected) {
        ASSERT_EQ(rc, 1) << LogMapper::last_failure();
        break;
      }
      EXPECT_EQ(rc, 0) << "a failed statement reported as success";
      LogMapper::abort();
      ASSERT_EQ(Image(live, log), before);
    }
    LogMapper::abort();
    ASSERT_EQ(Image(live, log), before);
    plan_->failCommit = 1;
    ASSERT_EQ(op(), 1) << LogMapper::last_failure();
    EXPECT_EQ(LogMapper::commit(), 0);
    plan_->failCommit = 0;
    ASSERT_EQ(Image(live, log), before) << "after a failed commit";
    ASSERT_EQ(op(), 1) << LogMapper::last_failure();
    ASSERT_EQ(LogMapper::commit(), 1);
    EXPECT_NE(Image(live, log), before) << "the operation changed nothing";
  }

  // A log 7 with one object creation record 1, committed.
  LogMapper* LogWithRecord() {
    LogMapper* m = NewLog();
    EXPECT_EQ(WriteRecord(m, 1, objcrtOid, AttrList({{notificationIdOid, Int(1)}})), 1);
    EXPECT_EQ(LogMapper::commit(), 1);
    return m;
  }
  // Fails the next statement that reaches the server.
  void FailNextStatement() {
    plan_->statements = 0;
    plan_->failStatement = 1;
  }

  std::shared_ptr<qx::db::FaultPlan> plan_;
};

TEST_P(FaultInjectionTest, RecordOperationsFailWholeAndTheCacheFollowsTheTables) {
  LogMapper* m = Keep(new LogMapper(Int(7), AttrList({}), "", Graph("root")));
  ASSERT_TRUE(m->created());
  ASSERT_EQ(Write(m, 1, objcrtOid, {{notificationIdOid, Int(1)}}), 1);
  ASSERT_EQ(Write(m, 2, qxalarmOid, Alarm(2), 17), 1);
  unsigned long ne1 = static_cast<unsigned long>(LogMapper::moi_number(Dn("ne-1")));
  ASSERT_EQ(Write(m, 3, kAlarmRecord, Alarm(3, true), ne1), 1);
  ASSERT_EQ(Write(m, 4, qxalarmOid, Alarm(4), 17), 1);
  ASSERT_EQ(LogMapper::commit(), 1);

  Sweep("event write", m, 7, [&] {
    return Write(m, 10, objcrtOid, {{notificationIdOid, Int(10)}});
  });
  Sweep("alarm write", m, 7, [&] { return Write(m, 11, qxalarmOid, Alarm(5), 17); });
  Sweep("blob write", m, 7, [&] { return Write(m, 12, kAlarmRecord, Alarm(1, true), ne1); });
  Sweep("update", m, 7, [&] { return m->UpdateDB(1, AttrList({{notificationIdOid, Int(99)}})); });
  Sweep("acknowledge", m, 7, [&] {
    RespValue r;
    return m->UpdateDBAck(2, AttrList({{ackStateOid, Enum(1)}, {ackOperatorOid, Graph("al")}}), r);
  });
  Sweep("blob clear", m, 7, [&] {
    RespValue r;
    return m->UpdateDBClear(3, AttrList(Cleared("bo")), r);
  });
  Sweep("clear", m, 7, [&] {
    RespValue r;
    return m->UpdateDBClear(2, AttrList(Cleared("cy")), r);
  });
  Sweep("clear-all", m, 7, [&] {
    Attrs all = Cleared("di");
    all.push_back({eventTypeOid, Oidv(kCommunicationsAlarm, TAG_CTX6)});
    // The caller marks the records it selected in the cache.
    return m->UpdateDBClearAlarms(17, qxalarmOid, AttrList(all)) == 1 && m->UpdateDBClear(4) == 1 &&
                   m->UpdateDBClear(11) == 1
               ? 1
               : 0;
  });
  Sweep("record deletion", m, 7,
        [&] { return m->deleteDB(1) == 1 && m->deleteDB(12) == 1 ? 1 : 0; });
}

// Start-up tells the alarm callback of a log only once the log has loaded whole: a row
// that cannot be read in a log's second alarm table leaves the log out, unannounced.
TEST_P(FaultInjectionTest, StartUpAnnouncesOnlyTheAlarmsOfLogsItLoaded) {
  for (long log : {7, 8}) {
    LogMapper* m = Keep(new LogMapper(Int(log), AttrList({}), "", Graph("root")));
    ASSERT_TRUE(m->created());
    ASSERT_EQ(Write(m, 1, qxalarmOid, Alarm(2), 17), 1);
    ASSERT_EQ(Write(m, 2, zkalarmOid, Alarm(3), 17), 1);
  }
  ASSERT_EQ(LogMapper::commit(), 1);
  struct Seen {
    std::set<std::string> loaded, announced;
    std::vector<Asn1Value> ids;  // of the logs loaded
  };
  Callback log_cb([](void* s, void* data) {
    auto* resp = static_cast<RespValue*>(data);
    if (resp == nullptr) return;
    Asn1Value id;
    resp->find_value(logIdOid, id);
    static_cast<Seen*>(s)->loaded.insert(id.to_string());
    static_cast<Seen*>(s)->ids.push_back(id);
    delete resp;
  });
  Callback alarm_cb([](void* s, void* data) {
    if (auto* lrv = static_cast<LogRespValue*>(data)) {
      static_cast<Seen*>(s)->announced.insert(lrv->get_log_id().to_string());
    }
  });
  bool some_log_failed = false;
  for (int n = 1;; ++n) {
    SCOPED_TRACE(n);
    ASSERT_LT(n, 300);
    Restart();
    Seen seen;
    log_cb = Callback(log_cb.function(), &seen);
    alarm_cb = Callback(alarm_cb.function(), &seen);
    int injected = plan_->injected;
    plan_->failRow = n;
    LogMapper::init_log_handles(log_cb, alarm_cb);
    plan_->failRow = 0;
    for (const Asn1Value& id : seen.ids) Keep(LogMapper::find_log_handle(id));
    for (const std::string& log : seen.announced) {
      EXPECT_EQ(seen.loaded.count(log), 1u) << "log " << log << " announced but not loaded";
    }
    some_log_failed |= seen.loaded.size() == 1;
    if (plan_->injected == injected) {
      EXPECT_EQ(seen.announced, seen.loaded);
      break;
    }
  }
  EXPECT_TRUE(some_log_failed) << "no row fault hit a log's alarm tables";
}

// Creating a log commits the caller's open work first: when that commit fails, the work
// is gone, and the creation says so instead of reporting a log made on top of it.
TEST_P(FaultInjectionTest, LogCreationFailsWhenTheOpenWorkCannotBeCommitted) {
  LogMapper* m = Keep(new LogMapper(Int(7), AttrList({}), "", Graph("root")));
  ASSERT_TRUE(m->created());
  ASSERT_EQ(LogMapper::commit(), 1);
  ASSERT_EQ(Write(m, 1, objcrtOid, {{notificationIdOid, Int(1)}}), 1);
  plan_->failCommit = 1;
  auto other = std::make_unique<LogMapper>(Int(8), AttrList({}), "", Graph("root"));
  plan_->failCommit = 0;
  EXPECT_FALSE(other->created());
  EXPECT_NE(LogMapper::last_failure().find("could not be committed"), std::string::npos)
      << LogMapper::last_failure();
  EXPECT_EQ(Stored(8), "no log");
  EXPECT_EQ(Image(m, 7), Stored(7));
  unsigned short type = 0;
  EXPECT_NE(m->get_table_type(1, type), 1) << "the lost record is still cached";
  // Nothing is left in the way: the same creation succeeds now.
  other = std::make_unique<LogMapper>(Int(8), AttrList({}), "", Graph("root"));
  ASSERT_TRUE(other->created()) << LogMapper::last_failure();
  Keep(other.release());
}

TEST_P(FaultInjectionTest, LogCreationAndDeletionFailWhole) {
  Attrs attrs = {{maxlogszOid, Int(1000)}};
  // Creation commits on its own: whether the n-th statement or the n-th commit fails,
  // the log is created whole or leaves no trace.
  long log = 8;
  for (int* fault : {&plan_->failStatement, &plan_->failCommit}) {
    for (int n = 1;; ++n) {
      SCOPED_TRACE(n);
      ASSERT_LT(n, 300);
      int injected = plan_->injected;
      *fault = n;
      auto m = std::make_unique<LogMapper>(Int(log), AttrList(attrs), "", Graph("root"));
      *fault = 0;
      if (plan_->injected == injected) {
        ASSERT_TRUE(m->created()) << LogMapper::last_failure();
        Keep(m.release());
        break;
      }
      if (m->created()) {
        // A step whose failure the creation may pass over: the log is whole all the same,
        // and goes for the next round.
        ASSERT_NE(Stored(log), "no log");
        ASSERT_EQ(m->deleteDB(char(0)), 1);
        ASSERT_EQ(LogMapper::commit(), 1);
        continue;
      }
      EXPECT_EQ(LogMapper::find_log_handle(Int(log)), nullptr);
      EXPECT_EQ(Stored(log), "no log");
      EXPECT_EQ(CountRows("Log", "LogId", std::to_string(log)), 0);
    }
    ++log;
  }

  LogMapper* m = LogMapper::find_log_handle(Int(8));
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(Write(m, 1, objcrtOid, {{notificationIdOid, Int(1)}}), 1);
  ASSERT_EQ(Write(m, 2, qxalarmOid, Alarm(2), 17), 1);
  unsigned long ne1 = static_cast<unsigned long>(LogMapper::moi_number(Dn("ne-1")));
  ASSERT_EQ(Write(m, 3, kAlarmRecord, Alarm(3, true), ne1), 1);
  ASSERT_EQ(LogMapper::commit(), 1);
  // Deleting it fails whole at every step; the mapper still works on every table.
  Sweep("log deletion", m, 8, [&] { return m->deleteDB(char(0)); });
  EXPECT_EQ(Stored(8), "no log");
}

// Why an operation failed: last_failure() gives the reason the failing step raised, with
// the database's own message where the database refused.
TEST_P(FaultInjectionTest, RefusedWritesUpdatesAndDeletesCarryTheDatabaseMessage) {
  LogMapper* m = LogWithRecord();
  FailNextStatement();
  auto entry = std::make_unique<OarInfo>();
  ASSERT_EQ(m->WriteToDB(2, objcrtOid, objcrtOid, AttrList({}), entry.get()), 0);
  EXPECT_THAT(LogMapper::last_failure(), HasSubstr("refused: injected fault"));
  EXPECT_THAT(LogMapper::last_failure(), HasSubstr("insert into qxi"));

  FailNextStatement();
  ASSERT_EQ(m->UpdateDB(1, AttrList({{notificationIdOid, Int(9)}})), 0);
  EXPECT_THAT(LogMapper::last_failure(), HasSubstr("update of qxi"));
  EXPECT_THAT(LogMapper::last_failure(), HasSubstr("injected fault"));

  FailNextStatement();
  ASSERT_EQ(m->deleteDB(1), 0);
  EXPECT_THAT(LogMapper::last_failure(), HasSubstr("delete from qxi"));
  EXPECT_THAT(LogMapper::last_failure(), HasSubstr("injected fault"));

  ASSERT_EQ(m->deleteDB(5), 0);
  EXPECT_THAT(LogMapper::last_failure(), HasSubstr("record 5 not cached"));
  EXPECT_EQ(m->deleteDB(1), 1);
  EXPECT_EQ(LogMapper::last_failure(), "") << "a new operation starts without a reason";
}

TEST_P(FaultInjectionTest, ABrokenReadOfTheLogTableIsNotAMissingLog) {
  LogWithRecord();
  Restart();
  LogMapper scratch;
  ASSERT_TRUE(LogMapper::aConnection().isValid());
  FailNextStatement();
  EXPECT_EQ(scratch.load_table(Int(7)), 0);
  EXPECT_THAT(LogMapper::last_failure(), HasSubstr("the log table cannot be read: injected fault"));

  LogMapper other;
  EXPECT_EQ(other.load_table(Int(8)), 0);
  EXPECT_THAT(LogMapper::last_failure(), HasSubstr("no log 8 is stored"));
}

QX_STORE_TESTS(FaultInjectionTest);

TEST(OpenFailureTest, AStoreThatCannotBeOpenedSaysWhy) {
  setenv("QXDB_URL", "sqlite:/nonexistent-directory/store.db", 1);
  qx::tolk_reset_for_tests();
  {
    LogMapper scratch;
    EXPECT_THAT(LogMapper::last_failure(), HasSubstr("cannot open the database"));
    EXPECT_THAT(LogMapper::last_failure(), HasSubstr("unable to open database file"));
  }
  setenv("QXDB_URL", "mysql://h/d", 1);
  qx::tolk_reset_for_tests();
  {
    LogMapper scratch;
    EXPECT_THAT(LogMapper::last_failure(), HasSubstr("QXDB_URL"));
  }
  unsetenv("QXDB_URL");
  qx::tolk_reset_for_tests();
}


}  // namespace
}  // namespace qx::test
