// Tables, their schemas, indexes and synonyms.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "db_fixture.h"
#include "platform/db/expr_node.h"

namespace qx::test {
namespace {

using SchemaTest = DbTest;

RWDBSchema log_schema() {
  RWDBSchema s;
  s.appendColumn("LogId", RWDBValue::String, 254, false);
  s.appendColumn("QxLogId", RWDBValue::UnsignedLong);
  s.appendColumn("startTime", RWDBValue::DateTime);
  s.appendColumn("discrimConstruct", RWDBValue::Blob, 43000);
  s.appendColumn("counter", RWDBValue::Long, 0, false);
  return s;
}

TEST_P(SchemaTest, FetchedSchemaOfAnExistingTable) {
  make("Log", log_schema());
  RWDBDatabase other = open();  // nothing cached there
  RWDBTable t = other.table(T("LOG"));
  ASSERT_TRUE(t.fetchSchema(other.defaultConnection()).isValid());
  const RWDBSchema& s = t.schema();
  ASSERT_EQ(s.entries(), 5u);
  struct {
    const char* name;
    RWDBValue::ValueType type;
    long length;
    bool null;
  } want[] = {{"logid", RWDBValue::String, 254, false},
              {"qxlogid", RWDBValue::Long, 0, true},  // integers report as Long
              {"starttime", RWDBValue::DateTime, 0, true},
              {"discrimconstruct", RWDBValue::Blob, 43000, true},
              {"counter", RWDBValue::Long, 0, false}};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(s[i].name(), want[i].name);
    EXPECT_EQ(s[i].type(), want[i].type) << want[i].name;
    EXPECT_EQ(s[i].storageLength(), want[i].length) << want[i].name;
    EXPECT_EQ(s[i].nullAllowed(), want[i].null) << want[i].name;
  }
  EXPECT_EQ(s.index("LOGID"), 0u);
  EXPECT_EQ(t["QXLOGID"].type(), RWDBValue::Long);

