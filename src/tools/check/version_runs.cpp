#include "tools/check/version_runs.h"

#include <stdlib.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>

#include "base/strings.h"
#include "base/text_lines.h"
#include "base/windows_path.h"
#include "platform/registry_names.h"
#include "simulator/posix_file.h"
#include "simulator/simulated_machine.h"
#include "tools/check/temporary_folder.h"

namespace fs = std::filesystem;

namespace zv {

namespace {

constexpr int kCatalogMessages = 47;
constexpr int kRunSeconds = 60;
// The catalog messages that report an error.
const std::set<int> kErrorMessages = {12, 15, 17, 18, 19, 21, 22, 23,
                                      24, 25, 26, 27, 29, 30, 31, 45};
// The texts of the compressed format's own error boxes.
const char* const kFormatErrors[] = {"Unable to find magic header",
                                     "Damaged compressed data",
                                     "Unable to process",
                                     "Unable to open source",
                                     "Unable to open destination",
                                     "Unable to read compressed",
                                     "Unable to write the expanded",
                                     "Unable to expand"};

std::string shellQuoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// The number of a line "M<n> ..." of the numbered catalog, or 0.
int messageNumber(const std::string& line) {
  if (line.size() < 2 || line[0] != 'M' || !std::isdigit(static_cast<unsigned char>(line[1])))
    return 0;
  return std::atoi(line.c_str() + 1);
}

// The name recorded for the package: Patch= of its [Patch] section.
std::string patchName(const std::string& dat) {
  bool inPatch = false;
  for (std::string line : textLines(dat, false)) {
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    if (line[first] == '[') {
      inPatch = startsWithIgnoringCase(line, "[Patch]", first);
      continue;
    }
    size_t eq = line.find('=');
    if (!inPatch || eq == std::string::npos) continue;
    std::string key = line.substr(first, eq - first);
    key.erase(key.find_last_not_of(" \t") + 1);
    if (equalsIgnoringCase(key, "Patch")) return line.substr(eq + 1);
  }
  return "";
}

// The patch is among the records Patch0, Patch1, ... of section Install of
// the product's settings (the Windows directory's ZEVRA.INI, or its image).
bool recorded(const std::string& machineDir, const std::string& name) {
  if (name.empty()) return false;
  std::string error;
  std::unique_ptr<SimulatedMachine> machine = SimulatedMachine::openMachine(machineDir, &error);
  if (!machine) return false;
  RegKey key;
  if (machine->regOpenKey(kHkeyLocalMachine, withBackslash(kSettingsImageKey) + "Install",
                          RegAccess::kRead, &key) == kErrorSuccess) {
    bool found = false;
    for (int n = 0; n < 100 && !found; ++n) {
      char data[256];
      uint32_t type = 0, size = sizeof data;
      if (machine->regQueryValue(key, "Patch" + std::to_string(n), &type, data, &size) ==
          kErrorSuccess) {
        found = startsWithIgnoringCase(std::string(data, size), name);
      }
    }
    machine->regCloseKey(key);
    return found;
  }
  std::string windows, text;
  machine->windowsDirectory(&windows);
  if (!readHostFile(machine->hostPath(windows + "\\ZEVRA.INI"), &text)) return false;
  bool inInstall = false;
  for (const std::string& line : textLines(text, false)) {
    if (!line.empty() && line[0] == '[') inInstall = startsWithIgnoringCase(line, "[Install]");
    size_t eq = line.find('=');
    if (inInstall && startsWithIgnoringCase(line, "Patch") && eq != std::string::npos &&
        startsWithIgnoringCase(line.substr(eq + 1), name)) {
      return true;
    }
  }
  return false;
}

// Lines of a block of zvpatch-diff's report that name one change each.
int changesIn(const std::string& report, const std::string& title) {
  int count = 0;
  bool inside = false;
  for (const std::string& line : textLines(report, false)) {
    if (!line.empty() && line[0] != ' ') {
      inside = line == title;
      continue;
    }
    if (inside && line.compare(0, 4, "    ") == 0) ++count;
  }
  return count;
}

class Runner {
 public:
  Runner(const RunOptions& options, const std::string& work) : options_(options), work_(work) {}

