// What the record benchmarks share: realistic records of every class, and the raw
// baselines that write the very same rows with plain driver calls (sqlite3 and libpq),
// prepared once, into tables of the same columns and indexes.
#pragma once

// libpq names its object identifier type Oid, as the value library names its class.
#define Oid PgOid
#include <libpq-fe.h>
#undef Oid
#include <malloc.h>
#include <sched.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "bench/instruction_count.h"
#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/alarmlog.h"
#include "infra/tolk_map/tables/eventlog.h"
#include "infra/tolk_map/tables/intrnet.h"
#include "infra/tolk_map/tables/zkalarm.h"
#include "platform/db/rwdb_reader.h"
#include "tolk.h"

namespace bench {

using Clock = std::chrono::steady_clock;

// Managed objects the records are about: QX_BENCH_MO_POOL of them (default 10,000), with
// the skew of a real network: the k-th busiest object sends about 1/k as many records as
// the busiest one (Zipf), so that a hundred objects send about half of all records and
// most of the others are seldom heard of. Neither a round robin over the pool (which
// defeats every cache) nor a pool small enough for every cache to hold: the name cache
// keeps 2,000 distinguished names by default (QX_LOG_MPA_FDN_CACHE_MAX_SIZE).
inline int g_pool = 10000;

// The managed object (0 to g_pool - 1) of record n: drawn with the skew above, and the
// same for the same n in every run.
inline int object_of(int n) {
  static std::vector<double> cumulative;  // of the objects' shares, by rank
  if (cumulative.size() != static_cast<size_t>(g_pool)) {
    cumulative.resize(static_cast<size_t>(g_pool));
    double sum = 0;
    for (int k = 0; k < g_pool; ++k) cumulative[static_cast<size_t>(k)] = sum += 1.0 / (k + 1);
    for (double& c : cumulative) c /= sum;
  }
  uint64_t x = static_cast<uint64_t>(n) * 0x9E3779B97F4A7C15ULL;  // splitmix64 of n
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  x ^= x >> 31;
  double u = static_cast<double>(x >> 11) * 0x1.0p-53;
  auto at = std::lower_bound(cumulative.begin(), cumulative.end(), u);
  return static_cast<int>(std::min<ptrdiff_t>(at - cumulative.begin(), g_pool - 1));
}

inline double seconds_since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

// Calls visit(pid, stat) for each process of this machine with the first line of its
// /proc/PID/stat: "pid (command) state ppid ...".
template <class Visit>
void for_each_process(Visit visit) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    FILE* f = std::fopen((entry.path() / "stat").c_str(), "r");
    if (f == nullptr) continue;
    char buf[1024];
    size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    buf[n] = '\0';
    visit(static_cast<pid_t>(std::atol(name.c_str())), static_cast<const char*>(buf));
  }
}

// Whether a process's stat line names a PostgreSQL server process (its command begins
// with "postgres").
inline bool server_process(const char* stat) {
  const char* open = std::strchr(stat, '(');
  return open != nullptr && std::strncmp(open + 1, "postgres", 8) == 0;
}

// CPU seconds used so far by this process, and by every process of the PostgreSQL server
// on this machine (none when it runs elsewhere): they tell the client's part of a rate
// from the server's. A server process that ends between two readings takes its time
// with it, so that the server's part of a short span is rough.
struct CpuSeconds {
  double client = 0;
  double server = 0;
  // Adds what was used from `from` (an earlier cpu_seconds()) until now.
  void add_since(const CpuSeconds& from);
};

inline CpuSeconds cpu_seconds() {
  CpuSeconds c;
  const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
  for_each_process([&](pid_t pid, const char* stat) {
    const bool self = pid == getpid();
    if (!self && !server_process(stat)) return;
    // utime and stime: fields 14 and 15, counted after the command's ')'.
    const char* close = std::strrchr(stat, ')');
    unsigned long utime = 0, stime = 0;
    if (close == nullptr ||
        std::sscanf(close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime,
                    &stime) != 2)
      return;
    (self ? c.client : c.server) += static_cast<double>(utime + stime) / tick;
  });
  return c;
}

