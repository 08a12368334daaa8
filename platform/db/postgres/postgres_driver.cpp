// The PostgreSQL driver: the only file that includes libpq-fe.h.
//
// A failed statement inside a transaction undoes only itself. The statements
// of a transaction run in windows: a savepoint (qx_sp) marks the start of the
// current window, sent in the same pipeline as the window's first statement,
// and the driver keeps a copy of every write the window has run. When a
// statement fails, the transaction rolls back to the savepoint and runs the
// window's writes again, all in one more round trip; then it goes on as if
// only the failed statement had not run. A window holds at most kWindow
// writes; the next statement releases its savepoint and sets a new one. So a
// statement that succeeds costs no savepoint of its own. Every statement the
// layer runs inside a transaction must therefore give the same result when
// run again after a rollback to an earlier point (no sequences, no clock).
// Between the rollback and the writes run again, the locks those writes held
// are given up for a moment: another session may take a key one of them had
// inserted, and the write then fails when it runs again. The transaction is
// then lost and says so (every later statement and the commit fail); it never
// commits without a write it reported done.
//
// A statement that comes with other commands (a window's savepoint, its own
// preparation, deallocations) is sent with them in pipeline mode and
// synchronised once; a write that comes alone is sent alone. Queries stream
// their rows in single-row mode. A statement runs unnamed the first time and
// is prepared (in the same pipeline) when it runs again; the server then also
// says what types it gave the parameters, and later runs send integers and
// timestamps with time zone in binary form. Before a query first runs on a
// connection the server describes its columns; when the cursor reads all of them
// in binary form (integers, texts, blobs, times), its rows come so.

#include <libpq-fe.h>

#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/db/civil.h"
#include "platform/db/conninfo.h"
#include "platform/db/driver.h"
#include "platform/db/rw_zone.h"

namespace qx::db {
namespace {

// The types of parameters and columns that the layer handles by their number.
constexpr unsigned kInt2Type = 21, kInt4Type = 23, kInt8Type = 20, kTimestampType = 1114,
                   kTimestampTzType = 1184, kTextType = 25, kCharType = 1042, kVarcharType = 1043,
                   kByteaType = 17;

// `*millis` read as the wall-clock time of the process's zone instead of UTC's: the
// instant it is there, with that zone's offset. In the hour a change back to standard
// time repeats, the zone picks one of the two instants.
bool local_wall_time(int64_t* millis, int32_t* offset) {
  int64_t wall = floor_div(*millis, 1000), day = floor_div(wall, 86400),
          second = wall - day * 86400;
  int64_t y;
  unsigned mo, d;
  civil_from_days(day, y, mo, d);
  int64_t utc;
  if (!RWZone::local().toUtc(y, mo, d, static_cast<unsigned>(second / 3600),
                             static_cast<unsigned>(second / 60 % 60),
                             static_cast<unsigned>(second % 60), -1, &utc))
    return false;
  *millis = utc * 1000 + floor_mod(*millis, 1000);
  *offset = RWZone::local().offsetAt(utc);
  return true;
}

// Whether the cursor reads a column of this type in binary form: integers, texts, blobs
// and times.
bool binary_readable(unsigned type) {
  switch (type) {
    case kInt2Type:
    case kInt4Type:
    case kInt8Type:
    case kTextType:
    case kCharType:
    case kVarcharType:
    case kByteaType:
    case kTimestampType:
    case kTimestampTzType:
      return true;
    default:
      return false;
  }
}

// A signed integer of `n` octets in network order.
int64_t get_big_endian(const char* p, size_t n) {
  uint64_t v = 0;
  for (size_t k = 0; k < n; ++k) v = (v << 8) | static_cast<unsigned char>(p[k]);
  const unsigned shift = static_cast<unsigned>(64 - 8 * n);
  return static_cast<int64_t>(v << shift) >> shift;
}

// The text the server gives a time of `micros` microseconds since 1970 in its ISO style:
// "2024-07-01 14:00:00.5+02", the fraction without its trailing zeros and the offset
// (seconds east of UTC, null for a time without zone) as short as it goes. false for a
// year before 1, which the server writes with "BC".
bool server_time_text(int64_t micros, const int32_t* offset, std::string* out) {
  constexpr int64_t kDay = 86400LL * 1000000;
  const int64_t shown = micros + (offset != nullptr ? int64_t{*offset} * 1000000 : 0);
  const int64_t day = floor_div(shown, kDay);
  const int64_t us = shown - day * kDay;
  int64_t y;
  unsigned mo, d;
  civil_from_days(day, y, mo, d);
  if (y < 1) return false;
  char b[80];
  int n = std::snprintf(b, sizeof b, "%04lld-%02u-%02u %02lld:%02lld:%02lld",
                        static_cast<long long>(y), mo, d, static_cast<long long>(us / 3600000000),
                        static_cast<long long>(us / 60000000 % 60),
                        static_cast<long long>(us / 1000000 % 60));
  auto more = [&](const char* format, auto... args) {
    n += std::snprintf(b + n, sizeof b - static_cast<size_t>(n), format, args...);
  };
  if (long long fraction = us % 1000000; fraction != 0) {
    int digits = 6;
    for (; fraction % 10 == 0; fraction /= 10) --digits;
    more(".%0*lld", digits, fraction);
  }
  if (offset != nullptr) {
    const int32_t a = *offset < 0 ? -*offset : *offset;
    more("%c%02d", *offset < 0 ? '-' : '+', a / 3600);
    if (a % 3600 != 0) more(":%02d", a / 60 % 60);
    if (a % 60 != 0) more(":%02d", a % 60);
  }
  out->assign(b, static_cast<size_t>(n));
  return true;
}

// How a blob column's comment begins that keeps its declared length: "qxlen 33000".
constexpr std::string_view kLengthNote = "qxlen ";

const char* field(const PGresult* r, int code) {
  const char* f = r != nullptr ? PQresultErrorField(r, code) : nullptr;
  return f != nullptr ? f : "";
}

// libpq's message on one line.
std::string trimmed(const char* s) {
  std::string m;
  for (const char* p = s != nullptr ? s : ""; *p != '\0'; ++p) {
    char c = (*p == '\n' || *p == '\t') ? ' ' : *p;
    if (c == ' ' && (m.empty() || m.back() == ' ')) continue;
    m += c;
  }
  while (!m.empty() && m.back() == ' ') m.pop_back();
  return m;
}

// What was going on when an error came.
enum class Ctx {
  kStatement,         // a statement or query
  kCommit,            // COMMIT: a broken connection leaves the outcome unknown
  kConnect,           // opening the connection
  kLost,              // the connection was found unusable before sending
  kCommitRolledBack,  // COMMIT answered ROLLBACK: the transaction had failed
};

// The one place where PostgreSQL's errors become statuses. r may be null
// (then the connection's message is used).
RWDBStatus translate(PGconn* pg, const PGresult* r, Ctx ctx = Ctx::kStatement) {
  if (ctx == Ctx::kLost)
    return RWDBStatus(RWDBStatus::connectionLost,
                      "the connection to the server is gone (an open transaction is lost)", 0, 0,
                      "connection lost", "08006", true);
  if (ctx == Ctx::kCommitRolledBack)
    return RWDBStatus(RWDBStatus::transactionAborted,
                      "the server rolled the transaction back instead of committing it", 0, 0,
                      "ROLLBACK", "25P02");
  std::string primary = r != nullptr && *field(r, PG_DIAG_MESSAGE_PRIMARY) != '\0'
                            ? field(r, PG_DIAG_MESSAGE_PRIMARY)
                            : trimmed(pg != nullptr ? PQerrorMessage(pg) : "no connection");
  if (ctx == Ctx::kConnect)
    return RWDBStatus(RWDBStatus::notConnected, "cannot connect: " + primary, 0, 0, primary,
                      "08001");
  const bool lost = pg == nullptr || PQstatus(pg) == CONNECTION_BAD;
  std::string state = field(r, PG_DIAG_SQLSTATE);
  long vendor = r != nullptr ? static_cast<long>(PQresultStatus(r)) : 0;
  if (lost || state.rfind("08", 0) == 0 || state == "57P01" || state == "57P02" ||
      state == "57P03") {
    if (ctx == Ctx::kCommit)
      return RWDBStatus(RWDBStatus::commitInDoubt,
                        "the connection broke during commit; its outcome is unknown: " + primary,
                        vendor, 0, primary, state, true);
    return RWDBStatus(RWDBStatus::connectionLost,
                      "the connection to the server is gone: " + primary, vendor, 0, primary, state,
                      true);
  }
  RWDBStatus::ErrorCode code = RWDBStatus::serverError;
  std::string text = "database error";
  std::string constraint = field(r, PG_DIAG_CONSTRAINT_NAME);
  if (state == "22001" || (state == "23514" && constraint.rfind("qxlen_", 0) == 0)) {
    code = RWDBStatus::valueTooLong;
    text = "value longer than the column's declared length";
  } else if (state.rfind("23", 0) == 0) {
    code = RWDBStatus::constraintViolation;
    text = "constraint violation";
  } else if (state == "42P01" || state == "42703" || state == "42704" || state == "42883") {
    code = RWDBStatus::noSuchObject;
    text = "no such object";
  } else if (state == "55P03" || state == "40P01" || state == "40001" || state == "57014") {
    code = RWDBStatus::locked;
    text = "the database is locked";
  } else if (state == "53100") {
    code = RWDBStatus::diskFull;
    text = "the database is full";
  } else if (state == "53200") {
    code = RWDBStatus::noMem;
    text = "out of memory";
  } else if (state == "25P02") {
    code = RWDBStatus::transactionAborted;
    text = "the transaction was aborted";
  } else if (state.rfind("22", 0) == 0) {
    code = RWDBStatus::typeConflict;
    text = "value does not fit";
  } else if (state.rfind("42", 0) == 0) {
    text = "SQL error";
  }
  return RWDBStatus(code, text + ": " + primary, vendor, 0, primary, state, false);
}

RWDBStatus lost_status() { return translate(nullptr, nullptr, Ctx::kLost); }

bool is_error(const PGresult* r) {
  ExecStatusType t = PQresultStatus(r);
  return t == PGRES_FATAL_ERROR || t == PGRES_BAD_RESPONSE || t == PGRES_NONFATAL_ERROR;
}

class PgCursor;

// Writes a savepoint window holds before a new one begins.
constexpr size_t kWindow = 64;

// How many query texts a connection remembers the result format of.
constexpr size_t kMaxKnownQueries = 1024;

// A write of the current window, kept to be run again: its text (shared with its
// statement) and its parameters, copied. The copies keep their storage from one window
// to the next.
struct Replay {
  std::shared_ptr<const std::string> sql;  // shared with the statement, which may go first
  std::vector<Param> params;               // text and blob data point into `data`
  std::string data;                        // the text and blob values one after the other

