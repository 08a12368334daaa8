#include "platform/db/rwdb_schema.h"

RWDBColumn RWDBSchema::column(size_t i) const {
  if (i >= cols_.size())
    return RWDBColumn::invalid(
        RWDBStatus(RWDBStatus::invalidPosition, "no column at position " + std::to_string(i)));
  return cols_[i];
}

size_t RWDBSchema::index(const RWCString& name) const {
  for (size_t i = 0; i < cols_.size(); ++i) {
    if (cols_[i].name().compareTo(name, RWCString::ignoreCase) == 0) return i;
  }
  return RW_NPOS;
}

RWDBColumn RWDBSchema::column(const RWCString& name) const {
  size_t i = index(name);
  if (i == RW_NPOS)
    return RWDBColumn::invalid(RWDBStatus(RWDBStatus::noSuchObject, "no column " + name));
  return cols_[i];
}