// The processes of a PostgreSQL server on this machine; none when it runs elsewhere.
inline std::vector<pid_t> server_processes() {
  std::vector<pid_t> pids;
  for_each_process([&](pid_t pid, const char* stat) {
    if (server_process(stat)) pids.push_back(pid);
  });
  return pids;
}

// Where this process and a server on this machine run. A round trip costs far more when
// client and server wake each other across processors than on one (on the virtual
// machine these figures come from: about 100 us against 45 us for a prepared insert), and
// left alone the scheduler moves them between the two layouts as it sees fit, so that one
// side of a comparison may get the short trips and the other the long ones. The
// PostgreSQL write figures therefore pin both sides alike:
//   kApart     this process on the first processor, every server process (the
//              postmaster too: new sessions inherit it) on the second: a server on
//              processors of its own, or on another host;
//   kTogether  all on the first processor: only the work of client and server counts;
//   kFree      every processor for all again.
enum class Placement { kFree, kApart, kTogether };

// Pins as `p` says; false, with the reason on standard error, when the machine has a
// single processor, no server process is found here or the affinity cannot be set (the
// processes then run where they ran).
inline bool place(Placement p) {
  const long cpus = sysconf(_SC_NPROCESSORS_ONLN);
  if (p != Placement::kFree && cpus < 2) {
    std::fprintf(stderr, "placement: one processor only; not pinned\n");
    return false;
  }
  std::vector<pid_t> server = server_processes();
  if (p != Placement::kFree && server.empty()) {
    std::fprintf(stderr, "placement: no server process on this machine; not pinned\n");
    return false;
  }
  cpu_set_t all, first, second;
  CPU_ZERO(&all);
  CPU_ZERO(&first);
  CPU_ZERO(&second);
  for (long i = 0; i < cpus; ++i) CPU_SET(static_cast<int>(i), &all);
  CPU_SET(0, &first);
  CPU_SET(1, &second);
  const cpu_set_t& mine = p == Placement::kFree ? all : first;
  const cpu_set_t& theirs = p == Placement::kFree ? all : p == Placement::kApart ? second : first;
  bool ok = sched_setaffinity(0, sizeof mine, &mine) == 0;
  for (pid_t pid : server) ok = sched_setaffinity(pid, sizeof theirs, &theirs) == 0 && ok;
  if (!ok) std::fprintf(stderr, "placement: %s; not pinned everywhere\n", std::strerror(errno));
  return ok;
}

inline void CpuSeconds::add_since(const CpuSeconds& from) {
  CpuSeconds now = cpu_seconds();
  client += now.client - from.client;
  server += now.server - from.server;
}

