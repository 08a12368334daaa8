#ifndef QX_PLATFORM_VALUE_BER_PRINT_H_
#define QX_PLATFORM_VALUE_BER_PRINT_H_

// Readable and JSON dumps of a value's structure (the formats of
// `logmapper asn1`).

#include <iosfwd>
#include <string>
#include <string_view>

class Asn1Value;

namespace qx::ber {

// One line per element, indented two spaces per depth:
//   <class> <number> constructed length <n>
//   <class> <number> primitive length <n>[ hex <hex>][ <kind> <text>]
// kind and text appear for universal tags that say what the contents are:
// boolean, integer, enumerated, null, oid, string (quoted, escaped) and time
// (quoted; "invalid: ..." follows a malformed GeneralizedTime).
void print_text(std::ostream& os, const Asn1Value& v, int depth = 0);

// One JSON document on one line:
//   {"class": C, "tag": N, "constructed": false, "length": N, "hex": "..."}
//   {"class": C, "tag": N, "constructed": true, "length": N, "components": [...]}
void print_json(std::ostream& os, const Asn1Value& v);

// Lower-case hex of the octets.
std::string hex(std::string_view octets);
// The octets between double quotes: printable ASCII as is, '"' and '\\'
// escaped, others as \xNN (utf8: valid UTF-8 sequences kept as they are).
std::string quote(std::string_view octets, bool utf8 = false);

}  // namespace qx::ber

#endif  // QX_PLATFORM_VALUE_BER_PRINT_H_
