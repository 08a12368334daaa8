// Decoding untrusted BER: what is accepted becomes the definite form with
// every tag, the structure and the contents kept; what is malformed fails
// cleanly with the offset and the reason.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "platform/value/asn1_value.h"
#include "platform/value/ber_decoder.h"
#include "tests/value/ber_test_util.h"

using namespace qx::test;

class BerDecodeTest : public ::testing::Test {
 protected:
  void SetUp() override { Exception::clear(); }
  void TearDown() override { Exception::clear(); }

  // Decodes the octets; on failure checks the clean-failure contract and
  // returns "offset N: reason".
  std::string Fail(const std::string& octets) {
    Asn1Value v = Int(1);
    qx::ber::DecodeError err;
    bool ok = Asn1Value::decode(octets.data(), octets.size(), v, nullptr, &err);
    if (ok) return "decoded: " + Hex(v);
    EXPECT_FALSE(v) << "a failed decode leaves the value empty";
    const Exception* x = Exception::current();
    EXPECT_TRUE(x != nullptr && x->type() == Exception::INVALID);
    Exception::clear();
    EXPECT_LE(err.offset, octets.size());
    return "offset " + std::to_string(err.offset) + ": " + err.what;
  }
  std::string FailHex(const std::string& hex) { return Fail(Bytes(hex)); }

  // Decodes hex that must be valid; returns the stored encoding as hex.
  std::string Canon(const std::string& hex) {
    Asn1Value v = Decode(hex);
    EXPECT_TRUE(v) << hex << ": " << TakeReason();
    return Hex(v);
  }

  // Every octet of `whole` changed by each mask: what decodes is stored in a form that
  // decodes to itself, what does not fails cleanly.
  static void ExpectCorruptionHandledCleanly(const std::string& whole,
                                             std::initializer_list<unsigned char> masks) {
    for (size_t i = 0; i < whole.size(); ++i) {
      for (unsigned char x : masks) {
        std::string bad = whole;
        bad[i] = static_cast<char>(bad[i] ^ x);
        Asn1Value v;
        if (Asn1Value::decode(bad.data(), bad.size(), v)) {
          EXPECT_EQ(Decode(Hex(v)), v) << i;
        } else {
          EXPECT_FALSE(v);
        }
        Exception::clear();
      }
    }
  }

  // A realistic nested value: indefinite lengths, long tags and lengths.
  static std::string Nested() {
    return Bytes(
        "31 80"                                        // SET, indefinite
        "  30 0c 06 05 59 03 02 07 0e 86 03 2b 06 01"  // SEQ {eventType, [6] OID}
        "  30 81 0a 06 03 55 04 03 18 03 31 32 33"     // SEQ with a long-form length
        "  7f 81 00 80 04 02 61 62 00 00"              // [APPLICATION 128] indefinite
        "  3a 80 04 01 61 3a 80 04 01 62 00 00 00 00"  // nested constructed string
        "00 00");
  }
};

TEST_F(BerDecodeTest, IndefiniteAndLongFormsBecomeDefinite) {
  EXPECT_EQ(Canon("30 80 02 01 05 00 00"), "3003020105");
  EXPECT_EQ(Canon("04 81 03 61 62 63"), "0403616263");
  EXPECT_EQ(Canon("04 84 00 00 00 01 61"), "040161");
  EXPECT_EQ(Canon("24 80 04 01 61 24 80 04 01 62 00 00 00 00"),
            "2408040161"
            "2403040162");
  EXPECT_EQ(Canon("5f 1f 00"), "5f1f00");
  EXPECT_EQ(Canon("5f 81 00 00"), "5f810000");
  EXPECT_EQ(Canon("30 00"), "3000");
  EXPECT_EQ(Canon("a0 80 00 00"), "a000");

  Asn1Value v;
  std::string in = Nested();
  ASSERT_TRUE(Asn1Value::decode(in.data(), in.size(), v)) << TakeReason();
  ASSERT_EQ(v.num_comps(), 4u);
  EXPECT_EQ(v.tag(), TAG_SET);
  Asn1Value c = v.first_component();
  EXPECT_EQ(Hex(c), "300c0605590302070e86032b0601");
  c = v.next_component();
  EXPECT_EQ(Hex(c), "300a06035504031803313233");
  c = v.next_component();
  EXPECT_EQ(c.tag(), Asn1Tag::application(128));
  EXPECT_EQ(Hex(c),
            "7f8100"
            "04"
            "04026162");
  c = v.next_component();
  std::string s;
  ASSERT_TRUE(c.decode_octets(s));
  EXPECT_EQ(s, "ab");
  // The stored form is a fixpoint.
  Asn1Value again = Decode(Hex(v));
  EXPECT_EQ(again, v);
}