// The scratch directory of a run of the benchmark `name` (made, named after it and the
// process), with QXDB_URL naming the SQLite store store.db in it.
inline std::string sqlite_scratch(const std::string& name) {
  std::string dir =
      std::filesystem::temp_directory_path() / (name + "_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  setenv("QXDB_URL", ("sqlite:" + dir + "/store.db").c_str(), 1);
  return dir;
}

inline Asn1Value oidv(const Oid& o, Asn1Tag t = TAG_OID) {
  Asn1Value v;
  v.encode_oid(o, t);
  return v;
}
inline Asn1Value intv(long n) {
  Asn1Value v;
  v.encode_int(n);
  return v;
}
inline Asn1Value enumv(long n) {
  Asn1Value v;
  v.encode_enum(n);
  return v;
}
inline Asn1Value graph(const std::string& s) {
  Asn1Value v;
  v.encode_octets(s, TAG_GRAPHSTR);
  return v;
}
inline Asn1Value gentime(const std::string& s) {
  Asn1Value v;
  v.encode_octets(s, TAG_GENTIME);
  return v;
}

// A new log of identifier `id` (a GraphicString `name`) without attributes, on the store
// QXDB_URL names; ends the program with the reason when it cannot be made.
inline LogMapper* new_log(const Asn1Value& id) {
  Asn1Value empty;
  empty.start_construct(TAG_SET);
  auto* log = new LogMapper(id, empty, "", TolkMap::def_owner_id());
  if (!log->created()) {
    std::fprintf(stderr, "log %s not created: %s\n", id.to_string().c_str(),
                 LogMapper::last_failure().c_str());
    std::exit(1);
  }
  return log;
}
inline LogMapper* new_log(const std::string& name) { return new_log(graph(name)); }
inline Asn1Value construct(Asn1Tag t, std::initializer_list<Asn1Value> items) {
  Asn1Value v;
  v.start_construct(t);
  for (const Asn1Value& i : items) v.add_component(i);
  return v;
}
inline Asn1Value pair(const Oid& id, const Asn1Value& value) {
  return construct(TAG_SEQ, {oidv(id), value});
}

// A managed object of the pool: a distinguished name of three RDNs.
inline Asn1Value managed_object(int n) {
  auto rdn = [](const char* type, const std::string& value) {
    return construct(TAG_SET, {construct(TAG_SEQ, {oidv(Oid(type)), graph(value)})});
  };
  return construct(TAG_CTX2,
                   {rdn("2.5.4.10", "operator"), rdn("2.5.4.11", "site-" + std::to_string(n % 40)),
                    rdn("2.5.4.3", "ne-" + std::to_string(n))});
}

inline std::string text_of_length(int n, int len) {
  std::string s = "record " + std::to_string(n) + " ";
  while (static_cast<int>(s.size()) < len) s += "event text ";
  s.resize(static_cast<size_t>(len));
  return s;
}

// A realistic record of a class: the common attributes and the class's own, each of
// its attribute's type (so that the texts of the formatted columns are the typed ones).
// Its logging time is `logged` (a GeneralizedTime) when given, else the event time.
inline Asn1Value make_record(TABLE_TYPE type, const Oid& cls, int n,
                             const std::string& logged = std::string()) {
  Asn1Value list;
  list.start_construct(TAG_SET);
  char when[32];
  std::snprintf(when, sizeof when, "202403%02d%02d%02d%02dZ", 1 + n % 28, n % 24, n % 60,
                (n / 60) % 60);
  static const Oid kEvents[] = {Oid("2.9.3.2.10.6"), Oid("2.9.3.2.10.7"), Oid("2.9.3.2.10.14"),
                                Oid("2.9.3.2.10.1")};
  list.add_component(pair(loggingTimeOid, gentime(logged.empty() ? when : logged)));
  list.add_component(pair(eventTypeOid, oidv(kEvents[n % 4], TAG_CTX6)));
  list.add_component(pair(objectClassOid, oidv(cls)));
  list.add_component(pair(
      mocOid, oidv(Oid(("1.3.6.1.4.1.32473.3.1." + std::to_string(n % 12)).c_str()), TAG_CTX0)));
  list.add_component(pair(moiOid, managed_object(object_of(n))));
  list.add_component(pair(eventTimeOid, gentime(when)));
  list.add_component(pair(notificationIdOid, intv(n)));
  list.add_component(pair(
      correlatedNotifsOid,
      construct(TAG_SET, {construct(TAG_SEQ, {construct(TAG_SET, {intv(n - 1), intv(n - 2)})})})));
  list.add_component(pair(additionalTextOid, graph(text_of_length(n, 10 + n % 50))));
  Asn1Value significant;
  significant.encode_bool(n % 2 == 0, TAG_CTX1);
  list.add_component(pair(
      additionalInfoOid,
      construct(TAG_SET, {construct(TAG_SEQ, {oidv(Oid("1.3.6.1.4.1.32473.9.1")), significant,
                                              construct(TAG_CTX2,
                                                        {graph("info " + std::to_string(n))})})})));
  Asn1Value ids = construct(TAG_SET, {oidv(Oid("2.9.3.2.7.31")), oidv(Oid("2.9.3.2.7.35"))});
  Asn1Value def = construct(
      TAG_SET, {construct(TAG_SEQ, {oidv(Oid("2.9.3.2.7.35")), construct(TAG_CTX1, {enumv(0)}),
                                    construct(TAG_CTX2, {enumv(1)})})});
  switch (type) {
    case OBJCRT_TABLE:
    case OBJDLT_TABLE:
      list.add_component(pair(sourceIndicatorOid, enumv(n % 3)));
      list.add_component(
          pair(attributeListOid, construct(TAG_SET, {pair(Oid("2.9.3.2.7.31"), enumv(1)),
                                                     pair(Oid("2.9.3.2.7.35"), enumv(1))})));
      break;
    case RELCHG_TABLE:
    case ATTRVALCHG_TABLE:
    case STATECHG_TABLE:
      list.add_component(pair(type == RELCHG_TABLE       ? relChangeDefOid
                              : type == ATTRVALCHG_TABLE ? attrValChangeDefOid
                                                         : stateChangeDefOid,
                              def));
      list.add_component(pair(sourceIndicatorOid, enumv(n % 3)));
      list.add_component(pair(attributeIdListOid, ids));
      break;
    case INTRNET_TABLE:
      list.add_component(pair(probableCauseOid, oidv(Oid("2.9.3.2.0.0.15"), TAG_CTX6)));
      list.add_component(pair(perceivedSeverityOid, enumv(n % 6)));
      list.add_component(pair(
          snmpVarBindOid,
          construct(TAG_SEQ, {construct(TAG_SEQ, {oidv(Oid("1.3.6.1.2.1.2.2.1.1")), intv(n % 48)}),
                              construct(TAG_SEQ, {oidv(Oid("1.3.6.1.2.1.2.2.1.8")), intv(2)})})));
      list.add_component(pair(transportDomOid, oidv(Oid("1.3.6.1.6.1.1"))));
      break;
    case ZKALARM_TABLE:
      list.add_component(pair(mosiSeverityOid, intv(n % 5)));
      list.add_component(pair(mosiStateOid, intv(n)));
      [[fallthrough]];
    case QXALARM_TABLE: {
      static const Oid kCauses[] = {Oid("2.9.3.2.0.0.58"), Oid("2.9.3.2.0.0.15"),
                                    Oid("2.9.3.2.0.0.11"), Oid("2.9.3.2.0.0.51")};
      list.add_component(pair(probableCauseOid, oidv(kCauses[n % 4], TAG_CTX6)));
      list.add_component(pair(perceivedSeverityOid, enumv(n % 6)));
      list.add_component(
          pair(specificProblemsOid,
               construct(TAG_SET,
                         {oidv(Oid(("1.3.6.1.4.1.32473.5." + std::to_string(n % 7)).c_str()))})));
      Asn1Value backed_up;
      backed_up.encode_bool(n % 3 == 0);
      list.add_component(pair(backedUpStatusOid, backed_up));
      list.add_component(pair(trendIndicationOid, enumv(n % 3)));
      list.add_component(
          pair(proposedRepairActionsOid,
               construct(TAG_SET, {oidv(Oid("2.9.3.2.0.1.2")), oidv(Oid("2.9.3.2.0.1.3"))})));
      break;
    }
    default:  // security alarm
      list.add_component(pair(securityAlarmCauseOid, oidv(Oid("2.9.3.2.0.0.1"))));
      list.add_component(pair(securityAlarmSeverityOid, enumv(n % 6)));
      list.add_component(pair(securityAlarmDetectorOid, construct(TAG_CTX0, {oidv(Oid("1.2.3"))})));
      list.add_component(pair(serviceUserOid, construct(TAG_CTX0, {oidv(Oid("1.2.4"))})));
      list.add_component(pair(serviceProviderOid, construct(TAG_CTX0, {oidv(Oid("1.2.5"))})));
      break;
  }
  return list;
}

// The best time of `rounds` alarm lookups of managed object `moi` of class `cls` with
// `criteria`, every row read; each must find `expected` alarms. The transaction ends
// after each round, outside the time.
inline double lookup_seconds(LogMapper* log, long moi, const Oid& cls, const Asn1Value& criteria,
                             int rounds, int expected) {
  double best = 1e9;
  for (int r = 0; r < rounds; ++r) {
    auto t0 = Clock::now();
    RWDBReader reader;
    if (log->getOarInfo(static_cast<int>(moi), cls, criteria, reader) != 1) {
      std::fprintf(stderr, "lookup failed\n");
      std::exit(1);
    }
    int rows = 0;
    while (reader()) ++rows;
    best = std::min(best, seconds_since(t0));
    LogMapper::commit();
    if (rows != expected) {
      std::fprintf(stderr, "lookup found %d alarms, not %d\n", rows, expected);
      std::exit(1);
    }
  }
  return best;
}

inline void check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
    std::exit(1);
  }
}

