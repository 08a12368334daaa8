#ifndef QX_PLATFORM_DB_CIVIL_H_
#define QX_PLATFORM_DB_CIVIL_H_

#include <cstddef>
#include <cstdint>

#include "platform/value/time_stamp.h"

// Proleptic Gregorian calendar arithmetic for the date classes of this layer.
namespace qx::db {

// The calendar itself is the value library's: days since 1970-01-01 of y-m-d (m 1-12),
// the date of a day count, the days of a month (0 for a month out of range), and the
// floor division and modulo of instants before 1970.
using qx::civil_from_days;
using qx::days_from_civil;
using qx::days_in_month;
using qx::floor_div;
using qx::floor_mod;

// Writes "YYYY-MM-DD HH:MM:SS.mmm+HH:MM" (":SS" added to the offset when it
// has seconds) of the instant millis shown offset seconds east of UTC;
// returns the length. REQUIRES: out holds 40 bytes; the year is 0 to 9999.
size_t format_date_time(int64_t millis, int32_t offset, char* out);
// Parses that form (also "T" for the blank, 0 to 6 fraction digits, "+HH",
// "+HH:MM[:SS]", "Z" or no offset). false when the text is not such a time
// or a field is out of range.
bool parse_date_time(const char* p, size_t n, int64_t* millis, int32_t* offset);

}  // namespace qx::db

#endif  // QX_PLATFORM_DB_CIVIL_H_
