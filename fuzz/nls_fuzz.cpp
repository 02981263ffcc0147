// The message catalog loaded from a file made of the input, then every
// message read, and a few numbers out of range.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/nls_class.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zv::fuzz::Machine* machine = [] {
    zv::fuzz::silenceTrace();
    return new zv::fuzz::Machine("nls");
  }();
  (void)machine;
  const char path[] = "C:\\FUZZ.MSG";
  zv::fuzz::writeFile(path, data, size);
  zv::NLSClass catalog(path);
  std::string failure;
  if (catalog.LoadCatalog(&failure) != 1) {
    std::fprintf(stderr, "fuzz: an existing catalog did not load\n");
    std::abort();
  }
  const int count = catalog.messageCount();
  size_t sink = 0;
  for (int n = -2; n <= count + 2; ++n) {
    const std::string& text = catalog.MessageText(n);
    sink += text.size();
    // A message is one line of the file, however long: never more than
    // the whole input.
    if (text.size() > size) {
      std::fprintf(stderr, "fuzz: message %d holds %zu characters\n", n, text.size());
      std::abort();
    }
  }
  if (catalog.MessageText(count + 1) != catalog.MessageText(2)) std::abort();
  volatile size_t keep = sink;  // the reads must not be optimised away
  (void)keep;
  return 0;
}