// The heap in use: what malloc has handed out, the blocks it took straight from the
// system (mmap, the large ones: a pool's chunks, a hash table's buckets) included.
inline size_t heap_in_use() {
  struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// The store's settings for an embedded file. The store opens its connections without
// SQLite's own mutex (one thread uses a connection at a time), and so does the raw side:
// with sqlite3_open's default, every call it makes would lock and unlock a mutex that
// the library's calls do not, a cost of the baseline alone.
inline sqlite3* open_raw(const std::string& path) {
  sqlite3* db = nullptr;
  check(sqlite3_open_v2(path.c_str(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr),
        db, "open");
  check(
      sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; PRAGMA busy_timeout=5000",
                   nullptr, nullptr, nullptr),
      db, "pragma");
  return db;
}

// The rows of a table as sqlite values, in column order.
struct Rows {
  std::vector<std::string> columns;
  std::vector<std::vector<sqlite3_value*>> rows;
  ~Rows() {
    for (auto& r : rows)
      for (sqlite3_value* v : r) sqlite3_value_free(v);
  }
};

// The rows of records from `first_id` on.
inline void read_rows(sqlite3* db, const std::string& table, Rows& out, int first_id) {
  sqlite3_stmt* st = nullptr;
  std::string sql =
      "SELECT * FROM \"" + table + "\" WHERE logrecordid >= " + std::to_string(first_id);
  check(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), db, "select");
  int n = sqlite3_column_count(st);
  for (int i = 0; i < n; ++i) out.columns.push_back(sqlite3_column_name(st, i));
  while (sqlite3_step(st) == SQLITE_ROW) {
    std::vector<sqlite3_value*> row;
    for (int i = 0; i < n; ++i) row.push_back(sqlite3_value_dup(sqlite3_column_value(st, i)));
    out.rows.push_back(std::move(row));
  }
  sqlite3_finalize(st);
}

