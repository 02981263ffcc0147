#pragma once

#include "base/error.h"

namespace zv {

// Prints the record in four trace lines, then shows the "Critical Error!"
// box.
void ReportCriticalError(const Error& error);

}  // namespace zv
