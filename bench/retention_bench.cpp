// History and retention, each against a baseline measured in the same run:
//   ack_with_history_vs_without  UpdateDBAck of 20,000 alarms by identifier, 1,000 per
//                                commit, in a log that keeps the action history (each
//                                acknowledge also appends its history row) against the
//                                same in a log that keeps none; best of four rounds each,
//                                interleaved;
//   purge_vs_raw_delete          LogMapper::purge of the oldest 100,000 records of a log of
//                                1,000,000 (the oldest found down the age index, deleted in
//                                batches of 10,000 each committed, the cache and the
//                                bookkeeping) against one raw DELETE of the same rows by the
//                                same criteria with plain sqlite3 calls, committed:
//                                  DELETE FROM t WHERE rowid IN (SELECT rowid FROM t
//                                    ORDER BY loggingtime, logrecordid LIMIT 100000)
//                                on an exact copy of the store taken before the purge (the
//                                same rows and indexes, the age index among them); the raw
//                                side's best of two copies. The age index is made by the
//                                log's first purge, measured apart ("age index made in").
//                                As a log stamps them, the records' logging times grow with
//                                their identifiers, less a delay of up to a minute each, so
//                                that the oldest records are not simply the first ones;
//   write_with_age_index_vs_without  writes of event records into a log whose tables have
//                                their age index (a log that has been purged) against writes
//                                into one whose tables have none; best of three rounds each;
//   ack_with_history_vs_without_raw  the statements of the first figure in plain sqlite3
//                                calls on the library's own tables: the UPDATE by record
//                                identifier, against the same with the history row the
//                                library appends (SAVEPOINT, INSERT ... SELECT of the state
//                                before, UPDATE, RELEASE), prepared once, 1,000 per commit,
//                                best of four rounds each, interleaved. What the store itself
//                                allows this design: the library's figure cannot pass it by
//                                much;
//   ack_with_history_vs_without_raw_least  the same with the least a history row can cost
//                                in this table: a plain INSERT of a row whose state before
//                                is taken as known, without the SELECT and the savepoint;
//   ack_instructions_with_history_vs_without  the first figure's ratio in instructions per
//                                acknowledge, counted by callgrind (2,000 alarms, the
//                                second round of each log): a figure that the machine's
//                                load does not move;
//   ack_with_history_vs_without_pg, purge_vs_raw_delete_pg  the first two on PostgreSQL
//                                (2,000 alarms; a log of 100,000 purged by 10,000, the raw
//                                DELETE on a copy of the table with the same indexes), when
//                                QXDB_BENCH_PG_URL or QXDB_TEST_PG_URL names a server
//                                database.
// A ratio of 1 means as fast as the baseline.
//
//   retention_bench [--quick]   (--quick: 5,000 alarms, 1,000 counted; a log of 100,000,
//                                purging 10,000)
#include <unistd.h>

#include <ctime>

#include "bench/record_bench_util.h"
#include "infra/tolk_map/tables/alarm_history.h"
#include "infra/tolk_map/testing.h"

