#ifndef QX_PLATFORM_VALUE_BER_H_
#define QX_PLATFORM_VALUE_BER_H_

// Identifier and length octets of BER encodings: writing the definite form,
// and reading headers of encodings already known to be well formed (the
// buffers of Asn1Value). Untrusted input goes through ber_decoder.h.

#include <cstddef>
#include <cstdint>

#include "platform/value/asn1_tag.h"

namespace qx::ber {

// The longest header written: 1 + 5 identifier octets (32-bit tag number)
// and 1 + 8 length octets.
inline constexpr size_t kMaxHeader = 15;

inline size_t tag_size(Asn1Tag t) {
  if (t.number < 31) return 1;
  size_t n = 1;
  for (uint32_t v = t.number; v != 0; v >>= 7) ++n;
  return n;
}

inline size_t length_size(size_t len) {
  if (len < 0x80) return 1;
  size_t n = 1;
  for (size_t v = len; v != 0; v >>= 8) ++n;
  return n;
}

inline size_t header_size(Asn1Tag t, size_t len) { return tag_size(t) + length_size(len); }

// Writes identifier and definite length octets at out (room for kMaxHeader);
// returns the number written.
inline size_t write_header(uint8_t* out, Asn1Tag t, bool constructed, size_t len) {
  size_t i = 0;
  uint8_t first = static_cast<uint8_t>((t.cls << 6) | (constructed ? 0x20 : 0));
  if (t.number < 31) {
    out[i++] = static_cast<uint8_t>(first | t.number);
  } else {
    out[i++] = static_cast<uint8_t>(first | 0x1f);
    int groups = 0;
    for (uint32_t v = t.number; v != 0; v >>= 7) ++groups;
    for (int g = groups - 1; g >= 0; --g) {
      uint8_t b = static_cast<uint8_t>((t.number >> (7 * g)) & 0x7f);
      out[i++] = g ? static_cast<uint8_t>(b | 0x80) : b;
    }
  }
  if (len < 0x80) {
    out[i++] = static_cast<uint8_t>(len);
  } else {
    size_t n = length_size(len) - 1;
    out[i++] = static_cast<uint8_t>(0x80 | n);
    for (size_t k = n; k-- > 0;) out[i++] = static_cast<uint8_t>(len >> (8 * k));
  }
  return i;
}

// Reads the contents octets of an INTEGER or ENUMERATED: minimal two's complement
// of at most 8 octets, or with `is_unsigned` a number that is not negative, of at
// most 9 (a leading zero octet above 2^63). Returns null and the number's 64 bits
// in *out when they are such; otherwise the reason.
inline const char* read_integer_contents(const uint8_t* p, size_t n, bool is_unsigned,
                                         uint64_t* out) {
  if (n == 0) return "no contents octets";
  if (n > 1 && ((p[0] == 0x00 && !(p[1] & 0x80)) || (p[0] == 0xff && (p[1] & 0x80)))) {
    return "contents not minimal";
  }
  const bool negative = (p[0] & 0x80) != 0;
  if (is_unsigned && negative) return "negative value";
  // Nine octets hold an unsigned number only behind a leading zero octet.
  if (n > (is_unsigned ? 9u : 8u) || (n == 9 && p[0] != 0)) return "value out of range";
  uint64_t u = negative ? ~uint64_t{0} : 0;
  for (size_t i = 0; i < n; ++i) u = (u << 8) | p[i];
  *out = u;
  return nullptr;
}

// Checks the contents octets of an OBJECT IDENTIFIER: at least one
// subidentifier, each minimal (no leading 0x80 group) and complete. Returns
// null when valid; otherwise the reason, with the offending octet's index in
// *at.
inline const char* check_oid_contents(const uint8_t* p, size_t n, size_t* at) {
  if (n == 0) {
    *at = 0;
    return "object identifier with no contents octets";
  }
  bool group_start = true;
  for (size_t i = 0; i < n; ++i) {
    if (group_start && p[i] == 0x80) {
      *at = i;
      return "object identifier subidentifier not minimal";
    }
    group_start = !(p[i] & 0x80);
  }
  if (p[n - 1] & 0x80) {
    *at = n - 1;
    return "object identifier ends inside a subidentifier";
  }
  return nullptr;
}

struct Header {
  Asn1Tag tag;
  bool constructed = false;
  size_t header_len = 0;   // identifier + length octets
  size_t content_len = 0;  // definite length
};

// Reads the header at p of a well-formed definite-length encoding.
inline Header read_trusted(const uint8_t* p) {
  Header h;
  size_t i = 0;
  uint8_t first = p[i++];
  h.tag.cls = static_cast<Asn1Tag::Class>(first >> 6);
  h.constructed = (first & 0x20) != 0;
  if ((first & 0x1f) != 0x1f) {
    h.tag.number = first & 0x1f;
  } else {
    uint32_t n = 0;
    uint8_t b;
    do {
      b = p[i++];
      n = (n << 7) | (b & 0x7f);
    } while (b & 0x80);
    h.tag.number = n;
  }
  uint8_t l = p[i++];
  if (l < 0x80) {
    h.content_len = l;
  } else {
    size_t len = 0;
    for (int k = l & 0x7f; k > 0; --k) len = (len << 8) | p[i++];
    h.content_len = len;
  }
  h.header_len = i;
  return h;
}

}  // namespace qx::ber

#endif  // QX_PLATFORM_VALUE_BER_H_
