// The local time zone, as the platform knows it.
#ifndef TABULON_WORKBOOK_LOCALTIME_H_
#define TABULON_WORKBOOK_LOCALTIME_H_

#include <cstdint>

namespace tabulon {

// The offset from UTC, in seconds east, of the local zone at the given wall
// clock time (seconds since 1970-01-01 00:00:00 of the local calendar, as if
// it were UTC), with daylight-saving time applied as the platform says. A wall
// time that falls into a daylight-saving gap gets the offset the platform
// picks; one the platform cannot convert gets the offset at 1970-01-01.
// Follows the TZ setting in force at the call.
int32_t localUtcOffsetAt(int64_t wallSeconds);

// Loads the TZ setting in force now for localUtcOffsetSteady, which does not
// look at it again on every call (asking the platform second by second for a
// million dates costs more than reading them).
void loadLocalZone();

// True, with the offset, when the wall clock times firstWall to lastWall all
// have that one offset and the zone changes neither inside them nor within a
// day of either end, so that localUtcOffsetAt would give the same for every
// second of them. False when that is not known; the caller then asks
// localUtcOffsetAt. Uses the zone loaded by loadLocalZone.
bool localUtcOffsetSteady(int64_t firstWall, int64_t lastWall, int32_t& offset);

}  // namespace tabulon

#endif  // TABULON_WORKBOOK_LOCALTIME_H_
