#include <algorithm>
#include <map>
#include <vector>

#include "engine/engine_test_fixture.h"

namespace zv {
namespace {

// Names the keys the handler opens, records what it deletes and which
// handles are still open.
class RegistrySpy : public PlatformWrapper {
 public:
  explicit RegistrySpy(Platform& target) : PlatformWrapper(target) {
    previous_ = Platform::setCurrent(this);
  }
  ~RegistrySpy() override { Platform::setCurrent(previous_); }

  long regOpenKey(RegKey parent, const std::string& subkey, RegAccess access,
                  RegKey* result) override {
    return opened(parent, subkey, result, target().regOpenKey(parent, subkey, access, result));
  }
  long regCreateKey(RegKey parent, const std::string& subkey, RegKey* result) override {
    return opened(parent, subkey, result, target().regCreateKey(parent, subkey, result));
  }
  long regDeleteKey(RegKey key, const std::string& subkey) override {
    long r = target().regDeleteKey(key, subkey);
    if (r == kErrorSuccess) deleted.push_back(join(name(key), subkey));
    return r;
  }
  long regCloseKey(RegKey key) override {
    open.erase(key);
    return target().regCloseKey(key);
  }

  std::map<RegKey, std::string> open;
  std::vector<std::string> deleted;
  int opens = 0;

 private:
  static std::string join(const std::string& a, const std::string& b) {
    return b.empty() ? a : a + "\\" + b;
  }
  std::string name(RegKey key) const {
    if (key == kHkeyCurrentUser) return "HKCU";
    if (key == kHkeyLocalMachine) return "HKLM";
    auto it = open.find(key);
    return it == open.end() ? "?" : it->second;
  }
  long opened(RegKey parent, const std::string& subkey, RegKey* result, long r) {
    if (r == kErrorSuccess) {
      ++opens;
      open[*result] = join(name(parent), subkey);
    }
    return r;
  }
  Platform* previous_;
};

class RegistryEntryTest : public EngineTest {
 protected:
  void run(const std::string& lines) { engine("[S]\r\n" + lines).processSection("S"); }
  // Below the test's own key.
  std::string key(const std::string& sub) const { return tp_.scratchKey() + "\\" + sub; }
  // As written in the definition file: backslashes doubled.
  static std::string field(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
  }
  void make(const std::string& sub) {
    RegKey k;
    ASSERT_EQ(tp_.platform().regCreateKey(kHkeyCurrentUser, key(sub), &k), kErrorSuccess);
    tp_.platform().regCloseKey(k);
  }
  bool exists(const std::string& sub) {
    RegKey k;
    if (tp_.platform().regOpenKey(kHkeyCurrentUser, key(sub), RegAccess::kRead, &k) !=
        kErrorSuccess)
      return false;
    tp_.platform().regCloseKey(k);
    return true;
  }
  std::string value(const std::string& sub, const std::string& name) {
    RegKey k;
    if (tp_.platform().regOpenKey(kHkeyCurrentUser, key(sub), RegAccess::kRead, &k) !=
        kErrorSuccess)
      return "<no key>";
    char data[512];
    uint32_t type = 0, size = sizeof data;
    long r = tp_.platform().regQueryValue(k, name, &type, data, &size);
    tp_.platform().regCloseKey(k);
    if (r != kErrorSuccess) return "<none>";
    EXPECT_EQ(type, kRegSz);
    return size > 0 ? std::string(data, size - 1) : "<unterminated>";
  }

