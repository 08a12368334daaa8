// Why an operation failed: LogMapper::last_failure() gives the reason the failing step
// raised, with the database's own message where the database refused, on both stores.
// Refusals are injected by a wrapping driver that fails the next statement.
#include <memory>
#include <string>

#include <gmock/gmock.h>

#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/eventlog.h"
#include "infra/tolk_map/testing.h"
#include "platform/db/fault_driver.h"
#include "platform/db/rwdb_manager.h"
#include "tests/tolk_map/store_fixture.h"

namespace qx::test {
namespace {

using ::testing::HasSubstr;

class FailureReasonTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    if (IsSkipped()) return;
    plan_ = InjectFaults();
  }
  // A log 7 with one object creation record 1, committed.
  LogMapper* LogWithRecord() {
    LogMapper* m = Keep(new LogMapper(Int(7), AttrList({}), "", Graph("root")));
    EXPECT_TRUE(m->created());
    Asn1Value cls;
    cls.encode_oid(objcrtOid);
    EXPECT_EQ(m->WriteToDB(1, objcrtOid, objcrtOid, AttrList({{objectClassOid, cls}}), new OarInfo),
              1);
    EXPECT_EQ(LogMapper::commit(), 1);
    return m;
  }
  // Fails the next statement that reaches the server.
  void FailNextStatement() {
    plan_->statements = 0;
    plan_->failStatement = 1;
  }

  std::shared_ptr<qx::db::FaultPlan> plan_;
};

TEST_P(FailureReasonTest, RefusedWritesUpdatesAndDeletesCarryTheDatabaseMessage) {
  LogMapper* m = LogWithRecord();
  FailNextStatement();
  auto entry = std::make_unique<OarInfo>();
  ASSERT_EQ(m->WriteToDB(2, objcrtOid, objcrtOid, AttrList({}), entry.get()), 0);
  EXPECT_THAT(LogMapper::last_failure(), HasSubstr("refused: injected fault"));
  EXPECT_THAT(LogMapper::last_failure(), HasSubstr("insert into qxi"));

  FailNextStatement();
  ASSERT_EQ(m->UpdateDB(1, AttrList({{notificationIdOid, Int(9)}})), 0);
  EXPECT_THAT(LogMapper::last_failure(), HasSubstr("update of qxi"));
  EXPECT_THAT(LogMapper::last_failure(), HasSubstr("injected fault"));

  FailNextStatement();
  ASSERT_EQ(m->deleteDB(1), 0);
  EXPECT_THAT(LogMapper::last_failure(), HasSubstr("delete from qxi"));
  EXPECT_THAT(LogMapper::last_failure(), HasSubstr("injected fault"));

  ASSERT_EQ(m->deleteDB(5), 0);
  EXPECT_THAT(LogMapper::last_failure(), HasSubstr("record 5 not cached"));
  EXPECT_EQ(m->deleteDB(1), 1);
  EXPECT_EQ(LogMapper::last_failure(), "") << "a new operation starts without a reason";
}

TEST_P(FailureReasonTest, ABrokenReadOfTheLogTableIsNotAMissingLog) {
  LogWithRecord();
  Restart();
  LogMapper scratch;
  ASSERT_TRUE(LogMapper::aConnection().isValid());
  FailNextStatement();
  EXPECT_EQ(scratch.load_table(Int(7)), 0);
  EXPECT_THAT(LogMapper::last_failure(), HasSubstr("the log table cannot be read: injected fault"));

  LogMapper other;
  EXPECT_EQ(other.load_table(Int(8)), 0);
  EXPECT_THAT(LogMapper::last_failure(), HasSubstr("no log 8 is stored"));
}

QX_STORE_TESTS(FailureReasonTest);

TEST(OpenFailureTest, AStoreThatCannotBeOpenedSaysWhy) {
  setenv("QXDB_URL", "sqlite:/nonexistent-directory/store.db", 1);
  qx::tolk_reset_for_tests();
  {
    LogMapper scratch;
    EXPECT_THAT(LogMapper::last_failure(), HasSubstr("cannot open the database"));
    EXPECT_THAT(LogMapper::last_failure(), HasSubstr("unable to open database file"));
  }
  setenv("QXDB_URL", "mysql://h/d", 1);
  qx::tolk_reset_for_tests();
  {
    LogMapper scratch;
    EXPECT_THAT(LogMapper::last_failure(), HasSubstr("QXDB_URL"));
  }
  unsetenv("QXDB_URL");
  qx::tolk_reset_for_tests();
}

}  // namespace
}  // namespace qx::test
