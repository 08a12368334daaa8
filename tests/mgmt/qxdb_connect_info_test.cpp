// The connection description read from QXDB_URL.

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/mgmt/qxdb_connect_info.h"

namespace {

TEST(QXDBConnectInfoTest, DefaultIsTheEmbeddedStoreInTheWorkingDirectory) {
  unsetenv("QXDB_URL");
  QXDBConnectInfo info(3);
  ASSERT_TRUE(info.is_valid());
  EXPECT_EQ(info.get_server_type(), "SQLITE");
  EXPECT_EQ(info.get_database_name(), "logmapper.db");
  setenv("QXDB_URL", "", 1);
  EXPECT_EQ(QXDBConnectInfo(3).get_database_name(), "logmapper.db");
  setenv("QXDB_URL", "sqlite::memory:", 1);
  EXPECT_EQ(QXDBConnectInfo(3).get_database_name(), ":memory:");
  unsetenv("QXDB_URL");
}

TEST(QXDBConnectInfoTest, PostgresUrls) {
  QXDBConnectInfo a = QXDBConnectInfo::from_url("postgresql://alice@db.example:5433/logs");
  ASSERT_TRUE(a.is_valid()) << a.error_string();
  EXPECT_EQ(a.get_server_type(), "POSTGRESQL");
  EXPECT_EQ(a.get_server_name(), "db.example:5433");
  EXPECT_EQ(a.get_user_name(), "alice");
  EXPECT_EQ(a.get_user_password(), "");
  EXPECT_EQ(a.get_database_name(), "logs");

  QXDBConnectInfo sock = QXDBConnectInfo::from_url("postgres://%2Ftmp%2Fpg/logmapper_test");
  ASSERT_TRUE(sock.is_valid());
  EXPECT_EQ(sock.get_server_name(), "/tmp/pg");
  EXPECT_EQ(sock.get_user_name(), "");
}

TEST(QXDBConnectInfoTest, PasswordsAreKeptButNeverPrinted) {
  QXDBConnectInfo p = QXDBConnectInfo::from_url("postgresql://bob:s%40cret@h/d");
  ASSERT_TRUE(p.is_valid());
  EXPECT_EQ(p.get_user_password(), "s@cret");
  EXPECT_EQ(p.url(), "postgresql://bob@h/d");
  EXPECT_FALSE(p.url().contains("cret"));
}

TEST(QXDBConnectInfoTest, MalformedUrlsAreInvalidWithAReason) {
  for (const char* u : {"mysql://h/d", "sqlite:", "postgresql://h", "postgresql://h/",
                        "postgresql://h:port/d", "postgresql://h/d%2", "postgresql://h/d%00x"}) {
    QXDBConnectInfo i = QXDBConnectInfo::from_url(u);
    EXPECT_FALSE(i.is_valid()) << u;
    EXPECT_FALSE(i.error_string().isNull()) << u;
    EXPECT_EQ(i.get_server_type(), "") << u;
  }
}

}  // namespace
