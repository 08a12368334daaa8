#include "platform/value/oid_text.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/value/decimal_text.h"

namespace qx::oid_text {
namespace {

// Arbitrary-size arcs are rare; they are converted through a little decimal
// and base-128 arithmetic on digit vectors (most significant first).

// Divides the decimal digits in place by 128 and returns the remainder.
unsigned div128(std::vector<uint8_t>& dec) {
  unsigned rem = 0;
  for (uint8_t& d : dec) {
    unsigned cur = rem * 10 + d;
    d = static_cast<uint8_t>(cur / 128);
    rem = cur % 128;
  }
  size_t z = 0;
  while (z + 1 < dec.size() && dec[z] == 0) ++z;
  dec.erase(dec.begin(), dec.begin() + static_cast<long>(z));
  return rem;
}

bool is_zero(const std::vector<uint8_t>& dec) { return dec.size() == 1 && dec[0] == 0; }

// Appends the base-128 subidentifier of a decimal number.
void append_subid(std::vector<uint8_t> dec, std::string& out) {
  std::string groups;
  do {
    groups.push_back(static_cast<char>(div128(dec)));
  } while (!is_zero(dec));
  for (size_t i = groups.size(); i-- > 0;) {
    out.push_back(static_cast<char>(groups[i] | (i ? 0x80 : 0)));
  }
}

// Appends the decimal text of a subidentifier given as base-128 groups,
// minus `minus` (0, 40 or 80: the first two arcs share one subidentifier).
void append_big_decimal(std::string_view groups, unsigned minus, std::string& out) {
  std::vector<uint8_t> dec{0};  // least significant first
  for (unsigned char g : groups) {
    unsigned carry = g & 0x7f;
    for (uint8_t& d : dec) {
      unsigned cur = d * 128u + carry;
      d = static_cast<uint8_t>(cur % 10);
      carry = cur / 10;
    }
    while (carry) {
      dec.push_back(static_cast<uint8_t>(carry % 10));
      carry /= 10;
    }
  }
  // Subtract `minus` (the value is known to be at least that large).
  unsigned borrow = minus;
  for (size_t i = 0; borrow && i < dec.size(); ++i) {
    int cur = dec[i] - static_cast<int>(borrow % 10);
    borrow /= 10;
    if (cur < 0) {
      cur += 10;
      ++borrow;
    }
    dec[i] = static_cast<uint8_t>(cur);
  }
  while (dec.size() > 1 && dec.back() == 0) dec.pop_back();
  for (size_t i = dec.size(); i-- > 0;) out.push_back(static_cast<char>('0' + dec[i]));
}

// A subidentifier of more than 63 bits, with its dot; as the first one it is
// always 2.x. Kept out of line: the usual arcs need none of its state.
[[gnu::noinline]] char* write_huge_arc(std::string_view groups, bool first, char* out) {
  if (first) *out++ = '2';
  *out++ = '.';
  std::string digits;
  append_big_decimal(groups, first ? 80 : 0, digits);
  std::memcpy(out, digits.data(), digits.size());
  return out + digits.size();
}

// The text of every arc of one octet (0 to 127), with its dot.
struct OneOctetArc {
  char text[4];
  uint8_t len;
};

constexpr std::array<OneOctetArc, 128> make_one_octet_arcs() {
  std::array<OneOctetArc, 128> arcs{};
  for (unsigned v = 0; v < 128; ++v) {
    OneOctetArc& a = arcs[v];
    a.text[0] = '.';
    if (v >= 100) {
      a.text[1] = '1';
      a.text[2] = static_cast<char>('0' + (v / 10) % 10);
      a.text[3] = static_cast<char>('0' + v % 10);
      a.len = 4;
    } else if (v >= 10) {
      a.text[1] = static_cast<char>('0' + v / 10);
      a.text[2] = static_cast<char>('0' + v % 10);
      a.len = 3;
    } else {
      a.text[1] = static_cast<char>('0' + v);
      a.len = 2;
    }
  }
  return arcs;
}

// The text of every first subidentifier of one octet: the first two arcs.
constexpr std::array<OneOctetArc, 128> make_first_arcs() {
  std::array<OneOctetArc, 128> arcs{};
  for (unsigned v = 0; v < 128; ++v) {
    unsigned a = v < 40 ? 0 : v < 80 ? 1 : 2;
    unsigned b = v - 40 * a;  // below 48
    OneOctetArc& arc = arcs[v];
    arc.text[0] = static_cast<char>('0' + a);
    arc.text[1] = '.';
    if (b >= 10) {
      arc.text[2] = static_cast<char>('0' + b / 10);
      arc.text[3] = static_cast<char>('0' + b % 10);
      arc.len = 4;
    } else {
      arc.text[2] = static_cast<char>('0' + b);
      arc.len = 3;
    }
  }
  return arcs;
}

constexpr std::array<OneOctetArc, 128> kOneOctetArcs = make_one_octet_arcs();
constexpr std::array<OneOctetArc, 128> kFirstArcs = make_first_arcs();

}  // namespace

bool valid_contents(std::string_view c) {
  if (c.empty() || (c.back() & 0x80)) return false;
  // Only an octet 0x80 can begin a subidentifier that is not minimal; most
  // identifiers have none.
  if (std::memchr(c.data(), 0x80, c.size()) == nullptr) return true;
  bool start = true;
  for (unsigned char b : c) {
    if (start && b == 0x80) return false;
    start = (b & 0x80) == 0;
  }
  return true;
}

char* write_dotted(std::string_view c, char* out) {
  const auto* p = reinterpret_cast<const unsigned char*>(c.data());
  const unsigned char* end = p + c.size();
  bool first = true;
  while (p < end) {
    if (*p < 0x80) {  // the usual arc: one octet, ".d" to ".ddd" ("d.d" to "2.47" first)
      const OneOctetArc& arc = (first ? kFirstArcs : kOneOctetArcs)[*p++];
      std::memcpy(out, arc.text, 4);  // room: four characters per octet
      out += arc.len;
      first = false;
      continue;
    }
    const unsigned char* begin = p;
    while (*p & 0x80) ++p;
    ++p;
    size_t groups = static_cast<size_t>(p - begin);
    if (groups <= 9) {  // fits 63 bits
      uint64_t v = 0;
      for (const unsigned char* g = begin; g < p; ++g) v = (v << 7) | (*g & 0x7f);
      if (first) {
        unsigned a = v < 40 ? 0 : v < 80 ? 1 : 2;
        *out++ = static_cast<char>('0' + a);
        v -= 40u * a;
      }
      *out++ = '.';
      out = write_decimal(v, out);
    } else {
      out = write_huge_arc(std::string_view(reinterpret_cast<const char*>(begin), groups), first,
                           out);
    }
    first = false;
  }
  return out;
}

void append_dotted(std::string_view c, std::string& out) {
  size_t old = out.size();
  out.resize(old + dotted_size_bound(c.size()));
  char* end = write_dotted(c, out.data() + old);
  out.resize(static_cast<size_t>(end - out.data()));
}

bool parse_dotted(std::string_view t, std::string& out) {
  std::string enc;
  size_t pos = 0;
  int arc_no = 0;
  unsigned first_arc = 0;
  while (true) {
    size_t begin = pos;
    while (pos < t.size() && t[pos] >= '0' && t[pos] <= '9') ++pos;
    size_t len = pos - begin;
    if (len == 0 || (len > 1 && t[begin] == '0')) return false;
    std::string_view digits = t.substr(begin, len);
    if (arc_no == 0) {
      if (len != 1 || digits[0] > '2') return false;
      first_arc = static_cast<unsigned>(digits[0] - '0');
    } else if (len <= 18) {  // fits 64 bits with the first arcs added
      uint64_t v = 0;
      for (char ch : digits) v = v * 10 + static_cast<uint64_t>(ch - '0');
      if (arc_no == 1) {
        if (first_arc < 2 && v >= 40) return false;
        v += 40u * first_arc;
      }
      char groups[10];
      int n = 0;
      do {
        groups[n++] = static_cast<char>(v & 0x7f);
        v >>= 7;
      } while (v);
      while (n) {
        --n;
        enc.push_back(static_cast<char>(groups[n] | (n ? 0x80 : 0)));
      }
    } else {
      if (arc_no == 1 && first_arc < 2) return false;
      std::vector<uint8_t> dec;
      dec.reserve(len + 1);
      for (char ch : digits) dec.push_back(static_cast<uint8_t>(ch - '0'));
      if (arc_no == 1) {
        // Add 80 (the first arc is 2) to the decimal number.
        unsigned carry = 80;
        for (size_t i = dec.size(); carry && i-- > 0;) {
          unsigned cur = dec[i] + carry % 10;
          carry /= 10;
          if (cur >= 10) {
            cur -= 10;
            ++carry;
          }
          dec[i] = static_cast<uint8_t>(cur);
        }
        while (carry) {
          dec.insert(dec.begin(), static_cast<uint8_t>(carry % 10));
          carry /= 10;
        }
      }
      append_subid(std::move(dec), enc);
    }
    ++arc_no;
    if (pos == t.size()) break;
    if (t[pos] != '.') return false;
    ++pos;
  }
  if (arc_no < 2) return false;
  out += enc;
  return true;
}

}  // namespace qx::oid_text
