#include "platform/db/rw_zone.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
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

// The local zone's offsets by the hour, for each thread: asking the C library costs
// about a thousand instructions a time, and a log's times fall in few hours. An hour
// whose first and last seconds have the same offset and the same daylight-saving flag
// has them throughout (no zone changes twice within an hour and back); any other hour
// is asked about second by second. A change of TZ empties the cache and has the C
// library read the zone again (localtime_r alone would keep the zone it read first).
class LocalOffsets {
 public:
  void at(int64_t t, int32_t* offset, bool* dst) {
    follow_tz();
    if (t < -kRange || t > kRange) {
      local_at(t, offset, dst);
      return;
    }
    int64_t hour = t / 3600 - (t % 3600 < 0);
    Slot& slot = slots_[static_cast<uint64_t>(hour) % kSlots];
    if (slot.hour != hour) {
      int32_t last_offset;
      bool last_dst;
      local_at(hour * 3600, &slot.offset, &slot.dst);
      local_at(hour * 3600 + 3599, &last_offset, &last_dst);
      if (last_offset != slot.offset || last_dst != slot.dst) {
        slot.hour = kNone;
        local_at(t, offset, dst);
        return;
      }
      slot.hour = hour;
    }
    *offset = slot.offset;
    *dst = slot.dst;
  }

 private:
  static constexpr int64_t kNone = INT64_MIN;
  static constexpr int64_t kRange = int64_t{1} << 40;  // seconds: some 35,000 years
  static constexpr size_t kSlots = 1024;  // 16 KiB: six weeks of hours
  struct Slot {
    int64_t hour = kNone;
    int32_t offset = 0;
    bool dst = false;
  };

  // TZ as the environment has it now: where it was found last time is looked at
  // first, so that the usual case (nothing changed) costs a few loads. setenv,
  // putenv and unsetenv change either the array or the entry.
  void follow_tz() {
    char** env = environ;
    if (env == env_ && env != nullptr && env[at_] == entry_) return;
    const char* tz = nullptr;
    size_t i = 0;
    for (; env != nullptr && env[i] != nullptr; ++i) {
      if (std::strncmp(env[i], "TZ=", 3) == 0) {
        tz = env[i] + 3;
        break;
      }
    }
    env_ = env;
    at_ = i;  // TZ's entry, or the end of the array
    entry_ = env != nullptr ? env[i] : nullptr;
    if (tz == nullptr ? !tz_given_ : tz_given_ && tz_ == tz) return;
    tz_given_ = tz != nullptr;
    tz_ = tz != nullptr ? tz : "";
    tzset();
    for (Slot& slot : slots_) slot.hour = kNone;
  }

  Slot slots_[kSlots];
  char** env_ = nullptr;
  size_t at_ = 0;
  const char* entry_ = nullptr;
  bool tz_given_ = false;
  std::string tz_;
};

void cached_local_at(int64_t t, int32_t* offset, bool* dst) {
  thread_local LocalOffsets offsets;
  offsets.at(t, offset, dst);
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
  cached_local_at(utcSeconds, &off, &dst);
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
      cached_local_at(t, &off, &dst);
      if (dst == (isdst > 0)) {
        *utcSeconds = t;
        return true;
      }
    }
  }
  *utcSeconds = hits.front();
  return true;
}
