// The headline figures of the record path, each against a raw baseline measured in the
// same run:
//   write_<class>_vs_raw_sqlite  WriteToDB of realistic records of each event class
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
// libpq names its object identifier type Oid, as the value library names its class.
#define Oid PgOid
#include <libpq-fe.h>
#undef Oid
#include <malloc.h>
#include <sqlite3.h>
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

#include "infra/tolk_map/attrvalchg.h"
#include "infra/tolk_map/eventlog.h"
#include "infra/tolk_map/objcrt.h"
#include "infra/tolk_map/objdlt.h"
#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/relchg.h"
#include "infra/tolk_map/secalm.h"
#include "infra/tolk_map/statechg.h"
#include "infra/tolk_map/testing.h"
#include "platform/db/rwdb_connection.h"
#include "tolk.h"

namespace {

using Clock = std::chrono::steady_clock;

// Managed objects the records are about (QX_BENCH_MO_POOL, default 3,000). The name
// cache keeps 2,000 distinguished names by default (QX_LOG_MPA_FDN_CACHE_MAX_SIZE).
int g_pool = 3000;

double seconds_since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

Asn1Value oidv(const Oid& o, Asn1Tag t = TAG_OID) {
  Asn1Value v;
  v.encode_oid(o, t);
  return v;
}
Asn1Value intv(long n) {
  Asn1Value v;
  v.encode_int(n);
  return v;
}
Asn1Value enumv(long n) {
  Asn1Value v;
  v.encode_enum(n);
  return v;
}
Asn1Value graph(const std::string& s) {
  Asn1Value v;
  v.encode_octets(s, TAG_GRAPHSTR);
  return v;
}
Asn1Value gentime(const std::string& s) {
  Asn1Value v;
  v.encode_octets(s, TAG_GENTIME);
  return v;
}
Asn1Value construct(Asn1Tag t, std::initializer_list<Asn1Value> items) {
  Asn1Value v;
  v.start_construct(t);
  for (const Asn1Value& i : items) v.add_component(i);
  return v;
}
Asn1Value pair(const Oid& id, const Asn1Value& value) {
  return construct(TAG_SEQ, {oidv(id), value});
}

// A managed object of the pool: a distinguished name of three RDNs.
Asn1Value managed_object(int n) {
  auto rdn = [](const char* type, const std::string& value) {
    return construct(TAG_SET, {construct(TAG_SEQ, {oidv(Oid(type)), graph(value)})});
  };
  return construct(TAG_CTX2,
                   {rdn("2.5.4.10", "operator"), rdn("2.5.4.11", "site-" + std::to_string(n % 40)),
                    rdn("2.5.4.3", "ne-" + std::to_string(n))});
}

std::string text_of_length(int n, int len) {
  std::string s = "record " + std::to_string(n) + " ";
  while (static_cast<int>(s.size()) < len) s += "event text ";
  s.resize(static_cast<size_t>(len));
  return s;
}

// A realistic record of a class: the common attributes and the class's own, each of
// its attribute's type (so that the texts of the formatted columns are the typed ones).
Asn1Value make_record(TABLE_TYPE type, const Oid& cls, int n) {
  Asn1Value list;
  list.start_construct(TAG_SET);
  char when[32];
  std::snprintf(when, sizeof when, "202403%02d%02d%02d%02dZ", 1 + n % 28, n % 24, n % 60,
                (n / 60) % 60);
  static const Oid kEvents[] = {Oid("2.9.3.2.10.6"), Oid("2.9.3.2.10.7"), Oid("2.9.3.2.10.14"),
                                Oid("2.9.3.2.10.1")};
  list.add_component(pair(loggingTimeOid, gentime(when)));
  list.add_component(pair(eventTypeOid, oidv(kEvents[n % 4], TAG_CTX6)));
  list.add_component(pair(objectClassOid, oidv(cls)));
  list.add_component(pair(
      mocOid, oidv(Oid(("1.3.6.1.4.1.32473.3.1." + std::to_string(n % 12)).c_str()), TAG_CTX0)));
  list.add_component(pair(moiOid, managed_object(n % g_pool)));
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

void check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
    std::exit(1);
  }
}

