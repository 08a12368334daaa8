// Names and values chosen to break SQL work exactly as given or fail with a
// clear status; nothing else ever runs.

#include "db_fixture.h"
#include "platform/db/expr_node.h"

namespace qx::test {
namespace {

using HostileTest = DbTest;

TEST_P(HostileTest, HostileNamesWorkAsGiven) {
  const std::string names[] = {
      "a\"b",     "x; DROP TABLE y; --", "back\\slash", "gr\xc3\xbc\xc3\x9f", "it's", "sp ace",
      "7_objcrt", "/net=1/log=2_objcrt"};
  for (const std::string& n : names) {
    RWDBSchema s;
    s.appendColumn(n, RWDBValue::String, 20);
    RWDBTable t = make(n, s);
    ASSERT_TRUE(t.exists(conn_)) << n;
    RWDBInserter ins = t.inserter();
    ins[n] << n;
    ASSERT_TRUE(ins.execute(conn_).isValid()) << n;
    RWDBSelector sel = db_.selector();
    sel << t[n];
    sel.where(t[n] == n);
    RWDBReader r = sel.reader(conn_);
    ASSERT_TRUE(r()) << n;
    RWCString v;
    r >> v;
    EXPECT_EQ(v, n);
    EXPECT_EQ(r.column(0).name(), qx::db::fold_name(n).c_str());
  }
  // Synonym statements with such names, too.
  std::string syn = T("s\"yn; --");
  ASSERT_TRUE(db_.executeSql("CREATE SYNONYM \"" + std::string(T("s\"\"yn; --")) + "\" FOR \"" +
                                 T("a\"\"b") + "\"",
                             conn_)
                  .isValid());
  EXPECT_TRUE(db_.table(syn).exists(conn_));
  EXPECT_TRUE(db_.executeSql("DROP SYNONYM \"" + T("s\"\"yn; --") + "\"", conn_).isValid());
}

TEST_P(HostileTest, NamesTheLayerRefuses) {
  RWDBSchema s;
  s.appendColumn("c", RWDBValue::Long);
  EXPECT_EQ(db_.createTable(std::string(64, 'n'), s, conn_).errorCode(), RWDBStatus::invalidName);
  EXPECT_EQ(db_.createTable("", s, conn_).errorCode(), RWDBStatus::invalidName);
  EXPECT_EQ(db_.createTable(std::string("a\0b", 3), s, conn_).errorCode(), RWDBStatus::invalidName);
  EXPECT_TRUE(db_.createTable(T(std::string(63 - T("").size(), 'n')), s, conn_).isValid());
  made_.push_back(T(std::string(63 - T("").size(), 'n')));
  RWDBSchema longCol;
  longCol.appendColumn(std::string(64, 'c'), RWDBValue::Long);
  EXPECT_EQ(db_.createTable(T("lc"), longCol, conn_).errorCode(), RWDBStatus::invalidName);
  EXPECT_EQ(codes().size(), 4u);
}

TEST_P(HostileTest, HostileValuesAreBoundNeverSpliced) {
  RWDBSchema s;
  s.appendColumn("v", RWDBValue::String, 0);
  RWDBTable t = make("vals", s);
  std::string values[] = {"'); DROP TABLE \"" + T("vals") + "\"; --", "\\'\\\"", "%_%",
                          std::string(100000, 'L'), "$1 ?1 ?"};
  for (const std::string& v : values) {
    RWDBInserter ins = t.inserter();
    ins["v"] << v;
    ASSERT_TRUE(ins.execute(conn_).isValid());
    RWDBSelector sel = db_.selector();
    sel << t["v"];
    sel.where(t["v"] == v);
    RWDBReader r = sel.reader(conn_);
    ASSERT_TRUE(r());
    RWCString back;
    r >> back;
    EXPECT_EQ(back.str(), v);
  }
  EXPECT_EQ(count("vals"), 5);
}

TEST_P(HostileTest, TextThatBothServersCannotStoreAlikeIsRefused) {
  RWDBSchema s;
  s.appendColumn("v", RWDBValue::String, 10);
  RWDBTable t = make("bad", s);
  for (std::string v : {std::string("a\0b", 3), std::string("\xff\xfe"), std::string("\xc3"),
                        std::string("\xed\xa0\x80")}) {
    RWDBInserter ins = t.inserter();
    ins["v"] << RWCString(v);
    EXPECT_EQ(ins.execute(conn_).status().errorCode(), RWDBStatus::typeConflict);
  }
  EXPECT_EQ(count("bad"), 0);
}

QX_BACKENDS(HostileTest);

}  // namespace
}  // namespace qx::test
