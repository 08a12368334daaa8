// Building, reading and walking values: the encodings X.690 gives, integer
// boundaries, components sharing buffers, retagging and conversions.

#include "platform/value/asn1_value.h"

#include <gtest/gtest.h>

#include <climits>

#include "tests/value/ber_test_util.h"

using namespace qx::test;

class Asn1ValueTest : public ::testing::Test {
 protected:
  void SetUp() override { Exception::clear(); }
  void TearDown() override { Exception::clear(); }
};

TEST_F(Asn1ValueTest, EmptyByDefault) {
  Asn1Value v;
  EXPECT_FALSE(v);
  EXPECT_EQ(v.size(), 0u);
  EXPECT_FALSE(v.constructed());
  EXPECT_EQ(v.num_comps(), 0u);
  EXPECT_FALSE(v.first_component());
  long n = 7;
  EXPECT_FALSE(v.decode_int(n));
  EXPECT_EQ(n, 7);
  EXPECT_NE(TakeReason(), "");
  EXPECT_TRUE(v.to_data_unit().empty());
}

TEST_F(Asn1ValueTest, IntegersAreMinimalTwosComplement) {
  struct {
    long v;
    const char* hex;
  } cases[] = {{0, "020100"},
               {127, "02017f"},
               {128, "02020080"},
               {256, "02020100"},
               {-128, "020180"},
               {-129, "0202ff7f"},
               {-1, "0201ff"},
               {32767, "02027fff"},
               {32768, "0203008000"},
               {LONG_MAX, "02087fffffffffffffff"},
               {LONG_MIN, "02088000000000000000"}};
  for (const auto& c : cases) {
    Asn1Value v = Int(c.v);
    EXPECT_EQ(Hex(v), c.hex) << c.v;
    long back = 0;
    ASSERT_TRUE(v.decode_int(back));
    EXPECT_EQ(back, c.v);
  }
}

TEST_F(Asn1ValueTest, UnsignedAndEnumerated) {
  // The fewest octets, with a zero octet in front wherever the top bit is set.
  const struct {
    unsigned long v;
    const char* hex;
  } cases[] = {{0, "020100"},
               {127, "02017f"},
               {128, "02020080"},
               {255, "020200ff"},
               {256, "02020100"},
               {32767, "02027fff"},
               {32768, "0203008000"},
               {0x7fffffffffffffffUL, "02087fffffffffffffff"},
               {0x8000000000000000UL, "0209008000000000000000"},
               {ULONG_MAX, "020900ffffffffffffffff"}};
  Asn1Value v;
  unsigned long u = 0;
  for (const auto& c : cases) {
    ASSERT_TRUE(v.encode_unsigned(c.v));
    EXPECT_EQ(Hex(v), c.hex) << c.v;
    ASSERT_TRUE(v.decode_unsigned(u));
    EXPECT_EQ(u, c.v);
  }
  long l = 5;
  EXPECT_FALSE(v.decode_int(l)) << "does not fit a long";
  EXPECT_EQ(l, 5);
  Exception::clear();

  ASSERT_TRUE(v.encode_enum(3));
  EXPECT_EQ(Hex(v), "0a0103");
  ASSERT_TRUE(v.decode_enum(l));
  EXPECT_EQ(l, 3);

  ASSERT_TRUE(v.encode_int(-1));
  EXPECT_FALSE(v.decode_unsigned(u));
  EXPECT_NE(TakeReason().find("negative"), std::string::npos);

  // Nine octets without the leading zero: 2^64, past every unsigned long.
  v = Decode("0209010000000000000000");
  u = 7;
  EXPECT_FALSE(v.decode_unsigned(u));
  EXPECT_EQ(u, 7u);
  EXPECT_NE(TakeReason().find("out of range"), std::string::npos);
}

TEST_F(Asn1ValueTest, NonMinimalIntegersAreRefused) {
  for (const char* hex : {"02020001", "0202ffff", "0200", "02090000000000000000ff"}) {
    Asn1Value v = Decode(hex);
    ASSERT_TRUE(v) << hex;
    long n = 42;
    EXPECT_FALSE(v.decode_int(n)) << hex;
    EXPECT_EQ(n, 42);
    EXPECT_EQ(Exception::current()->type(), Exception::INVALID);
    Exception::clear();
  }
}

