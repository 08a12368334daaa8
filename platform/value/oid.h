#ifndef QX_PLATFORM_VALUE_OID_H_
#define QX_PLATFORM_VALUE_OID_H_

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "platform/value/data_unit.h"

// An OBJECT IDENTIFIER, held as the contents octets of its BER encoding
// (base-128 subidentifiers, the first two arcs combined), so hashing and
// equality work on bytes. Ordering is by arcs: a < b when a's arcs sort
// numerically and lexicographically before b's (a prefix first).
// An empty Oid holds nothing (no arcs). Arcs may be of any size; they are
// parsed and formatted exactly. One thread at a time per object.
class Oid {
 public:
  Oid() = default;
  // Parses dotted text ("2.9.3.2.7.14"). Malformed text leaves the Oid empty
  // and raises InvalidX (see parse for what is accepted).
  explicit Oid(const char* dotted);

  // Accepts two or more arcs of decimal digits separated by single dots, no
  // signs, spaces or leading zeros; the first arc 0, 1 or 2, and the second
  // below 40 when the first is 0 or 1. On success stores the identifier in
  // out and returns true; on failure leaves out unchanged, returns false and
  // raises InvalidX.
  static bool parse(std::string_view dotted, Oid& out);

  // Validates BER contents octets (non-empty, every subidentifier minimal and
  // complete). On success stores them in out and returns true; on failure
  // leaves out unchanged, returns false and raises InvalidX.
  static bool from_contents(const unsigned char* p, size_t n, Oid& out);
  // The identifier whose contents octets are `contents`, taken without a check.
  // REQUIRES: contents that from_contents accepts, such as those of a value tagged
  // OBJECT IDENTIFIER (an Asn1Value holds no other there).
  static Oid from_valid_contents(std::string_view contents);

  // The dotted text; "" for an empty Oid.
  std::string format() const;
  // The number of arcs (0 for an empty Oid).
  size_t num_arcs() const;

  bool empty() const { return contents_.empty(); }
  const DataUnit& contents() const { return contents_; }

  bool operator==(const Oid& o) const { return contents_ == o.contents_; }
  bool operator!=(const Oid& o) const { return contents_ != o.contents_; }
  bool operator<(const Oid& o) const;

 private:
  DataUnit contents_;
};

unsigned long hashOid(const Oid& o);
// 0 when equal; negative / positive when a orders before / after b.
int cmpOid(const Oid& a, const Oid& b);

template <>
struct std::hash<Oid> {
  size_t operator()(const Oid& o) const noexcept { return hashOid(o); }
};

#endif  // QX_PLATFORM_VALUE_OID_H_
