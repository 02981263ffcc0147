// What the raw command line says: the names of the package's files, derived
// from the program's own path, and the switches.
#pragma once

#include <string>

namespace zv {

struct CommandLine {
  std::string programDir;       // drive and directory of the program, with "\"
  std::string catalogName;      // .MSG
  std::string definitionName;   // .DAT, or the value of -p
  std::string responseName;     // .RSP
  std::string logName;          // the value of -l; empty when not given
  std::string workFile;         // the value of the last -c or -x
  bool notInteractive = false;  // -i: without the engine's user-facing lines
  bool verboseTrace = false;    // -d: with the debug trace
  bool logNameGiven = false;    // -l, even with no value: logName, not LogFile
  bool compress = false;
  bool decompress = false;
  // Which text exceeds the 259 characters a name may have; empty when none.
  std::string tooLong;
};

// Only blanks separate tokens. A token is a switch when it begins with "-"
// or "/"; its second character, in any case, is the letter. The value of
// p, l, c and x is the rest of the token, or the next token when the
// switch stands alone (empty when it is the last one). Of c and x the
// first decides the mode and the last gives the file.
CommandLine parseCommandLine(const std::string& raw);

}  // namespace zv
