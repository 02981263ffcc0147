// Short (8.3) names as the Windows 95/98/Me file system forms them: a base of
// one to eight characters and an extension of up to three, of the
// characters a short name may hold. Those systems carry out WININIT.INI
// before long names are known.
#pragma once

#include <functional>
#include <string>

namespace zv {

// A valid short name, case ignored ("readme.txt" is one; "Read me.txt",
// "README.HTML" and "A.B.C" are not).
bool isShortName(const std::string& name);

// The short name a new file or directory `longName` gets in a directory
// where taken(name) tells which short names are in use: the name itself,
// upper-cased, when it is a short name; otherwise the first six characters
// of its upper-cased name without blanks, dots and characters a short name
// cannot hold ("_" for those), "~" and the first free number (five
// characters from ~10 on), then the first three characters of the
// extension.
std::string formShortName(const std::string& longName,
                          const std::function<bool(const std::string&)>& taken);

}  // namespace zv