TEST_F(Asn1ValueTest, X690Examples) {
  // SEQUENCE {name IA5String "Smith", ok BOOLEAN TRUE}
  Asn1Value seq = Cons(TAG_SEQ, Str("Smith", TAG_IA5STR), [] {
    Asn1Value b;
    b.encode_bool(true);
    return b;
  }());
  EXPECT_EQ(Hex(seq),
            "300a1605536d697468"
            "0101ff");
  // Tagging: Type1 VisibleString "Jones", Type2 [APPLICATION 3] IMPLICIT,
  // Type3 [2] Type2, Type4 [APPLICATION 7] IMPLICIT Type3, Type5 [2] IMPLICIT Type2.
  Asn1Value t1 = Str("Jones", TAG_VISSTR);
  EXPECT_EQ(Hex(t1), "1a054a6f6e6573");
  Asn1Value t2 = t1;
  ASSERT_TRUE(t2.retag(Asn1Tag::application(3)));
  EXPECT_EQ(Hex(t2), "43054a6f6e6573");
  Asn1Value t3 = Cons(TAG_CTX2, t2);
  EXPECT_EQ(Hex(t3), "a20743054a6f6e6573");
  Asn1Value t4 = t3;
  ASSERT_TRUE(t4.retag(Asn1Tag::application(7)));
  EXPECT_EQ(Hex(t4), "670743054a6f6e6573");
  Asn1Value t5 = t2;
  ASSERT_TRUE(t5.retag(TAG_CTX2));
  EXPECT_EQ(Hex(t5), "82054a6f6e6573");
  EXPECT_EQ(Hex(t1), "1a054a6f6e6573") << "retag of a copy leaves the original";
  // NULL, {2 100 3}
  Asn1Value n;
  ASSERT_TRUE(n.encode_null());
  EXPECT_EQ(Hex(n), "0500");
  EXPECT_EQ(Hex(OidValue("2.100.3")), "0603813403");
}

TEST_F(Asn1ValueTest, LongTagsAndLengths) {
  std::string big(201, 'x');
  Asn1Value v = Str(big, Asn1Tag::application(31));
  EXPECT_EQ(Hex(v).substr(0, 8), "5f1f81c9");
  ASSERT_TRUE(v.retag(Asn1Tag::priv(UINT32_MAX)));
  EXPECT_EQ(Hex(v).substr(0, 16), "df8fffffff7f81c9");
  EXPECT_EQ(v.tag(), Asn1Tag::priv(UINT32_MAX));
  std::string back;
  ASSERT_TRUE(v.decode_octets(back));
  EXPECT_EQ(back, big);
  Asn1Value again = Decode(Hex(v));
  EXPECT_EQ(again, v);
  EXPECT_EQ(again.tag(), Asn1Tag::priv(UINT32_MAX));
}

TEST_F(Asn1ValueTest, ReservedTagIsRefused) {
  Asn1Value v = Int(5);
  EXPECT_FALSE(v.encode_null(Asn1Tag::universal(0)));
  EXPECT_EQ(Hex(v), "020105") << "a failed builder leaves the value";
  EXPECT_FALSE(v.retag(Asn1Tag::universal(0)));
  EXPECT_NE(TakeReason(), "");
}

TEST_F(Asn1ValueTest, BuildAndWalk) {
  Asn1Value set = Cons(TAG_SET, Int(1), Str("two", TAG_GRAPHSTR), Cons(TAG_SEQ, Int(3), Int(4)));
  EXPECT_TRUE(set.constructed());
  EXPECT_EQ(set.num_comps(), 3u);
  EXPECT_EQ(Hex(set),
            "3110"
            "020101"
            "190374776f"
            "3006020103020104");

  long n = 0;
  Asn1Value c = set.first_component();
  ASSERT_TRUE(c.decode_int(n));
  EXPECT_EQ(n, 1);
  c = set.next_component();
  EXPECT_EQ(c.tag(), TAG_GRAPHSTR);
  c = set.next_component();
  EXPECT_EQ(c.num_comps(), 2u);
  EXPECT_FALSE(set.next_component());
  EXPECT_FALSE(set.next_component()) << "stays at the end";
  EXPECT_EQ(Hex(set.first_component()), "020101") << "first_component restarts";

  int count = 0;
  for (const Asn1Value& comp : set.components()) {
    EXPECT_TRUE(comp);
    ++count;
  }
  EXPECT_EQ(count, 3);
  EXPECT_FALSE(Int(1).first_component()) << "a primitive has no components";

  // A component's octets without a value, and values for elements nested in them.
  auto it = set.components().begin();
  EXPECT_EQ(it.encoding(), Int(1).encoding_view());
  ++it;
  ++it;
  std::string_view inner = it.encoding();
  EXPECT_EQ(Hex(set.element_at(inner)), "3006020103020104");
  Asn1Value four = set.element_at(inner.substr(5));
  ASSERT_TRUE(four.decode_int(n));
  EXPECT_EQ(n, 4);
  ASSERT_TRUE(four.retag(TAG_CTX1));
  EXPECT_EQ(Hex(four), "810104");
  EXPECT_EQ(Hex(set), "3110020101190374776f3006020103020104") << "a changed element copies";
}

