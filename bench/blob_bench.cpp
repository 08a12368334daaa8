// The blob table's headline figures, each against a baseline measured in the same run:
//   write_blob_vs_raw_sqlite  WriteToDB of realistic records of a class without a table of
//                             its own (an X.733 alarm record of about fifteen attributes,
//                             managed objects from a pool of 10,000 with a realistic
//                             skew, 1,000 records per commit) against plain sqlite3 calls inserting
//                             the very same rows (the blob row and its alarm index row) into tables
//                             of the same columns and indexes, with the store's settings;
//   write_blob_vs_raw_pg      the same on PostgreSQL against plain libpq calls, when
//                             QXDB_BENCH_PG_URL or QXDB_TEST_PG_URL names a server
//                             (client and server pinned to processors of their own for
//                             both sides: Placement in record_bench_util.h);
//   blob_select_100k_vs_1k    the time of one alarm selection (getOarInfo with criteria,
//                             every row read) of one managed object with ten alarms in a
//                             log of 100,000 blob records divided by the same in a log of
//                             1,000; every managed object has ten alarms, so that only the
//                             log grows; blob_select_100k_vs_1k_pg the same on PostgreSQL.
// The two sides write batches of 1,000 in turn into tables that grow alike (write_figure).
// Also printed, for information, the blob row alone against raw inserts of the blob row
// alone (what the alarm index costs).
//
//   blob_bench [--quick]   (--quick: fewer records per round; the same figures)
#include <unistd.h>

#include <memory>

#include "bench/record_bench_util.h"
#include "infra/tolk_map/tables/blob.h"
#include "infra/tolk_map/testing.h"
#include "platform/db/rwdb_reader.h"

