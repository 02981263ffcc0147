// The message catalog and the trace log of a run. Message n is line n of
// the catalog file; a package is translated by exchanging that one file.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/messages.h"
#include "platform/stream.h"

namespace zv {

class NLSClass {
 public:
  explicit NLSClass(const std::string& catalogPath) : catalogPath_(catalogPath) {}
  // Closes the trace log.
  ~NLSClass();
  NLSClass(const NLSClass&) = delete;
  NLSClass& operator=(const NLSClass&) = delete;

  // Reads the messages up to the first blank or comment line; 1 on
  // success, 0 with *failure saying why when the file cannot be read.
  int LoadCatalog(std::string* failure);
  // A blank line or a comment ("rem" words, ";", "#"): the catalog ends
  // before it.
  static bool endsCatalog(const std::string& line);
  // The text of message n, by its line; kUnknown's for numbers out of range
  // (empty when the catalog has fewer than two messages).
  const std::string& MessageText(int n) const;
  const std::string& MessageText(Msg message) const {
    return MessageText(static_cast<int>(message));
  }
  int messageCount() const { return messageCount_; }

  // Opens the trace log ("a+" with append, else "w+"); no name, or a file
  // that cannot be opened, leaves it closed without a word.
  void OpenLog(const std::string& name, bool append);
  bool logOpen() const { return logFile_ != nullptr; }
  const std::string& logPath() const { return logPath_; }
  // Adds text to the trace log, each "\n" as CR LF.
  void writeLog(const std::string& text);

 private:
  void closeLog();

  std::vector<std::string> messages_;  // entry 0 holds nothing
  std::string catalogPath_;
  int messageCount_ = 0;
  std::unique_ptr<Stream> logFile_;
  std::string logPath_;
};

}  // namespace zv