TEST_F(Asn1ValueTest, ComponentsSurviveTheirParentAndChangesCopy) {
  Asn1Value child;
  {
    Asn1Value seq = Cons(TAG_SEQ, Int(7), Str("abc"));
    child = seq.first_component();
    Asn1Value second = seq.next_component();
    ASSERT_TRUE(second.retag(TAG_CTX1));
    EXPECT_EQ(Hex(second), "8103616263");
    EXPECT_EQ(Hex(seq),
              "3008020107"
              "0403616263")
        << "retag of a component copies";
    ASSERT_TRUE(seq.add_component(Int(8)));
    EXPECT_EQ(Hex(child), "020107");
  }
  long n = 0;
  ASSERT_TRUE(child.decode_int(n));
  EXPECT_EQ(n, 7);
}

TEST_F(Asn1ValueTest, AddComponentGrowsTheLengthField) {
  Asn1Value seq;
  ASSERT_TRUE(seq.start_construct(TAG_SEQ));
  Asn1Value snapshot;
  std::string expect;
  for (int i = 0; i < 400; ++i) {
    Asn1Value s = Str(std::string(i % 7, 'a' + i % 26));
    ASSERT_TRUE(seq.add_component(s));
    expect += s.encoding_view();
    if (i == 20) snapshot = seq;  // shares the buffer: later adds must not show
  }
  Asn1Value again = Decode(Hex(seq));
  ASSERT_TRUE(again);
  EXPECT_EQ(again.contents(), expect);
  EXPECT_EQ(seq.num_comps(), 400u);
  EXPECT_EQ(snapshot.num_comps(), 21u);
  EXPECT_EQ(seq.encoding_view().substr(0, 2), "\x30\x82");
  // A value may be added to itself and to a component of itself.
  Asn1Value self = Cons(TAG_SEQ, Int(1));
  ASSERT_TRUE(self.add_component(self));
  EXPECT_EQ(Hex(self),
            "3008020101"
            "3003020101");
  ASSERT_TRUE(self.add_component(self.first_component()));
  EXPECT_EQ(self.num_comps(), 3u);
  // Components of decoded values grow too.
  Asn1Value inner = again.first_component();
  EXPECT_FALSE(inner.add_component(Int(1))) << "primitive";
  EXPECT_NE(TakeReason(), "");
  Asn1Value decoded = Decode("3000");
  ASSERT_TRUE(decoded.add_component(Int(2)));
  EXPECT_EQ(Hex(decoded), "3003020102");
  EXPECT_FALSE(decoded.add_component(Asn1Value()));
  EXPECT_NE(TakeReason(), "");
}

// One limit for building and decoding: a value is built as deep as decode takes and
// no deeper, so that every value built reads back from its encoding.
TEST_F(Asn1ValueTest, NothingIsBuiltDeeperThanDecodeTakes) {
  Asn1Value v = Int(1);
  for (int depth = 2; depth <= Asn1Value::kMaxDepth; ++depth) {
    Asn1Value outer;
    ASSERT_TRUE(outer.start_construct(depth % 2 ? TAG_SEQ : TAG_CTX3));
    ASSERT_TRUE(outer.add_component(Int(depth)));
    ASSERT_TRUE(outer.add_component(v)) << depth;
    v = outer;
  }
  Asn1Value back;
  ASSERT_TRUE(Asn1Value::decode(v.encoding(), v.size(), back));
  EXPECT_EQ(back, v);
  Asn1Value outer = Cons(TAG_SET, Int(0));
  EXPECT_FALSE(outer.add_component(v));
  EXPECT_NE(TakeReason().find("nesting deeper than 64 levels"), std::string::npos);
  EXPECT_EQ(Hex(outer), "3103020100") << "left as it was";
  // A decoded value at the limit is refused as a component alike; its components are not.
  EXPECT_FALSE(outer.add_component(back));
  EXPECT_NE(TakeReason(), "");
  ASSERT_TRUE(outer.add_component(back.first_component()));
  Asn1Value inner = back;
  for (int i = 0; i < 3; ++i) inner = *++inner.components().begin();
  EXPECT_TRUE(outer.add_component(inner));
}