namespace {

using namespace bench;

const Oid kAlarmRecord("2.9.3.2.3.1");  // X.721 alarmRecord: no table of its own
const Oid kEventType("2.9.3.2.10.2");
const Oid kOtherEventType("2.9.3.2.10.3");
const Oid kCause("2.9.3.2.0.0.58");
constexpr int kPerObject = 10;
constexpr int kRounds = 5;

void write(LogMapper* log, int id, const Asn1Value& list) {
  auto* entry = new OarInfo;
  if (log->WriteToDB(id, kAlarmRecord, kAlarmRecord, list, entry) != 1) {
    std::fprintf(stderr, "write failed\n");
    std::exit(1);
  }
}

std::string blob_table(LogMapper* log) { return lower(log->get_table_name() + "_blob"); }
std::string index_table(LogMapper* log) { return lower(log->get_table_name() + "_bAlm"); }

// Writes `count` realistic records from `first` on, 1,000 per commit; records per second.
double library_write(LogMapper* log, int first, int count) {
  std::vector<Asn1Value> lists;
  lists.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
    lists.push_back(make_record(QXALARM_TABLE, kAlarmRecord, first + i));
  LogMapper::commit();
  auto t0 = Clock::now();
  for (int i = 0; i < count; ++i) {
    write(log, first + i, lists[static_cast<size_t>(i)]);
    if ((i + 1) % 1000 == 0) LogMapper::commit();
  }
  LogMapper::commit();
  return count / seconds_since(t0);
}

// The blob table and its alarm index, as the raw side makes them.
std::span<const RawTable> blob_tables() {
  static const RawTable kTables[] = {
      {BlobT::layout().columns, BlobT::layout().indexes},
      {qx::BlobAlarmIndex::layout().columns, qx::BlobAlarmIndex::layout().indexes}};
  return kTables;
}

// The write figure on one store: `records` records in batches of 1,000, the library's and
// raw writes of the very rows it wrote (read back with `read`) in turn, the raw side into
// tables that it keeps (writers made by `make`), as the library keeps its log. Both sides
// fill tables of the same size, and a burst of load on the machine or of a server's own
// work falls on both; the rates are over all batches.
template <class RowsT, class Writer, class Read, class Make>
void write_figure(const std::string& store, const std::string& log_name, int records, Read read,
                  Make make, std::vector<std::string>& out) {
  LogMapper* log = new_log(log_name);
  constexpr int kBatch = 1000;
  double lib = 0, both = 0, blob_only = 0;
  std::unique_ptr<Writer> both_writer, blob_writer;
  int next = 1;
  const int batches = kRounds * records / kBatch;
  for (int b = 0; b < batches; ++b) {
    lib += kBatch / library_write(log, next, kBatch);
    RowsT blobs, index;
    read(blob_table(log), blobs, next);
    read(index_table(log), index, next);
    next += kBatch;
    const RowsT* const two[] = {&blobs, &index};
    const RowsT* const one[] = {&blobs};
    if (!both_writer) {
      both_writer = make(blob_tables(), std::span<const RowsT* const>(two), "raw");
      blob_writer = make(blob_tables().first(1), std::span<const RowsT* const>(one), "raw_alone");
    }
    both += both_writer->write(two, "raw write");
    blob_only += blob_writer->write(one, "raw write");
  }
  const double written = static_cast<double>(batches) * kBatch;
  std::printf("write blob  library %9.0f rec/s   raw %-7s %9.0f rec/s (blob row alone %9.0f)\n",
              written / lib, store == "sqlite" ? "sqlite3" : "libpq", written / both,
              written / blob_only);
  char line[128];
  std::snprintf(line, sizeof line, "write_blob_vs_raw_%s: %.2f", store.c_str(), both / lib);
  out.push_back(line);
  std::printf("write_blob_vs_raw_blob_row_%s (information): %.2f\n", store.c_str(),
              blob_only / lib);
  both_writer.reset();
  blob_writer.reset();
  log->deleteDB(static_cast<char>(0));
  LogMapper::commit();
  delete log;
}

// A small alarm record about managed object `moi`: those of the measured object (1) all
// match the selection's criteria, half of the others do.
Asn1Value small_alarm(int n, int moi) {
  bool match = moi == 1 || n % 2 == 0;
  return construct(
      TAG_SET, {pair(objectClassOid, oidv(kAlarmRecord, TAG_CTX0)),
                pair(loggingTimeOid, gentime("20240301101500Z")),
                pair(eventTypeOid, oidv(match ? kEventType : kOtherEventType, TAG_CTX6)),
                pair(moiOid, managed_object(moi)), pair(probableCauseOid, oidv(kCause, TAG_CTX6)),
                pair(perceivedSeverityOid, enumv(n % 6))});
}

void fill(LogMapper* log, int count) {
  for (int i = 0; i < count; ++i) {
    write(log, 1 + i, small_alarm(i, 1 + i / kPerObject));
    if ((i + 1) % 1000 == 0) LogMapper::commit();
  }
  LogMapper::commit();
}

void selection(int small, int large, const std::string& suffix, std::vector<std::string>& out) {
  std::string tag = std::to_string(getpid());
  LogMapper* a = new_log("select_small_" + tag);
  LogMapper* b = new_log("select_large_" + tag);
  fill(a, small);
  fill(b, large);
  long moi = LogMapper::moi_number(managed_object(1));
  Asn1Value criteria = construct(TAG_SET, {pair(eventTypeOid, oidv(kEventType, TAG_CTX6)),
                                           pair(probableCauseOid, oidv(kCause, TAG_CTX6))});
  const int rounds = 30;
  double sa = lookup_seconds(a, moi, kAlarmRecord, criteria, rounds, kPerObject);
  double sb = lookup_seconds(b, moi, kAlarmRecord, criteria, rounds, kPerObject);
  std::printf("selection %d records %.1f us, %d records %.1f us\n", small, sa * 1e6, large,
              sb * 1e6);
  char line[128];
  std::snprintf(line, sizeof line, "blob_select_%dk_vs_%dk%s: %.2f", large / 1000, small / 1000,
                suffix.c_str(), sb / sa);
  out.push_back(line);
  for (LogMapper* m : {a, b}) {
    m->deleteDB(static_cast<char>(0));
    LogMapper::commit();
    delete m;
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  if (const char* pool = std::getenv("QX_BENCH_MO_POOL")) g_pool = std::max(1, std::atoi(pool));
  std::string dir = sqlite_scratch("blob_bench");
  std::vector<std::string> headlines;

  sqlite3* reader = open_raw(dir + "/store.db");
  sqlite3* raw_store = open_raw(dir + "/raw.db");
  write_figure<Rows, SqliteRawWriter>(
      "sqlite", "writes", quick ? 5000 : 20000,
      [&](const std::string& t, Rows& rows, int first) { read_rows(reader, t, rows, first); },
      [&](auto tables, auto rows, const char* name) {
        return std::make_unique<SqliteRawWriter>(raw_store, tables, rows, name);
      },
      headlines);
  sqlite3_close(raw_store);
  sqlite3_close(reader);
  selection(1000, 100000, "", headlines);

  if (const char* url = pg_url()) {
    qx::tolk_reset_for_tests();
    setenv("QXDB_URL", url, 1);
    PGconn* raw = pg_connect(url);
    pg_exec(raw, "SET client_min_messages = warning");
    place(Placement::kApart);  // as the record classes' PostgreSQL figures
    write_figure<PgRows, PgRawWriter>(
        "pg", "writes_" + std::to_string(getpid()), quick ? 2000 : 10000,
        [&](const std::string& t, PgRows& rows, int first) { pg_read_rows(raw, t, rows, first); },
        [&](auto tables, auto rows, const char* name) {
          return std::make_unique<PgRawWriter>(raw, tables, rows, std::string(name) + "_bench");
        },
        headlines);
    place(Placement::kFree);
    PQfinish(raw);
    selection(1000, 100000, "_pg", headlines);
  }
  std::filesystem::remove_all(dir);
  for (const std::string& h : headlines) std::printf("%s\n", h.c_str());
  return 0;
}