  RegistrySpy spy_{platform_};
};

TEST_F(RegistryEntryTest, ValuesAreSetChangedAndDeletedInOrder) {
  struct Step {
    const char* fields;  // after root and path
    const char* name;
    std::string expected;
  };
  const std::vector<Step> steps = {
      {",Name,Text", "Name", "Text"},  // the keys are created as needed
      {",,Unnamed", "", "Unnamed"},
      {",Empty,", "Empty", ""},
      {",Name", "Name", "<none>"},
      {",Win,\\\\WINDOWS\\\\sys", "Win", tp_.scratchDir() + "\\sys"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.fields);
    run("REG=HKCU," + field(key("App")) + s.fields + "\r\n");
    EXPECT_EQ(value("App", s.name), s.expected);
    EXPECT_TRUE(trace_.lines.empty()) << trace_.lines.front();
  }
  EXPECT_EQ(value("App", "Empty"), "") << "a deletion leaves the other values";
  EXPECT_TRUE(spy_.open.empty());
}

TEST_F(RegistryEntryTest, ASubtreeIsDeletedDeepestFirstEachKeyOnce) {
  for (const char* sub :
       {"App\\A\\A1\\A1a", "App\\A\\A1\\A1b", "App\\A\\A2", "App\\B\\B1", "App\\C"})
    make(sub);
  make("Sibling");
  run("REG=HKCU," + field(key("App")) + "\r\n");
  EXPECT_TRUE(trace_.lines.empty()) << trace_.lines.front();
  std::vector<std::string> expected;
  for (const char* sub : {"App", "App\\A", "App\\A\\A1", "App\\A\\A1\\A1a", "App\\A\\A1\\A1b",
                          "App\\A\\A2", "App\\B", "App\\B\\B1", "App\\C"})
    expected.push_back("HKCU\\" + key(sub));
  std::vector<std::string> deleted = spy_.deleted;
  std::sort(deleted.begin(), deleted.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(deleted, expected);
  for (size_t i = 0; i < spy_.deleted.size(); ++i) {
    for (size_t j = i + 1; j < spy_.deleted.size(); ++j)
      EXPECT_NE(spy_.deleted[j].rfind(spy_.deleted[i] + "\\", 0), 0u)
          << spy_.deleted[j] << " deleted after its parent";
  }
  EXPECT_FALSE(exists("App"));
  EXPECT_TRUE(exists("Sibling"));
  EXPECT_TRUE(spy_.open.empty());
}

TEST_F(RegistryEntryTest, AKeyWithoutSubkeysIsDeleted) {
  make("Leaf");
  run("REG=HKCU," + field(key("Leaf")) + "\r\n");
  EXPECT_TRUE(trace_.lines.empty()) << trace_.lines.front();
  EXPECT_FALSE(exists("Leaf"));
  EXPECT_EQ(spy_.deleted, std::vector<std::string>{"HKCU\\" + key("Leaf")});
  EXPECT_TRUE(spy_.open.empty());
}

TEST_F(RegistryEntryTest, SubkeyNamesMustFitFiftyCharacters) {
  make("Fits\\" + std::string(49, 'a'));
  make("Long\\" + std::string(50, 'b'));
  run("REG1=HKCU," + field(key("Fits")) + "\r\nREG2=HKCU," + field(key("Long")) + "\r\n");
  EXPECT_FALSE(exists("Fits"));
  EXPECT_EQ(trace_.lines, std::vector<std::string>{"[box] \nM23:\n     " + key("Long") + "\n"});
  EXPECT_TRUE(exists("Long\\" + std::string(50, 'b')));
  EXPECT_TRUE(spy_.open.empty()) << "closed on the failure path too";
}

TEST_F(RegistryEntryTest, RootsAndRequiredFields) {
  struct Case {
    std::string line;
    std::string box;
  };
  const std::vector<Case> cases = {
      {"REG=HKEY_LOCAL_MACHINE,SOFTWARE,Name,x", "\nM18\n"},
      {"REG=HKCUX,SOFTWARE,Name", "\nM18\n"},
      {"REG=,SOFTWARE,Name", "\nM18\n"},
      {"REG=HKCU", "\nM18\n"},
      {"REG=HKCU,,,x", "\nM18\n"},
      {"REG=hklm,SOFTWARE\\\\zvpatch-none,Name", "\nM19:\n     SOFTWARE\\zvpatch-none\\Name\n"},
      {"REG=HKCU," + field(key("Missing")) + ",Name",
       "\nM19:\n     " + key("Missing") + "\\Name\n"},
      {"REG=HKCU," + field(key("Missing")), "\nM19:\n     " + key("Missing") + "\\(null)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    trace_.lines.clear();
    run(c.line + "\r\n");
    EXPECT_EQ(trace_.lines, std::vector<std::string>{"[box] " + c.box});
  }
  EXPECT_EQ(spy_.opens, 0);
  EXPECT_FALSE(exists("Missing"));
}

}  // namespace
}  // namespace zv
