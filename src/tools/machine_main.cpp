// zvpatch-machine: makes a simulated Windows machine with the product
// installed.
#include <iostream>
#include <string>

#include "platform/posix/tool_name.h"
#include "tools/machine_maker.h"

namespace {

int usage() {
  std::cerr
      << "usage: zvpatch-machine new DIR [--version VERSION] [--windows-dir PATH]\n"
         "                       [--product-dir PATH | --no-product] [--registry-image]\n"
         "                       [--setting SECTION,KEY,VALUE]... [--registry KEY,NAME,VALUE]...\n"
         "VERSION: win32s, win95, win98 (default), winme, nt351, nt40, win2k, winxp\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  zv::setToolName("zvpatch-machine");
  if (argc < 3 || std::string(argv[1]) != "new") return usage();
  std::string dir = argv[2];
  zv::MachineSpec spec;
  for (int i = 3; i < argc; ++i) {
    std::string option = argv[i];
    bool hasValue = i + 1 < argc;
    if (option == "--version" && hasValue) {
      spec.version = argv[++i];
    } else if (option == "--windows-dir" && hasValue) {
      spec.windowsDir = argv[++i];
    } else if (option == "--product-dir" && hasValue) {
      spec.productDir = argv[++i];
    } else if (option == "--no-product") {
      spec.productDir.clear();
    } else if (option == "--registry-image") {
      spec.registryImage = true;
    } else if (option == "--registry" && hasValue) {
      std::string value = argv[++i];
      size_t first = value.find(','), second = value.find(',', first + 1);
      if (first == std::string::npos || second == std::string::npos) return usage();
      spec.registry.push_back({value.substr(0, first), value.substr(first + 1, second - first - 1),
                               value.substr(second + 1)});
    } else if (option == "--setting" && hasValue) {
      std::string value = argv[++i];
      size_t first = value.find(','), second = value.find(',', first + 1);
      if (first == std::string::npos || second == std::string::npos) return usage();
      spec.settings.push_back({value.substr(0, first), value.substr(first + 1, second - first - 1),
                               value.substr(second + 1)});
    } else {
      return usage();
    }
  }
  std::string error;
  if (!zv::makeMachine(dir, spec, &error)) {
    std::cerr << "zvpatch-machine: " << error << "\n";
    return 2;
  }
  return 0;
}