namespace {

using namespace bench;

// When record n was logged: one second after the one before, less a delay of up to a
// minute (what a record spent on its way to the log).
std::string logged_at(int n) {
  std::time_t t = 1709251200 + n - (static_cast<long>(n) * 7919 % 61);  // 2024-03-01
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d%H%M%SZ", &tm);
  return text;
}

// Writes records first .. first + count - 1 of `cls`; seconds taken.
double fill(LogMapper* log, TABLE_TYPE type, const Oid& cls, int first, int count) {
  auto t0 = Clock::now();
  for (int i = first; i < first + count; ++i) {
    auto* entry = new OarInfo;
    if (log->WriteToDB(i, cls, cls, make_record(type, cls, i, logged_at(i)), entry) != 1) {
      std::fprintf(stderr, "write failed: %s\n", LogMapper::last_failure().c_str());
      std::exit(1);
    }
    if ((i - first + 1) % 1000 == 0) LogMapper::commit();
  }
  LogMapper::commit();
  return seconds_since(t0);
}

// Acknowledges alarms 1 .. count (`acked`), or takes their acknowledgement back, 1,000
// per commit.
void ack_all(LogMapper* log, int count, bool acked) {
  Asn1Value state;
  state.encode_enum(acked ? 1 : 0);
  Asn1Value list = construct(
      TAG_SET, {pair(ackStateOid, state),
                pair(ackTimeOid, construct(TAG_CTX0, {gentime("20240302080000Z")})),
                pair(ackOperatorOid, graph("operator")), pair(ackTextOid, graph("seen"))});
  for (int i = 0; i < count; ++i) {
    RespValue response;
    if (log->UpdateDBAck(1 + i, list, response) != 1) {
      std::fprintf(stderr, "acknowledge failed: %s\n", LogMapper::last_failure().c_str());
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
    auto t0 = Clock::now();
    ack_all(log, count, round % 2 == 0);
    best = std::max(best, count / seconds_since(t0));
  }
  return best;
}

void history_switch(bool on) {
  if (on) {
    setenv("QX_ALARM_HISTORY", "1", 1);
  } else {
    unsetenv("QX_ALARM_HISTORY");
  }
  qx::reset_alarm_history_switch();
}

// ack_with_history_vs_without_raw and _raw_least, on the SQLite store `store` (see the
// head).
std::vector<std::string> raw_ack_figures(const std::string& store, int count) {
  history_switch(true);
  LogMapper* log = new_log("raw_history");
  fill(log, QXALARM_TABLE, qxalarmOid, 1, count);
  LogMapper::commit();
  const std::string alarms = "\"" + log->get_table_name() + "QxAlm\"";
  const std::string history = "\"" + qx::history_table_name(log->get_table_name()) + "\"";
  sqlite3* db = open_raw(store);
  auto prepare = [&](const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), db, sql.c_str());
    return st;
  };
  auto run = [&](sqlite3_stmt* st) {
    check(sqlite3_step(st), db, sqlite3_sql(st));
    sqlite3_reset(st);
  };
  sqlite3_stmt* update = prepare("UPDATE " + alarms +
                                 " SET ackstate = ?1, acktime = ?2, ackoperator = ?3, "
                                 "acktext = ?4 WHERE logrecordid = ?5");
  sqlite3_stmt* append =
      prepare("INSERT INTO " + history +
              " (seq, logrecordid, recordclass, action, statebefore, stateafter, actiontime, "
              "operatorname, actiontext) SELECT ?6, logrecordid, '" +
              qxalarmOid.format() + "', 'acknowledge', ackstate, ?1, ?2, ?3, ?4 FROM " + alarms +
              " WHERE logrecordid = ?5");
  sqlite3_stmt* least =
      prepare("INSERT INTO " + history +
              " (seq, logrecordid, recordclass, action, statebefore, stateafter, actiontime, "
              "operatorname, actiontext) VALUES (?6, ?5, '" +
              qxalarmOid.format() + "', 'acknowledge', ?7, ?1, ?2, ?3, ?4)");
  sqlite3_stmt* savepoint = prepare("SAVEPOINT qx_group");
  sqlite3_stmt* release = prepare("RELEASE qx_group");
  long seq = 0;
  enum History { kNone, kLibrary, kLeast };
  // Every round changes the state of every row, as the library's rounds do: writing a row
  // again with the same values is cheaper (it keeps its size) and would flatter one side.
  auto round = [&](History history_row, bool acked) {
    const char* after = acked ? "acked" : "unAcked";
    const char* before = acked ? "unAcked" : "acked";
    // ?1-?5 of every statement: the state after, time, operator, text, record.
    auto bind_action = [&](sqlite3_stmt* st, int id) {
      sqlite3_bind_text(st, 1, after, -1, SQLITE_STATIC);
      sqlite3_bind_text(st, 2, "2024-03-02 09:00:00.000+01:00", -1, SQLITE_STATIC);
      sqlite3_bind_text(st, 3, "operator", -1, SQLITE_STATIC);
      sqlite3_bind_text(st, 4, "seen", -1, SQLITE_STATIC);
      sqlite3_bind_int(st, 5, id);
    };
    auto t0 = Clock::now();
    for (int i = 1; i <= count; ++i) {
      if (i % 1000 == 1) check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
      bind_action(update, i);
      sqlite3_stmt* row = history_row == kLibrary ? append : least;
      if (history_row != kNone) {
        bind_action(row, i);
        sqlite3_bind_int64(row, 6, ++seq);
      }
      if (history_row == kLibrary) {
        run(savepoint);
        run(append);
      }
      run(update);
      if (sqlite3_changes(db) != 1) {
        std::fprintf(stderr, "raw acknowledge of %d changed %d rows\n", i, sqlite3_changes(db));
        std::exit(1);
      }
      if (history_row == kLibrary) run(release);
      if (history_row == kLeast) {
        sqlite3_bind_text(least, 7, before, -1, SQLITE_STATIC);
        run(least);
      }
      if (i % 1000 == 0 || i == count)
        check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    }
    return count / seconds_since(t0);
  };
  double none = 0, library = 0, least_row = 0;
  for (int r = 0; r < 4; ++r) {
    none = std::max(none, round(kNone, r % 2 == 0));
    library = std::max(library, round(kLibrary, r % 2 != 0));
    least_row = std::max(least_row, round(kLeast, r % 2 == 0));
  }
  for (sqlite3_stmt* st : {update, append, least, savepoint, release}) sqlite3_finalize(st);
  sqlite3_close(db);
  std::printf(
      "raw ack without history %9.0f rec/s   with history %9.0f rec/s   least %9.0f rec/s\n", none,
      library, least_row);
  log->deleteDB(static_cast<char>(0));
  LogMapper::commit();
  delete log;
  history_switch(false);
  char line[2][128];
  std::snprintf(line[0], sizeof line[0], "ack_with_history_vs_without_raw: %.2f", library / none);
  std::snprintf(line[1], sizeof line[1], "ack_with_history_vs_without_raw_least: %.2f",
                least_row / none);
  return {line[0], line[1]};
}

