#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/data_file.h"
#include "engine/entry_line.h"
#include "engine/nls_class.h"
#include "platform/testing/memory_platform.h"
#include "platform/testing/recording.h"

namespace zv {
namespace {

using Lines = std::vector<std::string>;

// Records the boxes and keeps window lines off the terminal.
class QuietPlatform : public RecordingPlatform {
 public:
  explicit QuietPlatform(Platform& target) : RecordingPlatform(target) {}
  void entryAppended(const std::string& text) override { window.push_back(text); }
  Lines window;
};

// The settings every test starts with.
const char* const kDriver = "[Versions]\r\nDriver=4.10\r\n";

// Doubles backslashes and escapes commas, so that a text survives the field
// splitter as one field.
std::string escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\' || c == ',') out += '\\';
    out += c;
  }
  return out;
}

class ConditionTest : public ::testing::Test {
 protected:
  ConditionTest() : platform_(tp_.platform()) {
    std::string messages;
    for (int i = 1; i <= 27; ++i) messages += "M" + std::to_string(i) + "\r\n";
    write("CAT.MSG", messages);
    catalog_ = std::make_unique<NLSClass>(path("CAT.MSG"));
    std::string failure;
    EXPECT_EQ(catalog_->LoadCatalog(&failure), 1);
    settings_.setOsDetection(OsDetection::kWindows95);
    settings_.setProductDir("C:\\PRODUCT");
    settings_.setWindowsDir("C:\\WINDOWS");
    useSettings(kDriver);
    engine_ = std::make_unique<DataFile>(path("NONE.DAT"), &settings_, catalog_.get());
    trace_ = std::make_unique<RecordingTrace>();
  }

  ~ConditionTest() override {
    Platform& p = Platform::current();
    for (auto it = rootValues_.rbegin(); it != rootValues_.rend(); ++it) {
      p.regDeleteValue(it->first, it->second);
    }
    for (auto it = keys_.rbegin(); it != keys_.rend(); ++it) p.regDeleteKey(it->first, it->second);
  }

  std::string path(const std::string& name) { return tp_.scratchDir() + "\\" + name; }

  void write(const std::string& name, const std::string& bytes) {
    std::unique_ptr<File> f = tp_.platform().open(path(name), FileMode::kWrite);
    ASSERT_TRUE(f);
    f->write(bytes.data(), bytes.size());
  }

  // A fresh settings profile with this content.
  void useSettings(const std::string& content) {
    settings_.setLocationProfile(nullptr);
    write("ZEVRA.INI", content);
    settings_.setLocationProfile(std::make_unique<Profile>(path("ZEVRA.INI"), Profile::kFileMode));
  }

  // The scratch key's own name, for keys and values beside it.
  std::string tag() const {
    const std::string& key = tp_.scratchKey();
    return key.substr(key.rfind('\\') + 1);
  }

  // Sets a string value of root\keyPath (the root itself when keyPath is
  // empty); removed again when the test ends.
  bool putString(RegKey root, const std::string& keyPath, const std::string& name,
                 const std::string& value) {
    Platform& p = Platform::current();
    RegKey key = root;
    if (!keyPath.empty()) {
      if (p.regCreateKey(root, keyPath, &key) != kErrorSuccess) return false;
      keys_.emplace_back(root, keyPath);
    } else {
      rootValues_.emplace_back(root, name);
    }
    const long rc = p.regSetString(key, name, value);
    if (!keyPath.empty()) p.regCloseKey(key);
    return rc == kErrorSuccess;
  }

  int check(const std::string& line) {
    buffer_ = line;
    return engine_->testCondition(buffer_);
  }

  MemoryTestPlatform tp_;
  QuietPlatform platform_;
  std::unique_ptr<NLSClass> catalog_;
  ConfigData settings_;
  std::unique_ptr<DataFile> engine_;
  std::unique_ptr<RecordingTrace> trace_;
  std::string buffer_;
  std::vector<std::pair<RegKey, std::string>> keys_;
  std::vector<std::pair<RegKey, std::string>> rootValues_;
};

