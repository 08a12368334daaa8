#ifndef QX_PLATFORM_VALUE_DATA_UNIT_H_
#define QX_PLATFORM_VALUE_DATA_UNIT_H_

#include <cstddef>
#include <string>
#include <string_view>

// A counted byte string: any octets, embedded zeros included. A value type;
// copies are independent. One thread at a time per object.
class DataUnit {
 public:
  DataUnit() = default;
  // The bytes of the C string, without its terminating NUL. nullptr gives an
  // empty unit.
  DataUnit(const char* text);  // NOLINT(google-explicit-constructor)
  DataUnit(const void* bytes, size_t n);
  explicit DataUnit(std::string bytes) : bytes_(std::move(bytes)) {}

  const unsigned char* data() const {
    return reinterpret_cast<const unsigned char*>(bytes_.data());
  }
  size_t size() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }
  std::string_view view() const { return bytes_; }
  const std::string& str() const { return bytes_; }

  void assign(const void* bytes, size_t n);
  void append(const void* bytes, size_t n);
  void clear() { bytes_.clear(); }

  bool operator==(const DataUnit& o) const { return bytes_ == o.bytes_; }
  bool operator!=(const DataUnit& o) const { return bytes_ != o.bytes_; }

  // A hash of the bytes (equal units hash equal).
  static unsigned long hash(const DataUnit& d);
  // Compare style: 0 when the bytes are equal; otherwise negative or positive
  // as a orders before or after b (bytewise, then shorter first).
  static int equiv(const DataUnit& a, const DataUnit& b);

 private:
  std::string bytes_;
};

template <>
struct std::hash<DataUnit> {
  size_t operator()(const DataUnit& d) const noexcept { return DataUnit::hash(d); }
};

namespace qx {
// A 64-bit hash of the bytes (not kept anywhere: it may change between versions); the
// hash every value type here uses.
unsigned long hash_bytes(const void* p, size_t n);
}  // namespace qx

#endif  // QX_PLATFORM_VALUE_DATA_UNIT_H_