// A table of the raw side: the columns and indexes the library declares for it.
struct RawTable {
  std::span<const qx::ColumnDef> columns;
  std::span<const qx::IndexDef> indexes;
};

inline std::string lower(std::string s) {
  for (char& ch : s) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return s;
}

// Tables of the same columns and indexes as the library's (`prefix`, then `prefix`_1, ...
// for the tables a library record also writes: record i is row i of each) in the raw
// store `db`, with their INSERTs prepared, kept while the writer lives, so that batches
// written one after another fill them as the library fills its own.
class SqliteRawWriter {
 public:
  SqliteRawWriter(sqlite3* db, std::span<const RawTable> tables, std::span<const Rows* const> rows,
                  const std::string& prefix = "raw")
      : db_(db) {
    for (size_t t = 0; t < tables.size(); ++t) {
      std::string name = t == 0 ? prefix : prefix + "_" + std::to_string(t);
      names_.push_back(name);
      std::string ddl = "CREATE TABLE " + name + " (";
      std::string ins = "INSERT INTO " + name + " (";
      std::string qs;
      for (size_t i = 0; i < tables[t].columns.size(); ++i) {
        const qx::ColumnDef& c = tables[t].columns[i];
        std::string type = c.type == RWDBValue::String     ? "TEXT"
                           : c.type == RWDBValue::Blob     ? "BLOB"
                           : c.type == RWDBValue::DateTime ? "TEXT"
                                                           : "INTEGER";
        ddl += std::string(i ? ", " : "") + "\"" + rows[t]->columns[i] + "\" " + type +
               (c.nullable ? "" : " NOT NULL");
        ins += std::string(i ? ", " : "") + "\"" + rows[t]->columns[i] + "\"";
        qs += i ? ", ?" : "?";
      }
      exec("DROP TABLE IF EXISTS " + name);
      exec(ddl + ")");
      for (const qx::IndexDef& ix : tables[t].indexes) {
        exec("CREATE INDEX " + name + "_" + ix.suffix + " ON " + name + " (\"" + lower(ix.column) +
             "\")");
      }
      sqlite3_stmt* st = nullptr;
      check(sqlite3_prepare_v2(db, (ins + ") VALUES (" + qs + ")").c_str(), -1, &st, nullptr), db,
            "prepare");
      inserts_.push_back(st);
    }
  }
  ~SqliteRawWriter() {
    for (sqlite3_stmt* st : inserts_) sqlite3_finalize(st);
  }
  SqliteRawWriter(const SqliteRawWriter&) = delete;
  SqliteRawWriter& operator=(const SqliteRawWriter&) = delete;