  void assign(const std::shared_ptr<const std::string>& text, const std::vector<Param>& p) {
    sql = text;
    params = p;
    size_t total = 0;
    for (const Param& q : p) {
      if (q.kind == Param::kText || q.kind == Param::kBlob) total += q.size + 1;
    }
    data.resize(total);
    char* at = data.data();
    for (Param& q : params) {
      if (q.kind != Param::kText && q.kind != Param::kBlob) continue;
      if (q.size != 0) std::memcpy(at, q.data, q.size);
      at[q.size] = '\0';  // a text stays NUL-terminated
      q.data = at;
      at += q.size + 1;
    }
  }
};

// The writes of the current window: the first `size` of `entries` (a deque: an entry
// never moves, so the values it points into stay where they are).
struct ReplayList {
  std::deque<Replay> entries;
  size_t size = 0;

  void add(const std::shared_ptr<const std::string>& sql, const std::vector<Param>& params) {
    if (size == entries.size()) entries.emplace_back();
    entries[size++].assign(sql, params);
  }
  void drop_last() { --size; }
  void clear() { size = 0; }
};

// The connection, shared by the session, its statements and cursors.
struct Conn {
  PGconn* pg = nullptr;
  bool dead = false;
  bool inTx = false;
  uint64_t names = 0;
  std::vector<std::string> deallocate;  // prepared statements no longer used
  PgCursor* active = nullptr;           // a query whose rows are still coming
  bool window = false;                  // qx_sp marks the start of the current window
  ReplayList replay;                    // the window's writes
  // The result format of each query text the server has described on this connection
  // (1 binary, 0 text), so that a query is described once however many statement
  // objects run it. Emptied when it grows past kMaxKnownQueries.
  std::unordered_map<std::string, int> resultFormats;
  void knowResultFormat(const std::string& sql, int format) {
    if (resultFormats.size() >= kMaxKnownQueries) resultFormats.clear();
    resultFormats[sql] = format;
  }

  ~Conn() {
    if (pg != nullptr) PQfinish(pg);
  }
  void finishActive();
  bool usable() {
    if (!dead && (pg == nullptr || PQstatus(pg) == CONNECTION_BAD)) dead = true;
    return !dead;
  }
  void noteTx() {
    PGTransactionStatusType t = PQtransactionStatus(pg);
    if (t == PQTRANS_INTRANS || t == PQTRANS_INERROR) {
      inTx = true;
    } else if (t == PQTRANS_IDLE) {
      inTx = false;
      endWindow();
    }
  }
  void endWindow() {
    window = false;
    replay.clear();
  }
  // Sends the commands that start a window into the open pipeline: RELEASE of the full
  // one (renew) and SAVEPOINT (open).
  bool sendWindow(bool renew, bool open) {
    if (renew && PQsendQueryPrepared(pg, "qx_release", 0, nullptr, nullptr, nullptr, 0) != 1)
      return false;
    return !open || PQsendQueryPrepared(pg, "qx_savepoint", 0, nullptr, nullptr, nullptr, 0) == 1;
  }
  // Reads their results: the new window stands once they have come. A failure (in
  // *err, unless it holds one already) leaves the transaction aborted: the commit
  // will say so. false when the connection broke.
  bool readWindow(bool renew, bool open, PGresult** err) {
    if (!open) return true;
    PGresult* werr = nullptr;
    bool ok = !renew || readCommand(&werr);
    if (ok && werr == nullptr) ok = readCommand(&werr);
    endWindow();
    if (werr == nullptr) {
      window = true;
    } else if (*err == nullptr) {
      *err = werr;
    } else {
      PQclear(werr);
    }
    return ok;
  }
  // What goes before a statement in its pipeline: the deferred DEALLOCATEs, and the
  // commands that start a window when the transaction has none or a full one.
  struct Lead {
    bool renew = false;  // RELEASE of the full window
    bool open = false;   // SAVEPOINT
    int deallocations = 0;
  };
  Lead lead() const {
    Lead l;
    l.renew = inTx && window && replay.size >= kWindow;
    l.open = inTx && (!window || l.renew);
    return l;
  }
  // Enters pipeline mode and sends the lead; false when that failed.
  bool sendLead(Lead& l) {
    if (PQenterPipelineMode(pg) != 1) return false;
    l.deallocations = sendDeallocate();
    return sendWindow(l.renew, l.open);
  }
  // Reads its results (a failure in *err, see readWindow); false when the connection
  // broke.
  bool readLead(const Lead& l, PGresult** err) {
    bool ok = true;
    for (int i = 0; ok && i < l.deallocations; ++i) ok = readCommand(err);
    return ok && readWindow(l.renew, l.open, err);
  }
  // Keeps a write of the window to run again after a failure; true when it was kept.
  bool remember(const std::shared_ptr<const std::string>& sql, const std::vector<Param>& params) {
    if (!inTx || !window) return false;
    replay.add(sql, params);
    return true;
  }

