// Start-up against a raw scan, in the same run, on the embedded store:
//   startup_vs_raw_scan_sqlite  the time of init_log_handles over 20 logs holding
//                               1,000,000 records of every class (event records, alarms of
//                               the three alarm tables, records the blob table keeps) against
//                               the time of a plain sqlite3 scan of the same tables, reading
//                               the columns start-up reads into a hash map by record
//                               identifier (raw seconds / start-up seconds: 1 is as fast);
//   startup_bytes_per_record    the heap start-up keeps per cached record (every mapper and
//                               table object of the 20 logs included).
// Each side takes the best of three rounds, in turn.
//
//   startup_bench [--quick]   (--quick: 100,000 records instead of 1,000,000)
#include <malloc.h>
#include <unistd.h>

#include <unordered_map>

#include "bench/record_bench_util.h"
#include "infra/tolk_map/testing.h"

namespace {

using namespace bench;

constexpr int kLogs = 20;

// Every class in turn: the six event tables, the three alarm tables, and a class the
// blob table keeps.
struct Kind {
  TABLE_TYPE type;
  const Oid* cls;
};
const Oid kAlarmRecord("2.9.3.2.3.1");
const Kind kKinds[] = {{OBJCRT_TABLE, &objcrtOid},     {OBJDLT_TABLE, &objdltOid},
                       {RELCHG_TABLE, &relchgOid},     {ATTRVALCHG_TABLE, &attrvalchgOid},
                       {STATECHG_TABLE, &statechgOid}, {SECALM_TABLE, &secalmOid},
                       {QXALARM_TABLE, &qxalarmOid},   {ZKALARM_TABLE, &zkalarmOid},
                       {INTRNET_TABLE, &intrnetOid},   {BLOB_TABLE, &kAlarmRecord}};

Asn1Value log_name(int i) {
  Asn1Value id;
  id.encode_octets("startup_" + std::to_string(i), TAG_GRAPHSTR);
  return id;
}

void fill(int records) {
  Asn1Value empty;
  empty.start_construct(TAG_SET);
  int per_log = records / kLogs;
  for (int l = 0; l < kLogs; ++l) {
    LogMapper log(log_name(l), empty, "", TolkMap::def_owner_id());
    if (!log.created()) {
      std::fprintf(stderr, "log not created\n");
      std::exit(1);
    }
    for (int i = 0; i < per_log; ++i) {
      const Kind& k = kKinds[i % std::size(kKinds)];
      auto* entry = new OarInfo;
      unsigned long moi = static_cast<unsigned long>(1 + i % g_pool);
      entry->set_moiid(moi);
      int n = l * per_log + i;
      Asn1Value list = make_record(k.type, *k.cls, n);
      if (k.type == BLOB_TABLE) {  // an alarm of its own class
        list.add_component(pair(perceivedSeverityOid, enumv(n % 6)));
      }
      if (log.WriteToDB(1 + i, *k.cls, *k.cls, list, entry) != 1) {
        std::fprintf(stderr, "write failed: %s\n", LogMapper::last_failure().c_str());
        std::exit(1);
      }
      if ((i + 1) % 2000 == 0) LogMapper::commit();
    }
    LogMapper::commit();
  }
}

// One start-up of every log; the mappers are destroyed afterwards, outside the time.
double startup_seconds(size_t& cached, size_t& heap) {
  qx::tolk_reset_for_tests();
  std::vector<Asn1Value> ids;
  Callback logs(
      [](void* c, void* data) {
        auto* resp = static_cast<RespValue*>(data);
        if (resp == nullptr) return;
        Asn1Value id;
        resp->find_value(logIdOid, id);
        static_cast<std::vector<Asn1Value>*>(c)->push_back(id.copy());
        delete resp;
      },
      &ids);
  malloc_trim(0);
  size_t before = heap_in_use();
  auto t0 = Clock::now();
  if (LogMapper::init_log_handles(logs, no_op_cb) != 1) {
    std::fprintf(stderr, "start-up failed: %s\n", LogMapper::last_failure().c_str());
    std::exit(1);
  }
  double s = seconds_since(t0);
  heap = heap_in_use() - before;
  cached = 0;
  for (const Asn1Value& id : ids) {
    LogMapper* m = LogMapper::find_log_handle(id);
    cached += m->cached_records();
    delete m;
  }
  LogMapper::commit();
  return s;
}

// The same tables read with plain sqlite3 calls: the columns start-up reads, each row
// entered in a hash map by record identifier.
double raw_scan_seconds(const std::string& path, size_t& rows) {
  auto t0 = Clock::now();
  sqlite3* db = open_raw(path);
  std::vector<std::string> tables;
  sqlite3_stmt* st = nullptr;
  check(sqlite3_prepare_v2(
            db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name LIKE 'qxi%'", -1, &st,
            nullptr),
        db, "prepare");
  while (sqlite3_step(st) == SQLITE_ROW) {
    tables.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  }
  sqlite3_finalize(st);
  std::unordered_map<uint32_t, uint64_t> cache;
  rows = 0;
  for (const std::string& t : tables) {
    // The columns start-up reads where the table has them.
    std::vector<std::string> columns;
    check(sqlite3_prepare_v2(db, ("PRAGMA table_info(\"" + t + "\")").c_str(), -1, &st, nullptr),
          db, "prepare");
    while (sqlite3_step(st) == SQLITE_ROW) {
      std::string c = lower(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
      if (c == "logrecordid" || c == "moi_id" || c == "clearstate" || c == "perceivedseverity" ||
          c == "moi" || c == "cleared" || c == "severity") {
        columns.push_back(c);
      }
    }
    sqlite3_finalize(st);
    if (columns.empty() || columns[0] != "logrecordid") continue;
    std::string sql = "SELECT ";
    for (size_t i = 0; i < columns.size(); ++i) sql += (i ? ", \"" : "\"") + columns[i] + "\"";
    sql += " FROM \"" + t + "\"";
    check(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), db, "prepare");
    while (sqlite3_step(st) == SQLITE_ROW) {
      uint64_t v = 0;
      for (int i = 1; i < static_cast<int>(columns.size()); ++i) {
        if (sqlite3_column_type(st, i) == SQLITE_TEXT) {
          v = v * 31 + static_cast<uint64_t>(sqlite3_column_bytes(st, i));
        } else {
          v = v * 31 + static_cast<uint64_t>(sqlite3_column_int64(st, i));
        }
      }
      cache[static_cast<uint32_t>(sqlite3_column_int64(st, 0))] = v;
      ++rows;
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return seconds_since(t0);
}

// Where the start-up of one log goes: opening it, and each table's walk.
void breakdown() {
  qx::tolk_reset_for_tests();
  LogMapper m;
  auto t0 = Clock::now();
  if (m.load_table(log_name(0)) != 1) return;
  std::printf("log 0: opened in %.1f ms;", seconds_since(t0) * 1e3);
  for (int t = 0; t < NUM_TABLE_TYPES; ++t) {
    LogMapper* table = m.get_table(static_cast<TABLE_TYPE>(t));
    if (table == nullptr) continue;
    t0 = Clock::now();
    table->get_all_almsvc_recs(no_op_cb, 1);
    std::printf(" %d: %.1f ms", t, seconds_since(t0) * 1e3);
  }
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  const int records = quick ? 100000 : 1000000;
  std::string dir =
      std::filesystem::temp_directory_path() / ("startup_bench_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::string path = dir + "/store.db";
  setenv("QXDB_URL", ("sqlite:" + path).c_str(), 1);
  auto t0 = Clock::now();
  fill(records);
  std::printf("%d records in %d logs written in %.1f s\n", records, kLogs, seconds_since(t0));

  double lib = 1e9, raw = 1e9;
  size_t cached = 0, heap = 0, rows = 0;
  for (int round = 0; round < 3; ++round) {
    size_t h = 0;
    lib = std::min(lib, startup_seconds(cached, h));
    heap = round == 0 ? h : std::min(heap, h);
    raw = std::min(raw, raw_scan_seconds(path, rows));
  }
  if (cached != static_cast<size_t>(records)) {
    std::fprintf(stderr, "start-up cached %zu records of %d\n", cached, records);
    return 1;
  }
  std::printf("start-up %.3f s (%zu records cached), raw scan %.3f s (%zu rows)\n", lib, cached,
              raw, rows);
  breakdown();
  std::printf("startup_vs_raw_scan_sqlite: %.2f\n", raw / lib);
  std::printf("startup_bytes_per_record: %.1f\n", static_cast<double>(heap) / records);
  std::filesystem::remove_all(dir);
  return 0;
}
