// A definition file made of the input, every section of it walked: entry
// lines recognised, split and handed to their handlers, which act on a
// simulated machine rebuilt before each input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/error.h"
#include "engine/data_file.h"
#include "engine_world.h"
#include "platform/interaction.h"

namespace {

constexpr size_t kMaxSections = 8;

std::vector<std::string> sectionsOf(zv::Profile& profile) {
  std::vector<std::string> names;
  for (size_t n = 1; n <= profile.lineCount() && names.size() < kMaxSections; ++n) {
    const std::string* line = profile.getLine(n);
    if (!line || !zv::Profile::isSectionHeader(*line)) continue;
    const size_t open = line->find('[');
    const size_t close = line->find(']', open);
    names.push_back(line->substr(open + 1, close == std::string::npos ? close : close - open - 1));
  }
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zv::fuzz::EngineWorld* world = [] {
    zv::fuzz::silenceTrace();
    return new zv::fuzz::EngineWorld("data_file");
  }();
  world->rebuild();
  world->chooseSettings(zv::fuzz::hashOf(data, size));
  zv::fuzz::writeFile(zv::fuzz::EngineWorld::kDefinition, data, size);
  try {
    zv::DataFile engine(zv::fuzz::EngineWorld::kDefinition, &world->settings(), &world->catalog());
    for (const std::string& name : sectionsOf(engine.profile())) engine.processSection(name);
  } catch (const zv::Error&) {
    // Reported to the user by the program; not a defect.
  } catch (const zv::WindowClosed&) {
  }
  return 0;
}
