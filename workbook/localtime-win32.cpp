#include "workbook/localtime.h"

#include <time.h>

namespace tabulon {

namespace {

// _mktime64 covers 1970 to 3000 only; outside it the offset at 1970 is used.
bool instantOfLocal(int64_t wallSeconds, int64_t& instant) {
  __time64_t wall = static_cast<__time64_t>(wallSeconds);
  struct tm fields;
  if (_gmtime64_s(&fields, &wall) != 0) return false;
  fields.tm_isdst = -1;
  __time64_t t = _mktime64(&fields);
  if (t == -1) return false;
  instant = static_cast<int64_t>(t);
  return true;
}

}  // namespace

int32_t localUtcOffsetAt(int64_t wallSeconds) {
  int64_t instant = 0;
  if (!instantOfLocal(wallSeconds, instant)) {
    wallSeconds = 86400;  // 1970-01-02: inside the range west and east of UTC
    if (!instantOfLocal(wallSeconds, instant)) return 0;
  }
  return static_cast<int32_t>(wallSeconds - instant);
}

void loadLocalZone() { _tzset(); }

bool localUtcOffsetSteady(int64_t firstWall, int64_t lastWall, int32_t& offset) {
  // The C runtime offers no cheaper question than _mktime64 itself.
  const int32_t first = localUtcOffsetAt(firstWall);
  if (localUtcOffsetAt(lastWall) != first) return false;
  offset = first;
  return true;
}

}  // namespace tabulon
