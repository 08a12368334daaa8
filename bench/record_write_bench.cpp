// The headline figures of the record path, each against a raw baseline measured in the
// same run:
//   write_<class>_vs_raw_sqlite  WriteToDB of realistic records of each event class and of
//                                the three alarm classes
//                                (about fifteen attributes, managed objects from a pool of
//                                10,000 with a realistic skew, 1,000 records per commit)
//                                against plain sqlite3 calls inserting the very same rows
//                                into a table of the same columns and indexes, with the
//                                store's settings, the two sides writing batches of 1,000
//                                in turn into tables that grow alike;
//   read_all_vs_raw_sqlite       get_all_log_recs over 100,000 records against a raw
//                                scan of the same table reading every column;
//   read_all_floor_vs_raw_sqlite the same records made by direct calls of the value
//                                library, without the mapper, and handed in a RespValue
//                                (floor_scan), against the raw scan: how near any reading
//                                that hands records to its caller can come to it;
//   write_<class>_vs_raw_pg      the same on PostgreSQL against plain libpq calls
//                                (PQprepare / PQexecPrepared), the two sides writing
//                                batches of 1,000 in turn into tables that grow alike,
//                                client and server pinned to processors of their own
//                                for both sides (Placement in record_bench_util.h; the
//                                scheduler left alone gives one side short round trips
//                                and the other long ones at random);
//   write_<class>_vs_raw_pg_one_cpu  the same with client and server on one processor:
//                                their work alone, without the cost of waking each
//                                other across processors;
//   read_all_vs_raw_pg           get_all_log_recs over 100,000 records against a raw
//                                single-row-mode scan, when QXDB_BENCH_PG_URL or
//                                QXDB_TEST_PG_URL names a server database;
//   alarm_cache_bytes_per_record the heap taken by the alarm state cache per record with
//                                a million cached records, the entries included;
//   write_instructions_per_record  instructions per WriteToDB (the mean over the record
//   read_instructions_per_row    classes) and per row of get_all_log_recs on SQLite,
//                                counted by callgrind inside the measured calls only (the
//                                _pg figures: the client's on PostgreSQL); per class, and
//                                the raw baselines' own, on the lines before them.
// Rates are records per second; a ratio of 1 means as fast as the raw calls. Each write
// figure also prints the microseconds per record: elapsed, this process's CPU and the
// server's CPU (when it runs on this machine).
//
//   record_write_bench [--quick]
// QX_BENCH_CLASSES=qxalarm,zkalarm measures the write figures of those classes only;
// QX_BENCH_MO_POOL sets the number of managed objects.
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
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
#include "platform/db/civil.h"
#include "platform/db/rwdb_connection.h"
#include "platform/value/generalized_time.h"
#include "tolk.h"

