// export and import: a log's records leave one store and enter another exactly (on
// SQLite, on PostgreSQL and across the two), an import is all or nothing, and the
// export's filters and formats; demo fills a store with every event record class.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/logmapper/tool_runner.h"

namespace qx::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

class ExportImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* pg = std::getenv("QXDB_TEST_PG_URL");
    if (pg != nullptr && *pg != '\0') pg_ = pg;
  }
  void TearDown() override {
    for (const std::string& log : pg_logs_) RunTool({"--db", pg_, "delete-log", log});
  }
  std::string Sqlite(const std::string& name) { return "sqlite:" + dir_.file(name); }
  // A log name on the shared PostgreSQL database, deleted at the end.
  std::string PgLog(const std::string& name) {
    pg_logs_.push_back("x" + std::to_string(getpid()) + "_" + name);
    return pg_logs_.back();
  }
  ToolResult Ok(const std::string& db, std::vector<std::string> args,
                const std::string& input = "") {
    args.insert(args.begin(), {"--db", db});
    ToolResult r = RunTool(args, input);
    EXPECT_EQ(r.status, 0) << args[2] << ": " << r.err;
    EXPECT_EQ(r.err, "") << args[2];
    return r;
  }
  // Imports `jsonl` into log `log` of `db` and exports it again.
  std::string ThroughStore(const std::string& db, const std::string& log,
                           const std::string& jsonl) {
    WriteFile(dir_.file("in.jsonl"), jsonl);
    Ok(db, {"import", log, dir_.file("in.jsonl")});
    return Ok(db, {"export", log}).out;
  }
  // A source store with demo traffic and a few records of awkward values.
  std::string Source() {
    std::string db = Sqlite("source.db");
    Ok(db, {"demo", "--logs", "1", "--records", "150"});
    Ok(db, {"write", "demo-1", "1000", "objectCreationRecord",
            "additionalText=\"Z\xc3\xbcrich \\\"quoted\\\" \\\\ \xe2\x9c\x93\"",
            "managedObjectInstance=distinguishedName:/systemId=\"ne,17\"/logId=3",
            "loggingTime=\"20240229235959.999Z\"", "notificationIdentifier=2147483647"});
    Ok(db, {"write", "demo-1", "0", "stateChangeRecord"});
    return db;
  }

  ScratchDir dir_;
  std::string pg_;
  std::vector<std::string> pg_logs_;
};

TEST_F(ExportImportTest, RecordsTravelExactlyBetweenAndAcrossStores) {
  std::string source = Source();
  std::string exported = Ok(source, {"export", "demo-1"}).out;
  std::vector<std::string> lines = Lines(exported);
  ASSERT_EQ(lines.size(), 152u);
  for (const std::string& line : lines) {
    EXPECT_THAT(line, StartsWith("{\"logRecordId\": "));
    EXPECT_THAT(line, HasSubstr("\"ber\": \"31"));
  }
  EXPECT_NE(exported.find("5ac3bc72696368"), std::string::npos) << "Zurich with its umlaut";

  EXPECT_EQ(ThroughStore(Sqlite("copy.db"), "copy", exported), exported);
  if (pg_.empty()) GTEST_SKIP() << "QXDB_TEST_PG_URL is not set: SQLite to SQLite only";
  std::string on_pg = ThroughStore(pg_, PgLog("copy"), exported);
  EXPECT_EQ(on_pg, exported) << "SQLite to PostgreSQL";
  EXPECT_EQ(ThroughStore(Sqlite("back.db"), "back", on_pg), exported) << "and back";
  EXPECT_EQ(ThroughStore(pg_, PgLog("again"), exported), exported) << "PostgreSQL to itself";
}

