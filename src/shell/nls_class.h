// The message catalog and the trace log of a run.
#pragma once

#include <string>

namespace zv {

class NLSClass {
 public:
  explicit NLSClass(const std::string& catalogPath) : catalogPath_(catalogPath) {}

  // 1 when the catalog was read, 0 when it cannot be.
  int LoadCatalog();
  // The text of message n.
  const std::string& MessageText(int n) const;
  // Opens the trace log ("a+" with append, else "w+"); no name closes it.
  void OpenLog(const std::string& name, int append);

 private:
  std::string catalogPath_;
};

}  // namespace zv
