#include "base/windows_path.h"

namespace zv {

std::string withBackslash(const std::string& folder) {
  return !folder.empty() && folder.back() == '\\' ? folder : folder + "\\";
}

}  // namespace zv