TEST_F(ExportImportTest, ImportIsAllOrNothing) {
  std::string source = Source();
  std::vector<std::string> lines = Lines(Ok(source, {"export", "demo-1"}).out);
  std::string db = Sqlite("target.db");
  auto import = [&](const std::string& log, const std::string& text) {
    WriteFile(dir_.file("in.jsonl"), text);
    return RunTool({"--db", db, "import", log, dir_.file("in.jsonl")});
  };
  struct Case {
    std::string last_line;
    const char* reason;
  } cases[] = {
      {"not json", "not an exported record: not a JSON object"},
      {"[1, 2]", "not a JSON object"},
      {"{\"logRecordId\": 9, \"class\": \"stateChangeRecord\"}", "no ber"},
      {"{\"logRecordId\": 9, \"class\": \"stateChangeRecord\", \"ber\": \"31\"}", "ber: offset"},
      {"{\"logRecordId\": 9, \"class\": \"stateChangeRecord\", \"ber\": \"3x00\"}", "no ber"},
      {"{\"logRecordId\": 9, \"class\": \"stateChangeRecord\", \"ber\": \"3000\"}",
       "not an attribute list"},
      {"{\"logRecordId\": -1, \"class\": \"stateChangeRecord\", \"ber\": \"3100\"}",
       "no logRecordId"},
      {"{\"logRecordId\": 9, \"class\": \"noSuchClass\", \"ber\": \"3100\"}", "no record class"},
      {lines[0], "holds a record"},  // the first record again
  };
  std::string good = lines[0] + "\n" + lines[1] + "\n\n" + lines[2] + "\n";
  for (const Case& c : cases) {
    ToolResult r = import("fresh", good + c.last_line + "\n");
    EXPECT_EQ(r.status, 1) << c.last_line;
    EXPECT_THAT(r.err, HasSubstr("in.jsonl:5: ")) << c.last_line;
    EXPECT_THAT(r.err, HasSubstr(c.reason)) << c.last_line;
    EXPECT_EQ(r.out, "");
    // The log the import made is gone again with what it wrote.
    EXPECT_THAT(Ok(db, {"logs"}).out, Not(HasSubstr("fresh"))) << c.last_line;
  }
  // Into a log that exists: it keeps what it had, and nothing else.
  Ok(db, {"create-log", "kept"});
  Ok(db, {"import", "kept", "-"}, lines[3] + "\n");
  EXPECT_EQ(import("kept", good + "not json\n").status, 1);
  EXPECT_EQ(Lines(Ok(db, {"export", "kept"}).out), std::vector<std::string>{lines[3]});
  // An empty file imports nothing, and makes the log.
  Ok(db, {"import", "empty", "-"}, "");
  EXPECT_EQ(Ok(db, {"export", "empty"}).out, "");
}

TEST_F(ExportImportTest, SinceAndCsv) {
  std::string db = Sqlite("s.db");
  Ok(db, {"create-log", "7"});
  Ok(db, {"write", "7", "1", "objectCreationRecord", "loggingTime=\"20240301101500Z\"",
          "additionalText=\"a, \\\"b\\\"\""});
  Ok(db, {"write", "7", "2", "stateChangeRecord", "loggingTime=\"20240302101500Z\""});
  Ok(db, {"write", "7", "3", "stateChangeRecord"});  // never logged: no loggingTime
  auto ids = [](const std::string& jsonl) {
    std::vector<std::string> out;
    for (const std::string& l : Lines(jsonl)) out.push_back(l.substr(16, l.find(',') - 16));
    return out;
  };
  using V = std::vector<std::string>;
  EXPECT_EQ(ids(Ok(db, {"export", "7"}).out), (V{"1", "2", "3"}));
  EXPECT_EQ(ids(Ok(db, {"export", "7", "--since", "20240302101500Z"}).out), (V{"2"}));
  EXPECT_EQ(ids(Ok(db, {"export", "7", "--since", "\"20240302101500.001Z\""}).out), (V{}));
  EXPECT_EQ(ids(Ok(db, {"export", "7", "--since", "2024-03-02T11:15:00+01:00"}).out), (V{"2"}));
  EXPECT_EQ(ids(Ok(db, {"export", "7", "--since=2024-03-01"}).out), (V{"1", "2"}));

  std::vector<std::string> csv = Lines(Ok(db, {"export", "7", "--format", "csv"}).out);
  ASSERT_EQ(csv.size(), 4u);
  EXPECT_THAT(csv[0], StartsWith("logRecordId,class,"));
  EXPECT_THAT(csv[0], HasSubstr(",additionalText,"));
  EXPECT_THAT(csv[0], testing::EndsWith(",ber"));
  EXPECT_THAT(csv[1], StartsWith("1,objectCreationRecord,\"\"\"20240301101500Z\"\"\","));
  EXPECT_THAT(csv[1], HasSubstr(",\"\"\"a, \\\"\"b\\\"\"\"\"\","));
  EXPECT_THAT(csv[3], StartsWith("3,stateChangeRecord,,"));
  // The last column is the record's exact encoding, as in the JSONL export.
  std::string jsonl = Lines(Ok(db, {"export", "7"}).out)[0];
  std::string ber = jsonl.substr(jsonl.find("\"ber\": \"") + 8);
  ber.resize(ber.find('"'));
  EXPECT_THAT(csv[1], testing::EndsWith("," + ber));
}