namespace {

using namespace bench;

struct ClassCase {
  const char* name;
  TABLE_TYPE type;
  const Oid* cls;
  const qx::EventClass& (*description)();
};

const ClassCase kClasses[] = {
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

// The class whose table the read figures scan.
const ClassCase& kScanned = kClasses[1];

// Whether the write figures of class `c` are measured: every class, unless
// QX_BENCH_CLASSES names some ("qxalarm,intrnet"), which a comparison of two builds on
// one class wants.
bool selected(const ClassCase& c) {
  const char* only = std::getenv("QX_BENCH_CLASSES");
  if (only == nullptr || *only == '\0') return true;
  const std::string list = std::string(",") + only + ",";
  return list.find(std::string(",") + c.name + ",") != std::string::npos;
}

// Writes `count` realistic records of class `c` from record `first` on, 1,000 per
// commit (the records are made before, outside the time); records per second. The
// writes are counted as "write <class>" with `suffix`; `cpu` (when given) gets the CPU
// time they took added.
double library_write(LogMapper* log, const ClassCase& c, int first, int count,
                     const std::string& suffix = "", CpuSeconds* cpu = nullptr) {
  std::vector<Asn1Value> lists;
  lists.reserve(static_cast<size_t>(count));
  std::vector<unsigned long> mois;
  mois.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    lists.push_back(make_record(c.type, *c.cls, first + i));
    mois.push_back(static_cast<unsigned long>(object_of(first + i)));
  }
  LogMapper::commit();
  const CpuSeconds cpu0 = cpu ? cpu_seconds() : CpuSeconds();  // outside the counted calls
  count_begin();
  auto t0 = Clock::now();
  for (int i = 0; i < count; ++i) {
    auto* entry = new OarInfo;
    entry->set_moiid(mois[static_cast<size_t>(i)]);
    if (log->WriteToDB(first + i, *c.cls, *c.cls, lists[static_cast<size_t>(i)], entry) != 1) {
      std::fprintf(stderr, "write failed\n");
      std::exit(1);
    }
    if ((i + 1) % 1000 == 0) LogMapper::commit();
  }
  LogMapper::commit();
  double rate = count / seconds_since(t0);
  count_end(std::string("write ") + c.name + suffix, count);
  if (cpu) cpu->add_since(cpu0);
  return rate;
}

// Hands every record of the table of `type` to a callback that counts them; records per
// second. Counted as "read" with `suffix`.
double library_read(LogMapper* log, TABLE_TYPE type, long& seen, const std::string& suffix = "") {
  seen = 0;
  Callback cb([](void* c, void* d) { *static_cast<long*>(c) += d != nullptr; }, &seen);
  count_begin();
  auto t0 = Clock::now();
  if (log->get_table(type)->get_all_log_recs(cb, 0) != 1) {
    std::fprintf(stderr, "read failed\n");
    std::exit(1);
  }
  double rate = static_cast<double>(seen) / seconds_since(t0);
  count_end("read" + suffix, seen);
  return rate;
}

// The least a reading that hands records to the caller can cost: a scan of the table of
// `c` that makes, by direct calls of the value library and without the mapper, the
// values of each record and hands them in a RespValue, the response a caller is given.
// Each value costs no more than the response's would: a number column becomes an
// INTEGER, a time column (stored text) a GeneralizedTime in UTC, any other text read by
// the table an OCTET STRING (no name is looked up), and the stored list is checked (a
// damaged store must not hand out broken values) and each of its pairs taken whole,
// sharing the list's buffer. Every element gets a copy of one identifier, none is
// decoded. Columns that the table does not read (the printed list values) are passed
// over. Rows per second; counted as "floor scan".
double floor_scan(sqlite3_stmt* st, const ClassCase& c) {
  enum class Make { kSkip, kNumber, kTime, kText, kList };
  std::vector<Make> make;
  for (const qx::ColumnDef& col : c.description().columns) {
    const std::string key = lower(col.name);
    auto reads = [&](std::span<const ReaderSpec> specs) {
      for (const ReaderSpec& r : specs) {
        if (key == r.key) return r.rdr != rdr_qxlist;
      }
      return false;
    };
    const bool read = reads(qx::common_event_readers()) || reads(c.description().readers);
    switch (col.type) {
      case RWDBValue::UnsignedLong:
        make.push_back(read ? Make::kNumber : Make::kSkip);
        break;
      case RWDBValue::DateTime:
        make.push_back(read ? Make::kTime : Make::kSkip);
        break;
      case RWDBValue::Blob:
        make.push_back(Make::kList);
        break;
      default:
        make.push_back(read ? Make::kText : Make::kSkip);
    }
  }
  const Oid& id = logRecordIdOid;
  RespValue values;
  long rows = 0;
  sqlite3_reset(st);
  count_begin();
  auto t0 = Clock::now();
  while (sqlite3_step(st) == SQLITE_ROW) {
    values.clear();
    values.reserve(2 * make.size());  // room for a list of that many pairs as well
    for (int i = 0; i < static_cast<int>(make.size()); ++i) {
      if (make[static_cast<size_t>(i)] == Make::kSkip || sqlite3_column_type(st, i) == SQLITE_NULL)
        continue;
      Asn1Value v;
      if (make[static_cast<size_t>(i)] == Make::kNumber) {
        v.encode_unsigned(static_cast<unsigned long>(sqlite3_column_int64(st, i)));
        values.adopt_entry(id, std::move(v));
        continue;
      }
      const char* p = static_cast<const char*>(sqlite3_column_blob(st, i));
      const size_t n = static_cast<size_t>(sqlite3_column_bytes(st, i));
      switch (make[static_cast<size_t>(i)]) {
        case Make::kTime: {
          int64_t ms = 0;
          int32_t offset = 0;
          char text[GeneralizedTime::kUtcTextMax];
          if (!qx::db::parse_date_time(p, n, &ms, &offset)) break;
          v.encode_octets(text, GeneralizedTime::utc_text(TimeStamp::from_millis(ms), text),
                          TAG_GENTIME);
          break;
        }
        case Make::kText:
          v.encode_octets(p, n);
          break;
        case Make::kList: {
          Asn1Value list;
          if (!Asn1Value::decode(p, n, list)) break;
          for (const Asn1Value& pair : list.components()) values.adopt_entry(id, Asn1Value(pair));
          continue;
        }
        case Make::kNumber:
        case Make::kSkip:
          break;
      }
      values.adopt_entry(id, std::move(v));
    }
    ++rows;
  }
  double rate = static_cast<double>(rows) / seconds_since(t0);
  count_end("floor scan", rows);
  return rate;
}

// Fills the scanned table up to `total` records from record `next` on.
void fill_scanned(LogMapper* log, int& next, int have, int total) {
  for (int i = 0; i < total - have; ++i, ++next) {
    auto* entry = new OarInfo;
    Asn1Value rec = make_record(kScanned.type, *kScanned.cls, next);
    log->WriteToDB(next, *kScanned.cls, *kScanned.cls, rec, entry);
    if ((i + 1) % 1000 == 0) LogMapper::commit();
  }
  LogMapper::commit();
}

std::string lower_table(LogMapper* log, const ClassCase& c) {
  return lower(log->get_table_name() + c.description().stem);
}

// The counting run (see instruction_count.h): each class's writes and the raw writes of
// the same rows, then a read of the scanned table and a raw scan of it, on SQLite and,
// when a server is named, on PostgreSQL.
int count_run(bool quick) {
  g_counting = true;
  const int records = quick ? 300 : 1000;
  const int warm = 300;  // written first, not counted: caches as a running process has them
  const int scanned = quick ? 2000 : 5000;
  std::string dir = sqlite_scratch("record_count");
  std::string store = dir + "/store.db";
  LogMapper* log = new_log(intv(7));
  sqlite3* reader = open_raw(store);
  int next = 1;
  for (const ClassCase& c : kClasses) {
    library_write(log, c, next, warm, " warm-up");
    next += warm;
    library_write(log, c, next, records);
    Rows rows;
    read_rows(reader, lower_table(log, c), rows, next);
    next += records;
    raw_write(dir + "/raw.db", c.description(), rows, std::string("raw write ") + c.name);
  }
  fill_scanned(log, next, warm + records, scanned);
  long seen = 0;
  library_read(log, kScanned.type, seen);
  sqlite3_stmt* st = nullptr;
  check(sqlite3_prepare_v2(reader, ("SELECT * FROM \"" + lower_table(log, kScanned) + "\"").c_str(),
                           -1, &st, nullptr),
        reader, "scan");
  size_t bytes = 0;
  raw_scan(st, bytes);
  floor_scan(st, kScanned);
  sqlite3_finalize(st);
  sqlite3_close(reader);

  if (const char* url = pg_url()) {
    delete log;
    qx::tolk_reset_for_tests();
    setenv("QXDB_URL", url, 1);
    log = new_log(graph("count_" + std::to_string(getpid())));
    PGconn* raw = pg_connect(url);
    pg_exec(raw, "SET client_min_messages = warning");
    const int pg_records = quick ? 100 : 300;
    for (const ClassCase& c : kClasses) {
      library_write(log, c, next, warm, " warm-up pg");
      next += warm;
      library_write(log, c, next, pg_records, " pg");
      PgRows rows;
      pg_read_rows(raw, lower_table(log, c), rows, next);
      next += pg_records;
      pg_raw_write(raw, c.description(), rows, std::string("raw write pg ") + c.name);
    }
    fill_scanned(log, next, warm + pg_records, scanned);
    library_read(log, kScanned.type, seen, " pg");
    pg_raw_scan(raw, lower_table(log, kScanned), bytes);
    log->deleteDB(static_cast<char>(0));
    LogMapper::commit();
    PQfinish(raw);
  }
  delete log;
  std::filesystem::remove_all(dir);
  return 0;
}

// The instruction counts of the counting run, one line per class and a headline of each.
void report_counts(bool quick, std::vector<std::string>& headlines) {
  std::vector<std::string> args;
  if (quick) args.push_back("--quick");
  std::map<std::string, double> n = count_instructions(args);
  if (n.empty()) return;
  char line[256];
  for (const char* store : {"", " pg"}) {
    double sum = 0;
    int classes = 0;
    for (const ClassCase& c : kClasses) {
      std::string lib = std::string("write ") + c.name + store;
      std::string raw = std::string(*store ? "raw write pg " : "raw write ") + c.name;
      if (n.count(lib) == 0) continue;
      std::printf("instructions per record: write %-10s library %8.0f   raw %8.0f%s\n", c.name,
                  n[lib], n[raw], store);
      sum += n[lib];
      ++classes;
    }
    if (classes == 0) continue;
    std::string read = std::string("read") + store;
    std::string scan = std::string(*store ? "raw scan pg" : "raw scan");
    std::printf("instructions per row: read all  library %8.0f   raw %8.0f%s\n", n[read], n[scan],
                store);
    std::string suffix = *store ? "_pg" : "";
    std::snprintf(line, sizeof line, "write_instructions_per_record%s: %.0f", suffix.c_str(),
                  sum / classes);
    headlines.push_back(line);
    std::snprintf(line, sizeof line, "read_instructions_per_row%s: %.0f", suffix.c_str(), n[read]);
    headlines.push_back(line);
  }
}

}  // namespace

