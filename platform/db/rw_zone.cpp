#include "platform/db/rw_zone.h"

#include <algorithm>
#include <ctime>
#include <vector>

#include "platform/db/civil.h"

namespace {

// The C library's view of the local zone at an instant.
void local_at(int64_t t, int32_t* offset, bool* dst) {
  time_t tt = static_cast<time_t>(t);
  struct tm tm {};
  if (localtime_r(&tt, &tm) == nullptr) {
    *offset = 0;
    *dst = false;
    return;
  }
  *offset = static_cast<int32_t>(tm.tm_gmtoff);
  *dst = tm.tm_isdst > 0;
}

}  // namespace

const RWZone& RWZone::local() {
  static const RWZone zone(kLocal, 0);
  static const bool init = [] {
    tzset();
    return true;
  }();
  (void)init;
  return zone;
}

const RWZone& RWZone::utc() {
  static const RWZone zone(kUtc, 0);
  return zone;
}

RWZone RWZone::fixed(int32_t offsetSeconds) { return RWZone(kFixed, offsetSeconds); }

int32_t RWZone::offsetAt(int64_t utcSeconds) const {
  switch (kind_) {
    case kUtc:
      return 0;
    case kFixed:
      return offset_;
    case kLocal:
      break;
  }
  int32_t off;
  bool dst;
  local_at(utcSeconds, &off, &dst);
  return off;
}

bool RWZone::toUtc(int64_t year, unsigned month, unsigned day, unsigned hour, unsigned minute,
                   unsigned second, int isdst, int64_t* utcSeconds) const {
  const int64_t wall =
      qx::db::days_from_civil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  if (kind_ != kLocal) {
    *utcSeconds = wall - (kind_ == kFixed ? offset_ : 0);
    return true;
  }
  // The instants whose local wall-clock time is `wall`: try every offset in
  // force within a day of it.
  std::vector<int32_t> offsets;
  for (int64_t probe : {wall - 86400, wall, wall + 86400}) {
    int32_t off = offsetAt(probe);
    if (std::find(offsets.begin(), offsets.end(), off) == offsets.end()) offsets.push_back(off);
  }
  std::vector<int64_t> hits;
  for (int32_t off : offsets) {
    if (offsetAt(wall - off) == off) hits.push_back(wall - off);
  }
  std::sort(hits.begin(), hits.end());
  hits.erase(std::unique(hits.begin(), hits.end()), hits.end());
  if (hits.empty()) {
    // A skipped hour: read the time with the offset in force before the
    // change, which lands after it.
    *utcSeconds = wall - offsetAt(wall - 86400);
    return true;
  }
  if (hits.size() > 1 && isdst >= 0) {
    for (int64_t t : hits) {
      int32_t off;
      bool dst;
      local_at(t, &off, &dst);
      if (dst == (isdst > 0)) {
        *utcSeconds = t;
        return true;
      }
    }
  }
  *utcSeconds = hits.front();
  return true;
}
