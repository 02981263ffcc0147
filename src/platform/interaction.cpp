#include "platform/interaction.h"

#include "platform/platform.h"

namespace zv {

void pumpMessages() {
  if (!Platform::current().pump()) throw WindowClosed();
}

int askUser(const std::string& text, const std::string& caption, unsigned style) {
  Platform& platform = Platform::current();
  int answer = platform.messageBox(text, caption, style);
  if (answer == 0 && platform.logWindowClosed()) throw WindowClosed();
  return answer;
}

}  // namespace zv
