// The database layer against the raw drivers, in the same run: the alarm row
// (the ten common event columns and the 26 alarm columns, blob included)
// written through a prepared inserter bound to a row image, one execution
// per row and 1,000 rows per transaction, and a full-table read through
// RWDBReader; the baselines write and read the same rows with plain
// sqlite3_prepare/bind/step and PQprepare/PQexecPrepared (reads in
// single-row mode), prepared once, into tables of the same definition and
// indexes.
//
// PostgreSQL runs when QXDB_BENCH_PG_URL (or QXDB_TEST_PG_URL) names a
// database. Inside a transaction the layer puts each statement between
// SAVEPOINT and RELEASE (sent in one pipeline with it), so that a failed
// statement leaves the transaction usable; a third PostgreSQL insert variant,
// the raw driver doing the same, shows what that costs. After the runs the program prints the
// headline ratios (layer rows per second / raw rows per second) as "NAME: VALUE" lines.
// --quick: fewer rows and repetitions.

#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/db/rwdb.h"

namespace {

bool g_quick = false;
int RowsPerTx() { return 1000; }
int Transactions() { return g_quick ? 3 : 10; }
int ReadRows() { return g_quick ? 5000 : 30000; }

// ---- the row ----

// The 27 columns the insert writes, in statement order; the other nine
// (the acknowledge, clear and display details) stay NULL.
const char* const kInsertColumns[] = {"loggingTime",
                                      "eventName",
                                      "MOC_s",
                                      "MOI_s",
                                      "moi_id",
                                      "eventTime",
                                      "notificationId",
                                      "correlatedNotifs",
                                      "additionalText",
                                      "additionalInfo_s",
                                      "logRecType",
                                      "logRecordId",
                                      "probableCause_s",
                                      "probableCauseOid",
                                      "perceivedSeverity",
                                      "specificProblems",
                                      "backedUpStatus",
                                      "backUpObject",
                                      "trendIndication",
                                      "thresholdInfo_s",
                                      "stateChangeDef_s",
                                      "monitoredAttribs",
                                      "proposedRprActs",
                                      "ackState",
                                      "clearState",
                                      "displayState",
                                      "blob"};
constexpr int kInsertCount = 27;

RWDBSchema AlarmSchema() {
  RWDBSchema s;
  auto text = [&](const char* n, long len) { s.appendColumn(n, RWDBValue::String, len); };
  s.appendColumn("loggingTime", RWDBValue::DateTime);
  text("eventName", 255);
  text("MOC_s", 255);
  text("MOI_s", 255);
  s.appendColumn("eventTime", RWDBValue::DateTime);
  s.appendColumn("notificationId", RWDBValue::UnsignedLong);
  text("correlatedNotifs", 255);
  text("additionalText", 255);
  text("additionalInfo_s", 255);
  text("logRecType", 255);
  s.appendColumn("logRecordId", RWDBValue::UnsignedLong, 0, false);
  s.appendColumn("moi_id", RWDBValue::UnsignedLong);
  for (const char* n : {"probableCause_s", "probableCauseOid"}) text(n, 255);
  text("perceivedSeverity", 14);
  text("specificProblems", 255);
  text("backedUpStatus", 13);
  text("backUpObject", 255);
  text("trendIndication", 11);
  for (const char* n :
       {"thresholdInfo_s", "stateChangeDef_s", "monitoredAttribs", "proposedRprActs"})
    text(n, 255);
  text("ackState", 8);
  s.appendColumn("ackTime", RWDBValue::DateTime);
  text("ackOperator", 16);
  text("ackText", 255);
  text("clearState", 10);
  s.appendColumn("clearTime", RWDBValue::DateTime);
  text("clearOperator", 16);
  text("clearText", 255);
  text("displayState", 12);
  s.appendColumn("displayTime", RWDBValue::DateTime);
  text("displayOperator", 16);
  text("displayText", 255);
  s.appendColumn("blob", RWDBValue::Blob, 33000);
  return s;
}

// The texts of one row (mostly 10 to 60 characters), the same on both sides,
// in the order of the text columns of the insert.
const char* const kTexts[] = {
    "communicationsAlarm",
    "1.3.6.1.4.1.32473.2.2.1",
    "/network=core/element=router-17/shelf=2/slot=4/port=12",
    "correlated: 1001 1002 1003",
    "link down on port 12 after loss of signal",
    "threshold 80% crossed on input errors counter",
    "1.3.6.1.4.1.32473.2.2.2.16.3.1",
    "lossOfSignal",
    "1.3.6.1.4.1.32473.2.2.2.16.9.1",
    "major",
    "specific problem 42: laser bias current high",
    "not backedup",
    "/network=core/element=router-18",
    "moreSevere",
    "observed 87 of 80 (rising)",
    "operationalState: enabled -> disabled",
    "ifInErrors ifOutErrors ifOperStatus",
    "replace the transceiver module in slot 4",
    "unAcked",
    "unCleared",
    "unDisplayed",
};
constexpr int kTextCount = 21;
// Column positions (in kInsertColumns) of the texts, in kTexts order.
const int kTextColumns[] = {1,  2,  3,  7,  8,  9,  10, 12, 13, 14, 15,
                            16, 17, 18, 19, 20, 21, 22, 23, 24, 25};

std::string BlobBytes() {
  std::string b(120, '\0');
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<char>((i * 37 + 11) & 0xff);
  return b;
}

const int64_t kBaseMillis = 1700000000000LL;

// ---- the layer side ----

struct RowImage {
  RWDBDateTime loggingTime, eventTime;
  unsigned long moiId = 0, notificationId = 0, logRecordId = 0;
  RWCString text[kTextCount];
  RWDBBlob blob;
};

struct LayerStore {
  RWDBDatabase db;
  RWDBConnection conn;
  std::string error;
};

RWDBDatabase OpenLayer(bool pg, const std::string& sqlitePath);

// The PostgreSQL target, parsed from the URL: host, user, database.
struct PgTarget {
  std::string host, user, db;
  bool ok = false;
};

PgTarget PgFromEnv() {
  PgTarget t;
  const char* u = std::getenv("QXDB_BENCH_PG_URL");
  if (u == nullptr || *u == '\0') u = std::getenv("QXDB_TEST_PG_URL");
  if (u == nullptr || *u == '\0') return t;
  std::string url = u, rest = url.substr(url.find("://") + 3);
  size_t slash = rest.find('/'), at = rest.find('@');
  if (at != std::string::npos && at < slash) {
    t.user = rest.substr(0, at);
    rest = rest.substr(at + 1);
    slash = rest.find('/');
  }
  std::string host = rest.substr(0, slash), dec;
  for (size_t i = 0; i < host.size(); ++i) {
    if (host[i] == '%' && i + 2 < host.size()) {
      dec += static_cast<char>(std::stoi(host.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      dec += host[i];
    }
  }
  t.host = dec;
  t.db = rest.substr(slash + 1);
  t.ok = true;
  return t;
}

std::string g_dir;

std::string SqlitePath(const std::string& name) { return g_dir + "/" + name + ".db"; }

RWDBDatabase OpenLayer(bool pg, const std::string& sqlitePath) {
  if (pg) {
    PgTarget t = PgFromEnv();
    return RWDBManager::database("POSTGRESQL", t.host, t.user, "", t.db);
  }
  return RWDBManager::database("SQLITE", "", "", "", sqlitePath);
}

// Creates the alarm table and its two indexes (through the layer, so both
// sides get the same definition), dropping an old one.
bool MakeTable(RWDBDatabase& db, RWDBConnection& conn, const std::string& name) {
  RWDBTable t = db.table(name);
  if (t.exists(conn)) t.drop(conn);
  if (!db.createTable(name, AlarmSchema(), conn).isValid()) return false;
  RWDBSchema a, b;
  a.appendColumn("logRecordId");
  b.appendColumn("moi_id");
  return t.createIndex(name.substr(0, name.size() - 5) + "elaid", a, conn).isValid() &&
         t.createIndex(name.substr(0, name.size() - 5) + "qxoid", b, conn).isValid();
}

void FillImage(RowImage& img, unsigned long id) {
  img.logRecordId = id;
  img.moiId = id % 97;
  img.notificationId = id;
  img.loggingTime = RWDBDateTime::fromMillis(kBaseMillis + static_cast<int64_t>(id));
  img.eventTime = RWDBDateTime::fromMillis(kBaseMillis + static_cast<int64_t>(id) - 5);
}

void BindInserter(RWDBInserter& ins, RowImage& img) {
  int t = 0;
  for (int c = 0; c < kInsertCount; ++c) {
    RWCString col = kInsertColumns[c];
    if (c == 0) {
      ins[col] << RWDBBoundExpr(&img.loggingTime);
    } else if (c == 5) {
      ins[col] << RWDBBoundExpr(&img.eventTime);
    } else if (c == 4) {
      ins[col] << RWDBBoundExpr(&img.moiId);
    } else if (c == 6) {
      ins[col] << RWDBBoundExpr(&img.notificationId);
    } else if (c == 11) {
      ins[col] << RWDBBoundExpr(&img.logRecordId);
    } else if (c == 26) {
      ins[col] << RWDBBoundExpr(&img.blob);
    } else {
      ins[col] << RWDBBoundExpr(&img.text[t++]);
    }
  }
}

void BM_InsertLayer(benchmark::State& state, bool pg) {
  if (pg && !PgFromEnv().ok) {
    state.SkipWithError("no PostgreSQL (QXDB_BENCH_PG_URL)");
    return;
  }
  RWDBDatabase db = OpenLayer(pg, SqlitePath("layer_insert"));
  RWDBConnection conn = db.connection();
  std::string name = "bench_layer_qxAlm";
  if (!db.isValid() || !MakeTable(db, conn, name)) {
    state.SkipWithError("cannot make the table");
    return;
  }
  RowImage img;
  for (int i = 0; i < kTextCount; ++i) img.text[i] = kTexts[i];
  std::string blob = BlobBytes();
  img.blob.putBytes(blob.data(), blob.size());
  RWDBInserter ins = db.table(name).inserter();
  BindInserter(ins, img);
  conn.autoCommit(false);
  unsigned long id = 0;
  for (auto _ : state) {
    for (int r = 0; r < RowsPerTx(); ++r) {
      FillImage(img, ++id);
      if (!ins.execute(conn).isValid()) {
        state.SkipWithError("insert failed");
        return;
      }
    }
    if (!conn.commitTransaction().isValid()) {
      state.SkipWithError("commit failed");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * RowsPerTx());
}

// Reads every row and column of the table into program variables.
void BM_ReadLayer(benchmark::State& state, bool pg) {
  if (pg && !PgFromEnv().ok) {
    state.SkipWithError("no PostgreSQL (QXDB_BENCH_PG_URL)");
    return;
  }
  RWDBDatabase db = OpenLayer(pg, SqlitePath("read"));
  RWDBConnection conn = db.connection();
  RWDBTable t = db.table("bench_read_qxAlm");
  RWDBSelector sel = db.selector();
  sel << t;
  RWDBNullIndicator null;
  RWDBDateTime times[5];
  unsigned long ints[3];
  RWCString texts[27];
  RWDBBlob blob;
  long rows = 0;
  for (auto _ : state) {
    RWDBReader r = sel.reader(conn);
    rows = 0;
    while (r()) {
      ++rows;
      int ti = 0, ii = 0, si = 0;
      for (size_t c = 0; c < 36; ++c) {
        r >> null;
        if (c == 0 || c == 4 || c == 24 || c == 28 || c == 32) {
          r >> times[ti++];
        } else if (c == 5 || c == 10 || c == 11) {
          r >> ints[ii++];
        } else if (c == 35) {
          r >> blob;
        } else {
          r >> texts[si++];
        }
      }
    }
    if (!r.status().isValid() || rows != ReadRows()) {
      state.SkipWithError("read failed");
      return;
    }
    benchmark::DoNotOptimize(blob.length());
  }
  state.SetItemsProcessed(state.iterations() * rows);
}

// ---- the raw SQLite side ----

sqlite3* OpenRawSqlite(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return nullptr;
  sqlite3_busy_timeout(db, 5000);
  sqlite3_exec(db,
               "PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL; "
               "PRAGMA case_sensitive_like = ON;",
               nullptr, nullptr, nullptr);
  return db;
}

// "YYYY-MM-DD HH:MM:SS.mmm+HH:MM" of an instant in the local zone.
// REQUIRES: out holds 64 bytes.
void FormatTime(int64_t millis, char* out) {
  time_t secs = static_cast<time_t>(millis / 1000);
  struct tm tm {};
  localtime_r(&secs, &tm);
  long off = tm.tm_gmtoff;
  std::snprintf(out, 64, "%04d-%02d-%02d %02d:%02d:%02d.%03d%c%02ld:%02ld", tm.tm_year + 1900,
                tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                static_cast<int>(millis % 1000), off < 0 ? '-' : '+', std::labs(off) / 3600,
                std::labs(off) / 60 % 60);
}

std::string InsertSql(bool pg, const std::string& table) {
  std::string sql = "INSERT INTO \"" + table + "\" (";
  for (int c = 0; c < kInsertCount; ++c) {
    std::string n = kInsertColumns[c];
    std::transform(n.begin(), n.end(), n.begin(), ::tolower);
    sql += (c ? ", \"" : "\"") + n + "\"";
  }
  sql += ") VALUES (";
  for (int c = 0; c < kInsertCount; ++c)
    sql += (c ? ", " : "") + std::string(pg ? "$" : "?") + std::to_string(c + 1);
  return sql + ")";
}

void BM_InsertRawSqlite(benchmark::State& state) {
  {
    RWDBDatabase db = OpenLayer(false, SqlitePath("raw_insert"));
    RWDBConnection conn = db.connection();
    if (!MakeTable(db, conn, "bench_raw_qxAlm")) {
      state.SkipWithError("cannot make the table");
      return;
    }
  }
  sqlite3* db = OpenRawSqlite(SqlitePath("raw_insert"));
  sqlite3_stmt* st = nullptr;
  std::string sql = InsertSql(false, "bench_raw_qxalm");
  if (db == nullptr || sqlite3_prepare_v3(db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st,
                                          nullptr) != SQLITE_OK) {
    state.SkipWithError("prepare failed");
    return;
  }
  std::string blob = BlobBytes();
  int64_t id = 0;
  char t1[64], t2[64];
  for (auto _ : state) {
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (int r = 0; r < RowsPerTx(); ++r) {
      ++id;
      FormatTime(kBaseMillis + id, t1);
      FormatTime(kBaseMillis + id - 5, t2);
      sqlite3_bind_text(st, 1, t1, -1, SQLITE_STATIC);
      sqlite3_bind_text(st, 6, t2, -1, SQLITE_STATIC);
      sqlite3_bind_int64(st, 5, id % 97);
      sqlite3_bind_int64(st, 7, id);
      sqlite3_bind_int64(st, 12, id);
      for (int k = 0; k < kTextCount; ++k)
        sqlite3_bind_text(st, kTextColumns[k] + 1, kTexts[k], -1, SQLITE_STATIC);
      sqlite3_bind_blob(st, 27, blob.data(), static_cast<int>(blob.size()), SQLITE_STATIC);
      if (sqlite3_step(st) != SQLITE_DONE) {
        state.SkipWithError(sqlite3_errmsg(db));
        break;
      }
      sqlite3_reset(st);
    }
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations() * RowsPerTx());
}

void BM_ReadRawSqlite(benchmark::State& state) {
  sqlite3* db = OpenRawSqlite(SqlitePath("read"));
  sqlite3_stmt* st = nullptr;
  if (db == nullptr ||
      sqlite3_prepare_v2(db, "SELECT * FROM \"bench_read_qxalm\"", -1, &st, nullptr) != SQLITE_OK) {
    state.SkipWithError("prepare failed");
    return;
  }
  std::string texts[27], times[5], blob;
  int64_t ints[3];
  long rows = 0;
  for (auto _ : state) {
    rows = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
      ++rows;
      int ti = 0, ii = 0, si = 0;
      for (int c = 0; c < 36; ++c) {
        if (sqlite3_column_type(st, c) == SQLITE_NULL) {
          if (c == 0 || c == 4 || c == 24 || c == 28 || c == 32)
            ++ti;
          else if (c == 5 || c == 10 || c == 11)
            ++ii;
          else if (c != 35)
            ++si;
          continue;
        }
        if (c == 0 || c == 4 || c == 24 || c == 28 || c == 32) {
          times[ti++].assign(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                             static_cast<size_t>(sqlite3_column_bytes(st, c)));
        } else if (c == 5 || c == 10 || c == 11) {
          ints[ii++] = sqlite3_column_int64(st, c);
        } else if (c == 35) {
          const void* p = sqlite3_column_blob(st, c);
          blob.assign(static_cast<const char*>(p),
                      static_cast<size_t>(sqlite3_column_bytes(st, c)));
        } else {
          texts[si++].assign(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                             static_cast<size_t>(sqlite3_column_bytes(st, c)));
        }
      }
    }
    sqlite3_reset(st);
    benchmark::DoNotOptimize(ints[0]);
    benchmark::DoNotOptimize(blob.size());
  }
  sqlite3_finalize(st);
  sqlite3_close(db);
  if (rows != ReadRows()) state.SkipWithError("wrong row count");
  state.SetItemsProcessed(state.iterations() * rows);
}

// ---- the raw PostgreSQL side ----

PGconn* OpenRawPg() {
  PgTarget t = PgFromEnv();
  const char* keys[] = {"host", "user", "dbname", "client_encoding", nullptr};
  const char* vals[] = {t.host.c_str(), t.user.c_str(), t.db.c_str(), "UTF8", nullptr};
  PGconn* pg = PQconnectdbParams(keys, vals, 0);
  if (PQstatus(pg) != CONNECTION_OK) {
    PQfinish(pg);
    return nullptr;
  }
  PQclear(PQexec(pg, "SET DateStyle = ISO"));
  return pg;
}

bool Ok(PGresult* r) {
  bool ok = PQresultStatus(r) == PGRES_COMMAND_OK || PQresultStatus(r) == PGRES_TUPLES_OK;
  PQclear(r);
  return ok;
}

// What the savepoints cost: the raw driver sending what the layer sends inside
// a transaction (SAVEPOINT, the insert and RELEASE in one pipeline, one sync).
bool g_savepoints = false;

void BM_InsertRawPgSavepoint(benchmark::State& state);

void BM_InsertRawPg(benchmark::State& state) {
  if (!PgFromEnv().ok) {
    state.SkipWithError("no PostgreSQL (QXDB_BENCH_PG_URL)");
    return;
  }
  {
    RWDBDatabase db = OpenLayer(true, "");
    RWDBConnection conn = db.connection();
    if (!MakeTable(db, conn, "bench_raw_qxAlm")) {
      state.SkipWithError("cannot make the table");
      return;
    }
  }
  PGconn* pg = OpenRawPg();
  if (pg == nullptr ||
      !Ok(PQprepare(pg, "ins", InsertSql(true, "bench_raw_qxalm").c_str(), kInsertCount,
                    nullptr)) ||
      !Ok(PQprepare(pg, "sp", "SAVEPOINT s", 0, nullptr)) ||
      !Ok(PQprepare(pg, "rel", "RELEASE SAVEPOINT s", 0, nullptr))) {
    state.SkipWithError("prepare failed");
    if (pg) PQfinish(pg);
    return;
  }
  std::string blob = BlobBytes();
  const char* values[kInsertCount];
  int lengths[kInsertCount] = {0}, formats[kInsertCount] = {0};
  for (int k = 0; k < kTextCount; ++k) values[kTextColumns[k]] = kTexts[k];
  values[26] = blob.data();
  lengths[26] = static_cast<int>(blob.size());
  formats[26] = 1;
  char t1[64], t2[64], moi[24], nid[24], rid[24];
  values[0] = t1;
  values[5] = t2;
  values[4] = moi;
  values[6] = nid;
  values[11] = rid;
  int64_t id = 0;
  for (auto _ : state) {
    if (!Ok(PQexec(pg, "BEGIN"))) break;
    for (int r = 0; r < RowsPerTx(); ++r) {
      ++id;
      FormatTime(kBaseMillis + id, t1);
      FormatTime(kBaseMillis + id - 5, t2);
      std::snprintf(moi, sizeof moi, "%lld", static_cast<long long>(id % 97));
      std::snprintf(nid, sizeof nid, "%lld", static_cast<long long>(id));
      std::snprintf(rid, sizeof rid, "%lld", static_cast<long long>(id));
      if (g_savepoints) {
        PQenterPipelineMode(pg);
        PQsendQueryPrepared(pg, "sp", 0, nullptr, nullptr, nullptr, 0);
        PQsendQueryPrepared(pg, "ins", kInsertCount, values, lengths, formats, 0);
        PQsendQueryPrepared(pg, "rel", 0, nullptr, nullptr, nullptr, 0);
        PQpipelineSync(pg);
        bool ok = true;
        for (int cmd = 0; cmd < 3; ++cmd) {
          while (PGresult* res = PQgetResult(pg)) {
            ok = ok && PQresultStatus(res) == PGRES_COMMAND_OK;
            PQclear(res);
          }
        }
        PQclear(PQgetResult(pg));  // the sync
        PQexitPipelineMode(pg);
        if (!ok) {
          state.SkipWithError("insert failed");
          break;
        }
      } else if (!Ok(PQexecPrepared(pg, "ins", kInsertCount, values, lengths, formats, 0))) {
        state.SkipWithError(PQerrorMessage(pg));
        break;
      }
    }
    if (!Ok(PQexec(pg, "COMMIT"))) break;
  }
  PQfinish(pg);
  state.SetItemsProcessed(state.iterations() * RowsPerTx());
}

void BM_InsertRawPgSavepoint(benchmark::State& state) {
  g_savepoints = true;
  BM_InsertRawPg(state);
  g_savepoints = false;
}

int Hex(char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; }

void BM_ReadRawPg(benchmark::State& state) {
  if (!PgFromEnv().ok) {
    state.SkipWithError("no PostgreSQL (QXDB_BENCH_PG_URL)");
    return;
  }
  PGconn* pg = OpenRawPg();
  if (pg == nullptr ||
      !Ok(PQprepare(pg, "sel", "SELECT * FROM \"bench_read_qxalm\"", 0, nullptr))) {
    state.SkipWithError("prepare failed");
    if (pg) PQfinish(pg);
    return;
  }
  std::string texts[27], times[5], blob;
  int64_t ints[3];
  long rows = 0;
  for (auto _ : state) {
    rows = 0;
    PQsendQueryPrepared(pg, "sel", 0, nullptr, nullptr, nullptr, 0);
    PQsetSingleRowMode(pg);
    while (PGresult* r = PQgetResult(pg)) {
      if (PQresultStatus(r) == PGRES_SINGLE_TUPLE) {
        ++rows;
        int ti = 0, ii = 0, si = 0;
        for (int c = 0; c < 36; ++c) {
          bool null = PQgetisnull(r, 0, c);
          const char* v = PQgetvalue(r, 0, c);
          size_t n = static_cast<size_t>(PQgetlength(r, 0, c));
          if (c == 0 || c == 4 || c == 24 || c == 28 || c == 32) {
            if (!null) times[ti].assign(v, n);
            ++ti;
          } else if (c == 5 || c == 10 || c == 11) {
            if (!null) ints[ii] = std::strtoll(v, nullptr, 10);
            ++ii;
          } else if (c == 35) {
            if (!null && n >= 2) {
              blob.resize((n - 2) / 2);
              for (size_t k = 0; k < blob.size(); ++k)
                blob[k] = static_cast<char>(Hex(v[2 + 2 * k]) * 16 + Hex(v[3 + 2 * k]));
            }
          } else {
            if (!null) texts[si].assign(v, n);
            ++si;
          }
        }
      }
      PQclear(r);
    }
    benchmark::DoNotOptimize(ints[0]);
    benchmark::DoNotOptimize(blob.size());
  }
  PQfinish(pg);
  if (rows != ReadRows()) state.SkipWithError("wrong row count");
  state.SetItemsProcessed(state.iterations() * rows);
}

// Fills the table both read benchmarks scan.
bool PrepareReadTable(bool pg) {
  RWDBDatabase db = OpenLayer(pg, SqlitePath("read"));
  RWDBConnection conn = db.connection();
  if (!db.isValid() || !MakeTable(db, conn, "bench_read_qxAlm")) return false;
  RowImage img;
  for (int i = 0; i < kTextCount; ++i) img.text[i] = kTexts[i];
  std::string blob = BlobBytes();
  img.blob.putBytes(blob.data(), blob.size());
  RWDBInserter ins = db.table("bench_read_qxAlm").inserter();
  BindInserter(ins, img);
  conn.autoCommit(false);
  for (int id = 1; id <= ReadRows(); ++id) {
    FillImage(img, static_cast<unsigned long>(id));
    if (!ins.execute(conn).isValid()) return false;
  }
  return conn.commitTransaction().isValid();
}

// Keeps the items per second of every run, by benchmark name.
class Collector : public benchmark::ConsoleReporter {
 public:
  Collector() : ConsoleReporter(OO_None) {}
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& r : runs) {
      if (r.error_occurred || r.run_type != Run::RT_Iteration) continue;
      auto it = r.counters.find("items_per_second");
      if (it != r.counters.end()) rates[r.run_name.function_name].push_back(it->second.value);
    }
    ConsoleReporter::ReportRuns(runs);
  }
  double Median(const std::string& name) const {
    auto it = rates.find(name);
    if (it == rates.end() || it->second.empty()) return 0;
    std::vector<double> v = it->second;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  }
  std::map<std::string, std::vector<double>> rates;
};

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--quick") == 0) {
      g_quick = true;
    } else {
      if (std::strcmp(argv[i], "--help") == 0)
        std::printf("db_alarm_bench [--quick] [benchmark options]\n");
      args.push_back(argv[i]);
    }
  }
  RWDBManager::setErrorHandler([](const RWDBStatus& s) {
    std::fprintf(stderr, "database error %d: %s\n", static_cast<int>(s.errorCode()),
                 s.message().data());
  });
  char tmpl[] = "/tmp/qxdb_bench_XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return 1;
  g_dir = tmpl;
  const bool havePg = PgFromEnv().ok;
  if (!PrepareReadTable(false) || (havePg && !PrepareReadTable(true))) {
    std::fprintf(stderr, "cannot prepare the read table\n");
    return 1;
  }
  const int reps = g_quick ? 3 : 5;
  const int tx = Transactions();
  // Layer and raw alternate, so that a slow moment of the machine hits both.
  for (int rep = 0; rep < reps; ++rep) {
    benchmark::RegisterBenchmark("insert_layer_sqlite", BM_InsertLayer, false)
        ->Iterations(tx)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("insert_raw_sqlite", BM_InsertRawSqlite)
        ->Iterations(tx)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("read_layer_sqlite", BM_ReadLayer, false)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("read_raw_sqlite", BM_ReadRawSqlite)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    if (havePg) {
      benchmark::RegisterBenchmark("insert_layer_postgresql", BM_InsertLayer, true)
          ->Iterations(tx)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
      benchmark::RegisterBenchmark("insert_rawsavepoint_postgresql", BM_InsertRawPgSavepoint)
          ->Iterations(tx)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
      benchmark::RegisterBenchmark("insert_raw_postgresql", BM_InsertRawPg)
          ->Iterations(tx)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
      benchmark::RegisterBenchmark("read_layer_postgresql", BM_ReadLayer, true)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
      benchmark::RegisterBenchmark("read_raw_postgresql", BM_ReadRawPg)
          ->Unit(benchmark::kMillisecond)
          ->UseRealTime();
    }
  }
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  Collector collector;
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();
  std::filesystem::remove_all(g_dir);

  auto ratio = [&](const char* layer, const char* raw, const char* headline) {
    double l = collector.Median(layer), r = collector.Median(raw);
    if (l > 0 && r > 0) std::printf("%s: %.2f\n", headline, l / r);
  };
  ratio("insert_layer_sqlite", "insert_raw_sqlite", "db_insert_vs_raw_sqlite");
  ratio("read_layer_sqlite", "read_raw_sqlite", "db_read_vs_raw_sqlite");
  ratio("insert_layer_postgresql", "insert_raw_postgresql", "db_insert_vs_raw_postgresql");
  // The layer against the raw driver doing the same statement-level rollback.
  ratio("insert_layer_postgresql", "insert_rawsavepoint_postgresql",
        "db_insert_vs_raw_savepoint_postgresql");
  ratio("read_layer_postgresql", "read_raw_postgresql", "db_read_vs_raw_postgresql");
  return 0;
}
