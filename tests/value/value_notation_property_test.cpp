// Round trips of the value notation over generated values: for every
// registered attribute type, and for values of unknown type, parsing the
// printed text gives back exactly the encoding, with names and without.

#include <gtest/gtest.h>

#include <tuple>

#include "platform/value/attribute_type_registry.h"
#include "platform/value/ber_print.h"
#include "platform/value/exception.h"
#include "platform/value/oid_text.h"
#include "platform/value/value_notation.h"
#include "tests/value/value_generator.h"

namespace qx::test {
namespace {

class RoundTrip : public ::testing::Test {
 protected:
  // Decodes a generated encoding; false when the value library refuses it
  // (random elements may be invalid for their universal tag).
  static bool Build(const std::string& encoding, Asn1Value& v) {
    ExceptionScope scope;
    return Asn1Value::decode(encoding.data(), encoding.size(), v);
  }

  // Checks parse(format(v)) == v for both flag settings; returns the number
  // of values checked (0 or 1).
  static int Check(const Asn1Type* type, const std::string& encoding, const std::string& label) {
    Asn1Value v;
    if (!Build(encoding, v)) return 0;
    for (unsigned flags : {FORMAT_NAMES, 0u, 19u}) {
      std::string text;
      format_element(type, v.encoding_view(), flags, text);
      std::string back;
      ParseError error;
      EXPECT_TRUE(parse_element(type, text, back, &error))
          << label << " flags " << flags << ": " << text << "\n"
          << error.message();
      EXPECT_EQ(ber::hex(back), ber::hex(v.encoding_view())) << label << ": " << text;
      if (::testing::Test::HasFailure()) return 1;
    }
    return 1;
  }
};

// Values that fit their type, and values with a quarter of their components misfit.
TEST_F(RoundTrip, EveryRegisteredTypeWithFittingAndMisfitComponents) {
  for (auto [seed, misfit, least] : {std::tuple{1, 0.0, 4000}, {2, 0.25, 3000}}) {
    ValueGenerator gen(seed, misfit);
    int checked = 0;
    for (const auto& [contents, type] : AttributeTypeRegistry::instance().entries()) {
      std::string label;
      oid_text::append_dotted(contents, label);
      for (int i = 0; i < 60 && !HasFailure(); ++i) checked += Check(type, gen.value(type), label);
    }
    EXPECT_GT(checked, least) << "misfit " << misfit;
  }
}

TEST_F(RoundTrip, ValuesOfOtherTypesThanTheAttributes) {
  // A value of any type given as an attribute's value prints generically.
  ValueGenerator gen(3);
  const auto entries = AttributeTypeRegistry::instance().entries();
  int checked = 0;
  for (size_t i = 0; i < entries.size() && !HasFailure(); ++i) {
    const Asn1Type* other = entries[(i * 7 + 3) % entries.size()].second;
    for (int k = 0; k < 20; ++k) checked += Check(entries[i].second, gen.value(other), "cross");
  }
  EXPECT_GT(checked, 1000);
}

TEST_F(RoundTrip, GenericFormOfUnknownTypes) {
  ValueGenerator gen(4);
  int checked = 0;
  for (int i = 0; i < 3000 && !HasFailure(); ++i) {
    checked += Check(nullptr, gen.random_element(0), "generic");
  }
  EXPECT_GT(checked, 1000);
}

}  // namespace
}  // namespace qx::test
