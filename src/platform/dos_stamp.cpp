#include "platform/dos_stamp.h"

namespace zv {

DosStamp timeToDosStamp(std::time_t t) {
  DosStamp stamp;
  const struct tm* local = std::localtime(&t);  // one thread: the shared result is fine
  if (!local) return stamp;
  struct tm tm = *local;
  int year = tm.tm_year + 1900;
  if (year < 1980) return DosStamp{0, (0 << 9) | (1 << 5) | 1};  // 1980-01-01 00:00:00
  if (year > 2107) return DosStamp{(23 << 11) | (59 << 5) | 29, (127 << 9) | (12 << 5) | 31};
  stamp.time = static_cast<uint16_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
  stamp.date = static_cast<uint16_t>(((year - 1980) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
  return stamp;
}

std::time_t dosStampToTime(const DosStamp& stamp) {
  struct tm tm = {};
  tm.tm_sec = (stamp.time & 0x1F) * 2;
  tm.tm_min = (stamp.time >> 5) & 0x3F;
  tm.tm_hour = stamp.time >> 11;
  tm.tm_mday = stamp.date & 0x1F;
  tm.tm_mon = ((stamp.date >> 5) & 0x0F) - 1;
  tm.tm_year = (stamp.date >> 9) + 80;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

}  // namespace zv
