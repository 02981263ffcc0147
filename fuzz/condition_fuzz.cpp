// Condition lines made of the input's lines, each tested against settings
// and a registry prepared once.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/error.h"
#include "engine/data_file.h"
#include "engine_world.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zv::fuzz::EngineWorld* world = [] {
    zv::fuzz::silenceTrace();
    return new zv::fuzz::EngineWorld("condition");
  }();
  static zv::DataFile* engine =
      new zv::DataFile(zv::fuzz::EngineWorld::kDefinition, &world->settings(), &world->catalog());
  world->chooseSettings(zv::fuzz::hashOf(data, size));
  const std::string text(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  for (int lines = 0; start <= text.size() && lines < 16; ++lines) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    try {
      engine->testCondition(line);
    } catch (const zv::Error&) {
    }
  }
  return 0;
}
