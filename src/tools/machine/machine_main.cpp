// zvpatch-machine: makes a simulated Windows machine with the product
// installed.
#include <iostream>
#include <string>
#include <vector>

#include "simulator/tool_name.h"
#include "tools/machine/machine_maker.h"

namespace {

int usage() {
  std::cerr
      << "usage: zvpatch-machine new DIR [--version VERSION] [--windows-dir PATH]\n"
         "       zvpatch-machine --version\n"
         "                       [--product-dir PATH | --no-product] [--registry-image]\n"
         "                       [--setting SECTION,KEY,VALUE]... [--registry KEY,NAME,VALUE]...\n"
         "VERSION: win32s, win95, win98 (default), winme, nt351, nt40, win2k, winxp\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  zv::setToolName("zvpatch-machine");
  if (zv::printedVersion(argc, argv)) return 0;
  if (argc < 3 || std::string(argv[1]) != "new") return usage();
  std::string dir = argv[2];
  std::vector<std::string> args(argv + 3, argv + argc);
  zv::MachineSpec spec;
  for (size_t i = 0; i < args.size(); ++i) {
    if (zv::readMachineOption(args, &i, &spec) != 1) return usage();
  }
  std::string error;
  if (!zv::makeMachine(dir, spec, &error)) {
    std::cerr << "zvpatch-machine: " << error << "\n";
    return 2;
  }
  return 0;
}
