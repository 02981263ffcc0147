// The package check: reads a package as the program would (definition,
// response file, catalog, label files, package files) and reports every
// line the program would ignore, refuse or misread, as compilers report:
// "UPD.DAT:12: error: ...". It runs nothing.
#pragma once

#include <string>
#include <vector>

namespace zv {

struct Diagnostic {
  std::string file;   // the package file's name, as "UPD.DAT"
  int line = 0;       // 0: the file as a whole
  bool error = true;  // false: a warning
  std::string text;
};

// The problems of the package named `name` (UPD for UPD.DAT, UPD.RSP,
// UPD.MSG) in host directory dir, by file and line.
std::vector<Diagnostic> checkPackage(const std::string& dir, const std::string& name);

// "FILE:LINE: error: TEXT" (no ":LINE" for 0).
std::string formatDiagnostic(const Diagnostic& d);

}  // namespace zv
