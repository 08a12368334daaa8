// logmapper value NAME TEXT writes the encoding of TEXT; logmapper asn1
// --attr NAME prints an encoding in the value notation; the two compose.

#include <gtest/gtest.h>

#include "tests/logmapper/tool_runner.h"
#include "tests/value/ber_test_util.h"

using namespace qx::test;

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

TEST_F(ValueCommandTest, WritesTheEncoding) {
  ToolResult r = Value("probableCause", "globalValue:powerProblem");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Hex(r.out), "0606590302000023");
  // The attribute by dotted identifier works the same.
  EXPECT_EQ(Value("2.9.3.2.7.18", "globalValue:powerProblem").out, r.out);
}

TEST_F(ValueCommandTest, ComposesWithAsn1Attr) {
  for (const char* text : {"globalValue:powerProblem", "localValue:-3", "<3003020101>"}) {
    ToolResult r = RoundTrip("probableCause", text);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::string(text) + "\n");
  }
  ToolResult r =
      RoundTrip("managedObjectInstance", "distinguishedName:/systemId=\"ne-17\"/logId=3");
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
