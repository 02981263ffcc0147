// The compressed-file decoder on a file made of the input. Whatever it
// expands comes back unchanged through the encoder and the decoder; expanded
// into a directory under its stored name, it is a bare file name there.
#include <cstring>

#include "files/path.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using zv::fuzz::require;
  zv::fuzz::Machine machine;
  zv::Platform& platform = zv::Platform::current();
  machine.platform().write("C:\\IN.DL_", std::string(reinterpret_cast<const char*>(data), size));
  if (zv::decompressFile("C:\\IN.DL_", "C:\\OUT.DLL", 1, 0) == 1) {
    require(zv::compressFile("C:\\OUT.DLL", "C:\\AGAIN.DL_", false) == 1 &&
                zv::decompressFile("C:\\AGAIN.DL_", "C:\\BACK.DLL", 1, 0) == 1,
            "expanded data does not compress and expand again");
    require(machine.platform().read("C:\\BACK.DLL") == machine.platform().read("C:\\OUT.DLL"),
            "changed through the encoder");
  }
  platform.deleteFile("C:\\OUT.DLL");
  platform.createDir("C:\\OUTDIR");
  if (size % 2 == 1 && zv::decompressFile("C:\\IN.DL_", "C:\\OUTDIR", 0, 0) == 1) {
    // The name the header holds, as the decoder reads it.
    const char* stored = size < 23 ? "" : reinterpret_cast<const char*>(data + 8);
    const std::string name = zv::bareFileName(std::string(stored, strnlen(stored, 14)));
    require(!name.empty() && platform.deleteFile("C:\\OUTDIR\\" + name),
            "the expanded file is not C:\\OUTDIR\\" + name);
  }
  return 0;
}
