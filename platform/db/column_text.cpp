#include "platform/db/column_text.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qx::db {

size_t storable_prefix(const char* p, size_t n, long limit) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(p);
  const size_t most = limit > 0 ? static_cast<size_t>(limit) : SIZE_MAX;
  size_t i = 0;
  size_t chars = 0;
#if defined(__SSE2__)
  // Sixteen ASCII octets at a time, none of them NUL: every text is checked on each
  // write, so the common case of plain ASCII goes at the width of a register.
  const __m128i zero = _mm_setzero_si128();
  while (i + 16 <= n && chars + 16 <= most) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    if ((_mm_movemask_epi8(v) | _mm_movemask_epi8(_mm_cmpeq_epi8(v, zero))) != 0) break;
    i += 16;
    chars += 16;
  }
#endif
  // Eight ASCII octets at a time, none of them NUL.
  constexpr uint64_t kHigh = 0x8080808080808080ULL, kOnes = 0x0101010101010101ULL;
  while (i + 8 <= n && chars + 8 <= most) {
    uint64_t w;
    std::memcpy(&w, s + i, 8);
    if ((w & kHigh) != 0 || ((w - kOnes) & ~w & kHigh) != 0) break;
    i += 8;
    chars += 8;
  }
  // The last few octets (fewer than eight) in one word too, when they are ASCII and fit:
  // most texts end so. The word is the text's last eight octets where it has them, else
  // the rest padded with a harmless octet.
  if (size_t rest = n - i; rest != 0 && rest < 8 && chars + rest <= most) {
    uint64_t w = kOnes;
    if (n >= 8) {
      std::memcpy(&w, s + n - 8, 8);
    } else {
      std::memcpy(&w, s + i, rest);
    }
    if ((w & kHigh) == 0 && ((w - kOnes) & ~w & kHigh) == 0) return n;
  }
  while (i < n && chars < most) {
    unsigned char c = s[i];
    if (c < 0x80) {
      if (c == 0) return i;
      ++i;
      ++chars;
      continue;
    }
    size_t len;
    uint32_t cp;
    if ((c & 0xE0) == 0xC0) {
      len = 2;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
      cp = c & 0x07;
    } else {
      return i;
    }
    if (i + len > n) return i;
    for (size_t k = 1; k < len; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return i;
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
        cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
      return i;
    i += len;
    ++chars;
  }
  return i;
}

}  // namespace qx::db