TEST_F(Asn1ValueTest, CopyIsIndependent) {
  Asn1Value seq = Cons(TAG_SEQ, Int(1));
  Asn1Value deep = seq.copy();
  ASSERT_TRUE(seq.add_component(Int(2)));
  EXPECT_EQ(Hex(deep), "3003020101");
  ASSERT_TRUE(deep.add_component(Int(9)));
  EXPECT_EQ(Hex(deep), "3006020101020109");
  EXPECT_EQ(Hex(seq), "3006020101020102");
}

// Two copies made together share one buffer, and still each is a value of its own:
// walked, grown or retagged, neither changes the other or the originals.
TEST_F(Asn1ValueTest, CopiesMadeTogetherAreIndependent) {
  Asn1Value seq = Cons(TAG_SEQ, Int(1)), one = Int(7);
  auto [a, b] = Asn1Value::copy_pair(seq, one);
  EXPECT_EQ(Hex(a), "3003020101");
  EXPECT_EQ(Hex(b), "020107");
  EXPECT_EQ(Hex(a.first_component()), "020101");
  ASSERT_TRUE(a.add_component(Int(2)));
  EXPECT_EQ(Hex(a), "3006020101020102");
  EXPECT_EQ(Hex(b), "020107");
  ASSERT_TRUE(b.retag(TAG_CTX1));
  EXPECT_EQ(Hex(b), "810107");
  EXPECT_EQ(Hex(a), "3006020101020102");
  EXPECT_EQ(Hex(seq), "3003020101");
  EXPECT_EQ(Hex(one), "020107");
  auto [c, d] = Asn1Value::copy_pair(Asn1Value(), one);
  EXPECT_FALSE(c);
  EXPECT_EQ(Hex(d), "020107");
}

// Short values are kept in the value itself, longer ones in a buffer: every operation
// gives the same octets on either side of that size, and no value sees another change.
TEST_F(Asn1ValueTest, ShortAndLongValuesBehaveAlike) {
  for (size_t n = 0; n <= 40; ++n) {
    SCOPED_TRACE(n);
    std::string octets(n, 'x');
    for (size_t i = 0; i < n; ++i) octets[i] = static_cast<char>('a' + i % 26);
    const std::string expect = Hex(std::string("\x04") + static_cast<char>(n) + octets);
    Asn1Value v = Str(octets);
    ASSERT_EQ(Hex(v), expect);
    // Copies and retagged copies are values of their own, a longer header included.
    Asn1Value same = v, deep = v.copy(), retagged = v;
    ASSERT_TRUE(retagged.retag(Asn1Tag::context(40)));
    EXPECT_EQ(Hex(retagged), Hex(std::string("\x9f\x28") + static_cast<char>(n) + octets));
    ASSERT_TRUE(deep.retag(TAG_CTX1));
    EXPECT_EQ(Hex(same), expect);
    EXPECT_EQ(Hex(v), expect);
    // A value made from its own contents, under a longer header and a shorter one.
    Asn1Value own = v;
    ASSERT_TRUE(own.encode_octets(own.contents(), Asn1Tag::context(40)));
    EXPECT_EQ(Hex(own), Hex(std::string("\x9f\x28") + static_cast<char>(n) + octets));
    ASSERT_TRUE(own.encode_octets(own.contents(), TAG_CTX1));
    EXPECT_EQ(Hex(own), Hex(std::string("\x81") + static_cast<char>(n) + octets));
    // Within a constructed value, decoded and grown, alone and by itself.
    Asn1Value seq = Cons(TAG_SEQ, Int(1), v);
    Asn1Value back = Decode(Hex(seq));
    ASSERT_EQ(back, seq);
    Asn1Value second = *++back.components().begin();
    EXPECT_EQ(Hex(second), expect);
    EXPECT_EQ(Hex(back.element_at(second.encoding_view())), expect);
    Asn1Value grown = back;
    ASSERT_TRUE(grown.add_component(grown));
    ASSERT_TRUE(grown.add_component(second));
    EXPECT_EQ(grown.num_comps(), 4u);
    EXPECT_EQ(Hex(back), Hex(seq));
    Asn1Value last;
    for (const Asn1Value& c : grown.components()) last = c;
    EXPECT_EQ(Hex(last), expect);
    // Decoded with octets after it, and copied together with another.
    std::string trailing = std::string(v.encoding_view()) + "\x05\x00";
    Asn1Value first;
    size_t used = 0;
    ASSERT_TRUE(Asn1Value::decode(trailing.data(), trailing.size(), first, &used));
    EXPECT_EQ(used, v.size());
    EXPECT_EQ(Hex(first), expect);
    auto [a, b] = Asn1Value::copy_pair(v, seq);
    EXPECT_EQ(Hex(a), expect);
    EXPECT_EQ(b, seq);
  }
}

