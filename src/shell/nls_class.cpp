#include "shell/nls_class.h"

#include "platform/stream.h"

namespace zv {

// The catalog's texts are not read yet: a catalog that can be opened
// loads, and every message is empty.
int NLSClass::LoadCatalog() {
  return Stream::open(catalogPath_, FileMode::kRead) ? 1 : 0;
}

const std::string& NLSClass::MessageText(int) const {
  static const std::string kNone;
  return kNone;
}

// No trace log is written yet; the window shows everything.
void NLSClass::OpenLog(const std::string&, int) {}

}  // namespace zv
