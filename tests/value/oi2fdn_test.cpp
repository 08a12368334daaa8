// Distinguished names of object instances (oi2fdn and back), and reading
// values through Morf as the mapper reads its formatted columns.

#include <gtest/gtest.h>

#include "platform/value/morf.h"
#include "platform/value/oi2fdn.h"
#include "tests/value/ber_test_util.h"

namespace qx::test {
namespace {

Asn1Value Null() {
  Asn1Value a;
  a.encode_null();
  return a;
}

Asn1Value Ava(const char* attr, const Asn1Value& v) { return Cons(TAG_SEQ, OidValue(attr), v); }

class Fdn : public ::testing::Test {
 protected:
  // Checks the text of an instance and that it reads back exactly.
  static void Both(const Asn1Value& oi, const std::string& text) {
    EXPECT_EQ(oi2fdn(oi), text);
    Asn1Value back;
    std::string error;
    EXPECT_TRUE(fdn2oi(text, back, &error)) << text << ": " << error;
    EXPECT_EQ(Hex(back), Hex(oi)) << text;
  }
};

TEST_F(Fdn, DistinguishedNameText) {
  // systemId is a CHOICE; inside a name the alternative is left out where
  // the value's form tells it.
  Both(Cons(TAG_CTX2, Cons(TAG_SET, Ava("2.9.3.2.7.4", Str("ne-17", TAG_GRAPHSTR))),
            Cons(TAG_SET, Ava("2.9.3.2.7.2", Int(3)))),
       "/systemId=\"ne-17\"/logId=3");
  Both(Cons(TAG_CTX2, Cons(TAG_SET, Ava("2.9.3.2.7.4", Null()))), "/systemId=NULL");
  Both(Cons(TAG_CTX2), "/");
}

TEST_F(Fdn, SeveralAttributesAndUnknownAttributes) {
  Both(Cons(TAG_CTX2, Cons(TAG_SET, Ava("2.9.3.2.7.2", Str("a/b+c=\"d\"", TAG_GRAPHSTR)),
                           Ava("2.9.3.2.7.1", Int(-4)))),
       "/logId=\"a/b+c=\\\"d\\\"\"+discriminatorId=-4");
  // An attribute without a name or type keeps its value exactly.
  Both(Cons(TAG_CTX2, Cons(TAG_SET, Ava("0.0.13.3100.0.7.25", Str("shelf-3", TAG_PRINTSTR))),
            Cons(TAG_SET, Ava("1.2.3", Str("x", TAG_GRAPHSTR)))),
       "/0.0.13.3100.0.7.25=<13077368656C662D33>/1.2.3=\"x\"");
}

TEST_F(Fdn, OtherFormsAndMalformedNames) {
  Both(Str("abc", TAG_CTX3), "nonSpecificForm:\"abc\"");
  Both(Cons(TAG_CTX4, Cons(TAG_SET, Ava("2.9.3.2.7.2", Int(3)))),
       "localDistinguishedName:/logId=3");
  // A relative name without attributes is no name: generic form.
  Both(Cons(TAG_CTX2, Cons(TAG_SET)), "distinguishedName:<A2023100>");
  Both(Int(5), "<020105>");
  EXPECT_EQ(oi2fdn(Asn1Value()), "");
}

TEST_F(Fdn, MalformedTextIsRefused) {
  for (const char* bad : {"/systemId", "/systemId=", "/unknownName=1", "/logId=3/", "/logId=3 x",
                          "//", "/logId=name:\"x\""}) {
    Asn1Value out;
    std::string error;
    EXPECT_FALSE(fdn2oi(bad, out, &error)) << bad;
    EXPECT_FALSE(out);
    EXPECT_NE(error.find("at "), std::string::npos) << bad;
  }
}

TEST(MorfTest, SyntaxByNameAndParsing) {
  Morf syntax("probableCause", Platform::def_platform);
  ASSERT_TRUE(syntax.valid());
  ASSERT_TRUE(syntax.get_syntax().valid());
  Morf value(syntax.get_syntax(), DataUnit("globalValue:powerProblem"));
  ASSERT_TRUE(value.valid()) << value.error();
  EXPECT_EQ(Hex(value.get_value()), Hex(OidValue("2.9.3.2.0.0.35")));

  Morf bad(syntax.get_syntax(), DataUnit("globalValue:"));
  EXPECT_FALSE(bad.valid());
  EXPECT_FALSE(bad.get_value());
  EXPECT_NE(bad.error().find("at 12"), std::string::npos);
}

TEST(MorfTest, OnlyAttributesHaveSyntaxes) {
  EXPECT_TRUE(Morf("2.9.3.2.7.18", Platform::def_platform).valid());
  EXPECT_TRUE(Morf("clearText", Platform::def_platform).valid());
  // An attribute without a type of its own reads generic values.
  Morf counter("octetsSentCounter", Platform::def_platform);
  ASSERT_TRUE(counter.valid());
  EXPECT_TRUE(Morf(counter.get_syntax(), DataUnit("<020105>")).valid());
  // Names of other things, and no names, give no syntax.
  for (const char* name : {"powerProblem", "qxAlarmRecord", "2.9.3.2.3.8", "nothing", ""}) {
    Morf m(name, Platform::def_platform);
    EXPECT_FALSE(m.valid()) << name;
    EXPECT_FALSE(m.get_syntax().valid());
    EXPECT_FALSE(Morf(m.get_syntax(), DataUnit("1")).valid());
  }
}

}  // namespace
}  // namespace qx::test
