#include "platform/db/rw_cstring.h"

#include <algorithm>

namespace {
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

RWCString RWCString::operator()(size_t start, size_t len) const {
  if (start >= s_.size()) return RWCString();
  return RWCString(s_.substr(start, len));
}

RWCString& RWCString::replace(size_t pos, size_t len, const RWCString& s) {
  if (pos > s_.size()) pos = s_.size();
  s_.replace(pos, len, s.s_);
  return *this;
}

RWCString& RWCString::remove(size_t pos, size_t len) {
  if (pos < s_.size()) s_.erase(pos, len);
  return *this;
}

void RWCString::toLower() { std::transform(s_.begin(), s_.end(), s_.begin(), lower); }
void RWCString::toUpper() { std::transform(s_.begin(), s_.end(), s_.begin(), upper); }

size_t RWCString::index(const RWCString& pat, size_t start, caseCompare cmp) const {
  if (cmp == exact) {
    size_t p = s_.find(pat.s_, start);
    return p == std::string::npos ? RW_NPOS : p;
  }
  if (start > s_.size()) return RW_NPOS;
  auto it = std::search(s_.begin() + static_cast<std::ptrdiff_t>(start), s_.end(), pat.s_.begin(),
                        pat.s_.end(), [](char a, char b) { return lower(a) == lower(b); });
  return it == s_.end() && !pat.s_.empty() ? RW_NPOS : static_cast<size_t>(it - s_.begin());
}

size_t RWCString::first(char c) const {
  size_t p = s_.find(c);
  return p == std::string::npos ? RW_NPOS : p;
}

size_t RWCString::last(char c) const {
  size_t p = s_.rfind(c);
  return p == std::string::npos ? RW_NPOS : p;
}

RWCString RWCString::strip(stripType t, char c) const {
  size_t b = 0, e = s_.size();
  if (t & leading) {
    while (b < e && s_[b] == c) ++b;
  }
  if (t & trailing) {
    while (e > b && s_[e - 1] == c) --e;
  }
  return RWCString(s_.substr(b, e - b));
}

int RWCString::compareTo(const RWCString& o, caseCompare cmp) const {
  if (cmp == exact) {
    int r = s_.compare(o.s_);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
  }
  size_t n = std::min(s_.size(), o.s_.size());
  for (size_t i = 0; i < n; ++i) {
    char a = lower(s_[i]), b = lower(o.s_[i]);
    if (a != b) return static_cast<unsigned char>(a) < static_cast<unsigned char>(b) ? -1 : 1;
  }
  return s_.size() == o.s_.size() ? 0 : (s_.size() < o.s_.size() ? -1 : 1);
}

unsigned RWCString::hash() const {
  unsigned h = 2166136261u;  // FNV-1a
  for (char c : s_) {
    h ^= static_cast<unsigned char>(c);
    h *= 16777619u;
  }
  return h;
}

RWCString toLower(const RWCString& s) {
  RWCString r(s);
  r.toLower();
  return r;
}

RWCString toUpper(const RWCString& s) {
  RWCString r(s);
  r.toUpper();
  return r;
}
