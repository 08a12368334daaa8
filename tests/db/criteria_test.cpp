// Conditions: comparisons, LIKE, IS NULL and their combinations select the
// same rows on both servers.

#include <set>

#include "db_fixture.h"

namespace qx::test {
namespace {

class CriteriaTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    if (IsSkipped()) return;
    RWDBSchema s;
    s.appendColumn("Id", RWDBValue::UnsignedLong, 0, false);
    s.appendColumn("Name", RWDBValue::String, 32);
    s.appendColumn("Sev", RWDBValue::Long);
    t_ = make("Alarms", s);
    struct {
      unsigned long id;
      const char* name;
      long sev;
      bool sevNull;
    } rows[] = {{1, "abc", 1, false}, {2, "ABC", 2, false}, {3, "abd", 3, false},
                {4, "a%c", 4, false}, {5, "xbc", 0, true},  {6, "a_c", 5, false},
                {7, "ab", 6, false}};
    for (const auto& r : rows) {
      RWDBInserter ins = t_.inserter();
      ins["id"] << r.id;
      ins["name"] << r.name;
      ins["sev"] << (r.sevNull ? RWDBExpr(rwdbNull) : RWDBExpr(r.sev));
      ASSERT_TRUE(ins.execute(conn_).isValid());
    }
  }

  std::set<unsigned long> ids(const RWDBCriterion& c) {
    RWDBSelector sel = db_.selector();
    sel << t_["id"];
    sel.where(c);
    RWDBReader r = sel.reader(conn_);
    std::set<unsigned long> out;
    unsigned long id;
    while (r()) {
      r >> id;
      out.insert(id);
    }
    EXPECT_TRUE(r.status().isValid()) << r.status().message();
    return out;
  }

  RWDBTable t_;
};

using Ids = std::set<unsigned long>;

TEST_P(CriteriaTest, LikeIsCaseSensitiveWithWildcardsAndEscape) {
  EXPECT_EQ(ids(t_["name"].like("ab%")), (Ids{1, 3, 7}));
  EXPECT_EQ(ids(t_["name"].like("a_c")), (Ids{1, 4, 6}));
  EXPECT_EQ(ids(t_["name"].like("A%")), (Ids{2}));
  EXPECT_EQ(ids(t_["name"].like("a\\%c")), (Ids{4}));
  EXPECT_EQ(ids(t_["name"].like("a\\_c")), (Ids{6}));
  EXPECT_EQ(ids(t_["name"].like("%")), (Ids{1, 2, 3, 4, 5, 6, 7}));
}

TEST_P(CriteriaTest, ComparisonsNullsAndCombinations) {
  EXPECT_EQ(ids(t_["sev"] >= 5L), (Ids{6, 7}));
  EXPECT_EQ(ids(t_["sev"].isNull()), (Ids{5}));
  EXPECT_EQ(ids(t_["sev"] == rwdbNull), (Ids{5}));
  EXPECT_EQ(ids(t_["name"] == "abc"), (Ids{1}));
  EXPECT_EQ(ids(t_["sev"] >= 2L && t_["name"].like("a%")), (Ids{3, 4, 6, 7}));
  EXPECT_EQ(ids(t_["sev"].isNull() || t_["id"] == 1UL), (Ids{1, 5}));
  EXPECT_EQ(ids((t_["sev"] < 2L || t_["sev"] > 5L) && !(t_["id"] == 7UL)), (Ids{1}));
  // An empty criterion selects everything; combined it drops out.
  EXPECT_EQ(ids(RWDBCriterion() && t_["id"] == 2UL), (Ids{2}));
}

TEST_P(CriteriaTest, BoundCriteriaReadTheVariableAtEachExecution) {
  long sev = 0;
  RWCString pattern;
  RWDBSelector sel = db_.selector();
  sel << t_["id"];
  sel.where(t_["sev"] >= RWDBBoundExpr(&sev) && t_["name"].like(RWDBBoundExpr(&pattern)));
  auto run = [&] {
    Ids out;
    RWDBReader r = sel.reader(conn_);
    unsigned long id;
    while (r()) {
      r >> id;
      out.insert(id);
    }
    return out;
  };
  sev = 3;
  pattern = "a%";
  EXPECT_EQ(run(), (Ids{3, 4, 6, 7}));
  sev = 6;
  EXPECT_EQ(run(), (Ids{7}));
  pattern = "x%";
  EXPECT_EQ(run(), (Ids{}));
}

TEST_P(CriteriaTest, NamesAreCaseInsensitiveAndReportedInLowerCase) {
  RWDBTable other = db_.table(T("ALARMS"));
  EXPECT_TRUE(other.exists(conn_));
  RWDBSelector sel = db_.selector();
  sel << other["NAME"] << other["iD"];
  sel.where(other["ID"] == 2UL);
  RWDBReader r = sel.reader(conn_);
  ASSERT_TRUE(r());
  EXPECT_EQ(r.column(0).name(), "name");
  EXPECT_EQ(r.column(1).name(), "id");
  RWCString name;
  r["Name"] >> name;
  EXPECT_EQ(name, "ABC");
}

QX_BACKENDS(CriteriaTest);

}  // namespace
}  // namespace qx::test
