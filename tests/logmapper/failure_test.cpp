// Failures of the tool say why, in one line on standard error, with the reason the
// library or the database gave; standard output carries nothing else. Commands that
// only read never create a store, and can read one they may not write.
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "tests/logmapper/tool_store.h"

namespace qx::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

class ToolFailureTest : public ToolStoreTest {};

TEST_P(ToolFailureTest, FailuresSayWhy) {
  std::string log = Log("7");
  ASSERT_EQ(Run({"create-log", log}).status, 0);
  ASSERT_EQ(Run({"write", log, "1", "objectCreationRecord"}).status, 0);
  ExpectRefusals({
      {{"create-log", std::string(1100, 'n')}, 1, "log name too long"},
      {{"create-log", Log(std::string(300, 'n'))}, 1, "holds at most 254 characters"},
      {{"create-log", Log("bad\xff\xfename")}, 1, "not UTF-8"},
      {{"create-log", log}, 1, "exists already"},
      {{"delete", log, "4"}, 1, "no record 4 in log " + log},
      {{"update", log, "4", "notificationIdentifier=1"}, 1, "no record 4"},
      {{"show", Log("8"), "1"}, 1, "no log " + Log("8") + " is stored"},
      {{"show", log, "2"}, 1, "no record 2"},
      {{"write", log, "2", "noSuchClass"}, 1, "no record class"},
  });
}

TEST_P(ToolFailureTest, UnusableStoreNamesSayWhatIsWrong) {
  ToolResult r = RunTool({"--db", "postgresql://u:s%zzcret@h/d", "logs"});
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("invalid percent-encoded token"));
  EXPECT_THAT(r.err, Not(HasSubstr("cret")));
  r = RunTool({"--db", "mysql://h/d", "logs"});
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("expected sqlite:PATH"));
  r = RunTool({"--db", "sqlite:/nonexistent-dir/x.db", "create-log", "1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("unable to open database file"));
}

TEST_P(ToolFailureTest, AFullDiskSaysSo) {
  if (postgres()) GTEST_SKIP() << "a file size limit reaches only the embedded store";
  ASSERT_EQ(Run({"create-log", "1"}).status, 0);
  // Writes past 50 KiB fail (EFBIG) instead of ending the process.
  ToolResult r = RunToolWith("trap '' XFSZ; ulimit -f 100;", {"--db", url_, "create-log", "2"});
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("log 2 not created: "));
  EXPECT_THAT(r.err, HasSubstr("disk"));
  EXPECT_EQ(r.out, "");
}

TEST_P(ToolFailureTest, ReadingCommandsCreateNoStore) {
  if (postgres()) GTEST_SKIP() << "an embedded store only";
  std::string path = dir_.file("missing.db");
  for (std::vector<std::string> args : {std::vector<std::string>{"logs"},
                                        {"records", "7"},
                                        {"show", "7", "1"},
                                        {"status"},
                                        {"export", "7"}}) {
    args.insert(args.begin(), {"--db", "sqlite:" + path});
    ToolResult r = RunTool(args);
    EXPECT_EQ(r.status, 1) << args[2];
    EXPECT_THAT(r.err, HasSubstr("no store at " + path)) << args[2];
    EXPECT_NE(access(path.c_str(), F_OK), 0) << args[2] << " created the store";
  }
}

TEST_P(ToolFailureTest, AStoreThatCannotBeWrittenCanBeRead) {
  if (postgres()) GTEST_SKIP() << "an embedded store only";
  // The store in a folder of its own; the file and the folder read-only to the reader
  // (a user other than root, who may write anything).
  std::string folder = dir_.file("ro");
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  std::string url = "sqlite:" + folder + "/store.db";
  ASSERT_EQ(RunTool({"--db", url, "create-log", "7"}).status, 0);
  ASSERT_EQ(RunTool({"--db", url, "write", "7", "1", "objectCreationRecord"}).status, 0);
  std::string as_reader;
  if (geteuid() == 0) {
    if (system("command -v setpriv >/dev/null") != 0) GTEST_SKIP() << "no setpriv";
    as_reader = "setpriv --reuid=65534 --regid=65534 --clear-groups";
    if (system((as_reader + " test -x " + ShellQuote(LOGMAPPER_BIN)).c_str()) != 0) {
      GTEST_SKIP() << "the tool lies where another user cannot run it";
    }
    chmod(dir_.file("").c_str(), 0755);
  }
  chmod((folder + "/store.db").c_str(), 0444);
  chmod(folder.c_str(), 0555);
  ToolResult r = RunToolWith(as_reader, {"--db", url, "records", "7", "--json"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("\"logRecordId\": 1"));
  EXPECT_EQ(RunToolWith(as_reader, {"--db", url, "status"}).status, 0);
  r = RunToolWith(as_reader, {"--db", url, "write", "7", "2", "objectCreationRecord"});
  EXPECT_EQ(r.status, 1);
  EXPECT_THAT(r.err, HasSubstr("readonly"));
  chmod(folder.c_str(), 0755);
}

TEST_P(ToolFailureTest, StatusNamesTheStoreWithoutItsPassword) {
  std::string url = url_;
  if (postgres()) {
    // The test cluster trusts its users: a password in the URL is accepted and unused.
    size_t at = url.find('@');
    ASSERT_NE(at, std::string::npos);
    url.insert(at, ":s3cretpw");
  }
  ASSERT_EQ(RunTool({"--db", url, "create-log", Log("9")}).status, 0);
  ToolResult r = RunTool({"--db", url, "status"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("store: " + (postgres() ? url_ : url) + "\n"));
  EXPECT_THAT(r.out, HasSubstr(postgres() ? "server: POSTGRESQL\n" : "server: SQLITE\n"));
  EXPECT_THAT(r.out, Not(HasSubstr("s3cretpw")));
  r = RunTool({"--db", url, "status", "--json"});
  EXPECT_THAT(r.out, HasSubstr(Log("9") + (postgres() ? "\\\"" : "") + "\", \"records\": 0, "));
  EXPECT_THAT(r.out, Not(HasSubstr("s3cretpw")));
}

// Another process creates and deletes logs while status runs: a log that goes between
// status's list of logs and its count of the log's records is left out, not a failure.
TEST_P(ToolFailureTest, StatusOutlivesALogDeletedWhileItRuns) {
  ASSERT_EQ(Run({"create-log", Log("kept")}).status, 0);
  std::atomic<bool> done{false};
  std::thread churn([&] {
    for (int i = 0; i < 15; ++i) {
      std::string log = Log("gone" + std::to_string(i));
      Run({"create-log", log});
      Run({"write", log, "1", "objectCreationRecord"});
      Run({"delete-log", log});
    }
    done = true;
  });
  int runs = 0;
  while (!done) {
    ToolResult r = Run({"status", "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr(Log("kept")));
    ++runs;
  }
  churn.join();
  EXPECT_GT(runs, 1);
}

QX_TOOL_STORE_TESTS(ToolFailureTest);

}  // namespace
}  // namespace qx::test
