// TracePrint, the one output operation: a formatted line for the log window
// (and, with showBox, an error box), and for the trace log. Every layer
// prints through it; the shell decides where the lines go.
#pragma once

#include <string>

namespace zv {

// The caption of every error box.
extern const char kErrorCaption[];
// The window and the boxes show at most this many characters of a text.
constexpr size_t kWindowTextLimit = 255;

// Where formatted lines go. text is the full formatted text; the window
// and the box show at most its first 255 characters.
class TraceOutput {
 public:
  virtual ~TraceOutput() = default;
  virtual void print(bool showBox, const std::string& text) = 0;
};

// Hands the window's part of text (its first 255 characters) to the
// platform's log window and returns it. A cut entry still ends its line
// when the text did, so the next entry does not run on after it.
std::string showInWindow(const std::string& text);

// Installs the output (not owned); nullptr restores the plain one, which
// shows lines on the platform's log window and boxes as error boxes.
void setTraceOutput(TraceOutput* output);

// Formats by the printf rules and prints; returns the number of characters
// formatted.
int TracePrint(int showBox, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace zv