  RWDBTable missing = other.table(T("nothere"));
  EXPECT_EQ(missing.fetchSchema(other.defaultConnection()).errorCode(), RWDBStatus::noSuchObject);
}

// PostgreSQL tables made by earlier versions keep a blob's declared length in a qxlen_
// CHECK constraint, new ones in the column's comment: either way it reads back and holds.
TEST_P(SchemaTest, ABlobLengthKeptAsAnEarlierVersionKeptItStillHolds) {
  if (!pg()) GTEST_SKIP() << "earlier versions kept it so on PostgreSQL only";
  const std::string name = qx::db::fold_name(T("legacy"));
  ASSERT_TRUE(db_.executeSql("CREATE TABLE \"" + name +
                                 "\" (\"id\" BIGINT, \"data\" BYTEA CONSTRAINT \"qxlen_2\" "
                                 "CHECK (octet_length(\"data\") <= 4))",
                             conn_)
                  .isValid());
  made_.push_back(name);
  RWDBDatabase other = open();
  RWDBTable t = other.table(name);
  ASSERT_TRUE(t.fetchSchema(other.defaultConnection()).isValid());
  EXPECT_EQ(t.schema()[1].storageLength(), 4);
  RWDBBlob data("1234", 4);
  RWDBInserter ins = t.inserter();
  ins["id"] << 1L;
  ins["data"] << RWDBBoundExpr(&data);
  EXPECT_TRUE(ins.execute(other.defaultConnection()).isValid());
  data = RWDBBlob("12345", 5);
  EXPECT_EQ(ins.execute(other.defaultConnection()).status().errorCode(), RWDBStatus::valueTooLong);
  EXPECT_EQ(count("legacy"), 1);
}

TEST_P(SchemaTest, ExistsDropAndIndexes) {
  RWDBTable t = make("Log", log_schema());
  EXPECT_TRUE(t.exists(conn_));
  RWDBSchema idx;
  idx.appendColumn("LogId");
  EXPECT_TRUE(t.createIndex(T("Logalmid"), idx, conn_).isValid());
  RWDBSchema uniq;
  uniq.appendColumn("counter");
  EXPECT_TRUE(t.createIndex(T("LogUniq"), uniq, conn_, true).isValid());
  RWDBInserter ins = t.inserter();
  ins["logid"] << "a";
  ins["counter"] << 1L;
  EXPECT_TRUE(ins.execute(conn_).isValid());
  EXPECT_EQ(ins.execute(conn_).status().errorCode(), RWDBStatus::constraintViolation);
  EXPECT_TRUE(t.drop(conn_).isValid());
  EXPECT_FALSE(t.exists(conn_));
  EXPECT_EQ(t.drop(conn_).errorCode(), RWDBStatus::noSuchObject);
}

TEST_P(SchemaTest, UnsupportedTypesAndEmptySchemasAreRefused) {
  RWDBSchema s;
  s.appendColumn("f", RWDBValue::Double);
  EXPECT_EQ(db_.createTable(T("bad"), s, conn_).errorCode(), RWDBStatus::notSupported);
  EXPECT_EQ(db_.createTable(T("bad"), RWDBSchema(), conn_).errorCode(), RWDBStatus::invalidUsage);
  EXPECT_FALSE(db_.table(T("bad")).exists(conn_));
}

TEST_P(SchemaTest, SynonymsAreViews) {
  RWDBTable t = make("qxi3ObCre", log_schema());
  RWDBInserter ins = t.inserter();
  ins["logid"] << "x";
  ins["counter"] << 7L;
  ASSERT_TRUE(ins.execute(conn_).isValid());
  std::string syn = T("qxi3obcre_syn");
  ASSERT_TRUE(db_.executeSql("CREATE SYNONYM " + syn + " FOR " + T("qxi3ObCre"), conn_).isValid());
  RWDBTable view = db_.table(syn);
  EXPECT_TRUE(view.exists(conn_));
  RWDBSelector sel = db_.selector();
  sel << view["counter"];
  RWDBReader r = sel.reader(conn_);
  long c = 0;
  ASSERT_TRUE(r());
  r >> c;
  EXPECT_EQ(c, 7);
  // A second synonym of the same name fails; the first stays.
  EXPECT_FALSE(db_.executeSql("create synonym " + syn + " for " + T("qxi3ObCre"), conn_).isValid());
  EXPECT_TRUE(db_.executeSql("  DROP   SYNONYM \"" + syn + "\" ;", conn_).isValid());
  EXPECT_FALSE(view.exists(conn_));
  EXPECT_FALSE(db_.executeSql("DROP SYNONYM " + syn, conn_).isValid());
}

// What a view (a synonym is one) stands for: the tables it reads, directly or through
// other views, by names compared folded. A table, a missing name and (on SQLite, where
// a dropped table leaves its views) a view of a table that is gone read nothing, and
// asking is no failure.
TEST_P(SchemaTest, ViewsTellWhichTablesTheyRead) {
  RWDBTable a = make("rda", log_schema());
  RWDBTable b = make("rdb", log_schema());
  ASSERT_TRUE(
      db_.executeSql("CREATE SYNONYM " + T("Rd_Syn") + " FOR " + T("rda"), conn_).isValid());
  ASSERT_TRUE(
      db_.createView(T("rd_view"), "SELECT counter FROM \"" + T("rd_syn") + "\"", conn_).isValid());
  codes();
  EXPECT_TRUE(db_.table(T("rd_syn")).reads(T("RDA"), conn_));
  EXPECT_FALSE(db_.table(T("rd_syn")).reads(T("rdb"), conn_));
  EXPECT_TRUE(db_.table(T("rd_view")).reads(T("rda"), conn_));
  EXPECT_TRUE(db_.table(T("rd_view")).reads(T("rd_syn"), conn_));
  EXPECT_FALSE(db_.table(T("rd_view")).reads(T("rdb"), conn_));
  EXPECT_FALSE(a.reads(T("rda"), conn_));
  EXPECT_FALSE(db_.table(T("rd_none")).reads(T("rda"), conn_));
  EXPECT_EQ(codes(), std::vector<int>{});
  if (!pg()) {
    ASSERT_TRUE(a.drop(conn_).isValid());
    EXPECT_FALSE(db_.table(T("rd_syn")).reads(T("rda"), conn_));
    EXPECT_EQ(codes(), std::vector<int>{});
  }
  ASSERT_TRUE(db_.executeSql("DROP VIEW " + T("rd_view"), conn_).isValid());
  ASSERT_TRUE(db_.executeSql("DROP SYNONYM " + T("rd_syn"), conn_).isValid());
}

TEST_P(SchemaTest, ViewsFromQueryText) {
  RWDBTable t = make("base", log_schema());
  std::string sql = "SELECT logid AS securityLogId, counter FROM \"" + T("base") + "\"";
  ASSERT_TRUE(db_.createView(T("base_sec"), sql, conn_).isValid());
  made_.push_back(T("base_sec"));
  RWDBTable v = db_.table(T("base_sec"));
  EXPECT_TRUE(v.exists(conn_));
  EXPECT_EQ(v.column(0).name(), "securitylogid");
  db_.executeSql("DROP VIEW \"" + T("base_sec") + "\"", conn_);
}

// A temporary table belongs to its session: another process never sees it (and may
// have its own of the same name), asking for it again keeps its rows, a roll-back of
// its creation removes it, and its declared lengths hold as for any table.
TEST_P(SchemaTest, TemporaryTablesAreTheSessionsOwn) {
  RWDBSchema s;
  s.appendColumn("id", RWDBValue::UnsignedLong, 0, false);
  s.appendColumn("word", RWDBValue::String, 3);
  RWDBTable t = db_.table(T("picked"));
  ASSERT_TRUE(db_.createTemporaryTable(T("picked"), s, conn_).isValid());
  EXPECT_TRUE(t.exists(conn_));
  RWDBInserter ins = t.inserter();
  ins["id"] << 1L;
  ins["word"] << "abc";
  ASSERT_TRUE(ins.execute(conn_).isValid());
  ASSERT_TRUE(db_.createTemporaryTable(T("picked"), s, conn_).isValid());
  EXPECT_EQ(count("picked"), 1);
  RWDBInserter too_long = t.inserter();
  too_long["id"] << 2L;
  too_long["word"] << "abcd";
  EXPECT_EQ(too_long.execute(conn_).status().errorCode(), RWDBStatus::valueTooLong);

  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    RWDBDatabase other = open();
    RWDBConnection c = other.connection();
    bool unseen = !other.table(T("picked")).exists(c);
    bool own = other.createTemporaryTable(T("picked"), s, c).isValid() && count("picked", c) == 0;
    _exit(unseen && own ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(count("picked"), 1);

  ASSERT_TRUE(conn_.autoCommit(false).isValid());
  ASSERT_TRUE(conn_.beginTransaction().isValid());
  ASSERT_TRUE(db_.createTemporaryTable(T("undone"), s, conn_).isValid());
  EXPECT_TRUE(db_.table(T("undone")).exists(conn_));
  ASSERT_TRUE(conn_.rollbackTransaction().isValid());
  EXPECT_FALSE(db_.table(T("undone")).exists(conn_));
  EXPECT_TRUE(t.exists(conn_));
}

QX_BACKENDS(SchemaTest);

}  // namespace
}  // namespace qx::test

namespace qx::test {
namespace {

// Each server's session settings: the embedded store takes a WAL journal, full
// synchronisation and a busy timeout; PostgreSQL shows times in the process's zone (the
// tests run with TZ set).
TEST_P(SchemaTest, SessionSettingsOfEachServer) {
  auto first = [&](RWDBSelector& sel) {
    RWDBReader r = sel.reader(conn_);
    RWCString v;
    if (r()) r >> v;
    return v;
  };
  if (!pg()) {
    for (const auto& [name, value] :
         {std::pair<const char*, const char*>{"pragma_journal_mode", "wal"},
          {"pragma_synchronous", "2"},  // FULL
          {"pragma_busy_timeout", "5000"}}) {
      RWDBSelector sel = db_.selector();
      sel << db_.table(name);
      EXPECT_EQ(first(sel), value) << name;
    }
    return;
  }
  RWDBTable settings = db_.table("pg_settings");
  RWDBSelector sel = db_.selector();
  sel << settings["setting"];
  sel.where(settings["name"] == "TimeZone");
  const char* tz = std::getenv("TZ");
  ASSERT_NE(tz, nullptr);
  EXPECT_EQ(first(sel), tz);
}

}  // namespace
}  // namespace qx::test
