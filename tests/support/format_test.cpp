#include "support/format.h"
#include "support/platform/clock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

namespace {

// Runs a test body under a given TZ and restores the previous one.
class ScopedZone {
 public:
  explicit ScopedZone(const char* tz) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    ::setenv("TZ", tz, 1);
    ::tzset();
  }
  ~ScopedZone() {
    if (old_)
      ::setenv("TZ", old_->c_str(), 1);
    else
      ::unsetenv("TZ");
    ::tzset();
  }

 private:
  std::optional<std::string> old_;
};

std::time_t Utc(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return ::timegm(&t);
}

std::string Hex(const std::uint8_t* stamp) {
  char out[17];
  EXPECT_EQ(BcdTimeToHex(stamp, out), 16);
  return out;
}

}  // namespace

TEST(Format, GroupedCounts) {
  const std::pair<std::uint64_t, const char*> cases[] = {
      {0, "0"},
      {7, "7"},
      {999, "999"},
      {1000, "1.000"},
      {12345, "12.345"},
      {1234567, "1.234.567"},
      {4294967296ull, "4.294.967.296"},
      {std::numeric_limits<std::uint64_t>::max(), "18.446.744.073.709.551.615"},
  };
  for (const auto& [value, text] : cases) EXPECT_STREQ(FormatInt64(value), text) << value;
  char buffer[kFormatNumberSize] = "junk";
  EXPECT_EQ(FormatInt64(0, buffer), buffer);
  EXPECT_STREQ(buffer, "0");
  EXPECT_STREQ(FormatUint32(0xFFFFFFFF), "4.294.967.295");
  EXPECT_STREQ(FormatUint32(1000, buffer), "1.000");
  EXPECT_EQ(std::strlen(FormatInt64(std::numeric_limits<std::uint64_t>::max())), 26u);
}

TEST(Format, TwoPartCounters) {
  EXPECT_STREQ(FormatOfl(3, 5), "6.000.000.005");
  EXPECT_STREQ(FormatOfl(0, 0), "0");
  EXPECT_STREQ(FormatOfl(0, 1999999999), "1.999.999.999");
  EXPECT_STREQ(FormatOfl(2147483647, 1999999999), "4.294.967.295.999.999.999");
}

TEST(Format, Efficiencies) {
  EXPECT_STREQ(FormatEffizienzOfl(0, 25, 0, 100), "75.00");
  EXPECT_STREQ(FormatEffizienzOfl(0, 25, 0, 0), "");
  EXPECT_STREQ(FormatEffizienzOfl(0, 0, 0, 100), "");
  EXPECT_STREQ(FormatEffizienzOfl(0, 150, 0, 100), "-50.00");
  EXPECT_STREQ(FormatEffizienzOfl(1, 0, 2, 0), "50.00");
  EXPECT_STREQ(FormatEffizienzOfl(0, 100, 0, 100), "0.00");
  EXPECT_STREQ(FormatEffizienzInt64(1, 3), "66.67");
  // Counts far beyond what 100 * count fits in 64 bits.
  EXPECT_STREQ(FormatEffizienzInt64(std::uint64_t{1} << 61, std::uint64_t{1} << 62), "50.00");
  char buffer[kFormatEfficiencySize] = "junk";
  EXPECT_EQ(FormatEffizienzInt64(0, 5, buffer), buffer);
  EXPECT_STREQ(buffer, "");
}

TEST(Format, ProcessTimes) {
  const std::pair<std::uint64_t, const char*> cases[] = {
      {0, ":00:00.000"},
      {755000000, ":01:15.500"},           // 75.5 s
      {37250040000, "1:02:05.004"},         // 3,725.004 s
      {9999, ":00:00.000"},                 // below a millisecond
      {35999990000, ":59:59.999"},
      {25920000000000, "720:00:00.000"},    // 30 days
      {std::numeric_limits<std::uint64_t>::max(), "512409557:36:10.955"},
  };
  for (const auto& [d, text] : cases) EXPECT_STREQ(FormatProcessTime(&d), text) << d;
  char buffer[kFormatProcessTimeSize];
  const std::uint64_t d = 755000000;
  EXPECT_EQ(FormatProcessTime(&d, buffer), buffer);
  EXPECT_STREQ(buffer, ":01:15.500");
}

TEST(Format, ProcessTimesOfThisProcess) {
  char run[kFormatProcessTimeSize] = "", cpu[kFormatProcessTimeSize] = "";
  EXPECT_EQ(F_GetProcessTimes(run, cpu), 0);
  EXPECT_NE(std::strchr(run, '.'), nullptr);
  EXPECT_NE(std::strchr(cpu, '.'), nullptr);
  EXPECT_NE(std::strchr(run, ':'), nullptr);
}

