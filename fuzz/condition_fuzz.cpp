// Condition lines made of the input's lines, each tested against settings
// and a registry prepared once.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zv::fuzz::EngineWorld* world = new zv::fuzz::EngineWorld();
  static zv::DataFile* engine =
      new zv::DataFile(zv::fuzz::EngineWorld::kDefinition, &world->settings(), &world->catalog());
  world->chooseSettings(zv::fuzz::hashOf(data, size));
  std::istringstream lines(std::string(reinterpret_cast<const char*>(data), size));
  std::string line;
  for (int n = 0; n < 16 && std::getline(lines, line); ++n) {
    try {
      engine->testCondition(line);
    } catch (const zv::Error&) {
    }
  }
  return 0;
}
