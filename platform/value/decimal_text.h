#ifndef QX_PLATFORM_VALUE_DECIMAL_TEXT_H_
#define QX_PLATFORM_VALUE_DECIMAL_TEXT_H_

// Decimal digits of unsigned numbers, written straight into a buffer: the
// value notation prints numbers and identifier arcs with it.

#include <cstdint>
#include <cstring>

namespace qx {

// The most digits write_decimal writes.
inline constexpr size_t kMaxDecimalDigits = 20;

// The number of decimal digits of v.
inline size_t decimal_digits(uint64_t v) {
  size_t n = 1;
  for (; v >= 10000; v /= 10000) n += 4;
  return n + (v >= 10) + (v >= 100) + (v >= 1000);
}

// Writes the digits of v at out (room for kMaxDecimalDigits) and returns
// the end of what was written.
inline char* write_decimal(uint64_t v, char* out) {
  static constexpr char kPairs[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  char* end = out + decimal_digits(v);
  char* p = end;
  while (v >= 100) {
    unsigned r = static_cast<unsigned>(v % 100);
    v /= 100;
    p -= 2;
    std::memcpy(p, kPairs + 2 * r, 2);
  }
  if (v >= 10) {
    std::memcpy(p - 2, kPairs + 2 * v, 2);
  } else {
    p[-1] = static_cast<char>('0' + v);
  }
  return end;
}

}  // namespace qx

#endif  // QX_PLATFORM_VALUE_DECIMAL_TEXT_H_
