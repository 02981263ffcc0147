// The catalog messages the program shows, by their line in the catalog. The
// numbers are the package's: every translated catalog has its texts on
// these lines, so a number never changes. Lines 1, 4, 5, 6, 13, 14, 16 and
// 20 are not used.
#pragma once

namespace zv {

enum class Msg : int {
  kUnknown = 2,  // shown for a number the catalog lacks
  kBanner = 3,
  kInstalled = 7,
  kRestartNeeded = 8,
  kNothingApplies = 9,  // with kNothingChanged as its second line
  kNothingChanged = 10,
  kAlreadyInstalled = 11,
  kWorkDirFailed = 12,  // the path follows
  kIniUnreadable = 15,  // the path follows
  kTargetDirMissing = 17,
  kInvalidLine = 18,
  kKeyOpenFailed = 19,
  kKeyCreateFailed = 21,
  kKeyDeleteFailed = 22,
  kSubkeysListFailed = 23,
  kValueSetFailed = 24,
  kValueDeleteFailed = 25,
  kSubkeysCountFailed = 26,
  kValueReadFailed = 27,
  kNoWindowsDir = 28,
  kRenameFailed = 29,
  kInstallFailed = 30,
  kEraseFailed = 31,
  // What became of a package file, after its path.
  kResultSameTime = 32,
  kResultNewerKept = 33,
  kResultReplaced = 34,
  kResultNewerForced = 35,
  kResultInstalled = 36,
  // Boxes: text, then caption.
  kNothingInstalledText = 37,
  kNothingInstalledCaption = 38,
  kRestartQuestion = 39,
  kRestartCaption = 40,
  kInstallQuestion = 41,
  kInstallCaption = 42,
  kInsertDiskText = 43,
  kInsertDiskCaption = 44,
  kDiskMissing = 45,  // unattended: no box
  kCompleteText = 46,
  kCompleteCaption = 47,
};

}  // namespace zv
