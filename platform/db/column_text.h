#ifndef QX_PLATFORM_DB_COLUMN_TEXT_H_
#define QX_PLATFORM_DB_COLUMN_TEXT_H_

// The text a text column holds, on both servers alike: valid UTF-8 (no overlong
// forms, no surrogates, nothing past U+10FFFF) without NUL octets, its declared
// length counted in characters. The layer refuses to bind any other text.

#include <cstddef>

namespace qx::db {

// The length in octets of the longest prefix of p[0..n) that a text column of
// `limit` characters holds (limit <= 0: any length). It ends on a character
// boundary; it is n when the whole text fits.
size_t storable_prefix(const char* p, size_t n, long limit);

}  // namespace qx::db

#endif  // QX_PLATFORM_DB_COLUMN_TEXT_H_
