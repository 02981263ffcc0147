#include "files/path.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/platform.h"
#include "platform/platform_wrapper.h"
#include "platform/testing/memory_platform.h"
#include "platform/trace.h"

namespace zv {
namespace {

void expectParts(const std::string& path, const char* drive, const char* dir, const char* name,
                 const char* ext) {
  PathParts p = splitPath(path);
  EXPECT_EQ(p.drive, drive) << path;
  EXPECT_EQ(p.dir, dir) << path;
  EXPECT_EQ(p.name, name) << path;
  EXPECT_EQ(p.ext, ext) << path;
}

TEST(PathSplitTest, SplitsIntoDriveDirectoryNameAndExtension) {
  expectParts("C:\\A\\B.X.TXT", "C:", "\\A\\", "B.X", ".TXT");
  expectParts("\\\\SERVER\\SHARE\\F", "", "\\\\SERVER\\SHARE\\", "F", "");
  expectParts("C:FILE", "C:", "", "FILE", "");
  expectParts("README", "", "", "README", "");
  expectParts(".profile", "", "", "", ".profile");
  expectParts("C:/PROD/SUB\\X.EXE", "C:", "/PROD/SUB\\", "X", ".EXE");
  expectParts("DIR.D\\NAME", "", "DIR.D\\", "NAME", "");
  expectParts("", "", "", "", "");
  // Final dot components are directories.
  expectParts("C:\\A\\..", "C:", "\\A\\..", "", "");
  expectParts("C:\\A\\.", "C:", "\\A\\.", "", "");
  expectParts("..", "", "..", "", "");
  expectParts("C:.", "C:", ".", "", "");
  expectParts("A\\...", "", "A\\", "..", ".");
  // Only the first 260 characters count, and the parts are cut: in 300
  // characters the extension beyond character 260 is ignored.
  std::string longName(290, 'N');
  expectParts("C:\\" + longName + ".EXTENSION", "C:", "\\", std::string(255, 'N').c_str(), "");
  std::string dir = "\\" + std::string(256, 'D') + "\\";
  expectParts("C:" + dir + "F.TXT", "C:", dir.substr(0, 255).c_str(), "", "");
  expectParts(std::string(100, 'N') + "." + std::string(200, 'E'), "", "",
              std::string(100, 'N').c_str(), ("." + std::string(159, 'E')).c_str());
}

TEST(PathLastIndexOfTest, FindsTheLastOccurrence) {
  EXPECT_EQ(lastIndexOf("A\\B\\C", '\\'), 3u);
  EXPECT_EQ(lastIndexOf("ABC", 'A'), 0u);
  EXPECT_EQ(lastIndexOf("ABC", '\\'), std::string::npos);
  EXPECT_EQ(lastIndexOf("", 'A'), std::string::npos);
}

TEST(PathBareFileNameTest, KeepsTheLastComponentWhenItIsAFileName) {
  const std::pair<const char*, const char*> cases[] = {
      {"A.DLL", "A.DLL"}, {"..\\..\\X", "X"}, {"/host/dir/x", "x"}, {"C:X.TXT", "X.TXT"},
      {"C:\\W\\", ""},    {"..", ""},         {"SUB\\..", ""},      {"", ""},
      {"A|B", ""},        {"A\x01B", ""},     {"N?.TXT", ""},       {"a b.txt", "a b.txt"}};
  for (const auto& c : cases) EXPECT_EQ(bareFileName(c.first), c.second) << c.first;
}

TEST(PathOperationsTest, JoinMergeAndRebuildFromTheNamedParts) {
  const std::string x = "C:\\PROD\\X.EXE";
  const std::string a = "C:\\PROD\\A.DLL";
  const std::string d = "D:", nd = "\\NEW", b = "B", old = ".OLD", none;
  struct Case {
    const char* op;
    std::string got;
    const char* want;
  } cases[] = {
      // joinPath inserts a backslash only when needed.
      {"joinPath no dir", joinPath("", "A.DLL"), "A.DLL"},
      {"joinPath drive", joinPath("C:", "A.DLL"), "C:A.DLL"},
      {"joinPath root", joinPath("C:\\", "A.DLL"), "C:\\A.DLL"},
      {"joinPath dir", joinPath("C:\\X", "A.DLL"), "C:\\X\\A.DLL"},
      {"joinPath no name", joinPath("C:\\X", ""), "C:\\X\\"},
      // mergePath adds the missing backslash and dot.
      {"mergePath missing", mergePath({"C:", "\\A", "B", "TXT"}), "C:\\A\\B.TXT"},
      {"mergePath present", mergePath({"C:", "\\A\\", "B", ".TXT"}), "C:\\A\\B.TXT"},
      {"mergePath slash", mergePath({"", "A/", "B", ""}), "A/B"},
      {"mergePath no dir", mergePath({"C:", "", "B", ""}), "C:B"},
      {"mergePath nothing", mergePath({"", "", "", ""}), ""},
      {"pathDrive", pathDrive(x), "C:"},
      {"pathDirectory", pathDirectory(x), "\\PROD\\"},
      {"pathBaseName", pathBaseName(x), "X"},
      {"pathExtension", pathExtension(x), ".EXE"},
      {"pathFileName", pathFileName(x), "X.EXE"},
      {"pathDriveDir", pathDriveDir(x), "C:\\PROD\\"},
      {"pathDriveDir slash", pathDriveDir("C:/PROD/X.EXE"), "C:/PROD/"},
      {"pathDriveDir drive only", pathDriveDir("C:X.EXE"), "C:"},
      {"pathDriveDir none", pathDriveDir("X.EXE"), ""},
      {"pathDriveDir dotdot", pathDriveDir("C:\\A\\.."), "C:\\A\\..\\"},
      {"pathWithoutExtension", pathWithoutExtension(x), "C:\\PROD\\X"},
      {"pathWithoutExtension quote", pathWithoutExtension("C:\\P\\X.EXE\""), "C:\\P\\X"},
      {"pathDirBase", pathDirBase(x), "\\PROD\\X"},
      {"pathDirBase no dir", pathDirBase("C:X.EXE"), "X"},
      {"pathWithoutDrive", pathWithoutDrive(x), "\\PROD\\X.EXE"},
      {"pathDriveBase", pathDriveBase(x), "C:X"},
      {"replacePathParts none", replacePathParts(x, nullptr, nullptr, nullptr, nullptr), x.c_str()},
      {"replacePathParts all", replacePathParts(x, &d, &nd, &b, &old), "D:\\NEW\\B.OLD"},
      {"replacePathParts empty", replacePathParts(x, &none, &none, &b, &none), "B"},
      {"replacePathPartsFrom", replacePathPartsFrom(x, &d, nullptr, "E:\\Q\\R.S"), "D:\\PROD\\R.S"},
      {"replaceExtension", replaceExtension(a, ".OLD"), "C:\\PROD\\A.OLD"},
      {"replaceExtension bare", replaceExtension("README", ".OLD"), "README.OLD"},
      {"replaceExtension drive", replaceExtension("C:A.TXT", ".OLD"), "C:A.OLD"},
      {"replaceExtension no dot", replaceExtension(a, "OLD"), "C:\\PROD\\AOLD"},
      {"replaceExtension empty", replaceExtension(a, ""), "C:\\PROD\\A"},
      {"replaceBaseName", replaceBaseName(a, "B"), "C:\\PROD\\B.DLL"},
      {"replaceBaseExtension", replaceBaseExtension(a, "B", ".EXE"), "C:\\PROD\\B.EXE"},
      {"replaceFileName", replaceFileName(a, "D:\\X\\NEW.TXT"), "C:\\PROD\\NEW.TXT"},
      {"replaceFileName bare", replaceFileName("A.DLL", "NEW"), "NEW"},
      {"replaceDrive", replaceDrive(a, "D:"), "D:\\PROD\\A.DLL"},
      {"replaceDrive empty", replaceDrive(a, ""), "\\PROD\\A.DLL"},
      {"replaceDriveDir", replaceDriveDir(a, "D:", "\\NEW"), "D:\\NEW\\A.DLL"},
      {"replaceDriveDir empty", replaceDriveDir(a, "", ""), "A.DLL"},
      {"replaceDriveDirBase", replaceDriveDirBase(a, "D:", "\\NEW\\", "B"), "D:\\NEW\\B.DLL"},
      {"replaceDriveExtension", replaceDriveExtension(a, "D:", ".OLD"), "D:\\PROD\\A.OLD"},
      {"replaceDriveBase", replaceDriveBase(a, "D:", "B"), "D:\\PROD\\B.DLL"},
      {"replaceDriveFileName", replaceDriveFileName(a, "D:", "X:\\Y\\N.T"), "D:\\PROD\\N.T"},
      {"replaceDriveBaseExtension", replaceDriveBaseExtension(a, "D:", "B", ".E"), "D:\\PROD\\B.E"},
      {"replaceDir", replaceDir(a, "\\NEW\\"), "C:\\NEW\\A.DLL"},
      {"replaceDir slash", replaceDir(a, "/NEW/"), "C:/NEW/A.DLL"},
      {"replaceDir empty", replaceDir(a, ""), "C:A.DLL"},
      {"replaceDirExtension", replaceDirExtension(a, "\\NEW", ".OLD"), "C:\\NEW\\A.OLD"},
      {"replaceDirBase", replaceDirBase(a, "\\NEW", "B"), "C:\\NEW\\B.DLL"},
      {"replaceDirFileName", replaceDirFileName(a, "\\NEW", "N.TXT"), "C:\\NEW\\N.TXT"},
      {"replaceDirBaseExtension", replaceDirBaseExtension(a, "NEW", "B", ".E"), "C:NEW\\B.E"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.op;
}

class RecordingOutput : public TraceOutput {
 public:
  void print(bool, const std::string& text) override { printed += text; }
  std::string printed;
};

class TempNameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = Platform::setCurrent(&tp_.platform());
    setTraceOutput(&trace_);
    dir_ = tp_.scratchDir();
  }
  void TearDown() override {
    setTraceOutput(nullptr);
    Platform::setCurrent(previous_);
  }
  void create(const std::string& path) {
    ASSERT_TRUE(tp_.platform().open(path, FileMode::kCreateNew) != nullptr) << path;
  }
  // The next name, created at once, as a caller would.
  std::string takeName(bool trace) {
    std::string name = makeTempName(dir_, trace);
    if (!name.empty()) create(name);
    return name;
  }

  MemoryTestPlatform tp_;
  Platform* previous_ = nullptr;
  RecordingOutput trace_;
  std::string dir_;
};

TEST_F(TempNameTest, MakesAFreshZvNameInTheDirectory) {
  std::string first = makeTempName(dir_, true);
  ASSERT_EQ(first.size(), dir_.size() + 9);
  EXPECT_EQ(first.substr(0, dir_.size() + 3), dir_ + "\\ZV");
  EXPECT_FALSE(tp_.platform().exists(first));
  EXPECT_EQ(makeTempName(dir_ + "\\", false), first);
  create(first);
  std::string second = makeTempName(dir_, true);
  EXPECT_NE(second, first);
  EXPECT_EQ(second.substr(0, dir_.size() + 3), dir_ + "\\ZV");
  EXPECT_EQ(trace_.printed, "");
}

TEST_F(TempNameTest, WithoutADirectoryTheNameStandsAlone) {
  std::string name = makeTempName("", false);
  ASSERT_EQ(name.size(), 8u);
  EXPECT_EQ(name.substr(0, 2), "ZV");
  EXPECT_EQ(makeTempName("C:", false).substr(0, 4), "C:ZV");
}

// Every name with one of the prefixes exists already.
class TakenNames : public PlatformWrapper {
 public:
  using PlatformWrapper::PlatformWrapper;
  // Called for every one of the 2,600,000 variants: no copies.
  bool exists(const std::string& path) override {
    const size_t name = path.find_last_of('\\') + 1;
    for (const std::string& p : prefixes)
      if (path.compare(name, p.size(), p) == 0) return true;
    return target().exists(path);
  }
  std::vector<std::string> prefixes;
};

TEST_F(TempNameTest, ManyDistinctNamesThenTheSecondTemplateThenNone) {
  // More than the 26 letters: a package may stage any number of files.
  std::set<std::string> names;
  for (int i = 0; i < 60; ++i) {
    std::string name = takeName(true);
    ASSERT_EQ(name.substr(dir_.size(), 3), "\\ZV") << i;
    ASSERT_EQ(name.size(), dir_.size() + 9) << i;
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 60u);
  EXPECT_EQ(trace_.printed, "");

  TakenNames taken(tp_.platform());
  Platform::setCurrent(&taken);
  taken.prefixes = {"ZV"};
  std::string zt = makeTempName(dir_, true);
  EXPECT_EQ(zt.substr(dir_.size(), 3), "\\ZT");
  EXPECT_EQ(trace_.printed, "TEMPMK : " + zt + "\n");
  trace_.printed.clear();
  EXPECT_EQ(makeTempName(dir_, false), zt);
  EXPECT_EQ(trace_.printed, "");
  taken.prefixes = {"ZV", "ZT"};
  EXPECT_EQ(makeTempName(dir_, true), "");
  EXPECT_EQ(trace_.printed, "TEMPMK : (null)\n");
  Platform::setCurrent(&tp_.platform());
}

}  // namespace
}  // namespace zv
