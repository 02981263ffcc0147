// Where the product is installed, where its settings live, and which
// Windows runs.
#pragma once

#include <memory>
#include <string>

#include "files/config_data.h"

namespace zv {

// The running Windows, kOther for one the patches cannot name.
OsDetection DetectOs();
// The family of the detected Windows.
OsClass osClassOf(OsDetection detection);

// A new ConfigData with the location and operating-system fields filled
// and its two ZEVRA.INI profiles open: the settings (in the Windows
// directory, or their image in the registry when that key exists) and the
// product's own. The caller owns the profiles.
std::unique_ptr<ConfigData> LocateProduct(const std::string& windowsDir);

}  // namespace zv
