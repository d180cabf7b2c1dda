#include "support/format.h"

#include "support/build_stamp.h"

#include <cstdio>
#include <cstring>

#include "support/platform/clock.h"

TORQ_BUILD_STAMP("TorqFormat")

std::int64_t gFrequency = 0;
std::int64_t glStartZeit = 0;
std::int64_t glGesamtZeit = 0;

namespace {

constexpr std::uint64_t kOflUnit = 2000000000;

std::int64_t Frequency() {
  if (gFrequency == 0) gFrequency = torq::platform::MonotonicFrequency();
  return gFrequency;
}

int Bcd(std::uint8_t b) { return (b >> 4) * 10 + (b & 0x0F); }

}  // namespace

char* FormatInt64(std::uint64_t value, char* buffer) {
  static char own[kFormatNumberSize];
  char* out = buffer ? buffer : own;
  char digits[20];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  // digits[] holds the number backwards; write it forwards with a point before every group
  // of three that has more digits in front of it.
  char* p = out;
  for (int i = n - 1; i >= 0; --i) {
    *p++ = digits[i];
    if (i > 0 && i % 3 == 0) *p++ = '.';
  }
  *p = '\0';
  return out;
}

char* FormatUint32(std::uint32_t value, char* buffer) { return FormatInt64(value, buffer); }

char* FormatOfl(int high, int low, char* buffer) {
  const std::int64_t joined = std::int64_t{high} * static_cast<std::int64_t>(kOflUnit) + low;
  return FormatInt64(static_cast<std::uint64_t>(joined), buffer);
}

char* FormatEffizienzInt64(std::uint64_t compressed, std::uint64_t uncompressed, char* buffer) {
  static char own[kFormatEfficiencySize];
  char* out = buffer ? buffer : own;
  out[0] = '\0';
  if (compressed == 0 || uncompressed == 0) return out;
  // 100 * compressed in 128 bits: no overflow for any count.
  const __int128 scaled = __int128{static_cast<std::int64_t>(compressed)} * 100;
  const double value =
      100.0 - static_cast<double>(scaled) / static_cast<double>(static_cast<std::int64_t>(uncompressed));
  std::snprintf(out, kFormatEfficiencySize, "%4.2f", value);
  return out;
}

char* FormatEffizienzOfl(std::uint32_t compressedHigh, std::uint32_t compressedLow, std::uint32_t uncompressedHigh,
                         std::uint32_t uncompressedLow, char* buffer) {
  return FormatEffizienzInt64(compressedHigh * kOflUnit + compressedLow, uncompressedHigh * kOflUnit + uncompressedLow,
                              buffer);
}

int F_GetProcessTimes(char* runTime, char* cpuTime) {
  torq::platform::ProcessTimes times;
  if (!torq::platform::QueryProcessTimes(&times)) return 1;
  const std::uint64_t cpu = times.kernel + times.user;
  FormatProcessTime(&times.elapsed, runTime);
  FormatProcessTime(&cpu, cpuTime);
  return 0;
}

char* FormatProcessTime(const std::uint64_t* duration, char* buffer) {
  static char own[kFormatProcessTimeSize];
  char* out = buffer ? buffer : own;
  const std::uint64_t total = duration ? *duration / 10000 : 0;  // milliseconds, 64-bit
  const auto ms = static_cast<unsigned>(total % 1000);
  const std::uint64_t seconds = total / 1000;
  const std::uint64_t hours = seconds / 3600;
  const auto minutes = static_cast<unsigned>(seconds % 3600 / 60);
  const auto secs = static_cast<unsigned>(seconds % 60);
  if (hours != 0)
    std::snprintf(out, kFormatProcessTimeSize, "%llu:%2.2u:%2.2u.%3.3u", static_cast<unsigned long long>(hours),
                  minutes, secs, ms);
  else
    std::snprintf(out, kFormatProcessTimeSize, ":%2.2u:%2.2u.%3.3u", minutes, secs, ms);
  return out;
}

int TorqStartWatchClock(std::int64_t* start) {
  (start ? *start : glStartZeit) = torq::platform::MonotonicTicks();
  return 1;
}