  RunResult run(const std::string& label, const std::string* machineFolder) {
    RunResult r;
    r.machine = label;
    // Numbered, not named: two machines named alike may be run side by side.
    std::string run = work_ + "/" + std::to_string(++runs_);
    std::string machine = run + "/machine", pkg = run + "/package";
    std::string temp = run + "/temp", out = run + "/output";
    // Links are copied as links: the simulator refuses them as it would in place.
    const fs::copy_options copyTree = fs::copy_options::recursive | fs::copy_options::copy_symlinks;
    std::error_code ec;
    fs::create_directories(run, ec);
    if (machineFolder && !ec) {
      fs::copy(*machineFolder, machine, copyTree, ec);
      if (ec) r.failure = "cannot copy " + *machineFolder + ": " + ec.message();
      std::error_code ignored;
      fs::remove(machine + "/machine.lock", ignored);
    } else if (!ec) {
      MachineSpec spec = options_.machine;
      spec.version = label;
      makeMachine(machine, spec, &r.failure);
    }
    if (ec && r.failure.empty()) r.failure = "cannot make a folder: " + ec.message();
    if (!r.failure.empty()) return r;
    fs::copy(options_.packageDir, pkg, copyTree, ec);
    if (!ec) {
      fs::copy_file(options_.zvpatch, pkg + "/" + options_.name,
                    fs::copy_options::overwrite_existing, ec);
    }
    if (!ec) fs::create_directories(temp, ec);
    if (ec) {
      r.failure = "cannot prepare the package: " + ec.message();
      return r;
    }
    numberedCatalog(pkg);
    std::string snapshot = run + "/before";
    shell(shellQuoted(options_.zvdiff) + " save " + shellQuoted(machine) + " " +
          shellQuoted(snapshot));
    // Attended packages are answered Yes; every other box as a user who
    // reads it: OK, and No to the restart, which zvboot then makes.
    int status = shell("cd " + shellQuoted(pkg) + " && ZVPATCH_MACHINE=" + shellQuoted(machine) +
                       " TEMP=" + shellQuoted(temp) + " ZVPATCH_ANSWERS=yes timeout " +
                       std::to_string(kRunSeconds) + " ./" + shellQuoted(options_.name) +
                       " -d </dev/null >" + shellQuoted(out) + " 2>&1");
    if (status != 0) r.failure = "the run ended with status " + std::to_string(status);
    shell(shellQuoted(options_.zvboot) + " " + shellQuoted(machine) + " >/dev/null 2>&1");
    std::string report = capture(shellQuoted(options_.zvdiff) + " show " + shellQuoted(snapshot) +
                                 " " + shellQuoted(machine));
    std::string output, dat;
    readHostFile(out, &output);
    for (const std::string& line : textLines(output, false)) read(line, &r);
    if (r.sections.empty()) r.sections = "-";
    r.iniChanges = changesIn(report, "INI files:");
    r.registryChanges = changesIn(report, "Registry:");
    std::string datFile = pkg + "/" + options_.name + ".DAT";
    for (const fs::directory_entry& e : fs::directory_iterator(pkg, ec)) {
      if (equalsIgnoringCase(e.path().filename().string(), options_.name + ".DAT"))
        datFile = e.path().string();
    }
    readHostFile(datFile, &dat);
    r.recorded = recorded(machine, patchName(dat));
    if (options_.diff) r.diff = report;
    return r;
  }

 private:
  // The package's catalog replaced by one whose message n reads "Mn": the
  // run's output then names every message by its number.
  void numberedCatalog(const std::string& pkg) {
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(pkg, ec)) {
      if (equalsIgnoringCase(e.path().filename().string(), options_.name + ".MSG"))
        fs::remove(e.path(), ec);
    }
    std::string text;
    for (int n = 1; n <= kCatalogMessages; ++n) text += "M" + std::to_string(n) + "\r\n";
    std::string error;
    writeHostFileWhole(pkg + "/" + options_.name + ".MSG", text, &error);
  }

