// Work left for the next start of Windows: a file moved over another, or
// deleted. A running file is never overwritten or deleted while the
// installer runs. The Windows 95/98 family reads the [rename] section of
// WININIT.INI at its next start; the others carry out delayed moves.
// Every recorded operation sets replacePending.
#pragma once

#include <string>

#include "files/config_data.h"

namespace zv {

// Appends "destination=source" to [rename] of WININIT.INI in the Windows
// directory; destination "NUL" deletes source.
void scheduleViaWininit(const std::string& source, const std::string& destination,
                        ConfigData& config);
// A delayed move that replaces the destination, or deletes the source when
// there is none; raises Error 29 when the system refuses it.
void scheduleViaMoveFileEx(const std::string& source, const std::string* destination,
                           ConfigData& config);
// At the next start, source replaces destination.
void scheduleReplace(const std::string& source, const std::string& destination, ConfigData& config);

// At the next start, source is moved to destination. removeFirst deletes an
// existing destination first; backupFirst keeps it as its ".OLD" copy.
void renameFile(const std::string& source, const std::string& destination, ConfigData& config,
                int removeFirst, int backupFirst);
void renameFileByParts(const std::string& sourceDir, const std::string& destinationDir,
                       const std::string& sourceName, const std::string& destinationName,
                       ConfigData& config, int removeFirst, int backupFirst);

// At the next start, an existing file is deleted (or, with backup, becomes
// its ".OLD" copy); a missing file is left alone.
void eraseFile(const std::string& path, ConfigData& config, int backup);
void eraseFileIn(const std::string& directory, const std::string& name, ConfigData& config,
                 int backup);

}  // namespace zv
