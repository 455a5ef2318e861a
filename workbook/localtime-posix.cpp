#include "workbook/localtime.h"

#include <time.h>

namespace tabulon {

namespace {

// Converts broken-down local time to an instant; false when mktime fails
// (-1 is also a valid instant, so failure is seen on an untouched tm_wday).
bool instantOfLocal(int64_t wallSeconds, int64_t& instant) {
  time_t wall = static_cast<time_t>(wallSeconds);
  struct tm fields;
  if (gmtime_r(&wall, &fields) == nullptr) return false;
  fields.tm_isdst = -1;
  fields.tm_wday = -1;
  time_t t = mktime(&fields);
  if (t == static_cast<time_t>(-1) && fields.tm_wday == -1) return false;
  instant = static_cast<int64_t>(t);
  return true;
}

// The zone's offset at an instant, from the zone data already loaded.
bool offsetAtInstant(int64_t instant, int32_t& offset) {
  const time_t t = static_cast<time_t>(instant);
  struct tm fields;
  if (localtime_r(&t, &fields) == nullptr) return false;
  offset = static_cast<int32_t>(fields.tm_gmtoff);
  return true;
}

constexpr int64_t kSecondsPerDay = 86400;

}  // namespace

void loadLocalZone() { tzset(); }

bool localUtcOffsetSteady(int64_t firstWall, int64_t lastWall, int32_t& offset) {
  // The offset o of the interval is the one for which the instant firstWall - o
  // has offset o itself; two steps find it unless a change lies right there.
  int32_t guess = 0, found = 0;
  if (!offsetAtInstant(firstWall, guess) || !offsetAtInstant(firstWall - guess, found)) {
    return false;
  }
  if (found != guess) {
    guess = found;
    if (!offsetAtInstant(firstWall - guess, found) || found != guess) return false;
  }
  // A change within a day of the interval could make some of its wall times
  // ambiguous or missing; those days are left to mktime.
  int32_t before = 0, last = 0, after = 0;
  if (!offsetAtInstant(firstWall - guess - kSecondsPerDay, before) ||
      !offsetAtInstant(lastWall - guess, last) ||
      !offsetAtInstant(lastWall - guess + kSecondsPerDay, after)) {
    return false;
  }
  if (before != guess || last != guess || after != guess) return false;
  offset = guess;
  return true;
}

int32_t localUtcOffsetAt(int64_t wallSeconds) {
  int64_t instant = 0;
  if (!instantOfLocal(wallSeconds, instant)) {
    wallSeconds = 0;
    if (!instantOfLocal(wallSeconds, instant)) return 0;
  }
  return static_cast<int32_t>(wallSeconds - instant);
}

}  // namespace tabulon
