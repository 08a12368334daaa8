// History and retention, each against a baseline measured in the same run, on SQLite:
//   ack_with_history_vs_without  UpdateDBAck of 20,000 alarms by identifier, 1,000 per
//                                commit, in a log that keeps the action history (each
//                                acknowledge also appends its history row) against the
//                                same in a log that keeps none; best of three rounds each;
//   purge_vs_raw_delete          LogMapper::purge of the oldest 100,000 records of a log of
//                                1,000,000 (the work out of what to delete, batches of
//                                10,000 each committed, the cache and bookkeeping) against a
//                                raw DELETE of the same rows by plain sqlite3 calls in one
//                                transaction (timed, then rolled back), on the same table.
// A ratio of 1 means as fast as the baseline.
//
//   retention_bench [--quick]   (--quick: 5,000 alarms; a log of 100,000, purging 10,000)
#include <unistd.h>

#include "bench/record_bench_util.h"
#include "infra/tolk_map/alarm_history.h"
#include "infra/tolk_map/testing.h"

namespace {

using namespace bench;

LogMapper* new_log(const std::string& name) {
  Asn1Value empty;
  empty.start_construct(TAG_SET);
  Asn1Value id;
  id.encode_octets(name, TAG_GRAPHSTR);
  auto* log = new LogMapper(id, empty, "", TolkMap::def_owner_id());
  if (!log->created()) {
    std::fprintf(stderr, "log %s not created\n", name.c_str());
    std::exit(1);
  }
  return log;
}

void fill(LogMapper* log, TABLE_TYPE type, const Oid& cls, int count) {
  for (int i = 0; i < count; ++i) {
    auto* entry = new OarInfo;
    if (log->WriteToDB(1 + i, cls, cls, make_record(type, cls, i), entry) != 1) {
      std::fprintf(stderr, "write failed\n");
      std::exit(1);
    }
    if ((i + 1) % 1000 == 0) LogMapper::commit();
  }
  LogMapper::commit();
}

// The best rate of `rounds` rounds acknowledging every alarm (and taking it back in the
// next round).
double ack_rate(LogMapper* log, int count, int rounds) {
  double best = 0;
  for (int round = 0; round < rounds; ++round) {
    Asn1Value state;
    state.encode_enum(round % 2 == 0 ? 1 : 0);
    Asn1Value list = construct(
        TAG_SET, {pair(ackStateOid, state),
                  pair(ackTimeOid, construct(TAG_CTX0, {gentime("20240302080000Z")})),
                  pair(ackOperatorOid, graph("operator")), pair(ackTextOid, graph("seen"))});
    auto t0 = Clock::now();
    for (int i = 0; i < count; ++i) {
      RespValue response;
      if (log->UpdateDBAck(1 + i, list, response) != 1) {
        std::fprintf(stderr, "acknowledge failed\n");
        std::exit(1);
      }
      if ((i + 1) % 1000 == 0) LogMapper::commit();
    }
    LogMapper::commit();
    best = std::max(best, count / seconds_since(t0));
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  std::string dir =
      std::filesystem::temp_directory_path() / ("retention_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  setenv("QXDB_URL", ("sqlite:" + dir + "/store.db").c_str(), 1);
  std::vector<std::string> headlines;
  char line[128];
  {
    const int count = quick ? 5000 : 20000;
    unsetenv("QX_ALARM_HISTORY");
    qx::reset_alarm_history_switch();
    LogMapper* without = new_log("without");
    fill(without, QXALARM_TABLE, qxalarmOid, count);
    setenv("QX_ALARM_HISTORY", "1", 1);
    qx::reset_alarm_history_switch();
    LogMapper* with = new_log("with");
    fill(with, QXALARM_TABLE, qxalarmOid, count);
    double a = 0, b = 0;
    for (int r = 0; r < 2; ++r) {  // interleaved, so that the machine's load hits both
      a = std::max(a, ack_rate(without, count, 2));
      b = std::max(b, ack_rate(with, count, 2));
    }
    std::printf("ack without history %9.0f rec/s   with history %9.0f rec/s\n", a, b);
    std::snprintf(line, sizeof line, "ack_with_history_vs_without: %.2f", b / a);
    headlines.push_back(line);
    delete without;
    delete with;
    unsetenv("QX_ALARM_HISTORY");
    qx::reset_alarm_history_switch();
  }
  {
    const int total = quick ? 100000 : 1000000;
    const int purged = total / 10;
    LogMapper* log = new_log("retained");
    fill(log, OBJCRT_TABLE, objcrtOid, total);
    // make_record gives record n a logging time that grows with n within each day of
    // the month: the oldest records are those of the first days, not the first
    // identifiers. The raw side deletes exactly the rows the purge selects: it reads
    // them first, then deletes them by identifier.
    const std::string table = log->get_table_name() + "ObCre";
    std::vector<long long> ids;
    sqlite3* db = open_raw(dir + "/store.db");
    {
      std::string sql = "SELECT logrecordid FROM \"" + table +
                        "\" ORDER BY loggingtime, logrecordid LIMIT " + std::to_string(purged);
      sqlite3_stmt* st = nullptr;
      check(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), db, "prepare");
      while (sqlite3_step(st) == SQLITE_ROW) ids.push_back(sqlite3_column_int64(st, 0));
      sqlite3_finalize(st);
    }
    sqlite3_stmt* del = nullptr;
    std::string sql = "DELETE FROM \"" + table + "\" WHERE logrecordid = ?";
    check(sqlite3_prepare_v2(db, sql.c_str(), -1, &del, nullptr), db, "prepare");
    double raw = 1e9;
    for (int round = 0; round < 2; ++round) {
      auto t0 = Clock::now();
      check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
      for (long long id : ids) {
        sqlite3_bind_int64(del, 1, id);
        check(sqlite3_step(del), db, "delete");
        sqlite3_reset(del);
      }
      raw = std::min(raw, seconds_since(t0));
      check(sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr), db, "rollback");
    }
    sqlite3_finalize(del);
    sqlite3_close(db);
    LogMapper::PurgeOptions options;
    options.keep = total - purged;
    LogMapper::PurgeResult result;
    auto t0 = Clock::now();
    if (log->purge(options, &result) != 1 || result.purged != static_cast<unsigned long>(purged)) {
      std::fprintf(stderr, "purge failed: %s\n", LogMapper::last_failure().c_str());
      return 1;
    }
    double lib = seconds_since(t0);
    std::printf("purge %d of %d records: library %.3f s   raw DELETE %.3f s\n", purged, total,
                lib, raw);
    std::snprintf(line, sizeof line, "purge_vs_raw_delete: %.2f", raw / lib);
    headlines.push_back(line);
    delete log;
  }
  std::filesystem::remove_all(dir);
  for (const std::string& h : headlines) std::printf("%s\n", h.c_str());
  return 0;
}
