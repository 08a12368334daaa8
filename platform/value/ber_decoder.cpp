#include "platform/value/ber_decoder.h"

#include <cstdio>
#include <cstring>

#include "platform/value/ber.h"

namespace qx::ber {
namespace {

struct RawHeader {
  Asn1Tag tag;
  bool constructed = false;
  bool indefinite = false;
  bool minimal = true;  // the length octets are the definite minimal form
  size_t header_len = 0;
  size_t content_len = 0;
};

std::string format(const char* fmt, size_t a, size_t b = 0) {
  char buf[160];
  std::snprintf(buf, sizeof buf, fmt, a, b);
  return buf;
}

class Decoder {
 public:
  Decoder(const uint8_t* in, int max_depth, DecodeError& err)
      : in_(in), max_depth_(max_depth), err_(err) {}

  // Validates the element at pos, which must end by end. in_len: its length
  // in the input; content_out: the length of its canonical contents.
  bool measure(size_t pos, size_t end, int depth, Asn1Tag& tag, size_t& in_len, size_t& content_out,
               bool& canonical);
  // Writes the canonical form of the (validated) element at pos to out.
  // Returns its length in the input.
  size_t emit(size_t pos, size_t end, uint8_t*& out);

 private:
  bool fail(size_t offset, std::string what) {
    err_.offset = offset;
    err_.what = std::move(what);
    return false;
  }
  bool read_header(size_t pos, size_t end, RawHeader& h);

