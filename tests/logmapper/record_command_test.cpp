// The record commands run as a user runs them: each in a new process on one store.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cctype>
#include <fstream>

#include "tests/logmapper/tool_store.h"

namespace qx::test {
namespace {

// Damages the last leaf page of the table named like `pattern` (SQL LIKE) of an
// SQLite store that no process has open (its page-type octet), so that a walk over the
// table reads its first rows and then meets the damage.
void DamageLastLeafPage(const std::string& file, const std::string& pattern) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
  auto number = [&](const char* sql) {
    sqlite3_stmt* st = nullptr;
    long n = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK) {
      sqlite3_bind_text(st, 1, pattern.c_str(), -1, SQLITE_TRANSIENT);
      if (sqlite3_step(st) == SQLITE_ROW) n = static_cast<long>(sqlite3_column_int64(st, 0));
    }
    sqlite3_finalize(st);
    return n;
  };
  long page = number("SELECT rootpage FROM sqlite_master WHERE type = 'table' AND name LIKE ?1");
  long size = number("PRAGMA page_size");
  sqlite3_close(db);  // the last connection: the log is in the file now
  ASSERT_GT(page, 1);
  ASSERT_GT(size, 0);
  std::fstream f(file, std::ios::in | std::ios::out | std::ios::binary);
  auto octets = [&](long at, int n) {
    unsigned char b[4] = {0, 0, 0, 0};
    f.seekg(at);
    f.read(reinterpret_cast<char*>(b), n);
    unsigned long v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | b[i];
    return static_cast<long>(v);
  };
  // Down the right-most child pointers of the interior pages (type 5) to a leaf (13).
  while (octets((page - 1) * size, 1) == 0x05) page = octets((page - 1) * size + 8, 4);
  ASSERT_EQ(octets((page - 1) * size, 1), 0x0d);
  f.seekp((page - 1) * size);
  f.put('\x42');
}

// On the embedded store, whose file the tests damage past the tool.
class RecordCommandTest : public ToolStoreTest {};

// Records of every kind, each command a new process. A record of a class without a table
// of its own keeps every attribute, in the order written; its class comes from its
// objectClass attribute.
TEST_P(RecordCommandTest, WriteShowUpdateDeleteInNewProcesses) {
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
  w = Run({"write", "7", "3", "1.3.6.1.4.1.32473.7.1", "notificationIdentifier=9",
           "additionalText=\"first\"", "sourceIndicator=unknown"});
  ASSERT_EQ(w.status, 0) << w.err;
  ASSERT_EQ(Run({"write", "7", "4", "alarmRecord", "perceivedSeverity=major"}).status, 0);
  s = Run({"show", "7", "3"});
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
  EXPECT_NE(all.out.find("\"class\": \"stateChangeRecord\""), std::string::npos) << all.out;
  EXPECT_NE(all.out.find("{\"logRecordId\": 4, \"class\": \"alarmRecord\", \"attributes\": "
                         "{\"perceivedSeverity\": \"major\", \"objectClass\": "
                         "\"globalForm:alarmRecord\"}}"),
            std::string::npos)
      << all.out;
  for (const char* id : {"1", "3"}) {
    ASSERT_EQ(Run({"delete", "7", id}).status, 0);
    EXPECT_EQ(Run({"show", "7", id}).status, 1);
    EXPECT_EQ(Run({"delete", "7", id}).status, 1);
  }
}

TEST_P(RecordCommandTest, BadInputIsRefusedWithItsExitStatus) {
  ASSERT_EQ(Run({"create-log", "7"}).status, 0);
  // A time that is no real time is refused as text, as any other bad value.
  ExpectRefusals({
      {{"write", "7", "1"}, 2, ""},
      {{"write", "7", "x", "objectCreationRecord"}, 2, ""},
      {{"write", "7", "1", "objectCreationRecord", "noSuchAttribute=1"}, 1, ""},
      {{"write", "7", "1", "objectCreationRecord", "sourceIndicator=42x"}, 1, ""},
      {{"write", "8", "1", "objectCreationRecord"}, 1, ""},  // no such log
      {{"write", "7", "1", "objectCreationRecord", "eventTime=\"20240230101500Z\""},
       1,
       "not a value of eventTime: at 0: expected a quoted time"},
      {{"show", "7", "1"}, 1, ""},  // nothing was written
  });
}

// A listing that breaks off (a damaged page) is a failure with its reason, never a
// shorter log: exit status 1, and the JSON list is not closed.
TEST_P(RecordCommandTest, ListingThatBreaksOffFailsWithTheReason) {
  ASSERT_EQ(Run({"create-log", "7"}).status, 0);
  std::string text(3000, 'x');
  for (int id = 1; id <= 12; ++id) {
    ASSERT_EQ(Run({"write", "7", std::to_string(id), "objectCreationRecord",
                   "additionalText=\"" + text + "\""})
                  .status,
              0);
  }
  ASSERT_EQ(Run({"records", "7"}).status, 0);
  DamageLastLeafPage(dir_.file("store.db"), "qxi%obcre");
  ToolResult all = Run({"records", "7"});
  EXPECT_EQ(all.status, 1);
  EXPECT_NE(all.err.find("malformed"), std::string::npos) << all.err;
  ToolResult json = Run({"records", "7", "--json"});
  EXPECT_EQ(json.status, 1);
  EXPECT_EQ(json.out.find("]"), std::string::npos) << json.out.substr(json.out.size() - 40);
}

