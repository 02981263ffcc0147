#include "tools/diff/file_changes.h"

#include "simulator/machine_dirs_testing.h"

namespace zv {
namespace {

using FileChangesTest = MachineDirsTest;

std::string word(FileChangeKind kind) {
  const char* words[] = {"added", "backup", "replaced", "redated", "removed"};
  return words[static_cast<int>(kind)];
}

// "kind path" per change, a folder with a trailing slash.
std::vector<std::string> describe(const std::vector<FileChange>& changes) {
  std::vector<std::string> out;
  for (const FileChange& c : changes) {
    out.push_back(word(c.kind) + " " + c.path + (c.directory ? "/" : ""));
  }
  return out;
}

TEST_F(FileChangesTest, EveryKindOfChangeOnTheDrives) {
  for (std::string pc : {"a", "b"}) {
    put(pc + "/drive_c/PROD/SAME.DLL", "same", 10);
    put(pc + "/drive_c/PROD/CORE.DLL", pc == "a" ? "old core" : "new core", 10);
    put(pc + "/drive_c/PROD/SIZE.DLL", pc == "a" ? "short" : "longer", 10);
    put(pc + "/drive_c/PROD/TIME.DLL", "time", pc == "a" ? 10 : 20);
    put(pc + "/registry.reg", pc);  // not a file of the PC
    put(pc + "/events.log", pc);
  }
  put("a/drive_c/PROD/OLD.TXT", "gone");
  put("a/drive_d/GONE/X", "x");
  put("b/drive_c/PROD/NEW.DLL", "new");
  put("b/drive_c/PROD/CORE.old", "old core");
  put("b/drive_c/PROD/ARCHIVE/TEMP/ZVa01234", "staged");
  put("b/drive_C/NOT/A.DRIVE", "x");
  put("b/drive_cd/NOT/A.DRIVE", "x");
  std::vector<FileChange> changes;
  std::string error;
  ASSERT_TRUE(fileChanges(at("a"), at("b"), &changes, &error)) << error;
  EXPECT_EQ(describe(changes), (std::vector<std::string>{
                                   "added drive_c/PROD/ARCHIVE/",
                                   "added drive_c/PROD/ARCHIVE/TEMP/",
                                   "added drive_c/PROD/ARCHIVE/TEMP/ZVa01234",
                                   "replaced drive_c/PROD/CORE.DLL",
                                   "backup drive_c/PROD/CORE.old",
                                   "added drive_c/PROD/NEW.DLL",
                                   "replaced drive_c/PROD/SIZE.DLL",
                                   "redated drive_c/PROD/TIME.DLL",
                                   "removed drive_c/PROD/OLD.TXT",
                                   "removed drive_d/GONE/",
                                   "removed drive_d/GONE/X",
                               }));
  changes.clear();
  ASSERT_TRUE(fileChanges(at("b"), at("b"), &changes, &error));
  EXPECT_TRUE(changes.empty());
}

TEST_F(FileChangesTest, ANanosecondIsAnotherTimeAndAFolderIsNotAFile) {
  put("a/drive_c/X", "x");
  put("b/drive_c/X", "x");
  date("b/drive_c/X", 0, 1);
  put("a/drive_c/Y", "file");
  put("b/drive_c/Y/INSIDE", "now a folder");
  std::vector<FileChange> changes;
  std::string error;
  ASSERT_TRUE(fileChanges(at("a"), at("b"), &changes, &error)) << error;
  EXPECT_EQ(describe(changes),
            (std::vector<std::string>{"redated drive_c/X", "removed drive_c/Y", "added drive_c/Y/",
                                      "added drive_c/Y/INSIDE"}));
  EXPECT_FALSE(fileChanges(at("a"), at("none"), &changes, &error));
  EXPECT_NE(error.find(at("none")), std::string::npos) << error;
}

}  // namespace
}  // namespace zv
