// The registry text of a machine: what parses serializes to a
// text that parses again to the same content.
#include "fuzz_support.h"
#include "platform/registry_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using zv::fuzz::require;
  zv::RegistryStore first, second;
  std::string error;
  if (!first.parse(std::string(reinterpret_cast<const char*>(data), size), "r.reg", &error)) {
    return 0;
  }
  const std::string serialized = first.serialize();
  require(second.parse(serialized, "r.reg", &error),
          "the serialized text does not parse: " + error);
  require(second.serialize() == serialized, "changed on a round trip:\n" + serialized);
  return 0;
}
