#ifndef QX_PLATFORM_DB_RWDB_DATE_TIME_H_
#define QX_PLATFORM_DB_RWDB_DATE_TIME_H_

#include <cstdint>
#include <ctime>

#include "platform/db/rw_cstring.h"
#include "platform/db/rw_date.h"
#include "platform/db/rw_zone.h"

// An instant with millisecond precision, together with the UTC offset of the
// zone it was made in (or read with). Built from impossible fields it is not
// valid; a bound invalid date-time is written as NULL. A value type.
//
// The offset travels to the database, so a wall-clock time inside a
// daylight-saving change reads back as the same instant. A PostgreSQL column
// of type timestamp without time zone (one a caller declares; the layer's own
// are with time zone) keeps the wall-clock time of the process's zone and no
// offset: it reads back as the same instant, except in the hour a change back
// to standard time repeats, where the zone picks one of the two.
class RWDBDateTime {
 public:
  // Not valid.
  RWDBDateTime() = default;
  // The wall-clock time on date in zone. Invalid when the date is invalid or
  // a field is out of range (hour 0-23, minute 0-59, second 0-59, ms 0-999).
  RWDBDateTime(const RWDate& date, unsigned hour, unsigned minute, unsigned second,
               unsigned millisecond, const RWZone& zone = RWZone::local());
  RWDBDateTime(unsigned year, unsigned month, unsigned day, unsigned hour = 0, unsigned minute = 0,
               unsigned second = 0, unsigned millisecond = 0, const RWZone& zone = RWZone::local());
  // From broken-down time (tm_year = years since 1900, tm_mon 0-11); tm_isdst
  // >= 0 chooses between the two instants of a repeated local hour. Fields are
  // not normalised: out-of-range fields give an invalid date-time.
  explicit RWDBDateTime(const struct tm* tm, unsigned millisecond = 0,
                        const RWZone& zone = RWZone::local());
  // The instant millisSinceEpoch, shown with the offset of zone at that instant.
  static RWDBDateTime fromMillis(int64_t millisSinceEpoch, const RWZone& zone = RWZone::local());
  // The instant with an explicit offset (seconds east of UTC).
  static RWDBDateTime fromMillisOffset(int64_t millisSinceEpoch, int32_t offsetSeconds);
  static RWDBDateTime now();

  bool isValid() const { return valid_; }
  // The broken-down time in zone (tm_isdst set from the zone). Leaves *tm
  // unchanged when not valid.
  void extract(struct tm* tm, const RWZone& zone = RWZone::local()) const;

  // Fields in the process's local zone. REQUIRES: isValid().
  int year() const;
  unsigned month() const;
  unsigned dayOfMonth() const;
  unsigned hour() const;
  unsigned minute() const;
  unsigned second() const;
  unsigned milliSecond() const;

  int64_t millisSinceEpoch() const { return millis_; }
  int32_t offsetSeconds() const { return offset_; }
  // "YYYY-MM-DD HH:MM:SS.mmm+HH:MM" in the stored offset; empty when invalid.
  RWCString asString() const;
  // Parses the form of asString(); also accepts "+HH" or no fraction and a
  // "T" separator. An unparsable text gives an invalid date-time.
  static RWDBDateTime fromString(const RWCString& text);

  // Same instant (offsets may differ). Invalid date-times are equal to each other.
  friend bool operator==(const RWDBDateTime& a, const RWDBDateTime& b) {
    return a.valid_ == b.valid_ && (!a.valid_ || a.millis_ == b.millis_);
  }
  friend bool operator!=(const RWDBDateTime& a, const RWDBDateTime& b) { return !(a == b); }

 private:
  int64_t millis_ = 0;
  int32_t offset_ = 0;
  bool valid_ = false;
};

#endif  // QX_PLATFORM_DB_RWDB_DATE_TIME_H_