  void read(const std::string& line, RunResult* r) {
    const std::string section = "Processing section: ";
    if (line.compare(0, section.size(), section) == 0) {
      std::string name = line.substr(section.size());
      r->sections += (r->sections.empty() ? "" : ",") + name;
      testing_ = false;
      return;
    }
    // A registry condition that does not hold shows messages 19 and 27 in
    // the verbose trace: no error of the package.
    if (line.compare(0, 8, "Testing ") == 0) testing_ = true;
    int n = messageNumber(line);
    if (kErrorMessages.count(n) && !(testing_ && (n == 19 || n == 27))) r->errors.push_back(n);
    if (n == 8) r->restart = true;
    for (const char* text : kFormatErrors) {
      if (line.compare(0, std::string(text).size(), text) == 0) r->errors.push_back(0);
    }
    size_t open = line.rfind(" (M");
    if (open != std::string::npos && line.back() == ')') {
      int result = std::atoi(line.c_str() + open + 3);
      if (result == 36) ++r->installed;
      if (result == 34 || result == 35) ++r->replaced;
      if (result == 32 || result == 33) ++r->kept;
    }
  }

  int shell(const std::string& command) {
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
  }

  std::string capture(const std::string& command) {
    std::string file = work_ + "/capture", text;
    shell(command + " >" + shellQuoted(file) + " 2>&1");
    readHostFile(file, &text);
    return text;
  }

  const RunOptions& options_;
  std::string work_;
  int runs_ = 0;
  bool testing_ = false;  // the trace is at a condition line
};

}  // namespace

bool runOnEveryWindows(const RunOptions& options, std::vector<RunResult>* results,
                       std::string* error) {
  TemporaryFolder work("zvpatch-check");
  if (!work.ok()) {
    *error = "cannot make a temporary folder";
    return false;
  }
  Runner runner(options, work.path());
  if (!options.machines.empty()) {
    for (const std::string& folder : options.machines) {
      std::string label = fs::path(folder).filename().string();
      if (label.empty()) label = fs::path(folder).parent_path().filename().string();
      results->push_back(runner.run(label, &folder));
    }
  } else {
    for (const std::string& version : options.versions.empty() ? allVersions() : options.versions)
      results->push_back(runner.run(version, nullptr));
  }
  return true;
}

std::string formatRuns(const std::vector<RunResult>& results) {
  const std::vector<std::string> header = {"machine", "sections", "installed", "replaced",
                                           "kept",    "INI",      "registry",  "errors",
                                           "restart", "recorded"};
  std::vector<std::vector<std::string>> rows = {header};
  for (const RunResult& r : results) {
    std::string errors;
    for (int n : r.errors) errors += (errors.empty() ? "" : ",") + (n ? std::to_string(n) : "C");
    if (!r.failure.empty()) errors += (errors.empty() ? "" : ",") + r.failure;
    rows.push_back({r.machine, r.sections.empty() ? "-" : r.sections, std::to_string(r.installed),
                    std::to_string(r.replaced), std::to_string(r.kept),
                    std::to_string(r.iniChanges), std::to_string(r.registryChanges),
                    errors.empty() ? "-" : errors, r.restart ? "yes" : "no",
                    r.recorded ? "yes" : "no"});
  }
  std::vector<size_t> width(header.size(), 0);
  for (const auto& row : rows) {
    for (size_t i = 0; i < row.size(); ++i) width[i] = std::max(width[i], row[i].size());
  }
  std::string out;
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line += std::string(width[i] - row[i].size() + 2, ' ');
    }
    out += line + "\n";
  }
  for (const RunResult& r : results) {
    if (!r.diff.empty()) out += "\n== " + r.machine + "\n" + r.diff;
  }
  return out;
}

}  // namespace zv