// ack_with_history_vs_without on the store QXDB_URL names.
std::string ack_figure(int count, const char* suffix) {
  history_switch(false);
  LogMapper* without = new_log(std::string("without") + suffix);
  fill(without, QXALARM_TABLE, qxalarmOid, 1, count);
  history_switch(true);
  LogMapper* with = new_log(std::string("with") + suffix);
  fill(with, QXALARM_TABLE, qxalarmOid, 1, count);
  double a = 0, b = 0;
  for (int r = 0; r < 2; ++r) {  // interleaved, so that the machine's load hits both
    a = std::max(a, ack_rate(without, count, 2));
    b = std::max(b, ack_rate(with, count, 2));
  }
  std::printf("ack%s without history %9.0f rec/s   with history %9.0f rec/s\n", suffix, a, b);
  without->deleteDB(static_cast<char>(0));
  with->deleteDB(static_cast<char>(0));
  LogMapper::commit();
  delete without;
  delete with;
  history_switch(false);
  char line[128];
  std::snprintf(line, sizeof line, "ack_with_history_vs_without%s: %.2f", suffix, b / a);
  return line;
}

// A purge that deletes nothing (nothing is older than 1970) but makes the age indexes.
double make_age_index(LogMapper* log) {
  LogMapper::PurgeOptions none;
  none.before = gentime("19700101000000Z");
  auto t0 = Clock::now();
  if (log->purge(none) != 1) {
    std::fprintf(stderr, "purge failed: %s\n", LogMapper::last_failure().c_str());
    std::exit(1);
  }
  return seconds_since(t0);
}

// The library's purge of the oldest `purged` records of the `total` in `log`; seconds.
double library_purge(LogMapper* log, int total, int purged) {
  LogMapper::PurgeOptions options;
  options.keep = total - purged;
  LogMapper::PurgeResult result;
  auto t0 = Clock::now();
  if (log->purge(options, &result) != 1 || result.purged != static_cast<unsigned long>(purged)) {
    std::fprintf(stderr, "purge failed (%lu purged): %s\n", result.purged,
                 LogMapper::last_failure().c_str());
    std::exit(1);
  }
  return seconds_since(t0);
}

// What is left of a table: count, lowest, highest and sum of the identifiers.
std::string left_sqlite(sqlite3* db, const std::string& table) {
  sqlite3_stmt* st = nullptr;
  std::string sql =
      "SELECT count(*), min(logrecordid), max(logrecordid), sum(logrecordid) FROM \"" + table +
      "\"";
  check(sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr), db, "prepare");
  check(sqlite3_step(st), db, "step");
  std::string out;
  for (int i = 0; i < 4; ++i) out += std::to_string(sqlite3_column_int64(st, i)) + " ";
  sqlite3_finalize(st);
  return out;
}