TEST_F(ConditionTest, ConditionLinesHoldOrNotAndGiveTheirBranch) {
  const char *ten = "[Versions]\r\nDriver=10.0\r\n", *abc = "[Versions]\r\nDriver=  abc  \r\n",
             *bytes = "[S]\r\nK=_\r\nH=\xE9\r\n",
             *empty = "[S]\r\nFull=x\r\nEmpty=\r\nBlank=   \r\n",
             *dirs =
                 "[Dirs]\r\nBin=c:\\product\\BIN\r\nWin=C:\\WINDOWS\\SYSTEM\r\n"
                 "Literal=\\ZEVRA\r\nZ=\\ZEVRA\r\n";
  const struct Case {
    const char* settings;
    int detection;  // of the system
    const char* line;
    int holds;
    const char* branch;  // nullptr: the line stays, incomplete
    const char* what;
  } cases[] = {
      {kDriver, 1, "Condition0=FIX,1,,Versions,Driver,4.00", 1, "FIX", "a version not less"},
      {ten, 1, "Condition0=FIX,1,,Versions,Driver,4.00", 0, "FIX", "versions compare as text"},
      {abc, 1, "Condition0=FIX,1,1,Versions,Driver, ABC ", 1, "FIX", "trimmed, case ignored"},
      {abc, 1, "Condition0=FIX,1,1,Versions,Driver,ABD", 0, "FIX", "not equal"},
      // Upper-cased, "_" (0x5F) sorts after "A" (0x41); lower-cased it would not.
      {bytes, 1, "C=B,1,2,S,K,a", 1, "B", "_ not less than A"},
      {bytes, 1, "C=B,1,3,S,K,a", 0, "B", "_ greater than A"},
      {bytes, 1, "C=B,1,2,S,H,z", 1, "B", "0xE9 is above any ASCII letter"},
      {bytes, 1, "C=B,1,1,S,K,_ ", 1, "B", "the reference trimmed"},
      {empty, 1, "C=B,1,0,S,Full", 1, "B", "force 0: a value"},
      {empty, 1, "C=B,1,0,S,Empty", 0, "B", "force 0: an empty value"},
      {empty, 1, "C=B,1,0,S,Blank", 0, "B", "force 0: empty once trimmed"},
      {empty, 1, "C=B,1,0,S,Missing", 0, "B", "force 0: no such key"},
      {empty, 1, "C=B,1,0,Nowhere,Full", 0, "B", "force 0: no such section"},
      {kDriver, 1, "Condition0=FIX,1,4,Versions,Driver,0,", 0, "FIX", "force 4, empty upper bound"},
      {kDriver, 1, "Condition0=FIX,1,4,Versions,Driver,0", 0, "FIX", "force 4, no upper bound"},
      {kDriver, 1, "Condition0=FIX,1,4,Versions,Driver,0,9", 1, "FIX", "force 4, both bounds"},
      {dirs, 1, "C=B,1,1,Dirs,Bin,\\\\ZEVRA\\\\BIN", 1, "B", "a keyword in range s"},
      {dirs, 1, "C=B,1,1,Dirs,Win,\\\\windows\\\\SYSTEM", 1, "B", "a keyword in any case"},
      {dirs, 1, "C=B,1,4,Dirs,Bin,\\\\ZEVRA,\\\\ZEVRA\\\\C", 1, "B", "a keyword in range e too"},
      {dirs, 1, "C=B,1,4,Dirs,Bin,\\\\ZEVRA,\\\\ZEVRA\\\\A", 0, "B", "above the replaced range"},
      {dirs, 1, "C=B,1,1,Dirs,Literal,\\\\\\\\ZEVRA", 1, "B", "a doubled escape stays"},
      {dirs, 1, "C=B,1,1,Dirs,Z,C:\\\\PRODUCT", 0, "B", "the value is not substituted"},
      // The OS number must equal the detection number.
      {kDriver, 0, "C=FIX,0,0,Versions,Driver", 1, "FIX", "the detection number"},
      {kDriver, 1, "C=FIX,0,0,Versions,Driver", 0, "FIX", "another detection number"},
      {kDriver, 1, "C=FIX, 1,0,Versions,Driver", 1, "FIX", "a blank before the number"},
      {kDriver, 1, "C=FIX,01,0,Versions,Driver", 1, "FIX", "a leading zero"},
      {kDriver, 1, "C=FIX,1x,0,Versions,Driver", 1, "FIX", "text after the number"},
      {kDriver, 1, "C=FIX,x,0,Versions,Driver", 0, "FIX", "no number matches no system"},
      {kDriver, 1, "C=FIX,,0,Versions,Driver", 0, nullptr, "an empty OS: incomplete"},
      // The branch is copied only when the line is complete.
      {kDriver, 3, "Condition0=FIX,1,,Versions,Driver,4.00", 0, "FIX", "another system"},
      {kDriver, 3, "Condition0=,3,,Versions,Driver,4.00", 1, "", "an empty branch: no section"},
      {kDriver, 3, "Condition0=FIX,3,,Versions", 0, nullptr, "no key"},
      {kDriver, 3, "Condition0=FIX,3,,Versions,", 0, nullptr, "empty key"},
      {kDriver, 3, "Condition0=FIX,3,,,Driver", 0, nullptr, "empty fourth field"},
      {kDriver, 1, "Condition0=FIX,1", 0, nullptr, "no fourth field"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ": " + c.line);
    useSettings(c.settings);
    settings_.setOsDetection(static_cast<OsDetection>(c.detection));
    EXPECT_EQ(check(c.line), c.holds);
    EXPECT_EQ(buffer_, c.branch ? c.branch : c.line);
  }
  EXPECT_TRUE(trace_->lines.empty()) << "failing silently";
  EXPECT_TRUE(platform_.boxes.empty());
  settings_.setLocationProfile(nullptr);
  EXPECT_EQ(check("C=B,1,0,S,Full"), 0) << "no settings profile: no value";
}

