// The alarm operations, each against a baseline measured in the same run:
//   ack_vs_raw_sqlite, clear_vs_raw_sqlite  UpdateDBAck / UpdateDBClear of 20,000 alarms by
//                                record identifier, 1,000 per commit, against plain sqlite3
//                                calls running a prepared UPDATE by key of the same columns
//                                with the same values, on a table of the same rows;
//   clear_all_1m_vs_10k, lookup_1m_vs_10k  the time of one clear-all and of one alarm lookup
//                                of one managed object (ten matching alarms) in a log of
//                                1,000,000 alarms divided by the same in a log of 10,000;
//                                every managed object has about ten alarms, so that the rows
//                                touched are the same in both and only the table grows;
//   clear_all_100k_vs_10k_pg, lookup_100k_vs_10k_pg  the same on PostgreSQL (100,000
//                                against 10,000), when QXDB_BENCH_PG_URL or QXDB_TEST_PG_URL
//                                names a server database.
// A ratio of 1 means as fast as the baseline; the scaling figures should stay near 1.
//
//   alarm_ops_bench [--quick]   (--quick: 100,000 alarms instead of 1,000,000)
#include <unistd.h>

#include "bench/record_bench_util.h"
#include "infra/tolk_map/tables/qxalarm.h"
#include "infra/tolk_map/testing.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_reader.h"

