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

// Raises Error 20 (source cannot be read), 28 (a stamp cannot be read), 21
// (no temporary name), 24 (read), 23 (short write), 27 (stamp not set), or
// 29 from the restart schedule. A nonzero compressed reads the package file
// under its compressed name and expands it. When the new file is staged for
// the restart, *staged (if given) receives the staged copy's path.
int copyFile(const std::string& source, const std::string& destination, const std::string& workDir,
             ConfigData& config, int force, int backup, int compressed,
             std::string* staged = nullptr);
int copyFileByParts(const std::string& sourceDir, const std::string& destinationDir,
                    const std::string& workDir, const std::string& sourceName,
                    const std::string& destinationName, ConfigData& config, int force, int backup,
                    int compressed, std::string* staged = nullptr);

}  // namespace zv
