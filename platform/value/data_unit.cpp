#include "platform/value/data_unit.h"

#include <cstdint>
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
  // Eight octets at a time, the last few in one more word: identifiers and short
  // encodings are hashed on every attribute written and read.
  const unsigned char* s = static_cast<const unsigned char*>(p);
  uint64_t h = (n + 1) * 0x9E3779B97F4A7C15ull;
  auto mix = [&h](uint64_t w) {
    h = (h ^ w) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 32;
  };
  for (; n >= 8; s += 8, n -= 8) {
    uint64_t w;
    std::memcpy(&w, s, 8);
    mix(w);
  }
  if (n >= 4) {  // two words of four that overlap where n < 8
    uint32_t a, b;
    std::memcpy(&a, s, 4);
    std::memcpy(&b, s + n - 4, 4);
    mix(a | static_cast<uint64_t>(b) << 32);
  } else if (n > 0) {  // the first, middle and last octet cover one to three
    mix(s[0] | static_cast<uint64_t>(s[n / 2]) << 8 | static_cast<uint64_t>(s[n - 1]) << 16);
  }
  h = (h ^ (h >> 29)) * 0xC4CEB9FE1A85EC53ull;
  return static_cast<unsigned long>(h ^ (h >> 32));
}

}  // namespace qx
