#include "platform/value/time_stamp.h"

#include <ctime>

namespace qx {

// Howard Hinnant's civil calendar algorithms (proleptic Gregorian).
int64_t days_from_civil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civil_from_days(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

int days_in_month(int64_t y, unsigned m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m < 1 || m > 12) return 0;
  if (m == 2 && (y % 4 == 0 && (y % 100 != 0 || y % 400 == 0))) return 29;
  return kDays[m - 1];
}

}  // namespace qx

namespace {

// Instants of years 0 to 9999.
const int64_t kMinSeconds = qx::days_from_civil(0, 1, 1) * 86400;
const int64_t kEndSeconds = qx::days_from_civil(10000, 1, 1) * 86400;

bool fields_valid(const Tm& tm) {
  int64_t year = int64_t{tm.tm_year} + 1900;
  return year >= 0 && year <= 9999 && tm.tm_mon >= 0 && tm.tm_mon <= 11 && tm.tm_mday >= 1 &&
         tm.tm_mday <= qx::days_in_month(year, static_cast<unsigned>(tm.tm_mon + 1)) &&
         tm.tm_hour >= 0 && tm.tm_hour <= 23 && tm.tm_min >= 0 && tm.tm_min <= 59 &&
         tm.tm_sec >= 0 && tm.tm_sec <= 59 && tm.tm_msec >= 0 && tm.tm_msec <= 999;
}

bool same_fields(const struct tm& t, const Tm& tm) {
  return t.tm_year == tm.tm_year && t.tm_mon == tm.tm_mon && t.tm_mday == tm.tm_mday &&
         t.tm_hour == tm.tm_hour && t.tm_min == tm.tm_min && t.tm_sec == tm.tm_sec;
}

// The instant of a local time; false when the zone has no such time (the hour
// skipped when clocks go forward).
bool local_to_seconds(const Tm& tm, int64_t& out) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    struct tm t {};
    t.tm_year = tm.tm_year;
    t.tm_mon = tm.tm_mon;
    t.tm_mday = tm.tm_mday;
    t.tm_hour = tm.tm_hour;
    t.tm_min = tm.tm_min;
    t.tm_sec = tm.tm_sec;
    // First as the caller says (choosing in a repeated hour), then as the
    // zone says when the caller's flag does not fit the date.
    t.tm_isdst = attempt == 0 ? (tm.tm_isdst > 0 ? 1 : (tm.tm_isdst == 0 ? 0 : -1)) : -1;
    time_t r = mktime(&t);
    if (same_fields(t, tm)) {
      out = static_cast<int64_t>(r);
      return true;
    }
    if (tm.tm_isdst < 0) break;
  }
  return false;
}

}  // namespace

bool Tm::operator==(const Tm& o) const {
  return tm_year == o.tm_year && tm_mon == o.tm_mon && tm_mday == o.tm_mday &&
         tm_hour == o.tm_hour && tm_min == o.tm_min && tm_sec == o.tm_sec && tm_msec == o.tm_msec &&
         tm_isdst == o.tm_isdst;
}

TimeStamp::TimeStamp(int64_t seconds, int msec) {
  if (msec >= 0 && msec <= 999 && seconds >= kMinSeconds && seconds < kEndSeconds) {
    seconds_ = seconds;
    msec_ = msec;
    valid_ = true;
  }
}

TimeStamp TimeStamp::from_millis(int64_t millis) {
  return TimeStamp(qx::floor_div(millis, 1000), static_cast<int>(qx::floor_mod(millis, 1000)));
}

TimeStamp::TimeStamp(const Tm& tm, bool local) {
  if (!fields_valid(tm)) return;
  int64_t s;
  if (local) {
    if (!local_to_seconds(tm, s)) return;
  } else {
    s = qx::days_from_civil(int64_t{tm.tm_year} + 1900, static_cast<unsigned>(tm.tm_mon + 1),
                            static_cast<unsigned>(tm.tm_mday)) *
            86400 +
        tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec;
  }
  *this = TimeStamp(s, tm.tm_msec);
}

TimeStamp TimeStamp::now() {
  struct timespec ts;
  clock_gettime(CLOCK_REALTIME, &ts);
  return TimeStamp(static_cast<int64_t>(ts.tv_sec), static_cast<int>(ts.tv_nsec / 1000000));
}

bool TimeStamp::to_tm(Tm& out, bool local) const {
  if (!valid_) {
    out = Tm();
    out.tm_mday = 0;  // converts back to an invalid TimeStamp
    return false;
  }
  Tm r;
  if (local) {
    time_t t = static_cast<time_t>(seconds_);
    struct tm lt {};
    if (localtime_r(&t, &lt) == nullptr) {
      out = Tm();
      out.tm_mday = 0;
      return false;
    }
    r.tm_year = lt.tm_year;
    r.tm_mon = lt.tm_mon;
    r.tm_mday = lt.tm_mday;
    r.tm_hour = lt.tm_hour;
    r.tm_min = lt.tm_min;
    r.tm_sec = lt.tm_sec;
    r.tm_isdst = lt.tm_isdst > 0 ? 1 : 0;
  } else {
    int64_t days = qx::floor_div(seconds_, 86400);
    int64_t rem = seconds_ - days * 86400;
    int64_t y;
    unsigned m, d;
    qx::civil_from_days(days, y, m, d);
    r.tm_year = static_cast<int>(y - 1900);
    r.tm_mon = static_cast<int>(m) - 1;
    r.tm_mday = static_cast<int>(d);
    r.tm_hour = static_cast<int>(rem / 3600);
    r.tm_min = static_cast<int>(rem / 60 % 60);
    r.tm_sec = static_cast<int>(rem % 60);
    r.tm_isdst = 0;
  }
  r.tm_msec = msec_;
  out = r;
  return true;
}

Tm TimeStamp::to_local_tm() const {
  Tm t;
  to_tm(t, true);
  return t;
}

Tm TimeStamp::to_utc_tm() const {
  Tm t;
  to_tm(t, false);
  return t;
}

bool TimeStamp::operator==(const TimeStamp& o) const {
  if (valid_ != o.valid_) return false;
  return !valid_ || (seconds_ == o.seconds_ && msec_ == o.msec_);
}

bool TimeStamp::operator<(const TimeStamp& o) const {
  if (valid_ != o.valid_) return !valid_;
  return valid_ && millis() < o.millis();
}