TEST_F(ConditionTest, TheSixForceModes) {
  useSettings("[S]\r\nV=b\r\n");
  struct Case {
    const char* fields;  // force, range s, range e
    int holds;
  };
  // The value is "b".
  const Case cases[] = {
      {"0", 1},     {"0,,", 1},   {"0,x,y", 1},                            // value not empty
      {"1,B", 1},   {"1,c", 0},   {"1", 0},     {"1,", 0},                 // equal
      {"2,a", 1},   {"2,B", 1},   {"2,c", 0},   {"2", 0},                  // not less
      {",a", 1},    {",c", 0},                                             // default 2
      {"3,a", 0},   {"3,b", 1},   {"3,C", 1},   {"3", 0},                  // not greater
      {"4,a,c", 1}, {"4,b,b", 1}, {"4,c,d", 0}, {"4,a,a", 0}, {"4,a", 0},  // between
      {"4,a,", 0},  {"4,,c", 0},                                           // both needed
      {"5,B", 0},   {"5,c", 1},   {"5", 0},                                // differs
  };
  for (const Case& c : cases) {
    const std::string fields = c.fields;
    const size_t comma = fields.find(',');
    const std::string force = fields.substr(0, comma);
    const std::string ranges = comma == std::string::npos ? "" : fields.substr(comma);
    EXPECT_EQ(check("Condition1=B,1," + force + ",S,V" + ranges), c.holds) << c.fields;
  }
}

TEST_F(ConditionTest, AForceOutsideZeroToFiveOrNotANumberMeansTwo) {
  for (const char* force : {"9", "-1", "6", "", "abc", " 7"}) {
    EXPECT_EQ(check(std::string("C=FIX,1,") + force + ",Versions,Driver,4.00"), 1) << force;
    EXPECT_EQ(check(std::string("C=FIX,1,") + force + ",Versions,Driver,5.00"), 0) << force;
  }
  EXPECT_EQ(check("C=FIX,1"), 0);
  EXPECT_EQ(check("C=FIX,1,3x,Versions,Driver,5.00"), 1) << "read as 3";
}

TEST_F(ConditionTest, AnOsFieldThatIsNoNumberIsTracedAsWritten) {
  settings_.setDebug(1);
  EXPECT_EQ(check("C=FIX,any,0,Versions,Driver"), 0);
  ASSERT_GE(trace_->lines.size(), 3u);
  EXPECT_EQ(Lines(trace_->lines.end() - 3, trace_->lines.end()),
            (Lines{"Testing OS\n", "     Datafile:  any\n", "     Detection: 1\n"}));
}

TEST_F(ConditionTest, ALineWithoutAFourthFieldTracesOnlyItsFields) {
  settings_.setDebug(1);
  EXPECT_EQ(check("Condition0=FIX,1"), 0);
  EXPECT_EQ(trace_->lines,
            (Lines{"Testing Condition\n", "     branch : FIX\n", "     OS     : 1\n",
                   "     force  : (null)\n", "     section: (null)\n", "     key    : (null)\n",
                   "     range s: (null)\n", "     range e: (null)\n"}))
      << "only the field lines: nothing is reported";
  EXPECT_TRUE(platform_.boxes.empty());
}