  // Inserts `rows` (one set per table), 1,000 records per commit; the seconds it took.
  // Counted as `count_label` (see instruction_count.h); `cpu` (when given) gets the CPU
  // time it took added.
  double write(std::span<const Rows* const> rows, const std::string& count_label,
               CpuSeconds* cpu = nullptr) {
    size_t records = rows[0]->rows.size();
    const CpuSeconds cpu0 = cpu ? cpu_seconds() : CpuSeconds();  // outside the counted calls
    count_begin();
    auto t0 = Clock::now();
    exec("BEGIN");
    for (size_t r = 0; r < records; ++r) {
      for (size_t t = 0; t < inserts_.size(); ++t) {
        const auto& row = rows[t]->rows[r];
        for (size_t i = 0; i < row.size(); ++i)
          sqlite3_bind_value(inserts_[t], static_cast<int>(i + 1), row[i]);
        check(sqlite3_step(inserts_[t]), db_, "insert");
        sqlite3_reset(inserts_[t]);
      }
      if ((r + 1) % 1000 == 0) exec("COMMIT; BEGIN");
    }
    exec("COMMIT");
    double seconds = seconds_since(t0);
    count_end(count_label, static_cast<long>(records));
    if (cpu) cpu->add_since(cpu0);
    return seconds;
  }

 private:
  void exec(const std::string& sql) {
    check(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr), db_, "raw statement");
  }

  sqlite3* db_;
  std::vector<std::string> names_;
  std::vector<sqlite3_stmt*> inserts_;
};

// Writes the records of `rows` into fresh tables in a fresh store at `path`
// (SqliteRawWriter); returns records per second. Counted as `count_label`.
inline double raw_write(const std::string& path, std::span<const RawTable> tables,
                        std::span<const Rows* const> rows,
                        const std::string& count_label = "raw write") {
  std::filesystem::remove(path);
  sqlite3* db = open_raw(path);
  double seconds;
  {
    SqliteRawWriter writer(db, tables, rows);
    seconds = writer.write(rows, count_label);
  }
  sqlite3_close(db);
  return static_cast<double>(rows[0]->rows.size()) / seconds;
}

// The same for the records of one event class: its table alone.
inline double raw_write(const std::string& path, const qx::EventClass& cls, const Rows& rows,
                        const std::string& count_label = "raw write") {
  const RawTable table[] = {{cls.columns, cls.indexes}};
  const Rows* const all[] = {&rows};
  return raw_write(path, table, all, count_label);
}

// Reads every row of a table with plain sqlite3 calls, taking every column as its stored
// type gives it (`st` is a prepared SELECT *); returns the rows read. Counted as
// `count_label`.
inline long raw_scan(sqlite3_stmt* st, size_t& bytes, const std::string& count_label = "raw scan") {
  long rows = 0;
  sqlite3_reset(st);
  count_begin();
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
    ++rows;
  }
  count_end(count_label, rows);
  return rows;
}

// ---- PostgreSQL.

// The server database of the PostgreSQL figures: QXDB_BENCH_PG_URL, else
// QXDB_TEST_PG_URL; null when neither names one.
inline const char* pg_url() {
  for (const char* name : {"QXDB_BENCH_PG_URL", "QXDB_TEST_PG_URL"}) {
    const char* url = std::getenv(name);
    if (url != nullptr && *url != '\0') return url;
  }
  return nullptr;
}

inline PGconn* pg_connect(const std::string& url) {
  PGconn* c = PQconnectdb(url.c_str());
  if (PQstatus(c) != CONNECTION_OK) {
    std::fprintf(stderr, "postgres: %s\n", PQerrorMessage(c));
    std::exit(1);
  }
  return c;
}

inline void pg_exec(PGconn* c, const std::string& sql) {
  PGresult* r = PQexec(c, sql.c_str());
  if (PQresultStatus(r) != PGRES_COMMAND_OK && PQresultStatus(r) != PGRES_TUPLES_OK) {
    std::fprintf(stderr, "%s: %s\n", sql.c_str(), PQerrorMessage(c));
    std::exit(1);
  }
  PQclear(r);
}

