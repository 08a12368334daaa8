// The text a text column holds: the longest prefix that is valid UTF-8 without NUL and
// at most the column's length in characters, never ending inside a character.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/db/column_text.h"

namespace qx::test {
namespace {

using qx::db::storable_prefix;

size_t Prefix(const std::string& s, long limit = 0) {
  return storable_prefix(s.data(), s.size(), limit);
}

TEST(ColumnTextTest, EveryLimitAndEveryCutEndsOnACharacterBoundary) {
  // ASCII runs longer than eight octets (the fast path) between characters of two,
  // three and four octets.
  const std::string text =
      "abcdefghij\xc3\xa9klmnopqrstu\xe2\x82\xac"
      "vwxyz0123456\xf0\x9f\x98\x80"
      "789";
  std::vector<size_t> boundaries = {0};  // octet offset after each character
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    i += c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    boundaries.push_back(i);
  }
  EXPECT_EQ(Prefix(text), text.size());
  for (size_t chars = 1; chars < boundaries.size(); ++chars) {
    EXPECT_EQ(Prefix(text, static_cast<long>(chars)), boundaries[chars]) << chars;
  }
  for (size_t cut = 0; cut <= text.size(); ++cut) {
    size_t last = 0;
    for (size_t b : boundaries)
      if (b <= cut) last = b;
    EXPECT_EQ(Prefix(text.substr(0, cut)), last) << cut;
  }
}

TEST(ColumnTextTest, StopsAtWhatNoColumnHolds) {
  // Texts of every length up to forty octets, with the octet at every place: inside and
  // after the sixteen- and eight-octet steps and among the last few octets.
  for (size_t n = 1; n <= 40; ++n) {
    for (size_t at = 0; at < n; ++at) {
      std::string s(n, 'a');
      s[at] = '\0';
      EXPECT_EQ(Prefix(s), at) << n;
      s[at] = '\xff';
      EXPECT_EQ(Prefix(s), at) << n;
    }
    const std::string plain(n, 'a');
    for (long limit = 1; limit <= 41; ++limit) {
      EXPECT_EQ(Prefix(plain, limit), std::min(n, static_cast<size_t>(limit))) << n;
    }
  }
  EXPECT_EQ(Prefix("ab\xc0\xaf"), 2u);          // overlong '/'
  EXPECT_EQ(Prefix("ab\xe0\x80\xaf"), 2u);      // overlong, three octets
  EXPECT_EQ(Prefix("ab\xed\xa0\x80"), 2u);      // a surrogate
  EXPECT_EQ(Prefix("ab\xf4\x90\x80\x80"), 2u);  // past U+10FFFF
  EXPECT_EQ(Prefix("ab\xc3\x28"), 2u);          // a continuation octet missing
  EXPECT_EQ(Prefix("ab\x80"), 2u);              // a stray continuation octet
  EXPECT_EQ(Prefix(""), 0u);
  EXPECT_EQ(Prefix("abc", -1), 3u);  // no limit
}

}  // namespace
}  // namespace qx::test