  // Reads the results of one command of the pipeline; keeps the first error
  // in *err (owned by the caller). false when the connection broke.
  bool readCommand(PGresult** err) {
    for (;;) {
      PGresult* r = PQgetResult(pg);
      if (r == nullptr) return usable();
      if (is_error(r) && *err == nullptr) {
        *err = r;
      } else {
        PQclear(r);
      }
      if (!usable()) return false;
    }
  }
  // Reads the results of one statement of the pipeline: *rows from its command status,
  // its error in *err unless an earlier one is kept (a statement after a failed one is
  // only aborted). false when the connection broke.
  bool readStatement(PGresult** err, int64_t* rows) {
    for (;;) {
      PGresult* r = PQgetResult(pg);
      if (r == nullptr) return usable();
      if ((is_error(r) || PQresultStatus(r) == PGRES_PIPELINE_ABORTED) && *err == nullptr) {
        *err = r;
      } else {
        const char* n = PQcmdTuples(r);
        if (n != nullptr && *n != '\0') *rows = std::atoll(n);
        PQclear(r);
      }
      if (!usable()) return false;
    }
  }
  // Reads the synchronisation point and leaves pipeline mode.
  bool readSync() {
    for (;;) {
      PGresult* r = PQgetResult(pg);
      if (r == nullptr) {
        if (!usable()) return false;
        continue;  // the end of a command we did not count
      }
      ExecStatusType t = PQresultStatus(r);
      PQclear(r);
      if (t == PGRES_PIPELINE_SYNC) break;
      if (!usable()) return false;
    }
    PQexitPipelineMode(pg);
    noteTx();
    return usable();
  }
  // After a failed statement inside a transaction: back to the start of the
  // window and its writes again, in one pipeline. When that fails the
  // transaction stays aborted: every later statement fails, and so does the
  // commit, so nothing the window ran is taken for stored.
  RWDBStatus undoFailedStatement();
  // Sends the deferred DEALLOCATEs into the current pipeline; returns how
  // many commands were sent.
  int sendDeallocate() {
    int n = 0;
    for (const std::string& name : deallocate) {
      std::string sql = "DEALLOCATE \"" + name + "\"";
      if (PQsendQueryParams(pg, sql.c_str(), 0, nullptr, nullptr, nullptr, nullptr, 0) == 1) ++n;
    }
    deallocate.clear();
    return n;
  }
};

// Microseconds from the Unix epoch to the server's (2000-01-01 00:00:00 UTC).
constexpr int64_t kServerEpochMicros = 946684800LL * 1000000;

// Writes `v` as `n` octets in network order.
void put_big_endian(uint64_t v, size_t n, char* out) {
  for (size_t k = n; k-- > 0; v >>= 8) out[k] = static_cast<char>(v & 0xFF);
}

// Parameter values in the form libpq takes them. Text values point into the
// caller's strings (NUL-terminated). Numbers and times go in binary form where the
// statement's parameter types are known (an integer column, a timestamp with time
// zone), which spares the server parsing them; otherwise they are formatted here.
// Texts for a text column go in binary form too, which is the text with its length.
struct Values {
  std::vector<const char*> values;
  std::vector<int> lengths, formats;
  std::vector<std::array<char, 48>> text;

  // `types`: the server's type of each parameter; empty (not known): every value as text.
  // One pass: each parameter's value, length and format are written together.
  void set(const std::vector<Param>& params, const std::vector<unsigned>& types) {
    const size_t n = params.size();
    if (values.size() != n) {
      values.resize(n);
      lengths.resize(n);
      formats.resize(n);
    }
    if (text.size() < n) text.resize(n);
    const unsigned* type = types.size() == n ? types.data() : nullptr;
    for (size_t i = 0; i < n; ++i) {
      const Param& p = params[i];
      char* b = text[i].data();
      const char* value = b;
      int length = 0;
      int format = 0;
      switch (p.kind) {
        case Param::kNull:
          value = nullptr;
          break;
        case Param::kInt:
          if (type != nullptr && binary_int(p.i, type[i], b, &length)) {
            format = 1;
          } else {
            *std::to_chars(b, b + 40, p.i).ptr = '\0';
          }
          break;
        case Param::kText:
          value = p.size ? p.data : "";
          // For a text type the binary form is the text itself: sent with its length,
          // it need not be measured again.
          if (type != nullptr &&
              (type[i] == kVarcharType || type[i] == kTextType || type[i] == kCharType)) {
            length = static_cast<int>(p.size);
            format = 1;
          }
          break;
        case Param::kBlob:
          value = p.size ? p.data : "";
          length = static_cast<int>(p.size);
          format = 1;
          break;
        case Param::kDateTime:
          if (int64_t us; type != nullptr && type[i] == kTimestampTzType &&
                          !__builtin_mul_overflow(p.i, 1000, &us) &&
                          !__builtin_sub_overflow(us, kServerEpochMicros, &us)) {
            // An instant: the offset only says how to show it, and the column keeps none.
            put_big_endian(static_cast<uint64_t>(us), 8, b);
            length = 8;
            format = 1;
          } else {
            b[format_date_time(p.i, p.offset, b)] = '\0';
          }
          break;
      }
      values[i] = value;
      lengths[i] = length;
      formats[i] = format;
    }
  }

 private:
  // An integer of a parameter of type `type` in binary form, when it is an integer type
  // that holds the value; false leaves it to the text form (and the server's own error).
  static bool binary_int(int64_t v, unsigned type, char* out, int* length) {
    size_t n = 0;
    if (type == kInt8Type) {
      n = 8;
    } else if (type == kInt4Type && v >= INT32_MIN && v <= INT32_MAX) {
      n = 4;
    } else if (type == kInt2Type && v >= INT16_MIN && v <= INT16_MAX) {
      n = 2;
    } else {
      return false;
    }
    put_big_endian(static_cast<uint64_t>(v), n, out);
    *length = static_cast<int>(n);
    return true;
  }
};

RWDBStatus Conn::undoFailedStatement() {
  if (!window) return RWDBStatus();  // nothing ran in this transaction before it
  std::vector<Values> values(replay.size);
  bool sent = PQenterPipelineMode(pg) == 1 &&
              PQsendQueryPrepared(pg, "qx_rollback", 0, nullptr, nullptr, nullptr, 0) == 1;
  for (size_t i = 0; sent && i < replay.size; ++i) {
    const Replay& w = replay.entries[i];
    values[i].set(w.params, {});
    sent = PQsendQueryParams(pg, w.sql->c_str(), static_cast<int>(w.params.size()), nullptr,
                             values[i].values.data(), values[i].lengths.data(),
                             values[i].formats.data(), 0) == 1;
  }
  if (sent) sent = PQpipelineSync(pg) == 1;
  if (!sent) {
    usable();
    return lost_status();
  }
  PGresult* err = nullptr;
  bool ok = true;
  for (size_t i = 0; ok && i <= replay.size; ++i) ok = readCommand(&err);
  if (ok) ok = readSync();
  if (!ok) {
    if (err != nullptr) PQclear(err);
    return lost_status();
  }
  if (err == nullptr) return RWDBStatus();
  RWDBStatus s = translate(pg, err);
  PQclear(err);
  return RWDBStatus(RWDBStatus::transactionAborted,
                    "the transaction is lost: its earlier statements could not be run again "
                    "after a failed one (" +
                        s.message().str() + ")",
                    0, 0, s.vendorMessage1().str(), s.vendorMessage2().str());
}

// Value of a hex digit, -1 for any other byte.
struct HexTable {
  int8_t v[256];
  constexpr HexTable() : v() {
    for (int i = 0; i < 256; ++i) v[i] = -1;
    for (int i = 0; i < 10; ++i) v['0' + i] = static_cast<int8_t>(i);
    for (int i = 0; i < 6; ++i) {
      v['a' + i] = static_cast<int8_t>(10 + i);
      v['A' + i] = static_cast<int8_t>(10 + i);
    }
  }
};
constexpr HexTable kHex;

inline int hexval(char c) { return kHex.v[static_cast<unsigned char>(c)]; }

// Decodes n octets from the 2n hex digits at h into out; false at a digit that is none.
// The server writes lower-case digits: sixteen octets at a time where the processor has
// SSE2 (a blob read costs about a fifth of what it did), one at a time for the rest and
// for upper-case digits.
bool decode_hex(const char* h, size_t n, char* out) {
  size_t k = 0;
#if defined(__SSE2__)
  const __m128i slash = _mm_set1_epi8('/'), colon = _mm_set1_epi8(':');
  const __m128i backtick = _mm_set1_epi8('`'), g = _mm_set1_epi8('g');
  const __m128i zero_base = _mm_set1_epi8('0'), a_base = _mm_set1_epi8('a' - 10);
  const __m128i low_octet = _mm_set1_epi16(0x00ff);
  // Sixteen digits to their values, in place; false when one is no lower-case digit.
  auto values = [&](__m128i c, __m128i* v) {
    __m128i digit = _mm_and_si128(_mm_cmpgt_epi8(c, slash), _mm_cmpgt_epi8(colon, c));
    __m128i letter = _mm_and_si128(_mm_cmpgt_epi8(c, backtick), _mm_cmpgt_epi8(g, c));
    if (_mm_movemask_epi8(_mm_or_si128(digit, letter)) != 0xffff) return false;
    __m128i base = _mm_or_si128(_mm_and_si128(digit, zero_base), _mm_and_si128(letter, a_base));
    *v = _mm_sub_epi8(c, base);
    return true;
  };
  // Each 16-bit lane holds a high digit's value in its low octet and the low digit's
  // in its high octet: the octet is high * 16 + low.
  auto pairs = [&](__m128i v) {
    return _mm_or_si128(_mm_slli_epi16(_mm_and_si128(v, low_octet), 4), _mm_srli_epi16(v, 8));
  };
  for (; k + 16 <= n; k += 16) {
    __m128i a, b;
    if (!values(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + 2 * k)), &a) ||
        !values(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + 2 * k + 16)), &b)) {
      break;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(pairs(a), pairs(b)));
  }
