// The local zone: its offsets are the C library's at every instant, also around a
// change of offset and in an hour that holds one, and it follows a change of TZ.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "platform/db/rw_zone.h"

namespace {

// Sets TZ for the test and puts back what it was.
class ZoneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    had_tz_ = tz != nullptr;
    if (had_tz_) saved_ = tz;
  }
  void TearDown() override {
    if (had_tz_) {
      setenv("TZ", saved_.c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }
  static void UseZone(const char* tz) {
    setenv("TZ", tz, 1);
    tzset();
  }
  static int32_t LibraryOffset(int64_t t) {
    time_t tt = static_cast<time_t>(t);
    struct tm tm {};
    EXPECT_NE(localtime_r(&tt, &tm), nullptr);
    return static_cast<int32_t>(tm.tm_gmtoff);
  }
  // Every second from `from` to `to` (a few hours at most), twice: the second pass
  // reads what the first one kept.
  static void ExpectLibraryOffsets(int64_t from, int64_t to) {
    for (int pass = 0; pass < 2; ++pass) {
      for (int64_t t = from; t <= to; ++t) {
        ASSERT_EQ(RWZone::local().offsetAt(t), LibraryOffset(t)) << "at " << t;
      }
    }
  }

 private:
  bool had_tz_ = false;
  std::string saved_;
};

TEST_F(ZoneTest, OffsetsAreTheLibrarysAroundEveryChange) {
  // Changes on the hour: 2024-03-31 01:00 UTC and 2024-10-27 01:00 UTC.
  UseZone("CET-1CEST,M3.5.0,M10.5.0/3");
  ExpectLibraryOffsets(1711843200 - 2 * 3600, 1711843200 + 2 * 3600);
  ExpectLibraryOffsets(1729990800 - 2 * 3600, 1729990800 + 2 * 3600);
  // Changes at half past and at a quarter to the hour, inside an hour that begins and
  // ends with different offsets; and a zone of a quarter-hour offset.
  UseZone("AAA-1BBB-2,M3.5.0/1:30,M10.5.0/2:45");
  ExpectLibraryOffsets(1711843200 - 2 * 3600, 1711843200 + 3 * 3600);
  ExpectLibraryOffsets(1729990800 - 3 * 3600, 1729990800 + 2 * 3600);
  UseZone("NPT-5:45");
  EXPECT_EQ(RWZone::local().offsetAt(1711843200), 5 * 3600 + 45 * 60);
  // Before the epoch, where hours are counted down.
  UseZone("CET-1CEST,M3.5.0,M10.5.0/3");
  ExpectLibraryOffsets(-86400 * 200 - 3600, -86400 * 200 + 3600);
  EXPECT_EQ(RWZone::local().offsetAt(-1), LibraryOffset(-1));
}

TEST_F(ZoneTest, FollowsAChangeOfTz) {
  const int64_t t = 1711843200;
  setenv("TZ", "UTC0", 1);
  EXPECT_EQ(RWZone::local().offsetAt(t), 0);
  // No tzset() between: the zone notices the change itself.
  setenv("TZ", "EAT-3", 1);
  EXPECT_EQ(RWZone::local().offsetAt(t), 3 * 3600);
  setenv("TZ", "EST5", 1);
  EXPECT_EQ(RWZone::local().offsetAt(t), -5 * 3600);
  unsetenv("TZ");
  int32_t offset = RWZone::local().offsetAt(t);  // before the library is asked
  EXPECT_EQ(offset, LibraryOffset(t));
}

}  // namespace