void TorqStopWatchClock(std::int64_t* total, const std::int64_t* start) {
  const std::int64_t now = torq::platform::MonotonicTicks();
  (total ? *total : glGesamtZeit) += now - (start ? *start : glStartZeit);
}

const char* TorqFormatSeconds(const std::int64_t* ticks) {
  static char own[32];
  const std::int64_t t = ticks ? *ticks : glGesamtZeit;
  std::snprintf(own, sizeof own, "%.3f sec",
                static_cast<double>(static_cast<float>(t) / static_cast<float>(Frequency())));
  return own;
}

const char* TorqFormatTime(const std::int64_t* ticks) {
  static char own[40];
  const std::int64_t t = ticks ? *ticks : glGesamtZeit;
  // Milliseconds in 128 bits, so long runs neither overflow nor wrap.
  const __int128 scaled = __int128{t} * 1000 / Frequency();
  const bool negative = scaled < 0;
  const auto total = static_cast<std::uint64_t>(negative ? -scaled : scaled);
  const std::uint64_t seconds = total / 1000;
  std::snprintf(own, sizeof own, "%s%2.2llu:%2.2u:%2.2u.%3.3u", negative ? "-" : "",
                static_cast<unsigned long long>(seconds / 3600), static_cast<unsigned>(seconds % 3600 / 60),
                static_cast<unsigned>(seconds % 60), static_cast<unsigned>(total % 1000));
  return own;
}

long TIMEZONE() {
  ::tzset();
  return ::timezone;
}

int BcdTime(std::uint8_t* out, const std::time_t* time) {
  const std::time_t t = time ? *time : std::time(nullptr);
  const long zone = TIMEZONE();
  std::tm parts{};
  const bool ok = zone != 0 ? ::gmtime_r(&t, &parts) != nullptr : ::localtime_r(&t, &parts) != nullptr;
  if (!ok) parts = std::tm{};
  int year = parts.tm_year + 1900;
  if (year < 0) year = 0;
  if (year > 9999) year = 9999;
  // The text "Z%Y%j%H%M%S", with the year kept to four digits.
  char text[32];
  std::snprintf(text, sizeof text, "Z%04d%03d%02d%02d%02d", year, parts.tm_yday + 1, parts.tm_hour, parts.tm_min,
                parts.tm_sec);
  const long h = zone / 3600;
  out[0] = static_cast<std::uint8_t>(h > 0 ? 0xF0 | (h & 0x0F) : (-h) & 0x0F);
  for (int i = 0; i < 7; ++i)
    out[1 + i] = static_cast<std::uint8_t>((text[2 * i] * 16 + (text[2 * i + 1] & 0x0F)) & 0xFF);
  return 15;
}

int BcdTimeToHex(const std::uint8_t* stamp, char* out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (int i = 0; i < 8; ++i) {
    out[2 * i] = kHex[stamp[i] >> 4];
    out[2 * i + 1] = kHex[stamp[i] & 0x0F];
  }
  out[16] = '\0';
  return 16;
}

std::time_t BcdMktime(const std::uint8_t* stamp) {
  int z = stamp[0] & 0x0F;
  if ((stamp[0] >> 4) == 0x0F) z = -z;
  const int second = Bcd(stamp[7]);
  const int minute = Bcd(stamp[6]);
  const int hour = Bcd(stamp[5]);
  int day = (stamp[3] & 0x0F) * 100 + Bcd(stamp[4]);
  const int year = (stamp[1] & 0x0F) * 1000 + Bcd(stamp[2]) * 10 + (stamp[3] >> 4);
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  const int lengths[12] = {31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int month = 0;
  while (month < 11 && day > lengths[month]) day -= lengths[month++];

  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  ::localtime_r(&now, &parts);
  parts.tm_sec = second;
  parts.tm_min = minute;
  parts.tm_hour = hour;
  parts.tm_mday = day;
  parts.tm_mon = month;
  parts.tm_year = year - 1900;
  parts.tm_isdst = 0;
  const std::time_t local = std::mktime(&parts);
  if (local == static_cast<std::time_t>(-1)) return local;
  return local + static_cast<std::time_t>(z) * 3600;
}
