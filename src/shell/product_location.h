// Where the product is installed, where its settings live, and which
// Windows runs.
#pragma once

#include <memory>
#include <string>

#include "files/config_data.h"

namespace zv {

// The detection number of the running Windows: 1 Windows 95, 7 Windows 98,
// 2 NT 3.51, 8 NT 4.0, 9 Windows 2000, 4 Win32s, 0 anything else.
int DetectOs();
// 1 for the Windows 95/98 family, 2 for the NT family, else the number.
int osClassOf(int detection);

// A new ConfigData with the location and operating-system fields filled
// and its two ZEVRA.INI profiles open: the settings (in the Windows
// directory, or their image in the registry when that key exists) and the
// product's own. The caller owns the profiles.
std::unique_ptr<ConfigData> LocateProduct(const std::string& windowsDir);

}  // namespace zv