TEST_F(BerDecodeTest, EveryTruncationFails) {
  for (const std::string& whole :
       {Nested(), Int(-1000).to_data_unit().str(),
        Str(std::string(300, 'z'), Asn1Tag::context(1000)).to_data_unit().str()}) {
    for (size_t n = 0; n < whole.size(); ++n) {
      std::string r = Fail(whole.substr(0, n));
      EXPECT_EQ(r.find("decoded"), std::string::npos) << "prefix " << n;
      // With room for trailing octets the prefix still does not hold an element.
      Asn1Value v;
      size_t used = 12345;
      EXPECT_FALSE(Asn1Value::decode(whole.data(), n, v, &used)) << n;
      EXPECT_EQ(used, 12345u);
      Exception::clear();
    }
  }
}

// Malformed headers and structures fail with the offset and the reason.
TEST_F(BerDecodeTest, MalformedInputSaysWhereAndWhy) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "offset 0: unexpected end: identifier octets expected"},
      {"04 05 61", "offset 1: length 5 exceeds the 1 octets available"},
      {"04 ff", "offset 1: reserved length octet 0xff"},
      {"04 80 00 00", "offset 1: indefinite length on a primitive element"},
      {"04 89 01 00 00 00 00 00 00 00 00", "offset 1: length field too long"},
      {"04 88 ff ff ff ff ff ff ff ff",
       "offset 1: length 18446744073709551615 exceeds the 0 octets available"},
      {"04 82 01", "offset 1: unexpected end inside the length octets"},
      {"1f 80 01 00", "offset 1: long-form tag number with a leading zero group"},
      {"1f 1e 00", "offset 1: tag number below 31 in long form"},
      {"1f 90 80 80 80 00 00", "offset 1: tag number beyond 32 bits"},
      {"1f ff ff ff ff ff ff ff ff ff ff 7f 00", "offset 1: tag number beyond 32 bits"},
      {"00 00", "offset 0: end-of-contents where an element is expected"},
      {"30 02 00 00", "offset 2: end-of-contents where an element is expected"},
      {"30 80 02 01 05", "offset 5: missing end-of-contents of the element at offset 0"},
      {"30 80 00 01 05", "offset 3: end-of-contents with a non-zero length"},
      {"30 04 02 03 01 02", "offset 3: length 3 exceeds the 2 octets available"},
      {"30 03 02 01 05 ff", "offset 5: 1 octets after the element"},
      {"30 05 06 03 2a 80 01", "offset 5: object identifier subidentifier not minimal"},
      {"06 02 2a 86", "offset 3: object identifier ends inside a subidentifier"},
      {"30 02 06 00", "offset 2: object identifier with no contents octets"},
      {"26 03 06 01 2a", "offset 0: constructed object identifier"},
  };
  for (const auto& [hex, reason] : cases) EXPECT_EQ(FailHex(hex), reason) << hex;
  EXPECT_EQ(Canon("1f 8f ff ff ff 7f 00"), "1f8fffffff7f00") << "2^32 - 1 fits";
  // Octets after the element are left to the caller who asks for the length used.
  Asn1Value v;
  std::string b = Bytes("30 03 02 01 05 ff 00");
  size_t used = 0;
  ASSERT_TRUE(Asn1Value::decode(b.data(), b.size(), v, &used));
  EXPECT_EQ(used, 5u);
}

