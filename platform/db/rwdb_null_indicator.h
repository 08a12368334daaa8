#ifndef QX_PLATFORM_DB_RWDB_NULL_INDICATOR_H_
#define QX_PLATFORM_DB_RWDB_NULL_INDICATOR_H_

// Tells whether a value is NULL. A reader sets it for the column it is about
// to extract (reader >> indicator >> variable); a bound expression built with
// an indicator binds NULL while the indicator is set.
class RWDBNullIndicator {
 public:
  explicit RWDBNullIndicator(int isNull = 0) : null_(isNull != 0) {}
  bool isNull() const { return null_; }
  explicit operator bool() const { return null_; }
  RWDBNullIndicator& operator=(bool isNull) {
    null_ = isNull;
    return *this;
  }

 private:
  bool null_;
};

#endif  // QX_PLATFORM_DB_RWDB_NULL_INDICATOR_H_
