#ifndef QX_PLATFORM_DB_RW_CSTRING_H_
#define QX_PLATFORM_DB_RW_CSTRING_H_

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

// Returned by searches that find nothing.
inline constexpr size_t RW_NPOS = static_cast<size_t>(-1);

// A byte string (may hold NUL bytes) with the few helpers the mapper uses.
// A value type over std::string; one thread at a time per object.
class RWCString {
 public:
  enum stripType { leading = 1, trailing = 2, both = 3 };
  enum caseCompare { exact, ignoreCase };

  RWCString() = default;
  RWCString(const char* s) : s_(s ? s : "") {}  // NOLINT: implicit, as callers expect
  RWCString(const char* s, size_t n) : s_(s, n) {}
  RWCString(const std::string& s) : s_(s) {}        // NOLINT
  RWCString(std::string&& s) : s_(std::move(s)) {}  // NOLINT
  RWCString(std::string_view s) : s_(s) {}          // NOLINT
  explicit RWCString(char c) : s_(1, c) {}
  RWCString(char c, size_t count) : s_(count, c) {}

  size_t length() const { return s_.size(); }
  bool isNull() const { return s_.empty(); }
  // NUL-terminated; valid until the string changes.
  const char* data() const { return s_.c_str(); }
  const std::string& str() const { return s_; }
  std::string& str() { return s_; }

  char& operator[](size_t i) { return s_[i]; }
  char operator[](size_t i) const { return s_[i]; }
  // The substring of len bytes from start (clipped to the string).
  RWCString operator()(size_t start, size_t len) const;

  RWCString& operator+=(const RWCString& o) {
    s_ += o.s_;
    return *this;
  }
  RWCString& operator+=(const char* o) {
    s_ += (o ? o : "");
    return *this;
  }
  RWCString& operator+=(char c) {
    s_ += c;
    return *this;
  }
  RWCString& append(const RWCString& o) {
    s_ += o.s_;
    return *this;
  }
  RWCString& append(const char* o, size_t n) {
    s_.append(o, n);
    return *this;
  }
  RWCString& prepend(const RWCString& o) {
    s_.insert(0, o.s_);
    return *this;
  }
  // Replaces len bytes at pos (clipped) with s.
  RWCString& replace(size_t pos, size_t len, const RWCString& s);
  RWCString& remove(size_t pos, size_t len = RW_NPOS);

  // ASCII case folding in place.
  void toLower();
  void toUpper();

  // Position of the first occurrence of pat at or after start, or RW_NPOS.
  size_t index(const RWCString& pat, size_t start = 0, caseCompare cmp = exact) const;
  bool contains(const RWCString& pat, caseCompare cmp = exact) const {
    return index(pat, 0, cmp) != RW_NPOS;
  }
  size_t first(char c) const;  // RW_NPOS when absent
  size_t last(char c) const;   // RW_NPOS when absent
  // A copy without the leading and/or trailing runs of c.
  RWCString strip(stripType t = trailing, char c = ' ') const;
  int compareTo(const RWCString& o, caseCompare cmp = exact) const;
  unsigned hash() const;

  friend bool operator==(const RWCString& a, const RWCString& b) { return a.s_ == b.s_; }
  friend bool operator==(const RWCString& a, const char* b) { return a.s_ == (b ? b : ""); }
  friend bool operator!=(const RWCString& a, const RWCString& b) { return a.s_ != b.s_; }
  friend bool operator!=(const RWCString& a, const char* b) { return !(a == b); }
  friend bool operator<(const RWCString& a, const RWCString& b) { return a.s_ < b.s_; }
  friend RWCString operator+(const RWCString& a, const RWCString& b) {
    return RWCString(a.s_ + b.s_);
  }
  friend RWCString operator+(const RWCString& a, const char* b) {
    return RWCString(a.s_ + (b ? b : ""));
  }
  friend RWCString operator+(const char* a, const RWCString& b) {
    return RWCString((a ? a : "") + b.s_);
  }
  friend std::ostream& operator<<(std::ostream& os, const RWCString& s) { return os << s.s_; }

 private:
  std::string s_;
};

// Folded copies.
RWCString toLower(const RWCString& s);
RWCString toUpper(const RWCString& s);

template <>
struct std::hash<RWCString> {
  size_t operator()(const RWCString& s) const { return std::hash<std::string>()(s.str()); }
};

#endif  // QX_PLATFORM_DB_RW_CSTRING_H_