TEST(Format, StopWatch) {
  std::int64_t start = 0, total = 5000;
  const std::int64_t t0 = torq::platform::MonotonicTicks();
  EXPECT_EQ(TorqStartWatchClock(&start), 1);
  start -= 1000;  // as if the watch had started 1000 ticks earlier
  TorqStopWatchClock(&total, &start);
  const std::int64_t t1 = torq::platform::MonotonicTicks();
  // The earlier total, the 1000 ticks, and what passed between start and stop.
  EXPECT_GE(total, 6000);
  EXPECT_LE(total, 6000 + (t1 - t0));
  EXPECT_EQ(TorqStartWatchClock(), 1);
  const auto before = glGesamtZeit;
  TorqStopWatchClock();
  EXPECT_GE(glGesamtZeit, before);
}

TEST(Format, WatchTexts) {
  TorqFormatSeconds(nullptr);  // reads the frequency
  ASSERT_GT(gFrequency, 0);
  const std::int64_t f = gFrequency;
  const std::int64_t oneAndHalf = f * 3 / 2;
  EXPECT_STREQ(TorqFormatSeconds(&oneAndHalf), "1.500 sec");
  const std::int64_t t = f * 3725 + f * 4 / 1000;
  EXPECT_STREQ(TorqFormatTime(&t), "01:02:05.004");
  const std::int64_t zero = 0;
  EXPECT_STREQ(TorqFormatTime(&zero), "00:00:00.000");
  // Far beyond 2^31 milliseconds: 100 days.
  const std::int64_t long_run = f * 8640000;
  EXPECT_STREQ(TorqFormatTime(&long_run), "2400:00:00.000");
}

TEST(Format, BcdStampToHex) {
  const std::uint8_t stamp[8] = {0x00, 0xA2, 0x02, 0x01, 0x06, 0x23, 0x04, 0x58};
  EXPECT_EQ(Hex(stamp), "00A2020106230458");
}

TEST(Format, BcdStampInUtc) {
  ScopedZone zone("UTC0");
  EXPECT_EQ(TIMEZONE(), 0);
  const std::time_t t = Utc(2020, 4, 15, 23, 4, 58);  // day 106 of 2020
  std::uint8_t stamp[8];
  EXPECT_EQ(BcdTime(stamp, &t), 15);
  EXPECT_EQ(Hex(stamp), "00A2020106230458");
  EXPECT_EQ(BcdMktime(stamp), t);
}

TEST(Format, BcdStampWestOfUtc) {
  ScopedZone zone("EST5");
  EXPECT_EQ(TIMEZONE(), 5 * 3600);
  const std::time_t t = Utc(2020, 4, 15, 23, 4, 58);
  std::uint8_t stamp[8];
  EXPECT_EQ(BcdTime(stamp, &t), 15);
  EXPECT_EQ(Hex(stamp), "F5A2020106230458");  // UTC fields, zone 5 hours west
  EXPECT_EQ(BcdMktime(stamp), t);
}

TEST(Format, BcdStampEastOfUtc) {
  ScopedZone zone("JST-9");
  EXPECT_EQ(TIMEZONE(), -9 * 3600);
  const std::time_t t = Utc(2024, 12, 31, 0, 0, 1);  // day 366 of a leap year
  std::uint8_t stamp[8];
  BcdTime(stamp, &t);
  EXPECT_EQ(Hex(stamp), "09A2024366000001");
  EXPECT_EQ(BcdMktime(stamp), t);
}

TEST(Format, BcdStampRoundTripsOverTheYear) {
  for (const char* tz : {"UTC0", "EST5", "JST-9"}) {
    ScopedZone zone(tz);
    for (std::time_t t = Utc(1999, 1, 1, 0, 0, 0); t < Utc(2001, 1, 1, 0, 0, 0); t += 86400 * 7 + 3671) {
      std::uint8_t stamp[8];
      BcdTime(stamp, &t);
      ASSERT_EQ(BcdMktime(stamp), t) << tz << " " << t;
    }
  }
}

TEST(Format, BcdMktimeOfHostileStampsStaysCalm) {
  ScopedZone zone("UTC0");
  const std::uint8_t junk[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  (void)BcdMktime(junk);
  const std::uint8_t zero[8] = {};
  (void)BcdMktime(zero);
  std::uint8_t stamp[8];
  BcdTime(stamp, nullptr);  // now
  const std::time_t back = BcdMktime(stamp);
  EXPECT_LE(std::abs(static_cast<long>(back - std::time(nullptr))), 5);
}
