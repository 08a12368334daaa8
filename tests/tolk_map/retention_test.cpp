// Retention on both stores: purges by count and by time across every record class, in
// the order of logging time then identifier, keeping outstanding alarms unless asked; the
// cache and the bookkeeping follow; enforce applies maxLogSize, logFullAction and
// capacityAlarmThreshold, reporting each threshold once, also across a restart; and a
// purge killed half-way loses nothing it should keep.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <set>

#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/alarmlog.h"
#include "infra/tolk_map/testing.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_selector.h"
#include "platform/db/rwdb_table.h"
#include "platform/value/exception.h"
#include "tests/tolk_map/store_fixture.h"

namespace qx::test {
namespace {

// "202403011015SSZ" with SS seconds.
Asn1Value At(int second) {
  char text[32];
  std::snprintf(text, sizeof text, "20240301%02d%02d%02dZ", 10 + second / 3600, (second / 60) % 60,
                second % 60);
  return GenTime(text);
}

class RetentionTest : public StoreTest {
 protected:
  // A record of `cls` logged at `second` (none for -1); alarms are cleared unless
  // `outstanding`.
  void Write(LogMapper* m, int id, int second, const Oid& cls, bool outstanding = false) {
    Attrs a = {{eventTypeOid, Oidv("2.9.3.2.10.2", TAG_CTX6)}, {moiOid, Dn("ne-1")}};
    if (second >= 0) a.push_back({loggingTimeOid, At(second)});
    bool alarm = cls == qxalarmOid || cls == actualClassOid;
    if (alarm) a.push_back({perceivedSeverityOid, Enum(2)});
    if (alarm && !outstanding) a.push_back({clearStateOid, Enum(1)});
    if (cls == actualClassOid) a.push_back({objectClassOid, Oidv("1.3.6.1.4.1.32473.5.1")});
    // A cleared alarm of an alarm table: its clearState column is written by the write.
    ASSERT_EQ(WriteRecord(m, id, cls, AttrList(a)), 1);
  }
  // The records of the log, by reading each identifier the cache knows.
  std::set<unsigned long> Stored(LogMapper* m, unsigned long upto = 100) {
    std::set<unsigned long> out;
    for (unsigned long id = 1; id <= upto; ++id) {
      RespValue r;
      ExceptionScope scope;
      if (m->ReadfromDB(static_cast<int>(id), r) == 1) out.insert(id);
    }
    return out;
  }
};

TEST_P(RetentionTest, PurgesTheOldestByLoggingTimeThenIdentifierAcrossClasses) {
  LogMapper* m = NewLog();
  // Logging times out of identifier order, three classes; 6 is an outstanding alarm,
  // 8 has no logging time (the oldest of all).
  Write(m, 1, 50, objcrtOid);
  Write(m, 2, 10, qxalarmOid);
  Write(m, 3, 30, actualClassOid);
  Write(m, 4, 10, objcrtOid);
  Write(m, 5, 40, qxalarmOid);
  Write(m, 6, 5, qxalarmOid, true);
  Write(m, 7, 60, actualClassOid, true);
  Write(m, 8, -1, objcrtOid);
  LogMapper::commit();
  EXPECT_EQ(m->current_log_size(), 8u * 500);
  LogMapper::PurgeOptions keep4;
  keep4.keep = 4;
  keep4.batch = 2;
  LogMapper::PurgeResult r;
  ASSERT_EQ(m->purge(keep4, &r), 1) << LogMapper::last_failure();
  // Oldest first, 6 kept: 8 (no time), 2 (10 s), 4 (10 s), 3 (30 s).
  EXPECT_EQ(r.purged, 4u);
  EXPECT_EQ(r.batches, 2u);
  EXPECT_EQ(Stored(m), (std::set<unsigned long>{1, 5, 6, 7}));
  EXPECT_EQ(m->cached_records(), 4u);
  EXPECT_EQ(m->current_log_size(), 4u * 500);
  EXPECT_EQ(m->get_lowest_id(), 1u);
  EXPECT_EQ(m->get_highest_id(), 7u);

  // By time: everything logged before 55 s that may go.
  LogMapper::PurgeOptions before;
  before.before = At(55);
  ASSERT_EQ(m->purge(before, &r), 1) << LogMapper::last_failure();
  EXPECT_EQ(r.purged, 2u);
  EXPECT_EQ(Stored(m), (std::set<unsigned long>{6, 7}));
  EXPECT_EQ(m->get_lowest_id(), 6u);

  // Only outstanding alarms left: nothing goes unless asked.
  LogMapper::PurgeOptions all;
  all.keep = 0;
  ASSERT_EQ(m->purge(all, &r), 1);
  EXPECT_EQ(r.purged, 0u);
  all.outstanding = true;
  ASSERT_EQ(m->purge(all, &r), 1);
  EXPECT_EQ(r.purged, 2u);
  EXPECT_EQ(m->cached_records(), 0u);
  // An empty log: nothing to do.
  ASSERT_EQ(m->purge(all, &r), 1);
  EXPECT_EQ(r.purged, 0u);
  Restart();
  m = Load();
  EXPECT_EQ(m->cached_records(), 0u);
  LogMapper::PurgeOptions nothing;
  EXPECT_EQ(m->purge(nothing, &r), 0);  // names neither a count nor a time
  LogMapper::PurgeOptions bad;
  bad.before = Int(3);
  EXPECT_EQ(m->purge(bad, &r), 0);
}

// The suite runs in Europe/Berlin, where 02:00 to 03:00 of 27 October 2024 came twice:
// a purge by time goes by the instant, whatever offset a record was logged with.
TEST_P(RetentionTest, APurgeByTimeGoesByTheInstantAcrossAChangeOfOffset) {
  LogMapper* m = NewLog();
  auto logged = [&](int id, const char* time) {
    Attrs a = {{eventTypeOid, Oidv("2.9.3.2.10.2", TAG_CTX6)},
               {moiOid, Dn("ne-1")},
               {loggingTimeOid, GenTime(time)}};
    ASSERT_EQ(WriteRecord(m, id, objcrtOid, AttrList(a)), 1);
  };
  logged(1, "20241027003000Z");  // 02:30 summer time
  logged(2, "20241027011500Z");  // 02:15 standard time, 45 minutes later
  logged(3, "20241027004500Z");  // 02:45 summer time
  logged(4, "20241026220000Z");  // the evening before
  LogMapper::commit();
  LogMapper::PurgeOptions before;
  before.before = GenTime("20241027010000Z");  // 02:00 standard time
  LogMapper::PurgeResult r;
  ASSERT_EQ(m->purge(before, &r), 1) << LogMapper::last_failure();
  EXPECT_EQ(r.purged, 3u);
  EXPECT_EQ(Stored(m), (std::set<unsigned long>{2}));

  // With a count as well: at most that many, the oldest first.
  logged(5, "20241027003000Z");
  logged(6, "20241027004500Z");
  LogMapper::commit();
  before.keep = 2;  // of the three records, one goes: the oldest before the time
  ASSERT_EQ(m->purge(before, &r), 1) << LogMapper::last_failure();
  EXPECT_EQ(r.purged, 1u);
  EXPECT_EQ(Stored(m), (std::set<unsigned long>{2, 6}));
}

TEST_P(RetentionTest, EnforceWrapsHaltsAndReportsEachThresholdOnce) {
  Asn1Value thresholds = Set({Int(50), Int(80)});
  LogMapper* m = NewLog(7, {{maxlogszOid, Unsigned(2500)},
                            {logfullOid, Enum(0)},
                            {capacityAlarmThresholdOid, thresholds}});
  LogMapper::EnforceResult r;
  ASSERT_EQ(m->enforce(&r), 1) << LogMapper::last_failure();  // empty
  EXPECT_EQ(r.size, 0u);
  EXPECT_TRUE(r.thresholds_crossed.empty());
  for (int id = 1; id <= 3; ++id) Write(m, id, id, objcrtOid);
  LogMapper::commit();
  ASSERT_EQ(m->enforce(&r), 1);
  EXPECT_EQ(r.thresholds_crossed, std::vector<long>{50});
  ASSERT_EQ(m->enforce(&r), 1);
  EXPECT_TRUE(r.thresholds_crossed.empty());
  for (int id = 4; id <= 8; ++id) Write(m, id, id, objcrtOid);
  LogMapper::commit();
  ASSERT_EQ(m->enforce(&r), 1);
  EXPECT_EQ(r.purged, 3u);  // wrap: down to 2500 octets, 5 records
  EXPECT_EQ(r.size, 2500u);
  EXPECT_TRUE(r.full);
  EXPECT_EQ(r.thresholds_crossed, std::vector<long>{80});
  EXPECT_EQ(Stored(m), (std::set<unsigned long>{4, 5, 6, 7, 8}));
  Restart();
  m = Load();
  ASSERT_EQ(m->enforce(&r), 1);
  EXPECT_TRUE(r.thresholds_crossed.empty());  // reported before the restart

  // halt: the log is reported full in its availability status, and no longer once it is
  // below its maximum.
  ASSERT_EQ(m->UpdateDB(AttrList({{logfullOid, Enum(1)}}), {}, {}), 1);
  LogMapper::commit();
  ASSERT_EQ(m->enforce(&r), 1);
  EXPECT_TRUE(r.full);
  EXPECT_EQ(r.purged, 0u);
  EXPECT_EQ(r.availability, "logFull");
  bool found = false;
  for (const Log& log : AllLogs()) {
    Asn1Value v;
    if (log.find(avstatusOid, v)) found = true;
  }
  EXPECT_TRUE(found);
  LogMapper::PurgeOptions keep2;
  keep2.keep = 2;
  ASSERT_EQ(m->purge(keep2), 1);
  ASSERT_EQ(m->enforce(&r), 1);
  EXPECT_FALSE(r.full);
  EXPECT_EQ(r.availability, "");
  EXPECT_TRUE(r.thresholds_crossed.empty());
  for (int id = 9; id <= 10; ++id) Write(m, id, id, objcrtOid);
  LogMapper::commit();
  ASSERT_EQ(m->enforce(&r), 1);
  EXPECT_EQ(r.thresholds_crossed, (std::vector<long>{50, 80}));  // crossed again
}

// A purge in a child process killed with SIGKILL between batches: the records it
// deleted are a prefix of the oldest it was to delete, every other record and every
// outstanding alarm is there, and the next purge ends the work.
TEST_P(RetentionTest, APurgeKilledHalfWayLosesNothingItShouldKeep) {
  const int n = 2000;
  LogMapper* m = NewLog();
  for (int id = 1; id <= n; ++id) {
    // Identifiers in reverse order of time; every tenth an outstanding alarm.
    Write(m, id, n - id, id % 10 == 0 ? qxalarmOid : objcrtOid, id % 10 == 0);
  }
  LogMapper::commit();
  Restart();
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    LogMapper log;
    if (log.load_table(Int(7)) != 1 || log.get_all_almsvc_recs(no_op_cb, 1) != 1) _exit(2);
    LogMapper::PurgeOptions keep;
    keep.keep = 100;
    keep.batch = 1;
    _exit(log.purge(keep) == 1 ? 0 : 1);
  }
  // Wait until some batches are done, then kill it.
  m = Load();
  std::string table = m->get_table_name() + "ObCre";
  auto left = [&] {
    RWDBTable t = LogMapper::aDB_().table(table);
    RWDBSelector sel = LogMapper::aDB_().selector();
    sel << t["logrecordid"];
    RWDBReader r = sel.reader(LogMapper::aConnection());
    long rows = 0;
    while (r()) ++rows;
    LogMapper::commit();
    return rows;
  };
  for (int i = 0; i < 20000 && left() > 1800 - 20; ++i) usleep(500);
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  Restart();
  m = Load();
  std::set<unsigned long> stored = Stored(m, n);
  EXPECT_LT(stored.size(), static_cast<size_t>(n));
  EXPECT_GT(stored.size(), 100u) << "the purge ended before it was killed";
  // The oldest go first: what is gone are the highest identifiers (the oldest times),
  // never an outstanding alarm.
  unsigned long gone_from = n + 1;
  for (unsigned long id = n; id >= 1 && (id % 10 == 0 || stored.count(id) == 0); --id) {
    gone_from = id;
  }
  for (unsigned long id = 1; id <= static_cast<unsigned long>(n); ++id) {
    bool outstanding = id % 10 == 0;
    EXPECT_TRUE(stored.count(id) == 1 || (!outstanding && id >= gone_from)) << id;
  }
  LogMapper::PurgeOptions keep;
  keep.keep = 100;
  ASSERT_EQ(m->purge(keep), 1);
  // The 200 outstanding alarms alone are more than 100: they are what is left.
  EXPECT_EQ(m->cached_records(), 200u);
  stored = Stored(m, n);
  EXPECT_EQ(stored.size(), 200u);
  for (unsigned long id = 10; id <= static_cast<unsigned long>(n); id += 10) {
    EXPECT_EQ(stored.count(id), 1u) << id;
  }
}

QX_STORE_TESTS(RetentionTest);

}  // namespace
}  // namespace qx::test
