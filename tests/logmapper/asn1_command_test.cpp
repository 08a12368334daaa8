// logmapper asn1: known octets in, the structure out as text or JSON; bad
// input exits 1 with one line naming the offset. logmapper value NAME TEXT writes
// the encoding of TEXT; asn1 --attr NAME prints an encoding in the value notation;
// the two compose.

#include <gtest/gtest.h>

#include <algorithm>

#include "bench/alarm_attributes.h"
#include "tests/logmapper/tool_runner.h"
#include "tests/value/ber_test_util.h"

using namespace qx::test;

class Asn1CommandTest : public ::testing::Test {
 protected:
  static ToolResult Asn1(const std::string& hex, std::vector<std::string> args = {}) {
    args.insert(args.begin(), "asn1");
    return RunTool(args, Bytes(hex));
  }
  static int Lines(const std::string& s) {
    return static_cast<int>(std::count(s.begin(), s.end(), '\n'));
  }
};

TEST_F(Asn1CommandTest, TextShowsEveryElement) {
  ToolResult r = Asn1(
      "30 80 a6 03 02 01 05 1a 02 4f 4b 05 00 01 01 ff 18 0f"
      "32 30 32 36 30 34 30 31 31 32 30 30 30 30 5a 00 00");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "universal 16 constructed length 31\n"
            "  context 6 constructed length 3\n"
            "    universal 2 primitive length 1 hex 05 integer 5\n"
            "  universal 26 primitive length 2 hex 4f4b string \"OK\"\n"
            "  universal 5 primitive length 0 null\n"
            "  universal 1 primitive length 1 hex ff boolean true\n"
            "  universal 24 primitive length 15 hex 32303236303430313132303030305a time "
            "\"20260401120000Z\"\n");
}

TEST_F(Asn1CommandTest, JsonHasTheFixedShape) {
  ToolResult r = Asn1("31 0a 30 08 06 03 55 04 03 84 01 ab", {"--json"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "{\"class\": \"universal\", \"tag\": 17, \"constructed\": true, \"length\": 10, "
            "\"components\": [{\"class\": \"universal\", \"tag\": 16, \"constructed\": true, "
            "\"length\": 8, \"components\": [{\"class\": \"universal\", \"tag\": 6, "
            "\"constructed\": false, \"length\": 3, \"hex\": \"550403\"}, {\"class\": "
            "\"context\", \"tag\": 4, \"constructed\": false, \"length\": 1, \"hex\": "
            "\"ab\"}]}]}\n");
  r = Asn1("df 8f ff ff ff 7f 00", {"--json"});
  EXPECT_EQ(r.out,
            "{\"class\": \"private\", \"tag\": 4294967295, \"constructed\": false, \"length\": 0, "
            "\"hex\": \"\"}\n");
  r = Asn1("7f 81 00 00", {"--json"});
  EXPECT_EQ(r.out,
            "{\"class\": \"application\", \"tag\": 128, \"constructed\": true, "
            "\"length\": 0, \"components\": []}\n");
}

TEST_F(Asn1CommandTest, BadInputExitsOneWithOneLine) {
  struct {
    const char* hex;
    const char* err;
  } cases[] = {
      {"", "logmapper: asn1: offset 0: unexpected end: identifier octets expected\n"},
      {"30 05 02 01", "logmapper: asn1: offset 1: length 5 exceeds the 2 octets available\n"},
      {"02 01 05 00", "logmapper: asn1: offset 3: 1 octets after the element\n"},
      {"30 80 02 01 05",
       "logmapper: asn1: offset 5: missing end-of-contents of the element at offset 0\n"},
      {"1f 90 80 80 80 00 00", "logmapper: asn1: offset 1: tag number beyond 32 bits\n"},
  };
  for (const auto& c : cases) {
    for (bool json : {false, true}) {
      ToolResult r =
          Asn1(c.hex, json ? std::vector<std::string>{"--json"} : std::vector<std::string>{});
      EXPECT_EQ(r.status, 1) << c.hex;
      EXPECT_EQ(r.out, "") << c.hex;
      EXPECT_EQ(r.err, c.err);
    }
  }
}

TEST_F(Asn1CommandTest, Files) {
  ScratchDir dir;
  WriteFile(dir.file("v.ber"), Bytes("02 01 2a"));
  ToolResult r = RunTool({"asn1", dir.file("v.ber")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "universal 2 primitive length 1 hex 2a integer 42\n");
  r = RunTool({"--db", "sqlite::memory:", "asn1", "-"}, Bytes("05 00"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "universal 5 primitive length 0 null\n");

  r = RunTool({"asn1", dir.file("missing.ber")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(Lines(r.err), 1);
  EXPECT_NE(r.err.find("missing.ber"), std::string::npos);
}

// The sample the README's main job decodes is the benchmark's attribute list.
TEST_F(Asn1CommandTest, SampleDecodes) {
  std::string sample =
      ReadFile(std::string(LOGMAPPER_SOURCE_DIR) + "/samples/alarm-attributes.ber");
  EXPECT_EQ(sample, qx::sample::AlarmAttributes().to_data_unit().str());
  ToolResult r =
      RunTool({"asn1", std::string(LOGMAPPER_SOURCE_DIR) + "/samples/alarm-attributes.ber"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("    context 6 primitive length 5 hex 5903020a02\n"), std::string::npos);
  EXPECT_NE(r.out.find("oid 2.9.3.2.7.14\n"), std::string::npos);
  EXPECT_EQ(Lines(r.out), 86);
}

class ValueCommandTest : public ::testing::Test {
 protected:
  static ToolResult Value(const std::string& name, const std::string& text) {
    return RunTool({"value", name, text});
  }
  // value NAME TEXT piped into asn1 --attr NAME.
  static ToolResult RoundTrip(const std::string& name, const std::string& text) {
    ToolResult encoded = Value(name, text);
    EXPECT_EQ(encoded.status, 0) << encoded.err;
    return RunTool({"asn1", "--attr", name}, encoded.out);
  }
};

// value writes the encoding (the attribute by name or dotted identifier alike), and
// asn1 --attr reads it back to the text given.
TEST_F(ValueCommandTest, WritesTheEncodingThatAsn1AttrReadsBack) {
  ToolResult r = Value("probableCause", "globalValue:powerProblem");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Hex(r.out), "0606590302000023");
  EXPECT_EQ(Value("2.9.3.2.7.18", "globalValue:powerProblem").out, r.out);
  for (const char* text : {"globalValue:powerProblem", "localValue:-3", "<3003020101>"}) {
    r = RoundTrip("probableCause", text);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::string(text) + "\n");
  }
  r = RoundTrip("managedObjectInstance", "distinguishedName:/systemId=\"ne-17\"/logId=3");
  EXPECT_EQ(r.out, "distinguishedName:/systemId=\"ne-17\"/logId=3\n");
  r = RunTool({"asn1", "--json", "--attr", "additionalText"}, Bytes("1903 61 22 62"));
  EXPECT_EQ(r.out, "\"\\\"a\\\\\\\"b\\\"\"\n");
}

TEST_F(ValueCommandTest, Failures) {
  ToolResult r = Value("probableCause", "globalValue:powerProblm");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "logmapper: value: not a value of probableCause: at 12: expected a registered "
            "identifier name (unknown: powerProblm)\n");
  r = Value("powerProblem", "1");  // a name, but not of an attribute
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "logmapper: value: no attribute named powerProblem\n");
  EXPECT_EQ(RunTool({"asn1", "--attr", "nothing"}, Bytes("0201 01")).status, 1);
}
