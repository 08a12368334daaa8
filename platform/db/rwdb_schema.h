#ifndef QX_PLATFORM_DB_RWDB_SCHEMA_H_
#define QX_PLATFORM_DB_RWDB_SCHEMA_H_

#include <vector>

#include "platform/db/rwdb_column.h"

// An ordered list of columns: the schema of a table to create, of an index, or
// of an existing table as fetched from the database. A value type.
class RWDBSchema {
 public:
  RWDBSchema() = default;

  RWDBSchema& appendColumn(const RWDBColumn& c) {
    cols_.push_back(c);
    return *this;
  }
  RWDBSchema& appendColumn(const RWCString& name, RWDBValue::ValueType type = RWDBValue::NoType,
                           long storageLength = 0, bool nullAllowed = true) {
    return appendColumn(RWDBColumn(name, type, storageLength, nullAllowed));
  }

  size_t entries() const { return cols_.size(); }
  bool isEmpty() const { return cols_.empty(); }
  void clear() { cols_.clear(); }
  // The column at position i; status invalidPosition (11) when i >= entries().
  RWDBColumn column(size_t i) const;
  RWDBColumn operator[](size_t i) const { return column(i); }
  // The column of that name (case-insensitive); status noSuchObject when absent.
  RWDBColumn column(const RWCString& name) const;
  RWDBColumn operator[](const RWCString& name) const { return column(name); }
  // Position of the column of that name (case-insensitive), or RW_NPOS.
  size_t index(const RWCString& name) const;
  const std::vector<RWDBColumn>& columns() const { return cols_; }

 private:
  std::vector<RWDBColumn> cols_;
};

#endif  // QX_PLATFORM_DB_RWDB_SCHEMA_H_
