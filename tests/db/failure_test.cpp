// Failures give a status that is not valid, reach the error handler, never
// crash, and leave the connection and the open transaction usable where the
// server allows: what was committed stays, what was rolled back is gone.

#include <sqlite3.h>

#include "db_fixture.h"

namespace qx::test {
namespace {

class FailureTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    if (IsSkipped()) return;
    RWDBSchema s;
    s.appendColumn("id", RWDBValue::UnsignedLong, 0, false);
    s.appendColumn("txt", RWDBValue::String, 8);
    s.appendColumn("data", RWDBValue::Blob, 4);
    t_ = make("f", s);
    RWDBSchema key;
    key.appendColumn("id");
    ASSERT_TRUE(t_.createIndex(T("f_key"), key, conn_, true).isValid());
    ins_ = t_.inserter();
    ins_["id"] << RWDBBoundExpr(&id_);
    ins_["txt"] << RWDBBoundExpr(&txt_);
    ins_["data"] << RWDBBoundExpr(&data_);
    codes();
  }
  RWDBResult put(unsigned long id) {
    id_ = id;
    return ins_.execute(conn_);
  }
  // The rows whose txt is `text`.
  long with_text(const char* text) {
    RWDBSelector sel = db_.selector();
    sel << t_["id"];
    sel.where(t_["txt"] == RWCString(text));
    RWDBReader r = sel.reader(conn_);
    long n = 0;
    while (r()) ++n;
    return n;
  }

  RWDBTable t_;
  RWDBInserter ins_;
  unsigned long id_ = 0;
  RWCString txt_ = "t";
  RWDBBlob data_;
};

TEST_P(FailureTest, FailedStatementsLeaveTheTransactionUsable) {
  ASSERT_TRUE(conn_.autoCommit(false).isValid());
  ASSERT_TRUE(put(1).isValid());
  EXPECT_EQ(put(1).status().errorCode(), RWDBStatus::constraintViolation);  // duplicate
  txt_ = "123456789";
  EXPECT_EQ(put(2).status().errorCode(), RWDBStatus::valueTooLong);
  txt_ = "ok";
  data_ = RWDBBlob("12345", 5);
  EXPECT_EQ(put(3).status().errorCode(), RWDBStatus::valueTooLong);
  data_ = RWDBBlob("1234", 4);
  RWDBInserter missing = db_.table(T("missing")).inserter();
  missing["id"] << 1L;
  EXPECT_EQ(missing.execute(conn_).status().errorCode(), RWDBStatus::noSuchObject);
  RWDBUpdater up = t_.updater();
  up.set("txt", "far too long").where(t_["id"] == 1UL);
  EXPECT_EQ(up.execute(conn_).status().errorCode(), RWDBStatus::valueTooLong);
  RWDBSelector bad = db_.selector();
  bad << db_.table(T("missing"))["x"];
  RWDBReader r = bad.reader(conn_);
  EXPECT_FALSE(r());
  EXPECT_EQ(r.status().errorCode(), RWDBStatus::noSuchObject);
  ASSERT_TRUE(put(4).isValid());
  EXPECT_TRUE(conn_.inTransaction());
  ASSERT_TRUE(conn_.commitTransaction().isValid());

  EXPECT_EQ(codes(), (std::vector<int>{RWDBStatus::constraintViolation, RWDBStatus::valueTooLong,
                                       RWDBStatus::valueTooLong, RWDBStatus::noSuchObject,
                                       RWDBStatus::valueTooLong, RWDBStatus::noSuchObject}));
  EXPECT_EQ(count("f"), 2);  // rows 1 and 4
}

