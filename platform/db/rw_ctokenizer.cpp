#include "platform/db/rw_ctokenizer.h"

#include <cstring>

RWCString RWCTokenizer::operator()(const char* delimiters) {
  const std::string& s = s_.str();
  auto is_delim = [&](char c) { return c != '\0' && std::strchr(delimiters, c) != nullptr; };
  while (pos_ < s.size() && is_delim(s[pos_])) ++pos_;
  size_t start = pos_;
  while (pos_ < s.size() && !is_delim(s[pos_])) ++pos_;
  return RWCString(s.substr(start, pos_ - start));
}
