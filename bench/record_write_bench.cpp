// The headline figures of the record path, each against a raw baseline measured in the
// same run:
//   write_<class>_vs_raw_sqlite  WriteToDB of realistic records of each event class and of
//                                the three alarm classes
//                                (about fifteen attributes, managed objects from a pool of
//                                3,000, 1,000 records per commit) against plain sqlite3
//                                calls inserting the very same rows into a table of the
//                                same columns and indexes, with the store's settings;
//   read_all_vs_raw_sqlite       get_all_log_recs over 100,000 records against a raw
//                                scan of the same table reading every column;
//   write_<class>_vs_raw_pg      the same on PostgreSQL against plain libpq calls
//                                (PQprepare / PQexecPrepared), when QXDB_BENCH_PG_URL or
//                                QXDB_TEST_PG_URL names a server database;
//   alarm_cache_bytes_per_record the heap taken by the alarm state cache per record with
//                                a million cached records.
// Rates are records per second; a ratio of 1 means as fast as the raw calls.
//
//   record_write_bench [--quick]
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench/record_bench_util.h"
#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/attrvalchg.h"
#include "infra/tolk_map/tables/eventlog.h"
#include "infra/tolk_map/tables/objcrt.h"
#include "infra/tolk_map/tables/objdlt.h"
#include "infra/tolk_map/tables/qxalarm.h"
#include "infra/tolk_map/tables/relchg.h"
#include "infra/tolk_map/tables/secalm.h"
#include "infra/tolk_map/tables/statechg.h"
#include "infra/tolk_map/testing.h"
#include "platform/db/rwdb_connection.h"
#include "tolk.h"

namespace {

using namespace bench;

struct ClassCase {
  const char* name;
  TABLE_TYPE type;
  const Oid* cls;
  const qx::EventClass& (*description)();
};

}  // namespace

