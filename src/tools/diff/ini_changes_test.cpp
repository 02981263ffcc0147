#include "tools/diff/ini_changes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zv {
namespace {

using Lines = std::vector<std::string>;

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

}  // namespace
}  // namespace zv
