#ifndef QX_PLATFORM_VALUE_TIME_STAMP_H_
#define QX_PLATFORM_VALUE_TIME_STAMP_H_

#include <cstdint>

// A broken-down time, fields as in struct tm plus milliseconds.
struct Tm {
  int tm_year = 0;  // years since 1900
  int tm_mon = 0;   // 0-11
  int tm_mday = 1;  // 1-31
  int tm_hour = 0;  // 0-23
  int tm_min = 0;   // 0-59
  int tm_sec = 0;   // 0-59
  int tm_msec = 0;  // 0-999
  // Local times: > 0 daylight-saving time in effect, 0 standard time, < 0
  // unknown. Converting a local Tm to an instant uses it only to choose
  // between the two instants of a repeated hour; when it does not fit the
  // date (0 in summer) the zone decides. 0 for UTC times.
  int tm_isdst = 0;

  bool operator==(const Tm& o) const;
  bool operator!=(const Tm& o) const { return !(*this == o); }
};

// An instant: seconds since 1970-01-01T00:00:00Z and milliseconds. A
// default-constructed TimeStamp is invalid; conversions from invalid or
// out-of-range input give an invalid TimeStamp, and an invalid TimeStamp
// converts to nothing. Years 0 to 9999 are in range. A value type.
class TimeStamp {
 public:
  TimeStamp() = default;
  // REQUIRES: 0 <= msec <= 999.
  explicit TimeStamp(int64_t seconds, int msec = 0);
  // From broken-down time, local (local = true) or UTC; invalid when a field
  // is out of range (no normalisation: 31 April is refused).
  explicit TimeStamp(const Tm& tm, bool local = true);
  // The instant `millis` milliseconds after 1970-01-01T00:00:00Z (before it when
  // negative); invalid out of range.
  static TimeStamp from_millis(int64_t millis);

  static TimeStamp now();

  bool valid() const { return valid_; }
  int64_t seconds() const { return seconds_; }
  int msec() const { return msec_; }
  int64_t millis() const { return seconds_ * 1000 + msec_; }

  // The broken-down time in local time or UTC. Returns false for an invalid
  // TimeStamp; out then holds a Tm with tm_mday 0, which converts back to an
  // invalid TimeStamp (so invalid stays invalid through Tm).
  bool to_tm(Tm& out, bool local = true) const;
  Tm to_local_tm() const;
  Tm to_utc_tm() const;

  bool operator==(const TimeStamp& o) const;
  bool operator!=(const TimeStamp& o) const { return !(*this == o); }
  bool operator<(const TimeStamp& o) const;

 private:
  int64_t seconds_ = 0;
  int msec_ = 0;
  bool valid_ = false;
};

namespace qx {
// Days since 1970-01-01 of a proleptic Gregorian date (month 1-12).
int64_t days_from_civil(int64_t y, unsigned m, unsigned d);
// The date of a day count: y, m (1-12), d.
void civil_from_days(int64_t z, int64_t& y, unsigned& m, unsigned& d);
int days_in_month(int64_t y, unsigned m);

// Floor division and modulo, for seconds and milliseconds before 1970.
inline int64_t floor_div(int64_t a, int64_t b) {
  int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
inline int64_t floor_mod(int64_t a, int64_t b) { return a - floor_div(a, b) * b; }
}  // namespace qx

#endif  // QX_PLATFORM_VALUE_TIME_STAMP_H_