// The write figure of one class ("write_<class>_vs_raw_<store>: RATIO"): `records`
// records in batches of 1,000, library and raw in turn, the raw side (a writer made by
// `make` on the first batch's rows, read back with `read`) into tables that it keeps, as
// the library keeps its log. Both sides fill tables of the same size, and a burst of load
// on the machine or of the server's own work falls on both; the rates are over all
// batches.
template <class RowsT, class Writer, class Read, class Make>
std::string write_figure(LogMapper* log, const ClassCase& c, int records, int& next_id,
                         const char* raw_name, const char* store, Read read, Make make) {
  constexpr int kBatch = 1000;
  double lib_seconds = 0;
  double raw_seconds = 0;
  std::unique_ptr<Writer> writer;
  const int batches = records / kBatch;
  CpuSeconds lib_cpu, raw_cpu;  // summed over the batches
  for (int b = 0; b < batches; ++b) {
    lib_seconds += kBatch / library_write(log, c, next_id, kBatch, "", &lib_cpu);
    RowsT rows;
    read(lower_table(log, c), rows, next_id);
    next_id += kBatch;
    const RawTable table[] = {{c.description().columns, c.description().indexes}};
    const RowsT* const all[] = {&rows};
    if (!writer)
      writer = make(std::span<const RawTable>(table), std::span<const RowsT* const>(all));
    raw_seconds += writer->write(all, "raw write", &raw_cpu);
  }
  const double written = static_cast<double>(batches) * kBatch;
  std::printf("write %-10s library %9.0f rec/s   raw %s %9.0f rec/s\n", c.name,
              written / lib_seconds, raw_name, written / raw_seconds);
  // Microseconds per record: elapsed, this process's CPU, the server's CPU (0 for an
  // embedded store or a server elsewhere).
  auto us = [&](double s) { return s * 1e6 / written; };
  std::printf(
      "  us per record: library %6.1f (client %5.1f, server %5.1f)   raw %6.1f (client "
      "%5.1f, server %5.1f)\n",
      us(lib_seconds), us(lib_cpu.client), us(lib_cpu.server), us(raw_seconds), us(raw_cpu.client),
      us(raw_cpu.server));
  char line[128];
  std::snprintf(line, sizeof line, "write_%s_vs_raw_%s: %.2f", c.name, store,
                raw_seconds / lib_seconds);
  return line;
}