// The rows of a table in binary form, and their columns' declared types.
struct PgRows {
  std::vector<std::string> columns;
  std::vector<std::string> types;
  std::vector<std::vector<std::string>> values;
  std::vector<std::vector<char>> nulls;
};

// The rows of records from `first_id` on.
inline void pg_read_rows(PGconn* c, const std::string& table, PgRows& out, int first_id) {
  PGresult* t = PQexec(c, ("SELECT column_name, CASE WHEN data_type = 'character varying' THEN "
                           "'varchar(' || character_maximum_length || ')' WHEN data_type LIKE "
                           "'timestamp%' THEN 'timestamp(3) with time zone' ELSE data_type END "
                           "FROM information_schema.columns WHERE table_name = '" +
                           table + "' ORDER BY ordinal_position")
                              .c_str());
  for (int i = 0; i < PQntuples(t); ++i) {
    out.columns.push_back(PQgetvalue(t, i, 0));
    out.types.push_back(PQgetvalue(t, i, 1));
  }
  PQclear(t);
  PGresult* r = PQexecParams(
      c,
      ("SELECT * FROM \"" + table + "\" WHERE logrecordid >= " + std::to_string(first_id)).c_str(),
      0, nullptr, nullptr, nullptr, nullptr, 1);
  for (int i = 0; i < PQntuples(r); ++i) {
    std::vector<std::string> row;
    std::vector<char> nulls;
    for (int j = 0; j < PQnfields(r); ++j) {
      nulls.push_back(static_cast<char>(PQgetisnull(r, i, j)));
      row.emplace_back(PQgetvalue(r, i, j), static_cast<size_t>(PQgetlength(r, i, j)));
    }
    out.values.push_back(std::move(row));
    out.nulls.push_back(std::move(nulls));
  }
  PQclear(r);
}

// Fresh tables of the same columns and indexes as the library's (`prefix`, then
// `prefix`_1, ...) with their INSERTs prepared, kept while the writer lives, so that
// batches written one after another fill them as the library fills its own.
class PgRawWriter {
 public:
  // `rows` give each table's column names and types.
  PgRawWriter(PGconn* c, std::span<const RawTable> tables, std::span<const PgRows* const> rows,
              const std::string& prefix = "raw_bench")
      : c_(c) {
    for (size_t t = 0; t < tables.size(); ++t) {
      std::string name = t == 0 ? prefix : prefix + "_" + std::to_string(t);
      names_.push_back(name);
      const PgRows& pr = *rows[t];
      pg_exec(c, "DROP TABLE IF EXISTS " + name);
      std::string ddl = "CREATE TABLE " + name + " (";
      std::string ins = "INSERT INTO " + name + " (";
      std::string qs;
      for (size_t i = 0; i < pr.columns.size(); ++i) {
        ddl += std::string(i ? ", " : "") + "\"" + pr.columns[i] + "\" " + pr.types[i] +
               (tables[t].columns[i].nullable ? "" : " NOT NULL");
        ins += std::string(i ? ", " : "") + "\"" + pr.columns[i] + "\"";
        qs += (i ? ", $" : "$") + std::to_string(i + 1);
      }
      pg_exec(c, ddl + ")");
      for (const qx::IndexDef& ix : tables[t].indexes) {
        pg_exec(c, "CREATE INDEX " + name + "_" + ix.suffix + " ON " + name + " (\"" +
                       lower(ix.column) + "\")");
      }
      PGresult* p = PQprepare(c, (name + "_ins").c_str(), (ins + ") VALUES (" + qs + ")").c_str(),
                              0, nullptr);
      PQclear(p);
      // The parameter arrays, made before any clock starts.
      size_t n = pr.columns.size();
      params_.push_back({name + "_ins", std::vector<const char*>(n), std::vector<int>(n),
                         std::vector<int>(n, 1)});
    }
  }
  ~PgRawWriter() {
    for (const std::string& name : names_) {
      pg_exec(c_, "DEALLOCATE " + name + "_ins");
      pg_exec(c_, "DROP TABLE " + name);
    }
  }
  PgRawWriter(const PgRawWriter&) = delete;
  PgRawWriter& operator=(const PgRawWriter&) = delete;

