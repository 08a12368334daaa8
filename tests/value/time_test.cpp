// Times: GeneralizedTime text in and out, TimeStamp and Tm conversions in UTC
// and local time (the tests run with TZ=Europe/Berlin, see the CMake helper).

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "platform/value/generalized_time.h"
#include "platform/value/time_stamp.h"
#include "tests/value/ber_test_util.h"

using namespace qx::test;

class TimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    Exception::clear();
  }

  static Tm MakeTm(int y, int mon, int d, int h, int mi, int s, int ms = 0, int dst = -1) {
    Tm t;
    t.tm_year = y - 1900;
    t.tm_mon = mon - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    t.tm_msec = ms;
    t.tm_isdst = dst;
    return t;
  }
  static int64_t Utc(int y, int mon, int d, int h, int mi, int s) {
    return TimeStamp(MakeTm(y, mon, d, h, mi, s, 0, 0), false).seconds();
  }
};

TEST_F(TimeTest, ParsesTheForms) {
  struct {
    const char* text;
    int64_t seconds;
    int msec;
  } cases[] = {
      {"19700101000000Z", 0, 0},
      {"20260401120000Z", Utc(2026, 4, 1, 12, 0, 0), 0},
      {"20260401120000.5Z", Utc(2026, 4, 1, 12, 0, 0), 500},
      {"20260401120000,123456Z", Utc(2026, 4, 1, 12, 0, 0), 123},
      {"2026040112Z", Utc(2026, 4, 1, 12, 0, 0), 0},
      {"2026040112.25Z", Utc(2026, 4, 1, 12, 15, 0), 0},
      {"202604011230Z", Utc(2026, 4, 1, 12, 30, 0), 0},
      {"20260401120000+0130", Utc(2026, 4, 1, 10, 30, 0), 0},
      {"20260401120000-05", Utc(2026, 4, 1, 17, 0, 0), 0},
      {"20260401120000", Utc(2026, 4, 1, 10, 0, 0), 0},  // local summer time
      {"20260101120000", Utc(2026, 1, 1, 11, 0, 0), 0},  // local winter time
      {"00000101000000Z", Utc(0, 1, 1, 0, 0, 0), 0},
      {"99991231235959.999Z", Utc(9999, 12, 31, 23, 59, 59), 999},
      {"20240229000000Z", Utc(2024, 2, 29, 0, 0, 0), 0},
  };
  for (const auto& c : cases) {
    GeneralizedTime gt{std::string_view(c.text)};
    ASSERT_EQ(gt.error(), "") << c.text;
    EXPECT_EQ(gt.to_time_stamp().seconds(), c.seconds) << c.text;
    EXPECT_EQ(gt.to_time_stamp().msec(), c.msec) << c.text;
    TimeStamp read = GeneralizedTime::stamp_of(Str(c.text, TAG_GENTIME));
    EXPECT_EQ(read.seconds(), c.seconds) << c.text << " read in place";
    EXPECT_EQ(read.msec(), c.msec) << c.text << " read in place";
  }
}

TEST_F(TimeTest, MalformedTextIsRefused) {
  for (const char* bad :
       {"", "2026", "202604011", "20261301120000Z", "20260230120000Z", "20230229000000Z",
        "20260401240000Z", "20260401126000Z", "20260401120060Z", "20260401120000.Z",
        "20260401120000ZZ", "20260401120000+2400", "20260401120000+01:00", "2026-04-01T12:00Z",
        "20260401120000z", " 20260401120000Z", "20260401120000Z ", "20260329023000"}) {
    GeneralizedTime gt{std::string_view(bad)};
    EXPECT_NE(gt.error(), "") << bad;
    EXPECT_FALSE(gt.to_time_stamp().valid()) << bad;
    EXPECT_FALSE(gt.to_asn1()) << bad;
    EXPECT_FALSE(GeneralizedTime::stamp_of(Str(bad, TAG_GENTIME)).valid()) << bad;
  }
  EXPECT_FALSE(Exception::pending()) << "errors are reported by error(), not raised";
  EXPECT_EQ(GeneralizedTime().error(), "no time");
}