std::string purge_figure(const std::string& dir, int total, int purged) {
  std::string store = dir + "/store.db";
  LogMapper* log = new_log("retained");
  double filled = fill(log, OBJCRT_TABLE, objcrtOid, 1, total);
  double indexed = make_age_index(log);
  std::printf("log of %d records written in %.1f s; age index made in %.3f s\n", total, filled,
              indexed);
  const std::string table = log->get_table_name() + "ObCre";
  // Two exact copies for the raw side, taken while the library has no transaction open.
  std::vector<std::string> copies = {dir + "/raw1.db", dir + "/raw2.db"};
  {
    sqlite3* db = open_raw(store);
    check(sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr), db,
          "checkpoint");
    sqlite3_close(db);
    for (const std::string& c : copies) std::filesystem::copy_file(store, c);
  }
  auto raw_delete = [&](const std::string& path) {
    sqlite3* db = open_raw(path);
    std::string sql = "DELETE FROM \"" + table + "\" WHERE rowid IN (SELECT rowid FROM \"" + table +
                      "\" ORDER BY loggingtime, logrecordid LIMIT " + std::to_string(purged) + ")";
    auto t0 = Clock::now();
    check(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), db, "begin");
    check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, "delete");
    if (sqlite3_changes(db) != purged) {
      std::fprintf(stderr, "raw DELETE deleted %d rows\n", sqlite3_changes(db));
      std::exit(1);
    }
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    double s = seconds_since(t0);
    sqlite3_close(db);
    return s;
  };
  double raw = raw_delete(copies[0]);
  double lib = library_purge(log, total, purged);
  raw = std::min(raw, raw_delete(copies[1]));
  // Both deleted the same rows.
  sqlite3* a = open_raw(store);
  sqlite3* b = open_raw(copies[0]);
  std::string left_lib = left_sqlite(a, table), left_raw = left_sqlite(b, table);
  sqlite3_close(a);
  sqlite3_close(b);
  if (left_lib != left_raw) {
    std::fprintf(stderr, "the purge left %s, the raw DELETE %s\n", left_lib.c_str(),
                 left_raw.c_str());
    std::exit(1);
  }
  std::printf("purge %d of %d records: library %.3f s   raw DELETE %.3f s\n", purged, total, lib,
              raw);
  delete log;
  for (const std::string& c : copies) std::filesystem::remove(c);
  char line[128];
  std::snprintf(line, sizeof line, "purge_vs_raw_delete: %.2f", raw / lib);
  return line;
}

std::string write_figure(int count) {
  LogMapper* plain = new_log("plain");
  LogMapper* aged = new_log("aged");
  make_age_index(aged);
  double a = 1e9, b = 1e9;
  for (int round = 0; round < 3; ++round) {
    a = std::min(a, fill(plain, OBJCRT_TABLE, objcrtOid, 1 + round * count, count));
    b = std::min(b, fill(aged, OBJCRT_TABLE, objcrtOid, 1 + round * count, count));
  }
  std::printf("write without age index %9.0f rec/s   with age index %9.0f rec/s\n", count / a,
              count / b);
  delete plain;
  delete aged;
  char line[128];
  std::snprintf(line, sizeof line, "write_with_age_index_vs_without: %.2f", a / b);
  return line;
}

// ---- PostgreSQL.

std::string left_pg(PGconn* c, const std::string& table) {
  PGresult* r = PQexec(c, ("SELECT count(*), min(logrecordid), max(logrecordid), "
                           "sum(logrecordid) FROM \"" +
                           table + "\"")
                              .c_str());
  std::string out;
  for (int i = 0; i < 4; ++i) out += std::string(PQgetvalue(r, 0, i)) + " ";
  PQclear(r);
  return out;
}

