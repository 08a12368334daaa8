// The value notation on chosen values: the forms people read in the
// formatted columns and type into the tool, the generic form, the format
// flags, refused text, and the mapper's calls (lookup_type, format_value).

#include <gtest/gtest.h>

#include <cstring>

#include "platform/value/asn1_type.h"
#include "platform/value/attribute_type_registry.h"
#include "platform/value/oid_name_registry.h"
#include "platform/value/value_notation.h"
#include "tests/value/ber_test_util.h"

namespace qx::test {
namespace {

Asn1Value Null(Asn1Tag t = TAG_NULL) {
  Asn1Value a;
  a.encode_null(t);
  return a;
}

Asn1Value Enum(long v) {
  Asn1Value a;
  a.encode_enum(v);
  return a;
}

class ValueNotation : public ::testing::Test {
 protected:
  static Oid Attr(const char* name) {
    Oid oid;
    EXPECT_TRUE(OidNameRegistry::find_oid_by_name(name, oid)) << name;
    return oid;
  }
  static std::string Format(const char* attr, const Asn1Value& v, unsigned flags = FORMAT_NAMES) {
    EXPECT_TRUE(v);
    return format_attribute(Attr(attr), v, flags);
  }
  // The encoding (hex) of a text; "" when refused.
  static std::string Parse(const char* attr, const std::string& text) {
    Asn1Value v;
    std::string error;
    if (!parse_attribute(Attr(attr), text, v, &error)) return "";
    return Hex(v);
  }
  // Why a text is refused ("" when accepted). Refusing raises nothing.
  static std::string Refusal(const char* attr, const std::string& text) {
    Asn1Value v;
    std::string error;
    if (parse_attribute(Attr(attr), text, v, &error)) return "";
    EXPECT_FALSE(v);
    EXPECT_FALSE(Exception::pending());
    return error;
  }
  // Checks the text of v and that the text reads back to v.
  static void Both(const char* attr, const Asn1Value& v, const std::string& text) {
    EXPECT_EQ(Format(attr, v), text) << attr;
    EXPECT_EQ(Parse(attr, text), Hex(v)) << attr << " " << text;
  }
};

// Choices print as alternative:value; the platform's own attributes by their names.
TEST_F(ValueNotation, ChoicesAndPlatformAttributesPrintAndReadBack) {
  const struct {
    const char* attr;
    Asn1Value value;
    const char* text;
  } cases[] = {
      {"probableCause", OidValue("2.9.3.2.0.0.35"), "globalValue:powerProblem"},
      {"probableCause", Int(58), "localValue:58"},
      {"eventType", OidValue("2.9.3.2.10.2", TAG_CTX6), "globalForm:communicationsAlarm"},
      {"eventType", Int(7, TAG_CTX7), "localForm:7"},
      {"stopTime", Null(), "continual:NULL"},
      {"ackState", Enum(1), "acked"},
      {"clearState", Enum(0), "unCleared"},
      {"displayState", Enum(1), "displayed"},
      {"clearTime", Cons(TAG_CTX0, Str("20240131120000Z", TAG_GENTIME)),
       "time:\"20240131120000Z\""},
      {"clearTime", Cons(TAG_CTX1, Null()), "noTime:NULL"},
      {"ackOperator", Str("alice", TAG_GRAPHSTR), "\"alice\""},
      {"mosiStateID", Int(-1), "-1"},
      {"transportDomain", OidValue("1.3.6.1.6.1.1"), "1.3.6.1.6.1.1"},
  };
  for (const auto& c : cases) Both(c.attr, c.value, c.text);
}

TEST_F(ValueNotation, IdentifiersAndNamedNumbersFollowTheNamesFlag) {
  Asn1Value cause = OidValue("2.9.3.2.0.0.35");
  EXPECT_EQ(Format("probableCause", cause, 0), "globalValue:2.9.3.2.0.0.35");
  EXPECT_EQ(Format("probableCause", cause, 19), "globalValue:powerProblem");
  EXPECT_EQ(Format("perceivedSeverity", Enum(2), 0), "2");
  EXPECT_EQ(Format("perceivedSeverity", Enum(2), 1), "major");
  // Names and numbers both read back, whatever the flags were.
  EXPECT_EQ(Parse("probableCause", "globalValue:2.9.3.2.0.0.35"), Hex(cause));
  EXPECT_EQ(Parse("perceivedSeverity", "2"), Hex(Enum(2)));
  // A number without a name prints as the number.
  EXPECT_EQ(Format("perceivedSeverity", Enum(9)), "9");
  // An identifier without a name prints dotted.
  Both("probableCause", OidValue("1.2.840.99999"), "globalValue:1.2.840.99999");
}

TEST_F(ValueNotation, StringsAreQuotedWithEscapes) {
  Both("additionalText",
       Str(std::string("a\"\\\n\t\xff\x7f"
                       "b"),
           TAG_GRAPHSTR),
       "\"a\\\"\\\\\\n\\t\\xFF\\x7Fb\"");
  Both("additionalText", Str("", TAG_GRAPHSTR), "\"\"");
  // OCTET STRING: quoted when printable, hex otherwise.
  Both("accessControlInfo", Str("public"), "\"public\"");
  Both("accessControlInfo", Str(std::string("\0\xff\x10", 3)), "'00FF10'H");
  EXPECT_EQ(Parse("accessControlInfo", "'00ff10'H"), Hex(Str(std::string("\0\xff\x10", 3))));
}

TEST_F(ValueNotation, EveryEscapeIsFoundWhereverItStandsInALongString) {
  // Long strings are scanned several octets at a time: an octet needing an
  // escape must be caught in any position, next to the printable ones at the
  // edges of the range (space, '~').
  const std::pair<char, const char*> cases[] = {
      {'"', "\\\""},     {'\\', "\\\\"},    {'\n', "\\n"},   {'\x1f', "\\x1F"}, {'\x7f', "\\x7F"},
      {'\x80', "\\x80"}, {'\xff', "\\xFF"}, {'\0', "\\x00"}, {' ', " "},        {'~', "~"}};
  for (const auto& [octet, text] : cases) {
    for (size_t pos = 0; pos < 20; ++pos) {
      std::string s(20, 'a');
      s[pos] = octet;
      std::string expected = "\"" + s.substr(0, pos) + text + s.substr(pos + 1) + "\"";
      EXPECT_EQ(Format("additionalText", Str(s, TAG_GRAPHSTR)), expected) << pos;
    }
  }
}

TEST_F(ValueNotation, StructuresPrintWithBraces) {
  Both("specificProblems", Cons(TAG_SET, OidValue("1.2.3"), Int(5)), "{oi:1.2.3, int:5}");
  Both("specificProblems", Cons(TAG_SET), "{}");
  Both("attributeList",
       Cons(TAG_SET, Cons(TAG_SEQ, OidValue("2.9.3.2.7.31"), Enum(1)),
            Cons(TAG_SEQ, OidValue("2.9.3.2.7.31", TAG_CTX0), Enum(2))),
       "{{id oid:administrativeState, value unlocked}, "
       "{id globalForm:administrativeState, value shuttingDown}}");
  // OPTIONAL and DEFAULT components are printed only when present.
  Both("additionalInformation",
       Cons(TAG_SET, Cons(TAG_SEQ, OidValue("1.2.3"), Cons(TAG_CTX2, Int(4)))),
       "{{identifier 1.2.3, information 4}}");
  Both("thresholdInfo",
       Cons(TAG_SEQ, OidValue("2.9.3.2.7.54", TAG_CTX0), Int(90),
            Cons(TAG_CTX1, Cons(TAG_CTX1, Int(80)))),
       "{triggeredThreshold globalForm:currentLogSize, observedValue integer:90, "
       "thresholdLevel up:{high integer:80}}");
  // Blanks between the parts are free; component names must be in order.
  EXPECT_EQ(Parse("specificProblems", " { oi : 1.2.3 ,int:5 } "),
            Hex(Cons(TAG_SET, OidValue("1.2.3"), Int(5))));
}

TEST_F(ValueNotation, OpenTypesFollowTheirAttributeIdentifier) {
  // The value change definition's old and new values take the type of the
  // attribute named beside them.
  Both("attributeValueChangeDefinition",
       Cons(TAG_SET, Cons(TAG_SEQ, OidValue("2.9.3.2.7.35"), Cons(TAG_CTX1, Enum(0)),
                          Cons(TAG_CTX2, Enum(1)))),
       "{{attributeId oid:operationalState, oldAttributeValue disabled, "
       "newAttributeValue enabled}}");
  // An attribute without a type: simple values as such, others generic.
  Both("attributeList", Cons(TAG_SET, Cons(TAG_SEQ, OidValue("1.2.3"), Int(5))),
       "{{id oid:1.2.3, value 5}}");
  Both("attributeList", Cons(TAG_SET, Cons(TAG_SEQ, OidValue("1.2.3"), Str("x"))),
       "{{id oid:1.2.3, value <040178>}}");
}

TEST_F(ValueNotation, ValuesNotFittingTheirTypePrintGenerically) {
  // A SET where the attribute's type is a CHOICE.
  Both("probableCause", Cons(TAG_SET, Int(1)), "<3103020101>");
  // Inside a structure only the misfit component is generic.
  Both("specificProblems", Cons(TAG_SET, Str("x"), Int(2)), "{<040178>, int:2}");
  // A time that is no GeneralizedTime text.
  EXPECT_EQ(Format("eventTime", Str("yesterday", TAG_GENTIME)), "<1809796573746572646179>");
  // The value of an unknown attribute.
  Oid unknown("1.2.3.4.5");
  EXPECT_EQ(format_attribute(unknown, Cons(TAG_SEQ, Int(1))), "<3003020101>");
  Asn1Value back;
  ASSERT_TRUE(parse_attribute(unknown, "<3003020101>", back));
  EXPECT_EQ(Hex(back), "3003020101");
}

TEST_F(ValueNotation, AnAttributeGivenATypeLaterPrintsByIt) {
  // Printed while it has no type (also as the identifier of an open type
  // and in a name), then registered: from then on its values take the type.
  Oid late("1.2.840.555.77.1");
  Asn1Value list = Cons(TAG_SET, Cons(TAG_SEQ, OidValue("1.2.840.555.77.1"), Null()));
  Asn1Value name =
      Cons(TAG_SEQ, Cons(TAG_SET, Cons(TAG_SEQ, OidValue("1.2.840.555.77.1"), Null())));
  EXPECT_EQ(format_attribute(late, Null()), "NULL");
  EXPECT_EQ(Format("attributeList", list), "{{id oid:1.2.840.555.77.1, value NULL}}");
  std::string before;
  ASSERT_TRUE(format_distinguished_name(name.encoding_view(), FORMAT_NAMES, before));
  EXPECT_EQ(before, "/1.2.840.555.77.1=NULL");

  AttributeTypeRegistry& registry = AttributeTypeRegistry::instance();
  ASSERT_TRUE(registry.add(late, registry.arena().set_of(registry.arena().null())));
  EXPECT_EQ(format_attribute(late, Null()), "<0500>");  // no SET OF
  EXPECT_EQ(format_attribute(late, Cons(TAG_SET, Null(), Null())), "{NULL, NULL}");
  EXPECT_EQ(Format("attributeList", list), "{{id oid:1.2.840.555.77.1, value <0500>}}");
  std::string after;
  ASSERT_TRUE(format_distinguished_name(name.encoding_view(), FORMAT_NAMES, after));
  EXPECT_EQ(after, "/1.2.840.555.77.1=<0500>");
}

TEST_F(ValueNotation, AnIdentifierNamedLaterPrintsByItsName) {
  // Printed (and printed again) while the identifier has no name, then named.
  Asn1Value causes = Cons(TAG_SET, OidValue("1.2.840.555.78.1"));
  EXPECT_EQ(Format("proposedRepairActions", causes), "{oi:1.2.840.555.78.1}");
  EXPECT_EQ(Format("proposedRepairActions", causes), "{oi:1.2.840.555.78.1}");
  ASSERT_TRUE(OidNameRegistry::add("replaceTheFanTest", Oid("1.2.840.555.78.1"), NameKind::kOther));
  EXPECT_EQ(Format("proposedRepairActions", causes), "{oi:replaceTheFanTest}");
}

TEST_F(ValueNotation, MalformedTextIsRefusedWithPositionAndExpectation) {
  EXPECT_EQ(Refusal("probableCause", "globalValue:powerProblm"),
            "at 12: expected a registered identifier name (unknown: powerProblm)");
  EXPECT_EQ(Refusal("probableCause", "globalValue:powerProblem,"), "at 24: expected end of text");
  EXPECT_EQ(Refusal("probableCause", "powerProblem"),
            "at 0: expected alternative:value, alternative one of globalValue, localValue");
  EXPECT_EQ(Refusal("specificProblems", "{oi:1.2.3 int:5}"), "at 10: expected ',' or '}'");
  EXPECT_EQ(Refusal("perceivedSeverity", "huge"),
            "at 0: expected a number or one of indeterminate critical major minor warning "
            "cleared");
  EXPECT_EQ(Refusal("additionalText", "\"open"), "at 5: expected a closing '\"'");
  EXPECT_EQ(Refusal("additionalText", "\"bad \\q\""),
            "at 5: expected an escape \\\" \\\\ \\n \\r \\t or \\xHH");
  EXPECT_EQ(Refusal("probableCause", "localValue:99999999999999999999"),
            "at 11: expected a number of at most 64 bits");
  EXPECT_EQ(Refusal("thresholdInfo", "{observedValue integer:1}"),
            "at 1: expected component triggeredThreshold");
  EXPECT_EQ(Refusal("additionalInformation", "{{information 1, identifier 1.2}}"),
            "at 2: expected component identifier");
  EXPECT_EQ(Refusal("thresholdInfo", "{triggeredThreshold globalForm:1.2}"),
            "at 34: expected component observedValue before '}'");
  EXPECT_EQ(
      Refusal("additionalInformation", "{{identifier 1.2, information 1, significance TRUE}}"),
      "at 33: expected the components in the order identifier, significance, information");
  EXPECT_EQ(Refusal("specificProblems", "{int:1}x"), "at 7: expected end of text");
  EXPECT_EQ(Refusal("probableCause", "<0201>"),
            "at 0: expected one complete BER encoding between '<' and '>'");
  EXPECT_EQ(Refusal("probableCause", "<02010"),
            "at 5: expected pairs of hex digits ending with '>'");
  EXPECT_EQ(Refusal("eventTime", "\"2024\""), "at 0: expected a quoted time \"YYYYMMDDHHMMSSZ\"");
  // One rule for a valid time, the time type's: no 30 February, no leap second, no
  // local time that a daylight-saving change skips (TZ=Europe/Berlin).
  for (const char* t : {"20240230101500Z", "20230229000000Z", "20241231235960Z", "20240431120000Z",
                        "20240331023000"}) {
    EXPECT_EQ(Refusal("eventTime", std::string("\"") + t + "\""),
              "at 0: expected a quoted time \"YYYYMMDDHHMMSSZ\"")
        << t;
  }
  Both("eventTime", Str("20240229235959Z", TAG_GENTIME), "\"20240229235959Z\"");
  EXPECT_EQ(Format("eventTime", Str("20240230101500Z", TAG_GENTIME)),
            "<180F32303234303233303130313530305A>");
  EXPECT_EQ(Refusal("probableCause", ""),
            "at 0: expected alternative:value, alternative one of "
            "globalValue, localValue");
}

TEST_F(ValueNotation, DeepNestingIsRefusedNotCrashing) {
  std::string text;
  for (int i = 0; i < 500; ++i) text += "not:";
  text += "and:{}";
  EXPECT_NE(Refusal("discriminatorConstruct", text).find("less deeply nested"), std::string::npos);
  std::string braces(100000, '{');
  EXPECT_NE(Refusal("specificProblems", braces), "");
}

class MapperCalls : public ValueNotation {
 protected:
  static const Asn1Type* TypeOf(const Asn1Value& key) {
    return Asn1Type::lookup_type(DataUnit("attributeValue"), DataUnit("attributeId"), key);
  }
};

TEST_F(MapperCalls, LookupTypeByAttributeIdentifier) {
  const Asn1Type* t = TypeOf(OidValue("2.9.3.2.7.18"));
  ASSERT_NE(t, nullptr);
  EXPECT_STREQ(t->name(), "ProbableCause");
  // Unknown attributes get the generic type; bad arguments nothing.
  EXPECT_EQ(TypeOf(OidValue("1.2.3")), Asn1Type::generic());
  EXPECT_EQ(TypeOf(Cons(TAG_SEQ, OidValue("2.9.3.2.7.18"))), nullptr);
  EXPECT_EQ(
      Asn1Type::lookup_type(DataUnit("value"), DataUnit("attributeId"), OidValue("2.9.3.2.7.18")),
      nullptr);
  EXPECT_EQ(TypeOf(Asn1Value()), nullptr);
}

TEST_F(MapperCalls, FormatValueIntoTheWorkBuffer) {
  const Asn1Type* t = TypeOf(OidValue("2.9.3.2.7.18"));
  static char buffer[65536];
  std::memset(buffer, 'x', sizeof buffer);
  char* p = buffer;
  ASSERT_TRUE(t->format_value(OidValue("2.9.3.2.0.0.35"), p, 65535, 0, 0, DataUnit(), 1));
  EXPECT_EQ(p - buffer, 24);
  EXPECT_STREQ(buffer, "globalValue:powerProblem");
  // Too small: as much as fits, false, no terminator written past the end.
  char small[8];
  p = small;
  EXPECT_FALSE(t->format_value(OidValue("2.9.3.2.0.0.35"), p, sizeof small, 0, 0, DataUnit(), 1));
  EXPECT_EQ(p - small, 8);
  EXPECT_EQ(std::string(small, 8), "globalVa");
  // Unsupported arguments are refused with InvalidX and nothing written.
  p = buffer;
  EXPECT_FALSE(t->format_value(OidValue("2.9.3.2.0.0.35"), p, 65535, 1, 0, DataUnit(), 1));
  EXPECT_EQ(p, buffer);
  EXPECT_NE(TakeReason(), "");
}

}  // namespace
}  // namespace qx::test
