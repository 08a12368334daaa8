// Prepared statements bound to program variables: prepared once, executed
// many times, rebound; updaters with set() and deleters with criteria.

#include <map>

#include "db_fixture.h"

namespace qx::test {
namespace {

class StatementTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    if (IsSkipped()) return;
    RWDBSchema s;
    s.appendColumn("logRecordId", RWDBValue::UnsignedLong, 0, false);
    s.appendColumn("eventTime", RWDBValue::DateTime);
    s.appendColumn("clearState", RWDBValue::String, 13);
    t_ = make("qxi1qxAlm", s);
  }

  // clearState of every row, by id.
  std::map<unsigned long, std::string> states() {
    std::map<unsigned long, std::string> out;
    RWDBSelector sel = db_.selector();
    sel << t_["logrecordid"] << t_["clearstate"];
    RWDBReader r = sel.reader(conn_);
    RWDBNullIndicator n;
    while (r()) {
      unsigned long id;
      RWCString st;
      r >> id >> n >> st;
      out[id] = n ? "NULL" : st.str();
    }
    return out;
  }

  // An insert of the three columns from the three variables.
  RWDBInserter BoundInserter(unsigned long& id, RWDBDateTime& when, RWCString& state) {
    RWDBInserter ins = t_.inserter();
    ins["logRecordId"] << RWDBBoundExpr(&id);
    ins["eventTime"] << RWDBBoundExpr(&when);
    ins["clearState"] << RWDBBoundExpr(&state);
    return ins;
  }

  // Rows 1 to n, with their identifier alone.
  void Rows(unsigned long n) {
    for (unsigned long id = 1; id <= n; ++id) {
      RWDBInserter ins = t_.inserter();
      ins["logrecordid"] << id;
      ASSERT_TRUE(ins.execute(conn_).isValid());
    }
  }

  RWDBTable t_;
};

TEST_P(StatementTest, BoundInsertRereadsVariablesAndRebindsToNullAndBack) {
  unsigned long id = 0;
  RWDBDateTime when;
  RWCString state;
  RWDBInserter ins = BoundInserter(id, when, state);
  const RWCString sql = ins.asString();

  when = RWDBDateTime(2020, 5, 1, 12, 0, 0, 0);
  for (id = 1; id <= 3; ++id) {
    state = "s" + std::to_string(id);
    ASSERT_TRUE(ins.execute(conn_).isValid());
  }
  ins["EVENTTIME"] << rwdbNull;  // rebind for one execution
  id = 4;
  ASSERT_TRUE(ins.execute(conn_).isValid());
  ins["eventTime"] << RWDBBoundExpr(&when);
  id = 5;
  ASSERT_TRUE(ins.execute(conn_).isValid());
  EXPECT_EQ(ins.asString(), sql);  // rebinding leaves the statement as prepared

  RWDBSelector sel = db_.selector();
  sel << t_["logrecordid"];
  sel.where(t_["eventtime"].isNull());
  RWDBReader r = sel.reader(conn_);
  ASSERT_TRUE(r());
  unsigned long nullId = 0;
  r >> nullId;
  EXPECT_EQ(nullId, 4u);
  EXPECT_FALSE(r());
  EXPECT_EQ(states().size(), 5u);
  EXPECT_EQ(states()[3], "s3");
}

TEST_P(StatementTest, UpdaterSetsWithBoundCriterion) {
  for (unsigned long id = 1; id <= 3; ++id) {
    RWDBInserter ins = t_.inserter();
    ins["logrecordid"] << id;
    ins["clearstate"] << "unCleared";
    ASSERT_TRUE(ins.execute(conn_).isValid());
  }
  unsigned long target = 0;
  RWCString state;
  RWDBDateTime when = RWDBDateTime(2021, 1, 2, 3, 4, 5, 6);
  RWDBUpdater up = t_.updater();
  up << t_["clearstate"].assign("overwritten");
  up << t_["clearState"].assign(RWDBBoundExpr(&state));  // the last assignment holds
  up.set("eventTime", RWDBBoundExpr(&when));
  up.where(t_["logRecordId"] == RWDBBoundExpr(&target));
  EXPECT_EQ(up.entries(), 2u);

  target = 2;
  state = "cleared";
  RWDBResult res = up.execute(conn_);
  ASSERT_TRUE(res.isValid());
  EXPECT_EQ(res.rowCount(), 1);
  target = 99;
  res = up.execute(conn_);
  ASSERT_TRUE(res.isValid());
  EXPECT_EQ(res.rowCount(), 0);
  EXPECT_EQ(states(), (std::map<unsigned long, std::string>{
                          {1, "unCleared"}, {2, "cleared"}, {3, "unCleared"}}));

  // An updater without assignments touches nothing.
  RWDBUpdater empty = t_.updater();
  EXPECT_TRUE(empty.execute(conn_).isValid());
  // Assigning NULL.
  RWDBUpdater nulls = t_.updater();
  nulls.set("clearstate", rwdbNull).where(t_["logrecordid"] == 3UL);
  ASSERT_TRUE(nulls.execute(conn_).isValid());
  EXPECT_EQ(states()[3], "NULL");
}