TEST_F(BerDecodeTest, DepthLimit) {
  // Build the deepest value with the encoder, one level more by hand (the encoder
  // builds nothing deeper than decode takes), and indefinite levels by hand.
  Asn1Value v;
  ASSERT_TRUE(v.encode_null());
  for (int depth = 2; depth <= Asn1Value::kMaxDepth; ++depth) v = Cons(TAG_SEQ, v);
  std::string ok = v.to_data_unit().str();
  EXPECT_EQ(Fail(ok).substr(0, 8), "decoded:");
  ASSERT_LT(ok.size(), 256u);
  std::string deep = std::string("\x30\x81") + static_cast<char>(ok.size()) + ok;
  EXPECT_EQ(Fail(deep),
            "offset " + std::to_string(deep.size() - 2) + ": nesting deeper than 64 levels");

  std::string indef = Bytes("05 00");
  for (int i = 0; i < 1000; ++i) indef = "\x30\x80" + indef;
  EXPECT_EQ(Fail(indef).substr(0, 10), "offset 128");
}

// Any corruption of a valid encoding decodes or fails cleanly; what decodes
// is stored in a form that decodes to itself.
TEST_F(BerDecodeTest, CorruptedOctetsFailCleanly) {
  ExpectCorruptionHandledCleanly(Nested(), {0x01, 0x80, 0xff, 0x20});
}

// The form every stored value has (definite, minimal lengths) is kept octet for
// octet; cut short or corrupted anywhere, it fails cleanly or decodes to a
// value that decodes to itself, and a bad identifier deep inside is refused.
TEST_F(BerDecodeTest, StoredFormIsKeptAndItsCorruptionFailsCleanly) {
  Asn1Value v =
      Cons(TAG_SET, Cons(TAG_SEQ, OidValue("2.9.3.2.7.7"), Str(std::string(200, 'x'))),
           OidValue("1.3.6.1.4.1.32473.1", TAG_CTX6), OidValue("2.9.16384"), Cons(TAG_SEQ),
           Cons(TAG_CTX2, Cons(TAG_SET, Int(-129), Cons(TAG_CTX0, Int(0)))));
  std::string whole = v.to_data_unit().str();
  ASSERT_EQ(Canon(Hex(whole)), Hex(whole));
  std::string trailing = whole + Bytes("05 00");
  Asn1Value w;
  size_t used = 0;
  ASSERT_TRUE(Asn1Value::decode(trailing.data(), trailing.size(), w, &used));
  EXPECT_EQ(used, whole.size());
  EXPECT_EQ(Fail(trailing),
            "offset " + std::to_string(whole.size()) + ": 2 octets after the element");
  for (size_t n = 0; n < whole.size(); ++n) {
    EXPECT_NE(Fail(whole.substr(0, n)).substr(0, 8), "decoded:") << n;
  }
  ExpectCorruptionHandledCleanly(whole, {0x01, 0x80, 0xff, 0x20, 0x1f});
  // The identifier of the first pair, ending inside a subidentifier.
  std::string bad_oid = whole;
  size_t last = whole.find(Bytes("06 05 59 03 02 07 07"));
  ASSERT_NE(last, std::string::npos);
  bad_oid[last + 6] = '\x87';
  EXPECT_EQ(Fail(bad_oid), "offset " + std::to_string(last + 6) +
                               ": object identifier ends inside a subidentifier");
  bad_oid = whole;
  bad_oid[last + 4] = '\x80';  // a subidentifier starting with a zero group
  EXPECT_EQ(Fail(bad_oid),
            "offset " + std::to_string(last + 4) + ": object identifier subidentifier not minimal");
}
