// Where the product is installed, where its settings live, and which
// Windows runs.
#pragma once

#include <memory>
#include <string>

#include "files/config_data.h"

namespace zv {

// A new ConfigData with the location and operating-system fields filled.
std::unique_ptr<ConfigData> LocateProduct(const std::string& windowsDir);

}  // namespace zv
