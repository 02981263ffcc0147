#include "files/compressed_file.h"

#include "platform/trace.h"

namespace zv {

int compressFile(const std::string&, const std::string&, int) {
  TracePrint(1, "\nCompression is not part of this build.\n");
  return 0;
}

int decompressFile(const std::string&, const std::string&, int, int) {
  TracePrint(1, "\nDecompression is not part of this build.\n");
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
