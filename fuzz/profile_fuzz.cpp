// The profile on a file made of the input, and on the same lines in memory:
// its queries and edits, with sections, keys and values taken from the
// input's own lines.
#include <functional>
#include <iterator>
#include <vector>

#include "fuzz_support.h"

namespace {

struct Probe {
  std::string section, key, value, line;
};

// One probe per line (at most 12): the last header above it, its key and
// value.
std::vector<Probe> probesOf(const std::string& text) {
  std::vector<Probe> probes;
  std::istringstream in(text);
  std::string section, line;
  while (probes.size() < 12 && std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') section = line.substr(1, line.find(']') - 1);
    const size_t eq = line.find('=');
    probes.push_back(
        {section, line.substr(0, eq), eq == std::string::npos ? "" : line.substr(eq + 1), line});
  }
  if (probes.empty()) probes.push_back({"S", "k", "v", ""});
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
  // The edits in turn, each with the next probe's names.
  const std::function<void(const Probe&)> edits[] = {
      [&](const Probe& p) { profile.setValue(p.section, p.key.c_str(), (p.value + "x").c_str()); },
      [&](const Probe& p) { profile.addEntry(p.section, p.key, p.value, true); },
      [&](const Probe& p) { profile.insertLineAfter(p.line, p.key.substr(0, 3).c_str()); },
      [&](const Probe& p) { profile.setValue(p.section, p.key.c_str(), nullptr); },
      [&](const Probe& p) {
        profile.insertLineAfter(p.value, nullptr);
        profile.appendLine(p.line);
      },
      [&](const Probe& p) { profile.setValue(p.section, nullptr, nullptr); },
      [&](const Probe& p) { profile.addEntry(p.section, p.key, p.value, false); },
  };
  for (size_t i = 0; i < probes.size(); ++i) {
    edits[i % std::size(edits)](probes[i]);
    sink += profile.getString(probes[i].section, probes[i].key, "").size();
  }
  volatile size_t keep = sink;  // the reads must not be optimised away
  (void)keep;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zv::fuzz::Machine machine;
  const std::vector<Probe> probes =
      probesOf(std::string(reinterpret_cast<const char*>(data), size));
  machine.platform().write("C:\\FUZZ.INI", std::string(reinterpret_cast<const char*>(data), size));
  try {
    zv::Profile file("C:\\FUZZ.INI", zv::Profile::kFileMode);
    exercise(file, probes);
    file.refresh();
  } catch (const zv::Error&) {
    // Reported to the user by the program; not a defect.
  }
  try {
    zv::Profile memory("", zv::Profile::kFileMode);  // nothing is written
    for (const Probe& p : probes) memory.appendLine(p.line);
    exercise(memory, probes);
  } catch (const zv::Error&) {
  }
  return 0;
}
