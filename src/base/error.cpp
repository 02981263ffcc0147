#include "base/error.h"

namespace zv {

const char kUnitShell[] = "zvpat32.cpp";
const char kUnitEngine[] = "zvpdf.cpp";
const char kUnitProfile[] = "zvpprof.cpp";
const char kUnitFiles[] = "zvpfile.cpp";

}  // namespace zv
