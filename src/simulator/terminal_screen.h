// The log window of a simulated machine is the terminal: entries go to
// standard output as appended, boxes to standard error, and the user's
// answers come from the terminal or, in order, from a list of answers.
#pragma once

#include <deque>
#include <istream>
#include <ostream>
#include <string>

#include "simulator/events_log.h"

namespace zv {

class TerminalScreen {
 public:
  // answers: the comma-separated list of ZVPATCH_ANSWERS (yes, no, ok,
  // close). interactive: the user answers on `in` (a terminal).
  TerminalScreen(EventsLog& events, const std::string& answers, bool interactive, std::ostream& out,
                 std::ostream& err, std::istream& in);

  void entryAppended(const std::string& text);
  bool pump();
  int messageLoop();
  void postDestroy() { destroyPosted_ = true; }
  bool closed() const { return closed_; }
  int messageBox(const std::string& text, const std::string& caption, unsigned style);

 private:
  void closeWindow(bool byUser);
  // The next listed answer, lower-cased; empty when none is left.
  std::string takeAnswer();
  bool nextAnswerIsClose() const;
  // *byDefault is set when the terminal has nothing more to say.
  int askTerminal(bool yesNo, bool* byDefault);
  // The user closes the log window instead of answering: 0, as Win32 has it.
  int closeByUser(const char* styleName, const std::string& caption, const std::string& text);

  EventsLog& events_;
  std::deque<std::string> answers_;
  bool interactive_;
  std::ostream& out_;
  std::ostream& err_;
  std::istream& in_;
  // Caption and text of the last box, when the default answered it.
  std::string defaultedBox_;
  bool destroyPosted_ = false;
  bool closed_ = false;
};

}  // namespace zv
