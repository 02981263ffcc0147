// Talking to the user through the log window while work goes on. Closing
// the window ends the work at the next point where it pumps messages or
// asks a question: these raise WindowClosed, which the driver catches to
// release what it holds and end the process.
#pragma once

#include <string>

namespace zv {

struct WindowClosed {};

// Dispatches every waiting message, so that the window keeps painting.
void pumpMessages();

// A modal box on the log window; kIdOk, kIdYes or kIdNo.
int askUser(const std::string& text, const std::string& caption, unsigned style);

}  // namespace zv
