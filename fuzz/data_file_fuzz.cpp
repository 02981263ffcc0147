// A definition file made of the input, its first sections walked: entry
// lines recognised, split and handed to their handlers, which act on a
// machine rebuilt before each input.
#include "fuzz_support.h"
#include "platform/interaction.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zv::fuzz::EngineWorld* world = new zv::fuzz::EngineWorld();
  world->rebuild();
  world->chooseSettings(zv::fuzz::hashOf(data, size));
  world->platform().write(zv::fuzz::EngineWorld::kDefinition,
                          std::string(reinterpret_cast<const char*>(data), size));
  try {
    zv::DataFile engine(zv::fuzz::EngineWorld::kDefinition, &world->settings(), &world->catalog());
    zv::Profile& definition = engine.profile();
    for (size_t n = 1, sections = 0; n <= definition.lineCount() && sections < 8; ++n) {
      const std::string* line = definition.getLine(n);
      if (!line || !zv::Profile::isSectionHeader(*line)) continue;
      const size_t open = line->find('[') + 1;
      ++sections;
      engine.processSection(line->substr(open, line->find(']', open) - open));
    }
  } catch (const zv::Error&) {
    // Reported to the user by the program; not a defect.
  } catch (const zv::WindowClosed&) {
  }
  return 0;
}
