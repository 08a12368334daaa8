// The record commands run as a user runs them: each in a new process on one store.
#include <gtest/gtest.h>

#include "tests/logmapper/tool_runner.h"

namespace qx::test {
namespace {

class RecordCommandTest : public ::testing::Test {
 protected:
  ToolResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--db", "sqlite:" + dir_.file("store.db")});
    return RunTool(args);
  }
  ScratchDir dir_;
};

TEST_F(RecordCommandTest, WriteShowUpdateDeleteInNewProcesses) {
  ASSERT_EQ(Run({"create-log", "7"}).status, 0);
  ToolResult w =
      Run({"write", "7", "1", "objectCreationRecord", "sourceIndicator=resourceOperation",
           "additionalText=\"r1 created\"", "notificationIdentifier=5"});
  ASSERT_EQ(w.status, 0) << w.err;
  ToolResult s = Run({"show", "7", "1", "--json"});
  ASSERT_EQ(s.status, 0) << s.err;
  EXPECT_NE(s.out.find("\"logRecordId\": 1, \"class\": \"objectCreationRecord\""),
            std::string::npos)
      << s.out;
  EXPECT_NE(s.out.find("\"sourceIndicator\": \"resourceOperation\""), std::string::npos);
  EXPECT_NE(s.out.find("\"additionalText\": \"\\\"r1 created\\\"\""), std::string::npos);
  ASSERT_EQ(Run({"update", "7", "1", "notificationIdentifier=6"}).status, 0);
  EXPECT_NE(Run({"show", "7", "1"}).out.find("notificationIdentifier: 6"), std::string::npos);
  ASSERT_EQ(Run({"write", "7", "2", "2.9.3.2.3.12"}).status, 0);
  ToolResult all = Run({"records", "7", "--json"});
  EXPECT_NE(all.out.find("\"class\": \"stateChangeRecord\""), std::string::npos) << all.out;
  ASSERT_EQ(Run({"delete", "7", "1"}).status, 0);
  EXPECT_EQ(Run({"show", "7", "1"}).status, 1);
  EXPECT_EQ(Run({"delete", "7", "1"}).status, 1);
}

// A record of a class without a table of its own keeps every attribute, in the order
// written; its class comes from its objectClass attribute.
TEST_F(RecordCommandTest, RecordsOfAnyClassAreKeptWhole) {
  ASSERT_EQ(Run({"create-log", "7"}).status, 0);
  ToolResult w = Run({"write", "7", "3", "1.3.6.1.4.1.32473.7.1", "notificationIdentifier=9",
                      "additionalText=\"first\"", "sourceIndicator=unknown"});
  ASSERT_EQ(w.status, 0) << w.err;
  ASSERT_EQ(Run({"write", "7", "4", "alarmRecord", "perceivedSeverity=major"}).status, 0);
  ToolResult s = Run({"show", "7", "3"});
  ASSERT_EQ(s.status, 0) << s.err;
  EXPECT_EQ(s.out,
            "logRecordId: 3\nclass: 1.3.6.1.4.1.32473.7.1\nnotificationIdentifier: 9\n"
            "additionalText: \"first\"\nsourceIndicator: unknown\n"
            "objectClass: globalForm:1.3.6.1.4.1.32473.7.1\n");
  ASSERT_EQ(Run({"update", "7", "3", "additionalText=\"second\""}).status, 0);
  EXPECT_NE(Run({"show", "7", "3"}).out.find("additionalText: \"second\"\nnotificationIdentifier: 9"),
            std::string::npos);
  ToolResult all = Run({"records", "7", "--json"});
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_NE(all.out.find("{\"logRecordId\": 4, \"class\": \"alarmRecord\", \"attributes\": "
                         "{\"perceivedSeverity\": \"major\", \"objectClass\": "
                         "\"globalForm:alarmRecord\"}}"),
            std::string::npos)
      << all.out;
  ASSERT_EQ(Run({"delete", "7", "3"}).status, 0);
  EXPECT_EQ(Run({"show", "7", "3"}).status, 1);
}

TEST_F(RecordCommandTest, BadInputIsRefusedWithItsExitStatus) {
  ASSERT_EQ(Run({"create-log", "7"}).status, 0);
  EXPECT_EQ(Run({"write", "7", "1"}).status, 2);
  EXPECT_EQ(Run({"write", "7", "x", "objectCreationRecord"}).status, 2);
  EXPECT_EQ(Run({"write", "7", "1", "objectCreationRecord", "noEquals"}).status, 2);
  EXPECT_EQ(Run({"write", "7", "1", "objectCreationRecord", "noSuchAttribute=1"}).status, 1);
  EXPECT_EQ(Run({"write", "7", "1", "objectCreationRecord", "sourceIndicator=42x"}).status, 1);
  EXPECT_EQ(Run({"write", "8", "1", "objectCreationRecord"}).status, 1);  // no such log
  EXPECT_EQ(Run({"show", "7", "1"}).status, 1);                           // nothing was written
}

}  // namespace
}  // namespace qx::test