TEST_F(ConditionTest, TheDebugTraceOfASettingsCondition) {
  settings_.setDebug(1);
  EXPECT_EQ(check("Condition0=FIX,1,,Versions,Driver,4.00"), 1);
  EXPECT_EQ(trace_->lines, (Lines{
                               "Testing Condition\n",
                               "     branch : FIX\n",
                               "     OS     : 1\n",
                               "     force  : \n",
                               "     section: Versions\n",
                               "     key    : Driver\n",
                               "     range s: 4.00\n",
                               "     range e: (null)\n",
                               "Testing OS\n",
                               "     Datafile:  1\n",
                               "     Detection: 1\n",
                               "Testing Condition Value\n",
                               "     Test Val: 4.10\n",
                           }));
}

TEST_F(ConditionTest, TheDebugTraceOfARegistryCondition) {
  ASSERT_TRUE(putString(kHkeyCurrentUser, tp_.scratchKey(), "Ver", " 1.5 "));
  settings_.setDebug(1);
  const std::string keyPath = escaped(tp_.scratchKey());
  EXPECT_EQ(check("Condition3=REGFIX,1,4,HKCU," + keyPath + ",Ver, 1.0, \\\\ZEVRA"), 1);
  EXPECT_EQ(buffer_, "REGFIX");
  EXPECT_EQ(trace_->lines, (Lines{
                               "Testing Registry Condition\n",
                               "     branch : REGFIX\n",
                               "     OS     : 1\n",
                               "     force  : 4\n",
                               "     section: HKCU\n",
                               "     path   : " + tp_.scratchKey() + "\n",
                               "     key    : Ver\n",
                               "     range s:  1.0\n",
                               "     range e:  C:\\PRODUCT\n",
                               "Testing OS\n",
                               "     Datafile:  1\n",
                               "     Detection: 1\n",
                               "Testing Condition Value\n",
                               "     Test Val: 1.5\n",
                           }));
}

TEST_F(ConditionTest, AValueDirectlyBelowTheMachineRoot) {
  const std::string name = tag() + "-Version";
  if (!putString(kHkeyLocalMachine, "", name, "2.0")) {
    GTEST_SKIP() << "no value can be set on HKEY_LOCAL_MACHINE itself here";
  }
  settings_.setOsDetection(OsDetection::kNt40);
  EXPECT_EQ(check("Condition0=FIX,8,1,HKLM,," + name + ",2.0"), 1);
  EXPECT_EQ(buffer_, "FIX");
  EXPECT_EQ(check("Condition0=FIX,8,1,HKLM,," + name + ",2.1"), 0);
}

TEST_F(ConditionTest, NoKeyFieldTestsTheDefaultValue) {
  const std::string keyPath = escaped(tp_.scratchKey());
  settings_.setOsDetection(OsDetection::kNt40);
  ASSERT_TRUE(putString(kHkeyCurrentUser, tp_.scratchKey(), "Named", "x"));
  EXPECT_EQ(check("Condition0=FIX,8,0,HKCU," + keyPath), 0) << "no default value yet";
  EXPECT_EQ(buffer_, "FIX") << "no key field is needed";
  ASSERT_TRUE(putString(kHkeyCurrentUser, tp_.scratchKey(), "", "present"));
  EXPECT_EQ(check("Condition0=FIX,8,0,HKCU," + keyPath), 1);
  EXPECT_EQ(check("Condition0=FIX,8,1,HKCU," + keyPath + ",,PRESENT"), 1) << "empty key";
}

TEST_F(ConditionTest, TheRootIsTheFirstFourCharactersInAnyCase) {
  const std::string sub = "Software\\" + tag();
  ASSERT_TRUE(putString(kHkeyLocalMachine, sub, "Name", "machine"));
  ASSERT_TRUE(putString(kHkeyCurrentUser, sub, "Name", "user"));
  const std::string keyPath = escaped(sub);
  EXPECT_EQ(check("C=B,1,1,hklm," + keyPath + ",Name,machine"), 1);
  EXPECT_EQ(check("C=B,1,1,HKLMX," + keyPath + ",Name,machine"), 1);
  EXPECT_EQ(check("C=B,1,1,hkcu," + keyPath + ",Name,user"), 1);
  EXPECT_EQ(check("C=B,1,1,HKCU_anything," + keyPath + ",Name,user"), 1);

  if (putString(kHkeyClassesRoot, tag(), "Name", "classes")) {
    EXPECT_EQ(check("C=B,1,1,HkCr," + escaped(tag()) + ",Name,classes"), 1);
  } else {
    ADD_FAILURE() << "HKEY_CLASSES_ROOT cannot be written";
  }
  if (putString(kHkeyUsers, tag(), "Name", "users")) {
    EXPECT_EQ(check("C=B,1,1,hku," + escaped(tag()) + ",Name,users"), 1);
  } else {
    GTEST_SKIP() << "no key can be made directly below HKEY_USERS here";
  }
}

