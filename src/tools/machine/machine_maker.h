// New simulated machines with the product installed, for package authors,
// the run on every Windows and the docs: so that nobody builds machine
// folders by hand.
#pragma once

#include <string>
#include <vector>

namespace zv {

struct MachineSpec {
  std::string version = "win98";         // win32s, win95, win98, winme, nt351, nt40, win2k, winxp
  std::string windowsDir;                // default C:\WINDOWS, C:\WINNT on nt351 and nt40
  std::string productDir = "C:\\ZEVRA";  // empty: no product installed
  // The product's settings (ZEVRA.INI of the Windows directory) in the
  // registry image instead of a file.
  bool registryImage = false;
  // More settings: section, key, value (section Zevra's root is the
  // product directory already).
  struct Setting {
    std::string section, key, value;
  };
  std::vector<Setting> settings;
  // String values of the registry: the key's whole path (with its root,
  // as HKEY_LOCAL_MACHINE\SOFTWARE\X), the value's name and its text.
  struct RegistryValue {
    std::string key, name, value;
  };
  std::vector<RegistryValue> registry;
};

// Every Version a machine can be, in the order of the releases.
const std::vector<std::string>& allVersions();

// Reads the machine option at args[*i] (--version, --windows-dir,
// --product-dir, --no-product, --registry-image, --setting S,K,V,
// --registry KEY,NAME,VALUE) into spec: 1 when taken (*i then at its value),
// 0 when it is no such option, -1 when its value is missing or malformed.
int readMachineOption(const std::vector<std::string>& args, size_t* i, MachineSpec* spec);

// Makes the machine in dir, which must not exist yet; false with *error.
bool makeMachine(const std::string& dir, const MachineSpec& spec, std::string* error);

}  // namespace zv