  // Inserts `rows` (one set per table), 1,000 records per transaction; the seconds it
  // took. Counted as `count_label`; `cpu` (when given) gets the CPU time it took added.
  double write(std::span<const PgRows* const> rows, const std::string& count_label,
               CpuSeconds* cpu = nullptr) {
    size_t records = rows[0]->values.size();
    const CpuSeconds cpu0 = cpu ? cpu_seconds() : CpuSeconds();  // outside the counted calls
    count_begin();
    auto t0 = Clock::now();
    pg_exec(c_, "BEGIN");
    for (size_t r = 0; r < records; ++r) {
      for (size_t t = 0; t < params_.size(); ++t) {
        const PgRows& pr = *rows[t];
        Params& p = params_[t];
        for (size_t i = 0; i < p.vals.size(); ++i) {
          p.vals[i] = pr.nulls[r][i] ? nullptr : pr.values[r][i].data();
          p.lens[i] = static_cast<int>(pr.values[r][i].size());
        }
        PGresult* res = PQexecPrepared(c_, p.statement.c_str(), static_cast<int>(p.vals.size()),
                                       p.vals.data(), p.lens.data(), p.fmts.data(), 0);
        if (PQresultStatus(res) != PGRES_COMMAND_OK) {
          std::fprintf(stderr, "raw insert: %s\n", PQerrorMessage(c_));
          std::exit(1);
        }
        PQclear(res);
      }
      if ((r + 1) % 1000 == 0) {
        pg_exec(c_, "COMMIT");
        pg_exec(c_, "BEGIN");
      }
    }
    pg_exec(c_, "COMMIT");
    double seconds = seconds_since(t0);
    count_end(count_label, static_cast<long>(records));
    if (cpu) cpu->add_since(cpu0);
    return seconds;
  }

 private:
  struct Params {
    std::string statement;
    std::vector<const char*> vals;
    std::vector<int> lens, fmts;
  };
  PGconn* c_;
  std::vector<std::string> names_;
  std::vector<Params> params_;
};

// Inserts the records of `rows` into fresh tables (PgRawWriter); records per second.
// Counted as `count_label`.
inline double pg_raw_write(PGconn* c, std::span<const RawTable> tables,
                           std::span<const PgRows* const> rows,
                           const std::string& count_label = "raw write pg") {
  PgRawWriter writer(c, tables, rows);
  return static_cast<double>(rows[0]->values.size()) / writer.write(rows, count_label);
}

// The same for the records of one event class: its table alone.
inline double pg_raw_write(PGconn* c, const qx::EventClass& cls, const PgRows& rows,
                           const std::string& count_label = "raw write pg") {
  const RawTable table[] = {{cls.columns, cls.indexes}};
  const PgRows* const all[] = {&rows};
  return pg_raw_write(c, table, all, count_label);
}

// Reads every row of a table with plain libpq calls as the layer reads them: one query in
// single-row mode, every column's text taken; returns the rows read. Counted as
// `count_label`.
inline long pg_raw_scan(PGconn* c, const std::string& table, size_t& bytes,
                        const std::string& count_label = "raw scan pg") {
  long rows = 0;
  count_begin();
  std::string sql = "SELECT * FROM \"" + table + "\"";
  if (PQsendQueryParams(c, sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0) != 1 ||
      PQsetSingleRowMode(c) != 1) {
    std::fprintf(stderr, "raw scan: %s\n", PQerrorMessage(c));
    std::exit(1);
  }
  while (PGresult* r = PQgetResult(c)) {
    if (PQresultStatus(r) == PGRES_SINGLE_TUPLE) {
      int n = PQnfields(r);
      for (int i = 0; i < n; ++i) {
        if (PQgetisnull(r, 0, i)) continue;
        PQgetvalue(r, 0, i);
        bytes += static_cast<size_t>(PQgetlength(r, 0, i));
      }
      ++rows;
    } else if (PQresultStatus(r) != PGRES_TUPLES_OK) {
      std::fprintf(stderr, "raw scan: %s\n", PQerrorMessage(c));
      std::exit(1);
    }
    PQclear(r);
  }
  count_end(count_label, rows);
  return rows;
}

}  // namespace bench
