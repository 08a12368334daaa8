#include "platform/db/civil.h"

#include <cstddef>

namespace qx::db {

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
  civil_from_days(floor_div(local, 86400), y, m, d);
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
  if (y < 1 || mo < 1 || mo > 12 || d < 1 || d > days_in_month(y, static_cast<unsigned>(mo)) ||
      h > 23 || mi > 59 || s > 59)
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
