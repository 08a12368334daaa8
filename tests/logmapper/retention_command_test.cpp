// history, purge and enforce run as an operator runs them: each command in a new process,
// on both stores; what they did shows through records, logs and the next command.
#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "tests/logmapper/tool_store.h"

namespace qx::test {
namespace {

class RetentionCommandTest : public ToolStoreTest {
 protected:
  // The tool with the alarm history switched on.
  ToolResult RunKeeping(std::vector<std::string> args) {
    args.insert(args.begin(), {"--db", url_});
    return RunToolWith("QX_ALARM_HISTORY=1", args);
  }
  ToolResult WriteAlarm(const std::string& log, int id, const std::string& time = "") {
    std::vector<std::string> args = {"write",
                                     log,
                                     std::to_string(id),
                                     "qxAlarmRecord",
                                     "eventType=globalForm:communicationsAlarm",
                                     "probableCause=globalValue:powerProblem",
                                     "perceivedSeverity=minor",
                                     "managedObjectInstance=distinguishedName:/systemId=\"ne-1\""};
    if (!time.empty()) args.push_back("loggingTime=\"" + time + "\"");
    return Run(args);
  }
  ToolResult WriteEvent(const std::string& log, int id, const std::string& time) {
    return Run(
        {"write", log, std::to_string(id), "objectCreationRecord", "loggingTime=\"" + time + "\""});
  }
  // The identifiers of the log's records.
  std::set<int> Records(const std::string& log) {
    ToolResult r = Run({"records", log, "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::set<int> ids;
    static const std::regex id("\"logRecordId\": ([0-9]+)");
    for (std::sregex_iterator it(r.out.begin(), r.out.end(), id), end; it != end; ++it) {
      ids.insert(std::stoi((*it)[1]));
    }
    return ids;
  }
  // The stored attributes of the log, as logs --json prints them.
  std::string LogLine(const std::string& log) {
    ToolResult r = Run({"logs", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    size_t at = r.out.find("\"" + log + "\\\"\"");
    if (at == std::string::npos) return "";
    return r.out.substr(at, r.out.find('\n', at) - at);
  }
};

TEST_P(RetentionCommandTest, HistoryListsEveryActionInOrder) {
  std::string log = Log("hist");
  ASSERT_EQ(RunKeeping({"create-log", log}).status, 0);
  ASSERT_EQ(WriteAlarm(log, 1).status, 0);
  ASSERT_EQ(WriteAlarm(log, 2).status, 0);
  ASSERT_EQ(RunKeeping({"ack", log, "1", "ackOperator=\"alice\""}).status, 0);
  ASSERT_EQ(RunKeeping({"ack", log, "1", "ackState=unAcked", "ackOperator=\"bob\""}).status, 0);
  ASSERT_EQ(
      RunKeeping({"clear", log, "2", "clearOperator=\"carol\"", "clearText=\"fixed\""}).status, 0);
  // Without the switch an action is taken but not kept; the history stays readable.
  ASSERT_EQ(Run({"ack", log, "2"}).status, 0);
  // A refused action leaves no row.
  EXPECT_EQ(RunKeeping({"ack", log, "9"}).status, 1);

  ToolResult all = Run({"history", log});
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_TRUE(std::regex_match(
      all.out,
      std::regex("1 qxAlarmRecord acknowledge unAcked acked [0-9.]+Z \"alice\" \"\"\n"
                 "1 qxAlarmRecord acknowledge acked unAcked [0-9.]+Z \"bob\" \"\"\n"
                 "2 qxAlarmRecord clear unCleared cleared [0-9.]+Z \"carol\" \"fixed\"\n")))
      << all.out;

  ToolResult one = Run({"history", log, "2", "--json"});
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_TRUE(std::regex_match(
      one.out, std::regex("\\[\\{\"logRecordId\": 2, \"class\": \"qxAlarmRecord\", \"action\": "
                          "\"clear\", \"stateBefore\": \"unCleared\", \"stateAfter\": "
                          "\"cleared\", \"time\": \"[0-9.]+Z\", \"operator\": \"carol\", "
                          "\"text\": \"fixed\", \"seq\": [0-9]+\\}\\]\n")))
      << one.out;
  ToolResult none = Run({"history", log, "5", "--json"});
  EXPECT_EQ(none.status, 0) << none.err;
  EXPECT_EQ(none.out, "[]\n");

  // A log made without the switch keeps none, and history says so.
  std::string plain = Log("plain");
  ASSERT_EQ(Run({"create-log", plain}).status, 0);
  ASSERT_EQ(WriteAlarm(plain, 1).status, 0);
  ExpectRefusals({{{"history", plain}, 1, "keeps no action history"},
                  {{"history", log, "x"}, 2, ""},
                  {{"history", Log("nothere")}, 1, "no log"}});
}

TEST_P(RetentionCommandTest, PurgeDeletesTheOldestAndKeepsOutstandingAlarms) {
  std::string log = Log("purge");
  ASSERT_EQ(Run({"create-log", log}).status, 0);
  // Oldest first by logging time, whatever the identifiers say.
  ASSERT_EQ(WriteEvent(log, 5, "20200101000000Z").status, 0);
  ASSERT_EQ(WriteEvent(log, 1, "20210101000000Z").status, 0);
  ASSERT_EQ(WriteAlarm(log, 2, "20190101000000Z").status, 0);  // outstanding, oldest
  ASSERT_EQ(WriteAlarm(log, 3, "20220101000000Z").status, 0);
  ASSERT_EQ(Run({"clear", log, "3"}).status, 0);
  ASSERT_EQ(WriteEvent(log, 4, "20230101000000Z").status, 0);

  ToolResult before = Run({"purge", log, "--before", "2021-06-01T00:00:00Z"});
  ASSERT_EQ(before.status, 0) << before.err;
  EXPECT_EQ(before.out, "purged 2 records, 3 left\n");
  EXPECT_EQ(Records(log), (std::set<int>{2, 3, 4}));

  ToolResult keep = Run({"purge", log, "--keep", "0"});
  ASSERT_EQ(keep.status, 0) << keep.err;
  EXPECT_EQ(keep.out, "purged 2 records, 1 left\n");
  EXPECT_EQ(Records(log), (std::set<int>{2}));
  // Nothing left to go: not a failure.
  EXPECT_EQ(Run({"purge", log, "--keep", "5"}).out, "purged 0 records, 1 left\n");
  ToolResult all = Run({"purge", log, "--keep", "0", "--outstanding"});
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(all.out, "purged 1 records, 0 left\n");
  EXPECT_TRUE(Records(log).empty());
  // The log takes the identifiers it gave up again.
  EXPECT_EQ(WriteEvent(log, 1, "20240101000000Z").status, 0);

  ExpectRefusals({
      {{"purge", log}, 2, "give --keep N or --before TIME"},
      {{"purge", log, "--keep", "1", "--before", "20240101000000Z"}, 2, "give --keep"},
      {{"purge", log, "--keep", "-1"}, 2, "bad --keep -1"},
      {{"purge", log, "--keep", "2x"}, 2, "bad --keep 2x"},
      {{"purge", log, "--before", "yesterday"}, 2, "bad --before yesterday"},
      {{"purge", Log("nothere"), "--keep", "0"}, 1, "no log"},
  });
  EXPECT_EQ(Records(log), (std::set<int>{1}));
}

TEST_P(RetentionCommandTest, EnforceAppliesTheLogsOwnAttributes) {
  // wrap: 2000 octets are four records; the outstanding alarm stays.
  std::string wrap = Log("wrap");
  ASSERT_EQ(Run({"create-log", wrap, "maxLogSize=2000", "logFullAction=wrap",
                 "capacityAlarmThreshold={50, 80}"})
                .status,
            0);
  ASSERT_EQ(WriteAlarm(wrap, 1, "20200101000000Z").status, 0);
  for (int id = 2; id <= 6; ++id)
    ASSERT_EQ(WriteEvent(wrap, id, "2021010100000" + std::to_string(id) + "Z").status, 0);
  ToolResult first = Run({"enforce", wrap});
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(first.out,
            "size 2000 of 2000, 4 records\n"
            "wrapped: purged 2 records\n"
            "full (wrap)\n"
            "capacity threshold 50% reached\n"
            "capacity threshold 80% reached\n");
  EXPECT_EQ(Records(wrap), (std::set<int>{1, 4, 5, 6}));
  // Reported once, also to the next process.
  ToolResult again = Run({"enforce", wrap, "--json"});
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.out,
            "{\"size\": 2000, \"maxLogSize\": 2000, \"records\": 4, \"logFullAction\": \"wrap\", "
            "\"purged\": 0, \"full\": true, \"thresholdsCrossed\": [], "
            "\"availabilityStatus\": null}\n");

  // halt: nothing goes; the log says it is full in its availability status.
  std::string halt = Log("halt");
  ASSERT_EQ(Run({"create-log", halt, "maxLogSize=1000", "logFullAction=halt"}).status, 0);
  for (int id = 1; id <= 3; ++id) ASSERT_EQ(WriteEvent(halt, id, "20200101000000Z").status, 0);
  ToolResult full = Run({"enforce", halt, "--json"});
  ASSERT_EQ(full.status, 0) << full.err;
  EXPECT_NE(full.out.find("\"purged\": 0, \"full\": true"), std::string::npos) << full.out;
  EXPECT_NE(full.out.find("\"availabilityStatus\": \"logFull\""), std::string::npos) << full.out;
  EXPECT_EQ(Records(halt).size(), 3u);
  EXPECT_NE(LogLine(halt).find("\"availabilityStatus\": \"{logFull}\""), std::string::npos)
      << LogLine(halt);

  // No limit: nothing to apply.
  std::string open = Log("open");
  ASSERT_EQ(Run({"create-log", open}).status, 0);
  EXPECT_EQ(Run({"enforce", open}).out, "size 0 of no limit, 0 records\n");
  ExpectRefusals({{{"enforce", Log("nothere")}, 1, "no log"}});
}

QX_TOOL_STORE_TESTS(RetentionCommandTest);

}  // namespace
}  // namespace qx::test
