#include "platform/value/data_unit.h"

#include <cstring>

DataUnit::DataUnit(const char* text) {
  if (text != nullptr) bytes_.assign(text, std::strlen(text));
}

DataUnit::DataUnit(const void* bytes, size_t n) { assign(bytes, n); }

void DataUnit::assign(const void* bytes, size_t n) {
  if (n == 0) {
    bytes_.clear();
  } else {
    bytes_.assign(static_cast<const char*>(bytes), n);
  }
}

void DataUnit::append(const void* bytes, size_t n) {
  if (n != 0) bytes_.append(static_cast<const char*>(bytes), n);
}

unsigned long DataUnit::hash(const DataUnit& d) { return qx::hash_bytes(d.data(), d.size()); }

int DataUnit::equiv(const DataUnit& a, const DataUnit& b) {
  return a.bytes_.compare(b.bytes_) < 0 ? -1 : (a.bytes_ == b.bytes_ ? 0 : 1);
}

namespace qx {

unsigned long hash_bytes(const void* p, size_t n) {
  const unsigned char* s = static_cast<const unsigned char*>(p);
  uint64_t h = 14695981039346656037ull;
  for (size_t i = 0; i < n; ++i) {
    h ^= s[i];
    h *= 1099511628211ull;
  }
  return static_cast<unsigned long>(h);
}

}  // namespace qx
