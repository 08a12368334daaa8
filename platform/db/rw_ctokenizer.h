#ifndef QX_PLATFORM_DB_RW_CTOKENIZER_H_
#define QX_PLATFORM_DB_RW_CTOKENIZER_H_

#include "platform/db/rw_cstring.h"

// Splits a string into tokens. Each call of operator() returns the next token;
// a run of delimiter characters counts as one separator, and leading
// delimiters are skipped. When the string is used up the result is empty.
// The tokenizer keeps a copy of the string.
class RWCTokenizer {
 public:
  explicit RWCTokenizer(const RWCString& s) : s_(s) {}
  RWCString operator()(const char* delimiters = " \t\n");

 private:
  RWCString s_;
  size_t pos_ = 0;
};

#endif  // QX_PLATFORM_DB_RW_CTOKENIZER_H_