#endif
  for (; k < n; ++k) {
    int hi = hexval(h[2 * k]), lo = hexval(h[2 * k + 1]);
    if ((hi | lo) < 0) return false;
    out[k] = static_cast<char>(hi * 16 + lo);
  }
  return true;
}

class PgCursor : public Cursor {
 public:
  // first: the query's first result (a row, or the end); in_tx: the query runs
  // inside a transaction, which a failure of the query must not end.
  PgCursor(std::shared_ptr<Conn> c, PGresult* first, bool in_tx, const uint64_t* generation)
      : c_(std::move(c)), in_tx_(in_tx), generation_(generation), mine_(*generation) {
    int n = PQnfields(first);
    binary_ = n > 0 && PQfformat(first, 0) == 1;
    for (int i = 0; i < n; ++i) {
      names_.push_back(PQfname(first, i));
      types_.push_back(PQftype(first, i));
    }
    c_->active = this;
    take(first);
  }
  ~PgCursor() override {
    if (c_->active == this) drain();
    for (PGresult* r : rows_) PQclear(r);
    if (row_ != nullptr) PQclear(row_);
  }

  bool next(RWDBStatus* status) override {
    *status = RWDBStatus();
    if (row_ != nullptr) {
      PQclear(row_);
      row_ = nullptr;
    }
    if (*generation_ != mine_) return false;
    if (rows_.empty() && c_->active == this) pull();
    if (!rows_.empty()) {
      row_ = rows_.front();
      rows_.pop_front();
      return true;
    }
    *status = error_;
    error_ = RWDBStatus();
    return false;
  }
  int columnCount() const override { return static_cast<int>(names_.size()); }
  const std::string& columnName(int i) const override { return names_[static_cast<size_t>(i)]; }
  bool isNull(int i) override { return PQgetisnull(row_, 0, i) == 1; }
  // A query's rows come in one form for all its columns: as text, or in binary form
  // when every column is of a type read so (binary_readable). In binary form an
  // integer is its octets, a time its microseconds since 2000, a blob its own octets
  // and a text its text.
  bool getInt(int i, int64_t* v) override {
    const char* s = PQgetvalue(row_, 0, i);
    if (binary_ && !is_text(i)) {
      size_t n = static_cast<size_t>(PQgetlength(row_, 0, i));
      if (!is_integer(i) || (n != 2 && n != 4 && n != 8)) return false;
      *v = get_big_endian(s, n);
      return true;
    }
    char* end = nullptr;
    errno = 0;
    long long x = std::strtoll(s, &end, 10);
    if (end == s || *end != '\0' || errno != 0) return false;
    *v = x;
    return true;
  }
  bool viewText(int i, std::string_view* v) override {
    *v = std::string_view(PQgetvalue(row_, 0, i), static_cast<size_t>(PQgetlength(row_, 0, i)));
    if (!binary_ || is_text(i)) return true;
    // The text the server would have sent: a number's decimal form, a blob's hex
    // digits after "\x", a time in the server's ISO style.
    std::string& out = buffer(texts_, i);
    const unsigned type = types_[static_cast<size_t>(i)];
    int64_t n = 0;
    if (type == kByteaType) {
      static constexpr char kDigits[] = "0123456789abcdef";
      out.assign("\\x");
      for (unsigned char c : *v) {
        out += kDigits[c >> 4];
        out += kDigits[c & 15];
      }
    } else if (getInt(i, &n)) {
      out = std::to_string(n);
    } else if ((type == kTimestampTzType || type == kTimestampType) && v->size() == 8) {
      const int64_t us = get_big_endian(v->data(), 8);
      if (us == INT64_MAX || us == INT64_MIN) {
        out = us > 0 ? "infinity" : "-infinity";
      } else if (us > INT64_MAX / 2 || us < INT64_MIN / 2) {
        return false;
      } else if (type == kTimestampType) {
        if (!server_time_text(us + kServerEpochMicros, nullptr, &out)) return false;
      } else {
        const int64_t micros = us + kServerEpochMicros;
        const int32_t offset = RWZone::local().offsetAt(floor_div(micros, 1000000));
        if (!server_time_text(micros, &offset, &out)) return false;
      }
    } else {
      return false;
    }
    *v = out;
    return true;
  }
  // A bytea sent as text comes as hex digits; its bytes are decoded into a buffer of
  // the column's, kept until the next row.
  bool viewBlob(int i, std::string_view* v) override {
    if (binary_ && types_[static_cast<size_t>(i)] != kByteaType) return viewText(i, v);
    const char* s = PQgetvalue(row_, 0, i);
    size_t n = static_cast<size_t>(PQgetlength(row_, 0, i));
    if (binary_ || types_[static_cast<size_t>(i)] != kByteaType || n < 2 || s[0] != '\\' ||
        s[1] != 'x') {
      *v = std::string_view(s, n);
      return true;
    }
    if (n % 2 != 0) return false;
    std::string& out = buffer(blobs_, i);
    out.resize((n - 2) / 2);
    if (!decode_hex(s + 2, out.size(), out.data())) return false;
    *v = out;
    return true;
  }
  bool getDateTime(int i, int64_t* millis, int32_t* offset) override {
    const char* s = PQgetvalue(row_, 0, i);
    const size_t n = static_cast<size_t>(PQgetlength(row_, 0, i));
    const unsigned type = types_[static_cast<size_t>(i)];
    if (binary_ && !is_text(i)) {
      if ((type != kTimestampTzType && type != kTimestampType) || n != 8) return false;
      const int64_t us = get_big_endian(s, 8);
      // The server's infinities, and instants beyond what a millisecond count holds.
      if (us == INT64_MAX || us == INT64_MIN || us > INT64_MAX / 2 || us < INT64_MIN / 2)
        return false;
      *millis = floor_div(us, 1000) + kServerEpochMicros / 1000;
      // An instant is shown in the session's zone, the process's, as the server shows it.
      if (type == kTimestampTzType) {
        *offset = RWZone::local().offsetAt(floor_div(*millis, 1000));
        return true;
      }
    } else if (!parse_date_time(s, n, millis, offset)) {
      return false;
    }
    // A timestamp without time zone holds a wall-clock time, shown without an offset: the
    // session's (the process's zone), in which the server stored the times the layer
    // wrote, and its own now().
    return type != kTimestampType || local_wall_time(millis, offset);
  }

  // Takes every remaining row into memory and completes the pipeline, so
  // that the connection can run other statements.
  void drain() {
    while (c_->active == this) pull();
  }

