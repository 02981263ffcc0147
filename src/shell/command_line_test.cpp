#include "shell/command_line.h"

#include <gtest/gtest.h>

namespace zv {
namespace {

// What the scenario cases leave open: switches by "/", a value switch
// standing last, names just within the limit and just over it.
TEST(CommandLineTest, NamesSwitchesAndValues) {
  const std::string dir250 = "C:\\" + std::string(250, 'B') + "\\";
  const struct {
    std::string line;
    std::string parsed;  // switches on, the log and definition names, what is too long
  } cases[] = {
      {"UPD /D /i", "id  UPD.DAT "},
      {"UPD -l", "l  UPD.DAT "},
      {"UPD -p X.DAT -l", "l  X.DAT "},
      {"UPD d -x", "x  UPD.DAT "},
      {dir250 + "U.E", "  " + dir250 + "U.DAT "},
      {dir250 + "UPD", "  " + dir250 + "UPD.DAT the catalog name"},
  };
  for (const auto& c : cases) {
    const CommandLine cl = parseCommandLine(c.line);
    const std::string on = std::string(cl.notInteractive ? "i" : "") +
                           (cl.verboseTrace ? "d" : "") + (cl.logNameGiven ? "l" : "") +
                           (cl.compress ? "c" : "") + (cl.decompress ? "x" : "");
    EXPECT_EQ(on + " " + cl.logName + " " + cl.definitionName + " " + cl.tooLong, c.parsed)
        << c.line;
  }
  EXPECT_EQ(parseCommandLine("UPD -p" + std::string(260, 'P')).tooLong, "the command line");
}

}  // namespace
}  // namespace zv
