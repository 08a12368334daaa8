// The printed text of values is stored in databases and read back, so the
// printer must keep printing exactly the texts it printed before it was
// tuned for speed. value_notation_golden.txt holds those texts for about
// 2,600 values: generated values of every registered attribute type (fitting
// and with misfit components), values of the wrong type, random elements of
// unknown type, distinguished names, and identifiers, strings and integers at
// the edges of their encodings. One line each:
//   type \t encoding (hex) \t text with names \t text without names
// where type is the attribute's dotted identifier, "generic" (no type) or
// "oi" (a managed object instance through oi2fdn, and without names as a
// distinguished name).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/value/attribute_type_registry.h"
#include "platform/value/exception.h"
#include "platform/value/oi2fdn.h"
#include "platform/value/oid_text.h"
#include "platform/value/value_notation.h"

namespace qx::test {
namespace {

struct GoldenCase {
  int line = 0;
  std::string type;
  std::string encoding;
  std::string with_names;
  std::string without_names;
};

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool from_hex(const std::string& hex, std::string& out) {
  if (hex.size() % 2) return false;
  for (size_t i = 0; i < hex.size(); i += 2) {
    int hi = hex_digit(hex[i]), lo = hex_digit(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
  }
  return true;
}

std::vector<std::string> split_tabs(const std::string& line) {
  std::vector<std::string> fields(1);
  for (char c : line) {
    if (c == '\t') {
      fields.emplace_back();
    } else {
      fields.back() += c;
    }
  }
  return fields;
}

class GoldenTexts : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::ifstream in(std::filesystem::path(__FILE__).parent_path() / "value_notation_golden.txt");
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
      ++n;
      std::vector<std::string> f = split_tabs(line);
      GoldenCase c;
      c.line = n;
      if (f.size() != 4 || !from_hex(f[1], c.encoding)) {
        ADD_FAILURE() << "malformed line " << n;
        continue;
      }
      c.type = f[0];
      c.with_names = f[2];
      c.without_names = f[3];
      cases_.push_back(std::move(c));
    }
  }
  static void TearDownTestSuite() { cases_.clear(); }

  static Asn1Value Decode(const GoldenCase& c) {
    Asn1Value v;
    ExceptionScope scope;
    EXPECT_TRUE(Asn1Value::decode(c.encoding.data(), c.encoding.size(), v)) << "line " << c.line;
    return v;
  }

  static inline std::vector<GoldenCase> cases_;
};

TEST_F(GoldenTexts, AttributeValuesPrintAsBefore) {
  int checked = 0;
  for (const GoldenCase& c : cases_) {
    if (c.type == "generic" || c.type == "oi") continue;
    std::string contents;
    ASSERT_TRUE(oid_text::parse_dotted(c.type, contents)) << "line " << c.line;
    const Asn1Type* type = AttributeTypeRegistry::instance().find(contents);
    ASSERT_NE(type, nullptr) << "line " << c.line << ": no type for " << c.type;
    Asn1Value v = Decode(c);
    std::string names, plain;
    format_element(type, v.encoding_view(), FORMAT_NAMES, names);
    format_element(type, v.encoding_view(), 0, plain);
    EXPECT_EQ(names, c.with_names) << "line " << c.line;
    EXPECT_EQ(plain, c.without_names) << "line " << c.line;
    // The public entry point prints the same.
    Oid attribute;
    ASSERT_TRUE(Oid::from_contents(reinterpret_cast<const unsigned char*>(contents.data()),
                                   contents.size(), attribute));
    EXPECT_EQ(format_attribute(attribute, v, FORMAT_NAMES), c.with_names) << "line " << c.line;
    ++checked;
  }
  EXPECT_GT(checked, 1000);
}

TEST_F(GoldenTexts, ValuesOfUnknownTypePrintAsBefore) {
  int checked = 0;
  for (const GoldenCase& c : cases_) {
    if (c.type != "generic") continue;
    Asn1Value v = Decode(c);
    std::string names, plain;
    format_element(nullptr, v.encoding_view(), FORMAT_NAMES, names);
    format_element(nullptr, v.encoding_view(), 0, plain);
    EXPECT_EQ(names, c.with_names) << "line " << c.line;
    EXPECT_EQ(plain, c.without_names) << "line " << c.line;
    ++checked;
  }
  EXPECT_GT(checked, 1000);
}

TEST_F(GoldenTexts, ObjectInstancesPrintAsBefore) {
  int checked = 0;
  for (const GoldenCase& c : cases_) {
    if (c.type != "oi") continue;
    Asn1Value v = Decode(c);
    EXPECT_EQ(oi2fdn(v), c.with_names) << "line " << c.line;
    std::string plain;
    format_distinguished_name(v.encoding_view(), 0, plain);
    EXPECT_EQ(plain, c.without_names) << "line " << c.line;
    ++checked;
  }
  EXPECT_GT(checked, 150);
}

}  // namespace
}  // namespace qx::test