TEST_F(TimeTest, WritesTimeStamps) {
  TimeStamp ts(Utc(2026, 7, 14, 8, 5, 9), 120);
  EXPECT_EQ(GeneralizedTime(ts, GeneralizedTime::UTC).text(), "20260714080509.12Z");
  EXPECT_EQ(GeneralizedTime(ts, GeneralizedTime::LOCAL_OFFSET).text(), "20260714100509.12+0200");
  EXPECT_EQ(GeneralizedTime(ts, GeneralizedTime::LOCAL).text(), "20260714100509.12");
  EXPECT_EQ(GeneralizedTime(TimeStamp(0, 0), 0).text(), "19700101000000Z");
  EXPECT_EQ(GeneralizedTime(TimeStamp(0, 5), 0).text(), "19700101000000.005Z");
  EXPECT_EQ(GeneralizedTime(TimeStamp(Utc(999, 12, 31, 23, 59, 59), 999), 0).text(),
            "09991231235959.999Z");
  EXPECT_EQ(GeneralizedTime(TimeStamp(), 0).error(), "invalid time stamp");
  for (int flag : {0, 1, 2}) {
    GeneralizedTime gt(ts, flag);
    GeneralizedTime back(gt.to_asn1());
    EXPECT_EQ(back.error(), "");
    EXPECT_EQ(back.to_time_stamp(), ts) << flag;
    EXPECT_EQ(gt.to_asn1().tag(), TAG_GENTIME);
  }
}

// The text written without the object is the UTC flag's, from the first to the last
// instant it can write.
TEST_F(TimeTest, UtcTextWithoutTheObject) {
  char buf[GeneralizedTime::kUtcTextMax];
  const TimeStamp stamps[] = {
      TimeStamp(Utc(0, 1, 1, 0, 0, 0), 0), TimeStamp(Utc(9999, 12, 31, 23, 59, 59), 999),
      TimeStamp(Utc(2024, 2, 29, 12, 0, 0), 100), TimeStamp(-1, 5), TimeStamp(0, 0)};
  for (const TimeStamp& ts : stamps) {
    size_t n = GeneralizedTime::utc_text(ts, buf);
    EXPECT_EQ(std::string(buf, n), GeneralizedTime(ts, GeneralizedTime::UTC).text());
  }
  EXPECT_EQ(std::string(buf, GeneralizedTime::utc_text(stamps[1], buf)), "99991231235959.999Z");
  EXPECT_EQ(std::string(buf, GeneralizedTime::utc_text(stamps[3], buf)), "19691231235959.005Z");
  EXPECT_EQ(GeneralizedTime::utc_text(TimeStamp(), buf), 0u);
}

// A millisecond count splits into whole seconds and milliseconds downwards, before 1970
// too, and stays within the years the stamp can hold.
TEST_F(TimeTest, FromMillis) {
  const struct {
    int64_t millis, seconds;
    int msec;
  } cases[] = {{0, 0, 0}, {1999, 1, 999}, {-1, -1, 999}, {-1000, -1, 0}, {-1001, -2, 999}};
  for (const auto& c : cases) {
    TimeStamp ts = TimeStamp::from_millis(c.millis);
    ASSERT_TRUE(ts.valid()) << c.millis;
    EXPECT_EQ(ts.seconds(), c.seconds) << c.millis;
    EXPECT_EQ(ts.msec(), c.msec) << c.millis;
  }
  const TimeStamp last(Utc(9999, 12, 31, 23, 59, 59), 999);
  EXPECT_EQ(TimeStamp::from_millis(last.millis()), last);
  EXPECT_FALSE(TimeStamp::from_millis(last.millis() + 1).valid());
  const TimeStamp first(Utc(0, 1, 1, 0, 0, 0), 0);
  EXPECT_EQ(TimeStamp::from_millis(first.millis()), first);
  EXPECT_FALSE(TimeStamp::from_millis(first.millis() - 1).valid());
}

