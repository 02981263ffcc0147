#include "shell/product_location.h"

namespace zv {

// The product's settings are not looked up yet: only the Windows
// directory is known.
std::unique_ptr<ConfigData> LocateProduct(const std::string& windowsDir) {
  auto config = std::make_unique<ConfigData>();
  config->setWindowsDir(windowsDir);
  return config;
}

}  // namespace zv