int main(int argc, char** argv) {
  bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  if (const char* pool = std::getenv("QX_BENCH_MO_POOL")) g_pool = std::max(1, std::atoi(pool));
  const int records = quick ? 5000 : 20000;
  const int scan_records = quick ? 20000 : 100000;
  const long cache_records = quick ? 200000 : 1000000;
  std::string dir =
      std::filesystem::temp_directory_path() / ("record_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::string store = dir + "/store.db";
  setenv("QXDB_URL", ("sqlite:" + store).c_str(), 1);

  const ClassCase classes[] = {
      {"objcrt", OBJCRT_TABLE, &objcrtOid, &ObjcrtT::description},
      {"objdlt", OBJDLT_TABLE, &objdltOid, &ObjdltT::description},
      {"relchg", RELCHG_TABLE, &relchgOid, &RelChgT::description},
      {"attrvalchg", ATTRVALCHG_TABLE, &attrvalchgOid, &AttrValChgT::description},
      {"secalm", SECALM_TABLE, &secalmOid, &SecAlmT::description},
      {"statechg", STATECHG_TABLE, &statechgOid, &StateChgT::description},
      {"qxalarm", QXALARM_TABLE, &qxalarmOid,
       []() -> const qx::EventClass& { return QxAlarmT::description().event; }},
      {"zkalarm", ZKALARM_TABLE, &zkalarmOid,
       []() -> const qx::EventClass& { return ZKAlarmT::description().event; }},
      {"intrnet", INTRNET_TABLE, &intrnetOid,
       []() -> const qx::EventClass& { return IntrNetT::description().event; }},
  };
  std::vector<std::string> headlines;
  char line[256];

  Asn1Value empty;
  empty.start_construct(TAG_SET);
  Asn1Value log_id = intv(7);
  auto* log = new LogMapper(log_id, empty, "", TolkMap::def_owner_id());
  if (!log->created()) {
    std::fprintf(stderr, "log not created\n");
    return 1;
  }
  sqlite3* reader = open_raw(store);
  int next_id = 1;
  // Each class in five rounds, library and raw side by side; the best round of each
  // side counts, so that a burst of load on the machine does not decide the ratio.
  const int rounds = 5;
  for (const ClassCase& c : classes) {
    double best_lib = 0;
    double best_raw = 0;
    for (int round = 0; round < rounds; ++round) {
      std::vector<Asn1Value> lists;
      lists.reserve(static_cast<size_t>(records));
      for (int i = 0; i < records; ++i) lists.push_back(make_record(c.type, *c.cls, next_id + i));
      LogMapper::commit();
      auto t0 = Clock::now();
      for (int i = 0; i < records; ++i) {
        auto* entry = new OarInfo;
        unsigned long moi = static_cast<unsigned long>((next_id + i) % g_pool);
        entry->set_moiid(moi);
        if (log->WriteToDB(next_id + i, *c.cls, *c.cls, lists[static_cast<size_t>(i)], entry) !=
            1) {
          std::fprintf(stderr, "write failed\n");
          return 1;
        }
        if ((i + 1) % 1000 == 0) LogMapper::commit();
      }
      LogMapper::commit();
      best_lib = std::max(best_lib, records / seconds_since(t0));
      Rows rows;
      read_rows(reader, log->get_table_name() + c.description().stem, rows, next_id);
      next_id += records;
      best_raw = std::max(best_raw, raw_write(dir + "/raw.db", c.description(), rows));
    }
    std::printf("write %-10s library %9.0f rec/s   raw sqlite3 %9.0f rec/s\n", c.name, best_lib,
                best_raw);
    std::snprintf(line, sizeof line, "write_%s_vs_raw_sqlite: %.2f", c.name, best_lib / best_raw);
    headlines.push_back(line);
  }

  // get_all_log_recs over one table of scan_records records against a raw scan (the
  // table holds the rounds above already).
  {
    int base = next_id;
    int more = std::max(0, scan_records - rounds * records);
    next_id += more;
    for (int i = 0; i < more; ++i) {
      auto* entry = new OarInfo;
      Asn1Value rec = make_record(OBJDLT_TABLE, objdltOid, base + i);
      log->WriteToDB(base + i, objdltOid, objdltOid, rec, entry);
      if ((i + 1) % 1000 == 0) LogMapper::commit();
    }
    LogMapper::commit();
    LogMapper* table = log->get_table(OBJDLT_TABLE);
    long seen = 0;
    Callback cb([](void* c, void* d) { *static_cast<long*>(c) += d != nullptr; }, &seen);
    sqlite3_stmt* st = nullptr;
    std::string sql = "SELECT * FROM \"" + log->get_table_name() + "obdel\"";
    check(sqlite3_prepare_v2(reader, sql.c_str(), -1, &st, nullptr), reader, "scan");
    long raw_rows = 0;
    size_t bytes = 0;
    double lib = 0;
    double raw = 0;
    for (int round = 0; round < rounds; ++round) {  // the best round of each side
      seen = 0;
      auto t0 = Clock::now();
      table->get_all_log_recs(cb, 0);
      lib = std::max(lib, static_cast<double>(seen) / seconds_since(t0));
      raw_rows = 0;
      sqlite3_reset(st);
      t0 = Clock::now();
      while (sqlite3_step(st) == SQLITE_ROW) {
        int n = sqlite3_column_count(st);
        for (int i = 0; i < n; ++i) {
          switch (sqlite3_column_type(st, i)) {
            case SQLITE_INTEGER:
              bytes += static_cast<size_t>(sqlite3_column_int64(st, i) & 1);
              break;
            case SQLITE_BLOB:
              sqlite3_column_blob(st, i);
              bytes += static_cast<size_t>(sqlite3_column_bytes(st, i));
              break;
            case SQLITE_TEXT:
              sqlite3_column_text(st, i);
              bytes += static_cast<size_t>(sqlite3_column_bytes(st, i));
              break;
            default:
              break;
          }
        }
        ++raw_rows;
      }
      raw = std::max(raw, static_cast<double>(raw_rows) / seconds_since(t0));
    }
    sqlite3_finalize(st);
    std::printf("read all  %ld records: library %9.0f rec/s   raw scan %9.0f rec/s (%zu bytes)\n",
                seen, lib, raw, bytes);
    std::snprintf(line, sizeof line, "read_all_vs_raw_sqlite: %.2f", lib / raw);
    headlines.push_back(line);
  }
  sqlite3_close(reader);

  // The same writes on PostgreSQL, when a server is named.
  const char* pg_url = std::getenv("QXDB_BENCH_PG_URL");
  if (pg_url == nullptr || *pg_url == '\0') pg_url = std::getenv("QXDB_TEST_PG_URL");
  if (pg_url != nullptr && *pg_url != '\0') {
    delete log;
    qx::tolk_reset_for_tests();
    setenv("QXDB_URL", pg_url, 1);
    Asn1Value pg_id;
    pg_id.encode_octets("bench_" + std::to_string(getpid()), TAG_GRAPHSTR);
    log = new LogMapper(pg_id, empty, "", TolkMap::def_owner_id());
    if (!log->created()) {
      std::fprintf(stderr, "log not created on postgresql\n");
      return 1;
    }
    PGconn* raw = pg_connect(pg_url);
    pg_exec(raw, "SET client_min_messages = warning");
    const int pg_records = quick ? 2000 : 10000;
    // The best round of each side, as on SQLite.
    for (const ClassCase& c : classes) {
      double best_lib = 0;
      double best_raw = 0;
      for (int round = 0; round < rounds; ++round) {
        std::vector<Asn1Value> lists;
        for (int i = 0; i < pg_records; ++i)
          lists.push_back(make_record(c.type, *c.cls, next_id + i));
        LogMapper::commit();
        auto t0 = Clock::now();
        for (int i = 0; i < pg_records; ++i) {
          auto* entry = new OarInfo;
          if (log->WriteToDB(next_id + i, *c.cls, *c.cls, lists[static_cast<size_t>(i)], entry) !=
              1) {
            std::fprintf(stderr, "write failed on postgresql\n");
            return 1;
          }
          if ((i + 1) % 1000 == 0) LogMapper::commit();
        }
        LogMapper::commit();
        best_lib = std::max(best_lib, pg_records / seconds_since(t0));
        PgRows rows;
        std::string table = log->get_table_name() + c.description().stem;
        for (char& ch : table) ch = static_cast<char>(std::tolower(ch));
        pg_read_rows(raw, table, rows, next_id);
        next_id += pg_records;
        best_raw = std::max(best_raw, pg_raw_write(raw, c.description(), rows));
      }
      std::printf("write %-10s library %9.0f rec/s   raw libpq   %9.0f rec/s\n", c.name, best_lib,
                  best_raw);
      std::snprintf(line, sizeof line, "write_%s_vs_raw_pg: %.2f", c.name, best_lib / best_raw);
      headlines.push_back(line);
    }
    log->deleteDB(static_cast<char>(0));
    LogMapper::commit();
    PQfinish(raw);
  }

  // The alarm state cache: heap per cached record.
  {
    LogMapper* m = log;
    size_t before = mallinfo2().uordblks;
    for (long i = 1; i <= cache_records; ++i) {
      m->update_log_record_hash(static_cast<unsigned long>(10000000 + i * 7), QXALARM_TABLE,
                                static_cast<unsigned long>(i % 3000), 0, 3);
    }
    size_t after = mallinfo2().uordblks;
    double per = static_cast<double>(after - before) / static_cast<double>(cache_records);
    std::printf("alarm cache: %ld records, %.1f bytes per record\n", cache_records, per);
    std::snprintf(line, sizeof line, "alarm_cache_bytes_per_record: %.1f", per);
    headlines.push_back(line);
  }
  delete log;
  std::filesystem::remove_all(dir);
  for (const std::string& h : headlines) std::printf("%s\n", h.c_str());
  return 0;
}