std::string purge_figure_pg(const std::string& url, int total, int purged) {
  LogMapper* log = new_log("retained_pg");
  double filled = fill(log, OBJCRT_TABLE, objcrtOid, 1, total);
  double indexed = make_age_index(log);
  std::printf("log of %d records written in %.1f s; age index made in %.3f s (PostgreSQL)\n", total,
              filled, indexed);
  const std::string table = log->get_table_name() + "obcre";
  const std::string age = log->get_table_name() + "obctm";
  PGconn* c = pg_connect(url);
  // The copy: the same rows and the same indexes, and statistics for both.
  pg_exec(c, "DROP TABLE IF EXISTS raw_purge");
  pg_exec(c, "CREATE TABLE raw_purge AS SELECT * FROM \"" + table + "\"");
  pg_exec(c, "CREATE INDEX raw_purge_id ON raw_purge (logrecordid NULLS FIRST)");
  pg_exec(c,
          "CREATE INDEX raw_purge_age ON raw_purge (loggingtime NULLS FIRST, "
          "logrecordid NULLS FIRST)");
  pg_exec(c, "ANALYZE raw_purge");
  pg_exec(c, "ANALYZE \"" + table + "\"");
  auto t0 = Clock::now();
  pg_exec(c, "BEGIN");
  PGresult* r =
      PQexec(c, ("DELETE FROM raw_purge WHERE logrecordid IN (SELECT logrecordid "
                 "FROM raw_purge ORDER BY loggingtime NULLS FIRST, logrecordid NULLS FIRST LIMIT " +
                 std::to_string(purged) + ")")
                    .c_str());
  if (PQresultStatus(r) != PGRES_COMMAND_OK || std::atoi(PQcmdTuples(r)) != purged) {
    std::fprintf(stderr, "raw DELETE: %s %s\n", PQcmdTuples(r), PQerrorMessage(c));
    std::exit(1);
  }
  PQclear(r);
  pg_exec(c, "COMMIT");
  double raw = seconds_since(t0);
  double lib = library_purge(log, total, purged);
  std::string left_lib = left_pg(c, table), left_raw = left_pg(c, "raw_purge");
  pg_exec(c, "DROP TABLE raw_purge");
  PQfinish(c);
  if (left_lib != left_raw) {
    std::fprintf(stderr, "the purge left %s, the raw DELETE %s\n", left_lib.c_str(),
                 left_raw.c_str());
    std::exit(1);
  }
  std::printf("purge %d of %d records: library %.3f s   raw DELETE %.3f s (PostgreSQL)\n", purged,
              total, lib, raw);
  log->deleteDB(static_cast<char>(0));
  LogMapper::commit();
  delete log;
  char line[128];
  std::snprintf(line, sizeof line, "purge_vs_raw_delete_pg: %.2f", raw / lib);
  return line;
}

// The counting run (see instruction_count.h): the acknowledgements of a log without
// history and of one with, each counted after a round that warms the caches.
int count_run(int count) {
  g_counting = true;
  std::string dir = sqlite_scratch("retention_count");
  for (bool on : {false, true}) {
    history_switch(on);
    LogMapper* log = new_log(on ? "with" : "without");
    fill(log, QXALARM_TABLE, qxalarmOid, 1, count);
    ack_all(log, count, true);
    count_begin();
    ack_all(log, count, false);
    count_end(on ? "ack with history" : "ack without history", count);
    delete log;
  }
  history_switch(false);
  std::filesystem::remove_all(dir);
  return 0;
}

// The instructions per acknowledgement of the counting run, and their ratio: a figure
// that the load of the machine does not move.
void report_counts(int count, std::vector<std::string>& headlines) {
  std::map<std::string, double> n = count_instructions({std::to_string(count)});
  if (n.count("ack without history") == 0 || n.count("ack with history") == 0) return;
  double without = n["ack without history"], with = n["ack with history"];
  std::printf("instructions per acknowledge: without history %.0f   with history %.0f\n", without,
              with);
  char line[128];
  std::snprintf(line, sizeof line, "ack_instructions_with_history_vs_without: %.2f",
                without / with);
  headlines.push_back(line);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::strcmp(argv[1], kCountArgument) == 0) return count_run(std::atoi(argv[2]));
  bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
  std::string dir = sqlite_scratch("retention_bench");
  std::vector<std::string> headlines;
  headlines.push_back(ack_figure(quick ? 5000 : 20000, ""));
  report_counts(quick ? 1000 : 2000, headlines);
  for (std::string& h : raw_ack_figures(dir + "/store.db", quick ? 5000 : 20000))
    headlines.push_back(std::move(h));
  const int total = quick ? 100000 : 1000000;
  headlines.push_back(purge_figure(dir, total, total / 10));
  headlines.push_back(write_figure(quick ? 5000 : 20000));

  if (const char* url = pg_url()) {
    qx::tolk_reset_for_tests();
    setenv("QXDB_URL", url, 1);
    headlines.push_back(ack_figure(2000, "_pg"));
    headlines.push_back(purge_figure_pg(url, quick ? 20000 : 100000, quick ? 2000 : 10000));
  }
  std::filesystem::remove_all(dir);
  for (const std::string& h : headlines) std::printf("%s\n", h.c_str());
  return 0;
}
