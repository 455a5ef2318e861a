#include "workbook/localtime.h"

#include <gtest/gtest.h>
#include <time.h>

#include <cstdlib>
#include <string>

namespace tabulon {
namespace {

// The quick answer for a whole day must agree with asking the platform
// second by second, in zones whose changes fall at midnight, by half an hour,
// skip a whole day or come twice a year around Ramadan.
TEST(LocalTime, SteadyDaysAgreeWithThePlatform) {
  const char* saved = std::getenv("TZ");
  const std::string old = saved ? saved : "";
  constexpr int64_t kDay = 86400;
  const int64_t samples[] = {0, 1800, 3600, 7199, 7200, 10800, 43200, 79200, 82800, kDay - 1};
  for (const char* zone : {"Europe/Berlin", "America/Sao_Paulo", "Australia/Lord_Howe",
                           "Pacific/Apia", "Africa/Casablanca", "America/St_Johns"}) {
    setenv("TZ", zone, 1);
    loadLocalZone();
    int steadyDays = 0, days = 0;
    // 1960 to 2040.
    for (int64_t day = -3653; day < 25567; ++day, ++days) {
      int32_t offset = 0;
      if (!localUtcOffsetSteady(day * kDay, day * kDay + kDay - 1, offset)) continue;
      ++steadyDays;
      for (int64_t s : samples) {
        ASSERT_EQ(localUtcOffsetAt(day * kDay + s), offset) << zone << " day " << day << " +" << s;
      }
    }
    // Nearly every day takes the quick way.
    EXPECT_GT(steadyDays, days * 9 / 10) << zone;
  }
  if (saved) setenv("TZ", old.c_str(), 1);
  else unsetenv("TZ");
  tzset();
}

}  // namespace
}  // namespace tabulon
