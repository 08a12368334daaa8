// PostgreSQL connection strings as users write them: every parameter reaches libpq,
// the PG* variables fill what the string leaves out, a server that never answers is
// an error within seconds, and no password reaches a message.
#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "db_fixture.h"
#include "platform/mgmt/qxdb_connect_info.h"

namespace qx::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

RWDBDatabase open_described(const std::string& url) {
  QXDBConnectInfo info = QXDBConnectInfo::from_url(url);
  EXPECT_TRUE(info.is_valid()) << url;
  return RWDBManager::database(info.get_server_type(), info.get_server_name(), info.get_user_name(),
                               info.get_user_password(), info.get_database_name());
}

// The application name the server sees for a session of db.
std::string application_name(const RWDBDatabase& db) {
  RWDBConnection conn = db.connection();
  std::string table = "lm_app_" + std::to_string(getpid());
  RWDBResult made = db.executeSql(
      "CREATE TEMP TABLE " + table + " AS SELECT current_setting('application_name') AS v", conn);
  EXPECT_TRUE(made.isValid()) << made.status().message();
  RWDBTable t = db.table(table);
  RWDBSelector sel = db.selector();
  sel << t["v"];
  RWDBReader r = sel.reader(conn);
  RWCString v;
  if (r()) r >> v;
  conn.rollbackTransaction();
  return v.str();
}

class ConnectionStringTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!pg_target(&pg_)) GTEST_SKIP() << "QXDB_TEST_PG_URL is not set";
  }
  PgTarget pg_;
};

// Both forms reach the server with every parameter: the host as a URL parameter
// (dropping it would reach another server, or none), and the key=value form.
TEST_F(ConnectionStringTest, UrlAndKeyValueFormsAreHonoured) {
  const std::pair<std::string, std::string> cases[] = {
      {"postgresql://" + pg_.user + "@/" + pg_.db + "?host=" + pg_.host +
           "&application_name=lm_url_probe",
       "lm_url_probe"},
      {"host=" + pg_.host + " user=" + pg_.user + " dbname=" + pg_.db +
           " application_name='lm kv probe'",
       "lm kv probe"},
  };
  for (const auto& [url, app] : cases) {
    SCOPED_TRACE(url);
    RWDBDatabase db = open_described(url);
    ASSERT_TRUE(db.isValid()) << db.status().message();
    EXPECT_EQ(application_name(db), app);
  }
}

TEST_F(ConnectionStringTest, EnvironmentFillsWhatTheStringLeavesOut) {
  setenv("PGHOST", pg_.host.c_str(), 1);
  setenv("PGUSER", pg_.user.c_str(), 1);
  setenv("PGAPPNAME", "lm_env_probe", 1);
  RWDBDatabase db = open_described("postgresql:///" + pg_.db);
  bool valid = db.isValid();
  std::string name = valid ? application_name(db) : "";
  unsetenv("PGHOST");
  unsetenv("PGUSER");
  unsetenv("PGAPPNAME");
  ASSERT_TRUE(valid) << db.status().message();
  EXPECT_EQ(name, "lm_env_probe");
  // Without PGAPPNAME the sessions still say who they are.
  EXPECT_EQ(application_name(
                open_described("postgresql://" + pg_.user + "@/" + pg_.db + "?host=" + pg_.host)),
            "logmapper");
}

// A TCP server on the loopback that accepts one connection and then, with
// refuse_tls, answers a TLS request with "no" (as a server without TLS does), or
// never says anything.
class SilentServer {
 public:
  explicit SilentServer(bool refuse_tls) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd_, 4) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
      ADD_FAILURE() << "no loopback listener";
    }
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this, refuse_tls] {
      client_ = accept(fd_, nullptr, nullptr);
      if (client_ < 0 || !refuse_tls) return;
      char request[8];
      if (recv(client_, request, sizeof request, MSG_WAITALL) == 8) {
        (void)!send(client_, "N", 1, 0);
      }
    });
  }
  ~SilentServer() {
    shutdown(fd_, SHUT_RDWR);  // ends an accept still waiting
    thread_.join();
    if (client_ >= 0) close(client_);
    close(fd_);
  }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int client_ = -1;
  int port_ = 0;
  std::thread thread_;
};

TEST(ConnectTimeoutTest, TlsThatTheUrlRequiresIsRequired) {
  SilentServer server(true);
  RWDBDatabase db = open_described("postgresql://u@127.0.0.1:" + std::to_string(server.port()) +
                                   "/d?sslmode=require");
  EXPECT_FALSE(db.isValid());
  EXPECT_THAT(db.status().message().str(), HasSubstr("SSL"));
}

TEST(ConnectTimeoutTest, AServerThatNeverAnswersIsAnErrorWithinSeconds) {
  unsetenv("PGCONNECT_TIMEOUT");
  for (const char* params : {"?sslmode=disable&connect_timeout=2", "?sslmode=disable"}) {
    SilentServer server(false);
    auto start = std::chrono::steady_clock::now();
    RWDBDatabase db =
        open_described("postgresql://u@127.0.0.1:" + std::to_string(server.port()) + "/d" + params);
    auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start)
            .count();
    EXPECT_FALSE(db.isValid()) << params;
    EXPECT_THAT(db.status().message().str(), HasSubstr("timeout")) << params;
    EXPECT_LE(seconds, 30) << params;  // the default is ten seconds, never for ever
  }
}

TEST(ConnectFailureTest, UnusableStringsSayWhatIsWrongAndNeverShowAPassword) {
  RWDBDatabase bad = open_described("postgresql://h/d?nosuch=1");
  EXPECT_EQ(bad.status().errorCode(), RWDBStatus::notConnected);
  EXPECT_THAT(bad.status().message().str(), HasSubstr("nosuch"));
  for (const char* url : {"postgresql://u:s%zzcret@h/d", "postgresql://u@h/d?password=s%zzcret",
                          "host=h password=s%zzcret dbname=d junk"}) {
    RWDBDatabase db = open_described(url);
    EXPECT_FALSE(db.isValid()) << url;
    EXPECT_THAT(db.status().message().str(), Not(HasSubstr("cret"))) << url;
    EXPECT_THAT(db.status().vendorMessage1().str(), Not(HasSubstr("cret"))) << url;
  }
}

}  // namespace
}  // namespace qx::test
