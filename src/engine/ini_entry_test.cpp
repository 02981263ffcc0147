#include <algorithm>
#include <memory>
#include <vector>

#include "engine/engine_test_fixture.h"

namespace zv {
namespace {

// A file that exists but cannot be opened for reading.
class UnreadablePlatform : public PlatformWrapper {
 public:
  UnreadablePlatform(Platform& target, std::string path)
      : PlatformWrapper(target), path_(std::move(path)) {
    previous_ = Platform::setCurrent(this);
  }
  ~UnreadablePlatform() override { Platform::setCurrent(previous_); }
  std::unique_ptr<File> open(const std::string& path, FileMode mode) override {
    if (path == path_ && mode == FileMode::kRead) return nullptr;
    return target().open(path, mode);
  }

 private:
  std::string path_;
  Platform* previous_;
};

class IniEntryTest : public EngineTest {
 protected:
  void run(const std::string& lines) { engine("[S]\r\n" + lines).processSection("S"); }
  std::string get(const std::string& file, const std::string& section, const std::string& key) {
    Profile p(path(file), Profile::kFileMode);
    return p.getString(section, key, "<none>");
  }
  int count(const std::string& line) const {
    return static_cast<int>(std::count(trace_.lines.begin(), trace_.lines.end(), line));
  }
  // A string value below HKEY_LOCAL_MACHINE, or "<none>".
  std::string regValue(const std::string& key, const std::string& name) {
    Platform& p = tp_.platform();
    RegKey k;
    if (p.regOpenKey(kHkeyLocalMachine, key, RegAccess::kRead, &k) != kErrorSuccess)
      return "<none>";
    char data[512];
    uint32_t type = 0, size = sizeof data;
    long r = p.regQueryValue(k, name, &type, data, &size);
    p.regCloseKey(k);
    return r == kErrorSuccess && size > 0 ? std::string(data, size - 1) : "<none>";
  }
};

TEST_F(IniEntryTest, SetDeleteKeyAndDeleteSectionOfAnotherFile) {
  write("PROD\\A.INI", "[One]\r\nk=1\r\nj=2\r\n[Two]\r\nx=1\r\n");
  run("INI1=ZEVRA,A.INI,One,k,9\r\nINI2=ZEVRA,A.INI,One,j\r\nINI3=ZEVRA,A.INI,Two\r\n"
      "INI4=windows,B.INI,New,key,val\r\n");
  EXPECT_EQ(get("PROD\\A.INI", "One", "k"), "9");
  EXPECT_EQ(get("PROD\\A.INI", "One", "j"), "<none>");
  EXPECT_EQ(Profile(path("PROD\\A.INI"), Profile::kFileMode).findSection("Two"), -1);
  EXPECT_EQ(get("B.INI", "New", "key"), "val") << "created in the Windows directory";
  EXPECT_TRUE(trace_.lines.empty()) << trace_.lines.front();
}

TEST_F(IniEntryTest, ZevraIniGoesThroughTheProfilesHeld) {
  settings_.setProductProfile(
      std::make_unique<Profile>(path("PROD\\ZEVRA.INI"), Profile::kFileMode));
  Profile& product = *settings_.productProfile();
  run("INI1=WINDOWS,ZEVRA.INI,Patch,Level,5\r\nINI2=zevra,zevra.ini,Sec,K,V\r\n");
  EXPECT_EQ(location_->getString("Patch", "Level", "<none>"), "5");
  EXPECT_EQ(location_->getString("Sec", "K", "<none>"), "<none>");
  EXPECT_EQ(product.getString("Sec", "K", "<none>"), "V");
  EXPECT_EQ(product.getString("Patch", "Level", "<none>"), "<none>");
  EXPECT_EQ(get("ZEVRA.INI", "Patch", "Level"), "5") << "written through";
}

TEST_F(IniEntryTest, WithSettingsInTheRegistryWindowsFilesLiveThere) {
  settings_.setRegistryLocation(1);
  settings_.setLocationProfile(
      std::make_unique<Profile>("SOFTWARE\\QEL\\RUZEVU\\ZEVRA.INI", Profile::kRegistryMode));
  run("INI1=WINDOWS,ZEVRA.INI,Sec,Key,Val\r\nINI2=WINDOWS,ZEVRA.INI,Sec,Gone,x\r\n"
      "INI3=WINDOWS,ZEVRA.INI,Sec,Gone\r\nINI4=WINDOWS,X.INI,Sec,Key,Other\r\n");
  EXPECT_EQ(regValue("SOFTWARE\\QEL\\RUZEVU\\ZEVRA.INI\\Sec", "Key"), "Val");
  EXPECT_EQ(regValue("SOFTWARE\\QEL\\RUZEVU\\ZEVRA.INI\\Sec", "Gone"), "<none>");
  EXPECT_EQ(regValue("SOFTWARE\\QEL\\RUZEVU\\X.INI\\Sec", "Key"), "Other");
  EXPECT_FALSE(tp_.platform().exists(path("X.INI")));
  EXPECT_FALSE(tp_.platform().exists(path("ARCHIVE"))) << "no work directories";
  // The real registry outlives the test: the tree is removed.
  run("REG=HKLM,SOFTWARE\\\\QEL\r\n");
  EXPECT_EQ(regValue("SOFTWARE\\QEL\\RUZEVU\\X.INI\\Sec", "Key"), "<none>");
}

TEST_F(IniEntryTest, ValuesAreSubstitutedAndMayBeEmpty) {
  run("INI1=ZEVRA,A.INI,S,dir,\\\\ZEVRA\\\\bin\r\nINI2=ZEVRA,A.INI,S,empty,\r\n");
  EXPECT_EQ(get("PROD\\A.INI", "S", "dir"), path("PROD\\bin"));
  EXPECT_EQ(get("PROD\\A.INI", "S", "empty"), "");
}

TEST_F(IniEntryTest, MissingFieldsAreReportedInEveryPassTheEntryActsInTheLast) {
  settings_.setDiskettes(3);
  settings_.setCid(1);  // a missing diskette ends the section
  write("ZVPATCH.002", "");
  const std::string lines = "INI1=ZEVRA,A.INI\r\nINI2=ZEVRA,A.INI,S,k,v\r\n";
  run(lines);
  EXPECT_EQ(count("[box] \nM18\n"), 2);
  EXPECT_FALSE(tp_.platform().exists(path("PROD\\A.INI"))) << "passes 1 and 2 do nothing";
  write("ZVPATCH.003", "");
  trace_.lines.clear();
  run(lines);
  EXPECT_EQ(count("[box] \nM18\n"), 3);
  EXPECT_EQ(get("PROD\\A.INI", "S", "k"), "v");
}

TEST_F(IniEntryTest, BadLinesAreRefusedWithMessage18) {
  for (const char* line : {"INI=OTHER,A.INI,S,k,v", "INI=,A.INI,S,k,v", "INI", "INI=ZEVRA,,S,k,v",
                           "INI=ZEVRA,A.INI,,k,v"}) {
    SCOPED_TRACE(line);
    trace_.lines.clear();
    run(std::string(line) + "\r\n");
    EXPECT_EQ(trace_.lines, std::vector<std::string>{"[box] \nM18\n"});
    EXPECT_FALSE(tp_.platform().exists(path("PROD\\A.INI")));
  }
}

TEST_F(IniEntryTest, AnUnreadableFileIsReportedAndSkipped) {
  write("PROD\\A.INI", "[S]\r\nk=1\r\n");
  {
    UnreadablePlatform unreadable(platform_, path("PROD\\A.INI"));
    run("INI1=ZEVRA,A.INI,S,k,2\r\nINI2=ZEVRA,B.INI,S,k,3\r\n");
  }
  EXPECT_EQ(trace_.lines, std::vector<std::string>{"[box] \nM15: " + path("PROD\\A.INI") + "\n"});
  EXPECT_EQ(get("PROD\\A.INI", "S", "k"), "1");
  EXPECT_EQ(get("PROD\\B.INI", "S", "k"), "3") << "the next entry still runs";
}

}  // namespace
}  // namespace zv
