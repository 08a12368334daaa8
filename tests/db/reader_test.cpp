// Readers: access by position and by name, the end of the columns, values
// that do not convert, and statements run while a reader is open.

#include "db_fixture.h"

namespace qx::test {
namespace {

class ReaderTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    if (IsSkipped()) return;
    RWDBSchema s;
    s.appendColumn("a", RWDBValue::Long);
    s.appendColumn("b", RWDBValue::String, 10);
    t_ = make("r", s);
    for (long i = 1; i <= 3; ++i) {
      RWDBInserter ins = t_.inserter();
      ins << i << RWCString("v" + std::to_string(i));  // table order, no column list
      ASSERT_TRUE(ins.execute(conn_).isValid());
    }
  }
  RWDBTable t_;
};

TEST_P(ReaderTest, PositionNameAndTheEndOfTheColumns) {
  RWDBSelector sel = db_.selector();
  sel << t_;
  sel.where(t_["a"] == 2L);
  RWDBReader r = sel.reader(conn_);
  ASSERT_TRUE(r());
  EXPECT_EQ(r.numberOfColumns(), 2u);
  long a = 0;
  RWCString b, byName;
  r >> a >> b;
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, "v2");
  r["B"] >> byName;
  EXPECT_EQ(byName, "v2");
  EXPECT_TRUE(r.status().isValid());

  RWDBNullIndicator n;
  RWCString untouched = "keep";
  r[2] >> n >> untouched;
  EXPECT_EQ(r.status().errorCode(), RWDBStatus::invalidPosition);
  EXPECT_TRUE(n);
  EXPECT_EQ(untouched, "keep");
  EXPECT_EQ(r.column(2).status().errorCode(), RWDBStatus::invalidPosition);
  r["nope"] >> untouched;
  EXPECT_EQ(r.status().errorCode(), RWDBStatus::invalidPosition);
  EXPECT_TRUE(codes().empty());  // probing for the end is not an error report
  EXPECT_FALSE(r());
}

TEST_P(ReaderTest, TableColumnsByPositionEndWithInvalidPosition) {
  RWDBTable fresh = db_.table(T("R"));  // learns its columns on first use
  EXPECT_EQ(fresh.column(0).name(), "a");
  EXPECT_EQ(fresh.column(1).name(), "b");
  EXPECT_EQ(fresh.column(2).status().errorCode(), RWDBStatus::invalidPosition);
}

TEST_P(ReaderTest, TextThatIsNotANumberIsATypeConflict) {
  RWDBSelector sel = db_.selector();
  sel << t_["b"];
  RWDBReader r = sel.reader(conn_);
  ASSERT_TRUE(r());
  long v = 42;
  r >> v;
  EXPECT_EQ(v, 42);
  EXPECT_EQ(r.status().errorCode(), RWDBStatus::typeConflict);
  EXPECT_EQ(codes(), std::vector<int>{RWDBStatus::typeConflict});
  EXPECT_TRUE(r());  // the next row clears it
  EXPECT_TRUE(r.status().isValid());
}

// take() answers in one call what the indicator, the extraction and the status answer
// one after the other: a value, a NULL (nothing failed), or a failure that says why.
TEST_P(ReaderTest, TakeTellsAValueANullAndAFailureApart) {
  RWDBInserter ins = t_.inserter();
  ins << 4L << RWDBExpr(rwdbNull);
  ASSERT_TRUE(ins.execute(conn_).isValid());
  RWDBSelector sel = db_.selector();
  sel << t_;
  sel.where(t_["a"] >= 3L);
  sel.orderBy(t_["a"]);
  RWDBReader r = sel.reader(conn_);

  ASSERT_TRUE(r());
  unsigned long a = 0;
  std::string_view b;
  EXPECT_TRUE(r["a"].take(a));
  EXPECT_EQ(a, 3u);
  EXPECT_TRUE(r.takeText(b));  // moved on to the next column
  EXPECT_EQ(b, "v3");
  EXPECT_FALSE(r.takeText(b));  // past the last column
  EXPECT_EQ(r.status().errorCode(), RWDBStatus::invalidPosition);
  long number = 42;
  EXPECT_FALSE(r["b"].take(number));  // "v3" is no number
  EXPECT_EQ(number, 42);
  EXPECT_EQ(r.status().errorCode(), RWDBStatus::typeConflict);

  ASSERT_TRUE(r());
  EXPECT_TRUE(r.status().isValid());
  RWCString text = "keep";
  EXPECT_FALSE(r["b"].take(text));  // NULL: nothing failed, nothing taken
  EXPECT_EQ(text, "keep");
  EXPECT_TRUE(r.status().isValid());
  EXPECT_FALSE(r());
}

TEST_P(ReaderTest, StatementsRunWhileAReaderIsOpen) {
  RWDBSchema s;
  s.appendColumn("a", RWDBValue::Long);
  RWDBTable copy = make("copy", s);
  conn_.autoCommit(false);
  RWDBSelector sel = db_.selector();
  sel << t_["a"];
  RWDBReader r = sel.reader(conn_);
  long a = 0, seen = 0;
  RWDBInserter ins = copy.inserter();
  ins["a"] << RWDBBoundExpr(&a);
  while (r()) {
    r >> a;
    ++seen;
    ASSERT_TRUE(ins.execute(conn_).isValid());
  }
  EXPECT_EQ(seen, 3);
  EXPECT_TRUE(conn_.commitTransaction().isValid());
  EXPECT_EQ(count("copy"), 3);
}

TEST_P(ReaderTest, RunningTheSelectorAgainEndsTheOldReader) {
  RWDBSelector sel = db_.selector();
  sel << t_["a"];
  RWDBReader first = sel.reader(conn_);
  ASSERT_TRUE(first());
  RWDBReader second = sel.reader(conn_);
  EXPECT_FALSE(first());
  long n = 0;
  while (second()) ++n;
  EXPECT_EQ(n, 3);
}

QX_BACKENDS(ReaderTest);

}  // namespace
}  // namespace qx::test
