#ifndef QX_PLATFORM_DB_CIVIL_H_
#define QX_PLATFORM_DB_CIVIL_H_

#include <cstdint>

// Proleptic Gregorian calendar arithmetic for the date classes of this layer.
namespace qx::db {

// Days since 1970-01-01 of y-m-d (m 1-12).
int64_t days_from_civil(int64_t y, unsigned m, unsigned d);
void civil_from_days(int64_t z, int64_t* y, unsigned* m, unsigned* d);
unsigned days_in_month(int64_t y, unsigned m);
// Floor division and modulo for seconds and milliseconds before 1970.
inline int64_t floor_div(int64_t a, int64_t b) {
  int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
inline int64_t floor_mod(int64_t a, int64_t b) { return a - floor_div(a, b) * b; }

}  // namespace qx::db

#endif  // QX_PLATFORM_DB_CIVIL_H_
