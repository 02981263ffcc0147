#include "tools/diff/ini_changes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zv {
namespace {

using Lines = std::vector<std::string>;

TEST(IniChanges, KeysAddedChangedAndRemovedInTheOrderOfTheFile) {
  const std::string before =
      "[Zevra]\r\nroot=C:\\ZEVRA\r\nVersion=1.0\r\n[Old]\r\nKey=x\r\n[Same]\r\nA=1\r\n";
  const std::string after =
      "[zevra]\r\nVersion=1.1\r\nROOT=C:\\ZEVRA\r\n[Same]\r\nA=1\r\n[Install]\r\nPatch0=DEMO11\r\n"
      "\x1A";
  EXPECT_EQ(iniChanges(before, after), (Lines{
                                           "[zevra] Version changed: 1.0 -> 1.1",
                                           "[Install] Patch0 added: DEMO11",
                                           "[Old] Key removed (was: x)",
                                       }));
  EXPECT_EQ(iniChanges(after, after), Lines{});
}

TEST(IniChanges, WindowsReadingRules) {
  // Line ends, blanks around names and values, comments, lines before the
  // first section and whatever follows a 0x1A byte mean nothing.
  const std::string before = "stray=1\n[S]\nA=1\n; note\nB = 2\n";
  const std::string after = "[ s ]\r\n  a=1 \r\n\r\n; other note\r\nb=2\r\n\x1A[S]\r\nC=3\r\n";
  EXPECT_EQ(iniChanges(before, after), Lines{});
  // Values are compared exactly; a section named twice is one section.
  EXPECT_EQ(iniChanges("[S]\nA=x\n", "[S]\nA=X\n[T]\n[s]\nB=\n"),
            (Lines{"[S] A changed: x -> X", "[S] B added:"}));
  // A line without "=" is a key without a value.
  EXPECT_EQ(
      iniChanges("[S]\nLINE\nK=\n", "[S]\nK\nNEW LINE\n"),
      (Lines{"[S] K removed (was: )", "[S] K added", "[S] NEW LINE added", "[S] LINE removed"}));
}

TEST(IniChanges, RepeatedKeysAreComparedAsOrderedLists) {
  const std::string before =
      "[rename]\r\nNUL=C:\\A.OLD\r\nC:\\A.OLD=C:\\A.DLL\r\nNUL=C:\\B.TXT\r\n";
  const std::string after =
      "[rename]\r\nNUL=C:\\A.OLD\r\nC:\\A.OLD=C:\\A.DLL\r\nNUL=C:\\C.TXT\r\nNUL=C:\\A.OLD\r\n";
  EXPECT_EQ(iniChanges(before, after), (Lines{
                                           "[rename] NUL removed (was: C:\\B.TXT)",
                                           "[rename] NUL added: C:\\C.TXT",
                                           "[rename] NUL added: C:\\A.OLD",
                                       }));
  // A second equal line is a change too.
  EXPECT_EQ(iniChanges("[R]\nNUL=X\n", "[R]\nNUL=X\nNUL=X\n"), Lines{"[R] NUL added: X"});
}

TEST(IniChanges, NewAndRemovedFiles) {
  EXPECT_EQ(iniChanges("", "[Display]\nRefresh=75\nDriver=D.DLL\n"),
            (Lines{"[Display] Refresh added: 75", "[Display] Driver added: D.DLL"}));
  EXPECT_EQ(iniChanges("[Display]\nRefresh=75\n", ""),
            Lines{"[Display] Refresh removed (was: 75)"});
}

}  // namespace
}  // namespace zv