int main(int argc, char** argv) {
  bool quick = false;
  bool counting = false;
  for (int i = 1; i < argc; ++i) {
    quick |= std::strcmp(argv[i], "--quick") == 0;
    counting |= std::strcmp(argv[i], kCountArgument) == 0;
  }
  if (const char* pool = std::getenv("QX_BENCH_MO_POOL")) g_pool = std::max(1, std::atoi(pool));
  if (counting) return count_run(quick);
  const int records = quick ? 5000 : 20000;
  const int scan_records = quick ? 20000 : 100000;
  const long cache_records = quick ? 200000 : 1000000;
  std::string dir = sqlite_scratch("record_bench");
  std::string store = dir + "/store.db";

  std::vector<std::string> headlines;
  char line[256];

  LogMapper* log = new_log(intv(7));
  sqlite3* reader = open_raw(store);
  int next_id = 1;
  // Each class in batches of 1,000 records, library and raw in turn (write_figure), the
  // raw side into tables of one store of its own.
  const int rounds = 5;
  std::filesystem::remove(dir + "/raw.db");
  sqlite3* raw_store = open_raw(dir + "/raw.db");
  for (const ClassCase& c : kClasses) {
    if (!selected(c)) continue;
    headlines.push_back(write_figure<Rows, SqliteRawWriter>(
        log, c, rounds * records, next_id, "sqlite3", "sqlite",
        [&](const std::string& table, Rows& rows, int first) {
          read_rows(reader, table, rows, first);
        },
        [&](auto tables, auto rows) {
          return std::make_unique<SqliteRawWriter>(raw_store, tables, rows,
                                                   std::string("raw_") + c.name);
        }));
  }
  sqlite3_close(raw_store);

  // get_all_log_recs over one table of scan_records records against a raw scan (the
  // table holds the rounds above already).
  {
    fill_scanned(log, next_id, selected(kScanned) ? rounds * records : 0, scan_records);
    sqlite3_stmt* st = nullptr;
    std::string sql = "SELECT * FROM \"" + lower_table(log, kScanned) + "\"";
    check(sqlite3_prepare_v2(reader, sql.c_str(), -1, &st, nullptr), reader, "scan");
    long seen = 0;
    size_t bytes = 0;
    double lib = 0;
    double raw = 0;
    double floor = 0;
    for (int round = 0; round < rounds; ++round) {  // the best round of each side
      lib = std::max(lib, library_read(log, kScanned.type, seen));
      auto t0 = Clock::now();
      long raw_rows = raw_scan(st, bytes);
      raw = std::max(raw, static_cast<double>(raw_rows) / seconds_since(t0));
      floor = std::max(floor, floor_scan(st, kScanned));
    }
    sqlite3_finalize(st);
    std::printf(
        "read all  %ld records: library %9.0f rec/s   raw scan %9.0f rec/s (%zu bytes)   "
        "floor %9.0f rec/s\n",
        seen, lib, raw, bytes, floor);
    std::snprintf(line, sizeof line, "read_all_vs_raw_sqlite: %.2f", lib / raw);
    headlines.push_back(line);
    std::snprintf(line, sizeof line, "read_all_floor_vs_raw_sqlite: %.2f", floor / raw);
    headlines.push_back(line);
  }
  sqlite3_close(reader);

  // The same writes and the read on PostgreSQL, when a server is named.
  if (const char* url = pg_url()) {
    delete log;
    qx::tolk_reset_for_tests();
    setenv("QXDB_URL", url, 1);
    log = new_log(graph("bench_" + std::to_string(getpid())));
    PGconn* raw = pg_connect(url);
    pg_exec(raw, "SET client_min_messages = warning");
    const int pg_records = quick ? 2000 : 10000;
    // Batches of 1,000 in turn, as on SQLite (write_figure): a server's pace swings with
    // its own work (checkpoints, the WAL) over seconds. Client and server pinned alike
    // for both sides (see Placement): apart for the headline, then on one processor.
    const std::pair<Placement, const char*> layouts[] = {{Placement::kApart, "pg"},
                                                         {Placement::kTogether, "pg_one_cpu"}};
    int layouts_run = 0;  // each wrote rounds * pg_records records of every class
    for (const auto& [layout, figure] : layouts) {
      if (!place(layout) && layout != Placement::kApart) break;
      ++layouts_run;
      std::printf("client and server %s\n",
                  layout == Placement::kApart ? "on processors of their own" : "on one processor");
      for (const ClassCase& c : kClasses) {
        if (!selected(c)) continue;
        headlines.push_back(write_figure<PgRows, PgRawWriter>(
            log, c, rounds * pg_records, next_id, "libpq  ", figure,
            [&](const std::string& table, PgRows& rows, int first) {
              pg_read_rows(raw, table, rows, first);
            },
            [&](auto tables, auto rows) {
              return std::make_unique<PgRawWriter>(raw, tables, rows);
            }));
      }
    }
    place(Placement::kFree);
    fill_scanned(log, next_id, selected(kScanned) ? layouts_run * rounds * pg_records : 0,
                 scan_records);
    long seen = 0;
    size_t bytes = 0;
    double lib = 0;
    double raw_rate = 0;
    for (int round = 0; round < rounds; ++round) {
      lib = std::max(lib, library_read(log, kScanned.type, seen));
      LogMapper::commit();
      auto t0 = Clock::now();
      long raw_rows = pg_raw_scan(raw, lower_table(log, kScanned), bytes);
      raw_rate = std::max(raw_rate, static_cast<double>(raw_rows) / seconds_since(t0));
    }
    std::printf("read all  %ld records: library %9.0f rec/s   raw scan %9.0f rec/s (%zu bytes)\n",
                seen, lib, raw_rate, bytes);
    std::snprintf(line, sizeof line, "read_all_vs_raw_pg: %.2f", lib / raw_rate);
    headlines.push_back(line);
    log->deleteDB(static_cast<char>(0));
    LogMapper::commit();
    PQfinish(raw);
  }

  // The alarm state cache: heap per cached record, the entries included (the cache owns
  // them).
  {
    LogMapper* m = log;
    size_t before = heap_in_use();
    for (long i = 1; i <= cache_records; ++i) {
      m->update_log_record_hash(static_cast<unsigned long>(10000000 + i * 7), QXALARM_TABLE,
                                static_cast<unsigned long>(i % 3000), 0, 3);
    }
    size_t after = heap_in_use();
    double per = static_cast<double>(after - before) / static_cast<double>(cache_records);
    std::printf("alarm cache: %ld records, %.1f bytes per record\n", cache_records, per);
    std::snprintf(line, sizeof line, "alarm_cache_bytes_per_record: %.1f", per);
    headlines.push_back(line);
  }
  delete log;
  std::filesystem::remove_all(dir);
  report_counts(quick, headlines);
  for (const std::string& h : headlines) std::printf("%s\n", h.c_str());
  return 0;
}
