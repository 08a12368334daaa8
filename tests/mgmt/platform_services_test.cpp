// Platform services kept in the store: create_table with its storage
// clause, access-control objects and unique managed-object numbers.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>

#include "db_fixture.h"
#include "platform/db/expr_node.h"
#include "platform/mgmt/ac_object.h"
#include "platform/mgmt/create_table.h"
#include "platform/mgmt/platform_store.h"
#include "platform/mgmt/qxdb_connect_info.h"
#include "platform/mgmt/unique_mo.h"

namespace qx::test {
namespace {

class ServicesTest : public DbTest {
 protected:
  void SetUp() override {
    DbTest::SetUp();
    if (IsSkipped()) return;
    std::string url = pg() ? std::getenv("QXDB_TEST_PG_URL") : "sqlite:" + path_;
    setenv("QXDB_URL", url.c_str(), 1);
    qx::mgmt::reset_platform_database();
    tag_ = std::to_string(getpid());
  }
  void TearDown() override {
    qx::mgmt::reset_platform_database();
    unsetenv("QXDB_URL");
    DbTest::TearDown();
  }
  UniqueMO* numbers() {
    QXDBConnectInfo i(3);
    return new UniqueMO(i.get_server_type(), i.get_server_name(), i.get_user_name(),
                        i.get_user_password(), i.get_database_name(), i.get_role(), 1, 1000);
  }
  std::string tag_;
};

TEST_P(ServicesTest, CreateTableTakesAndTracesTheStorageClause) {
  std::ostringstream trace;
  db_.tracer().setOn(RWDBTracer::SQL);
  db_.tracer().stream(trace);
  RWDBSchema s;
  s.appendColumn("logRecordId", RWDBValue::UnsignedLong, 0, false);
  s.appendColumn("blob", RWDBValue::Blob, 33000);
  Storage st{32, 8};
  RWDBStatus r = create_table(T("qxi1ObCre"), s, st, 0, db_.phraseBook(), conn_, 0);
  made_.push_back(qx::db::fold_name(T("qxi1ObCre")));
  db_.tracer().setOff();
  ASSERT_TRUE(r.isValid()) << r.message();
  EXPECT_TRUE(db_.table(T("qxi1ObCre")).exists(conn_));
  EXPECT_NE(trace.str().find("first extent 32 next extent 8"), std::string::npos) << trace.str();
  // Again: the table exists, so the server refuses.
  EXPECT_FALSE(create_table(T("qxi1ObCre"), s, st, 0, db_.phraseBook(), conn_, 0).isValid());
  // A phrase book of another server is refused before anything is sent.
  RWDBPhraseBook other(pg() ? "SQLITE" : "POSTGRESQL", "", "", "", "");
  EXPECT_EQ(create_table(T("x"), s, st, 0, other, conn_, 0).errorCode(), RWDBStatus::invalidUsage);
  EXPECT_FALSE(db_.table(T("x")).exists(conn_));
}

TEST_P(ServicesTest, AccessControlObjectsLiveInTheStore) {
  RWCString name = "LOG_" + tag_ + "_a\"b";
  {
    ACDbObject o(name, 1);
    EXPECT_FALSE(o.exists());
    RWTValSlist<RWCString> tables;
    tables.append("qxi1qxAlm");
    tables.append("qxi1ObCre");
    ASSERT_TRUE(o.set_db_object_table_list(tables));
    ASSERT_TRUE(o.set_auxobject_owner(AC_OWNER_USER, "operator"));
    ASSERT_TRUE(o.create()) << o.get_error_string();
    EXPECT_TRUE(o.exists());
    EXPECT_FALSE(o.create());
    EXPECT_TRUE(o.get_error_string().contains("exists"));
    RWTValSlist<RWCString> bad;
    bad.append("a,b");
    EXPECT_FALSE(o.set_db_object_table_list(bad));
  }
  // After a restart the object is found again.
  qx::mgmt::reset_platform_database();
  ACDbObject again(name, 1);
  EXPECT_TRUE(again.exists());
  EXPECT_EQ(again.get_object_name(), name);
  ACDbObject otherCase("log_" + tag_ + "_a\"b", 1);
  EXPECT_FALSE(otherCase.exists());
  ASSERT_TRUE(again.destroy()) << again.get_error_string();
  EXPECT_FALSE(again.exists());
  EXPECT_FALSE(again.destroy());
  EXPECT_FALSE(again.get_error_string().isNull());
}

TEST_P(ServicesTest, UniqueNumbersAreStableAcrossRestarts) {
  std::unique_ptr<UniqueMO> u(numbers());
  std::string a = "\x30\x03\x02\x01" + tag_, b = std::string("\x00\x01", 2) + tag_;
  // Looking a number up allocates none.
  EXPECT_EQ(u->find_unique_id(RWDBBlob(a.data(), a.size())), 0);
  EXPECT_EQ(u->find_unique_id(RWDBBlob(a.data(), a.size())), 0);
  EXPECT_EQ(u->find_unique_id(RWDBBlob()), -1);
  long ia = u->get_unique_id(reinterpret_cast<const unsigned char*>(a.data()), a.size());
  long ib = u->get_unique_id(reinterpret_cast<const unsigned char*>(b.data()), b.size());
  ASSERT_GT(ia, 0);
  ASSERT_GT(ib, 0);
  EXPECT_NE(ia, ib);
  EXPECT_EQ(u->get_unique_id(RWDBBlob(a.data(), a.size())), ia);
  EXPECT_EQ(u->get_unique_id(RWDBBlob()), -1);
  u.reset();
  std::unique_ptr<UniqueMO> later(numbers());
  EXPECT_EQ(later->get_unique_id(RWDBBlob(b.data(), b.size())), ib);
  EXPECT_EQ(later->get_unique_id(RWDBBlob(a.data(), a.size())), ia);
  EXPECT_EQ(later->find_unique_id(RWDBBlob(b.data(), b.size())), ib);
  // A number leads back to its instance, NUL octets and all.
  RWDBBlob found(a.data(), a.size());
  ASSERT_EQ(later->find_instance(ib, found), 1);
  EXPECT_EQ(found, RWDBBlob(b.data(), b.size()));
  EXPECT_EQ(later->find_instance(std::max(ia, ib) + 1000, found), 0);
  EXPECT_EQ(found.length(), 0u);
}

TEST_P(ServicesTest, TwoProcessesAllocatingAtOnceAgree) {
  const int kCount = 40;
  auto encoding = [&](int i) { return "mo-" + tag_ + "-" + std::to_string(i); };
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(fds[0]);
    std::unique_ptr<UniqueMO> u(numbers());
    std::string out;
    for (int i = kCount - 1; i >= 0; --i) {  // the other order
      std::string e = encoding(i);
      out += std::to_string(i) + "=" +
             std::to_string(u->get_unique_id(RWDBBlob(e.data(), e.size()))) + "\n";
    }
    ssize_t w = write(fds[1], out.data(), out.size());
    _exit(w == static_cast<ssize_t>(out.size()) ? 0 : 1);
  }
  close(fds[1]);
  std::unique_ptr<UniqueMO> u(numbers());
  std::vector<long> mine(kCount);
  for (int i = 0; i < kCount; ++i) {
    std::string e = encoding(i);
    mine[static_cast<size_t>(i)] = u->get_unique_id(RWDBBlob(e.data(), e.size()));
  }
  std::string text;
  char buf[4096];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::istringstream in(text);
  std::string line;
  int lines = 0;
  while (std::getline(in, line)) {
    int i = std::stoi(line.substr(0, line.find('=')));
    long id = std::stol(line.substr(line.find('=') + 1));
    EXPECT_EQ(id, mine[static_cast<size_t>(i)]) << "encoding " << i;
    ++lines;
  }
  EXPECT_EQ(lines, kCount);
  std::set<long> distinct(mine.begin(), mine.end());
  EXPECT_EQ(distinct.size(), static_cast<size_t>(kCount));
  EXPECT_EQ(distinct.count(-1), 0u);
}

QX_BACKENDS(ServicesTest);

}  // namespace
}  // namespace qx::test
