// The real Windows under the Platform interface.
#pragma once

#include "platform/platform.h"

namespace zv {

// The one instance, made on first use; the program's entry installs it.
Platform& win32Platform();

}  // namespace zv
