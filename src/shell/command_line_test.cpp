#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

namespace zv {
namespace {

// The switches that are on, of "idlcx".
std::string switchesOn(const CommandLine& cl) {
  return std::string(cl.notInteractive ? "i" : "") + (cl.verboseTrace ? "d" : "") +
         (cl.logNameGiven ? "l" : "") + (cl.compress ? "c" : "") + (cl.decompress ? "x" : "");
}

// The parsed texts that want names, in its form "dir=C:\PKG\|dat=X.DAT".
std::string texts(const CommandLine& cl, const std::string& want) {
  const std::map<std::string, std::string> field = {
      {"dir", cl.programDir},   {"msg", cl.catalogName}, {"dat", cl.definitionName},
      {"rsp", cl.responseName}, {"log", cl.logName},     {"work", cl.workFile},
      {"long", cl.tooLong}};
  std::string out;
  std::istringstream parts(want);
  for (std::string part; std::getline(parts, part, '|');) {
    const std::string key = part.substr(0, part.find('='));
    out += (out.empty() ? "" : "|") + key + "=" + (field.count(key) ? field.at(key) : "?");
  }
  return out;
}

TEST(CommandLineTest, NamesSwitchesAndValues) {
  const std::string dir250 = "C:\\" + std::string(250, 'B') + "\\";
  struct Case {
    const char* what;
    std::string line;
    const char* switches;
    const char* texts;
  } cases[] = {
      {"names from the program path", "C:\\PKG\\UPD.EXE", "",
       "dir=C:\\PKG\\|msg=C:\\PKG\\UPD.MSG|dat=C:\\PKG\\UPD.DAT|rsp=C:\\PKG\\UPD.RSP|long="},
      {"the closing quote goes with the extension", "\"C:\\PKG\\UPD.EXE\" -d", "d",
       "msg=C:\\PKG\\UPD.MSG|dir=C:\\PKG\\"},
      {"a blank cuts the program path, quoted or not", "\"C:\\MY PKG\\UPD.EXE\"", "",
       "msg=C:\\MY.MSG|dir=C:\\"},
      {"no directory: names in the current one", "UPD -i", "i", "dir=|dat=UPD.DAT"},
      {"the simulated machine's host path", "./pkg/UPD -x A.Z_", "x",
       "dir=./pkg/|rsp=./pkg/UPD.RSP"},
      {"slash, any case", "UPD /D", "d", ""},
      {"dash", "UPD -d", "d", ""},
      {"only the second character counts", "UPD -debug", "d", ""},
      {"no - or /: not a switch", "UPD d", "", ""},
      {"only blanks separate tokens", "UPD\t-d", "", ""},
      {"-p glued to its value changes only the .DAT", "C:\\PKG\\UPD.EXE -pD:\\X.DAT", "",
       "dat=D:\\X.DAT|msg=C:\\PKG\\UPD.MSG|rsp=C:\\PKG\\UPD.RSP"},
      {"-p and its value apart", "C:\\PKG\\UPD.EXE -p D:\\X.DAT", "", "dat=D:\\X.DAT"},
      {"the value token is consumed", "UPD -p X.DAT -d", "d", "dat=X.DAT"},
      {"a value beginning with C is no -c", "UPD -p CX.DAT", "", "dat=CX.DAT"},
      {"the value token is not examined as a switch", "UPD -P -d", "", "dat=-d"},
      {"-l with its value", "UPD  -l   trace.log", "l", "log=trace.log"},
      {"a value switch standing last takes an empty value", "UPD -l", "l", "log="},
      {"the first of c and x decides, the last gives the file", "UPD -c A.TXT -x B.Z", "c",
       "work=B.Z"},
      {"the first of x and c decides, the last gives the file", "UPD -xB.Z /C A.TXT", "x",
       "work=A.TXT"},
      {"a program path over the limit", "C:\\" + std::string(300, 'A') + ".EXE", "",
       "long=the command line"},
      {"exactly at the limit", dir250 + "U.E", "", "long="},
      {"a value over the limit", "UPD -p" + std::string(260, 'P'), "", "long=the command line"},
      {"the extension makes the name too long", dir250 + "UPD", "", "long=the catalog name"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ": " + c.line);
    const CommandLine cl = parseCommandLine(c.line);
    EXPECT_EQ(switchesOn(cl), c.switches);
    EXPECT_EQ(texts(cl, c.texts), c.texts);
  }
}

}  // namespace
}  // namespace zv
