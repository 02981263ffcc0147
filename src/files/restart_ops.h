// Work left for the next start of Windows: a file moved over another, or
// deleted. A running file is never overwritten or deleted while the
// installer runs. The Windows 95/98 family reads the [rename] section of
// WININIT.INI at its next start; the others carry out delayed moves.
// Every recorded operation sets replacePending.
#pragma once

#include <string>
#include <vector>

#include "files/config_data.h"

namespace zv {

// Appends "destination=source" to [rename] of WININIT.INI in the Windows
// directory; destination "NUL" deletes source.
void scheduleViaWininit(const std::string& source, const std::string& destination,
                        ConfigData& config);
// A delayed move that replaces the destination, or deletes the source when
// there is none; raises ErrorCode::kRestartRefused when the system refuses
// it.
void scheduleViaMoveFileEx(const std::string& source, const std::string* destination,
                           ConfigData& config);
// At the next start, source replaces destination.
void scheduleReplace(const std::string& source, const std::string& destination, ConfigData& config);

// At the next start, source is moved to destination. removeFirst deletes an
// existing destination first; backupFirst keeps it as its ".OLD" copy.
void renameFile(const std::string& source, const std::string& destination, ConfigData& config,
                bool removeFirst, bool backupFirst);
void renameFileByParts(const std::string& sourceDir, const std::string& destinationDir,
                       const std::string& sourceName, const std::string& destinationName,
                       ConfigData& config, bool removeFirst, bool backupFirst);

// At the next start, an existing file is deleted (or, with backup, becomes
// its ".OLD" copy); a missing file is left alone.
void eraseFile(const std::string& path, ConfigData& config, bool backup);
void eraseFileIn(const std::string& directory, const std::string& name, ConfigData& config,
                 bool backup);

// The name a file's backup gets: its extension replaced by ".OLD".
std::string backupName(const std::string& path);

// A move onto destination (a replacement, a backup or a rename) already
// waits for the next start.
bool replacementPending(const std::string& destination, ConfigData& config);

// The operations that one file needs, recorded together by commit(): a
// failure, or a crash, never leaves a file moved away without what was to
// take its place. WININIT.INI gets them in one write of the file. Delayed
// moves are recorded one call at a time, so there the backup of a file is
// a copy made now, and a deletion before a move that replaces anyway is
// left out; when a call is refused, a file that an earlier one moved away
// is moved back (a recorded deletion cannot be taken back).
class RestartBatch {
 public:
  explicit RestartBatch(ConfigData& config) : config_(config) {}
  // Removes the backup copies of operations that were not recorded.
  ~RestartBatch();
  RestartBatch(const RestartBatch&) = delete;
  RestartBatch& operator=(const RestartBatch&) = delete;

  // The operations of eraseFile, renameFile and scheduleReplace.
  void erase(const std::string& path, bool backup);
  void rename(const std::string& source, const std::string& destination, bool removeFirst,
              bool backupFirst);
  void replace(const std::string& source, const std::string& destination);
  // Keeps the file that is about to be replaced as its ".OLD" copy.
  void backup(const std::string& path);
  // Records what was added and sets replacePending when there was any.
  // Raises ErrorCode::kRestartRefused (a refused delayed move, a long name
  // WININIT.INI cannot hold), kFileUnreadable or kFileNotWritten (WININIT.INI
  // cannot be read or written).
  void commit();

 private:
  struct ScheduledMove {
    std::string source;
    std::string destination;  // empty: delete source
    bool copyMadeNow;         // source is a backup copy this batch made
    bool movesAway;           // a backup by moving the file itself
  };
  // A copy of path beside it, complete and dated, to become its backup;
  // false when it cannot be made (path cannot be read, the directory not
  // written, the disk is full): the file itself is then moved instead.
  bool copyForBackup(const std::string& path, std::string* copy);
  void commitToWininit();
  void commitAsDelayedMoves();

  ConfigData& config_;
  std::vector<ScheduledMove> operations_;
};

}  // namespace zv
