#ifndef QX_PLATFORM_DB_COLUMN_TEXT_H_
#define QX_PLATFORM_DB_COLUMN_TEXT_H_

// The text a text column holds, on both servers alike: valid UTF-8 (no overlong
// forms, no surrogates, nothing past U+10FFFF) without NUL octets, its declared
// length counted in characters. The layer refuses to bind any other text.

#include <cstddef>
#include <string>

namespace qx::db {

// The length in octets of the longest prefix of p[0..n) that a text column of
// `limit` characters holds (limit <= 0: any length). It ends on a character
// boundary; it is n when the whole text fits.
size_t storable_prefix(const char* p, size_t n, long limit);

// A text checked once for its column: made from a string, it cuts the string to its
// longest storable prefix and refers to it. Bound into a statement (RWDBBoundExpr), it
// binds that text as it stands, without the check the layer makes of every other
// text; a default one binds NULL. The string must stay as it was cut until the
// statements it is bound to have run.
class StorableText {
 public:
  StorableText() = default;
  StorableText(std::string& text, long limit) : whole_(true) {
    size_t keep = storable_prefix(text.data(), text.size(), limit);
    if (keep != text.size()) {
      text.resize(keep);
      whole_ = false;
    }
    data_ = text.data();
    size_ = keep;
  }

  bool null() const { return data_ == nullptr; }
  const char* data() const { return data_; }
  size_t size() const { return size_; }
  // Whether the string was storable whole, without a cut.
  bool whole() const { return whole_; }
  // Whether it refers to `text` at its present place and length: a string grown, cut or
  // moved since is not the one it was made from.
  bool refers_to(const std::string& text) const {
    return data_ == text.data() && size_ == text.size();
  }

 private:
  const char* data_ = nullptr;
  size_t size_ = 0;
  bool whole_ = false;
};

}  // namespace qx::db

#endif  // QX_PLATFORM_DB_COLUMN_TEXT_H_
