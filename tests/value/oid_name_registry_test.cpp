// Registered names of identifiers: both directions, dotted text wherever an
// identifier is read, the platform's own identifiers, and additions.

#include <gtest/gtest.h>

#include "platform/value/attribute_type_registry.h"
#include "platform/value/exception.h"
#include "platform/value/oid_name_registry.h"
#include "platform/value/oid_text.h"
#include "platform/value/private_arc.h"

namespace qx::test {
namespace {

class NameRegistry : public ::testing::Test {
 protected:
  static std::string Dotted(const char* name) {
    Oid oid;
    return OidNameRegistry::find_oid_by_name(name, oid) ? oid.format() : "";
  }
  static std::string Name(const char* dotted) {
    std::string name = "(none)";
    OidNameRegistry::find_name_by_oid(Oid(dotted), name);
    return name;
  }
};

TEST_F(NameRegistry, StandardNamesBothWays) {
  EXPECT_EQ(Dotted("eventType"), "2.9.3.2.7.14");
  EXPECT_EQ(Dotted("communicationsAlarm"), "2.9.3.2.10.2");
  EXPECT_EQ(Dotted("objectCreationRecord"), "2.9.3.2.3.8");
  EXPECT_EQ(Dotted("dTE-DCEInterfaceError"), "2.9.3.2.0.0.13");
  EXPECT_EQ(Name("2.9.3.2.7.61"), "managedObjectInstance");
  EXPECT_EQ(Name("2.9.3.2.0.2.2"), "repairActionRequired");
  // Arcs and modules carry no names.
  EXPECT_EQ(Name("2.9.3.2.7"), "(none)");
}

TEST_F(NameRegistry, PlatformIdentifiersLieBelowThePrivateArc) {
  EXPECT_EQ(Dotted("ackState"), std::string(PRIVATE_ARC) + ".2.2.2.16.7.1");
  EXPECT_EQ(Dotted("clearTime"), std::string(PRIVATE_ARC) + ".2.2.2.16.7.6");
  EXPECT_EQ(Dotted("qxAlarmRecord"), std::string(PRIVATE_ARC) + ".2.2.2.16.3.1");
  EXPECT_EQ(Dotted("correlationAlarmRecord"), std::string(PRIVATE_ARC) + ".2.2.2.8.3.111");
  EXPECT_EQ(Dotted("accessControlInfo"), std::string(PRIVATE_ARC) + ".2.2.2.9.2.4.1.1.15");
  for (size_t i = 0; i < kNumPlatformNames; ++i) {
    EXPECT_EQ(std::string(kPlatformNames[i].dotted).rfind(std::string(PRIVATE_ARC) + ".", 0), 0u);
    EXPECT_EQ(Dotted(kPlatformNames[i].name), kPlatformNames[i].dotted);
  }
}

TEST_F(NameRegistry, EveryBuiltInNameIsRegisteredAndOneToOne) {
  size_t expected = kNumStandardNames + kNumPlatformNames;
  auto entries = OidNameRegistry::entries();
  EXPECT_GE(entries.size(), expected);  // other tests may add names
  for (const OidNameRegistry::Entry* e : entries) {
    EXPECT_EQ(OidNameRegistry::by_name(e->name), e);
    EXPECT_EQ(OidNameRegistry::by_contents(e->contents), e);
    EXPECT_TRUE(OidNameRegistry::valid_name(e->name)) << e->name;
  }
}

TEST_F(NameRegistry, EveryTypedAttributeHasAnAttributeName) {
  for (const auto& [contents, type] : AttributeTypeRegistry::instance().entries()) {
    const OidNameRegistry::Entry* e = OidNameRegistry::by_contents(contents);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->kind, NameKind::kAttribute) << e->name;
  }
  // Every attribute the alarm tables keep has a type.
  for (const char* name : {"probableCause", "specificProblems", "ackTime", "clearOperator",
                           "mosiSeverity", "snmpVarBindList", "internetTrapInfo",
                           "objectInstanceList", "systemId", "logId", "discriminatorId"}) {
    EXPECT_NE(AttributeTypeRegistry::instance().find(OidNameRegistry::by_name(name)->contents),
              nullptr)
        << name;
  }
}

TEST_F(NameRegistry, DottedTextIsAcceptedAndMalformedTextRefused) {
  EXPECT_EQ(Dotted("2.9.3.2.7.14"), "2.9.3.2.7.14");
  EXPECT_EQ(Dotted("1.2.99999999999999999999999"), "1.2.99999999999999999999999");
  for (const char* bad : {"", "powerProblm", "1", "1.", "1..2", "3.1", "1.40", "01.2", "1.2a",
                          "globalForm:communicationsAlarm"}) {
    Oid oid;
    EXPECT_FALSE(OidNameRegistry::find_oid_by_name(bad, oid)) << bad;
    EXPECT_TRUE(oid.empty());
    EXPECT_FALSE(Exception::pending()) << bad;
  }
}

TEST_F(NameRegistry, AddingNames) {
  Oid oid("1.2.840.555.1");
  EXPECT_TRUE(OidNameRegistry::add("equipmentIdTest", oid, NameKind::kAttribute));
  EXPECT_EQ(Dotted("equipmentIdTest"), "1.2.840.555.1");
  // Taken names and identifiers, and bad names, are refused with InvalidX.
  EXPECT_FALSE(OidNameRegistry::add("equipmentIdTest", Oid("1.2.840.555.2"), NameKind::kOther));
  EXPECT_NE(Exception::current(), nullptr);
  Exception::clear();
  EXPECT_FALSE(OidNameRegistry::add("other", oid, NameKind::kOther));
  Exception::clear();
  for (const char* bad : {"NULL", "TRUE", "9lives", "a.b", "a:b", ""}) {
    EXPECT_FALSE(OidNameRegistry::add(bad, Oid("1.2.840.555.3"), NameKind::kOther)) << bad;
    Exception::clear();
  }
}

TEST(OidText, AgreesWithOidForEveryArcSize) {
  for (const char* dotted : {"0.0", "0.39", "1.39.5", "2.0", "2.39", "2.40", "2.47", "2.999.1",
                             "2.18446744073709551615.7", "1.2.18446744073709551616",
                             "2.123456789012345678901234567890.0"}) {
    std::string contents;
    ASSERT_TRUE(oid_text::parse_dotted(dotted, contents)) << dotted;
    Oid reference(dotted);
    EXPECT_EQ(contents, reference.contents().view()) << dotted;
    std::string back;
    oid_text::append_dotted(contents, back);
    EXPECT_EQ(back, dotted);
  }
  EXPECT_FALSE(oid_text::valid_contents(std::string_view("\x80\x01", 2)));
  EXPECT_FALSE(oid_text::valid_contents(std::string_view("\x2a\x81", 2)));
  EXPECT_FALSE(oid_text::valid_contents(""));
}

}  // namespace
}  // namespace qx::test
