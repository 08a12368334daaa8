// The readers of log identifiers and alarm state over rows of a scratch table, on both
// stores.
#include <list>

#include "infra/tolk_map/codecs/codecs.h"
#include "infra/tolk_map/util.h"
#include "platform/db/rwdb_connection.h"
#include "platform/db/rwdb_database.h"
#include "platform/db/rwdb_reader.h"
#include "platform/db/rwdb_schema.h"
#include "platform/db/rwdb_selector.h"
#include "platform/db/rwdb_table.h"
#include "tests/tolk_map/store_fixture.h"

namespace qx::test {
namespace {

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

TEST_P(ReaderTest, LogIdentifierByItsType) {
  Row("7", "integer", Int(7), "cleared", "major");
  Row("ab", "string", Graph("ab"), "unCleared", "warning");
  Row("x", "other", Graph("x"), "odd", "bogus");
  Row("y", nullptr, Graph("y"), "cleared", nullptr);
  RWDBReader r = Rows();
  std::vector<Asn1Value> got;
  Oid none;
  while (r()) {
    Asn1Value v;
    got.push_back(rdr_logid(nullptr, r, "LogId", none, v) ? v : Asn1Value());
  }
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0], Int(7));
  EXPECT_EQ(got[1], Graph("ab"));
  EXPECT_FALSE(got[2]);
  EXPECT_FALSE(got[3]);
}

TEST_P(ReaderTest, ClearStateAndSeverity) {
  Row("7", "integer", Int(7), "cleared", "major");
  Row("ab", "string", Graph("ab"), "unCleared", "warning");
  Row("x", "other", Graph("x"), "odd", "bogus");
  Row("y", "string", Graph("y"), "cleared", nullptr);
  RWDBReader r = Rows();
  RWCString state("state"), severity("severity");
  unsigned char cleared = 9, sev = 9;
  ASSERT_TRUE(r());
  EXPECT_TRUE(rdr_clear_severity(r, state, severity, cleared, sev));
  EXPECT_EQ(cleared, 1);
  EXPECT_EQ(sev, 2);
  ASSERT_TRUE(r());
  EXPECT_TRUE(rdr_clear_severity(r, state, severity, cleared, sev));
  EXPECT_EQ(cleared, 0);
  EXPECT_EQ(sev, 4);
  // Unknown or NULL words read as not cleared and indeterminate, never as the words of
  // the row before.
  ASSERT_TRUE(r());
  EXPECT_FALSE(rdr_clear_severity(r, state, severity, cleared, sev));
  EXPECT_EQ(cleared, 0);
  EXPECT_EQ(sev, 0);
  ASSERT_TRUE(r());
  EXPECT_FALSE(rdr_clear_severity(r, state, severity, cleared, sev));
  EXPECT_EQ(cleared, 1);
  EXPECT_EQ(sev, 0);
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