// A failed statement after many good ones (more than a savepoint window holds on a
// server that undoes through windows) takes none of them with it: every good row
// before and after it is committed, whatever its place among the windows; a failed
// query does the same, and updates run before it keep their values.
TEST_P(FailureTest, AFailureAfterManyStatementsUndoesOnlyItself) {
  ASSERT_TRUE(conn_.autoCommit(false).isValid());
  std::vector<unsigned long> failures_after = {1, 63, 64, 65, 130, 200};
  unsigned long next = 1;
  unsigned long written = 0;
  for (unsigned long n : failures_after) {
    for (; next <= n; ++next, ++written) ASSERT_TRUE(put(next).isValid()) << next;
    EXPECT_EQ(put(1).status().errorCode(), RWDBStatus::constraintViolation) << n;  // duplicate
  }
  RWDBUpdater up = t_.updater();
  up.set("txt", "changed").where(t_["id"] <= 10UL);
  ASSERT_TRUE(up.execute(conn_).isValid());
  RWDBSelector bad = db_.selector();
  bad << db_.table(T("missing"))["x"];
  RWDBReader r = bad.reader(conn_);
  EXPECT_FALSE(r());
  EXPECT_EQ(r.status().errorCode(), RWDBStatus::noSuchObject);
  ASSERT_TRUE(put(next).isValid());
  ++written;
  ASSERT_TRUE(conn_.commitTransaction().isValid());
  EXPECT_EQ(count("f"), static_cast<long>(written));
  EXPECT_EQ(with_text("changed"), 10);
}

// A statement may go before its transaction ends: a failure after it undoes only itself,
// and the write of the statement that is gone stays.
TEST_P(FailureTest, AWriteOfAStatementGoneSinceOutlivesALaterFailure) {
  ASSERT_TRUE(conn_.autoCommit(false).isValid());
  ASSERT_TRUE(put(1).isValid());
  {
    RWDBUpdater up = t_.updater();
    up.set("txt", "changed").where(t_["id"] == 1UL);
    ASSERT_TRUE(up.execute(conn_).isValid());
  }
  EXPECT_EQ(put(1).status().errorCode(), RWDBStatus::constraintViolation);
  ASSERT_TRUE(put(2).isValid());
  ASSERT_TRUE(conn_.commitTransaction().isValid());
  EXPECT_EQ(with_text("changed"), 1);
  EXPECT_EQ(count("f"), 2);
}

// Lengths hold however a value is written: inserts by name and in table order,
// updates with bound variables and constants; a column declared without a length
// takes any length, and a value within its length is never refused.
TEST_P(FailureTest, DeclaredLengthsHoldForEveryWayOfWriting) {
  RWDBInserter in_order = t_.inserter();
  unsigned long id = 10;
  RWCString txt = "123456789";
  RWDBBlob data("1234", 4);
  in_order << RWDBBoundExpr(&id) << RWDBBoundExpr(&txt) << RWDBBoundExpr(&data);
  EXPECT_EQ(in_order.execute(conn_).status().errorCode(), RWDBStatus::valueTooLong);
  txt = "12345678";
  EXPECT_TRUE(in_order.execute(conn_).isValid());
  ++id;
  data = RWDBBlob("12345", 5);
  EXPECT_EQ(in_order.execute(conn_).status().errorCode(), RWDBStatus::valueTooLong);

  RWDBUpdater up = t_.updater();
  RWCString bound = "123456789";
  up << t_["txt"].assign(RWDBBoundExpr(&bound));
  up.where(t_["id"] == 10UL);
  EXPECT_EQ(up.execute(conn_).status().errorCode(), RWDBStatus::valueTooLong);
  bound = "short";
  EXPECT_TRUE(up.execute(conn_).isValid());
  EXPECT_EQ(count("f"), 1);

  RWDBSchema free_text;
  free_text.appendColumn("id", RWDBValue::UnsignedLong, 0, false);
  free_text.appendColumn("txt", RWDBValue::String, 0);
  RWDBTable open = make("open", free_text);
  RWDBInserter ins = open.inserter();
  std::string long_text(5000, 'x');
  ins["id"] << 1UL;
  ins["txt"] << RWCString(long_text);
  EXPECT_TRUE(ins.execute(conn_).isValid());
}

