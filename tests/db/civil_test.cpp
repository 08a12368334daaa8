// The date-time text of the store: what format_date_time writes parses back to the
// same instant and offset, read in place or through the general parser ("T" for the
// blank takes the latter), and a broken field fails either way.

#include <gtest/gtest.h>

#include <string>

#include "platform/db/civil.h"

namespace qx::db {
namespace {

bool Parse(const std::string& text, int64_t* ms, int32_t* off) {
  return parse_date_time(text.data(), text.size(), ms, off);
}

TEST(CivilTest, WrittenTimesParseBackInPlaceAndThroughTheGeneralParser) {
  const int64_t instants[] = {0,
                              -1,
                              951782400000,      // 2000-02-29
                              1709254861005,     // 2024-03-01 01:01:01.005
                              -62135596800000,   // 0001-01-01
                              253402300799999};  // 9999-12-31 23:59:59.999
  const int32_t offsets[] = {0, 3600, -16200, 50400};
  for (int64_t at : instants) {
    for (int32_t offset : offsets) {
      char buf[40];
      std::string text(buf, format_date_time(at, offset, buf));
      SCOPED_TRACE(text);
      if (text.compare(0, 4, "0000") == 0) continue;  // year 0 is refused
      int64_t ms = 0;
      int32_t off = 0;
      ASSERT_TRUE(Parse(text, &ms, &off));
      EXPECT_EQ(ms, at);
      EXPECT_EQ(off, offset);
      std::string general = text;
      general[10] = 'T';
      ASSERT_TRUE(Parse(general, &ms, &off));
      EXPECT_EQ(ms, at);
      EXPECT_EQ(off, offset);
    }
  }
}

TEST(CivilTest, BrokenFieldsFailInPlaceAndThroughTheGeneralParser) {
  const std::string good = "2024-02-29 23:59:59.999+01:30";
  int64_t ms;
  int32_t off;
  ASSERT_TRUE(Parse(good, &ms, &off));
  for (size_t i = 0; i < good.size(); ++i) {
    for (char c : {'x', '/', ':'}) {
      if (good[i] == c) continue;
      std::string bad = good;
      bad[i] = c;
      EXPECT_FALSE(Parse(bad, &ms, &off)) << bad;
      bad[10] = bad[10] == ' ' ? 'T' : bad[10];
      EXPECT_FALSE(Parse(bad, &ms, &off)) << bad;
    }
  }
  for (const char* out_of_range : {"2023-02-29 00:00:00.000+00:00", "2024-13-01 00:00:00.000+00:00",
                                   "2024-01-01 24:00:00.000+00:00", "2024-01-01 00:60:00.000+00:00",
                                   "2024-01-01 00:00:00.000+24:00", "2024-01-01 00:00:00.000+00:60",
                                   "0000-01-01 00:00:00.000+00:00"}) {
    EXPECT_FALSE(Parse(out_of_range, &ms, &off)) << out_of_range;
  }
}

}  // namespace
}  // namespace qx::db
