// The compressed-file decoder on a file made of the input. Whatever it
// expands must come back unchanged through the encoder and the decoder.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "files/compressed_file.h"
#include "files/path.h"
#include "fuzz_support.h"
#include "platform/platform.h"

namespace {

const char kInput[] = "C:\\IN.DL_";
const char kOutput[] = "C:\\OUT.DLL";
const char kAgain[] = "C:\\AGAIN.DL_";
const char kBack[] = "C:\\BACK.DLL";
const char kOutDir[] = "C:\\OUTDIR";

// The name stored in the header, as the decoder reads it.
std::string storedName(const uint8_t* data, size_t size) {
  if (size < 23) return "";
  const char* name = reinterpret_cast<const char*>(data + 8);
  return std::string(name, strnlen(name, 14));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zv::fuzz::Machine* machine = [] {
    zv::fuzz::silenceTrace();
    auto* m = new zv::fuzz::Machine("compressed");
    zv::Platform::current().createDir(kOutDir);
    return m;
  }();
  (void)machine;
  zv::Platform& platform = zv::Platform::current();
  zv::fuzz::writeFile(kInput, data, size);

  if (zv::decompressFile(kInput, kOutput, 1, 0) == 1) {
    const std::string expanded = zv::fuzz::readFile(kOutput);
    if (zv::compressFile(kOutput, kAgain, 0) != 1 || zv::decompressFile(kAgain, kBack, 1, 0) != 1) {
      std::fprintf(stderr, "fuzz: expanded data does not compress and expand again\n");
      std::abort();
    }
    if (zv::fuzz::readFile(kBack) != expanded) {
      std::fprintf(stderr, "fuzz: %zu bytes changed on the way through the encoder\n",
                   expanded.size());
      std::abort();
    }
  }
  platform.deleteFile(kOutput);

  // The output named by the header, in a directory: a bare file name there,
  // whatever directories or ".." the header holds.
  if (size % 2 == 1 && zv::decompressFile(kInput, kOutDir, 0, 0) == 1) {
    const std::string name = zv::bareFileName(storedName(data, size));
    const std::string output = std::string(kOutDir) + "\\" + name;
    if (name.empty() || !platform.deleteFile(output)) {
      std::fprintf(stderr, "fuzz: the expanded file is not %s\n", output.c_str());
      std::abort();
    }
  }
  return 0;
}
