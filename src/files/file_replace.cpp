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

int copyFile(const std::string& source, const std::string& destination, const std::string& workDir,
             ConfigData& config, int force, int backup, int compressed, std::string* staged) {
  std::string sourceDir, sourceName, destinationDir, destinationName;
  splitDirAndName(source, &sourceDir, &sourceName);
  splitDirAndName(destination, &destinationDir, &destinationName);
  return copyFileByParts(sourceDir, destinationDir, workDir, sourceName, destinationName, config,
                         force, backup, compressed, staged);
}

namespace {

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
                  const DosStamp& srcStamp, int compressed, bool* expanded) {
  WholeFileWriter writer(dst, kNewFilePrefix);
  std::unique_ptr<File> out = writer.create();
  if (!out) return false;
  *expanded = true;
  if (!compressed) {
    copyContents(*in, src, *out, dst);
    if (!out->setStamp(srcStamp)) throw Error(27, dst, kUnitFiles, __LINE__);
  } else {
    in.reset();
    if (!expandInto(src, *out, dst)) {
      *expanded = false;
      return true;
    }
  }
  if (!out->close() || !writer.commit(false)) throw Error(23, dst, kUnitFiles, __LINE__);
  return true;
}

// stagedCopy: this call makes the staged copy in the work directory, which
// must be created now; staging it again would record a move of the staged
// file onto itself.
int copyByParts(const std::string& sourceDir, const std::string& destinationDir,
                const std::string& workDir, const std::string& sourceName,
                const std::string& destinationName, ConfigData& config, int force, int backup,
                int compressed, bool stagedCopy, std::string* stagedPath) {
  Platform& platform = Platform::current();
  std::string src = joinPath(sourceDir, sourceName);
  if (compressed) src = replaceExtension(src, compressedName(pathExtension(src)));
  std::string dst = joinPath(destinationDir, destinationName);
  if (config.debug()) {
    TracePrint(0, "          Copy Src File  : %s\n", src.c_str());
    TracePrint(0, "          Copy Dest File : %s\n", dst.c_str());
  }

  DosStamp srcStamp;
  std::unique_ptr<File> in = platform.open(src, FileMode::kRead);
  if (!in) throw Error(20, src, kUnitFiles, __LINE__);
  // A stamp that cannot be read would compare as the oldest of all and
  // keep the installed file as "newer" without a word; a package file that
  // is no compressed file is reported whatever the installed file's time.
  if (compressed) {
    if (!checkCompressedHeader(*in, src, &srcStamp)) return kCopyNotExpanded;
  } else if (!in->getStamp(&srcStamp)) {
    throw Error(28, src, kUnitFiles, __LINE__);
  }
  int32_t srcTime = stampToTime(srcStamp);

  DosStamp dstStamp;
  int32_t dstTime = 0;
  bool present = false;
  if (std::unique_ptr<File> old = platform.open(dst, FileMode::kRead)) {
    if (!old->getStamp(&dstStamp)) throw Error(28, dst, kUnitFiles, __LINE__);
    dstTime = stampToTime(dstStamp);
    present = true;
  }
  if (config.debug()) {
    traceStamp("Src File Time ", srcTime, srcStamp);
    traceStamp("Dest File Time", dstTime, dstStamp);
  }

  // A destination that exists but cannot be read is replaced without a
  // comparison; with backup on, it is still kept as its .OLD copy, or it
  // would be lost at the restart.
  bool unreadable = !present && platform.exists(dst);
  bool keepOld = backup && ((present && (dstTime < srcTime || force)) || unreadable);
  if (!force && present && dstTime >= srcTime)
    return dstTime == srcTime ? kCopySameTime : kCopyNewerKept;

  bool expanded = true;
  if (!present && !unreadable &&
      writeNewFile(std::move(in), src, dst, srcStamp, compressed, &expanded)) {
    return expanded ? kCopyInstalled : kCopyNotExpanded;
  }
  if (stagedCopy) throw Error(21, dst, kUnitFiles, __LINE__);
  // Nothing could be moved there at the restart either.
  if (!present && !unreadable && !directoryExists(destinationDir))
    throw Error(21, destinationDir + " does not exist", kUnitFiles, __LINE__);

  // The destination exists (or cannot be made): stage the new file and let
  // the next start of Windows move it into place. Nothing is recorded for
  // the restart until the staged copy is complete, closed, dated and there.
  in.reset();
  std::string temp = makeTempName(workDir, config.debug());
  if (temp.empty()) throw Error(21, dst, kUnitFiles, __LINE__);
  std::string staged = replaceFileName(joinPath(workDir, ""), temp);
  if (copyByParts(sourceDir, workDir, workDir, sourceName, pathFileName(temp), config, force, 0,
                  compressed, true, nullptr) == kCopyNotExpanded) {
    throw Error(24, src, kUnitFiles, __LINE__);
  }
  if (!platform.exists(staged)) throw Error(23, staged, kUnitFiles, __LINE__);
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
  if (stagedPath) *stagedPath = staged;
  if (!present) return kCopyInstalled;
  return dstTime > srcTime ? kCopyNewerForced : kCopyReplaced;
}

}  // namespace

int copyFileByParts(const std::string& sourceDir, const std::string& destinationDir,
                    const std::string& workDir, const std::string& sourceName,
                    const std::string& destinationName, ConfigData& config, int force, int backup,
                    int compressed, std::string* staged) {
  return copyByParts(sourceDir, destinationDir, workDir, sourceName, destinationName, config, force,
                     backup, compressed, false, staged);
}

}  // namespace zv
