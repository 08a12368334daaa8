// Decoding arbitrary octets: never a crash, a read outside the input or an
// oversized allocation; whatever decodes is stored in a form that decodes to
// itself, walks cleanly and survives every reader.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "platform/value/asn1_value.h"
#include "platform/value/exception.h"
#include "platform/value/generalized_time.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

void exercise(const Asn1Value& v, int depth) {
  long l;
  unsigned long u;
  bool b;
  std::string s;
  Oid oid;
  v.decode_int(l);
  v.decode_unsigned(u);
  v.decode_bool(b);
  v.decode_null();
  if (v.decode_octets(s)) GeneralizedTime{std::string_view(s)}.to_time_stamp();
  bool is_oid = v.decode_oid(oid);
  check(is_oid || v.tag() != TAG_OID);  // decode let no bad identifier through
  if (is_oid) {
    Oid back;
    check(Oid::parse(oid.format(), back) && back == oid);
  }
  size_t n = 0;
  size_t total = v.header_size();
  for (const Asn1Value& c : v.components()) {
    ++n;
    total += c.size();
    exercise(c, depth + 1);
  }
  check(n == v.num_comps());
  check(total == v.size() || !v.constructed());
  check(depth <= Asn1Value::kMaxDepth);
  Exception::clear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The same octets as text: dotted identifiers are accepted only in their
  // one canonical spelling, and times never crash.
  std::string_view text(reinterpret_cast<const char*>(data), size);
  Oid parsed;
  if (Oid::parse(text, parsed)) check(parsed.format() == text);
  GeneralizedTime{text}.to_time_stamp();
  Exception::clear();

  Asn1Value v;
  size_t used = 0;
  bool ok = Asn1Value::decode(data, size, v, &used);
  Exception::clear();
  if (!ok) {
    check(!v);
    return 0;
  }
  check(used <= size);
  // The stored form is definite and a fixpoint; building it again from its
  // own octets gives the same octets.
  Asn1Value again;
  check(Asn1Value::decode(v.encoding(), v.size(), again));
  check(again == v);
  exercise(v, 1);
  std::ostringstream os;
  v.print(os);
  Asn1Value copy = v.copy();
  check(copy == v);
  if (copy.constructed()) {
    // A component of another value, and the value itself, as new components.
    Asn1Value first = v.first_component();
    check(copy.add_component(first ? first : v));
    check(copy.add_component(copy));
    check(copy.num_comps() == v.num_comps() + 2);
  }
  Exception::clear();
  return 0;
}
