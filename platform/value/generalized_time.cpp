#include "platform/value/generalized_time.h"

#include <cstdio>
#include <cstring>

#include "platform/value/exception.h"

namespace {

// Reads exactly n digits at s[pos]; false when they are not all digits.
bool digits(std::string_view s, size_t pos, size_t n, int& out) {
  if (pos + n > s.size()) return false;
  int v = 0;
  for (size_t i = pos; i < pos + n; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    v = v * 10 + (s[i] - '0');
  }
  out = v;
  return true;
}

// "00" to "99", two octets each.
struct TwoDigits {
  char text[200];
};
constexpr TwoDigits make_two_digits() {
  TwoDigits t{};
  for (int v = 0; v < 100; ++v) {
    t.text[2 * v] = static_cast<char>('0' + v / 10);
    t.text[2 * v + 1] = static_cast<char>('0' + v % 10);
  }
  return t;
}
constexpr TwoDigits kTwoDigits = make_two_digits();

// Writes v (0 <= v < 100) as two decimal digits at out.
inline void put2(char* out, unsigned v) { std::memcpy(out, kTwoDigits.text + 2 * v, 2); }

// Writes "YYYYMMDDHHMMSS[.fff]" (the fraction only when msec is not 0, without trailing
// zeros) at out, which holds 18 octets at least; its length. REQUIRES: year 0 to 9999,
// the other fields below 100, msec below 1000. Written two digits at a time: this runs
// once per time column read.
size_t put_text(char* out, unsigned year, unsigned month, unsigned day, unsigned hour,
                unsigned minute, unsigned second, unsigned msec) {
  put2(out, year / 100);
  put2(out + 2, year % 100);
  put2(out + 4, month);
  put2(out + 6, day);
  put2(out + 8, hour);
  put2(out + 10, minute);
  put2(out + 12, second);
  if (msec == 0) return 14;
  out[14] = '.';
  out[15] = static_cast<char>('0' + msec / 100);
  put2(out + 16, msec % 100);
  size_t n = 18;
  while (out[n - 1] == '0') --n;
  return n;
}

// The fields of tm as put_text writes them; 0 when a field does not fit its digits.
size_t put_fields(const Tm& tm, char* out) {
  const int year = tm.tm_year + 1900;
  auto two_digit = [](int v) { return v >= 0 && v <= 99; };
  if (!(year >= 0 && year <= 9999 && two_digit(tm.tm_mon + 1) && two_digit(tm.tm_mday) &&
        two_digit(tm.tm_hour) && two_digit(tm.tm_min) && two_digit(tm.tm_sec) && tm.tm_msec >= 0 &&
        tm.tm_msec <= 999))
    return 0;
  return put_text(out, static_cast<unsigned>(year), static_cast<unsigned>(tm.tm_mon + 1),
                  static_cast<unsigned>(tm.tm_mday), static_cast<unsigned>(tm.tm_hour),
                  static_cast<unsigned>(tm.tm_min), static_cast<unsigned>(tm.tm_sec),
                  static_cast<unsigned>(tm.tm_msec));
}

std::string two(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", v);
  return b;
}

}  // namespace

GeneralizedTime::GeneralizedTime() : error_("no time") {}

GeneralizedTime::GeneralizedTime(std::string_view text) : text_(text) { parse(); }

GeneralizedTime::GeneralizedTime(const Asn1Value& v) {
  ExceptionScope scope;  // a bad value is reported through error()
  // An explicitly tagged time ([0] around a GeneralizedTime) reads as the time.
  if (v.constructed() && v.num_comps() == 1 && v.first_component().tag() == TAG_GENTIME) {
    *this = GeneralizedTime(v.first_component());
    return;
  }
  if (!v.decode_octets(text_)) {
    error_ = scope.caught() ? scope.caught()->reason() : "not a string value";
    return;
  }
  parse();
}

GeneralizedTime::GeneralizedTime(const TimeStamp& ts, int flag) {
  if (!ts.valid()) {
    error_ = "invalid time stamp";
    return;
  }
  Tm tm;
  ts.to_tm(tm, flag != UTC);
  char fields[GeneralizedTime::kUtcTextMax];
  if (size_t n = put_fields(tm, fields)) {
    text_.assign(fields, n);
  } else {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    text_ = buf;
    if (tm.tm_msec != 0) {
      std::snprintf(buf, sizeof buf, ".%03d", tm.tm_msec);
      std::string frac = buf;
      while (frac.back() == '0') frac.pop_back();
      text_ += frac;
    }
  }
  if (flag == UTC) {
    text_ += 'Z';
  } else if (flag == LOCAL_OFFSET) {
    Tm as_utc = tm;
    as_utc.tm_isdst = 0;
    int64_t offset = (TimeStamp(as_utc, false).seconds() - ts.seconds()) / 60;
    text_ += offset < 0 ? '-' : '+';
    if (offset < 0) offset = -offset;
    text_ += two(static_cast<int>(offset / 60)) + two(static_cast<int>(offset % 60));
  }
  stamp_ = ts;
}

