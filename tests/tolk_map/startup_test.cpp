// Start-up on both stores, when the store is not as the library left it: a damaged log
// does not hide the others, a damaged record does not hide the rest of its table, and a
// row of the log table this library did not write is passed over. Below, the readers
// start-up uses, over rows of a scratch table.
#include <cstdio>
#include <functional>
#include <list>

#include "infra/tolk_map/codecs/codecs.h"
#include "infra/tolk_map/log_tables.h"
#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/eventlog.h"
#include "infra/tolk_map/trace.h"
#include "infra/tolk_map/util.h"
#include "platform/db/rwdb_blob.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_schema.h"
#include "platform/db/rwdb_selector.h"
#include "platform/db/rwdb_table.h"
#include "platform/db/rwdb_updater.h"
#include "platform/value/exception.h"
#include "tests/tolk_map/store_fixture.h"

namespace qx::test {
namespace {

const Oid kOtherClass("1.3.6.1.4.1.32473.7.1");  // kept by the blob table

// What start-up hands the callbacks, in order: the log identifiers, "end" for null.
// on_log, when set, runs after each log is noted.
struct Calls {
  std::vector<std::string> logs;
  std::function<void(const Asn1Value& id)> on_log;
  Callback log_cb{[](void* c, void* data) {
                    auto* self = static_cast<Calls*>(c);
                    auto* resp = static_cast<RespValue*>(data);
                    if (resp == nullptr) {
                      self->logs.push_back("end");
                      return;
                    }
                    Asn1Value id;
                    resp->find_value(logIdOid, id);
                    self->logs.push_back(id.to_string());
                    delete resp;
                    if (self->on_log) self->on_log(id);
                  },
                  this};
};

// What tolk_error says while it lives.
class ErrorStream {
 public:
  ErrorStream() : file_(std::tmpfile()), was_(tolk_error.enabled()) {
    tolk_error.set_output(file_);
    tolk_error.set_enabled(true);
  }
  ~ErrorStream() {
    tolk_error.set_enabled(was_);
    tolk_error.set_output(nullptr);
    std::fclose(file_);
  }
  std::string text() {
    std::fflush(file_);
    std::rewind(file_);
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0) out.append(buf, n);
    return out;
  }

