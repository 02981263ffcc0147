// zvpatch-check: checks a package before it ships, runs it on every
// Windows, and compresses its files.
#include <dirent.h>
#include <unistd.h>

#include <climits>
#include <iostream>
#include <string>
#include <vector>

#include "base/strings.h"
#include "files/compressed_file.h"
#include "files/path.h"
#include "platform/trace.h"
#include "simulator/simulated_machine.h"
#include "simulator/tool_name.h"
#include "tools/check/package_check.h"
#include "tools/check/temporary_folder.h"
#include "tools/check/version_runs.h"

namespace {

int usage() {
  std::cerr << "usage: zvpatch-check PACKAGE_DIR [NAME]\n"
               "       zvpatch-check --run [--diff] [--versions V,V...] [--machine DIR]...\n"
               "                     [--product-dir PATH] [--registry-image]\n"
               "                     [--setting SECTION,KEY,VALUE]... [--registry "
               "KEY,NAME,VALUE]... PACKAGE_DIR [NAME]\n"
               "       zvpatch-check --compress FILE...\n"
               "       zvpatch-check --version\n";
  return 2;
}

// The package's name: the only *.DAT of the folder, without extension.
bool packageName(const std::string& dir, std::string* name) {
  DIR* d = ::opendir(dir.c_str());
  if (!d) {
    std::cerr << "zvpatch-check: cannot read " << dir << "\n";
    return false;
  }
  std::vector<std::string> found;
  while (struct dirent* e = ::readdir(d)) {
    std::string file = e->d_name;
    if (zv::endsWithIgnoringCase(file, ".DAT")) found.push_back(file.substr(0, file.size() - 4));
  }
  ::closedir(d);
  if (found.size() == 1) {
    *name = found[0];
    return true;
  }
  std::cerr << "zvpatch-check: " << (found.empty() ? "no *.DAT in " : "several *.DAT in ") << dir
            << "; name the package: zvpatch-check " << dir << " NAME\n";
  return false;
}

// The folder of this program, where zvpatch, zvboot and zvpatch-diff are.
std::string programDir() {
  char path[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string self(path, static_cast<size_t>(n));
  return self.substr(0, self.rfind('/'));
}

class ErrorTrace : public zv::TraceOutput {
 public:
  void print(bool, const std::string& text) override {
    std::string t = text;
    while (!t.empty() && t[0] == '\n') t.erase(0, 1);
    if (!t.empty()) std::cerr << "zvpatch-check: " << t << (t.back() == '\n' ? "" : "\n");
  }
};

// The same bytes as UPD -c, without a catalog: A.DLL becomes A.DL_ beside it.
int compress(const std::vector<std::string>& files) {
  // The compressor runs on the platform layer: an empty machine stands in.
  zv::TemporaryFolder machineDir("zvpatch-check");
  std::string error = "cannot make a temporary folder";
  std::unique_ptr<zv::SimulatedMachine> machine;
  if (machineDir.ok()) machine = zv::SimulatedMachine::openMachine(machineDir.path(), &error);
  if (!machine) {
    std::cerr << "zvpatch-check: " << error << "\n";
    return 2;
  }
  // The files named are handed over: host paths, as on the command line.
  std::string commandLine = "zvpatch-check";
  for (const std::string& f : files) commandLine += " -c" + f;
  machine->setCommandLine(commandLine);
  zv::Platform::setCurrent(machine.get());
  ErrorTrace trace;
  zv::setTraceOutput(&trace);
  int failed = 0;
  for (const std::string& file : files) {
    std::string output = zv::replaceExtension(file, zv::compressedName(zv::pathExtension(file)));
    if (zv::compressFile(file, output, 0)) {
      std::cout << file << " -> " << output << "\n";
    } else {
      ++failed;
    }
  }
  zv::setTraceOutput(nullptr);
  zv::Platform::setCurrent(nullptr);
  machine.reset();
  return failed ? 2 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  zv::setToolName("zvpatch-check");
  if (zv::printedVersion(argc, argv)) return 0;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return usage();
  if (args[0] == "--compress") {
    if (args.size() < 2) return usage();
    return compress(std::vector<std::string>(args.begin() + 1, args.end()));
  }
  bool run = false;
  zv::RunOptions options;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool hasValue = i + 1 < args.size();
    int taken = 0;
    if (a == "--run") {
      run = true;
    } else if (a == "--diff") {
      options.diff = true;
    } else if (a == "--versions" && hasValue) {
      std::string list = args[++i];
      for (size_t start = 0; start <= list.size();) {
        size_t comma = std::min(list.find(',', start), list.size());
        if (comma > start) options.versions.push_back(list.substr(start, comma - start));
        start = comma + 1;
      }
    } else if (a == "--machine" && hasValue) {
      options.machines.push_back(args[++i]);
    } else if (a != "--version" &&
               (taken = zv::readMachineOption(args, &i, &options.machine)) != 0) {
      if (taken < 0) return usage();
    } else if (!a.empty() && a[0] == '-') {
      return usage();
    } else {
      positional.push_back(a);
    }
  }
  if (positional.empty() || positional.size() > 2) return usage();
  std::string dir = positional[0], name;
  if (positional.size() == 2) {
    name = positional[1];
  } else if (!packageName(dir, &name)) {
    return 2;
  }
  if (!run) {
    int status = 0;
    for (const zv::Diagnostic& d : zv::checkPackage(dir, name)) {
      std::cout << zv::formatDiagnostic(d) << "\n";
      status = std::max(status, d.error ? 2 : 1);
    }
    return status;
  }
  std::string tools = programDir();
  options.packageDir = dir;
  options.name = name;
  options.zvpatch = tools + "/zvpatch";
  options.zvboot = tools + "/zvboot";
  options.zvdiff = tools + "/zvpatch-diff";
  std::vector<zv::RunResult> results;
  std::string error;
  if (!zv::runOnEveryWindows(options, &results, &error)) {
    std::cerr << "zvpatch-check: " << error << "\n";
    return 2;
  }
  std::cout << zv::formatRuns(results);
  for (const zv::RunResult& r : results) {
    if (!r.errors.empty() || !r.failure.empty()) return 1;
  }
  return 0;
}