// A table changed by the caller's own SQL is measured by its new declaration.
TEST_P(FailureTest, LengthsFollowATableRedeclaredBySql) {
  RWDBSchema s;
  s.appendColumn("txt", RWDBValue::String, 8);
  RWDBTable g = make("g", s);
  RWCString txt = "twelve chars";
  RWDBInserter before = g.inserter();
  before["txt"] << RWDBBoundExpr(&txt);
  EXPECT_EQ(before.execute(conn_).status().errorCode(), RWDBStatus::valueTooLong);
  std::string name = "\"" + T("g") + "\"";
  ASSERT_TRUE(db_.executeSql("DROP TABLE " + name, conn_).isValid());
  ASSERT_TRUE(
      db_.executeSql("CREATE TABLE " + name + " (txt " + (pg() ? "VARCHAR(20)" : "TEXT(20)") + ")",
                     conn_)
          .isValid());
  RWDBInserter after = db_.table(T("g")).inserter();
  after["txt"] << RWDBBoundExpr(&txt);
  EXPECT_TRUE(after.execute(conn_).isValid());
  txt = "twenty-one characters";
  EXPECT_EQ(after.execute(conn_).status().errorCode(), RWDBStatus::valueTooLong);
}

TEST_P(FailureTest, StatusesCarryTheDriversCodeAndMessage) {
  ASSERT_TRUE(put(1).isValid());
  RWDBStatus s = put(1).status();
  EXPECT_FALSE(s.isValid());
  EXPECT_FALSE(s.isTerminal());
  EXPECT_FALSE(s.vendorMessage1().isNull());
  if (pg()) {
    EXPECT_EQ(s.vendorMessage2(), "23505");
  } else {
    EXPECT_EQ(s.vendorError1(), SQLITE_CONSTRAINT_UNIQUE);
  }
}

TEST_P(FailureTest, UnopenedAndUnreachableDatabases) {
  RWDBDatabase none;
  EXPECT_EQ(none.status().errorCode(), RWDBStatus::notInitialized);  // 2
  EXPECT_EQ(none.table("x").inserter().execute().status().errorCode(), RWDBStatus::notInitialized);
  RWDBDatabase bad =
      pg() ? RWDBManager::database("POSTGRESQL", "/nonexistent/socket", "u", "", "nodb")
           : RWDBManager::database("SQLITE", "", "", "", "/nonexistent/dir/x.db");
  EXPECT_EQ(bad.status().errorCode(), RWDBStatus::notConnected);  // 8
  EXPECT_EQ(RWDBManager::database("ORACLE", "", "", "", "x").status().errorCode(),
            RWDBStatus::notConnected);
  EXPECT_FALSE(bad.table("x").exists());
  EXPECT_GE(codes().size(), 3u);
}

QX_BACKENDS(FailureTest);

// A group of statements takes effect whole or not at all, in a transaction (which goes
// on, with what was done before the group) and in auto-commit mode alike.
TEST_P(FailureTest, GroupsTakeEffectWholeOrNotAtAll) {
  RWDBInserter second = t_.inserter();
  unsigned long other = 0;
  second["id"] << RWDBBoundExpr(&other);
  RWDBUpdater up = t_.updater();
  up.set("txt", "changed").where(t_["id"] == RWDBBoundExpr(&other));
  for (bool autocommit : {true, false}) {
    SCOPED_TRACE(autocommit ? "auto-commit" : "transaction");
    ASSERT_TRUE(conn_.autoCommit(autocommit).isValid());
    unsigned long base = autocommit ? 10 : 20;
    ASSERT_TRUE(put(base).isValid());
    id_ = base + 1;
    other = base + 2;
    std::vector<long> rows;
    RWDBResult both = conn_.execute({ins_, second}, &rows);
    ASSERT_TRUE(both.isValid()) << both.status().message();
    EXPECT_EQ(rows, (std::vector<long>{1, 1}));
    // The second statement breaks the unique key: the first is undone with it.
    id_ = base + 3;
    other = base;
    RWDBResult broken = conn_.execute({ins_, second}, &rows);
    EXPECT_EQ(broken.status().errorCode(), RWDBStatus::constraintViolation);
    EXPECT_EQ(codes(), std::vector<int>{RWDBStatus::constraintViolation});
    // A value that does not fit stops the group before anything runs.
    other = base + 4;
    txt_ = "123456789";
    EXPECT_EQ(conn_.execute({second, ins_}).status().errorCode(), RWDBStatus::valueTooLong);
    txt_ = "t";
    codes();
    other = base;
    EXPECT_EQ(conn_.execute({up, second}, &rows).status().errorCode(),
              RWDBStatus::constraintViolation);
    codes();
    if (!autocommit) {
      ASSERT_TRUE(conn_.commitTransaction().isValid());
    }
    EXPECT_EQ(count("f"), autocommit ? 3 : 6);
    RWDBSelector sel = db_.selector();
    sel << t_["txt"];
    sel.where(t_["id"] == base);
    RWDBReader r = sel.reader(conn_);
    RWCString txt;
    ASSERT_TRUE(r());
    r >> txt;
    EXPECT_EQ(txt, "t");  // the update went with the failed insert
  }
}

