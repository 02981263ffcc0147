// The profile on a file made of the input: its queries and edits, with
// sections, keys and values taken from the input's own lines.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/error.h"
#include "fuzz_support.h"
#include "profile/profile.h"

namespace {

constexpr size_t kMaxProbes = 12;
const char kFile[] = "C:\\FUZZ.INI";

struct Probe {
  std::string section;
  std::string key;
  std::string value;
  std::string line;
};

// One probe per line: the last header above it, and its key and value.
std::vector<Probe> probesOf(const std::string& text) {
  std::vector<Probe> probes;
  std::string section;
  size_t start = 0;
  while (start < text.size() && probes.size() < kMaxProbes) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    start = end + 1;
    if (!line.empty() && line[0] == '[') {
      size_t close = line.find(']');
      section = line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    size_t eq = line.find('=');
    Probe p{section, line.substr(0, eq), eq == std::string::npos ? "" : line.substr(eq + 1), line};
    probes.push_back(p);
  }
  if (probes.empty()) probes.push_back(Probe{"S", "k", "v", ""});
  return probes;
}

void exercise(zv::Profile& profile, const std::vector<Probe>& probes) {
  size_t sink = 0;
  for (const Probe& p : probes) {
    sink += profile.findSection(p.section) + profile.sectionExists(p.section);
    sink += profile.getString(p.section, p.key, "d").size();
    sink += profile.getInt(p.section, p.key, -1) + profile.getLong(p.section, p.key, -2);
    if (const std::string* line = profile.getLine(sink % (profile.lineCount() + 2))) {
      sink += line->size();
    }
  }
  for (size_t i = 0; i < probes.size(); ++i) {
    const Probe& p = probes[i];
    const std::string changed = p.value + "x";
    switch (i % 6) {
      case 0:
        profile.setValue(p.section, p.key.c_str(), changed.c_str());
        break;
      case 1:
        profile.addEntry(p.section, p.key, p.value, (i / 6) % 2 == 0);
        break;
      case 2:
        profile.insertLineAfter(p.line, p.key.substr(0, 3).c_str());
        break;
      case 3:
        profile.setValue(p.section, p.key.c_str(), nullptr);
        break;
      case 4:
        profile.insertLineAfter(p.value, nullptr);
        profile.appendLine(p.line);
        break;
      default:
        profile.setValue(p.section, nullptr, nullptr);
        break;
    }
    sink += profile.getString(p.section, p.key, "").size();
  }
  volatile size_t keep = sink;  // the reads must not be optimised away
  (void)keep;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zv::fuzz::Machine* machine = [] {
    zv::fuzz::silenceTrace();
    return new zv::fuzz::Machine("profile");
  }();
  (void)machine;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::vector<Probe> probes = probesOf(text);
  zv::fuzz::writeFile(kFile, data, size);
  try {
    zv::Profile file(kFile, zv::Profile::kFileMode);
    exercise(file, probes);
    file.refresh();
  } catch (const zv::Error&) {
    // Reported to the user by the program; not a defect.
  }
  try {
    // The same edits in memory, where nothing is written.
    zv::Profile memory("", zv::Profile::kFileMode);
    for (const Probe& p : probes) memory.appendLine(p.line);
    exercise(memory, probes);
  } catch (const zv::Error&) {
  }
  return 0;
}