TEST_F(TimeTest, FromValues) {
  EXPECT_EQ(GeneralizedTime(Str("20260101000000Z", TAG_CTX0)).error(), "") << "tag not checked";
  Asn1Value explicit_time = Cons(TAG_CTX0, Str("20260101000000Z", TAG_GENTIME));
  EXPECT_EQ(GeneralizedTime(explicit_time).to_time_stamp().seconds(), Utc(2026, 1, 1, 0, 0, 0));
  EXPECT_NE(GeneralizedTime(Cons(TAG_CTX1, Int(0))).error(), "");
  EXPECT_NE(GeneralizedTime(Int(5)).error(), "");
  EXPECT_NE(GeneralizedTime(Asn1Value()).error(), "");
  // Read in place, every form reads as the object reads it.
  EXPECT_EQ(GeneralizedTime::stamp_of(explicit_time).seconds(), Utc(2026, 1, 1, 0, 0, 0));
  EXPECT_EQ(GeneralizedTime::stamp_of(
                Cons(TAG_GENTIME, Str("2026010100", TAG_OCTSTR), Str("0000Z", TAG_OCTSTR)))
                .seconds(),
            Utc(2026, 1, 1, 0, 0, 0))
      << "a constructed string is joined";
  EXPECT_FALSE(GeneralizedTime::stamp_of(Cons(TAG_CTX1, Int(0))).valid());
  EXPECT_FALSE(GeneralizedTime::stamp_of(Int(5)).valid());
  EXPECT_FALSE(GeneralizedTime::stamp_of(Asn1Value()).valid());
  EXPECT_FALSE(Exception::pending());
}

TEST_F(TimeTest, LocalBrokenDownTimeRoundTrips) {
  // Summer, winter, both instants of the repeated hour in October, and a day
  // before the epoch.
  for (int64_t s :
       {Utc(2026, 7, 1, 12, 0, 0), Utc(2026, 1, 15, 3, 4, 5), Utc(2026, 10, 25, 0, 30, 0),
        Utc(2026, 10, 25, 1, 30, 0), int64_t{-86400}, Utc(1, 1, 1, 0, 0, 0)}) {
    TimeStamp ts(s, 7);
    Tm local = ts.to_local_tm();
    EXPECT_EQ(TimeStamp(local, true), ts) << s;
    Tm utc = ts.to_utc_tm();
    EXPECT_EQ(TimeStamp(utc, false), ts) << s;
  }
  // The repeated hour: 02:30 local exists twice; the flag picks.
  Tm amb = MakeTm(2026, 10, 25, 2, 30, 0, 0, 1);
  EXPECT_EQ(TimeStamp(amb, true).seconds(), Utc(2026, 10, 25, 0, 30, 0));
  amb.tm_isdst = 0;
  EXPECT_EQ(TimeStamp(amb, true).seconds(), Utc(2026, 10, 25, 1, 30, 0));
  // A flag that does not fit the date is overruled by the zone (a reader that
  // zeroes the flag keeps the right instant in summer).
  Tm summer = MakeTm(2026, 7, 1, 14, 0, 0, 0, 0);
  EXPECT_EQ(TimeStamp(summer, true).seconds(), Utc(2026, 7, 1, 12, 0, 0));
  // The hour skipped in March does not exist.
  EXPECT_FALSE(TimeStamp(MakeTm(2026, 3, 29, 2, 30, 0), true).valid());
}

TEST_F(TimeTest, OutOfRangeFieldsAreInvalid) {
  EXPECT_FALSE(TimeStamp(MakeTm(2026, 4, 31, 0, 0, 0), false).valid());
  EXPECT_FALSE(TimeStamp(MakeTm(2026, 13, 1, 0, 0, 0), false).valid());
  EXPECT_FALSE(TimeStamp(MakeTm(10000, 1, 1, 0, 0, 0), false).valid());
  EXPECT_FALSE(TimeStamp(MakeTm(2026, 1, 1, 0, 0, 60), false).valid());
  EXPECT_FALSE(TimeStamp(MakeTm(2026, 1, 1, 0, 0, 0, 1000), false).valid());
  // The check the mapper makes: an unconvertible time meets the default one.
  Tm none;
  EXPECT_FALSE(TimeStamp().to_tm(none));
  EXPECT_EQ(TimeStamp(none), TimeStamp());
  EXPECT_FALSE(TimeStamp(none).valid());
  EXPECT_NE(TimeStamp(TimeStamp(0, 0).to_local_tm()), TimeStamp());
  EXPECT_TRUE(TimeStamp(Tm(), false).valid()) << "the default Tm is 1900-01-01";
}
