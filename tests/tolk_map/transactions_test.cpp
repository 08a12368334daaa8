// Transactions and the database error report, on both stores.
#include <sys/wait.h>
#include <unistd.h>

#include "infra/tolk_map/oids.h"
#include "infra/tolk_map/tables/eventlog.h"
#include "platform/db/rwdb_status.h"
#include "tests/tolk_map/store_fixture.h"

namespace qx::test {
namespace {

class TransactionTest : public StoreTest {
 protected:
  LogMapper* Create(long id, const Asn1Value& attrs) {
    return Keep(new LogMapper(Int(id), attrs, "", Graph("root")));
  }
  long MaxLogSize() {
    auto logs = AllLogs();
    Asn1Value v;
    long n = -1;
    if (logs.size() == 1 && logs[0].find(maxlogszOid, v)) v.decode_int(n);
    return n;
  }
};

TEST_P(TransactionTest, AbortUndoesAChangeAndCommitKeepsIt) {
  LogMapper* m = Create(7, AttrList({{maxlogszOid, Int(1)}}));
  ASSERT_TRUE(m->created());
  ASSERT_EQ(m->UpdateDB(AttrList({{maxlogszOid, Int(2)}}), {}, {}), 1);
  EXPECT_EQ(LogMapper::abort(), 1);
  EXPECT_EQ(MaxLogSize(), 1);
  ASSERT_EQ(m->UpdateDB(AttrList({{maxlogszOid, Int(3)}}), {}, {}), 1);
  EXPECT_EQ(LogMapper::commit(), 1);
  Restart();
  EXPECT_EQ(MaxLogSize(), 3);
}

TEST_P(TransactionTest, AutoCommitStoresAtOnceAndStillCreatesLogsWhole) {
  LogMapper::qxdb_log_tx = 0;  // as QXDB_LOG_TX set in the environment
  LogMapper* m = Create(7, AttrList({{maxlogszOid, Int(1)}}));
  ASSERT_TRUE(m->created());
  ASSERT_EQ(m->UpdateDB(AttrList({{maxlogszOid, Int(5)}}), {}, {}), 1);
  EXPECT_EQ(LogMapper::abort(), 1);  // nothing to undo: the change is stored
  EXPECT_FALSE(Create(8, AttrList({{adminStateOid, Enum(9)}}))->created());
  Restart();
  EXPECT_EQ(MaxLogSize(), 5);
  EXPECT_EQ(CountRows("Log", "LogId", std::string("8")), 0);
}

// Processes writing into one store at the same moment, each transaction reading before
// it writes (as the tool does, and a management process between its commits): every
// writer waits its turn, none fails and nothing is lost.
TEST_P(TransactionTest, ConcurrentWritersWaitTheirTurn) {
  ASSERT_TRUE(Create(7, AttrList({}))->created());
  ASSERT_EQ(LogMapper::commit(), 1);
  Restart();  // each child opens the store for itself
  constexpr int kChildren = 3;
  constexpr int kRecords = 30;
  std::vector<pid_t> children;
  for (int c = 0; c < kChildren; ++c) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      int failures = 0;
      {
        LogMapper m;
        if (m.load_table(Int(7)) != 1) _exit(100);
        for (int i = 0; i < kRecords; ++i) {
          int id = 1000 * (c + 1) + i;
          if (m.table_exists(Int(7)) != 1) ++failures;  // a read opens the transaction
          auto* entry = new OarInfo;
          if (m.WriteToDB(id, objcrtOid, objcrtOid, AttrList({{notificationIdOid, Int(i)}}),
                          entry) != 1) {
            delete entry;
            ++failures;
          }
          if (LogMapper::commit() != 1) ++failures;
        }
      }
      _exit(failures < 100 ? failures : 99);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "failed writes in one child";
  }
  LogMapper* m = Keep(new LogMapper());
  ASSERT_EQ(m->load_table(Int(7)), 1);
  int rows = 0;
  Callback cb([](void* n, void* d) { *static_cast<int*>(n) += d != nullptr; }, &rows);
  ASSERT_EQ(m->get_all_log_recs(cb, 0), 1);
  EXPECT_EQ(rows, kChildren * kRecords);
}

QX_STORE_TESTS(TransactionTest);

TEST(OutputStatusTest, EightLinesWithEveryInformixReplaced) {
  RWDBStatus s(RWDBStatus::serverError, "INFORMIX said INFORMIX", 42, 7, "vendor one", "vendor two",
               true);
  testing::internal::CaptureStdout();
  outputStatus(s);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out,
            "Component:        Tolk Mapper\n"
            "Error code:       6\n"
            "Error message     database said database\n"
            "Is terminal:      Yes\n"
            "Vendor error 1:   42\n"
            "Vendor error 2:   7\n"
            "Vendor message 1: vendor one\n"
            "Vendor message 2: vendor two\n");
}

}  // namespace
}  // namespace qx::test
