// The log commands run as a user runs them: each in a new process on one store, on
// SQLite and, when QXDB_TEST_PG_URL is set, on PostgreSQL.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include "tests/logmapper/tool_runner.h"

namespace qx::test {
namespace {

class LogCommandTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (GetParam() == "sqlite") {
      url_ = "sqlite:" + dir_.file("store.db");
      return;
    }
    const char* base = std::getenv("QXDB_TEST_PG_URL");
    if (base == nullptr || *base == '\0') GTEST_SKIP() << "QXDB_TEST_PG_URL is not set";
    // The shared test database: the logs get names of this process and are deleted
    // again at the end.
    url_ = base;
    prefix_ = "lc" + std::to_string(getpid()) + "_";
  }
  void TearDown() override {
    if (!prefix_.empty()) {
      for (const char* log : {"a", "b"}) Run({"delete-log", prefix_ + log});
    }
  }
  ToolResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--db", url_});
    return RunTool(args);
  }
  // A log name of this test (unique on a shared server).
  std::string Log(const char* name) { return prefix_.empty() ? name : prefix_ + name; }

  ScratchDir dir_;
  std::string url_;
  std::string prefix_;
};

TEST_P(LogCommandTest, CreatedLogIsListedByANewProcess) {
  if (GetParam() == "sqlite") {
    ToolResult c = Run({"create-log", "7", "administrativeState=unlocked", "maxLogSize=100000"});
    ASSERT_EQ(c.status, 0) << c.err;
    ToolResult l = Run({"logs", "--json"});
    ASSERT_EQ(l.status, 0) << l.err;
    EXPECT_EQ(l.out,
              "[\n  {\"logId\": \"7\", \"attributes\": {\"administrativeState\": \"unlocked\", "
              "\"maxLogSize\": \"100000\"}}\n]\n");
    ASSERT_EQ(Run({"delete-log", "7"}).status, 0);
    EXPECT_EQ(Run({"logs", "--json"}).out, "[]\n");
  }
  ToolResult c = Run({"create-log", Log("a"), "availabilityStatus={inTest, logFull}",
                      "startTime=\"20240131120000Z\""});
  ASSERT_EQ(c.status, 0) << c.err;
  ToolResult l = Run({"logs"});
  ASSERT_EQ(l.status, 0) << l.err;
  EXPECT_NE(l.out.find("\"" + Log("a") +
                       "\"\n  availabilityStatus: {inTest, logFull}\n"
                       "  startTime: \"20240131120000Z\"\n"),
            std::string::npos)
      << l.out;
}

TEST_P(LogCommandTest, RefusalsHaveTheirExitStatus) {
  ASSERT_EQ(Run({"create-log", Log("b")}).status, 0);
  ToolResult again = Run({"create-log", Log("b")});
  EXPECT_EQ(again.status, 1);
  EXPECT_NE(again.err.find("exists already"), std::string::npos) << again.err;
  EXPECT_EQ(Run({"create-log"}).status, 2);
  EXPECT_EQ(Run({"create-log", Log("c"), "maxLogSize"}).status, 2);
  EXPECT_EQ(Run({"create-log", Log("c"), "noSuchAttribute=1"}).status, 1);
  EXPECT_EQ(Run({"create-log", Log("c"), "administrativeState=sideways"}).status, 1);
  EXPECT_EQ(Run({"delete-log", Log("c")}).status, 1);
  EXPECT_EQ(Run({"logs", "extra"}).status, 2);
  EXPECT_EQ(Run({"logs"}).out.find(Log("c")), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Stores, LogCommandTest, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& store) { return store.param; });

}  // namespace
}  // namespace qx::test
