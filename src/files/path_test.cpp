#include "files/path.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/testing/memory_platform.h"
#include "platform/testing/recording.h"

namespace zv {
namespace {

TEST(PathTest, JoinsAndRebuildsFromTheNamedParts) {
  const std::string x = "C:\\PROD\\X.EXE", d = "D:", nd = "\\NEW", b = "B", old = ".OLD", none;
  const std::pair<std::string, const char*> cases[] = {
      {joinPath("", "A.DLL"), "A.DLL"},
      {joinPath("C:", "A.DLL"), "C:A.DLL"},
      {joinPath("C:\\", "A.DLL"), "C:\\A.DLL"},
      {joinPath("C:\\X", ""), "C:\\X\\"},
      {mergePath({"C:", "\\A", "B", "TXT"}), "C:\\A\\B.TXT"},
      {mergePath({"C:", "\\A\\", "B", ".TXT"}), "C:\\A\\B.TXT"},
      {mergePath({"", "A/", "B", ""}), "A/B"},
      {pathFileName(x) + pathDrive(x) + pathBaseName(x), "X.EXEC:X"},
      {pathDriveDir("C:/PROD/X.EXE"), "C:/PROD/"},
      {pathDriveDir("C:X.EXE") + pathDriveDir("X.EXE"), "C:"},
      {pathDriveDir("C:\\A\\.."), "C:\\A\\..\\"},
      {pathWithoutExtension("C:\\P\\X.EXE\""), "C:\\P\\X"},
      {pathDirBase("C:X.EXE"), "X"},
      {pathWithoutDrive(x), "\\PROD\\X.EXE"},
      {replacePathParts(x, &d, &nd, &b, &old), "D:\\NEW\\B.OLD"},
      {replacePathParts(x, &none, &none, &b, &none), "B"},
      {replacePathPartsFrom(x, &d, nullptr, "E:\\Q\\R.S"), "D:\\PROD\\R.S"},
      {replaceExtension("README", ".OLD"), "README.OLD"},
      {replaceDir(x, "/NEW/"), "C:/NEW/X.EXE"},
      {replaceDirBaseExtension(x, "NEW", "B", ".E"), "C:NEW\\B.E"},
      {bareFileName("..\\..\\X") + bareFileName("/host/dir/x") + bareFileName("C:X.TXT"),
       "XxX.TXT"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.first, c.second);
  // Empty for anything that is no file name on Windows.
  for (const char* name : {"C:\\W\\", "..", "SUB\\..", "", "A|B", "A\x01B", "N?.TXT"})
    EXPECT_EQ(bareFileName(name), "") << name;
  EXPECT_EQ(bareFileName("a b.txt"), "a b.txt");
}

TEST(PathTest, TempNamesAreFreshZvNamesThenZtNamesThenNone) {
  MemoryTestPlatform tp;
  RecordingTrace trace;
  const std::string dir = tp.scratchDir();
  EXPECT_EQ(makeTempName("", false).substr(0, 2) + makeTempName("C:", false).substr(0, 4),
            "ZVC:ZV");
  // More than the 26 letters: a package may stage any number of files.
  std::set<std::string> names;
  for (int i = 0; i < 60; ++i) {
    const std::string name = makeTempName(i % 2 ? dir : dir + "\\", true);
    ASSERT_EQ(name.substr(0, dir.size() + 3) + std::to_string(name.size()),
              dir + "\\ZV" + std::to_string(dir.size() + 9));
    tp.platform().open(name, FileMode::kCreateNew);
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 60u);
  tp.platform().faults = {{MemoryPlatform::Fault::kUniqueName, "\\ZV"}};
  const std::string zt = makeTempName(dir, true);
  EXPECT_EQ(zt.substr(dir.size(), 3), "\\ZT");
  EXPECT_EQ(makeTempName(dir, false), zt);
  tp.platform().faults.push_back({MemoryPlatform::Fault::kUniqueName, "\\ZT"});
  EXPECT_EQ(makeTempName(dir, true), "");
  EXPECT_EQ(trace.lines, (std::vector<std::string>{"TEMPMK : " + zt + "\n", "TEMPMK : (null)\n"}));
}

}  // namespace
}  // namespace zv
