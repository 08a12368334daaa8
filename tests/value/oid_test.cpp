// Object identifiers: well-known encodings, arcs of any size, refused text,
// validation of contents and the ordering.

#include "platform/value/oid.h"

#include <gtest/gtest.h>

#include <unordered_set>

#include "platform/value/exception.h"
#include "tests/value/ber_test_util.h"

using namespace qx::test;

class OidTest : public ::testing::Test {
 protected:
  void SetUp() override { Exception::clear(); }
  void TearDown() override { Exception::clear(); }

  static std::string ContentsHex(const char* dotted) {
    Oid o;
    EXPECT_TRUE(Oid::parse(dotted, o)) << dotted;
    return Hex(o.contents().view());
  }
};

TEST_F(OidTest, WellKnownIdentifiers) {
  EXPECT_EQ(ContentsHex("2.9.3.2.7.14"), "590302070e");      // eventType
  EXPECT_EQ(ContentsHex("2.5.4.3"), "550403");               // commonName
  EXPECT_EQ(ContentsHex("1.2.840.113549"), "2a864886f70d");  // RSA
  EXPECT_EQ(ContentsHex("1.3.6.1.4.1.32473"), "2b0601040181fd59");
  EXPECT_EQ(ContentsHex("2.100.3"), "813403");
  EXPECT_EQ(ContentsHex("2.999.3"), "883703");
  EXPECT_EQ(ContentsHex("0.0"), "00");
  EXPECT_EQ(ContentsHex("1.39"), "4f");
  EXPECT_EQ(ContentsHex("2.47"), "7f");
  EXPECT_EQ(ContentsHex("2.48"), "8100");
}

TEST_F(OidTest, ArcsOfAnySizeRoundTrip) {
  for (const char* dotted :
       {"2.25.329800735698586629295641978511506172918", "1.2.18446744073709551615",
        "1.2.18446744073709551616", "2.18446744073709551616.1", "0.39.9223372036854775807",
        "2.340282366920938463463374607431768211455999"}) {
    Oid o;
    ASSERT_TRUE(Oid::parse(dotted, o)) << dotted;
    EXPECT_EQ(o.format(), dotted);
    Oid back;
    ASSERT_TRUE(Oid::from_contents(o.contents().data(), o.contents().size(), back));
    EXPECT_EQ(back, o);
  }
  EXPECT_EQ(ContentsHex("1.2.18446744073709551616"),
            "2a8280808080808080800"
            "0");
  EXPECT_EQ(Oid("2.9.3.2.7.14").num_arcs(), 6u);
}

TEST_F(OidTest, MalformedTextIsRefused) {
  for (const char* bad :
       {"", "1", "3.1", "1.40", "0.99", "1..2", ".1.2", "1.2.", "1.02", "01.2", "1.2.a", "1.2.-3",
        "+1.2", " 1.2", "1.2 ", "1,2", "1.2.3x", "2.3.99999999999999999999999999x"}) {
    Oid o("1.2.3");
    EXPECT_FALSE(Oid::parse(bad, o)) << bad;
    EXPECT_EQ(o.format(), "1.2.3") << "left unchanged";
    EXPECT_EQ(Exception::current()->type(), Exception::INVALID) << bad;
    Exception::clear();
  }
  Oid fromText("1.2.x");
  EXPECT_TRUE(fromText.empty());
  EXPECT_EQ(fromText.format(), "");
  EXPECT_TRUE(Exception::pending());
}

TEST_F(OidTest, ContentsAreValidated) {
  Oid o;
  for (const char* hex : {"", "80 01", "2a 80 01", "2a 86", "2a 86 48 86"}) {
    std::string b = Bytes(hex);
    EXPECT_FALSE(Oid::from_contents(reinterpret_cast<const unsigned char*>(b.data()), b.size(), o))
        << hex;
    EXPECT_TRUE(o.empty());
    Exception::clear();
  }
  // A value tagged OBJECT IDENTIFIER always holds a valid one.
  Asn1Value v;
  EXPECT_FALSE(v.encode_octets(Bytes("2a 86"), TAG_OID));
  EXPECT_FALSE(Decode("06 03 2a 80 01"));
  EXPECT_FALSE(Decode("26 03 06 01 2a")) << "constructed";
  EXPECT_FALSE(Decode("06 00"));
  Asn1Value octets = Str(Bytes("2a 80 01"));
  EXPECT_FALSE(octets.retag(TAG_OID));
  EXPECT_EQ(octets.tag(), TAG_OCTSTR);
  Exception::clear();
  // Under another tag the contents are checked when decoded as an identifier.
  Asn1Value other = Decode("80 03 2a 80 01");
  ASSERT_TRUE(other);
  EXPECT_FALSE(other.decode_oid(o));
  EXPECT_NE(TakeReason().find("not minimal"), std::string::npos);
  ASSERT_TRUE(Decode("80 03 2a 86 48").decode_oid(o));
  EXPECT_EQ(o.format(), "1.2.840");
}

TEST_F(OidTest, OrderEqualityAndHash) {
  const char* sorted[] = {"0.0",     "1.2",       "1.2.3",     "1.2.3.4", "1.2.127",
                          "1.2.128", "1.2.16383", "1.2.16384", "1.3",     "2.5.4.3",
                          "2.47",    "2.48",      "2.999"};
  for (size_t i = 0; i + 1 < std::size(sorted); ++i) {
    Oid a(sorted[i]), b(sorted[i + 1]);
    EXPECT_LT(cmpOid(a, b), 0) << sorted[i] << " < " << sorted[i + 1];
    EXPECT_GT(cmpOid(b, a), 0);
    EXPECT_TRUE(a < b);
    EXPECT_NE(a, b);
  }
  EXPECT_EQ(cmpOid(Oid("1.2.3"), Oid("1.2.3")), 0);
  EXPECT_EQ(hashOid(Oid("1.2.3")), hashOid(Oid("1.2.3")));
  std::unordered_set<Oid> set{Oid("1.2.3"), Oid("1.2.3"), Oid("1.2.4")};
  EXPECT_EQ(set.size(), 2u);
}

TEST(DataUnitTest, CountedBytes) {
  DataUnit a("abc"), b(std::string_view("ab\0c", 4).data(), 4), e;
  EXPECT_EQ(a.size(), 3u);
  EXPECT_EQ(b.size(), 4u);
  EXPECT_TRUE(e.empty());
  EXPECT_TRUE(DataUnit(nullptr).empty());
  EXPECT_NE(a, b);
  EXPECT_EQ(DataUnit::equiv(a, DataUnit("abc")), 0);
  EXPECT_NE(DataUnit::equiv(a, b), 0);
  EXPECT_LT(DataUnit::equiv(DataUnit("ab"), a), 0);
  EXPECT_EQ(DataUnit::hash(a), DataUnit::hash(DataUnit("abc")));
  EXPECT_NE(DataUnit::hash(a), DataUnit::hash(b));
}
