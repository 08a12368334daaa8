#include "platform/value/oid.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/value/ber.h"
#include "platform/value/exception.h"

namespace {

bool all_digits(std::string_view s) {
  if (s.empty()) return false;
  for (char ch : s)
    if (ch < '0' || ch > '9') return false;
  return true;
}

// Appends the base-128 groups of a decimal number of any size.
void append_base128(std::string_view dec, std::string& out) {
  if (dec.size() <= 19) {
    uint64_t v = 0;
    for (char ch : dec) v = v * 10 + static_cast<unsigned>(ch - '0');
    char tmp[10];
    int n = 0;
    do {
      tmp[n++] = static_cast<char>(v & 0x7f);
      v >>= 7;
    } while (v != 0);
    while (n-- > 1) out += static_cast<char>(tmp[n] | 0x80);
    out += tmp[0];
    return;
  }
  // Long division by 128 of the number in base-10^9 limbs (most significant
  // first), collecting remainders.
  std::vector<uint32_t> limbs;
  size_t head = dec.size() % 9 == 0 ? 9 : dec.size() % 9;
  for (size_t pos = 0, len = head; pos < dec.size(); pos += len, len = 9) {
    uint32_t v = 0;
    for (size_t k = pos; k < pos + len; ++k) v = v * 10 + static_cast<uint32_t>(dec[k] - '0');
    limbs.push_back(v);
  }
  std::string groups;  // least significant first
  size_t start = 0;
  while (start < limbs.size()) {
    uint64_t rem = 0;
    for (size_t i = start; i < limbs.size(); ++i) {
      uint64_t cur = rem * 1000000000u + limbs[i];
      limbs[i] = static_cast<uint32_t>(cur / 128);
      rem = cur % 128;
    }
    groups += static_cast<char>(rem);
    while (start < limbs.size() && limbs[start] == 0) ++start;
  }
  for (size_t i = groups.size(); i-- > 1;) out += static_cast<char>(groups[i] | 0x80);
  out += groups[0];
}

// Adds a small number to a decimal string.
std::string add_decimal(std::string_view dec, unsigned add) {
  if (dec.size() <= 18) {
    uint64_t v = 0;
    for (char ch : dec) v = v * 10 + static_cast<unsigned>(ch - '0');
    return std::to_string(v + add);
  }
  std::string s(dec);
  unsigned carry = add;
  for (size_t i = s.size(); i-- > 0 && carry != 0;) {
    unsigned d = static_cast<unsigned>(s[i] - '0') + carry;
    s[i] = static_cast<char>('0' + d % 10);
    carry = d / 10;
  }
  while (carry != 0) {
    s.insert(s.begin(), static_cast<char>('0' + carry % 10));
    carry /= 10;
  }
  return s;
}

// Subtracts a small number from a decimal string that is at least as large.
std::string sub_decimal(std::string s, unsigned sub) {
  int borrow = static_cast<int>(sub);
  for (size_t i = s.size(); i-- > 0 && borrow != 0;) {
    int d = (s[i] - '0') - borrow % 10;
    borrow /= 10;
    if (d < 0) {
      d += 10;
      ++borrow;
    }
    s[i] = static_cast<char>('0' + d);
  }
  size_t nz = s.find_first_not_of('0');
  return nz == std::string::npos ? "0" : s.substr(nz);
}

// The decimal text of one subidentifier's base-128 groups.
std::string group_decimal(const unsigned char* p, size_t n) {
  if (n <= 9) {
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v = (v << 7) | (p[i] & 0x7f);
    return std::to_string(v);
  }
  std::vector<uint32_t> limbs{0};  // base 10^9, least significant first
  for (size_t i = 0; i < n; ++i) {
    uint64_t carry = p[i] & 0x7f;
    for (uint32_t& l : limbs) {
      uint64_t cur = uint64_t{l} * 128 + carry;
      l = static_cast<uint32_t>(cur % 1000000000u);
      carry = cur / 1000000000u;
    }
    if (carry != 0) limbs.push_back(static_cast<uint32_t>(carry));
  }
  std::string s = std::to_string(limbs.back());
  char buf[16];
  for (size_t i = limbs.size() - 1; i-- > 0;) {
    std::snprintf(buf, sizeof buf, "%09u", static_cast<unsigned>(limbs[i]));
    s += buf;
  }
  return s;
}

}  // namespace

Oid::Oid(const char* dotted) {
  if (dotted == nullptr) {
    InvalidX::raise("object identifier: no text");
    return;
  }
  parse(dotted, *this);
}

