#include <algorithm>
#include <memory>
#include <vector>

#include "engine/engine_test_fixture.h"

namespace zv {
namespace {

// 1 January of the year, 10:00.
DosStamp stampOf(int year) {
  DosStamp s;
  s.time = 10 << 11;
  s.date = static_cast<uint16_t>((year - 1980) << 9 | 1 << 5 | 1);
  return s;
}

// Listings as the system gives them, "." and ".." included; entering
// either is recorded instead of recursing for ever.
class ListingSpy : public PlatformWrapper {
 public:
  explicit ListingSpy(Platform& target) : PlatformWrapper(target) {
    previous_ = Platform::setCurrent(this);
  }
  ~ListingSpy() override { Platform::setCurrent(previous_); }
  bool listDir(const std::string& path, std::vector<DirEntry>* entries) override {
    std::string last = path.substr(path.find_last_of('\\') + 1);
    if (last == "." || last == "..") {
      dotsEntered.push_back(path);
      return false;
    }
    if (!target().listDir(path, entries)) return false;
    entries->insert(entries->begin(), {{".", true}, {"..", true}});
    return true;
  }
  std::vector<std::string> dotsEntered;

 private:
  Platform* previous_;
};

class FileEntryTest : public EngineTest {
 protected:
  void put(const std::string& name, const std::string& text, int year = 2001) {
    std::unique_ptr<File> f = tp_.platform().open(path(name), FileMode::kWrite);
    ASSERT_TRUE(f);
    f->write(text.data(), text.size());
    ASSERT_TRUE(f->setStamp(stampOf(year)));
  }
  std::string read(const std::string& name) {
    std::unique_ptr<File> f = tp_.platform().open(path(name), FileMode::kRead);
    if (!f) return "<missing>";
    std::string text;
    char buf[256];
    for (int64_t n; (n = f->read(buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
    return text;
  }
  std::string prod(const std::string& name) const { return path("PROD\\" + name); }
  // The [rename] lines of WININIT.INI, "{P}" standing for the product dir.
  std::vector<std::string> renames() {
    std::string text = read("WININIT.INI");
    std::vector<std::string> lines;
    if (text == "<missing>") return lines;
    text = text.substr(0, text.find('\x1A'));
    for (size_t pos = 0; pos < text.size();) {
      size_t end = std::min(text.find("\r\n", pos), text.size());
      std::string line = text.substr(pos, end - pos);
      pos = end + 2;
      if (line.empty() || line == "[rename]") continue;
      for (size_t at; (at = line.find(prod(""))) != std::string::npos;)
        line.replace(at, prod("").size(), "{P}\\");
      lines.push_back(line);
    }
    return lines;
  }
  int count(const std::string& line) const {
    return static_cast<int>(std::count(trace_.lines.begin(), trace_.lines.end(), line));
  }
  // The lines traced from `first` on, as many as expected holds.
  std::vector<std::string> traceFrom(const std::string& first, size_t n) const {
    auto at = std::find(trace_.lines.begin(), trace_.lines.end(), first);
    size_t left = static_cast<size_t>(trace_.lines.end() - at);
    return std::vector<std::string>(at, at + static_cast<std::ptrdiff_t>(std::min(n, left)));
  }
};

TEST_F(FileEntryTest, EachCopyOutcomeIsReportedAndOnlyReplacementsNeedARestart) {
  struct Case {
    const char* name;
    int destinationYear;  // 0: absent
    const char* extraFields;
    const char* message;
    int reboot;
    std::vector<std::string> recorded;
  };
  const std::vector<Case> cases = {
      {"absent", 0, "", "M36", 0, {}},
      {"older", 1999, "", "M34", 1, {"{P}\\A.OLD={P}\\A.DLL", "{P}\\A.DLL=<staged>"}},
      {"same time", 2001, "", "M32", 0, {}},
      {"newer", 2005, "", "M33", 0, {}},
      {"newer, forced", 2005, ",,,1,0", "M35", 1, {"{P}\\A.DLL=<staged>"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    tp_.platform().deleteFile(path("WININIT.INI"));
    tp_.platform().deleteFile(prod("A.DLL"));
    settings_.setRebootNeeded(0);
    put("A.DLL", "new");
    if (c.destinationYear) put("PROD\\A.DLL", "old", c.destinationYear);
    trace_.lines.clear();
    engine("[S]\r\nFILE1=ZEVRA,A.DLL" + std::string(c.extraFields) + "\r\n").processSection("S");
    EXPECT_EQ(count(prod("A.DLL") + " (" + c.message + ")\n"), 1);
    EXPECT_EQ(settings_.rebootNeededRaw(), c.reboot);
    EXPECT_EQ(settings_.replacePending(), false);
    std::vector<std::string> recorded = renames();
    for (std::string& line : recorded) {
      size_t temp = line.find("{P}\\ARCHIVE\\TEMP\\");
      if (temp != std::string::npos) line = line.substr(0, temp) + "<staged>";
    }
    EXPECT_EQ(recorded, c.recorded);
    EXPECT_EQ(read("PROD\\A.DLL"), c.destinationYear ? "old" : "new") << "never overwritten now";
  }
}

TEST_F(FileEntryTest, AReplacementIsStagedInTheWorkDirectory) {
  put("A.DLL", "new");
  put("PROD\\A.DLL", "old", 1999);
  engine("[S]\r\nFILE1=ZEVRA,A.DLL\r\n").processSection("S");
  std::vector<DirEntry> staged;
  ASSERT_TRUE(tp_.platform().listDir(prod("ARCHIVE\\TEMP"), &staged));
  ASSERT_EQ(staged.size(), 1u);
  EXPECT_EQ(read("PROD\\ARCHIVE\\TEMP\\" + staged[0].name), "new");
  EXPECT_EQ(renames().back(), "{P}\\A.DLL={P}\\ARCHIVE\\TEMP\\" + staged[0].name);
}

TEST_F(FileEntryTest, EntryFieldNamesTheInstalledFile) {
  put("OLD.DLL", "pkg");
  engine("[S]\r\nFILE=ZEVRA,OLD.DLL,,NEW.DLL\r\n").processSection("S");
  EXPECT_EQ(read("PROD\\NEW.DLL"), "pkg");
  EXPECT_EQ(read("PROD\\OLD.DLL"), "<missing>");
}

TEST_F(FileEntryTest, MissingPackageFileAndMissingTargetDirectoryAreErrors) {
  put("A.DLL", "pkg");
  engine("[S]\r\nFILE1=ZEVRA,NONE.DLL\r\nFILE2=ZEVRA,A.DLL,NODIR\r\nSUBST=ZEVRA,A.DLL,NODIR\r\n")
      .processSection("S");
  EXPECT_EQ(count("[box] \nM30: " + path("NONE.DLL") + "\n"), 1);
  EXPECT_EQ(count("[box] \nM17\n"), 2) << "FILE and SUBST";
  EXPECT_EQ(read("PROD\\NODIR\\A.DLL"), "<missing>");
  EXPECT_EQ(settings_.rebootNeededRaw(), 0);
}

TEST_F(FileEntryTest, FindFileReplacesEveryCopyBelowTheDirectory) {
  put("A.DLL", "new");
  tp_.platform().createDir(prod("X"));
  tp_.platform().createDir(prod("X\\Y"));
  tp_.platform().createDir(prod("Z"));
  put("PROD\\X\\A.DLL", "old", 1999);
  put("PROD\\X\\Y\\A.DLL", "old", 1999);
  put("PROD\\Z\\B.DLL", "other", 1999);
  ListingSpy spy(platform_);
  engine("[S]\r\nFINDFILE=ZEVRA,A.DLL,,,,0\r\n").processSection("S");
  EXPECT_TRUE(spy.dotsEntered.empty()) << spy.dotsEntered.front();
  EXPECT_EQ(count(prod("X\\A.DLL (M34)\n")), 1);
  EXPECT_EQ(count(prod("X\\Y\\A.DLL (M34)\n")), 1);
  std::vector<std::string> r = renames();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].substr(0, r[0].find('=')), "{P}\\X\\A.DLL") << "a directory before its subdirs";
  EXPECT_EQ(r[1].substr(0, r[1].find('=')), "{P}\\X\\Y\\A.DLL");
  EXPECT_EQ(read("PROD\\A.DLL"), "<missing>") << "only existing copies are replaced";
  EXPECT_EQ(settings_.rebootNeededRaw(), 1);
}

TEST_F(FileEntryTest, SubstReplacesDirectoryKeywordsInWhateverFileIsThere) {
  put("A.INI", "dir=\\ZEVRA\\bin\r\nwin=\\windows\r\n");
  put("B.INI", "pkg=\\ZEVRA\r\n");
  put("PROD\\B.INI", "kept=\\WINDOWS\r\n", 2005);
  engine("[S]\r\nSUBST1=ZEVRA,A.INI\r\nSUBST2=ZEVRA,B.INI\r\n").processSection("S");
  EXPECT_EQ(read("PROD\\A.INI"), "dir=" + prod("bin") + "\r\nwin=" + tp_.scratchDir() + "\r\n");
  EXPECT_EQ(read("PROD\\B.INI"), "kept=" + tp_.scratchDir() + "\r\n") << "newer file kept";
}

TEST_F(FileEntryTest, CopyIntoASubdirectory) {
  put("PROD\\A.INI", "text");
  tp_.platform().createDir(prod("SUB"));
  engine("[S]\r\nCOPY=ZEVRA,A.INI,SUB\\\\A.INI\r\n").processSection("S");
  EXPECT_EQ(read("PROD\\SUB\\A.INI"), "text");
  EXPECT_EQ(settings_.rebootNeededRaw(), 0);
}

TEST_F(FileEntryTest, RenameAndEraseAreRecordedForTheRestart) {
  struct Case {
    const char* line;
    std::vector<std::string> recorded;
  };
  const std::vector<Case> cases = {
      {"RENAME=ZEVRA,A.TXT,B.TXT,0,1", {"{P}\\B.OLD={P}\\B.TXT", "{P}\\B.TXT={P}\\A.TXT"}},
      {"RENAME=ZEVRA,A.TXT,B.TXT,1,0", {"NUL={P}\\B.TXT", "{P}\\B.TXT={P}\\A.TXT"}},
      {"RENAME=ZEVRA,A.TXT,C.TXT,1,0", {"{P}\\C.TXT={P}\\A.TXT"}},
      {"ERASE=ZEVRA,A.TXT,0", {"NUL={P}\\A.TXT"}},
      {"ERASE=ZEVRA,A.TXT,1", {"{P}\\A.OLD={P}\\A.TXT"}},
      {"ERASE=ZEVRA,A.TXT", {"{P}\\A.OLD={P}\\A.TXT"}},
      {"ERASE=ZEVRA,NONE.TXT,0", {}},
  };
  put("PROD\\A.TXT", "a");
  put("PROD\\B.TXT", "b");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    tp_.platform().deleteFile(path("WININIT.INI"));
    settings_.setRebootNeeded(0);
    trace_.lines.clear();
    engine("[S]\r\n" + std::string(c.line) + "\r\n").processSection("S");
    EXPECT_EQ(renames(), c.recorded);
    EXPECT_EQ(settings_.rebootNeededRaw(), c.recorded.empty() ? 0 : 1);
    EXPECT_TRUE(trace_.lines.empty()) << trace_.lines.front();
    EXPECT_EQ(read("PROD\\A.TXT"), "a") << "nothing changes before the restart";
  }
}

TEST_F(FileEntryTest, FilesActOnlyInThePassOfTheirDisk) {
  settings_.setDiskettes(2);
  settings_.setCid(1);  // a missing diskette ends the section
  put("A.DLL", "disk 2");
  put("B.DLL", "disk 1");
  const std::string lines = "[S]\r\nFILE1=ZEVRA,A.DLL,,,,,,2\r\nFILE2=ZEVRA,B.DLL\r\n";
  engine(lines).processSection("S");
  EXPECT_EQ(read("PROD\\A.DLL"), "<missing>");
  EXPECT_EQ(read("PROD\\B.DLL"), "disk 1");
  put("ZVPATCH.002", "");
  trace_.lines.clear();
  engine(lines).processSection("S");
  EXPECT_EQ(read("PROD\\A.DLL"), "disk 2");
  EXPECT_EQ(count(prod("A.DLL (M36)\n")), 1);
  EXPECT_EQ(count(prod("B.DLL (M32)\n")), 1) << "disk 1 acts once, in pass 1";
}

TEST_F(FileEntryTest, DebugTraceShowsAbsentFieldsAsNull) {
  settings_.setDebug(1);
  settings_.setInteractive(0);
  put("A.DLL", "pkg");
  engine("[S]\r\nFILE=ZEVRA,A.DLL,\r\nERASE=zevra,NONE.TXT\r\n").processSection("S");
  EXPECT_EQ(traceFrom("     File\n", 13),
            (std::vector<std::string>{
                "     File\n", "          component   : ZEVRA\n", "          filename    : A.DLL\n",
                "          subdir      : \n", "          entry       : (null)\n",
                "          backup      : (null)\n", "          backup val  : 1\n",
                "          force       : (null)\n", "          force value : 0\n",
                "          compress    : (null)\n", "          compress val: 0\n",
                "          disk        : (null)\n", "          disk val    : 1\n"}));
  EXPECT_EQ(traceFrom("     Erase (Local)\n", 5),
            (std::vector<std::string>{"     Erase (Local)\n", "          component   : zevra\n",
                                      "          filename    : " + prod("NONE.TXT") + "\n",
                                      "          backup      : (null)\n",
                                      "          backup val  : 1\n"}));
  EXPECT_EQ(count(prod("A.DLL (M36)\n")), 0) << "no result line unless interactive";
}

}  // namespace
}  // namespace zv
