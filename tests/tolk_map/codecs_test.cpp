// The insert and update encoders on their own (the readers are exercised through the
// stores in log_lifecycle_test): what each stores, and that a value of another syntax
// stores nothing.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "infra/tolk_map/codecs/codecs.h"
#include "infra/tolk_map/codecs/row_image.h"
#include "infra/tolk_map/oids.h"
#include "platform/db/rwdb_updater.h"
#include "platform/value/data_unit.h"
#include "platform/value/exception.h"
#include "tests/tolk_map/store_fixture.h"

namespace qx::test {
namespace {

class CodecTest : public ::testing::Test {
 protected:
  // Runs an insert encoder on a text field that starts as `start`.
  bool InsText(InsFunc f, Asn1Value v, RWCString& field) {
    Oid id("2.9.3.2.7.31");
    return f(nullptr, &field, id, v);
  }
  std::string Text(InsFunc f, Asn1Value v) {
    RWCString field;
    EXPECT_TRUE(InsText(f, v, field));
    return field.str();
  }
  // A value and what it left: nothing raised outside the codec either.
  void ExpectRefused(InsFunc f, Asn1Value v) {
    RWCString field("before");
    ExceptionScope scope;
    EXPECT_FALSE(InsText(f, v, field)) << v.to_string();
    EXPECT_EQ(field.str(), "before");
    EXPECT_EQ(scope.caught(), nullptr);
  }
};

TEST_F(CodecTest, EnumeratedAndBooleanSyntaxesStoreTheirNames) {
  EXPECT_EQ(Text(ins_adminstate, Enum(2)), "shuttingDown");
  EXPECT_EQ(Text(ins_opstate, Enum(0)), "disabled");
  EXPECT_EQ(Text(ins_logfull, Enum(1)), "halt");
  EXPECT_EQ(Text(ins_perceivedSeverity, Enum(5)), "cleared");
  EXPECT_EQ(Text(ins_srcind, Enum(2)), "unknown");
  EXPECT_EQ(Text(ins_adminstate, Int(1)), "unlocked");  // INTEGER contents are taken
  ExpectRefused(ins_adminstate, Enum(3));
  ExpectRefused(ins_adminstate, Enum(-1));
  ExpectRefused(ins_opstate, Octets("\x01"));
  ExpectRefused(ins_opstate, IntSet({1}));
  ExpectRefused(ins_opstate, Asn1Value());
  // The backed-up status takes the standard's BOOLEAN, and the enumeration too.
  EXPECT_EQ(Text(ins_backedUpStatus, Bool(true)), "backedup");
  EXPECT_EQ(Text(ins_backedUpStatus, Bool(false)), "not backedup");
  EXPECT_EQ(Text(ins_backedUpStatus, Enum(1)), "backedup");
  ExpectRefused(ins_ackState, Bool(true));
}

TEST_F(CodecTest, AvailabilityStatusJoinsNamesAndMarksBadOnes) {
  EXPECT_EQ(Text(ins_avstatus, IntSet({0, 8})), "inTest, logFull");
  EXPECT_EQ(Text(ins_avstatus, IntSet({})), "");
  RWCString field;
  Oid id;
  Asn1Value bad = IntSet({1, 42, 2});
  EXPECT_FALSE(ins_avstatus(nullptr, &field, id, bad));
  Asn1Value v;
  ASSERT_TRUE(qx::avstatus_value("inTest, logFull", v));
  EXPECT_EQ(v, IntSet({0, 8}));
  ASSERT_TRUE(qx::avstatus_value("", v));
  EXPECT_EQ(v, IntSet({}));
  EXPECT_FALSE(qx::avstatus_value("inTest, bogus", v));
}

// Codecs give the whole text; what a column holds of it is the row's business.
TEST_F(CodecTest, TextsAreWholeAndAppended) {
  EXPECT_EQ(Text(ins_text, Octets(std::string("ab\0cd", 5))), std::string("ab\0cd", 5));
  EXPECT_EQ(Text(ins_text, Graph(std::string(300, 'x'))).size(), 300u);
  RWCString field("a");
  ASSERT_TRUE(InsText(ins_text, Octets("b"), field));
  EXPECT_EQ(field.str(), "ab");
  ExpectRefused(ins_text, Octets(""));
  ExpectRefused(ins_text, IntSet({1}));
}

TEST_F(CodecTest, IdentifiersPrintDotted) {
  Asn1Value oid;
  oid.encode_oid(Oid("2.9.3.2.7.14"));
  EXPECT_EQ(Text(ins_oid, oid), "2.9.3.2.7.14");
  std::string dotted = "1.2";
  while (dotted.size() < 300) dotted += ".123456";
  Asn1Value longer;
  longer.encode_oid(Oid(dotted.c_str()));
  EXPECT_EQ(Text(ins_oid, longer), dotted);
  EXPECT_EQ(Text(ins_oidChoice, Int(42)), "42");
  EXPECT_EQ(Text(ins_oidChoice, oid), "2.9.3.2.7.14");
  ExpectRefused(ins_oid, Octets("1.2.3"));
  Asn1Value unfinished;  // a context tag whose contents end inside a subidentifier
  unfinished.encode_octets(std::string_view("\x2a\x86"), TAG_CTX0);
  ExpectRefused(ins_oid, unfinished);
  RWCString after("x ");  // the text is appended to what the field holds
  ASSERT_TRUE(InsText(ins_oid, oid, after));
  EXPECT_EQ(after.str(), "x 2.9.3.2.7.14");
  Asn1Value global = oid;
  global.retag(TAG_CTX6);
  EXPECT_EQ(Text(ins_eventType, global), "2.9.3.2.7.14");
}

// A column holds the longest storable prefix of its text (UTF-8 without NUL, at most
// its length in characters), never cut inside a character; fit_text says whether the
// text was whole.
TEST_F(CodecTest, ColumnsHoldWhatTheyCanOfATextAndSaySo) {
  static const qx::ColumnDef kColumns[] = {
      {"t", RWDBValue::String, 5, true, ATTRIBUTES(1)},
      {"n", RWDBValue::UnsignedLong, 0, true, ATTRIBUTES(2)},
  };
  qx::RowImage img(kColumns);
  auto fit = [&](const std::string& text, std::string kept) {
    *img.text(ATTRIBUTES(1)) = RWCString(text);
    bool whole = img.fit_text(ATTRIBUTES(1));
    EXPECT_EQ(img.text(ATTRIBUTES(1))->str(), kept) << text;
    return whole;
  };
  EXPECT_TRUE(fit("abcde", "abcde"));
  EXPECT_TRUE(fit("", ""));
  EXPECT_FALSE(fit("abcdef", "abcde"));
  EXPECT_TRUE(
      fit("\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9", "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9"));
  EXPECT_FALSE(fit("\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9",
                   "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9"));
  EXPECT_FALSE(fit(std::string("ab\0cd", 5), "ab"));
  EXPECT_FALSE(fit("a\xff", "a"));
  EXPECT_FALSE(fit("ab\xc3", "ab"));         // a character cut short
  EXPECT_FALSE(fit("\xc0\xaf", ""));         // an overlong form
  EXPECT_FALSE(fit("\xed\xa0\x80", ""));     // a surrogate
  EXPECT_TRUE(img.fit_text(ATTRIBUTES(2)));  // not a text column
  EXPECT_TRUE(img.fit_text(ATTRIBUTES(3)));  // no such column
}

TEST_F(CodecTest, NumbersStoreOnlyDecodedValues) {
  unsigned long u = 77;
  Oid id;
  Asn1Value v = Int(-1);
  EXPECT_FALSE(ins_unsigned(nullptr, &u, id, v));
  EXPECT_EQ(u, 77u);
  v = Octets("xx");
  EXPECT_FALSE(ins_unsigned(nullptr, &u, id, v));
  v = Int(123456789);
  EXPECT_TRUE(ins_unsigned(nullptr, &u, id, v));
  EXPECT_EQ(u, 123456789u);
  long l = 3;
  v = GenTime("20240101000000Z");
  EXPECT_FALSE(ins_int(nullptr, &l, id, v));
  EXPECT_EQ(l, 3);
}

// An implicitly tagged number comes as its contents alone: the codecs check them as
// the value library checks an INTEGER's, and refuse what it would refuse.
TEST_F(CodecTest, ImplicitlyTaggedNumbersAreCheckedAsIntegers) {
  auto tagged = [](const std::string& contents) {
    std::string e = "\x81";
    e += static_cast<char>(contents.size());
    return Asn1Value(DataUnit(e + contents));
  };
  EXPECT_EQ(Text(ins_adminstate, tagged("\x02")), "shuttingDown");
  ExpectRefused(ins_adminstate, tagged(""));
  ExpectRefused(ins_adminstate, tagged(std::string("\x00\x01", 2)));  // not minimal
  ExpectRefused(ins_adminstate, tagged("\xff\xff"));                  // not minimal
  ExpectRefused(ins_adminstate, tagged(std::string(9, '\x01')));      // past 64 bits
  unsigned long u = 77;
  Oid id;
  auto unsigned_of = [&](const std::string& contents) {
    Asn1Value v = tagged(contents);
    return ins_unsigned(nullptr, &u, id, v);
  };
  ExceptionScope scope;
  EXPECT_TRUE(unsigned_of(std::string("\x00", 1) + std::string(8, '\xff')));
  EXPECT_EQ(u, ~0ul);
  EXPECT_TRUE(unsigned_of(std::string("\x7f") + std::string(7, '\xff')));
  EXPECT_EQ(u, 0x7ffffffffffffffful);
  u = 77;
  EXPECT_FALSE(unsigned_of(std::string("\x01") + std::string(8, '\x00')));  // past 64 bits
  EXPECT_FALSE(unsigned_of(std::string(2, '\x00')));                        // not minimal
  EXPECT_FALSE(unsigned_of("\x80"));                                        // negative
  EXPECT_FALSE(unsigned_of(""));
  EXPECT_EQ(u, 77u);
  EXPECT_EQ(scope.caught(), nullptr);
}

TEST_F(CodecTest, TimesAndTheAbsentSentinel) {
  RWDBDateTime dt = RWDBDateTime::now();
  Oid id;
  Asn1Value v = GenTime("20240131120000.250Z");
  ASSERT_TRUE(ins_time(nullptr, &dt, id, v));
  Asn1Value back;
  ASSERT_TRUE(qx::datetime_to_time(dt, back));
  EXPECT_EQ(back, GenTime("20240131120000.25Z"));
  // The [0] alternative, primitive or holding the time.
  Asn1Value ctx0 = GenTime("20240131120000Z");
  ctx0.retag(TAG_CTX0);
  EXPECT_TRUE(ins_time(nullptr, &dt, id, ctx0));
  Asn1Value wrapped;
  wrapped.start_construct(TAG_CTX0);
  wrapped.add_component(GenTime("20240131120000Z"));
  EXPECT_TRUE(ins_time(nullptr, &dt, id, wrapped));
  EXPECT_TRUE(dt.isValid());
  Asn1Value absent;
  absent.encode_null(TAG_CTX1);
  EXPECT_TRUE(ins_time(nullptr, &dt, id, absent));
  EXPECT_FALSE(dt.isValid());
  dt = RWDBDateTime::now();
  Asn1Value bad = GenTime("2024");
  EXPECT_FALSE(ins_time(nullptr, &dt, id, bad));
  EXPECT_FALSE(dt.isValid());
  RWDBDateTime kept = RWDBDateTime::now();
  dt = kept;
  Asn1Value other = Int(5);
  EXPECT_FALSE(ins_time(nullptr, &dt, id, other));
  EXPECT_EQ(dt, kept);
}

TEST_F(CodecTest, BlobHoldsExactlyTheLastValue) {
  RWDBBlob blob;
  Oid id;
  Asn1Value big = Octets(std::string(1000, 'a'));
  Asn1Value small = Int(1);
  ASSERT_TRUE(ins_blob(nullptr, &blob, id, big));
  ASSERT_TRUE(ins_blob(nullptr, &blob, id, small));
  EXPECT_EQ(blob.length(), small.size());
  EXPECT_EQ(0, memcmp(blob.data(), small.encoding(), small.size()));
}

TEST_F(CodecTest, CapacityThresholdText) {
  std::string text;
  EXPECT_TRUE(qx::convert_text(IntSet({10, 50, 90}), text));
  EXPECT_EQ(text, "10 50 90 ");
  EXPECT_FALSE(qx::convert_text(Int(10), text));
  EXPECT_EQ(text, "");
  RWCString field("keep");
  Oid id;
  Asn1Value v = Int(10);
  EXPECT_FALSE(ins_convert(nullptr, &field, id, v));
  EXPECT_EQ(field.str(), "keep");
}

TEST_F(CodecTest, UpdateEncodersAddOnlyGoodAssignments) {
  RWDBUpdater up;
  Oid id;
  Asn1Value v = Enum(3);
  EXPECT_FALSE(pop_adminstate(nullptr, up, "administrativeSt", id, v));
  v = IntSet({0, 99});
  EXPECT_FALSE(pop_avstatus(nullptr, up, "availabilitySt", id, v));
  v = Int(-5);
  EXPECT_FALSE(pop_unsigned(nullptr, up, "maxLogSize", id, v));
}

TEST_F(CodecTest, FormattedValuesAppendWhole) {
  RWCString field;
  Oid ext("2.9.3.2.7.7");  // additionalText, a GraphicString
  Asn1Value v = Graph("cron");
  ASSERT_TRUE(ins_formatedVal(nullptr, &field, ext, v));
  EXPECT_EQ(field.str(), "\"cron\"");
  ASSERT_TRUE(ins_formatedVal(nullptr, &field, ext, v));
  EXPECT_EQ(field.str(), "\"cron\"\"cron\"");
  RWCString longer;
  Asn1Value big = Graph(std::string(400, 'z'));
  ASSERT_TRUE(ins_formatedVal(nullptr, &longer, ext, big));
  EXPECT_EQ(longer.length(), 402u);
}

// The registry remembers where each attribute stood in the last list; lists in another
// order, with strangers, longer than it remembers, or after an encoder was replaced must
// find what the plain lookup finds.
TEST_F(CodecTest, TheRegistryFindsEveryAttributeWhateverTheOrderOfTheList) {
  OidPopValues_hash hash;
  std::vector<Oid> known;
  for (int i = 1; i <= 70; ++i)
    known.emplace_back(("1.3.6.1.4.1.32473.7." + std::to_string(i)).c_str());
  for (size_t i = 0; i < known.size(); ++i) {
    hash.store(&known[i], new PopValues{nullptr, nullptr, RWCString("c"), ATTRIBUTES(i)});
  }
  const Oid stranger("1.3.6.1.4.1.32473.8.1");
  auto expect_list = [&](const std::vector<const Oid*>& list) {
    for (size_t at = 0; at < list.size(); ++at) {
      const Oid* key = nullptr;
      PopValues* pv = hash.fetch_at(at, list[at]->contents().view(), &key);
      EXPECT_EQ(pv, hash.fetch(list[at])) << "position " << at;
      if (pv != nullptr) {
        EXPECT_EQ(*key, *list[at]);
      }
    }
  };
  std::vector<const Oid*> in_order, reversed, mixed;
  for (const Oid& o : known) in_order.push_back(&o);
  reversed.assign(in_order.rbegin(), in_order.rend());
  mixed = {&known[3], &stranger, &known[0], &known[3], &stranger, &known[69]};
  for (const auto* list : {&in_order, &in_order, &reversed, &mixed, &in_order, &mixed}) {
    expect_list(*list);
  }
  // A replaced encoder is found from then on, never the one it replaced.
  auto* replacement = new PopValues{nullptr, nullptr, RWCString("d"), ATTRIBUTES(99)};
  hash.store(&known[0], replacement);
  const Oid* key = nullptr;
  EXPECT_EQ(hash.fetch_at(2, known[0].contents().view(), &key), replacement);
  expect_list(mixed);
}

// Identifiers of every length that differ from the one remembered at a position in a
// single octet, wherever it lies, are told apart.
TEST_F(CodecTest, TheRegistryTellsApartIdentifiersThatDifferInOneOctet) {
  OidPopValues_hash hash;
  std::deque<Oid> ids;  // stable addresses: the registry keeps pointers to its keys
  auto make = [&](const std::string& contents) -> const Oid* {
    Oid& o = ids.emplace_back();
    EXPECT_TRUE(Oid::from_contents(reinterpret_cast<const unsigned char*>(contents.data()),
                                   contents.size(), o));
    hash.store(&o, new PopValues{nullptr, nullptr, RWCString("c"), ATTRIBUTES(ids.size())});
    return &o;
  };
  for (size_t len = 1; len <= 20; ++len) {
    std::string base(len, '\x11');
    base[0] = '\x2a';
    const Oid* b = make(base);
    for (size_t at = 0; at < len; ++at) {
      std::string other = base;
      other[at] = '\x33';
      const Oid* o = make(other);
      for (const Oid* id : {b, o, b, o}) {
        const Oid* key = nullptr;
        EXPECT_EQ(hash.fetch_at(0, id->contents().view(), &key), hash.fetch(id))
            << "length " << len << ", octet " << at;
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(*key, *id);
      }
    }
  }
}

}  // namespace
}  // namespace qx::test