// ---- injected faults ----

// Each on a table "inj" of one column, in a transaction.
class InjectedFaultTest : public FaultTest {
 protected:
  void SetUp() override {
    FaultTest::SetUp();
    if (IsSkipped()) return;
    RWDBSchema s;
    s.appendColumn("id", RWDBValue::Long);
    t_ = make("inj", s);
    ASSERT_TRUE(conn_.autoCommit(false).isValid());
  }
  RWDBTable t_;
};

TEST_P(InjectedFaultTest, FailedStatementIsReportedAndTheRestCommits) {
  long id = 0;
  RWDBInserter ins = t_.inserter();
  ins["id"] << RWDBBoundExpr(&id);
  plan_->failStatement = 2;
  std::vector<bool> ok;
  for (id = 1; id <= 3; ++id) ok.push_back(ins.execute(conn_).isValid());
  EXPECT_EQ(ok, (std::vector<bool>{true, false, true}));
  EXPECT_EQ(codes(), std::vector<int>{RWDBStatus::serverError});
  ASSERT_TRUE(conn_.commitTransaction().isValid());
  EXPECT_EQ(count("inj"), 2);
}

TEST_P(InjectedFaultTest, AGroupWithAFailedStatementLeavesNothing) {
  RWDBInserter a = t_.inserter();
  a["id"] << 1L;
  RWDBInserter b = t_.inserter();
  b["id"] << 2L;
  ASSERT_TRUE(a.execute(conn_).isValid());
  plan_->failStatement = 2;  // the group's second statement
  EXPECT_FALSE(conn_.execute({a, b}).isValid());
  EXPECT_EQ(plan_->injected, 1);
  ASSERT_TRUE(conn_.execute({a, b}).isValid());
  ASSERT_TRUE(conn_.commitTransaction().isValid());
  EXPECT_EQ(count("inj"), 3);
}

// A table whose blob length is kept by a statement after the CREATE (PostgreSQL) is not
// made when that statement fails, in the caller's transaction or out of one.
TEST_P(InjectedFaultTest, NoTableIsMadeWithoutItsDeclaredLengths) {
  if (!pg()) GTEST_SKIP() << "SQLite keeps the length in the column's type";
  RWDBSchema s;
  s.appendColumn("data", RWDBValue::Blob, 4);
  for (bool in_transaction : {true, false}) {
    SCOPED_TRACE(in_transaction);
    ASSERT_TRUE(conn_.autoCommit(!in_transaction).isValid());
    plan_->injected = 0;
    plan_->failStatement = 2;  // the note after the CREATE
    EXPECT_FALSE(db_.createTable(T("noted"), s, conn_).isValid());
    EXPECT_EQ(plan_->injected, 1);
    if (in_transaction) {
      ASSERT_TRUE(conn_.commitTransaction().isValid());
    }
    EXPECT_FALSE(db_.table(T("noted")).exists(conn_));
  }
}

