#ifndef QX_PLATFORM_DB_RWDB_VALUE_H_
#define QX_PLATFORM_DB_RWDB_VALUE_H_

// The value types of columns and bound variables. Columns take Long (also used
// for Int), UnsignedLong, DateTime, String and Blob; the others are refused
// with notSupported when a table is created.
class RWDBValue {
 public:
  enum ValueType {
    NoType = 0,
    Char = 1,
    UnsignedChar = 2,
    Short = 3,
    UnsignedShort = 4,
    Int = 5,
    UnsignedInt = 6,
    Long = 7,
    Float = 8,
    Double = 9,
    UnsignedLong = 10,
    Decimal = 11,
    Date = 12,
    Time = 13,
    Duration = 14,
    DateTime = 15,
    WString = 16,
    String = 17,
    Blob = 18
  };
};

#endif  // QX_PLATFORM_DB_RWDB_VALUE_H_
