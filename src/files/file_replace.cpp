#include "files/file_replace.h"

#include <memory>

#include "base/error.h"
#include "files/compressed_file.h"
#include "files/file_copy.h"
#include "files/path.h"
#include "files/restart_ops.h"
#include "platform/dos_stamp.h"
#include "platform/trace.h"
#include "platform/whole_file.h"

namespace zv {

namespace {

// "          Src File Time  : ..." and "          Dest File Time : ..."
void traceStamp(const char* label, int32_t time, const DosStamp& s) {
  TracePrint(0, "          %s : %lX %d %d %d %d %d %d\n", label,
             static_cast<unsigned long>(static_cast<uint32_t>(time)), s.time & 0x1F,
             (s.time >> 5) & 0x3F, s.time >> 11, s.date & 0x1F, (s.date >> 5) & 0x0F, s.date >> 9);
}

}  // namespace

int32_t stampToTime(const DosStamp& stamp) {
  return static_cast<int32_t>(dosStampToTime(stamp));
}

namespace {

// One file to install: the package file (under its compressed name when
// compressed) and where it goes.
struct CopyRequest {
  std::string sourceDir, sourceName;
  std::string destinationDir, destinationName;
  std::string workDir;
  bool force = false;
  bool backup = false;
  bool compressed = false;
  // This call makes the staged copy in the work directory, which must be
  // created now: staging it again would record a move of the staged file
  // onto itself.
  bool staging = false;
};

// The package file's stamp and the installed file's, when there is one.
struct Stamps {
  DosStamp source, destination;
  int32_t sourceTime = 0, destinationTime = 0;
  bool present = false;  // the destination exists and could be read
};

// An empty directory is the current one.
bool directoryExists(std::string dir) {
  if (dir.size() > 1 && (dir.back() == '\\' || dir.back() == '/') && dir[dir.size() - 2] != ':')
    dir.pop_back();
  FileStatus status;
  return dir.empty() || (Platform::current().stat(dir, &status) && status.isDirectory);
}

// Writes the new file dst from src (open, for an uncompressed source) under
// a temporary name beside it, and gives it its name only when it is
// complete, closed and dated; an existing dst is never replaced. False when
// the temporary file cannot be created there; kCopyNotExpanded is returned
// through *expanded when a compressed source cannot be expanded.
bool writeNewFile(std::unique_ptr<File> in, const std::string& src, const std::string& dst,
                  const DosStamp& srcStamp, bool compressed, bool* expanded) {
  WholeFileWriter writer(dst, kNewFilePrefix);
  std::unique_ptr<File> out = writer.create();
  if (!out) return false;
  *expanded = true;
  if (!compressed) {
    copyContents(*in, src, *out, dst);
    if (!out->setStamp(srcStamp)) throw Error(ErrorCode::kStampNotSet, dst, kUnitFiles, __LINE__);
  } else {
    in.reset();
    if (!expandInto(src, *out, dst)) {
      *expanded = false;
      return true;
    }
  }
  if (!out->close() || !writer.commit(false))
    throw Error(ErrorCode::kWriteFailed, dst, kUnitFiles, __LINE__);
  return true;
}

// The installed file's stamp, when it can be opened; an unreadable stamp
// raises an error rather than comparing as the oldest.
void readDestinationStamp(const std::string& dst, Stamps* stamps) {
  std::unique_ptr<File> old = Platform::current().open(dst, FileMode::kRead);
  if (!old) return;
  if (!old->getStamp(&stamps->destination))
    throw Error(ErrorCode::kStampUnreadable, dst, kUnitFiles, __LINE__);
  stamps->destinationTime = stampToTime(stamps->destination);
  stamps->present = true;
}

int copyByParts(const CopyRequest& request, ConfigData& config, std::string* stagedPath);

// Copies the package file into the work directory and records for the next
// start that it replaces dst (after its backup when keepOld); the staged
// file's path.
std::string stageForRestart(const CopyRequest& request, const std::string& src,
                            const std::string& dst, bool keepOld, ConfigData& config) {
  Platform& platform = Platform::current();
  std::string temp = makeTempName(request.workDir, config.debug());
  if (temp.empty()) throw Error(ErrorCode::kFileNotWritten, dst, kUnitFiles, __LINE__);
  std::string staged = replaceFileName(joinPath(request.workDir, ""), temp);
  CopyRequest staging = request;
  staging.destinationDir = request.workDir;
  staging.destinationName = pathFileName(temp);
  staging.backup = false;
  staging.staging = true;
  if (copyByParts(staging, config, nullptr) == kCopyNotExpanded)
    throw Error(ErrorCode::kReadFailed, src, kUnitFiles, __LINE__);
  if (!platform.exists(staged)) throw Error(ErrorCode::kWriteFailed, staged, kUnitFiles, __LINE__);
  try {
    RestartBatch batch(config);
    // A replacement already waiting (the package run twice before the
    // restart) has recorded the backup of the original: another would
    // delete it and keep the file of the first run instead.
    if (keepOld && !replacementPending(dst, config)) batch.backup(dst);
    batch.replace(staged, dst);
    batch.commit();
  } catch (const Error&) {
    platform.deleteFile(staged);
    throw;
  }
  config.setReplacePending(1);
  return staged;
}

int copyByParts(const CopyRequest& request, ConfigData& config, std::string* stagedPath) {
  Platform& platform = Platform::current();
  std::string src = joinPath(request.sourceDir, request.sourceName);
  if (request.compressed) src = replaceExtension(src, compressedName(pathExtension(src)));
  const std::string dst = joinPath(request.destinationDir, request.destinationName);
  if (config.debug()) {
    TracePrint(0, "          Copy Src File  : %s\n", src.c_str());
    TracePrint(0, "          Copy Dest File : %s\n", dst.c_str());
  }

  Stamps stamps;
  std::unique_ptr<File> in = platform.open(src, FileMode::kRead);
  if (!in) throw Error(ErrorCode::kFileUnreadable, src, kUnitFiles, __LINE__);
  // A stamp that cannot be read would compare as the oldest of all and
  // keep the installed file as "newer" without a word; a package file that
  // is no compressed file is reported whatever the installed file's time.
  if (request.compressed) {
    if (!checkCompressedHeader(*in, src, &stamps.source)) return kCopyNotExpanded;
  } else if (!in->getStamp(&stamps.source)) {
    throw Error(ErrorCode::kStampUnreadable, src, kUnitFiles, __LINE__);
  }
  stamps.sourceTime = stampToTime(stamps.source);
  readDestinationStamp(dst, &stamps);
  if (config.debug()) {
    traceStamp("Src File Time ", stamps.sourceTime, stamps.source);
    traceStamp("Dest File Time", stamps.destinationTime, stamps.destination);
  }

  // A destination that exists but cannot be read is replaced without a
  // comparison; with backup on, it is still kept as its .OLD copy, or it
  // would be lost at the restart.
  const bool present = stamps.present;
  const bool older = present && stamps.destinationTime < stamps.sourceTime;
  const bool unreadable = !present && platform.exists(dst);
  const bool keepOld = request.backup && ((present && (older || request.force)) || unreadable);
  if (!request.force && present && !older)
    return stamps.destinationTime == stamps.sourceTime ? kCopySameTime : kCopyNewerKept;

  bool expanded = true;
  if (!present && !unreadable &&
      writeNewFile(std::move(in), src, dst, stamps.source, request.compressed, &expanded)) {
    return expanded ? kCopyInstalled : kCopyNotExpanded;
  }
  if (request.staging) throw Error(ErrorCode::kFileNotWritten, dst, kUnitFiles, __LINE__);
  // Nothing could be moved there at the restart either.
  if (!present && !unreadable && !directoryExists(request.destinationDir))
    throw Error(ErrorCode::kFileNotWritten, request.destinationDir + " does not exist", kUnitFiles,
                __LINE__);

  // The destination exists (or cannot be made): stage the new file and let
  // the next start of Windows move it into place. Nothing is recorded for
  // the restart until the staged copy is complete, closed, dated and there.
  in.reset();
  const std::string staged = stageForRestart(request, src, dst, keepOld, config);
  if (stagedPath) *stagedPath = staged;
  if (!present) return kCopyInstalled;
  return stamps.destinationTime > stamps.sourceTime ? kCopyNewerForced : kCopyReplaced;
}

}  // namespace

int copyFile(const std::string& source, const std::string& destination, const std::string& workDir,
             ConfigData& config, bool force, bool backup, bool compressed, std::string* staged) {
  CopyRequest request;
  splitDirAndName(source, &request.sourceDir, &request.sourceName);
  splitDirAndName(destination, &request.destinationDir, &request.destinationName);
  request.workDir = workDir;
  request.force = force;
  request.backup = backup;
  request.compressed = compressed;
  return copyByParts(request, config, staged);
}

}  // namespace zv