TEST_F(ExportImportTest, DemoFillsNewLogsWithEveryRecordClass) {
  std::string db = Sqlite("demo.db");
  ToolResult r = Ok(db, {"demo", "--logs", "2", "--records", "60"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Lines(Ok(db, {"status"}).out)[3], "logs: 2");
  std::set<std::string> classes, objects;
  for (const char* log : {"demo-1", "demo-2"}) {
    std::vector<std::string> records = Lines(Ok(db, {"records", log, "--json"}).out);
    EXPECT_EQ(records.size(), 62u);  // 60 and the brackets
    for (const std::string& line : records) {
      size_t at = line.find("\"class\": \"");
      if (at != std::string::npos)
        classes.insert(line.substr(at + 10, line.find('"', at + 10) - at - 10));
      at = line.find("\"managedObjectInstance\": \"");
      if (at != std::string::npos) objects.insert(line.substr(at, line.find("\", ", at) - at));
    }
  }
  EXPECT_EQ(classes,
            (std::set<std::string>{"objectCreationRecord", "objectDeletionRecord",
                                   "relationshipChangeRecord", "attributeValueChangeRecord",
                                   "securityAlarmReportRecord", "stateChangeRecord",
                                   "qxAlarmRecord", "correlationAlarmRecord",
                                   "internetAlarmRecord"}));
  EXPECT_GT(objects.size(), 10u) << "managed objects from a pool";
  // Operators acknowledged and cleared some of the alarms, not all.
  std::string alarms = Ok(db, {"alarms", "demo-1"}).out;
  EXPECT_THAT(alarms, HasSubstr(" acked "));
  EXPECT_THAT(alarms, HasSubstr(" unAcked "));
  EXPECT_THAT(alarms, HasSubstr(" cleared "));
  EXPECT_THAT(alarms, HasSubstr(" unCleared "));
  ToolResult again = RunTool({"--db", db, "demo", "--logs", "1"});
  EXPECT_EQ(again.status, 1);
  EXPECT_THAT(again.err, HasSubstr("a log demo-1 exists already"));
}

// On a terminal, long work shows its progress on standard error (in a pipe, as in every
// other test here, it shows none).
TEST_F(ExportImportTest, ProgressOnATerminalOnly) {
  if (std::system("command -v script >/dev/null") != 0) GTEST_SKIP() << "no script(1)";
  std::string db = Sqlite("p.db");
  Ok(db, {"demo", "--logs", "1", "--records", "20"});
  std::string command = ShellQuote(LOGMAPPER_BIN) + " --db " + ShellQuote(db) + " export demo-1 >" +
                        ShellQuote(dir_.file("out.jsonl"));
  std::string terminal = dir_.file("terminal");
  ASSERT_EQ(std::system(("script -qec " + ShellQuote(command) + " /dev/null >" +
                         ShellQuote(terminal) + " </dev/null")
                            .c_str()),
            0);
  std::string shown = ReadFile(terminal);
  EXPECT_THAT(shown, HasSubstr("export ["));
  EXPECT_THAT(shown, HasSubstr("/20"));
  EXPECT_THAT(shown, testing::EndsWith("\r\x1b[K")) << "the bar's line is cleared at the end";
  EXPECT_EQ(Lines(ReadFile(dir_.file("out.jsonl"))).size(), 20u);
}

}  // namespace
}  // namespace qx::test
