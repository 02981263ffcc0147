// Which Windows runs: the detection number a patch's conditions name, and
// the family that decides how work for the next start is recorded.
#pragma once

namespace zv {

// The numbers of the conditions' OS field; a package names them.
enum class OsDetection : int {
  kOther = 0,  // Windows Me and anything else
  kWindows95 = 1,
  kNt351 = 2,
  kWin32s = 4,
  kWindows98 = 7,
  kNt40 = 8,
  kWindows2000 = 9,  // and the later NT 5 versions
};

// The family of a detection number.
enum class OsClass : int {
  kOther = 0,
  kWindows9x = 1,  // Windows 95 and 98: WININIT.INI holds the restart's work
  kNt = 2,         // NT 3.51, 4.0 and 2000
  kWin32s = 4,
};

}  // namespace zv
