#ifndef QX_PLATFORM_DB_RW_ZONE_H_
#define QX_PLATFORM_DB_RW_ZONE_H_

#include <cstdint>

// A time zone: the process's local zone (the TZ rules of the C library), UTC,
// or a fixed offset. Immutable; the objects returned by local() and utc() live
// for the whole process and may be used from any thread. The local zone follows a
// change of TZ in the environment.
class RWZone {
 public:
  static const RWZone& local();
  static const RWZone& utc();
  // A zone that is always offsetSeconds east of UTC.
  static RWZone fixed(int32_t offsetSeconds);

  // Seconds east of UTC in force at the instant utcSeconds.
  int32_t offsetAt(int64_t utcSeconds) const;
  // The instant (seconds since the epoch) of a wall-clock time in this zone.
  // isdst > 0 or == 0 picks one of the two instants of a repeated hour, < 0
  // lets the zone choose; a time inside a skipped hour moves forward.
  // Returns false when the time cannot be represented.
  bool toUtc(int64_t year, unsigned month, unsigned day, unsigned hour, unsigned minute,
             unsigned second, int isdst, int64_t* utcSeconds) const;
  bool isLocal() const { return kind_ == kLocal; }

 private:
  enum Kind { kLocal, kUtc, kFixed };
  RWZone(Kind k, int32_t off) : kind_(k), offset_(off) {}
  Kind kind_;
  int32_t offset_;
};

#endif  // QX_PLATFORM_DB_RW_ZONE_H_
