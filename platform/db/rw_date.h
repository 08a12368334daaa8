#ifndef QX_PLATFORM_DB_RW_DATE_H_
#define QX_PLATFORM_DB_RW_DATE_H_

#include <cstdint>

// A calendar date (proleptic Gregorian). A date built from impossible fields
// (day 35, month 35, ...) is kept but is not valid. A value type.
class RWDate {
 public:
  // Today, in the process's local zone.
  RWDate();
  // REQUIRES nothing: out-of-range fields give an invalid date.
  RWDate(unsigned day, unsigned month, unsigned year);

  bool isValid() const { return valid_; }
  unsigned dayOfMonth() const { return day_; }
  unsigned month() const { return month_; }
  unsigned year() const { return year_; }
  // Days since 1970-01-01 (negative before). REQUIRES: isValid().
  int64_t daysSinceEpoch() const;

  friend bool operator==(const RWDate& a, const RWDate& b) {
    return a.day_ == b.day_ && a.month_ == b.month_ && a.year_ == b.year_;
  }

 private:
  unsigned day_ = 0, month_ = 0, year_ = 0;
  bool valid_ = false;
};

#endif  // QX_PLATFORM_DB_RW_DATE_H_
