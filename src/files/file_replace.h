// Installing one file: the package file and the destination are compared
// by their DOS time stamps; a missing destination is written at once, an
// existing one is never overwritten while Windows runs: the new file is
// staged in the work directory and moved into place at the next start,
// after an optional backup to ".OLD".
#pragma once

#include <cstdint>
#include <string>

#include "files/config_data.h"
#include "platform/platform.h"

namespace zv {

// Result codes of copyFile.
constexpr int kCopyNotExpanded = 0;   // the compressed source could not be expanded
constexpr int kCopySameTime = 2;      // destination as old as the source: kept
constexpr int kCopyNewerKept = 4;     // destination newer: kept
constexpr int kCopyReplaced = 8;      // destination older (or same, forced): replaced
constexpr int kCopyNewerForced = 16;  // destination newer, replaced because of force
constexpr int kCopyInstalled = 32;    // destination absent (or unreadable): installed

// Seconds since 1970 of a local DOS stamp, as mktime gives them.
int32_t stampToTime(const DosStamp& stamp);

// Raises ErrorCode::kFileUnreadable (source cannot be opened),
// kStampUnreadable, kFileNotWritten (no temporary name, or no directory to
// put the file in), kReadFailed, kWriteFailed, kStampNotSet, or
// kRestartRefused from the restart schedule. With compressed, the package
// file is read under its compressed name and expanded. When the new file is staged for
// the restart, *staged (if given) receives the staged copy's path.
int copyFile(const std::string& source, const std::string& destination, const std::string& workDir,
             ConfigData& config, bool force, bool backup, bool compressed,
             std::string* staged = nullptr);

}  // namespace zv
