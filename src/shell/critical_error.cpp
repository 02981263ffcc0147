#include "shell/critical_error.h"

#include "platform/interaction.h"
#include "platform/platform.h"
#include "platform/trace.h"

namespace zv {

void ReportCriticalError(const Error& error) {
  TracePrint(0, "Critical ERROR Occured on line %u\n  of file %s\n",
             static_cast<unsigned>(error.line), error.file.c_str());
  TracePrint(0, "     Error Number:  %u\n", static_cast<unsigned>(error.code));
  TracePrint(0, "     Error Message: %s\n", error.message.c_str());
  TracePrint(0, "     Size:          %u\n", error.size);
  askUser("Critical Error!", "Critical Error", kMbOk);
}

}  // namespace zv