// The store's settings for an embedded file.
sqlite3* open_raw(const std::string& path) {
  sqlite3* db = nullptr;
  check(sqlite3_open(path.c_str(), &db), db, "open");
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
void read_rows(sqlite3* db, const std::string& table, Rows& out, int first_id) {
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

// Writes `rows` into a fresh table of the same columns and indexes, 1,000 per commit;
// returns rows per second.
double raw_write(const std::string& path, const qx::EventClass& cls, const Rows& rows) {
  std::filesystem::remove(path);
  sqlite3* db = open_raw(path);
  std::string ddl = "CREATE TABLE raw (";
  std::string ins = "INSERT INTO raw (";
  std::string qs;
  for (size_t i = 0; i < cls.columns.size(); ++i) {
    const qx::ColumnDef& c = cls.columns[i];
    std::string type = c.type == RWDBValue::String     ? "TEXT"
                       : c.type == RWDBValue::Blob     ? "BLOB"
                       : c.type == RWDBValue::DateTime ? "TEXT"
                                                       : "INTEGER";
    ddl += std::string(i ? ", " : "") + "\"" + rows.columns[i] + "\" " + type +
           (c.nullable ? "" : " NOT NULL");
    ins += std::string(i ? ", " : "") + "\"" + rows.columns[i] + "\"";
    qs += i ? ", ?" : "?";
  }
  check(sqlite3_exec(db, (ddl + ")").c_str(), nullptr, nullptr, nullptr), db, "create");
  for (const qx::IndexDef& ix : cls.indexes) {
    std::string col = ix.column;
    for (char& ch : col) ch = static_cast<char>(std::tolower(ch));
    check(sqlite3_exec(
              db,
              ("CREATE INDEX raw_" + std::string(ix.suffix) + " ON raw (\"" + col + "\")").c_str(),
              nullptr, nullptr, nullptr),
          db, "index");
  }
  sqlite3_stmt* st = nullptr;
  check(sqlite3_prepare_v2(db, (ins + ") VALUES (" + qs + ")").c_str(), -1, &st, nullptr), db,
        "prepare");
  auto t0 = Clock::now();
  check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
  size_t n = 0;
  for (const auto& row : rows.rows) {
    for (size_t i = 0; i < row.size(); ++i) sqlite3_bind_value(st, static_cast<int>(i + 1), row[i]);
    check(sqlite3_step(st), db, "insert");
    sqlite3_reset(st);
    if (++n % 1000 == 0) {
      check(sqlite3_exec(db, "COMMIT; BEGIN", nullptr, nullptr, nullptr), db, "commit");
    }
  }
  check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  double rate = static_cast<double>(rows.rows.size()) / seconds_since(t0);
  sqlite3_finalize(st);
  sqlite3_close(db);
  return rate;
}

// ---- PostgreSQL.

PGconn* pg_connect(const std::string& url) {
  PGconn* c = PQconnectdb(url.c_str());
  if (PQstatus(c) != CONNECTION_OK) {
    std::fprintf(stderr, "postgres: %s\n", PQerrorMessage(c));
    std::exit(1);
  }
  return c;
}

void pg_exec(PGconn* c, const std::string& sql) {
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
void pg_read_rows(PGconn* c, const std::string& table, PgRows& out, int first_id) {
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

// Inserts the same rows into a fresh table of the same columns and indexes, 1,000 per
// transaction, with a statement prepared once; rows per second.
double pg_raw_write(PGconn* c, const qx::EventClass& cls, const PgRows& rows) {
  pg_exec(c, "DROP TABLE IF EXISTS raw_bench");
  std::string ddl = "CREATE TABLE raw_bench (";
  std::string ins = "INSERT INTO raw_bench (";
  std::string qs;
  for (size_t i = 0; i < rows.columns.size(); ++i) {
    ddl += std::string(i ? ", " : "") + "\"" + rows.columns[i] + "\" " + rows.types[i] +
           (cls.columns[i].nullable ? "" : " NOT NULL");
    ins += std::string(i ? ", " : "") + "\"" + rows.columns[i] + "\"";
    qs += (i ? ", $" : "$") + std::to_string(i + 1);
  }
  pg_exec(c, ddl + ")");
  for (const qx::IndexDef& ix : cls.indexes) {
    std::string col = ix.column;
    for (char& ch : col) ch = static_cast<char>(std::tolower(ch));
    pg_exec(c,
            "CREATE INDEX raw_bench_" + std::string(ix.suffix) + " ON raw_bench (\"" + col + "\")");
  }
  PGresult* p = PQprepare(c, "raw_ins", (ins + ") VALUES (" + qs + ")").c_str(), 0, nullptr);
  PQclear(p);
  size_t n = rows.columns.size();
  std::vector<const char*> vals(n);
  std::vector<int> lens(n), fmts(n, 1);
  auto t0 = Clock::now();
  pg_exec(c, "BEGIN");
  size_t k = 0;
  for (size_t r = 0; r < rows.values.size(); ++r) {
    for (size_t i = 0; i < n; ++i) {
      vals[i] = rows.nulls[r][i] ? nullptr : rows.values[r][i].data();
      lens[i] = static_cast<int>(rows.values[r][i].size());
    }
    PGresult* res =
        PQexecPrepared(c, "raw_ins", static_cast<int>(n), vals.data(), lens.data(), fmts.data(), 0);
    if (PQresultStatus(res) != PGRES_COMMAND_OK) {
      std::fprintf(stderr, "raw insert: %s\n", PQerrorMessage(c));
      std::exit(1);
    }
    PQclear(res);
    if (++k % 1000 == 0) {
      pg_exec(c, "COMMIT");
      pg_exec(c, "BEGIN");
    }
  }
  pg_exec(c, "COMMIT");
  double rate = static_cast<double>(rows.values.size()) / seconds_since(t0);
  pg_exec(c, "DEALLOCATE raw_ins");
  pg_exec(c, "DROP TABLE raw_bench");
  return rate;
}

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