 private:
  FILE* file_;
  bool was_;
};

class StartupTest : public StoreTest {
 protected:
  static int Write(LogMapper* m, int id, const Oid& cls) {
    return WriteRecord(m, id, cls, AttrList({{notificationIdOid, Int(id)}}));
  }
  bool Sql(const std::string& sql) {
    return LogMapper::aDB_().executeSql(sql, LogMapper::aConnection()).isValid();
  }
  // Replaces the stored blob of a record with octets that do not decode.
  void Damage(const std::string& table, const char* column, unsigned long id) {
    std::string garbage("\x30\x84\xff\xff\xff\xff", 6);
    ASSERT_TRUE(SetColumn(table, id, column, RWDBExpr(RWDBBlob(garbage.data(), garbage.size()))));
  }
};

// Log 8 loses a record table; logs 7 and 9 on either side of it in the log table still
// come back, the list ends, and the failure names the log and why.
TEST_P(StartupTest, ALogThatCannotBeLoadedHidesNoOther) {
  for (long log : {7, 8, 9}) {
    LogMapper* m = NewLog(log);
    ASSERT_EQ(Write(m, 1, objcrtOid), 1);
  }
  std::string lost = LogMapper::find_log_handle(Int(8))->get_table_name() + "ObCre";
  ASSERT_EQ(LogMapper::commit(), 1);
  ASSERT_TRUE(Sql("DROP TABLE " + lost + (postgres() ? " CASCADE" : "")));
  ASSERT_EQ(LogMapper::commit(), 1);
  Restart();
  Calls calls;
  ErrorStream errors;
  EXPECT_EQ(LogMapper::init_log_handles(calls.log_cb, no_op_cb), 0);
  std::string why = LogMapper::last_failure();
  EXPECT_EQ(calls.logs, (std::vector<std::string>{Int(7).to_string(), Int(9).to_string(), "end"}));
  for (long log : {7, 9}) {
    LogMapper* m = LogMapper::find_log_handle(Int(log));
    ASSERT_NE(m, nullptr) << log;
    Keep(m);
    EXPECT_EQ(m->cached_records(), 1u);
  }
  EXPECT_EQ(LogMapper::find_log_handle(Int(8)), nullptr);
  EXPECT_NE(why.find("1 of 3 stored logs"), std::string::npos) << why;
  EXPECT_NE(why.find(lost), std::string::npos) << why;
  EXPECT_NE(errors.text().find("The log 8 cannot be loaded"), std::string::npos) << errors.text();
}

// A record whose blob does not decode is reported and left out of the walk, and still
// cached, so that it can be deleted; the records after it, in its table and the next,
// are walked and the walk ends as usual, failing.
TEST_P(StartupTest, ARecordThatDoesNotReadBackHidesNoOther) {
  LogMapper* m = NewLog(7);
  for (int id : {1, 2, 3}) ASSERT_EQ(Write(m, id, objcrtOid), 1);
  for (int id : {4, 5}) ASSERT_EQ(Write(m, id, kOtherClass), 1);
  ASSERT_EQ(LogMapper::commit(), 1);
  Damage(m->get_table_name() + "ObCre", "blob", 2);
  Damage(record_table_name(m->get_table_name(), BLOB_TABLE), "userdefined", 4);
  ASSERT_EQ(LogMapper::commit(), 1);
  Restart();
  for (int flag : {0, 1}) {
    SCOPED_TRACE(flag);
    Restart();
    LogMapper* again = Keep(new LogMapper());
    ASSERT_EQ(again->load_table(Int(7)), 1);
    std::vector<unsigned long> walked;
    Callback cb(
        [](void* c, void* data) {
          auto* out = static_cast<std::vector<unsigned long>*>(c);
          if (data == nullptr) {
            out->push_back(0);  // the end
            return;
          }
          auto* lrv = static_cast<LogRespValue*>(data);
          RespValue* values = lrv->get_resp_value();
          Asn1Value id;
          unsigned long n = 0;
          if (values->find_value(logRecordIdOid, id)) id.decode_unsigned(n);
          out->push_back(n);
        },
        &walked);
    Callback plain(
        [](void* c, void* data) {
          auto* out = static_cast<std::vector<unsigned long>*>(c);
          unsigned long n = 0;
          Asn1Value id;
          if (data != nullptr && static_cast<RespValue*>(data)->find_value(logRecordIdOid, id))
            id.decode_unsigned(n);
          out->push_back(data == nullptr ? 0 : n);
        },
        &walked);
    ErrorStream errors;
    ExceptionScope scope;
    EXPECT_EQ(again->get_all_log_recs(flag == 1 ? cb : plain, flag), 0);
    EXPECT_EQ(walked, (std::vector<unsigned long>{1, 3, 5, 0}));
    EXPECT_EQ(again->damaged_records(), 2u);
    std::string said = errors.text();
    EXPECT_NE(said.find("Log 7: record 2 of "), std::string::npos) << said;
    EXPECT_NE(said.find("Log 7: record 4 of "), std::string::npos) << said;
    if (flag == 1) {
      EXPECT_EQ(again->cached_records(), 5u);
      EXPECT_EQ(again->deleteDB(2), 1);
      EXPECT_EQ(again->deleteDB(4), 1);
    }
  }
  ASSERT_EQ(LogMapper::commit(), 1);
  Restart();
  LogMapper* clean = Keep(new LogMapper());
  ASSERT_EQ(clean->load_table(Int(7)), 1);
  EXPECT_EQ(clean->get_all_log_recs(no_op_cb, 1), 1);
  EXPECT_EQ(clean->cached_records(), 3u);
}

// A row of the log table whose identifier type the library does not write is no log
// of its own, even when its stored identifier would decode.
TEST_P(StartupTest, ARowOfAnUnknownIdentifierTypeIsPassedOver) {
  NewLog(7);
  NewLog(8);
  ASSERT_TRUE(Sql("UPDATE Log SET LogIdType = 'other' WHERE LogId = '8'"));
  ASSERT_EQ(LogMapper::commit(), 1);
  Restart();
  auto logs = AllLogs();
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(logs[0].id, Int(7));
  Restart();
  Calls calls;
  EXPECT_EQ(LogMapper::init_log_handles(calls.log_cb, no_op_cb), 1);
  EXPECT_EQ(calls.logs, (std::vector<std::string>{Int(7).to_string(), "end"}));
  Keep(LogMapper::find_log_handle(Int(7)));
  EXPECT_EQ(LogMapper::find_log_handle(Int(8)), nullptr);
}

// Another process deletes a log while start-up runs, after the log table was read: the
// log is no longer stored, so it is left out, and start-up does not fail for it.
TEST_P(StartupTest, ALogDeletedDuringStartUpIsNoFailure) {
  NewLog(7);
  NewLog(8);
  ASSERT_EQ(LogMapper::commit(), 1);
  Restart();
  Calls calls;
  calls.on_log = [&, deleted = false](const Asn1Value& id) mutable {
    if (deleted) return;
    deleted = true;  // the log not loaded yet goes
    EXPECT_TRUE(
        Sql(std::string("DELETE FROM Log WHERE LogId = '") + (id == Int(7) ? "8" : "7") + "'"));
  };
  EXPECT_EQ(LogMapper::init_log_handles(calls.log_cb, no_op_cb), 1) << LogMapper::last_failure();
  ASSERT_EQ(calls.logs.size(), 2u);
  EXPECT_EQ(calls.logs[1], "end");
  for (long log : {7, 8}) {
    if (LogMapper* m = LogMapper::find_log_handle(Int(log))) Keep(m);
  }
}

QX_STORE_TESTS(StartupTest);

class ReaderTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    if (IsSkipped()) return;
    scratch_ = Keep(new LogMapper());  // opens the store
    RWDBSchema s;
    s.appendColumn("LogId", RWDBValue::String, 64);
    s.appendColumn("LogIdType", RWDBValue::String, 16);
    s.appendColumn("logidasn", RWDBValue::Blob, 1000);
    s.appendColumn("state", RWDBValue::String, 16);
    s.appendColumn("severity", RWDBValue::String, 16);
    ASSERT_TRUE(LogMapper::aDB_().createTable("rows", s, LogMapper::aConnection()).isValid());
  }
  void Row(const char* id, const char* type, const Asn1Value& asn, const char* state,
           const char* severity) {
    RWDBInserter ins = LogMapper::aDB_().table("rows").inserter();
    ins["LogId"] << RWDBExpr(id);
    ins["LogIdType"] << (type ? RWDBExpr(type) : RWDBExpr(rwdbNull));
    ins["logidasn"] << RWDBExpr(RWDBBlob(asn.encoding(), asn.size()));
    ins["state"] << RWDBExpr(state);
    ins["severity"] << (severity ? RWDBExpr(severity) : RWDBExpr(rwdbNull));
    ASSERT_TRUE(ins.execute(LogMapper::aConnection()).isValid());
  }
  RWDBReader Rows() {
    RWDBTable t = LogMapper::aDB_().table("rows");
    // The reader lives as long as its selector does.
    selectors_.push_back(LogMapper::aDB_().selector());
    selectors_.back() << t;
    return selectors_.back().reader(LogMapper::aConnection());
  }
  LogMapper* scratch_ = nullptr;
  std::list<RWDBSelector> selectors_;
};

