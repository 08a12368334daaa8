#ifndef QX_TESTS_LOGMAPPER_TOOL_STORE_H_
#define QX_TESTS_LOGMAPPER_TOOL_STORE_H_

// Tool tests that run on both stores: an SQLite file of the test's own, and the
// PostgreSQL database of QXDB_TEST_PG_URL (skipped when unset), where the test's logs get
// names of this process and are deleted again at the end.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/logmapper/tool_runner.h"

namespace qx::test {

class ToolStoreTest : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (GetParam() == "sqlite") {
      url_ = "sqlite:" + dir_.file("store.db");
      return;
    }
    const char* base = std::getenv("QXDB_TEST_PG_URL");
    if (base == nullptr || *base == '\0') GTEST_SKIP() << "QXDB_TEST_PG_URL is not set";
    url_ = base;
    static int counter = 0;
    prefix_ = "t" + std::to_string(getpid()) + "_" + std::to_string(counter++) + "_";
  }
  void TearDown() override {
    if (prefix_.empty()) return;
    for (const std::string& log : logs_) RunTool({"--db", url_, "delete-log", log});
  }
  bool postgres() const { return GetParam() == "postgresql"; }
  // The tool on the test's store.
  ToolResult Run(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), {"--db", url_});
    return RunTool(args, input);
  }
  // A command the tool refuses: its exit status, and a part of the reason it gives.
  struct Refusal {
    std::vector<std::string> args;
    int status;
    std::string reason;
  };
  // Runs each: the exit status, the reason on standard error (in one line, for a refusal
  // of the store or the library: status 1), nothing on standard output.
  void ExpectRefusals(const std::vector<Refusal>& refusals) {
    for (const Refusal& c : refusals) {
      ToolResult r = Run(c.args);
      std::string cmd;
      for (const auto& a : c.args) cmd += a + " ";
      EXPECT_EQ(r.status, c.status) << cmd << r.err;
      EXPECT_NE(r.err.find(c.reason), std::string::npos) << cmd << r.err;
      if (c.status == 1) {
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << cmd << r.err;
      }
      EXPECT_EQ(r.out, "") << cmd;
    }
  }
  // A log name of this test (unique on a shared server, deleted at the end).
  std::string Log(const std::string& name) {
    if (prefix_.empty()) return name;
    std::string log = prefix_ + name;
    if (std::find(logs_.begin(), logs_.end(), log) == logs_.end()) logs_.push_back(log);
    return log;
  }

  ScratchDir dir_;
  std::string url_;
  std::string prefix_;
  std::vector<std::string> logs_;
};

#define QX_TOOL_STORE_TESTS(Suite)                                                   \
  INSTANTIATE_TEST_SUITE_P(Stores, Suite, ::testing::Values("sqlite", "postgresql"), \
                           [](const auto& store) { return store.param; })

}  // namespace qx::test

#endif  // QX_TESTS_LOGMAPPER_TOOL_STORE_H_
