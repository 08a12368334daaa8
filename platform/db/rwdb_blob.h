#ifndef QX_PLATFORM_DB_RWDB_BLOB_H_
#define QX_PLATFORM_DB_RWDB_BLOB_H_

#include <cstddef>
#include <string>

// A byte string of a given length (may hold NUL bytes) with a capacity that
// grows as bytes are put into it. A value type.
class RWDBBlob {
 public:
  RWDBBlob() = default;
  // Empty, with room for capacity bytes.
  explicit RWDBBlob(size_t capacity) { bytes_.reserve(capacity); }
  RWDBBlob(const void* data, size_t length);

  // Copies length bytes from data to the blob at offset; the blob grows (in
  // steps of at least resize bytes of capacity) so that it holds them, and its
  // length becomes at least offset + length. Bytes between the old end and
  // offset are zero.
  void putBytes(const void* data, size_t length, size_t offset = 0, size_t resize = 256);
  // Copies up to length bytes from offset into dst; returns how many were copied.
  size_t getBytes(void* dst, size_t length, size_t offset = 0) const;
  size_t length() const { return bytes_.size(); }
  size_t capacity() const { return bytes_.capacity(); }
  const unsigned char* data() const {
    return reinterpret_cast<const unsigned char*>(bytes_.data());
  }
  void clear() { bytes_.clear(); }
  const std::string& bytes() const { return bytes_; }
  std::string& bytes() { return bytes_; }

  friend bool operator==(const RWDBBlob& a, const RWDBBlob& b) { return a.bytes_ == b.bytes_; }

 private:
  std::string bytes_;
};

#endif  // QX_PLATFORM_DB_RWDB_BLOB_H_
