// The registry text of the simulated machine: what parses must serialize
// to a text that parses again to the same content.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/registry_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  zv::RegistryStore first;
  std::string error;
  if (!first.parse(text, "registry.reg", &error)) return 0;
  const std::string serialized = first.serialize();

  zv::RegistryStore second;
  if (!second.parse(serialized, "registry.reg", &error)) {
    std::fprintf(stderr, "fuzz: serialized registry does not parse: %s\n--\n%s--\n", error.c_str(),
                 serialized.c_str());
    std::abort();
  }
  const std::string again = second.serialize();
  if (again != serialized) {
    std::fprintf(stderr, "fuzz: registry changed on a round trip\n--\n%s--\n%s--\n",
                 serialized.c_str(), again.c_str());
    std::abort();
  }
  return 0;
}