TEST_P(StatementTest, DeleterWithBoundCriterionAndWithout) {
  Rows(4);
  unsigned long victim = 0;
  RWDBDeleter del = t_.deleter();
  del.where(t_["logrecordid"] == RWDBBoundExpr(&victim));
  victim = 2;
  EXPECT_EQ(del.execute(conn_).rowCount(), 1);
  victim = 2;
  EXPECT_EQ(del.execute(conn_).rowCount(), 0);
  victim = 4;
  EXPECT_EQ(del.execute(conn_).rowCount(), 1);
  EXPECT_EQ(count("qxi1qxAlm"), 2);
  RWDBDeleter all = t_.deleter();
  EXPECT_EQ(all.execute(conn_).rowCount(), 2);
  EXPECT_EQ(count("qxi1qxAlm"), 0);
}

// A list of values, as the purge of a log deletes a batch of records: every row whose
// value is in the list, whatever the list's order, none for an empty list or a value
// that names no row.
TEST_P(StatementTest, DeleterByAListOfValues) {
  Rows(6);
  RWDBDeleter del = t_.deleter();
  del.where(t_["logrecordid"].in({RWDBExpr(5ul), RWDBExpr(2ul), RWDBExpr(9ul)}));
  RWDBResult res = del.execute(conn_);
  ASSERT_TRUE(res.isValid()) << res.status().message().data();
  EXPECT_EQ(res.rowCount(), 2);
  RWDBDeleter none = t_.deleter();
  none.where(t_["logrecordid"].in({}));
  res = none.execute(conn_);
  ASSERT_TRUE(res.isValid()) << res.status().message().data();
  EXPECT_EQ(res.rowCount(), 0);
  RWDBDeleter also = t_.deleter();
  also.where(t_["logrecordid"].in({RWDBExpr(1ul)}) || t_["logrecordid"].in({RWDBExpr(6ul)}));
  EXPECT_EQ(also.execute(conn_).rowCount(), 2);
  EXPECT_EQ(count("qxi1qxAlm"), 2);
}

