#include "files/compressed_file.h"

#include <cstring>
#include <memory>

#include "files/lzw.h"
#include "files/path.h"
#include "platform/platform.h"
#include "platform/trace.h"

namespace zv {

namespace {

constexpr size_t kStoredNameSize = 14;
constexpr size_t kStoredNameOffset = 6;

// Reads until count bytes or the end; a read may return fewer than asked.
size_t readFully(File& file, uint8_t* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    const int64_t n = file.read(buffer + done, count - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace

int compressFile(const std::string& source, const std::string& destination, int) {
  Platform& platform = Platform::current();
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
  header[3] = static_cast<uint8_t>(stamp.date >> 8);
  const PathParts parts = splitPath(source);
  const std::string name = (parts.name + parts.ext).substr(0, kStoredNameSize);
  std::memcpy(header + kStoredNameOffset, name.data(), name.size());

  std::unique_ptr<File> output = platform.open(destination, FileMode::kWrite);
  if (!output) {
    input.reset();
    TracePrint(1, "\nUnable to open destination for compression: %s\n", destination.c_str());
    return 0;
  }
  const bool done = lzwCompress(*input, *output, header);
  input.reset();
  output.reset();
  // A partial compressed file would only expand to a damaged stream.
  if (!done) platform.deleteFile(destination);
  return done ? 1 : 0;
}

int decompressFile(const std::string& source, const std::string& destination, int destinationIsFile,
                   int) {
  Platform& platform = Platform::current();
  std::unique_ptr<File> input = platform.open(source, FileMode::kRead);
  if (!input) {
    TracePrint(1, "\nUnable to open source for decompression: %s\n", source.c_str());
    return 0;
  }
  uint8_t header[kLzwHeaderSize];
  if (readFully(*input, header, 2) < 2 || header[0] != kLzwMagic0 || header[1] != kLzwMagic1) {
    input.reset();
    TracePrint(1, "\nUnable to find magic header for decompression.\n");
    return 0;
  }
  if (readFully(*input, header + 2, kLzwHeaderSize - 2) < kLzwHeaderSize - 2) {
    input.reset();
    TracePrint(1, "\nDamaged compressed data in %s\n", source.c_str());
    return 0;
  }
  const uint8_t* block = header + 2;
  DosStamp stamp;
  stamp.time = static_cast<uint16_t>(block[0] | block[1] << 8);
  stamp.date = static_cast<uint16_t>(block[2] | block[3] << 8);
  const char* stored = reinterpret_cast<const char*>(block + kStoredNameOffset);
  const std::string storedName(stored, strnlen(stored, kStoredNameSize));

  std::string outputName;
  if (destinationIsFile) {
    outputName = destination;
  } else if (destination.empty()) {
    outputName = storedName;
  } else {
    outputName = destination;
    if (outputName.back() != '\\') outputName += '\\';
    outputName += storedName;
  }

  const int flags = header[kLzwHeaderSize - 1];
  const int widthLimit = flags & 0x1F;
  if (widthLimit > 12) {
    input.reset();
    TracePrint(1, "\nUnable to process %d decompression bits\n", widthLimit);
    return 0;
  }
  std::unique_ptr<File> output = platform.open(outputName, FileMode::kWrite);
  if (!output) {
    input.reset();
    TracePrint(1, "\nUnable to open destination for decompression: %s\n", outputName.c_str());
    return 0;
  }
  const LzwStatus status = lzwDecompress(*input, *output, flags);
  if (status == LzwStatus::kOk) output->setStamp(stamp);
  output.reset();
  input.reset();
  if (status == LzwStatus::kOk) return 1;
  // No partial file is left behind, whatever went wrong.
  platform.deleteFile(outputName);
  if (status == LzwStatus::kDamaged) {
    TracePrint(1, "\nDamaged compressed data in %s\n", source.c_str());
  }
  return 0;
}

}  // namespace zv

namespace zv {

std::string compressedName(const std::string& extension) {
  std::string name = extension;
  if (name.size() > 3) {
    name.back() = '_';
  } else {
    name.resize(4, '_');
  }
  return name;
}

}  // namespace zv
