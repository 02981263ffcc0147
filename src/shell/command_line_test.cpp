#include "shell/command_line.h"

#include <gtest/gtest.h>

namespace zv {
namespace {

TEST(CommandLineTest, NamesComeFromTheProgramPath) {
  CommandLine cl = parseCommandLine("C:\\PKG\\UPD.EXE");
  EXPECT_EQ(cl.programDir, "C:\\PKG\\");
  EXPECT_EQ(cl.catalogName, "C:\\PKG\\UPD.MSG");
  EXPECT_EQ(cl.definitionName, "C:\\PKG\\UPD.DAT");
  EXPECT_EQ(cl.responseName, "C:\\PKG\\UPD.RSP");
  EXPECT_EQ(cl.tooLong, "");

  // Quoted: the closing quote goes with the extension.
  CommandLine quoted = parseCommandLine("\"C:\\PKG\\UPD.EXE\" -d");
  EXPECT_EQ(quoted.catalogName, "C:\\PKG\\UPD.MSG");
  EXPECT_EQ(quoted.programDir, "C:\\PKG\\");
  EXPECT_TRUE(quoted.switchD);

  // A blank cuts the program path, quoted or not.
  CommandLine blank = parseCommandLine("\"C:\\MY PKG\\UPD.EXE\"");
  EXPECT_EQ(blank.catalogName, "C:\\MY.MSG");
  EXPECT_EQ(blank.programDir, "C:\\");

  // No directory: names in the current directory, empty program directory.
  CommandLine bare = parseCommandLine("UPD -i");
  EXPECT_EQ(bare.programDir, "");
  EXPECT_EQ(bare.definitionName, "UPD.DAT");
  EXPECT_TRUE(bare.switchI);

  // The simulated machine's command line: a host path with slashes.
  CommandLine host = parseCommandLine("./pkg/UPD -x A.Z_");
  EXPECT_EQ(host.programDir, "./pkg/");
  EXPECT_EQ(host.responseName, "./pkg/UPD.RSP");
}

TEST(CommandLineTest, SwitchLettersAndValues) {
  for (const char* d : {"UPD /D", "UPD -d", "UPD -debug"})
    EXPECT_TRUE(parseCommandLine(d).switchD) << d;
  EXPECT_FALSE(parseCommandLine("UPD d").switchD) << "no - or /: not a switch";
  EXPECT_FALSE(parseCommandLine("UPD\t-d").switchD) << "only blanks separate tokens";

  CommandLine glued = parseCommandLine("C:\\PKG\\UPD.EXE -pD:\\X.DAT");
  EXPECT_EQ(glued.definitionName, "D:\\X.DAT");
  EXPECT_EQ(glued.catalogName, "C:\\PKG\\UPD.MSG");
  EXPECT_EQ(glued.responseName, "C:\\PKG\\UPD.RSP");
  EXPECT_EQ(parseCommandLine("C:\\PKG\\UPD.EXE -p D:\\X.DAT").definitionName, "D:\\X.DAT");

  CommandLine consumed = parseCommandLine("UPD -p X.DAT -d");
  EXPECT_EQ(consumed.definitionName, "X.DAT");
  EXPECT_TRUE(consumed.switchD);
  CommandLine notCompress = parseCommandLine("UPD -p CX.DAT");
  EXPECT_EQ(notCompress.definitionName, "CX.DAT");
  EXPECT_FALSE(notCompress.compress);
  // The value token is not examined as a switch.
  EXPECT_EQ(parseCommandLine("UPD -P -d").definitionName, "-d");
  EXPECT_FALSE(parseCommandLine("UPD -P -d").switchD);

  CommandLine log = parseCommandLine("UPD  -l   trace.log");
  EXPECT_TRUE(log.switchL);
  EXPECT_EQ(log.logName, "trace.log");
  CommandLine last = parseCommandLine("UPD -l");
  EXPECT_TRUE(last.switchL);
  EXPECT_EQ(last.logName, "") << "a value switch standing last takes an empty value";
}

TEST(CommandLineTest, TheFirstOfCAndXDecidesTheLastGivesTheFile) {
  CommandLine cx = parseCommandLine("UPD -c A.TXT -x B.Z");
  EXPECT_TRUE(cx.compress);
  EXPECT_FALSE(cx.decompress);
  EXPECT_EQ(cx.workFile, "B.Z");
  CommandLine xc = parseCommandLine("UPD -xB.Z /C A.TXT");
  EXPECT_TRUE(xc.decompress);
  EXPECT_FALSE(xc.compress);
  EXPECT_EQ(xc.workFile, "A.TXT");
}

TEST(CommandLineTest, TextsOverTheNameLimitAreNamed) {
  std::string longPath = "C:\\" + std::string(300, 'A') + ".EXE";
  EXPECT_EQ(parseCommandLine(longPath).tooLong, "the command line");
  std::string dir = "C:\\" + std::string(250, 'B') + "\\";
  EXPECT_EQ(parseCommandLine(dir + "U.E").tooLong, "") << "exactly at the limit";
  EXPECT_EQ(parseCommandLine("UPD -p" + std::string(260, 'P')).tooLong, "the command line");
  EXPECT_EQ(parseCommandLine(dir + "UPD").tooLong, "the catalog name")
      << "the extension makes the name too long";
}

}  // namespace
}  // namespace zv
