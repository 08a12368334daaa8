// Fuzzes the value notation. The first byte chooses the type (one of the
// registered attribute types, the generic type, or a distinguished name) and
// the mode; the rest is either text to read or a BER encoding to print.
//   text:  reading must not crash; what it reads must print and read back
//          to the same encoding.
//   BER:   a value the value library accepts must print and read back to
//          the same encoding.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/value/attribute_type_registry.h"
#include "platform/value/exception.h"
#include "platform/value/value_notation.h"

namespace {

const std::vector<const Asn1Type*>& types() {
  static const std::vector<const Asn1Type*> all = [] {
    std::vector<const Asn1Type*> v;
    for (const auto& e : qx::AttributeTypeRegistry::instance().entries()) v.push_back(e.second);
    v.push_back(nullptr);  // generic
    return v;
  }();
  return all;
}

void check(bool ok) {
  if (!ok) abort();
}

// Prints the encoding as type and reads it back.
void round_trip(const Asn1Type* type, const Asn1Value& v, bool as_name) {
  std::string_view encoding = v.encoding_view();
  for (unsigned flags : {FORMAT_NAMES, 0u}) {
    std::string text;
    std::string back;
    qx::ParseError error;
    if (as_name) {
      if (!qx::format_distinguished_name(encoding, flags, text)) return;
      check(qx::parse_distinguished_name(text, v.tag(), back, &error));
    } else {
      qx::format_element(type, encoding, flags, text);
      check(qx::parse_element(type, text, back, &error));
    }
    check(back == encoding);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const auto& all = types();
  uint8_t selector = data[0];
  bool as_name = (selector & 0x7f) == 0x7f;
  const Asn1Type* type = all[(selector & 0x7f) % all.size()];
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  ExceptionScope scope;
  if (selector & 0x80) {
    Asn1Value v;
    if (!Asn1Value::decode(rest.data(), rest.size(), v)) return 0;
    round_trip(type, v, as_name);
    return 0;
  }
  std::string encoding;
  qx::ParseError error;
  bool ok = as_name ? qx::parse_distinguished_name(rest, TAG_SEQ, encoding, &error)
                    : qx::parse_element(type, rest, encoding, &error);
  if (!ok) {
    check(error.position <= rest.size() && !error.expected.empty());
    return 0;
  }
  Asn1Value v;
  std::string why;
  if (!qx::make_value(encoding, v, &why)) return 0;  // nests deeper than values may
  round_trip(type, v, as_name);
  return 0;
}