  const uint8_t* in_;
  int max_depth_;
  DecodeError& err_;
};

bool Decoder::read_header(size_t pos, size_t end, RawHeader& h) {
  size_t i = pos;
  if (i >= end) return fail(i, "unexpected end: identifier octets expected");
  uint8_t first = in_[i++];
  h.tag.cls = static_cast<Asn1Tag::Class>(first >> 6);
  h.constructed = (first & 0x20) != 0;
  if ((first & 0x1f) != 0x1f) {
    h.tag.number = first & 0x1f;
  } else {
    // Long form: base-128 groups, the first group not zero, 32 bits at most.
    uint64_t n = 0;
    size_t start = i;
    for (;;) {
      if (i >= end) return fail(i, "unexpected end inside a long-form tag number");
      uint8_t b = in_[i++];
      if (i - 1 == start && b == 0x80)
        return fail(start, "long-form tag number with a leading zero group");
      n = (n << 7) | (b & 0x7f);
      if (n > UINT32_MAX) return fail(start, "tag number beyond 32 bits");
      if (!(b & 0x80)) break;
    }
    if (n < 31) return fail(start, "tag number below 31 in long form");
    h.tag.number = static_cast<uint32_t>(n);
  }
  if (h.tag.cls == Asn1Tag::UNIVERSAL && h.tag.number == 0)
    return fail(pos, "end-of-contents where an element is expected");
  if (i >= end) return fail(i, "unexpected end: length octets expected");
  size_t len_at = i;
  uint8_t l = in_[i++];
  h.indefinite = false;
  h.minimal = true;
  if (l < 0x80) {
    h.content_len = l;
  } else if (l == 0x80) {
    if (!h.constructed) return fail(len_at, "indefinite length on a primitive element");
    h.indefinite = true;
    h.minimal = false;
    h.content_len = 0;
  } else if (l == 0xff) {
    return fail(len_at, "reserved length octet 0xff");
  } else {
    size_t k = l & 0x7f;
    if (k > end - i) return fail(len_at, "unexpected end inside the length octets");
    uint64_t len = 0;
    for (size_t j = 0; j < k; ++j) {
      if (len >> 56) return fail(len_at, "length field too long");
      len = (len << 8) | in_[i++];
    }
    h.content_len = static_cast<size_t>(len);
    if (len < 0x80 || k != length_size(h.content_len) - 1) h.minimal = false;
  }
  h.header_len = i - pos;
  if (!h.indefinite && h.content_len > end - i)
    return fail(len_at,
                format("length %zu exceeds the %zu octets available", h.content_len, end - i));
  return true;
}

bool Decoder::measure(size_t pos, size_t end, int depth, Asn1Tag& tag, size_t& in_len,
                      size_t& content_out, bool& canonical) {
  if (depth > max_depth_) return fail(pos, format("nesting deeper than %zu levels", max_depth_));
  RawHeader h;
  if (!read_header(pos, end, h)) return false;
  if (!h.minimal) canonical = false;
  tag = h.tag;
  size_t cpos = pos + h.header_len;
  if (h.tag == TAG_OID) {
    // An identifier's contents are checked here, so that every stored value
    // tagged OBJECT IDENTIFIER holds a valid one.
    if (h.constructed) return fail(pos, "constructed object identifier");
    size_t at = 0;
    if (const char* why = check_oid_contents(in_ + cpos, h.content_len, &at))
      return fail(h.content_len == 0 ? pos : cpos + at, why);
  }
  if (!h.constructed) {
    in_len = h.header_len + h.content_len;
    content_out = h.content_len;
    return true;
  }
  size_t cend = h.indefinite ? end : cpos + h.content_len;
  size_t sum = 0;
  for (;;) {
    if (h.indefinite) {
      if (cpos >= end)
        return fail(cpos, format("missing end-of-contents of the element at offset %zu", pos));
      if (in_[cpos] == 0x00) {
        if (cpos + 1 >= end) return fail(cpos + 1, "unexpected end inside end-of-contents");
        if (in_[cpos + 1] != 0x00) return fail(cpos + 1, "end-of-contents with a non-zero length");
        cpos += 2;
        break;
      }
    } else if (cpos >= cend) {
      break;
    }
    size_t child_in = 0, child_content = 0;
    Asn1Tag child_tag;
    if (!measure(cpos, cend, depth + 1, child_tag, child_in, child_content, canonical))
      return false;
    sum += header_size(child_tag, child_content) + child_content;
    cpos += child_in;
  }
  in_len = cpos - pos;
  content_out = sum;
  return true;
}

size_t Decoder::emit(size_t pos, size_t end, uint8_t*& out) {
  RawHeader h;
  read_header(pos, end, h);
  size_t cpos = pos + h.header_len;
  if (!h.constructed) {
    out += write_header(out, h.tag, false, h.content_len);
    std::memcpy(out, in_ + cpos, h.content_len);
    out += h.content_len;
    return h.header_len + h.content_len;
  }
  size_t in_len = 0, content_out = 0;
  bool canonical = true;
  Asn1Tag tag;
  measure(pos, end, 0, tag, in_len, content_out, canonical);
  out += write_header(out, h.tag, true, content_out);
  size_t stop = pos + in_len - (h.indefinite ? 2 : 0);
  while (cpos < stop) cpos += emit(cpos, stop, out);
  return in_len;
}

// ---- The form this library writes, checked in one pass.
//
// Definite lengths in minimal form of at most four octets and tag numbers
// below 31: what every stored value looks like. An element of that form that
// passes every check of measure() is its own canonical form, so it is checked
// here without recursion or copies; anything else, valid or not, returns
// false and goes through the general path (which also says what is wrong).

constexpr int kOnePassDepth = 64;

// The header at pos, which must end by end: false for anything out of the
// form above or not fitting in [pos, end).
inline bool plain_header(const uint8_t* in, size_t pos, size_t end, uint8_t& first, size_t& cpos,
                         size_t& len) {
  if (end - pos < 2) return false;
  first = in[pos];
  // Long-form tag numbers and the reserved universal 0.
  if ((first & 0x1f) == 0x1f || (first & 0xdf) == 0) return false;
  size_t l = in[pos + 1];
  cpos = pos + 2;
  if (l >= 0x80) {
    size_t k = l & 0x7f;  // 0 (indefinite) and 0x7f (reserved) fall out here
    if (k == 0 || k > 4 || k > end - cpos) return false;
    size_t v = 0;
    for (size_t j = 0; j < k; ++j) v = (v << 8) | in[cpos++];
    if (v < 0x80 || length_size(v) - 1 != k) return false;
    l = v;
  }
  if (l > end - cpos) return false;
  len = l;
  return true;
}

// check_oid_contents for a primitive identifier's contents: the last octet ends a
// subidentifier, and a subidentifier is not minimal only where 0x80 starts it
// (at the beginning or after an octet that ends one). Identifiers are short: a
// plain loop beats a call to a library search.
inline bool plain_oid(const uint8_t* p, size_t n) {
  if (n == 0 || (p[n - 1] & 0x80) != 0 || p[0] == 0x80) return false;
  for (size_t i = 1; i < n; ++i) {
    if (p[i] == 0x80 && (p[i - 1] & 0x80) == 0) return false;
  }
  return true;
}

// Whether the element at in[0] is of the plain form, valid and nested at most
// max_depth deep; *in_len: its length.
bool plain_element(const uint8_t* in, size_t n, int max_depth, size_t* in_len) {
  uint8_t first;
  size_t cpos, len;
  if (max_depth < 1 || !plain_header(in, 0, n, first, cpos, len)) return false;
  *in_len = cpos + len;
  if (!(first & 0x20)) return first != 0x06 || plain_oid(in + cpos, len);
  if (first == 0x26) return false;  // a constructed identifier
  size_t ends[kOnePassDepth + 1];   // ends[d]: end of the open element at depth d
  int depth = 1;
  ends[1] = cpos + len;
  size_t pos = cpos;
  for (;;) {
    while (pos == ends[depth]) {
      if (--depth == 0) return true;
    }
    if (!plain_header(in, pos, ends[depth], first, cpos, len)) return false;
    if (depth + 1 > max_depth) return false;  // the element is at depth + 1
    if (first & 0x20) {
      if (first == 0x26 || depth + 1 > kOnePassDepth) return false;
      ends[++depth] = cpos + len;
      pos = cpos;
    } else {
      if (first == 0x06 && !plain_oid(in + cpos, len)) return false;
      pos = cpos + len;
    }
  }
}

}  // namespace

bool decode(const uint8_t* in, size_t n, bool allow_trailing, int max_depth, std::string& out,
            size_t& consumed, DecodeError& err) {
  size_t plain_len = 0;
  if (n != 0 && plain_element(in, n, max_depth, &plain_len) && (allow_trailing || plain_len == n)) {
    out.assign(reinterpret_cast<const char*>(in), plain_len);
    consumed = plain_len;
    return true;
  }
  Decoder d(in, max_depth, err);
  size_t in_len = 0, content_out = 0;
  bool canonical = true;
  Asn1Tag tag;
  if (!d.measure(0, n, 1, tag, in_len, content_out, canonical)) return false;
  if (!allow_trailing && in_len != n) {
    err.offset = in_len;
    err.what = format("%zu octets after the element", n - in_len);
    return false;
  }
  consumed = in_len;
  if (canonical) {
    out.assign(reinterpret_cast<const char*>(in), in_len);
    return true;
  }
  // Never larger than the input but for a few octets: an indefinite length
  // (3 octets with its end-of-contents) becomes at most 1 + 8 length octets.
  std::string buf(header_size(tag, content_out) + content_out, '\0');
  uint8_t* w = reinterpret_cast<uint8_t*>(buf.data());
  d.emit(0, n, w);
  out.swap(buf);
  return true;
}

}  // namespace qx::ber
