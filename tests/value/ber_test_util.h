#ifndef QX_TESTS_VALUE_BER_TEST_UTIL_H_
#define QX_TESTS_VALUE_BER_TEST_UTIL_H_

// A little language for BER tests: octets written as hex ("30 0a 16 05"),
// values built and shown as hex.

#include <cctype>
#include <string>

#include "platform/value/asn1_value.h"
#include "platform/value/ber_print.h"
#include "platform/value/exception.h"

namespace qx::test {

// "30 0a 01" -> the octets; spaces are ignored.
inline std::string Bytes(const std::string& hex) {
  std::string out;
  int hi = -1;
  for (char c : hex) {
    if (std::isspace(static_cast<unsigned char>(c))) continue;
    int v = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
    if (hi < 0) {
      hi = v;
    } else {
      out += static_cast<char>(hi * 16 + v);
      hi = -1;
    }
  }
  return out;
}

// The value's encoding as lower-case hex without spaces.
inline std::string Hex(const Asn1Value& v) { return qx::ber::hex(v.encoding_view()); }
inline std::string Hex(const std::string& octets) { return qx::ber::hex(octets); }
inline std::string Hex(const std::string_view& octets) { return qx::ber::hex(octets); }

// Decodes hex octets; the value is empty when decoding fails.
inline Asn1Value Decode(const std::string& hex) {
  std::string b = Bytes(hex);
  Asn1Value v;
  Asn1Value::decode(b.data(), b.size(), v);
  return v;
}

// The reason of the current exception ("" when none), clearing it.
inline std::string TakeReason() {
  std::string r = Exception::current() ? Exception::current()->reason() : "";
  Exception::clear();
  return r;
}

inline Asn1Value Int(long v, Asn1Tag t = TAG_INT) {
  Asn1Value a;
  a.encode_int(v, t);
  return a;
}

inline Asn1Value Str(std::string_view s, Asn1Tag t = TAG_OCTSTR) {
  Asn1Value a;
  a.encode_octets(s, t);
  return a;
}

inline Asn1Value OidValue(const char* dotted, Asn1Tag t = TAG_OID) {
  Asn1Value a;
  a.encode_oid(Oid(dotted), t);
  return a;
}

template <class... C>
Asn1Value Cons(Asn1Tag t, const C&... comps) {
  Asn1Value a;
  a.start_construct(t);
  (a.add_component(comps), ...);
  return a;
}

}  // namespace qx::test

#endif  // QX_TESTS_VALUE_BER_TEST_UTIL_H_