TEST_F(ConditionTest, RootNamesThatAreSettingsSections) {
  useSettings("[HKUS]\r\nK=v\r\n[HK]\r\nK=w\r\n");
  settings_.setDebug(1);
  EXPECT_EQ(check("C=B,1,1,HKUS,K,v"), 1);
  EXPECT_EQ(trace_->lines.front(), "Testing Condition\n");
  EXPECT_EQ(check("C=B,1,1,HK,K,w"), 1);
}

TEST_F(ConditionTest, RegistryFailuresAreReportedOnlyWithDebug) {
  ASSERT_TRUE(putString(kHkeyCurrentUser, tp_.scratchKey(), "Long", std::string(256, 'x')));
  ASSERT_TRUE(putString(kHkeyCurrentUser, tp_.scratchKey(), "Fits", std::string(255, 'x')));
  const std::string keyPath = escaped(tp_.scratchKey());
  const std::string missingKey = "C=B,1,0,HKCU," + keyPath + "\\\\missing,Name";
  const std::string missingValue = "C=B,1,0,HKCU," + keyPath + ",Name";
  const std::string longValue = "C=B,1,0,HKCU," + keyPath + ",Long";
  EXPECT_EQ(check(missingKey), 0);
  EXPECT_EQ(check(missingValue), 0);
  EXPECT_EQ(check(longValue), 0);
  EXPECT_EQ(check("C=B,1,0,HKCU," + keyPath + ",Fits"), 1);
  EXPECT_TRUE(trace_->lines.empty());

  settings_.setDebug(1);
  const std::string shown = tp_.scratchKey();
  EXPECT_EQ(check(missingKey), 0);
  EXPECT_EQ(trace_->lines.back(), "[box] \nM19:\n     HKCU\\" + shown + "\\missing\n");
  EXPECT_EQ(check(missingValue), 0);
  EXPECT_EQ(trace_->lines.back(), "[box] \nM27:\n     HKCU\\" + shown + "\\Name\n");
  EXPECT_EQ(check(longValue), 0);
  EXPECT_EQ(trace_->lines.back(), "[box] \nM27:\n     HKCU\\" + shown + "\\Long\n");
  EXPECT_EQ(check("C=B,1,0,HKCU," + keyPath), 0) << "no default value";
  EXPECT_EQ(trace_->lines.back(), "[box] \nM27:\n     HKCU\\" + shown + "\\(null)\n")
      << "absent fields print as (null)";
  EXPECT_EQ(check("C=B,1,0,HKLM,Software\\\\" + tag() + "-none"), 0);
  EXPECT_EQ(trace_->lines.back(), "[box] \nM19:\n     HKLM\\Software\\" + tag() + "-none\n");
}

TEST_F(ConditionTest, TheErrorReportShowsABox) {
  trace_.reset();  // the plain output: window lines and boxes
  settings_.setDebug(1);
  EXPECT_EQ(check("C=B,1,0,HKCU," + escaped(tp_.scratchKey()) + "\\\\missing"), 0);
  const std::string text = "\nM19:\n     HKCU\\" + tp_.scratchKey() + "\\missing\n";
  EXPECT_EQ(platform_.boxes, (Lines{"Patch Update Error|" + text + "|OK"}));
  EXPECT_EQ(platform_.window.back(), text);
}

TEST_F(ConditionTest, AnOverlongLineIsRefusedNotCut) {
  const std::string head = "Condition0=FIX,1,0,Versions,Driver,";
  const std::string fits = head + std::string(kEntryLineLimit - head.size(), 'x');
  ASSERT_EQ(fits.size(), 255u);
  EXPECT_EQ(check(fits), 1);
  EXPECT_EQ(buffer_, "FIX");
  EXPECT_TRUE(trace_->lines.empty());

  const std::string over = fits + "x";
  EXPECT_EQ(check(over), 0);
  EXPECT_EQ(buffer_, over);
  EXPECT_EQ(trace_->lines, (Lines{"[box] \nM18\n"}));
}

TEST_F(ConditionTest, ASettingsValueIsHeldInTwoHundredFiftySixCharacters) {
  useSettings("[S]\r\nK=" + std::string(300, 'y') + "\r\n");
  settings_.setDebug(1);
  EXPECT_EQ(check("C=B,1,0,S,K"), 1);
  EXPECT_EQ(trace_->lines.back(), "     Test Val: " + std::string(255, 'y') + "\n");
}

}  // namespace
}  // namespace zv
