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

// A PostgreSQL string goes to libpq as written: every parameter it holds counts.
TEST(QXDBConnectInfoTest, PostgresStringsAreKeptAsWritten) {
  for (const char* u :
       {"postgresql://alice@db.example:5433/logs?sslmode=require&connect_timeout=3",
        "postgres://%2Ftmp%2Fpg/logmapper_test", "postgresql://user@/db?host=/var/run/postgresql",
        "postgresql://", "host=/tmp/pg dbname=logs user='a b'"}) {
    QXDBConnectInfo a = QXDBConnectInfo::from_url(u);
    ASSERT_TRUE(a.is_valid()) << u << ": " << a.error_string();
    EXPECT_EQ(a.get_server_type(), "POSTGRESQL");
    EXPECT_EQ(a.get_database_name(), u);
    EXPECT_EQ(a.get_server_name(), "");
    EXPECT_EQ(a.get_user_name(), "");
    EXPECT_EQ(a.url(), u);
  }
}

TEST(QXDBConnectInfoTest, PasswordsAreNeverPrinted) {
  struct Case {
    const char* written;
    const char* shown;
  } cases[] = {
      {"postgresql://bob:s%40cret@h/d", "postgresql://bob@h/d"},
      {"postgresql://bob:s%40cret@h/d?password=other&sslmode=require",
       "postgresql://bob@h/d?sslmode=require"},
      {"postgresql://h/d?password=cret", "postgresql://h/d"},
      {"postgresql://:cret@h", "postgresql://@h"},
      {"host=h password='se cret' dbname=d", "host=h dbname=d"},
      {"host=h password = cret dbname=d", "host=h dbname=d"},
      {"host=h dbname=d password=cret junk", "host=h dbname=d ..."},
  };
  for (const Case& c : cases) {
    QXDBConnectInfo p = QXDBConnectInfo::from_url(c.written);
    ASSERT_TRUE(p.is_valid()) << c.written;
    EXPECT_EQ(p.url(), c.shown) << c.written;
    EXPECT_FALSE(p.url().contains("cret")) << c.written;
  }
}

TEST(QXDBConnectInfoTest, UnusableTextIsInvalidWithAReason) {
  for (const char* u : {"mysql://h/d", "sqlite:", "logs", "/var/lib/x.db", "http://h/d?x=1"}) {
    QXDBConnectInfo i = QXDBConnectInfo::from_url(u);
    EXPECT_FALSE(i.is_valid()) << u;
    EXPECT_FALSE(i.error_string().isNull()) << u;
    EXPECT_EQ(i.get_server_type(), "") << u;
  }
  EXPECT_FALSE(QXDBConnectInfo::from_url(RWCString("sqlite:a\0b", 10)).is_valid());
}

}  // namespace
