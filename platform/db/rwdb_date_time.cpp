#include "platform/db/rwdb_date_time.h"

#include <ctime>

#include "platform/db/civil.h"

using qx::db::floor_div;
using qx::db::floor_mod;

namespace {

struct Fields {
  int64_t year;
  unsigned month, day, hour, minute, second, ms;
};

Fields fields_at(int64_t millis, int32_t offset) {
  int64_t local = floor_div(millis, 1000) + offset;
  Fields f;
  qx::db::civil_from_days(floor_div(local, 86400), f.year, f.month, f.day);
  int64_t sod = floor_mod(local, 86400);
  f.hour = static_cast<unsigned>(sod / 3600);
  f.minute = static_cast<unsigned>(sod / 60 % 60);
  f.second = static_cast<unsigned>(sod % 60);
  f.ms = static_cast<unsigned>(floor_mod(millis, 1000));
  return f;
}

bool fields_ok(int64_t year, unsigned month, unsigned day, unsigned hour, unsigned minute,
               unsigned second, unsigned ms) {
  return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
         day <= static_cast<unsigned>(qx::db::days_in_month(year, month)) && hour < 24 &&
         minute < 60 && second < 60 && ms < 1000;
}

}  // namespace

RWDBDateTime::RWDBDateTime(const RWDate& date, unsigned hour, unsigned minute, unsigned second,
                           unsigned millisecond, const RWZone& zone)
    : RWDBDateTime(date.isValid() ? date.year() : 0, date.month(), date.dayOfMonth(), hour, minute,
                   second, millisecond, zone) {}

RWDBDateTime::RWDBDateTime(unsigned year, unsigned month, unsigned day, unsigned hour,
                           unsigned minute, unsigned second, unsigned millisecond,
                           const RWZone& zone) {
  if (!fields_ok(year, month, day, hour, minute, second, millisecond)) return;
  int64_t t;
  if (!zone.toUtc(year, month, day, hour, minute, second, -1, &t)) return;
  millis_ = t * 1000 + millisecond;
  offset_ = zone.offsetAt(t);
  valid_ = true;
}

RWDBDateTime::RWDBDateTime(const struct tm* tm, unsigned millisecond, const RWZone& zone) {
  if (tm == nullptr || tm->tm_year < -1899 || tm->tm_mon < 0 || tm->tm_mday < 1 ||
      tm->tm_hour < 0 || tm->tm_min < 0 || tm->tm_sec < 0)
    return;
  int64_t year = static_cast<int64_t>(tm->tm_year) + 1900;
  unsigned month = static_cast<unsigned>(tm->tm_mon) + 1, day = static_cast<unsigned>(tm->tm_mday);
  unsigned h = static_cast<unsigned>(tm->tm_hour), m = static_cast<unsigned>(tm->tm_min),
           s = static_cast<unsigned>(tm->tm_sec);
  if (!fields_ok(year, month, day, h, m, s, millisecond)) return;
  int64_t t;
  if (!zone.toUtc(year, month, day, h, m, s, tm->tm_isdst, &t)) return;
  millis_ = t * 1000 + millisecond;
  offset_ = zone.offsetAt(t);
  valid_ = true;
}

RWDBDateTime RWDBDateTime::fromMillis(int64_t millisSinceEpoch, const RWZone& zone) {
  return fromMillisOffset(millisSinceEpoch, zone.offsetAt(floor_div(millisSinceEpoch, 1000)));
}

RWDBDateTime RWDBDateTime::fromMillisOffset(int64_t millisSinceEpoch, int32_t offsetSeconds) {
  RWDBDateTime d;
  // Years 1 to 9999 of the wall clock.
  constexpr int64_t kFirst = -62135596800000LL;  // 0001-01-01T00:00:00Z
  constexpr int64_t kEnd = 253402300800000LL;    // 10000-01-01T00:00:00Z
  int64_t wall = millisSinceEpoch + static_cast<int64_t>(offsetSeconds) * 1000;
  d.millis_ = millisSinceEpoch;
  d.offset_ = offsetSeconds;
  d.valid_ = wall >= kFirst && wall < kEnd;
  return d;
}

RWDBDateTime RWDBDateTime::now() {
  struct timespec ts {};
  clock_gettime(CLOCK_REALTIME, &ts);
  return fromMillis(static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000);
}

void RWDBDateTime::extract(struct tm* tm, const RWZone& zone) const {
  if (!valid_ || tm == nullptr) return;
  int64_t secs = floor_div(millis_, 1000);
  int32_t off = zone.offsetAt(secs);
  Fields f = fields_at(millis_, off);
  *tm = {};
  tm->tm_year = static_cast<int>(f.year - 1900);
  tm->tm_mon = static_cast<int>(f.month) - 1;
  tm->tm_mday = static_cast<int>(f.day);
  tm->tm_hour = static_cast<int>(f.hour);
  tm->tm_min = static_cast<int>(f.minute);
  tm->tm_sec = static_cast<int>(f.second);
  int64_t days = qx::db::days_from_civil(f.year, f.month, f.day);
  tm->tm_wday = static_cast<int>(floor_mod(days + 4, 7));  // 1970-01-01 was a Thursday
  tm->tm_yday = static_cast<int>(days - qx::db::days_from_civil(f.year, 1, 1));
  if (zone.isLocal()) {
    time_t tt = static_cast<time_t>(secs);
    struct tm lt {};
    if (localtime_r(&tt, &lt) != nullptr) tm->tm_isdst = lt.tm_isdst;
  }
  tm->tm_gmtoff = off;
}

namespace {
Fields local_fields(int64_t millis) {
  return fields_at(millis, RWZone::local().offsetAt(floor_div(millis, 1000)));
}
}  // namespace

int RWDBDateTime::year() const { return static_cast<int>(local_fields(millis_).year); }
unsigned RWDBDateTime::month() const { return local_fields(millis_).month; }
unsigned RWDBDateTime::dayOfMonth() const { return local_fields(millis_).day; }
unsigned RWDBDateTime::hour() const { return local_fields(millis_).hour; }
unsigned RWDBDateTime::minute() const { return local_fields(millis_).minute; }
unsigned RWDBDateTime::second() const { return local_fields(millis_).second; }
unsigned RWDBDateTime::milliSecond() const { return local_fields(millis_).ms; }

RWCString RWDBDateTime::asString() const {
  if (!valid_) return RWCString();
  char buf[48];
  return RWCString(buf, qx::db::format_date_time(millis_, offset_, buf));
}

RWDBDateTime RWDBDateTime::fromString(const RWCString& text) {
  int64_t ms;
  int32_t off;
  if (!qx::db::parse_date_time(text.data(), text.length(), &ms, &off)) return RWDBDateTime();
  return fromMillisOffset(ms, off);
}
