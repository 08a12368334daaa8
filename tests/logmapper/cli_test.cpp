// The command line itself: help for the tool and every command, the version, usage
// errors (exit 2, nothing on standard output), and input limits.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

#include "tests/logmapper/tool_runner.h"

namespace qx::test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// The commands that `logmapper --help` lists.
std::vector<std::string> ListedCommands() {
  ToolResult help = RunTool({"--help"});
  EXPECT_EQ(help.status, 0);
  std::vector<std::string> names;
  std::istringstream lines(help.out);
  std::string line;
  bool in_list = false;
  while (std::getline(lines, line)) {
    if (line == "commands:") {
      in_list = true;
    } else if (line.empty()) {
      in_list = false;
    } else if (in_list) {
      names.push_back(line.substr(2, line.find(' ', 2) - 2));
    }
  }
  return names;
}

TEST(CommandLineTest, EveryCommandIsListedAndHasItsOwnHelp) {
  std::vector<std::string> listed = ListedCommands();
  std::set<std::string> names(listed.begin(), listed.end());
  for (const char* c : {"ack", "alarms", "asn1", "clear", "clear-all", "create-log", "delete",
                        "delete-log", "demo", "enforce", "export", "history", "import", "logs",
                        "purge", "records", "show", "status", "update", "value", "write"}) {
    EXPECT_EQ(names.count(c), 1u) << c;
  }
  for (const std::string& c : listed) {
    for (const char* flag : {"--help", "-h"}) {
      ToolResult r = RunTool({c, flag});
      EXPECT_EQ(r.status, 0) << c;
      EXPECT_THAT(r.out, StartsWith("usage: logmapper [--db URL] " + c)) << c;
      EXPECT_THAT(r.out, HasSubstr("\noptions:\n")) << c;
      EXPECT_EQ(r.err, "") << c;
    }
  }
  // Help wins over arguments that would be wrong.
  EXPECT_EQ(RunTool({"show", "--help", "extra", "args", "too"}).status, 0);
}

TEST(CommandLineTest, VersionIsTheLibrarys) {
  ToolResult r = RunTool({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(std::regex_match(r.out, std::regex("logmapper [0-9]+\\.[0-9]+\\.[0-9]+\n"))) << r.out;
}

TEST(CommandLineTest, BadInvocationsAreUsageErrors) {
  std::vector<std::vector<std::string>> cases = {
      {"--db", "", "logs"},
      {"--db=", "logs"},
      {"--db"},
      {"--nope", "logs"},
      {},
      {"no-such-command"},
      {"show", "7"},
      {"show", "7", "1", "2"},
      {"show", "7", "1", "--nope"},
      {"show", "7", "1", "--json=yes"},
      {"show", "7", "x"},
      {"show", "7", "-1"},
      {"show", "7", "2147483648"},
      {"logs", "--json", "--json"},
      {"asn1", "--attr"},
      {"asn1", "--bogus"},
      {"asn1", "a", "b"},
      {"value", "probableCause"},
      {"write", "7", "1", "objectCreationRecord", "noEquals"},
      {"export", "7", "--format", "xml"},
      {"export", "7", "--since", "yesterday"},
      {"import", "7"},
      {"demo", "--logs", "0"},
      {"demo", "--records", "many"},
  };
  for (const auto& args : cases) {
    ToolResult r = RunTool(args);
    std::string shown;
    for (const auto& a : args) shown += " [" + a + "]";
    EXPECT_EQ(r.status, 2) << shown << "\n" << r.err;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_THAT(r.err, StartsWith("logmapper: ")) << shown;
    EXPECT_THAT(r.err, HasSubstr("\nusage: logmapper")) << shown;
  }
}

TEST(CommandLineTest, Asn1InputHasAStatedLimit) {
  ScratchDir dir;
  std::string big(64u << 20, '\0');
  big[0] = 0x04;  // an OCTET STRING header would claim far less; the size alone decides
  WriteFile(dir.file("big"), big + "x");
  ToolResult r = RunTool({"asn1", dir.file("big")});
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_THAT(r.err, HasSubstr("larger than 64 MiB"));
  EXPECT_THAT(RunTool({"asn1", "--help"}).out, HasSubstr("64 MiB"));
}

}  // namespace
}  // namespace qx::test