size_t GeneralizedTime::utc_text(const TimeStamp& ts, char* buf) {
  if (!ts.valid()) return 0;
  // The fields straight from the instant, without a Tm. A valid stamp lies in the years
  // 0 to 9999.
  int64_t year;
  unsigned month, day;
  qx::civil_from_days(qx::floor_div(ts.seconds(), 86400), year, month, day);
  const auto second = static_cast<unsigned>(qx::floor_mod(ts.seconds(), 86400));
  size_t n = put_text(buf, static_cast<unsigned>(year), month, day, second / 3600, second / 60 % 60,
                      second % 60, static_cast<unsigned>(ts.msec()));
  buf[n++] = 'Z';
  return n;
}

// YYYYMMDDHH[MM[SS]][(.|,)digits][Z|(+|-)hh[mm]]
const char* GeneralizedTime::read(std::string_view s, TimeStamp* out) {
  int year, mon, day, hour, min = 0, sec = 0;
  if (!digits(s, 0, 4, year) || !digits(s, 4, 2, mon) || !digits(s, 6, 2, day) ||
      !digits(s, 8, 2, hour))
    return "YYYYMMDDHH expected";
  size_t pos = 10;
  int64_t unit_ms = 3600000;
  if (digits(s, pos, 2, min)) {
    pos += 2;
    unit_ms = 60000;
    if (digits(s, pos, 2, sec)) {
      pos += 2;
      unit_ms = 1000;
    }
  }
  int64_t frac_ms = 0;
  if (pos < s.size() && (s[pos] == '.' || s[pos] == ',')) {
    ++pos;
    size_t start = pos;
    uint64_t num = 0, den = 1;
    while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') {
      if (pos - start < 12) {  // finer digits are below a millisecond
        num = num * 10 + static_cast<uint64_t>(s[pos] - '0');
        den *= 10;
      }
      ++pos;
    }
    if (pos == start) return "digits expected after the decimal mark";
    frac_ms = static_cast<int64_t>(num * static_cast<uint64_t>(unit_ms) / den);
  }
  bool local = true;
  int offset_min = 0;
  if (pos < s.size() && s[pos] == 'Z') {
    local = false;
    ++pos;
  } else if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
    int sign = s[pos] == '-' ? -1 : 1;
    int oh, om = 0;
    if (!digits(s, pos + 1, 2, oh)) return "zone offset hh expected";
    pos += 3;
    if (digits(s, pos, 2, om)) pos += 2;
    if (oh > 23 || om > 59) return "zone offset out of range";
    local = false;
    offset_min = sign * (oh * 60 + om);
  }
  if (pos != s.size()) return "unexpected characters";
  if (mon < 1 || mon > 12) return "month out of range";
  if (day < 1 || day > qx::days_in_month(year, static_cast<unsigned>(mon)))
    return "day out of range";
  if (hour > 23) return "hour out of range";
  if (min > 59) return "minute out of range";
  if (sec > 59) return "second out of range";
  Tm tm;
  tm.tm_year = year - 1900;
  tm.tm_mon = mon - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = min;
  tm.tm_sec = sec;
  tm.tm_isdst = -1;
  TimeStamp base(tm, local);
  if (!base.valid()) return local ? "no such local time" : "out of range";
  int64_t ms = base.millis() - int64_t{offset_min} * 60000 + frac_ms;
  TimeStamp ts = TimeStamp::from_millis(ms);
  if (!ts.valid()) return "out of range";
  *out = ts;
  return nullptr;
}

void GeneralizedTime::parse() {
  stamp_ = TimeStamp();
  const char* what = read(text_, &stamp_);
  error_ = what == nullptr ? "" : "GeneralizedTime \"" + text_.substr(0, 40) + "\": " + what;
}

TimeStamp GeneralizedTime::stamp_of(const Asn1Value& v) {
  // A primitive value is read where it lies; any other form through the full reading.
  if (!v || v.constructed()) return GeneralizedTime(v).to_time_stamp();
  TimeStamp ts;
  read(v.contents(), &ts);  // left invalid when the text is no time
  return ts;
}

Asn1Value GeneralizedTime::to_asn1() const {
  Asn1Value v;
  if (valid()) v.encode_octets(text_, TAG_GENTIME);
  return v;
}