TEST_F(Asn1ValueTest, DataUnitRoundTrip) {
  Asn1Value seq = Cons(TAG_SET, Cons(TAG_SEQ, OidValue("2.9.3.2.7.14"), Int(3, TAG_CTX6)));
  DataUnit d = seq.to_data_unit();
  EXPECT_EQ(d.size(), seq.size());
  Asn1Value back(d);
  EXPECT_EQ(back, seq);
  EXPECT_EQ(DataUnit(back), d);
  EXPECT_FALSE(Asn1Value(DataUnit()));
  EXPECT_FALSE(Exception::pending()) << "empty converts back to empty";
  Asn1Value bad(DataUnit("\x30\x05\x02\x01"));
  EXPECT_FALSE(bad);
  EXPECT_NE(TakeReason().find("offset"), std::string::npos);
}

TEST_F(Asn1ValueTest, OctetsBooleansAndNull) {
  Asn1Value v = Str(std::string("a\0b", 3));
  unsigned char buf[3];
  size_t len = 99;
  ASSERT_TRUE(v.decode_octets(buf, sizeof buf, len));
  EXPECT_EQ(len, 3u);
  EXPECT_EQ(buf[1], 0);
  EXPECT_FALSE(v.decode_octets(buf, 2, len)) << "never cut";
  EXPECT_EQ(len, 3u);
  EXPECT_EQ(Exception::current()->type(), Exception::RESOURCE_LIM);
  Exception::clear();

  bool b = false;
  EXPECT_TRUE(Decode("010101").decode_bool(b));
  EXPECT_TRUE(b) << "any non-zero octet is TRUE";
  EXPECT_FALSE(Decode("01020000").decode_bool(b));
  EXPECT_FALSE(Decode("050100").decode_null());
  EXPECT_TRUE(Decode("8000").decode_null()) << "the tag is not checked";
  EXPECT_FALSE(Decode("3000").decode_null()) << "constructed";
  Exception::clear();
}

TEST_F(Asn1ValueTest, ConstructedStringsJoinTheirSegments) {
  // VisibleString "Jones", constructed, definite and indefinite.
  for (const char* hex :
       {"3a0904034a6f6e04026573", "3a8004034a6f6e040265730000", "3a0d1a034a6f6e3a061a0265730400"}) {
    Asn1Value v = Decode(hex);
    ASSERT_TRUE(v) << hex << " " << TakeReason();
    std::string s;
    ASSERT_TRUE(v.decode_octets(s)) << hex;
    EXPECT_EQ(s, "Jones");
  }
  std::string s = "keep";
  EXPECT_FALSE(Decode("3a03020100").decode_octets(s)) << "an INTEGER is no segment";
  EXPECT_FALSE(Decode("3003040161").decode_octets(s)) << "a SEQUENCE is no string";
  EXPECT_TRUE(Decode("a403040161").decode_octets(s)) << "an implicitly tagged string";
  EXPECT_EQ(s, "a");
  s = "keep";
  EXPECT_EQ(s, "keep");
  Exception::clear();
}

TEST_F(Asn1ValueTest, PrintShowsStructureAndText) {
  Asn1Value seq = Cons(TAG_SEQ, OidValue("2.5.4.3"), Str("a\"b\n", TAG_PRINTSTR), Int(-5, TAG_CTX0),
                       Str("20260401120000Z", TAG_GENTIME));
  EXPECT_EQ(seq.to_string(),
            "universal 16 constructed length 31\n"
            "  universal 6 primitive length 3 hex 550403 oid 2.5.4.3\n"
            "  universal 19 primitive length 4 hex 6122620a string \"a\\\"b\\x0a\"\n"
            "  context 0 primitive length 1 hex fb\n"
            "  universal 24 primitive length 15 hex 32303236303430313132303030305a time "
            "\"20260401120000Z\"\n");
}