 private:
  // Handles one result of the query.
  void take(PGresult* r) {
    ExecStatusType t = PQresultStatus(r);
    if (t == PGRES_SINGLE_TUPLE) {
      rows_.push_back(r);
      return;
    }
    if (t == PGRES_TUPLES_OK) {
      // A whole result (single-row mode was not available) or the end.
      int n = PQntuples(r);
      for (int k = 0; k < n; ++k) rows_.push_back(row_copy(r, k));
      PQclear(r);
      finish(nullptr);
      return;
    }
    finish(r);
  }
  static PGresult* row_copy(PGresult* r, int k) {
    PGresult* one = PQcopyResult(r, PG_COPYRES_ATTRS);
    for (int i = 0; i < PQnfields(r); ++i) {
      if (PQgetisnull(r, k, i)) {
        PQsetvalue(one, 0, i, nullptr, -1);
      } else {
        PQsetvalue(one, 0, i, PQgetvalue(r, k, i), PQgetlength(r, k, i));
      }
    }
    return one;
  }
  void pull() {
    PGresult* r = PQgetResult(c_->pg);
    if (r == nullptr) {
      // The query's results always end with a final result before this; a
      // bare end means the connection broke or fell out of step with the
      // pipeline. Either way it cannot be trusted any more.
      error_ = lost_status();
      c_->active = nullptr;
      c_->dead = true;
      return;
    }
    take(r);
  }
  // The query ended (err: how it failed, or null): read the rest of the
  // pipeline and undo a failed query.
  void finish(PGresult* err) {
    c_->active = nullptr;
    if (err != nullptr) error_ = translate(c_->pg, err);
    PGresult* more = nullptr;
    bool ok = c_->readCommand(&more);  // the query's closing null
    if (err != nullptr) PQclear(err);
    if (more != nullptr) PQclear(more);
    if (ok) ok = c_->readSync();
    if (!ok) {
      error_ = lost_status();
      return;
    }
    if (!error_.isValid() && in_tx_) {
      RWDBStatus s = c_->undoFailedStatement();
      if (!s.isValid()) error_ = s;
    }
  }

  std::shared_ptr<Conn> c_;
  bool in_tx_;
  const uint64_t* generation_;
  uint64_t mine_;
  bool is_text(int i) const {
    const unsigned t = types_[static_cast<size_t>(i)];
    return t == kTextType || t == kVarcharType || t == kCharType;
  }
  bool is_integer(int i) const {
    const unsigned t = types_[static_cast<size_t>(i)];
    return t == kInt2Type || t == kInt4Type || t == kInt8Type;
  }
  // The buffer of column i among `buffers`, one per column.
  std::string& buffer(std::vector<std::string>& buffers, int i) {
    if (buffers.size() < names_.size()) buffers.resize(names_.size());
    return buffers[static_cast<size_t>(i)];
  }

  std::vector<std::string> names_;
  std::vector<unsigned> types_;     // the server's type of each column
  bool binary_ = false;             // the rows come in binary form
  std::vector<std::string> blobs_;  // decoded bytea values of the current row, by column
  std::vector<std::string> texts_;  // texts of binary values of the current row, by column
  std::deque<PGresult*> rows_;
  PGresult* row_ = nullptr;
  RWDBStatus error_;
};

void Conn::finishActive() {
  if (active != nullptr) active->drain();
}

class PgStatement : public Statement {
 public:
  PgStatement(std::shared_ptr<Conn> c, std::string sql, size_t nparams)
      : c_(std::move(c)),
        sql_(std::make_shared<const std::string>(std::move(sql))),
        n_(static_cast<int>(nparams)),
        generation_(std::make_unique<uint64_t>(0)) {}
  ~PgStatement() override {
    ++*generation_;
    if (!name_.empty() && !c_->dead) c_->deallocate.push_back(name_);
  }

  RWDBStatus execute(const std::vector<Param>& params, int64_t* rows) override {
    PGresult* result = nullptr;
    RWDBStatus s = run(params, false, &result);
    if (!s.isValid()) return s;
    *rows = -1;
    if (result != nullptr) {
      const char* n = PQcmdTuples(result);
      if (n != nullptr && *n != '\0') *rows = std::atoll(n);
      PQclear(result);
    }
    return RWDBStatus();
  }

  // The rows of later queries come as text, without asking the server's description.
  void readAsText() { resultFormat_ = 0; }
  // Whether the cursor reads every column of a result (or a description) in binary form.
  static bool readable(const PGresult* r) {
    for (int i = 0; i < PQnfields(r); ++i) {
      if (!binary_readable(PQftype(r, i))) return false;
    }
    return true;
  }

  RWDBStatus query(const std::vector<Param>& params, std::unique_ptr<Cursor>* cursor) override {
    RWDBStatus s;
    if (resultFormat_ < 0 && !(s = learnResultFormat()).isValid()) return s;
    PGresult* first = nullptr;
    s = run(params, true, &first);
    if (!s.isValid()) return s;
    if (resultFormat_ > 0 && !readable(first)) {
      // A table changed under the text since it was described (a column of another
      // type now): its rows are read to the end and the query runs again as text.
      PgCursor(c_, first, in_tx_, generation_.get()).drain();
      c_->knowResultFormat(*sql_, 0);
      readAsText();
      if (!(s = run(params, true, &first)).isValid()) return s;
    }
    *cursor = std::make_unique<PgCursor>(c_, first, in_tx_, generation_.get());
    return RWDBStatus();
  }

 private:
  // Sends [DEALLOCATE...] [RELEASE] [SAVEPOINT] [Parse] statement and a sync
  // (the savepoint commands start a window, see the file comment). For a
  // query, returns with the query's first result in *first and the rest of
  // the pipeline still to be read (by the cursor); otherwise reads everything
  // and returns the statement's result in *first.
  RWDBStatus run(const std::vector<Param>& params, bool isQuery, PGresult** first) {
    ++*generation_;
    c_->finishActive();
    if (!c_->usable()) return lost_status();
    PGconn* pg = c_->pg;
    values_.set(params, types_);
    in_tx_ = c_->inTx;
    Conn::Lead lead = c_->lead();
    bool prepare = preparesNow();
    if (!isQuery && !lead.open && !prepare && c_->deallocate.empty())
      return runAlone(params, first);
    bool sent = c_->sendLead(lead);
    if (sent) sent = send(prepare);
    if (sent) sent = PQpipelineSync(pg) == 1;
    if (!sent) {
      RWDBStatus s = translate(pg, nullptr);
      if (prepare) name_.clear();
      c_->usable();
      return s.isValid() ? lost_status() : s;
    }
    PGresult* err = nullptr;
    bool ok = c_->readLead(lead, &err);
    if (ok && prepare) ok = readPreparation(&err);
    if (!ok) return fail(err, true);
    // The statement's own result.
    PGresult* r = nullptr;
    if (err == nullptr) {
      if (isQuery) PQsetSingleRowMode(pg);
      r = PQgetResult(pg);
      if (r == nullptr) return fail(nullptr, true);
      if (is_error(r) || PQresultStatus(r) == PGRES_PIPELINE_ABORTED) {
        err = r;
        r = nullptr;
      }
    }
    if (err != nullptr) return fail(err, false);
    // The statement is complete: read the rest of the pipeline.
    if (isQuery) {
      // The first row (or the end): the cursor reads the rest of the pipeline.
      *first = r;
      return RWDBStatus();
    }
    PGresult* more = nullptr;
    ok = c_->readCommand(&more);  // closing null of the statement
    if (ok) ok = c_->readSync();
    if (more != nullptr) {
      PQclear(r);
      return fail(more, !ok);
    }
    if (!ok) {
      PQclear(r);
      return lost_status();
    }
    c_->remember(sql_, params);
    *first = r;
    return RWDBStatus();
  }

