#include "engine/engine_test_fixture.h"
#include "engine/entry_line.h"

namespace zv {
namespace {

class ConditionTest : public EngineTest {
 protected:
  int check(const std::string& line) {
    buffer_ = line;
    DataFile& e = engine("");
    trace_.lines.clear();  // what the condition traces only
    return e.testCondition(buffer_);
  }
  std::string buffer_;
};

// The run is on Windows 98 (detection 7); the value tested is "b".
TEST_F(ConditionTest, TheSixComparisonsTheOsNumberAndTheBranch) {
  useSettings("[S]\r\nV=b\r\nK=_\r\nH=\xE9\r\nEmpty=\r\nDir=c:\\product\\BIN\r\n");
  settings_.setProductDir("C:\\PRODUCT");
  // The fields after "C=B,", and whether the line holds.
  const std::pair<const char*, int> cases[] = {
      {"7,0,S,V", 1},     {"7,0,S,Empty", 0}, {"7,0,S,None", 0},   // a value
      {"7,1,S,V,B", 1},   {"7,1,S,V,c", 0},   {"7,1,S,V", 0},      // equal
      {"7,2,S,V,a", 1},   {"7,2,S,V,B", 1},   {"7,2,S,V,c", 0},    // not less
      {"7,2,S,V", 0},     {"7,,S,V,a", 1},    {"7,,S,V,c", 0},     // ... the default
      {"7,9,S,V,c", 0},   {"7,x,S,V,a", 1},   {"7,1,S,V, b ", 1},  // ... and trimmed
      {"7,3,S,V,a", 0},   {"7,3,S,V,b", 1},   {"7,3,S,V,C", 1},    // not greater
      {"7,3,S,V", 0},     {"7,3x,S,V,c", 1},  {"7,4,S,V,a,c", 1},  // between
      {"7,4,S,V,b,b", 1}, {"7,4,S,V,c,d", 0}, {"7,4,S,V,a,a", 0},  // ...
      {"7,4,S,V,a", 0},   {"7,4,S,V,a,", 0},  {"7,4,S,V,,c", 0},   // ... both needed
      {"7,5,S,V,B", 0},   {"7,5,S,V,c", 1},   {"7,5,S,V", 0},      // differs
      {"7,2,S,K,a", 1},   {"7,3,S,K,a", 0},   {"7,2,S,H,z", 1},    // _ > A < 0xE9
      {" 7,0,S,V", 1},    {"07,0,S,V", 1},    {"7x,0,S,V", 1},     // the OS by %d
      {"1,0,S,V", 0},     {"x,0,S,V", 0},                          // another OS
  };
  for (const auto& [fields, holds] : cases) {
    EXPECT_EQ(check(std::string("C=B,") + fields), holds) << fields;
    EXPECT_EQ(buffer_, "B") << fields;
  }
  EXPECT_EQ(check("C=B,7,1,S,Dir,\\\\ZEVRA\\\\bin"), 1) << "in the references only";
  // Without an OS, a section or (for a settings value) a key the line is
  // incomplete: it fails and keeps its text.
  for (const char* line : {"C=B,,0,S,V", "C=B,7,0,S", "C=B,7,0,,V", "C=B,7"}) {
    EXPECT_EQ(check(line), 0) << line;
    EXPECT_EQ(buffer_, line);
  }
  EXPECT_EQ(check("C=,7,0,S,V"), 1) << "an empty branch names no section";
  EXPECT_TRUE(trace_.lines.empty()) << "failing silently";
}

// The root is the first four characters in any case; a line without a
// fourth field is no registry condition; a settings section may look like
// a root.
TEST_F(ConditionTest, RegistryRoots) {
  RegKey key;
  ASSERT_EQ(tp_.platform().regCreateKey(kHkeyLocalMachine, "Software\\Q", &key), kErrorSuccess);
  tp_.platform().regSetString(key, "V", "b");
  tp_.platform().regCloseKey(key);
  useSettings("[HKUS]\r\nV=u\r\n");
  for (const char* line :
       {"C=B,7,1,HKLM,Software\\\\Q,V,b", "C=B,7,1,hklmX,Software\\\\Q,V,b", "C=B,7,1,HKUS,V,u"}) {
    EXPECT_EQ(check(line), 1) << line;
  }
  settings_.setDebug(1);
  EXPECT_EQ(check("C=B,7"), 0);
  EXPECT_EQ(trace_.lines.front(), "Testing Condition\n");
  settings_.setOsDetection(OsDetection::kOther);
  EXPECT_EQ(check("C=B,x,0,HKUS,V"), 0) << "no number names no system, not system 0";
  EXPECT_EQ(trace_.lines.back(), "     Detection: 0\n");
  EXPECT_EQ(trace_.lines.end()[-2], "     Datafile:  x\n");
}

TEST_F(ConditionTest, AnOverlongLineIsRefusedAndALongValueHeldIn255Characters) {
  const std::string fits = "C=B,7,0,S,K," + std::string(kEntryLineLimit - 12, 'x');
  EXPECT_EQ(check(fits + "x"), 0);
  EXPECT_EQ(buffer_, fits + "x") << "refused, not cut";
  EXPECT_EQ(trace_.lines, (Lines{"[box] \nM18\n"}));
  useSettings("[S]\r\nK=" + std::string(300, 'y') + "\r\n");
  settings_.setDebug(1);
  EXPECT_EQ(check(fits), 1);
  EXPECT_EQ(trace_.lines.back(), "     Test Val: " + std::string(255, 'y') + "\n");
}

}  // namespace
}  // namespace zv
