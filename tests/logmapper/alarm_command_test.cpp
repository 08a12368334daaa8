// The alarm commands run as an operator runs them: each in a new process, on both
// stores; what they did shows through show, alarms and a restart.
#include <gtest/gtest.h>

#include "tests/logmapper/tool_store.h"

namespace qx::test {
namespace {

class AlarmCommandTest : public ToolStoreTest {
 protected:
  // An alarm about network element `ne` of the given severity.
  ToolResult WriteAlarm(const std::string& log, const std::string& id, const std::string& ne,
                        const std::string& severity, const std::string& cls = "qxAlarmRecord") {
    return Run({"write", log, id, cls, "eventType=globalForm:communicationsAlarm",
                "probableCause=globalValue:powerProblem", "perceivedSeverity=" + severity,
                "managedObjectInstance=distinguishedName:/systemId=\"" + ne + "\""});
  }
  // A new log with six alarms: 1 critical, 2 major, 3 minor (about ne-2), 4 and 5
  // warnings of two other alarm classes, 6 minor of a class the blob table keeps.
  void WriteSixAlarms(const std::string& log) {
    ASSERT_EQ(Run({"create-log", log}).status, 0);
    ASSERT_EQ(WriteAlarm(log, "1", "ne-1", "critical").status, 0);
    ASSERT_EQ(WriteAlarm(log, "2", "ne-1", "major").status, 0);
    ASSERT_EQ(WriteAlarm(log, "3", "ne-2", "minor").status, 0);
    ASSERT_EQ(WriteAlarm(log, "4", "ne-1", "warning", "correlationAlarmRecord").status, 0);
    ASSERT_EQ(WriteAlarm(log, "5", "ne-1", "warning", "internetAlarmRecord").status, 0);
    ASSERT_EQ(WriteAlarm(log, "6", "ne-1", "minor", "alarmRecord").status, 0);
  }
  static size_t Lines(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  }
};

TEST_P(AlarmCommandTest, AlarmsAreAcknowledgedClearedAndListed) {
  std::string log = Log("alarms");
  ASSERT_NO_FATAL_FAILURE(WriteSixAlarms(log));

  ToolResult all = Run({"alarms", log});
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(Lines(all.out), 6u) << all.out;
  EXPECT_NE(all.out.find("1 qxAlarmRecord critical unAcked unCleared unDisplayed"),
            std::string::npos)
      << all.out;

  // Acknowledged now by alice; the state and time are the command's defaults.
  ToolResult ack = Run({"ack", log, "1", "ackOperator=\"alice\""});
  ASSERT_EQ(ack.status, 0) << ack.err;
  EXPECT_EQ(ack.out, "");
  ToolResult shown = Run({"show", log, "1"});
  EXPECT_NE(shown.out.find("ackState: acked"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("ackOperator: \"alice\""), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("ackTime: time:"), std::string::npos) << shown.out;
  // Taken back: the state given wins over the default.
  ASSERT_EQ(Run({"ack", log, "1", "ackState=unAcked"}).status, 0);
  EXPECT_NE(Run({"show", log, "1"}).out.find("ackState: unAcked"), std::string::npos);

  ASSERT_EQ(Run({"clear", log, "2", "clearOperator=\"bob\"", "clearText=\"fixed\""}).status, 0);
  EXPECT_NE(Run({"show", log, "2"}).out.find("clearState: cleared"), std::string::npos);
  ToolResult outstanding = Run({"alarms", log, "--outstanding"});
  EXPECT_EQ(Lines(outstanding.out), 5u) << outstanding.out;
  EXPECT_EQ(outstanding.out.find("\n2 "), std::string::npos);

  // The lookup of one managed object, then the clear of its matching alarms in every
  // alarm class.
  ToolResult ne1 = Run({"alarms", log, "--moi", "/systemId=\"ne-1\""});
  ASSERT_EQ(ne1.status, 0) << ne1.err;
  EXPECT_EQ(Lines(ne1.out), 4u) << ne1.out;  // 1, 4, 5 and 6; 2 is cleared
  ToolResult cleared = Run({"clear-all", log, "--moi", "/systemId=\"ne-1\"",
                            "eventType=globalForm:communicationsAlarm", "clearOperator=\"carol\""});
  ASSERT_EQ(cleared.status, 0) << cleared.err;
  ToolResult left = Run({"alarms", log, "--outstanding", "--json"});
  ASSERT_EQ(left.status, 0) << left.err;
  EXPECT_NE(left.out.find("\"logRecordId\": 3"), std::string::npos) << left.out;
  EXPECT_EQ(left.out.find("\"logRecordId\": 1"), std::string::npos) << left.out;
  EXPECT_EQ(left.out.find("\"logRecordId\": 4"), std::string::npos) << left.out;
  EXPECT_EQ(left.out.find("\"logRecordId\": 5"), std::string::npos) << left.out;
  EXPECT_EQ(left.out.find("\"logRecordId\": 6"), std::string::npos) << left.out;
  EXPECT_NE(Run({"show", log, "4"}).out.find("clearOperator: \"carol\""), std::string::npos);
}

// status shows each log as start-up finds it: records by class, outstanding alarms by
// severity (a cleared alarm is not outstanding; the blob table's records count as
// theirs), and the internal number.
TEST_P(AlarmCommandTest, StatusCountsRecordsByClassAndOutstandingAlarmsBySeverity) {
  std::string log = Log("status");
  ASSERT_NO_FATAL_FAILURE(WriteSixAlarms(log));
  ASSERT_EQ(Run({"clear", log, "2"}).status, 0);
  ToolResult json = Run({"status", "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_NE(json.out.find("\"records\": 6, \"number\": "), std::string::npos) << json.out;
  EXPECT_NE(json.out.find("\"classes\": {\"correlationAlarmRecord\": 1, \"internetAlarmRecord\": "
                          "1, \"others\": 1, \"qxAlarmRecord\": 3}, \"outstanding\": "
                          "{\"critical\": 1, \"minor\": 2, \"warning\": 2}}"),
            std::string::npos)
      << json.out;
  ToolResult text = Run({"status"});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find(": 6 records\n    number: "), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("    qxAlarmRecord: 3\n    outstanding: critical 1 minor 2 warning 2\n"),
            std::string::npos)
      << text.out;
}

TEST_P(AlarmCommandTest, RefusalsSayWhy) {
  std::string log = Log("refusals");
  ASSERT_EQ(Run({"create-log", log}).status, 0);
  ASSERT_EQ(WriteAlarm(log, "1", "ne-1", "critical").status, 0);
  ASSERT_EQ(Run({"write", log, "2", "objectCreationRecord"}).status, 0);
  ExpectRefusals({
      {{"ack", log, "9"}, 1, "no record 9"},
      {{"ack", log, "2"}, 1, "not an alarm"},
      {{"ack", log, "1", "clearState=cleared"}, 1, "not an attribute of an acknowledgement"},
      {{"clear", log, "1", "clearOperator=\"a name longer than sixteen\""}, 1, "16"},
      {{"clear-all", log, "eventType=globalForm:communicationsAlarm"}, 2, "--moi"},
      {{"clear-all", log, "--moi", "/systemId=\"ne-1\""}, 2, "eventType"},
      {{"clear-all", log, "--moi", "/systemId=\"nobody\"", "eventType=globalForm:x"}, 1, ""},
      {{"clear-all", log, "--moi", "/systemId=\"ne-9\"",
        "eventType=globalForm:communicationsAlarm"},
       1,
       "no alarm was ever written"},
      {{"alarms", log, "eventType=globalForm:communicationsAlarm"}, 2, "--moi"},
      {{"ack", log}, 2, ""},
  });
  // Nothing of the refusals was stored.
  EXPECT_NE(Run({"show", log, "1"}).out.find("clearState: unCleared"), std::string::npos);
}

QX_TOOL_STORE_TESTS(AlarmCommandTest);

}  // namespace
}  // namespace qx::test