  // The usual write: nothing to deallocate, no window to start, nothing to prepare. The
  // statement goes alone, as a plain client sends it, without the pipeline's own
  // synchronisation to read back. A failure is undone as in run().
  RWDBStatus runAlone(const std::vector<Param>& params, PGresult** first) {
    PGconn* pg = c_->pg;
    if (!send(false)) {
      RWDBStatus s = translate(pg, nullptr);
      c_->usable();
      return s.isValid() ? lost_status() : s;
    }
    // The window's copy of the write is made while the server runs it, and dropped
    // again when the write fails.
    const bool kept = c_->remember(sql_, params);
    PGresult* r = nullptr;
    PGresult* err = nullptr;
    while (PGresult* x = PQgetResult(pg)) {
      if (is_error(x) && err == nullptr) {
        err = x;
      } else if (r == nullptr && !is_error(x)) {
        r = x;
      } else {
        PQclear(x);
      }
    }
    if (err == nullptr && r != nullptr && c_->usable()) {
      c_->noteTx();
      *first = r;
      return RWDBStatus();
    }
    if (kept) c_->replay.drop_last();
    PQclear(r);
    RWDBStatus s = err != nullptr ? translate(pg, err) : lost_status();
    if (err != nullptr) PQclear(err);
    if (!c_->usable()) return s.isTerminal() ? s : lost_status();
    c_->noteTx();
    if (in_tx_) {
      RWDBStatus u = c_->undoFailedStatement();
      if (!u.isValid()) return u;
    }
    return s;
  }

  // Counts a run; on the second the statement gets a name and is prepared: true when
  // this run prepares it.
  bool preparesNow() {
    bool prepare = name_.empty() && runs_ > 0;
    if (prepare) name_ = "qx_" + std::to_string(++c_->names);
    ++runs_;
    return prepare;
  }
  // Sends [Parse and Describe] and the statement with its values into the open pipeline.
  bool send(bool prepare) {
    PGconn* pg = c_->pg;
    if (prepare && (PQsendPrepare(pg, name_.c_str(), sql_->c_str(), n_, nullptr) != 1 ||
                    PQsendDescribePrepared(pg, name_.c_str()) != 1))
      return false;
    const int format = resultFormat_ > 0 ? 1 : 0;
    return name_.empty()
               ? PQsendQueryParams(pg, sql_->c_str(), n_, nullptr, values_.values.data(),
                                   values_.lengths.data(), values_.formats.data(), format) == 1
               : PQsendQueryPrepared(pg, name_.c_str(), n_, values_.values.data(),
                                     values_.lengths.data(), values_.formats.data(), format) == 1;
  }

  // A query's rows come in binary form when every column of it is of a type the cursor
  // reads so: a blob is then its own octets, not twice as many hex digits, and a time
  // eight octets that neither side formats nor parses. The server's description of the
  // query tells, asked in a round trip of its own before the query first runs on the
  // connection, and kept for its text. The description goes with the commands that
  // start a window, as a run does, and a query that cannot be described fails there
  // with the error it would have run into.
  RWDBStatus learnResultFormat() {
    auto known = c_->resultFormats.find(*sql_);
    if (known != c_->resultFormats.end()) {
      resultFormat_ = known->second;
      return RWDBStatus();
    }
    c_->finishActive();
    if (!c_->usable()) return lost_status();
    PGconn* pg = c_->pg;
    in_tx_ = c_->inTx;
    Conn::Lead lead = c_->lead();
    bool sent = c_->sendLead(lead) && PQsendPrepare(pg, "", sql_->c_str(), n_, nullptr) == 1 &&
                PQsendDescribePrepared(pg, "") == 1 && PQpipelineSync(pg) == 1;
    if (!sent) {
      RWDBStatus s = translate(pg, nullptr);
      c_->usable();
      return s.isValid() ? lost_status() : s;
    }
    PGresult* err = nullptr;
    bool ok = c_->readLead(lead, &err);
    if (ok) ok = c_->readCommand(&err);  // the Parse
    int format = 0;
    for (PGresult* r; ok && (r = PQgetResult(pg)) != nullptr; ok = c_->usable()) {
      if (err == nullptr && PQresultStatus(r) == PGRES_COMMAND_OK && PQnfields(r) > 0 &&
          readable(r))
        format = 1;
      PQclear(r);
    }
    if (!ok) return fail(err, true);
    if (err != nullptr) return fail(err, false);
    if (!c_->readSync()) return lost_status();
    c_->knowResultFormat(*sql_, format);
    resultFormat_ = format;
    return RWDBStatus();
  }

 public:
  // A group of statements of one connection (Session::executeGroup) in one round trip:
  // [DEALLOCATE...] [RELEASE] [SAVEPOINT] each statement's [Parse] and run, and a sync.
  // After a failure the server skips the rest of the pipeline; inside a transaction the
  // window then undoes the group (as it undoes a failed statement), outside one the
  // sync's implicit transaction does.
  static RWDBStatus runGroup(Conn& c, std::span<PgStatement* const> group,
                             std::span<const std::vector<Param>* const> params, int64_t* rows,
                             size_t* failed) {
    c.finishActive();
    if (!c.usable()) return lost_status();
    PGconn* pg = c.pg;
    bool in_tx = c.inTx;
    Conn::Lead lead = c.lead();
    std::vector<char> prepare(group.size());
    for (size_t i = 0; i < group.size(); ++i) {
      PgStatement& st = *group[i];
      ++*st.generation_;
      st.values_.set(*params[i], st.types_);
      st.in_tx_ = in_tx;
      prepare[i] = st.preparesNow() ? 1 : 0;
      rows[i] = -1;
    }
    bool sent = c.sendLead(lead);
    for (size_t i = 0; sent && i < group.size(); ++i) sent = group[i]->send(prepare[i] != 0);
    if (sent) sent = PQpipelineSync(pg) == 1;
    if (!sent) {
      RWDBStatus s = translate(pg, nullptr);
      for (size_t i = 0; i < group.size(); ++i) {
        if (prepare[i] != 0) group[i]->name_.clear();
      }
      c.usable();
      return s.isValid() ? lost_status() : s;
    }
    PGresult* err = nullptr;
    bool ok = c.readLead(lead, &err);
    *failed = group.size();
    for (size_t i = 0; ok && i < group.size(); ++i) {
      bool clean = err == nullptr;
      if (prepare[i] != 0) ok = group[i]->readPreparation(&err);
      if (ok) ok = c.readStatement(&err, &rows[i]);
      if (clean && err != nullptr) *failed = i;
    }
    if (ok) ok = c.readSync();
    if (!ok) {
      if (err != nullptr) PQclear(err);
      return lost_status();
    }
    if (err == nullptr) {
      for (size_t i = 0; i < group.size(); ++i) c.remember(group[i]->sql_, *params[i]);
      return RWDBStatus();
    }
    RWDBStatus s = translate(pg, err);
    PQclear(err);
    if (*failed == group.size()) *failed = group.size() - 1;
    if (in_tx) {
      RWDBStatus u = c.undoFailedStatement();
      if (!u.isValid()) return u;
    }
    return s;
  }

 private:
  // Reads what preparing the statement gave: its Parse (a failure in *err unless it
  // holds one already), then its Describe, which tells the parameter types the server
  // chose, so that later runs can send numbers and times in binary form. false when the
  // connection broke.
  bool readPreparation(PGresult** err) {
    PGresult* perr = nullptr;
    bool ok = c_->readCommand(&perr);
    types_.clear();
    for (PGresult* r; ok && (r = PQgetResult(c_->pg)) != nullptr; ok = c_->usable()) {
      if (perr == nullptr && PQresultStatus(r) == PGRES_COMMAND_OK && PQnparams(r) == n_) {
        for (int i = 0; i < n_; ++i) types_.push_back(PQparamtype(r, i));
      }
      PQclear(r);
    }
    ok = ok && c_->usable();
    if (perr != nullptr) {
      name_.clear();  // not prepared (and so not described): try again next time
      if (*err == nullptr) {
        *err = perr;
      } else {
        PQclear(perr);
      }
    }
    return ok;
  }

  // The statement failed (err: its error): finish the pipeline and undo it.
  RWDBStatus fail(PGresult* err, bool broken) {
    RWDBStatus s = err != nullptr ? translate(c_->pg, err) : lost_status();
    if (err != nullptr) PQclear(err);
    if (broken || !c_->usable()) return s.isTerminal() ? s : lost_status();
    // Skip the rest of the aborted pipeline up to the sync.
    if (!c_->readSync()) return lost_status();
    if (in_tx_) {
      RWDBStatus u = c_->undoFailedStatement();
      if (!u.isValid()) return u;
    }
    return s;
  }

