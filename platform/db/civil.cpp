#include "platform/db/civil.h"

#include <cstddef>

namespace qx::db {

// Howard Hinnant's civil-date algorithms.
int64_t days_from_civil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civil_from_days(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<int64_t>(yoe) + era * 400 + (*m <= 2);
}

unsigned days_in_month(int64_t y, unsigned m) {
  static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m < 1 || m > 12) return 0;
  if (m == 2) {
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return leap ? 29 : 28;
  }
  return kDays[m - 1];
}

namespace {

inline char* two(char* o, unsigned v) {
  o[0] = static_cast<char>('0' + v / 10);
  o[1] = static_cast<char>('0' + v % 10);
  return o + 2;
}

bool digits(const char*& p, const char* end, int n, int* out) {
  int v = 0;
  for (int i = 0; i < n; ++i) {
    if (p >= end || *p < '0' || *p > '9') return false;
    v = v * 10 + (*p++ - '0');
  }
  *out = v;
  return true;
}

}  // namespace

size_t format_date_time(int64_t millis, int32_t offset, char* out) {
  int64_t local = floor_div(millis, 1000) + offset;
  int64_t y;
  unsigned m, d;
  civil_from_days(floor_div(local, 86400), &y, &m, &d);
  unsigned sod = static_cast<unsigned>(floor_mod(local, 86400));
  unsigned ms = static_cast<unsigned>(floor_mod(millis, 1000));
  unsigned year = static_cast<unsigned>(y);
  char* o = out;
  o = two(o, year / 100 % 100);
  o = two(o, year % 100);
  *o++ = '-';
  o = two(o, m);
  *o++ = '-';
  o = two(o, d);
  *o++ = ' ';
  o = two(o, sod / 3600);
  *o++ = ':';
  o = two(o, sod / 60 % 60);
  *o++ = ':';
  o = two(o, sod % 60);
  *o++ = '.';
  *o++ = static_cast<char>('0' + ms / 100);
  o = two(o, ms % 100);
  unsigned off = static_cast<unsigned>(offset < 0 ? -offset : offset);
  *o++ = offset < 0 ? '-' : '+';
  o = two(o, off / 3600);
  *o++ = ':';
  o = two(o, off / 60 % 60);
  if (off % 60 != 0) {
    *o++ = ':';
    o = two(o, off % 60);
  }
  return static_cast<size_t>(o - out);
}

namespace {

// k digits at p as a number; -1 when one is not a digit.
template <int k>
int fixed(const char* p) {
  int v = 0;
  for (int i = 0; i < k; ++i) {
    unsigned d = static_cast<unsigned>(static_cast<unsigned char>(p[i])) - '0';
    if (d > 9) return -1;
    v = v * 10 + static_cast<int>(d);
  }
  return v;
}

// Checks the fields and stores the instant.
bool finish(int y, int mo, int d, int h, int mi, int s, int ms, int32_t off, int64_t* millis,
            int32_t* offset) {
  if (y < 1 || mo < 1 || mo > 12 || d < 1 ||
      static_cast<unsigned>(d) > days_in_month(y, static_cast<unsigned>(mo)) || h > 23 || mi > 59 ||
      s > 59)
    return false;
  int64_t wall = days_from_civil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 +
                 h * 3600 + mi * 60 + s;
  *millis = (wall - off) * 1000 + ms;
  *offset = off;
  return true;
}

}  // namespace

bool parse_date_time(const char* p, size_t n, int64_t* millis, int32_t* offset) {
  // The form format_date_time writes, "YYYY-MM-DD HH:MM:SS.fff+HH:MM", read in place.
  if (n == 29 && p[4] == '-' && p[7] == '-' && p[10] == ' ' && p[13] == ':' && p[16] == ':' &&
      p[19] == '.' && (p[23] == '+' || p[23] == '-') && p[26] == ':') {
    int y = fixed<4>(p), mo = fixed<2>(p + 5), d = fixed<2>(p + 8), h = fixed<2>(p + 11),
        mi = fixed<2>(p + 14), s = fixed<2>(p + 17), ms = fixed<3>(p + 20), oh = fixed<2>(p + 24),
        om = fixed<2>(p + 27);
    if ((y | mo | d | h | mi | s | ms | oh | om) < 0 || oh > 23 || om > 59) return false;
    int32_t off = oh * 3600 + om * 60;
    return finish(y, mo, d, h, mi, s, ms, p[23] == '-' ? -off : off, millis, offset);
  }
  const char* end = p + n;
  int y, mo, d, h, mi, s, ms = 0;
  if (!digits(p, end, 4, &y) || p >= end || *p++ != '-' || !digits(p, end, 2, &mo) || p >= end ||
      *p++ != '-' || !digits(p, end, 2, &d) || p >= end || (*p != ' ' && *p != 'T'))
    return false;
  ++p;
  if (!digits(p, end, 2, &h) || p >= end || *p++ != ':' || !digits(p, end, 2, &mi) || p >= end ||
      *p++ != ':' || !digits(p, end, 2, &s))
    return false;
  if (p < end && *p == '.') {
    ++p;
    int scale = 100, nd = 0;
    while (p < end && *p >= '0' && *p <= '9') {
      if (nd++ < 3) {
        ms += (*p - '0') * scale;
        scale /= 10;
      }
      ++p;
    }
    if (nd == 0 || nd > 6) return false;
  }
  int32_t off = 0;
  if (p < end) {
    char sign = *p++;
    if (sign == 'Z') {
      if (p != end) return false;
    } else {
      if (sign != '+' && sign != '-') return false;
      int oh, om = 0, os = 0;
      if (!digits(p, end, 2, &oh)) return false;
      if (p < end && *p == ':') {
        ++p;
        if (!digits(p, end, 2, &om)) return false;
        if (p < end && *p == ':') {
          ++p;
          if (!digits(p, end, 2, &os)) return false;
        }
      }
      if (p != end || oh > 23 || om > 59 || os > 59) return false;
      off = oh * 3600 + om * 60 + os;
      if (sign == '-') off = -off;
    }
  }
  return finish(y, mo, d, h, mi, s, ms, off, millis, offset);
}

}  // namespace qx::db