TEST_P(InjectedFaultTest, FailedCommitLeavesNothingHalfWritten) {
  RWDBInserter ins = t_.inserter();
  ins["id"] << 1L;
  ASSERT_TRUE(ins.execute(conn_).isValid());
  ASSERT_TRUE(ins.execute(conn_).isValid());
  plan_->failCommit = 1;
  RWDBStatus st = conn_.commitTransaction();
  EXPECT_FALSE(st.isValid());
  EXPECT_EQ(plan_->injected, 1);
  EXPECT_FALSE(conn_.inTransaction());
  EXPECT_EQ(count("inj"), 0);
  ASSERT_TRUE(ins.execute(conn_).isValid());  // and work goes on
  ASSERT_TRUE(conn_.commitTransaction().isValid());
  EXPECT_EQ(count("inj"), 1);
}

TEST_P(InjectedFaultTest, ExecuteThenReaderRunsTheQueryOnce) {
  RWDBSelector sel = db_.selector();
  sel << t_["id"];
  int before = plan_->statements;
  ASSERT_TRUE(sel.execute(conn_).isValid());
  RWDBReader r = sel.reader(conn_);
  EXPECT_FALSE(r());
  EXPECT_TRUE(r.status().isValid());
  EXPECT_EQ(plan_->statements - before, 1);
}

QX_BACKENDS(InjectedFaultTest);

// ---- server-specific failures ----

TEST_P(FailureTest, LockedSqliteDatabase) {
  if (pg()) GTEST_SKIP() << "SQLite only";
  ASSERT_TRUE(db_.executeSql("PRAGMA busy_timeout = 50", conn_).isValid());
  // Within a process every connection to the file is one session, so the
  // competing writer is a separate handle outside the layer.
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
  ASSERT_TRUE(conn_.autoCommit(false).isValid());
  RWDBStatus s = put(1).status();
  EXPECT_EQ(s.errorCode(), RWDBStatus::locked);
  EXPECT_EQ(codes(), std::vector<int>{RWDBStatus::locked});
  ASSERT_EQ(sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(other);
  EXPECT_TRUE(put(2).isValid());
  EXPECT_TRUE(conn_.commitTransaction().isValid());
  EXPECT_EQ(count("f"), 1);
}

// A store opened for reading while another process holds it locked is read the usual
// way, after the busy timeout: it says it is locked, or reads what was committed. It is
// never taken for a file that does not change (that reading misses what the other
// process committed to the WAL).
TEST_P(FailureTest, AStoreOpenedForReadingWhileLockedIsNeverReadStale) {
  if (pg()) GTEST_SKIP() << "SQLite only";
  ASSERT_TRUE(put(1).isValid());
  ins_ = RWDBInserter();  // the fixture's session lets the file go
  t_ = RWDBTable();
  conn_ = RWDBConnection();
  db_ = RWDBDatabase();
  sqlite3* other = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &other), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(other,
                         "PRAGMA locking_mode = EXCLUSIVE; "
                         "INSERT INTO f (id, txt) VALUES (7, 'other')",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  RWDBDatabase ro = RWDBManager::database("SQLITE", "", "", "",
                                          ("file:" + path_ + "?mode=ro").c_str(),
                                          "busy_timeout_ms=50");
  RWDBConnection c = ro.connection();
  long n = -1;
  if (c.isValid()) {
    RWDBSelector sel = ro.selector();
    sel << ro.table(T("f"));
    RWDBReader r = sel.reader(c);
    n = 0;
    while (r()) ++n;
    if (!r.status().isValid()) n = -1;
  }
  EXPECT_NE(n, 1) << "the other process's committed row was missed";
  sqlite3_close(other);
  codes();
}

// A transaction that read before another process committed can still write: it
// takes the write lock when it writes first, instead of failing at once as a reader
// of an older state of the file that wants to become a writer.
TEST_P(FailureTest, TransactionThatReadFirstWritesAfterAnotherProcesssCommit) {
  ASSERT_TRUE(conn_.autoCommit(false).isValid());
  EXPECT_EQ(count("f"), 0);
  if (!pg()) {
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "INSERT INTO f (id, txt) VALUES (7, 'other')", nullptr, nullptr,
                           nullptr),
              SQLITE_OK);
    sqlite3_close(other);
  } else {
    RWDBDatabase otherDb = open();
    RWDBConnection other = otherDb.connection();
    RWDBInserter ins = otherDb.table(T("f")).inserter();
    ins["id"] << 7UL;
    ASSERT_TRUE(ins.execute(other).isValid());
  }
  EXPECT_TRUE(put(1).isValid());
  EXPECT_EQ(codes(), std::vector<int>{});
  ASSERT_TRUE(conn_.commitTransaction().isValid());
  EXPECT_EQ(count("f"), 2);
}

