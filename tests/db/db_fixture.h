#ifndef QX_TESTS_DB_DB_FIXTURE_H_
#define QX_TESTS_DB_DB_FIXTURE_H_

// One fixture for every storage test: each test body runs once on SQLite (a
// file in a fresh temporary folder) and once on PostgreSQL (the database of
// QXDB_TEST_PG_URL; skipped when unset). PostgreSQL tests name their tables
// with a prefix of their own so that they can run in parallel.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/db/fault_driver.h"
#include "platform/db/rwdb.h"

namespace qx::test {

// Parts of QXDB_TEST_PG_URL: host (socket folder), user, database.
struct PgTarget {
  std::string host, user, db;
};
bool pg_target(PgTarget* out);

// The statuses the error handler saw while the fixture lived.
std::vector<RWDBStatus>& handled();

class DbTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override;
  void TearDown() override;

  bool pg() const { return GetParam() == "postgresql"; }
  // Opens another database handle on the same store (with extra properties).
  RWDBDatabase open(const std::string& props = "") const;
  // The test's own name for a table.
  std::string T(const std::string& name) const { return prefix_ + name; }
  // Creates table T(name) with schema; fails the test when it cannot.
  RWDBTable make(const std::string& name, const RWDBSchema& schema);
  // Number of rows of table T(name) seen on conn.
  long count(const std::string& name, const RWDBConnection& conn);
  long count(const std::string& name) { return count(name, conn_); }
  // Codes the error handler received since the last call; clears them.
  std::vector<int> codes();

  std::string dir_;     // SQLite: the temporary folder
  std::string path_;    // SQLite: the database file
  std::string prefix_;  // table-name prefix
  RWDBDatabase db_;
  RWDBConnection conn_;
  std::vector<std::string> made_;
};

// The fixture with a fault-injecting driver underneath.
class FaultTest : public DbTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::shared_ptr<qx::db::FaultPlan> plan_ = std::make_shared<qx::db::FaultPlan>();
};

std::string backend_name(const ::testing::TestParamInfo<std::string>& info);

}  // namespace qx::test

#define QX_BACKENDS(fixture)                                                             \
  INSTANTIATE_TEST_SUITE_P(Backends, fixture, ::testing::Values("sqlite", "postgresql"), \
                           qx::test::backend_name)

#endif  // QX_TESTS_DB_DB_FIXTURE_H_