namespace {

using namespace bench;

const Oid kEventType("2.9.3.2.10.2");       // communicationsAlarm
const Oid kOtherEventType("2.9.3.2.10.3");  // equipmentAlarm
const Oid kCause("2.9.3.2.0.0.58");         // powerProblem
constexpr int kPerObject = 10;              // alarms per managed object

// A small alarm about managed object `moi`: what the clear-all and the lookup compare,
// and a severity. The alarms of the measured object (1) all match.
Asn1Value small_alarm(int n, int moi) {
  bool match = moi == 1 || n % 2 == 0;
  return construct(
      TAG_SET,
      {pair(loggingTimeOid, gentime("20240301101500Z")),
       pair(eventTypeOid, oidv(match ? kEventType : kOtherEventType, TAG_CTX6)),
       pair(probableCauseOid, oidv(kCause, TAG_CTX6)), pair(perceivedSeverityOid, enumv(n % 6))});
}

// Fills `log` with `count` alarms, ten per managed object; object 1 gets the first ten.
bool fill(LogMapper* log, int first_id, int count) {
  for (int i = 0; i < count; ++i) {
    auto* entry = new OarInfo;
    unsigned long moi = 1 + static_cast<unsigned long>(i / kPerObject);
    entry->set_moiid(moi);
    if (log->WriteToDB(first_id + i, qxalarmOid, qxalarmOid, small_alarm(i, static_cast<int>(moi)),
                       entry) != 1) {
      delete entry;
      std::fprintf(stderr, "write failed\n");
      return false;
    }
    if ((i + 1) % 1000 == 0) LogMapper::commit();
  }
  LogMapper::commit();
  return true;
}

Asn1Value clear_list() {
  Asn1Value state;
  state.encode_enum(1);
  return construct(TAG_SET, {pair(clearStateOid, state),
                             pair(clearTimeOid, construct(TAG_CTX0, {gentime("20240302080000Z")})),
                             pair(clearOperatorOid, graph("operator")),
                             pair(eventTypeOid, oidv(kEventType, TAG_CTX6)),
                             pair(probableCauseOid, oidv(kCause, TAG_CTX6))});
}

// The best time of `rounds` clear-alls of managed object 1, each rolled back so that
// every round finds the same ten outstanding alarms.
double clear_all_seconds(LogMapper* log, int rounds) {
  Asn1Value list = clear_list();
  double best = 1e9;
  for (int r = 0; r < rounds; ++r) {
    auto t0 = Clock::now();
    if (log->UpdateDBClearAlarms(1, qxalarmOid, list) != 1) {
      std::fprintf(stderr, "clear-all failed\n");
      std::exit(1);
    }
    best = std::min(best, seconds_since(t0));
    LogMapper::abort();
  }
  return best;
}

// The scaling of clear-all and lookup between a log of `small` and one of `large`
// alarms, on the store QXDB_URL names; adds the two headline lines.
void scaling(int small, int large, const std::string& suffix, std::vector<std::string>& out) {
  const int rounds = 30;
  std::string tag = std::to_string(getpid());
  LogMapper* a = new_log("small_" + tag);
  LogMapper* b = new_log("large_" + tag);
  if (!fill(a, 1, small) || !fill(b, 1, large)) std::exit(1);
  double ca = clear_all_seconds(a, rounds), cb = clear_all_seconds(b, rounds);
  Asn1Value criteria = construct(TAG_SET, {pair(eventTypeOid, oidv(kEventType, TAG_CTX6)),
                                           pair(probableCauseOid, oidv(kCause, TAG_CTX6))});
  double la = lookup_seconds(a, 1, qxalarmOid, criteria, rounds, kPerObject);
  double lb = lookup_seconds(b, 1, qxalarmOid, criteria, rounds, kPerObject);
  std::printf("clear-all %d alarms %.1f us, %d alarms %.1f us\n", small, ca * 1e6, large, cb * 1e6);
  std::printf("lookup    %d alarms %.1f us, %d alarms %.1f us\n", small, la * 1e6, large, lb * 1e6);
  char line[128];
  std::snprintf(line, sizeof line, "clear_all_%s_vs_10k%s: %.2f", large >= 1000000 ? "1m" : "100k",
                suffix.c_str(), cb / ca);
  out.push_back(line);
  std::snprintf(line, sizeof line, "lookup_%s_vs_10k%s: %.2f", large >= 1000000 ? "1m" : "100k",
                suffix.c_str(), lb / la);
  out.push_back(line);
  for (LogMapper* m : {a, b}) {
    m->deleteDB(static_cast<char>(0));
    LogMapper::commit();
    delete m;
  }
}

// Acknowledges (or clears) `count` alarms through the library, then the same UPDATE by
// key through plain sqlite3 on a copy of the rows; adds the headline line.
void by_key(LogMapper* log, int first_id, int count, bool ack, const std::string& dir,
            std::vector<std::string>& out) {
  Asn1Value state;
  state.encode_enum(1);
  Asn1Value time = construct(TAG_CTX0, {gentime("20240302080000Z")});
  Asn1Value list = ack ? construct(TAG_SET, {pair(ackStateOid, state), pair(ackTimeOid, time),
                                             pair(ackOperatorOid, graph("operator")),
                                             pair(ackTextOid, graph("seen, ticket opened"))})
                       : construct(TAG_SET, {pair(clearStateOid, state), pair(clearTimeOid, time),
                                             pair(clearOperatorOid, graph("operator")),
                                             pair(clearTextOid, graph("fixed on site"))});
  // The raw side's table: a copy of the rows as they stand.
  const std::string table = log->get_table_name() + "qxAlm";
  Rows rows;
  {
    sqlite3* reader = open_raw(dir + "/store.db");
    read_rows(reader, table, rows, first_id);
    sqlite3_close(reader);
  }
  raw_write(dir + "/raw_alarms.db", QxAlarmT::description().event, rows);

  sqlite3* db = open_raw(dir + "/raw_alarms.db");
  const char* sql = ack ? "UPDATE raw SET ackstate = ?, acktime = ?, ackoperator = ?, acktext = ? "
                          "WHERE logrecordid = ?"
                        : "UPDATE raw SET clearstate = ?, cleartime = ?, clearoperator = ?, "
                          "cleartext = ? WHERE logrecordid = ?";
  sqlite3_stmt* st = nullptr;
  check(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), db, "prepare");
  // Rounds of each side in turn, the same rows each time; the best round of each side
  // counts, so that a burst of load on the machine does not decide the ratio.
  double lib = 0, raw = 0;
  for (int round = 0; round < 5; ++round) {
    auto t0 = Clock::now();
    for (int i = 0; i < count; ++i) {
      RespValue response;
      int rc = ack ? log->UpdateDBAck(first_id + i, list, response)
                   : log->UpdateDBClear(first_id + i, list, response);
      if (rc != 1) {
        std::fprintf(stderr, "%s failed\n", ack ? "acknowledge" : "clear");
        std::exit(1);
      }
      if ((i + 1) % 1000 == 0) LogMapper::commit();
    }
    LogMapper::commit();
    lib = std::max(lib, count / seconds_since(t0));

    t0 = Clock::now();
    check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
    for (int i = 0; i < count; ++i) {
      sqlite3_bind_text(st, 1, ack ? "acked" : "cleared", -1, SQLITE_STATIC);
      sqlite3_bind_text(st, 2, "2024-03-02 09:00:00.000+01:00", -1, SQLITE_STATIC);
      sqlite3_bind_text(st, 3, "operator", -1, SQLITE_STATIC);
      sqlite3_bind_text(st, 4, ack ? "seen, ticket opened" : "fixed on site", -1, SQLITE_STATIC);
      sqlite3_bind_int64(st, 5, first_id + i);
      check(sqlite3_step(st), db, "update");
      sqlite3_reset(st);
      if ((i + 1) % 1000 == 0)
        check(sqlite3_exec(db, "COMMIT; BEGIN", nullptr, nullptr, nullptr), db, "commit");
    }
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    raw = std::max(raw, count / seconds_since(t0));
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  std::printf("%-5s by key: library %9.0f rec/s   raw sqlite3 %9.0f rec/s\n", ack ? "ack" : "clear",
              lib, raw);
  char line[128];
  std::snprintf(line, sizeof line, "%s_vs_raw_sqlite: %.2f", ack ? "ack" : "clear", lib / raw);
  out.push_back(line);
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  std::string dir = sqlite_scratch("alarm_ops_bench");
  std::vector<std::string> headlines;

  {
    const int count = quick ? 5000 : 20000;
    LogMapper* log = new_log("keyed");
    std::vector<Asn1Value> lists;
    for (int i = 0; i < count; ++i) {
      auto* entry = new OarInfo;
      if (log->WriteToDB(1 + i, qxalarmOid, qxalarmOid, make_record(QXALARM_TABLE, qxalarmOid, i),
                         entry) != 1) {
        std::fprintf(stderr, "write failed\n");
        return 1;
      }
      if ((i + 1) % 1000 == 0) LogMapper::commit();
    }
    LogMapper::commit();
    by_key(log, 1, count, true, dir, headlines);
    by_key(log, 1, count, false, dir, headlines);
    delete log;
  }
  scaling(10000, quick ? 100000 : 1000000, "", headlines);

  if (const char* url = pg_url()) {
    qx::tolk_reset_for_tests();
    setenv("QXDB_URL", url, 1);
    scaling(10000, 100000, "_pg", headlines);
  }
  std::filesystem::remove_all(dir);
  for (const std::string& h : headlines) std::printf("%s\n", h.c_str());
  return 0;
}
