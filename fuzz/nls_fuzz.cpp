// The message catalog loaded from a file made of the input, then every
// message read, and a few numbers out of range.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using zv::fuzz::require;
  zv::fuzz::Machine machine;
  machine.platform().write("C:\\FUZZ.MSG", std::string(reinterpret_cast<const char*>(data), size));
  zv::NLSClass catalog("C:\\FUZZ.MSG");
  std::string failure;
  require(catalog.LoadCatalog(&failure) == 1, "an existing catalog did not load: " + failure);
  for (int n = -2; n <= catalog.messageCount() + 2; ++n) {
    // A message is one line of the file, however long.
    require(catalog.MessageText(n).size() <= size, "a message longer than the input");
  }
  require(catalog.MessageText(catalog.messageCount() + 1) == catalog.MessageText(2),
          "a number out of range is not message 2");
  return 0;
}