  std::shared_ptr<Conn> c_;
  std::shared_ptr<const std::string> sql_;  // shared with the window's copies of its runs
  int n_;
  std::string name_;
  uint64_t runs_ = 0;
  bool in_tx_ = false;
  int resultFormat_ = -1;  // a query's: 1 binary, 0 text, -1 not known yet
  Values values_;
  // The parameter types of the prepared statement, once its Describe has come; empty
  // while it runs unnamed.
  std::vector<unsigned> types_;
  std::unique_ptr<uint64_t> generation_;
};

class PgSession : public Session {
 public:
  explicit PgSession(std::shared_ptr<Conn> c) : c_(std::move(c)) {}

  RWDBStatus prepare(const std::string& sql, size_t nparams,
                     std::unique_ptr<Statement>* out) override {
    *out = std::make_unique<PgStatement>(c_, sql, nparams);
    return RWDBStatus();
  }

  RWDBStatus exec(const std::string& sql) override {
    PgStatement st(c_, sql, 0);
    int64_t rows;
    return st.execute({}, &rows);
  }

  RWDBStatus executeGroup(std::span<Statement* const> statements,
                          std::span<const std::vector<Param>* const> params, int64_t* rows,
                          size_t* failed) override {
    // Every statement of this session is one it prepared.
    std::vector<PgStatement*> group;
    for (Statement* st : statements) group.push_back(static_cast<PgStatement*>(st));
    return PgStatement::runGroup(*c_, group, params, rows, failed);
  }

  RWDBStatus begin() override { return simple("BEGIN", false); }
  RWDBStatus commit() override { return simple("COMMIT", true); }
  RWDBStatus rollback() override { return simple("ROLLBACK", false); }
  bool inTransaction() const override { return c_->inTx; }
  bool alive() const override { return c_->usable(); }

  RWDBStatus tableExists(const std::string& name, bool* exists) override {
    std::vector<std::vector<std::string>> rows;
    RWDBStatus s = select(
        "SELECT count(*) FROM pg_catalog.pg_class c WHERE c.relname = $1 "
        "AND c.relkind IN ('r', 'v', 'p', 'm', 'f') AND pg_catalog.pg_table_is_visible(c.oid)",
        name, &rows);
    *exists = s.isValid() && !rows.empty() && rows[0][0] != "0";
    return s;
  }

  // The relations the view's rewrite rule depends on, and theirs in turn.
  RWDBStatus viewSources(const std::string& name, std::vector<std::string>* out) override {
    out->clear();
    std::vector<std::vector<std::string>> rows;
    RWDBStatus s = select(
        "WITH RECURSIVE src(oid, via) AS ("
        " SELECT d.refobjid, v.oid FROM pg_catalog.pg_class v"
        " JOIN pg_catalog.pg_rewrite r ON r.ev_class = v.oid"
        " JOIN pg_catalog.pg_depend d ON d.objid = r.oid"
        " AND d.classid = 'pg_catalog.pg_rewrite'::regclass"
        " AND d.refclassid = 'pg_catalog.pg_class'::regclass"
        " WHERE v.relname = $1 AND v.relkind = 'v' AND pg_catalog.pg_table_is_visible(v.oid)"
        " UNION"
        " SELECT d.refobjid, src.oid FROM src"
        " JOIN pg_catalog.pg_rewrite r ON r.ev_class = src.oid"
        " JOIN pg_catalog.pg_depend d ON d.objid = r.oid"
        " AND d.classid = 'pg_catalog.pg_rewrite'::regclass"
        " AND d.refclassid = 'pg_catalog.pg_class'::regclass)"
        " SELECT DISTINCT c.relname FROM src JOIN pg_catalog.pg_class c ON c.oid = src.oid"
        " WHERE src.oid <> src.via",
        name, &rows);
    if (!s.isValid()) return s;
    for (const auto& row : rows) {
      if (row[0] != name) out->push_back(row[0]);
    }
    if (out->empty()) {  // a view reads something: this is none
      rows.clear();
      s = select(
          "SELECT count(*) FROM pg_catalog.pg_class c WHERE c.relname = $1 AND c.relkind = 'v' "
          "AND pg_catalog.pg_table_is_visible(c.oid)",
          name, &rows);
      if (!s.isValid()) return s;
      if (rows.empty() || rows[0][0] == "0")
        return RWDBStatus(RWDBStatus::noSuchObject, "no such view: " + name);
    }
    return RWDBStatus();
  }

  RWDBStatus fetchSchema(const std::string& name, std::vector<ColumnInfo>* out) override {
    out->clear();
    std::vector<std::vector<std::string>> cols, checks;
    RWDBStatus s = select(
        "SELECT a.attname, pg_catalog.format_type(a.atttypid, a.atttypmod), a.attnotnull, "
        "a.attnum, pg_catalog.col_description(c.oid, a.attnum) FROM pg_catalog.pg_attribute a "
        "JOIN pg_catalog.pg_class c ON c.oid = "
        "a.attrelid WHERE c.relname = $1 AND pg_catalog.pg_table_is_visible(c.oid) AND "
        "a.attnum > 0 AND NOT a.attisdropped ORDER BY a.attnum",
        name, &cols);
    if (!s.isValid()) return s;
    if (cols.empty()) return RWDBStatus(RWDBStatus::noSuchObject, "no such table: " + name);
    s = select(
        "SELECT k.conname, pg_catalog.pg_get_constraintdef(k.oid) FROM pg_catalog.pg_constraint "
        "k JOIN pg_catalog.pg_class c ON c.oid = k.conrelid WHERE c.relname = $1 AND "
        "pg_catalog.pg_table_is_visible(c.oid) AND k.contype = 'c'",
        name, &checks);
    if (!s.isValid()) return s;
    for (const auto& row : cols) {
      ColumnInfo c;
      c.name = row[0];
      const std::string& type = row[1];
      c.nullAllowed = row[2] != "t";
      size_t paren = type.find('(');
      if (type == "bigint" || type == "integer" || type == "smallint") {
        c.type = RWDBValue::Long;
      } else if (type.rfind("timestamp", 0) == 0) {
        c.type = RWDBValue::DateTime;
      } else if (type.rfind("character varying", 0) == 0 || type == "text") {
        c.type = RWDBValue::String;
        if (paren != std::string::npos) c.length = std::atol(type.c_str() + paren + 1);
      } else if (type == "bytea") {
        // The declared length: in the column's comment, or in the qxlen_ constraint of a
        // table made by an earlier version.
        c.type = RWDBValue::Blob;
        const std::string& note = row[4];
        if (note.rfind(kLengthNote, 0) == 0)
          c.length = std::atol(note.c_str() + kLengthNote.size());
        for (const auto& k : checks) {
          if (k[0] != "qxlen_" + row[3]) continue;
          size_t le = k[1].find("<= ");
          if (le != std::string::npos) c.length = std::atol(k[1].c_str() + le + 3);
        }
      }
      out->push_back(c);
    }
    return RWDBStatus();
  }

 private:
  RWDBStatus simple(const char* sql, bool isCommit) {
    c_->finishActive();
    // Gone before the commit was sent: the transaction is certainly lost.
    if (!c_->usable()) return lost_status();
    PGresult* r = PQexec(c_->pg, sql);
    RWDBStatus s;
    if (PQresultStatus(r) != PGRES_COMMAND_OK) {
      s = translate(c_->pg, r, isCommit ? Ctx::kCommit : Ctx::kStatement);
    } else if (isCommit && std::strcmp(PQcmdStatus(r), "ROLLBACK") == 0) {
      s = translate(c_->pg, r, Ctx::kCommitRolledBack);
    }
    PQclear(r);
    c_->usable();
    c_->endWindow();  // a new transaction starts without one
    if (!c_->dead) c_->noteTx();
    return s;
  }