TEST_P(FailureTest, FullSqliteDatabase) {
  if (pg()) GTEST_SKIP() << "SQLite only";
  RWDBSchema s;
  s.appendColumn("b", RWDBValue::Blob, 0);
  RWDBTable big = make("big", s);
  ASSERT_TRUE(put(1).isValid());
  ASSERT_TRUE(db_.executeSql("PRAGMA max_page_count = 10", conn_).isValid());
  ASSERT_TRUE(conn_.autoCommit(false).isValid());
  ASSERT_TRUE(put(2).isValid());
  RWDBBlob blob(std::string(64 * 1024, 'z').data(), 64 * 1024);
  RWDBInserter ins = big.inserter();
  ins["b"] << RWDBBoundExpr(&blob);
  RWDBStatus st = ins.execute(conn_).status();
  EXPECT_EQ(st.errorCode(), RWDBStatus::diskFull);
  EXPECT_EQ(codes(), std::vector<int>{RWDBStatus::diskFull});
  // The transaction goes on (SQLite undid just the statement) or, where it
  // could not, the status said so and a new one is open, whose commit fails:
  // the row written before the failure is gone, so the rest is not stored
  // either.
  bool lost = st.message().contains("transaction rolled back");
  ASSERT_TRUE(db_.executeSql("PRAGMA max_page_count = 100000", conn_).isValid());
  ASSERT_TRUE(put(3).isValid());
  RWDBStatus c = conn_.commitTransaction();
  EXPECT_EQ(c.isValid(), !lost) << c.message();
  if (lost) {
    EXPECT_EQ(c.errorCode(), RWDBStatus::transactionAborted);
  }
  EXPECT_EQ(count("f"), lost ? 1 : 3);
  // The next transaction is a new unit, committed as usual.
  ASSERT_TRUE(put(4).isValid());
  ASSERT_TRUE(conn_.commitTransaction().isValid());
  EXPECT_EQ(count("f"), lost ? 2 : 4);
}

TEST_P(FailureTest, PostgresServerGoneMidSession) {
  if (!pg()) GTEST_SKIP() << "PostgreSQL only";
  std::string app = "qx_victim_" + std::to_string(getpid());
  RWDBDatabase victimDb = open("application_name=" + app);
  ASSERT_TRUE(victimDb.isValid());
  RWDBConnection victim = victimDb.connection();
  ASSERT_TRUE(victim.autoCommit(false).isValid());
  RWDBInserter ins = db_.table(T("f")).inserter();
  ins["id"] << 1UL;
  ASSERT_TRUE(ins.execute(victim).isValid());
  // The server ends the victim's sessions (as when it stops).
  ASSERT_TRUE(db_.executeSql("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                             "application_name = '" +
                                 app + "'",
                             conn_)
                  .isValid());
  codes();
  RWDBStatus s = ins.execute(victim).status();
  EXPECT_EQ(s.errorCode(), RWDBStatus::connectionLost);
  EXPECT_TRUE(s.isTerminal());
  EXPECT_FALSE(victim.isValid());
  RWDBStatus c = victim.commitTransaction();
  EXPECT_FALSE(c.isValid());
  EXPECT_TRUE(c.isTerminal());
  RWDBSelector sel = victimDb.selector();
  sel << db_.table(T("f"));
  RWDBReader r = sel.reader(victim);
  EXPECT_FALSE(r());
  EXPECT_GE(codes().size(), 3u);
  EXPECT_EQ(count("f"), 0);  // the uncommitted row is gone with the session
}

}  // namespace
}  // namespace qx::test
