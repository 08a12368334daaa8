#include "platform/db/rwdb_blob.h"

#include <cstring>

RWDBBlob::RWDBBlob(const void* data, size_t length)
    : bytes_(static_cast<const char*>(data), length) {}

void RWDBBlob::putBytes(const void* data, size_t length, size_t offset, size_t resize) {
  const size_t end = offset + length;
  if (end > bytes_.capacity()) {
    size_t step = resize == 0 ? 1 : resize;
    bytes_.reserve((end + step - 1) / step * step);
  }
  if (end > bytes_.size()) bytes_.resize(end, '\0');
  if (length > 0) std::memcpy(&bytes_[offset], data, length);
}

size_t RWDBBlob::getBytes(void* dst, size_t length, size_t offset) const {
  if (offset >= bytes_.size()) return 0;
  size_t n = std::min(length, bytes_.size() - offset);
  std::memcpy(dst, bytes_.data() + offset, n);
  return n;
}
