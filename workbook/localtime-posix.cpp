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

}  // namespace

int32_t localUtcOffsetAt(int64_t wallSeconds) {
  int64_t instant = 0;
  if (!instantOfLocal(wallSeconds, instant)) {
    wallSeconds = 0;
    if (!instantOfLocal(wallSeconds, instant)) return 0;
  }
  return static_cast<int32_t>(wallSeconds - instant);
}

}  // namespace tabulon
