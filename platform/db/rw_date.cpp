#include "platform/db/rw_date.h"

#include <ctime>

#include "platform/db/civil.h"

RWDate::RWDate() {
  time_t now = time(nullptr);
  struct tm tm {};
  localtime_r(&now, &tm);
  day_ = static_cast<unsigned>(tm.tm_mday);
  month_ = static_cast<unsigned>(tm.tm_mon + 1);
  year_ = static_cast<unsigned>(tm.tm_year + 1900);
  valid_ = true;
}

RWDate::RWDate(unsigned day, unsigned month, unsigned year)
    : day_(day), month_(month), year_(year) {
  valid_ = year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= static_cast<unsigned>(qx::db::days_in_month(year, month));
}

int64_t RWDate::daysSinceEpoch() const { return qx::db::days_from_civil(year_, month_, day_); }
