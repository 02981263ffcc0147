// DOS date and time stamps and calendar time, by the C library's local-time
// conversions, the same way on every target.
#pragma once

#include <ctime>

#include "platform/platform.h"

namespace zv {

// Seconds since 1970 as mktime gives them for the stamp's local time
// (-1 when the stamp holds no valid date).
std::time_t dosStampToTime(const DosStamp& stamp);
// The stamp of a moment, in local time; dates outside 1980-2107 are held
// to the nearest end.
DosStamp timeToDosStamp(std::time_t t);

}  // namespace zv
