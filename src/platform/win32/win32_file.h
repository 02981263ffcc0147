// Files on the real Win32 API. Kept free of <windows.h> so that the rest of
// the win32 directory decides where the system macros are seen.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace zv {

// CreateFileA with the disposition of mode; nullptr when the file cannot be
// opened or created.
std::unique_ptr<File> openWin32File(const std::string& path, FileMode mode);

}  // namespace zv