// A selector ordered by a column (NULL first on both servers) and cut at a bound
// number of rows, and the same query feeding an INSERT ... SELECT with values of every
// type among its columns: the copied rows hold the values, the criterion picks the rows,
// and a value too long for its column is refused before it reaches the server.
TEST_P(StatementTest, OrderedLimitedSelectAndInsertFromSelect) {
  unsigned long id = 0;
  RWDBDateTime when;
  RWCString state;
  RWDBInserter ins = BoundInserter(id, when, state);
  const int minutes[] = {30, 10, -1, 10, 20};  // -1: no time
  for (id = 1; id <= 5; ++id) {
    int m = minutes[id - 1];
    when = m < 0 ? RWDBDateTime() : RWDBDateTime(2024, 3, 1, 10, m, 0, 0);
    state = id % 2 == 0 ? "cleared" : "unCleared";
    ASSERT_TRUE(ins.execute(conn_).isValid());
  }
  // An index in the selector's order, made once whatever the number of calls.
  RWDBSchema by_time;
  by_time.appendColumn("eventTime");
  by_time.appendColumn("logRecordId");
  ASSERT_TRUE(t_.createIndexIfMissing("qxi1qxtim", by_time, conn_).isValid());
  ASSERT_TRUE(t_.createIndexIfMissing("qxi1qxtim", by_time, conn_).isValid());
  EXPECT_FALSE(t_.createIndex("qxi1qxtim", by_time, conn_).isValid());
  long n = 3;
  RWDBSelector sel = db_.selector();
  sel << t_["logrecordid"];
  sel.orderBy(t_["eventtime"]).orderBy(t_["logrecordid"]).limit(RWDBBoundExpr(&n));
  auto ids = [&] {
    std::vector<unsigned long> out;
    RWDBReader r = sel.reader(conn_);
    unsigned long v = 0;
    while (r()) {
      r >> v;
      out.push_back(v);
    }
    EXPECT_TRUE(r.status().isValid()) << r.status().message().data();
    return out;
  };
  EXPECT_EQ(ids(), (std::vector<unsigned long>{3, 2, 4}));
  n = 10;
  EXPECT_EQ(ids(), (std::vector<unsigned long>{3, 2, 4, 5, 1}));

  RWDBSchema hs;
  hs.appendColumn("seq", RWDBValue::Long, 0, false);
  hs.appendColumn("logRecordId", RWDBValue::UnsignedLong, 0, false);
  hs.appendColumn("before", RWDBValue::String, 13);
  hs.appendColumn("after", RWDBValue::String, 8);
  hs.appendColumn("at", RWDBValue::DateTime);
  hs.appendColumn("note", RWDBValue::Blob, 10);
  RWDBTable h = make("hist", hs);
  long seq = 7;
  RWCString after = "cleared";
  RWDBDateTime at(2024, 3, 2, 8, 0, 0, 0);
  RWDBBlob note("\x01\x00\x02", 3);
  RWDBSelector from = db_.selector();
  from.value(RWDBBoundExpr(&seq));
  from << t_["logrecordid"] << t_["clearstate"];
  from.value(RWDBBoundExpr(&after));
  from.value(RWDBBoundExpr(&at));
  from.value(RWDBBoundExpr(&note));
  from.where(t_["clearstate"] == RWDBExpr("unCleared"));
  RWDBInserter copy =
      h.inserter(from, {"seq", "logRecordId", "before", "after", "at", "note"});
  RWDBResult res = copy.execute(conn_);
  ASSERT_TRUE(res.isValid()) << res.status().message().data() << " " << copy.asString().data();
  EXPECT_EQ(res.rowCount(), 3);
  RWDBSelector back = db_.selector();
  back << h["seq"] << h["logrecordid"] << h["before"] << h["after"] << h["at"] << h["note"];
  back.orderBy(h["logrecordid"]);
  RWDBReader r = back.reader(conn_);
  std::vector<unsigned long> copied;
  while (r()) {
    long s = 0;
    unsigned long rid = 0;
    RWCString b, a;
    RWDBDateTime t;
    RWDBBlob blob;
    r >> s >> rid >> b >> a >> t >> blob;
    EXPECT_EQ(s, 7);
    EXPECT_EQ(b.str(), "unCleared");
    EXPECT_EQ(a.str(), "cleared");
    EXPECT_TRUE(t == at);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(blob.data()), blob.length()),
              std::string("\x01\x00\x02", 3));
    copied.push_back(rid);
  }
  EXPECT_EQ(copied, (std::vector<unsigned long>{1, 3, 5}));
  after = "much too long";
  EXPECT_FALSE(copy.execute(conn_).isValid());
  EXPECT_EQ(count("hist"), 3);
}

TEST_P(StatementTest, TransactionsCommitAndRollBack) {
  ASSERT_TRUE(conn_.autoCommit(false).isValid());
  RWDBInserter ins = t_.inserter();
  unsigned long id = 1;
  ins["logrecordid"] << RWDBBoundExpr(&id);
  ASSERT_TRUE(ins.execute(conn_).isValid());
  EXPECT_TRUE(conn_.inTransaction());
  ASSERT_TRUE(conn_.commitTransaction().isValid());
  EXPECT_FALSE(conn_.inTransaction());
  id = 2;
  ASSERT_TRUE(ins.execute(conn_).isValid());  // opens the next transaction itself
  ASSERT_TRUE(conn_.rollbackTransaction().isValid());
  ASSERT_TRUE(conn_.beginTransaction().isValid());
  id = 3;
  ASSERT_TRUE(ins.execute(conn_).isValid());
  ASSERT_TRUE(conn_.commitTransaction().isValid());
  EXPECT_EQ(states().size(), 2u);
  EXPECT_EQ(states().count(2), 0u);
  // Another connection sees only committed work.
  if (pg()) {
    RWDBConnection other = db_.connection();
    id = 4;
    ASSERT_TRUE(ins.execute(conn_).isValid());
    EXPECT_EQ(count("qxi1qxAlm", other), 2);
    conn_.commitTransaction();
    EXPECT_EQ(count("qxi1qxAlm", other), 3);
  }
}

QX_BACKENDS(StatementTest);

}  // namespace
}  // namespace qx::test