// Each row gives its log identifier by its type (none for a type unknown or missing),
// its clear state and its severity: unknown or NULL words read as not cleared and
// indeterminate, never as the words of the row before.
TEST_P(ReaderTest, EachRowGivesItsLogIdentifierClearStateAndSeverity) {
  Row("7", "integer", Int(7), "cleared", "major");
  Row("ab", "string", Graph("ab"), "unCleared", "warning");
  Row("x", "other", Graph("x"), "odd", "bogus");
  Row("y", nullptr, Graph("y"), "cleared", nullptr);
  const struct {
    Asn1Value id;  // empty: none
    bool words_known;
    unsigned char cleared, severity;
  } rows[] = {{Int(7), true, 1, 2},
              {Graph("ab"), true, 0, 4},
              {Asn1Value(), false, 0, 0},
              {Asn1Value(), false, 1, 0}};
  RWDBReader r = Rows();
  Oid none;
  RWCString state("state"), severity("severity");
  unsigned char cleared = 9, sev = 9;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.id.to_string());
    ASSERT_TRUE(r());
    Asn1Value id;
    if (!rdr_logid(nullptr, r, "LogId", none, id)) id = Asn1Value();
    if (row.id) {
      EXPECT_EQ(id, row.id);
    } else {
      EXPECT_FALSE(id);
    }
    EXPECT_EQ(rdr_clear_severity(r, state, severity, cleared, sev), row.words_known);
    EXPECT_EQ(cleared, row.cleared);
    EXPECT_EQ(sev, row.severity);
  }
  EXPECT_FALSE(r());
}

TEST_P(ReaderTest, LogRowSearchMatchesEncodingAndType) {
  Row("7", "string", Int(7), "", "");
  Row("7", "integer", Int(7), "", "");
  {
    RWDBReader r = Rows();
    EXPECT_EQ(validate_logid(r, Int(7), "integer"), 1);
    RWCString type;
    ASSERT_TRUE(qx::read_text(r, "LogIdType", type));
    EXPECT_EQ(type.str(), "integer");  // the reader stands on the matching row
  }
  {
    RWDBReader r = Rows();
    EXPECT_EQ(validate_logid(r, Int(7), ""), 1);
    RWCString type;
    ASSERT_TRUE(qx::read_text(r, "LogIdType", type));
    EXPECT_EQ(type.str(), "string");  // the first row whose identifier matches
  }
  RWDBReader r2 = Rows();
  EXPECT_EQ(validate_logid(r2, Graph("7"), "string"), 0);
  RWDBReader r3 = Rows();
  EXPECT_EQ(validate_logid(r3, Asn1Value(), "integer"), -1);
}

QX_STORE_TESTS(ReaderTest);

}  // namespace
}  // namespace qx::test
