// What the record benchmarks share: realistic records of every class, and the raw
// baselines that write the very same rows with plain driver calls (sqlite3 and libpq),
// prepared once, into tables of the same columns and indexes.
#pragma once

// libpq names its object identifier type Oid, as the value library names its class.
#define Oid PgOid
#include <libpq-fe.h>
#undef Oid
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "infra/tolk_map/alarmlog.h"
#include "infra/tolk_map/eventlog.h"
#include "infra/tolk_map/intrnet.h"
#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/zkalarm.h"
#include "tolk.h"

namespace bench {

using Clock = std::chrono::steady_clock;

// Managed objects the records are about (QX_BENCH_MO_POOL, default 3,000). The name
// cache keeps 2,000 distinguished names by default (QX_LOG_MPA_FDN_CACHE_MAX_SIZE).
inline int g_pool = 3000;

inline double seconds_since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
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
inline Asn1Value make_record(TABLE_TYPE type, const Oid& cls, int n) {
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

inline void check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
    std::exit(1);
  }
}

// The store's settings for an embedded file.
inline sqlite3* open_raw(const std::string& path) {
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

// Writes `rows` into a fresh table of the same columns and indexes, 1,000 per commit;
// returns rows per second.
inline double raw_write(const std::string& path, const qx::EventClass& cls, const Rows& rows) {
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

// Inserts the same rows into a fresh table of the same columns and indexes, 1,000 per
// transaction, with a statement prepared once; rows per second.
inline double pg_raw_write(PGconn* c, const qx::EventClass& cls, const PgRows& rows) {
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

}  // namespace bench