  RWDBStatus select(const char* sql, const std::string& arg,
                    std::vector<std::vector<std::string>>* rows) {
    PgStatement st(c_, sql, 1);
    st.readAsText();  // the catalog's rows
    Param p;
    p.kind = Param::kText;
    p.data = arg.c_str();
    p.size = arg.size();
    std::unique_ptr<Cursor> cur;
    RWDBStatus s = st.query({p}, &cur);
    if (!s.isValid()) return s;
    while (cur->next(&s)) {
      std::vector<std::string> row(static_cast<size_t>(cur->columnCount()));
      for (int i = 0; i < cur->columnCount(); ++i) cur->getText(i, &row[static_cast<size_t>(i)]);
      rows->push_back(std::move(row));
    }
    return s;
  }

  std::shared_ptr<Conn> c_;
};

// The name of the process's time zone, for the session's TimeZone setting.
std::string process_zone() {
  const char* tz = std::getenv("TZ");
  std::string z = tz != nullptr ? tz : "";
  if (!z.empty() && z[0] == ':') z.erase(0, 1);
  if (z.empty()) {
    char buf[4096];
    ssize_t n = readlink("/etc/localtime", buf, sizeof buf - 1);
    if (n > 0) {
      buf[n] = '\0';
      z = buf;
    }
  }
  size_t zi = z.find("zoneinfo/");
  if (zi != std::string::npos) z = z.substr(zi + 9);
  return z.empty() ? "UTC" : z;
}

class PgDriver : public Driver {
 public:
  explicit PgDriver(const OpenParams& p) : p_(p) {}
  std::string serverType() const override { return "POSTGRESQL"; }
  std::string placeholder(size_t n) const override { return "$" + std::to_string(n); }
  // A parameter in a select list has no column to take its type from: the server would
  // take it for text, which an INSERT ... SELECT cannot store in a number, time or
  // byte column.
  std::string selectPlaceholder(size_t n, Param::Kind kind) const override {
    const char* type = nullptr;
    switch (kind) {
      case Param::kInt:
        type = "int8";
        break;
      case Param::kText:
        type = "text";
        break;
      case Param::kBlob:
        type = "bytea";
        break;
      case Param::kDateTime:
        type = "timestamptz";
        break;
      case Param::kNull:
        break;
    }
    if (type == nullptr) return placeholder(n);
    return "CAST(" + placeholder(n) + " AS " + type + ")";
  }
  // The server puts NULL last by default: an index in that order cannot give rows
  // "ascending, NULL first" without a sort.
  std::string indexColumn(const std::string& q) const override { return q + " NULLS FIRST"; }
  std::string columnDefinition(const std::string& q, RWDBValue::ValueType type, long length,
                               bool nullAllowed) const override {
    std::string d = q + " ";
    switch (type) {
      case RWDBValue::Long:
      case RWDBValue::UnsignedLong:
        d += "BIGINT";
        break;
      case RWDBValue::DateTime:
        d += "TIMESTAMP(3) WITH TIME ZONE";
        break;
      case RWDBValue::String:
        d += length > 0 ? "VARCHAR(" + std::to_string(length) + ")" : "TEXT";
        break;
      case RWDBValue::Blob:
        d += "BYTEA";
        break;
      default:
        return std::string();
    }
    if (!nullAllowed) d += " NOT NULL";
    // A blob's declared length is kept in the column's comment (columnNote) and enforced
    // by the layer before a value is bound. A CHECK constraint would cost every insert
    // and update some 6 us of the server's time: the server prepares a table's checks
    // anew at each execution of a statement. Tables made by earlier versions keep their
    // qxlen_ constraints; fetchSchema reads either, and translate() reports a violated
    // one as too long.
    return d;
  }
  std::string columnNote(const std::string& table, const std::string& q, RWDBValue::ValueType type,
                         long length) const override {
    if (type != RWDBValue::Blob || length <= 0) return std::string();
    return "COMMENT ON COLUMN " + table + "." + q + " IS '" + std::string(kLengthNote) +
           std::to_string(length) + "'";
  }
  std::string sessionKey() const override { return std::string(); }

  RWDBStatus connect(std::unique_ptr<Session>* out) override {
    std::string host = p_.serverName, port;
    size_t colon = host.rfind(':');
    if (colon != std::string::npos && colon + 1 < host.size() &&
        host.find_first_not_of("0123456789", colon + 1) == std::string::npos) {
      port = host.substr(colon + 1);
      host.resize(colon);
    }
    // Later keys override earlier ones, and the database name, when it is a whole
    // connection string, is expanded in its place: the defaults go before it so that
    // what the user wrote wins, the settings the layer relies on after it. Keys left
    // out entirely are libpq's to fill from the PG* environment variables.
    std::vector<const char*> keys, vals;
    auto add = [&](const char* k, const std::string& v) {
      if (v.empty()) return;
      keys.push_back(k);
      vals.push_back(v.c_str());
    };
    // A server that accepts the connection and never answers, or that dies under an
    // open connection, is an error within seconds instead of a hang.
    const char* env_timeout = std::getenv("PGCONNECT_TIMEOUT");
    std::string timeout = env_timeout != nullptr && *env_timeout != '\0' ? "" : "10";
    std::string on = "1", idle = "10", interval = "5", count = "3";
    std::string encoding = "UTF8", app = p_.applicationName;
    add("connect_timeout", timeout);
    add("keepalives", on);
    add("keepalives_idle", idle);
    add("keepalives_interval", interval);
    add("keepalives_count", count);
    add("fallback_application_name", app);
    add("host", host);
    add("port", port);
    add("user", p_.userName);
    add("password", p_.password);
    add("dbname", p_.databaseName);
    add("client_encoding", encoding);
    keys.push_back(nullptr);
    vals.push_back(nullptr);
    auto c = std::make_shared<Conn>();
    c->pg = PQconnectdbParams(keys.data(), vals.data(), 1);
    if (c->pg == nullptr || PQstatus(c->pg) != CONNECTION_OK) {
      // libpq quotes the parts of a connection string it cannot read, which may be
      // a password: those never reach a message.
      RWDBStatus s = translate(c->pg, nullptr, Ctx::kConnect);
      std::vector<std::string> secrets = conninfo_passwords(p_.databaseName);
      if (!p_.password.empty()) secrets.push_back(p_.password);
      return RWDBStatus(s.errorCode(), scrub_passwords(s.message().str(), secrets).c_str(),
                        s.vendorError1(), s.vendorError2(),
                        scrub_passwords(s.vendorMessage1().str(), secrets).c_str(),
                        s.vendorMessage2(), s.isTerminal());
    }
    PQsetNoticeProcessor(
        c->pg, [](void*, const char*) {}, nullptr);
    // The session shows times in the process's zone, as people reading the
    // database expect; instants are exact whatever it is.
    // The dates the layer parses are ISO; notices stay off the session. Set here
    // rather than in the connection's options, which are the user's to give.
    std::string zone = process_zone();
    const char* zv[] = {zone.c_str()};
    PGresult* r = PQexecParams(c->pg,
                               "SELECT pg_catalog.set_config('TimeZone', $1, false), "
                               "pg_catalog.set_config('DateStyle', 'ISO, YMD', false), "
                               "pg_catalog.set_config('client_min_messages', 'warning', false)",
                               1, nullptr, zv, nullptr, nullptr, 0);
    PQclear(r);
    // The commands of the savepoint windows.
    const char* const window[][2] = {{"qx_savepoint", "SAVEPOINT qx_sp"},
                                     {"qx_release", "RELEASE SAVEPOINT qx_sp"},
                                     {"qx_rollback", "ROLLBACK TO SAVEPOINT qx_sp"}};
    for (const auto& [name, sql] : window) {
      r = PQprepare(c->pg, name, sql, 0, nullptr);
      if (PQresultStatus(r) != PGRES_COMMAND_OK) {
        RWDBStatus s = translate(c->pg, r);
        PQclear(r);
        return s;
      }
      PQclear(r);
    }
    *out = std::make_unique<PgSession>(c);
    return RWDBStatus();
  }

 private:
  OpenParams p_;
};

}  // namespace

std::unique_ptr<Driver> make_postgres_driver(const OpenParams& p) {
  return std::make_unique<PgDriver>(p);
}

}  // namespace qx::db
