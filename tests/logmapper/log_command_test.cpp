// The log commands run as a user runs them: each in a new process on one store, on
// SQLite and, when QXDB_TEST_PG_URL is set, on PostgreSQL.
#include "tests/logmapper/tool_store.h"

namespace qx::test {
namespace {

class LogCommandTest : public ToolStoreTest {};

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
  ExpectRefusals({{{"create-log", Log("b")}, 1, "exists already"},
                  {{"create-log"}, 2, ""},
                  {{"create-log", Log("c"), "maxLogSize"}, 2, ""},
                  {{"create-log", Log("c"), "noSuchAttribute=1"}, 1, ""},
                  {{"create-log", Log("c"), "administrativeState=sideways"}, 1, ""},
                  {{"delete-log", Log("c")}, 1, ""},
                  {{"logs", "extra"}, 2, ""}});
  EXPECT_EQ(Run({"logs"}).out.find(Log("c")), std::string::npos);
}

QX_TOOL_STORE_TESTS(LogCommandTest);

}  // namespace
}  // namespace qx::test
