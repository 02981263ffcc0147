#include "files/file_replace.h"

#include <memory>

#include "files/compressed_file.h"
#include "files/file_copy.h"
#include "files/path.h"
#include "files/restart_ops.h"
#include "platform/dos_stamp.h"
#include "platform/error.h"
#include "platform/trace.h"

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

void readCompressedStamp(const std::string& path, DosStamp* stamp) {
  std::unique_ptr<File> file = Platform::current().open(path, FileMode::kRead);
  if (!file) return;
  unsigned char header[6];
  if (file->read(header, sizeof header) != static_cast<int64_t>(sizeof header)) return;
  stamp->time = static_cast<uint16_t>(header[2] | (header[3] << 8));
  stamp->date = static_cast<uint16_t>(header[4] | (header[5] << 8));
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
  if (compressed) readCompressedStamp(src, &srcStamp);
  std::unique_ptr<File> in = platform.open(src, FileMode::kRead);
  if (!in) throw Error(20, src, kUnitFiles, __LINE__);
  if (!compressed && !in->getStamp(&srcStamp)) throw Error(28, src, kUnitFiles, __LINE__);
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
  if (backup && ((present && (dstTime < srcTime || force)) || unreadable))
    renameFile(dst, replaceExtension(dst, ".OLD"), config, 1, 0);
  if (!force && present && dstTime >= srcTime)
    return dstTime == srcTime ? kCopySameTime : kCopyNewerKept;

  std::unique_ptr<File> out = platform.open(dst, FileMode::kCreateNew);
  if (!out && stagedCopy) throw Error(21, dst, kUnitFiles, __LINE__);
  if (!out) {
    // The destination exists (or cannot be made): stage the new file and
    // let the next start of Windows move it into place.
    in.reset();
    std::string temp = makeTempName(workDir, config.debug());
    if (temp.empty()) throw Error(21, dst, kUnitFiles, __LINE__);
    copyByParts(sourceDir, workDir, workDir, sourceName, pathFileName(temp), config, force, 0,
                compressed, true, nullptr);
    std::string staged = replaceFileName(joinPath(workDir, ""), temp);
    scheduleReplace(staged, dst, config);
    config.setReplacePending(1);
    if (stagedPath) *stagedPath = staged;
  } else if (!compressed) {
    try {
      copyContents(*in, src, *out, dst);
      if (!out->setStamp(srcStamp)) throw Error(27, dst, kUnitFiles, __LINE__);
    } catch (const Error&) {
      // The file did not exist before: leave none rather than part of one.
      out.reset();
      platform.deleteFile(dst);
      throw;
    }
  } else {
    in.reset();
    out.reset();
    // The expansion removes what it wrote when it fails, so a file that
    // did not exist before is not left behind empty or partial.
    if (!decompressFile(src, dst, 1, config.debug())) {
      platform.deleteFile(dst);
      return kCopyNotExpanded;
    }
  }
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