bool Oid::parse(std::string_view dotted, Oid& out) {
  auto fail = [&](const char* what, size_t arc) {
    InvalidX::raise("object identifier \"%.60s\": %s%zu", std::string(dotted).c_str(), what, arc);
    return false;
  };
  std::string bytes;
  bytes.reserve(dotted.size());
  std::string_view first_arc;
  size_t arcs = 0, pos = 0;
  for (;;) {
    size_t dot = dotted.find('.', pos);
    std::string_view arc =
        dotted.substr(pos, dot == std::string_view::npos ? dotted.npos : dot - pos);
    ++arcs;
    if (!all_digits(arc) || (arc.size() > 1 && arc[0] == '0'))
      return fail("not a number: arc ", arcs);
    if (arcs == 1) {
      if (arc.size() != 1 || arc[0] > '2') return fail("first arc not 0, 1 or 2: arc ", arcs);
      first_arc = arc;
    } else if (arcs == 2) {
      // The first two arcs share one subidentifier: 40 * arc1 + arc2.
      unsigned first = static_cast<unsigned>(first_arc[0] - '0');
      if (first < 2 &&
          (arc.size() > 2 || (arc.size() == 2 && (arc[0] - '0') * 10 + (arc[1] - '0') >= 40)))
        return fail("second arc not below 40: arc ", arcs);
      append_base128(add_decimal(arc, first * 40), bytes);
    } else {
      append_base128(arc, bytes);
    }
    if (dot == std::string_view::npos) break;
    pos = dot + 1;
  }
  if (arcs < 2) return fail("fewer than two arcs: ", arcs);
  out.contents_ = DataUnit(std::move(bytes));
  return true;
}

bool Oid::from_contents(const unsigned char* p, size_t n, Oid& out) {
  size_t at = 0;
  if (const char* why = qx::ber::check_oid_contents(p, n, &at)) {
    InvalidX::raise("%s (octet %zu)", why, at);
    return false;
  }
  out.contents_.assign(p, n);
  return true;
}

Oid Oid::from_valid_contents(std::string_view contents) {
  Oid out;
  out.contents_.assign(contents.data(), contents.size());
  return out;
}

std::string Oid::format() const {
  std::string out;
  const unsigned char* p = contents_.data();
  size_t n = contents_.size();
  size_t start = 0;
  bool first = true;
  for (size_t i = 0; i < n; ++i) {
    if (p[i] & 0x80) continue;
    size_t len = i + 1 - start;
    if (first) {
      // The first subidentifier holds 40 * arc1 + arc2 (arc2 unbounded when arc1 is 2).
      if (len <= 9) {
        uint64_t v = 0;
        for (size_t k = start; k <= i; ++k) v = (v << 7) | (p[k] & 0x7f);
        uint64_t a = v < 80 ? v / 40 : 2;
        out += std::to_string(a);
        out += '.';
        out += std::to_string(v - a * 40);
      } else {
        out += "2.";
        out += sub_decimal(group_decimal(p + start, len), 80);
      }
      first = false;
    } else {
      out += '.';
      out += group_decimal(p + start, len);
    }
    start = i + 1;
  }
  return out;
}

size_t Oid::num_arcs() const {
  if (contents_.empty()) return 0;
  size_t n = 1;
  for (size_t i = 0; i < contents_.size(); ++i)
    if (!(contents_.data()[i] & 0x80)) ++n;
  return n;
}

unsigned long hashOid(const Oid& o) { return DataUnit::hash(o.contents()); }

// Subidentifier by subidentifier: minimal encodings make a longer one the
// larger number, and equal lengths compare bytewise. The combined first
// subidentifier (40 * arc1 + arc2) orders as the two arcs do.
int cmpOid(const Oid& a, const Oid& b) {
  const unsigned char* p = a.contents().data();
  const unsigned char* q = b.contents().data();
  size_t n = a.contents().size(), m = b.contents().size();
  size_t i = 0, j = 0;
  while (i < n && j < m) {
    size_t li = 0, lj = 0;
    while (p[i + li] & 0x80) ++li;
    while (q[j + lj] & 0x80) ++lj;
    if (li != lj) return li < lj ? -1 : 1;
    int c = std::memcmp(p + i, q + j, li + 1);
    if (c != 0) return c < 0 ? -1 : 1;
    i += li + 1;
    j += lj + 1;
  }
  if (i < n) return 1;
  if (j < m) return -1;
  return 0;
}

bool Oid::operator<(const Oid& o) const { return cmpOid(*this, o) < 0; }