// A record table dropped outside the library: the log is reported damaged, naming the
// table, and is not read as empty; it can still be deleted.
TEST_P(RecordCommandTest, MissingRecordTableIsReportedNotListedAsEmpty) {
  ASSERT_EQ(Run({"create-log", "7"}).status, 0);
  ASSERT_EQ(Run({"write", "7", "1", "objectCreationRecord"}).status, 0);
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(dir_.file("store.db").c_str(), &db), SQLITE_OK);
  std::string table;
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE name LIKE 'qxi%obcre'", -1,
                               &st, nullptr),
            SQLITE_OK);
  if (sqlite3_step(st) == SQLITE_ROW)
    table = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
  sqlite3_finalize(st);
  ASSERT_EQ(sqlite3_exec(db, ("DROP TABLE " + table).c_str(), nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(db);
  ToolResult r = Run({"records", "7"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("damaged"), std::string::npos) << r.err;
  std::string err = r.err;
  for (char& c : err) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  EXPECT_NE(err.find(table), std::string::npos) << r.err;  // names are folded in the store
  EXPECT_EQ(Run({"write", "7", "2", "objectCreationRecord"}).status, 1);
  EXPECT_EQ(Run({"delete-log", "7"}).status, 0);
  EXPECT_EQ(Run({"records", "7"}).status, 1);
}

// The hex text of a SEQUENCE nested `depth` levels around an INTEGER (depth 1).
std::string NestedHex(int depth) {
  std::string hex = "020105";
  for (int d = 2; d <= depth; ++d) {
    size_t n = hex.size() / 2;
    char len[8];
    std::snprintf(len, sizeof len, n < 128 ? "%02zx" : "81%02zx", n);
    hex = "30" + std::string(len) + hex;
  }
  return hex;
}

// One limit for writing and reading: a value the record could not be read back with
// (the list, the pair and the attribute's own levels around it) is refused at write
// with its reason, and the log's records still list.
TEST_P(RecordCommandTest, ValueNestedTooDeeplyForTheStoreIsRefused) {
  ASSERT_EQ(Run({"create-log", "7"}).status, 0);
  // additionalInformation {{identifier, significance, information [2] ANY}}: the
  // stored blob holds the information five levels down.
  auto info = [](int depth) {
    return "additionalInformation={{identifier 1.2.3, significance FALSE, information <" +
           NestedHex(depth) + ">}}";
  };
  ToolResult deepest = Run({"write", "7", "1", "objectCreationRecord", info(59)});
  ASSERT_EQ(deepest.status, 0) << deepest.err;
  ToolResult deeper = Run({"write", "7", "2", "objectCreationRecord", info(60)});
  EXPECT_EQ(deeper.status, 1);
  EXPECT_NE(deeper.err.find("nesting deeper than 64 levels"), std::string::npos) << deeper.err;
  EXPECT_EQ(Run({"show", "7", "1"}).status, 0);
  EXPECT_EQ(Run({"show", "7", "2"}).status, 1);
  ToolResult all = Run({"records", "7"});
  EXPECT_EQ(all.status, 0) << all.err;
}

// What the tool accepted reads back as it was written: an event type longer than its
// column, a notification identifier its column cannot hold. An update with a value its
// column cannot hold fails and changes nothing.
TEST_P(RecordCommandTest, AcceptedValuesReadBackAsWritten) {
  ASSERT_EQ(Run({"create-log", "7"}).status, 0);
  std::string dotted = "1.2";
  while (dotted.size() < 300) dotted += ".123456789";
  ToolResult w = Run({"write", "7", "1", "objectCreationRecord", "eventType=globalForm:" + dotted,
                      "notificationIdentifier=-1"});
  ASSERT_EQ(w.status, 0) << w.err;
  ToolResult s = Run({"show", "7", "1"});
  ASSERT_EQ(s.status, 0) << s.err;
  EXPECT_NE(s.out.find("eventType: globalForm:" + dotted + "\n"), std::string::npos) << s.out;
  EXPECT_NE(s.out.find("notificationIdentifier: -1\n"), std::string::npos) << s.out;
  EXPECT_EQ(Run({"update", "7", "1", "notificationIdentifier=-2"}).status, 1);
  EXPECT_EQ(Run({"update", "7", "1", "notificationIdentifier=3"}).status, 0);
  s = Run({"show", "7", "1"});
  EXPECT_NE(s.out.find("notificationIdentifier: 3\n"), std::string::npos) << s.out;
  EXPECT_NE(s.out.find("eventType: globalForm:" + dotted + "\n"), std::string::npos) << s.out;
}

INSTANTIATE_TEST_SUITE_P(Store, RecordCommandTest, ::testing::Values("sqlite"),
                         [](const auto& store) { return store.param; });

}  // namespace
}  // namespace qx::test
