#include "simulator/terminal_screen.h"

#include <algorithm>
#include <cctype>

#include "platform/platform.h"

namespace zv {

namespace {

std::string lowerTrimmed(std::string s) {
  size_t b = s.find_first_not_of(" \t");
  size_t e = s.find_last_not_of(" \t");
  s = b == std::string::npos ? "" : s.substr(b, e - b + 1);
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

}  // namespace

TerminalScreen::TerminalScreen(EventsLog& events, const std::string& answers, bool interactive,
                               std::ostream& out, std::ostream& err, std::istream& in)
    : events_(events), interactive_(interactive), out_(out), err_(err), in_(in) {
  for (size_t start = 0; start <= answers.size();) {
    size_t comma = std::min(answers.find(',', start), answers.size());
    std::string word = lowerTrimmed(answers.substr(start, comma - start));
    if (!word.empty()) answers_.push_back(word);
    start = comma + 1;
  }
}

void TerminalScreen::entryAppended(const std::string& text) {
  defaultedBox_.clear();  // something happened since: not asked again at once
  out_ << text;
  out_.flush();
}

std::string TerminalScreen::takeAnswer() {
  if (answers_.empty()) return "";
  std::string a = answers_.front();
  answers_.pop_front();
  return a;
}

bool TerminalScreen::nextAnswerIsClose() const {
  return !answers_.empty() && answers_.front() == "close";
}

void TerminalScreen::closeWindow(bool byUser) {
  if (closed_) return;
  closed_ = true;
  events_.window(byUser);
}

bool TerminalScreen::pump() {
  if (closed_) return false;
  if (destroyPosted_) {
    closeWindow(false);
  } else if (!interactive_ && nextAnswerIsClose()) {
    takeAnswer();
    err_ << "[the log window is closed]\n";
    closeWindow(true);
  }
  return !closed_;
}

int TerminalScreen::messageLoop() {
  if (closed_) return 0;
  if (destroyPosted_) {
    closeWindow(false);
    return 0;
  }
  if (interactive_) {
    err_ << "[press Enter to close the log window]";
    err_.flush();
    std::string line;
    std::getline(in_, line);
  }
  closeWindow(true);
  return 0;
}

int TerminalScreen::askTerminal(bool yesNo, bool* byDefault) {
  for (;;) {
    err_ << (yesNo ? "[Yes/No] " : "[OK] ");
    err_.flush();
    std::string line;
    if (!std::getline(in_, line)) {
      *byDefault = true;
      return yesNo ? kIdNo : kIdOk;
    }
    if (!yesNo) return kIdOk;
    std::string a = lowerTrimmed(line);
    if (a == "y" || a == "yes") return kIdYes;
    if (a == "n" || a == "no") return kIdNo;
  }
}

int TerminalScreen::messageBox(const std::string& text, const std::string& caption,
                               unsigned style) {
  bool yesNo = (style & 0xF) == kMbYesNo;
  const char* styleName = yesNo ? "MB_YESNO" : "MB_OK";
  err_ << "\n+--- " << caption << " ---\n| ";
  for (char c : text) {
    err_ << c;
    if (c == '\n') err_ << "| ";
  }
  err_ << "\n";
  int result;
  bool byDefault = false;
  if (interactive_) {
    result = askTerminal(yesNo, &byDefault);
  } else {
    std::string a = takeAnswer();
    if (a == "close") {
      err_ << "[the log window is closed]\n";
      return closeByUser(styleName, caption, text);
    }
    byDefault = a.empty();
    if (yesNo) {
      result = a == "yes" ? kIdYes : kIdNo;
      if (!a.empty() && a != "yes" && a != "no")
        err_ << "[ZVPATCH_ANSWERS: '" << a << "' does not answer Yes/No; answering No]\n";
    } else {
      result = kIdOk;
      if (!a.empty() && a != "ok")
        err_ << "[ZVPATCH_ANSWERS: '" << a << "' does not answer OK; answering OK]\n";
    }
  }
  // Nobody is there to answer: a box that comes back at once after the
  // default answer (the diskette prompt) would come back forever. The user
  // would close the window; so does the simulated one.
  std::string box = caption + '\t' + text;
  if (byDefault && defaultedBox_ == box) {
    err_ << "[no answer left for a box asked again: the log window is closed]\n";
    return closeByUser(styleName, caption, text);
  }
  defaultedBox_ = byDefault ? box : "";
  const char* answer = result == kIdYes ? "YES" : result == kIdNo ? "NO" : "OK";
  err_ << "[" << answer << "]\n";
  events_.box(styleName, caption, text, answer);
  return result;
}

int TerminalScreen::closeByUser(const char* styleName, const std::string& caption,
                                const std::string& text) {
  events_.box(styleName, caption, text, "CLOSE");
  closeWindow(true);
  return 0;
}

}  // namespace zv
