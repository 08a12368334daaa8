#include "db_fixture.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/db/expr_node.h"

namespace qx::test {
namespace {

std::vector<RWDBStatus> g_handled;

void record(const RWDBStatus& s) { g_handled.push_back(s); }

std::string decode(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      out += static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

}  // namespace

std::vector<RWDBStatus>& handled() { return g_handled; }

bool pg_target(PgTarget* out) {
  const char* url = std::getenv("QXDB_TEST_PG_URL");
  if (url == nullptr || *url == '\0') return false;
  std::string u = url;
  std::string rest = u.substr(u.find("://") + 3);
  size_t at = rest.find('@'), slash = rest.find('/');
  out->user = at != std::string::npos && at < slash ? rest.substr(0, at) : "";
  std::string host = rest.substr(at != std::string::npos && at < slash ? at + 1 : 0);
  host = host.substr(0, host.find('/'));
  out->host = decode(host);
  out->db = rest.substr(slash + 1);
  return true;
}

std::string backend_name(const ::testing::TestParamInfo<std::string>& info) { return info.param; }

void DbTest::SetUp() {
  g_handled.clear();
  RWDBManager::setErrorHandler(record);
  if (pg()) {
    PgTarget t;
    if (!pg_target(&t)) GTEST_SKIP() << "QXDB_TEST_PG_URL is not set";
    prefix_ = "p" + std::to_string(getpid()) + "_";
  } else {
    char tmpl[] = "/tmp/qxdb_test_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    path_ = dir_ + "/test.db";
    prefix_ = "";
  }
  db_ = open();
  ASSERT_TRUE(db_.isValid()) << db_.status().message();
  conn_ = db_.connection();
  ASSERT_TRUE(conn_.isValid());
  g_handled.clear();
}

RWDBDatabase DbTest::open(const std::string& props) const {
  if (pg()) {
    PgTarget t;
    pg_target(&t);
    return RWDBManager::database("POSTGRESQL", t.host, t.user, "", t.db, props);
  }
  return RWDBManager::database("SQLITE", "", "", "", path_, props);
}

void DbTest::TearDown() {
  if (pg() && conn_.isValid()) {
    conn_.rollbackTransaction();
    conn_.autoCommit(true);
    for (const std::string& t : made_) {
      db_.table(t).drop(conn_);
    }
  }
  conn_ = RWDBConnection();
  db_ = RWDBDatabase();
  RWDBManager::setErrorHandler(nullptr);
  if (!dir_.empty()) std::filesystem::remove_all(dir_);
}

RWDBTable DbTest::make(const std::string& name, const RWDBSchema& schema) {
  RWDBStatus s = db_.createTable(T(name), schema, conn_);
  EXPECT_TRUE(s.isValid()) << s.message();
  made_.push_back(qx::db::fold_name(T(name)));
  return db_.table(T(name));
}

long DbTest::count(const std::string& name, const RWDBConnection& conn) {
  RWDBTable t = db_.table(T(name));
  RWDBSelector sel = db_.selector();
  sel << t;
  RWDBReader r = sel.reader(conn);
  long n = 0;
  while (r()) ++n;
  return r.status().isValid() ? n : -1;
}

std::vector<int> DbTest::codes() {
  std::vector<int> c;
  for (const RWDBStatus& s : g_handled) c.push_back(s.errorCode());
  g_handled.clear();
  return c;
}

void FaultTest::SetUp() {
  auto plan = plan_;
  RWDBManager::setDriverWrapper([plan](std::unique_ptr<qx::db::Driver> d) {
    return qx::db::make_fault_driver(std::move(d), plan);
  });
  DbTest::SetUp();
}

void FaultTest::TearDown() {
  plan_->failStatement = plan_->failCommit = 0;
  DbTest::TearDown();
  RWDBManager::setDriverWrapper(nullptr);
}

}  // namespace qx::test
