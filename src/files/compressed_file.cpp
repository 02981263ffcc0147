#include "files/compressed_file.h"

#include <cstring>
#include <memory>

#include "base/error.h"
#include "base/strings.h"
#include "files/lzw.h"
#include "files/path.h"
#include "platform/trace.h"
#include "platform/whole_file.h"

namespace zv {

namespace {

constexpr int kWidestCode = 12;

// Reads until count bytes or the end; -1 on a read error.
int64_t readFully(File& file, uint8_t* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    const int64_t n = file.read(buffer + done, count - done);
    if (n < 0) return -1;
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

// A compressed file opened and its header read, up to the code stream.
struct CompressedInput {
  std::unique_ptr<File> file;
  DosStamp stamp;
  std::string storedName;
  int flags = 0;
};

// The stamp at the start of a file header.
DosStamp stampOf(const uint8_t* fileHeader) {
  return {static_cast<uint16_t>(fileHeader[0] | fileHeader[1] << 8),
          static_cast<uint16_t>(fileHeader[2] | fileHeader[3] << 8)};
}

enum class Header { kOk, kNoMagic, kCut, kUnreadable };

Header readHeader(File& file, CompressedInput* input) {
  uint8_t header[kLzwHeaderSize];
  int64_t got = readFully(file, header, 2);
  if (got < 0) return Header::kUnreadable;
  if (got < 2 || header[0] != kLzwMagic0 || header[1] != kLzwMagic1) return Header::kNoMagic;
  got = readFully(file, header + 2, kLzwHeaderSize - 2);
  if (got < 0) return Header::kUnreadable;
  if (got < static_cast<int64_t>(kLzwHeaderSize - 2)) return Header::kCut;
  const uint8_t* block = header + 2;
  input->stamp = stampOf(block);
  const char* stored = reinterpret_cast<const char*>(block + kLzwNameOffset);
  input->storedName.assign(stored, strnlen(stored, kLzwNameSize));
  input->flags = header[kLzwHeaderSize - 1];
  return Header::kOk;
}

// The error box for a header that could not be taken.
void reportHeader(Header header, const std::string& source) {
  switch (header) {
    case Header::kOk:
      break;
    case Header::kNoMagic:
      TracePrint(1, "\nUnable to find magic header for decompression.\n");
      break;
    case Header::kCut:
      TracePrint(1, "\nDamaged compressed data in %s\n", source.c_str());
      break;
    case Header::kUnreadable:
      TracePrint(1, "\nUnable to read compressed data from %s\n", source.c_str());
      break;
  }
}

// False after the error box when source cannot be opened or has no valid
// header.
bool openCompressed(const std::string& source, CompressedInput* input) {
  input->file = Platform::current().open(source, FileMode::kRead);
  if (!input->file) {
    TracePrint(1, "\nUnable to open source for decompression: %s\n", source.c_str());
    return false;
  }
  Header header = readHeader(*input->file, input);
  if (header == Header::kOk) return true;
  input->file.reset();
  reportHeader(header, source);
  return false;
}

// False after the error box when the code stream needs wider codes than
// the format has.
bool widthSupported(const CompressedInput& input) {
  const int widthLimit = input.flags & 0x1F;
  if (widthLimit <= kWidestCode) return true;
  TracePrint(1, "\nUnable to process %d decompression bits\n", widthLimit);
  return false;
}

// Expands the code stream into output and dates it. A stored time that is
// no date (all zero) cannot be given: the content is whole all the same.
LzwStatus expandStream(CompressedInput& input, File& output) {
  LzwStatus status = lzwDecompress(*input.file, output, input.flags);
  if (status == LzwStatus::kOk) output.setStamp(input.stamp);
  return status;
}

}  // namespace

int compressFile(const std::string& source, const std::string& destination, bool) {
  Platform& platform = Platform::current();
  if (equalsIgnoringCase(source, destination)) {
    // Its own compressed name: the file would be replaced by its codes.
    TracePrint(1, "\nUnable to compress %s: the file already has its compressed name\n",
               source.c_str());
    return 0;
  }
  std::unique_ptr<File> input = platform.open(source, FileMode::kRead);
  if (!input) {
    TracePrint(1, "\nUnable to open source for compression: %s\n", source.c_str());
    return 0;
  }
  uint8_t header[kLzwFileHeaderSize] = {};
  DosStamp stamp;
  input->getStamp(&stamp);
  header[0] = static_cast<uint8_t>(stamp.time);
  header[1] = static_cast<uint8_t>(stamp.time >> 8);
  header[2] = static_cast<uint8_t>(stamp.date);
  header[3] = static_cast<uint8_t>(stamp.date >> 8);  // as stampOf reads it
  const PathParts parts = splitPath(source);
  const std::string name = (parts.name + parts.ext).substr(0, kLzwNameSize);
  std::memcpy(header + kLzwNameOffset, name.data(), name.size());

  WholeFileWriter writer(destination, kNewFilePrefix);
  std::unique_ptr<File> output = writer.create();
  if (!output) {
    input.reset();
    TracePrint(1, "\nUnable to open destination for compression: %s\n", destination.c_str());
    return 0;
  }
  bool done = lzwCompress(*input, *output, header);
  input.reset();
  done = output->close() && done;
  if (!done || !writer.commit(true)) {
    TracePrint(1, "\nUnable to write the compressed file: %s\n", destination.c_str());
    return 0;
  }
  return 1;
}

int decompressFile(const std::string& source, const std::string& destination,
                   bool destinationIsFile, bool) {
  CompressedInput input;
  if (!openCompressed(source, &input)) return 0;
  std::string outputName;
  if (destinationIsFile) {
    outputName = destination;
  } else {
    // The stored name comes with the file: it names a file in the
    // destination directory, never a place of its own.
    std::string name = bareFileName(input.storedName);
    if (name.empty()) {
      TracePrint(1, "\nUnable to expand %s: its stored name \"%s\" is no file name\n",
                 source.c_str(), input.storedName.c_str());
      return 0;
    }
    outputName = destination;
    if (!outputName.empty() && outputName.back() != '\\' && outputName.back() != '/')
      outputName += '\\';
    outputName += name;
  }
  if (!widthSupported(input)) return 0;
  WholeFileWriter writer(outputName, kNewFilePrefix);
  std::unique_ptr<File> output = writer.create();
  if (!output) {
    TracePrint(1, "\nUnable to open destination for decompression: %s\n", outputName.c_str());
    return 0;
  }
  LzwStatus status = expandStream(input, *output);
  input.file.reset();
  if (!output->close() && status == LzwStatus::kOk) status = LzwStatus::kWriteError;
  if (status == LzwStatus::kOk && !writer.commit(true)) status = LzwStatus::kWriteError;
  switch (status) {
    case LzwStatus::kOk:
      return 1;
    case LzwStatus::kDamaged:
      TracePrint(1, "\nDamaged compressed data in %s\n", source.c_str());
      break;
    case LzwStatus::kReadError:
      TracePrint(1, "\nUnable to read compressed data from %s\n", source.c_str());
      break;
    case LzwStatus::kWriteError:
      TracePrint(1, "\nUnable to write the expanded file: %s\n", outputName.c_str());
      break;
  }
  return 0;
}

int checkCompressedHeader(File& file, const std::string& source, DosStamp* stamp) {
  CompressedInput input;
  Header header = readHeader(file, &input);
  if (header == Header::kUnreadable)
    throw Error(ErrorCode::kStampUnreadable, source, kUnitFiles, __LINE__);
  reportHeader(header, source);
  if (header != Header::kOk) return 0;
  *stamp = input.stamp;
  return 1;
}

int expandInto(const std::string& source, File& output, const std::string& outputName) {
  CompressedInput input;
  if (!openCompressed(source, &input) || !widthSupported(input)) return 0;
  switch (expandStream(input, output)) {
    case LzwStatus::kOk:
      return 1;
    case LzwStatus::kDamaged:
      TracePrint(1, "\nDamaged compressed data in %s\n", source.c_str());
      return 0;
    case LzwStatus::kReadError:
      throw Error(ErrorCode::kReadFailed, source, kUnitFiles, __LINE__);
    case LzwStatus::kWriteError:
      break;
  }
  throw Error(ErrorCode::kWriteFailed, outputName, kUnitFiles, __LINE__);
}

std::string compressedName(const std::string& extension) {
  std::string name = extension;
  if (name.size() > 3) {
    name.back() = '_';
  } else {
    name.resize(4, '_');
  }
  return name;
}

void readCompressedStamp(const std::string& path, DosStamp* stamp) {
  std::unique_ptr<File> file = Platform::current().open(path, FileMode::kRead);
  uint8_t header[6];
  if (!file || file->read(header, sizeof header) != static_cast<int64_t>(sizeof header)) return;
  *stamp = stampOf(header + 2);
}

}  // namespace zv
