#include "platform/registry_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace zv {
namespace {

std::string sz(const std::string& s) {
  return s + std::string(1, '\0');
}

// The value's type and bytes, or "<rc>" when the query fails.
std::string valueOf(RegistryStore& reg, RegKey root, const std::string& path,
                    const std::string& name, uint32_t* type = nullptr) {
  RegKey k;
  long rc = reg.openKey(root, path, &k);
  if (rc != kErrorSuccess) return "<" + std::to_string(rc) + ">";
  uint32_t size = 0;
  rc = reg.queryValue(k, name, type, nullptr, &size);
  std::string data(size, '\0');
  if (rc == kErrorSuccess) rc = reg.queryValue(k, name, type, &data[0], &size);
  reg.closeKey(k);
  if (rc != kErrorSuccess) return "<" + std::to_string(rc) + ">";
  return data;
}

TEST(RegistryStoreText, RoundTripOfEveryValueKind) {
  const std::string text =
      "REGEDIT4\r\n"
      "\r\n"
      "; exported\r\n"
      "[HKEY_CURRENT_USER\\Software\\QEL]\r\n"
      "\"Name\"=\"a \\\\ b \\\" c\"\r\n"
      "@=\"unnamed\"\r\n"
      "\"Multi\"=hex(7):61,00,62,00,00,00\r\n"
      "\"Bin\"=hex:01,02,FF\r\n"
      "\"Empty\"=hex:\r\n"
      "\"Num\"=dword:0000002A\r\n"
      "\"Exp\"=hex(2):25,00\r\n"
      "\"Wrapped\"=hex:01,02,\\\r\n"
      "    03\r\n"
      "\"Qu\\\"ote\"=\"\"\r\n"
      "\r\n"
      "[hkey_local_machine\\SOFTWARE\\Empty Leaf]\r\n"
      "[HKEY_LOCAL_MACHINE]\r\n"
      "\"AtRoot\"=dword:00000001\r\n";
  RegistryStore reg;
  std::string error;
  ASSERT_TRUE(reg.parse(text, "registry.reg", &error)) << error;

  const std::string expected =
      "REGEDIT4\n"
      "\n"
      "[HKEY_LOCAL_MACHINE]\n"
      "\"AtRoot\"=dword:00000001\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Empty Leaf]\n"
      "\n"
      "[HKEY_CURRENT_USER\\Software\\QEL]\n"
      "@=\"unnamed\"\n"
      "\"Name\"=\"a \\\\ b \\\" c\"\n"
      "\"Multi\"=hex(7):61,00,62,00,00,00\n"
      "\"Bin\"=hex:01,02,ff\n"
      "\"Empty\"=hex:\n"
      "\"Num\"=dword:0000002a\n"
      "\"Exp\"=hex(2):25,00\n"
      "\"Wrapped\"=hex:01,02,03\n"
      "\"Qu\\\"ote\"=\"\"\n"
      "\n";
  EXPECT_EQ(expected, reg.serialize());

  uint32_t type = 0;
  EXPECT_EQ(sz("a \\ b \" c"), valueOf(reg, kHkeyCurrentUser, "Software\\QEL", "name", &type));
  EXPECT_EQ(kRegSz, type);
  EXPECT_EQ(sz("unnamed"), valueOf(reg, kHkeyCurrentUser, "Software\\QEL", ""));
  EXPECT_EQ(std::string("a\0b\0\0\0", 6),
            valueOf(reg, kHkeyCurrentUser, "Software\\QEL", "Multi", &type));
  EXPECT_EQ(kRegMultiSz, type);
  EXPECT_EQ("\x01\x02\xff", valueOf(reg, kHkeyCurrentUser, "Software\\QEL", "Bin", &type));
  EXPECT_EQ(kRegBinary, type);
  EXPECT_EQ(std::string("\x2a\0\0\0", 4),
            valueOf(reg, kHkeyCurrentUser, "Software\\QEL", "Num", &type));
  EXPECT_EQ(kRegDword, type);
  EXPECT_EQ(std::string("%\0", 2), valueOf(reg, kHkeyCurrentUser, "Software\\QEL", "Exp", &type));
  EXPECT_EQ(kRegExpandSz, type);
  EXPECT_EQ("\x01\x02\x03", valueOf(reg, kHkeyCurrentUser, "Software\\QEL", "Wrapped"));
  EXPECT_EQ(sz(""), valueOf(reg, kHkeyCurrentUser, "Software\\QEL", "Qu\"ote"));

  RegistryStore again;
  ASSERT_TRUE(again.parse(expected, "registry.reg", &error)) << error;
  EXPECT_EQ(expected, again.serialize());
}

TEST(RegistryStoreText, KeysDifferingInCaseAreOneKeyWithItsFirstCase) {
  RegistryStore reg;
  std::string error;
  ASSERT_TRUE(
      reg.parse("REGEDIT4\n\n"
                "[HKEY_LOCAL_MACHINE\\Software\\MixedCase]\n"
                "\"One\"=\"1\"\n"
                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\mixedcase\\Child]\n"
                "[HKEY_LOCAL_MACHINE\\software\\MIXEDCASE]\n"
                "\"one\"=\"first\"\n"
                "\"Two\"=\"2\"\n",
                "r.reg", &error))
      << error;
  const std::string expected =
      "REGEDIT4\n\n"
      "[HKEY_LOCAL_MACHINE\\Software\\MixedCase]\n"
      "\"One\"=\"first\"\n"
      "\"Two\"=\"2\"\n\n"
      "[HKEY_LOCAL_MACHINE\\Software\\MixedCase\\Child]\n\n";
  EXPECT_EQ(expected, reg.serialize());
  RegKey k;
  ASSERT_EQ(kErrorSuccess, reg.openKey(kHkeyLocalMachine, "SOFTWARE", &k));
  char name[50];
  uint32_t nameSize = sizeof name;
  ASSERT_EQ(kErrorSuccess, reg.enumKey(k, 0, name, &nameSize));
  EXPECT_STREQ("MixedCase", name);
}

TEST(RegistryStoreText, ValuesWithoutAStringFormAreWrittenAsHexAndReadBack) {
  RegistryStore reg;
  RegKey k;
  ASSERT_EQ(kErrorSuccess, reg.createKey(kHkeyUsers, ".DEFAULT\\Odd", &k));
  reg.setValue(k, "NoNul", kRegSz, "ab");
  reg.setValue(k, "InnerNul", kRegSz, std::string("a\0b\0", 4));
  reg.setValue(k, "LineFeed", kRegSz, sz("a\nb"));
  reg.setValue(k, "ShortDword", kRegDword, "\x01\x02\x03");
  reg.setValue(k, "Custom", 0x100, "\x10");
  std::string big;
  for (int i = 0; i < 100; ++i) big.push_back(static_cast<char>(i));
  reg.setValue(k, "Big", kRegMultiSz, big);

  const std::string text = reg.serialize();
  EXPECT_NE(std::string::npos, text.find("\"NoNul\"=hex(1):61,62\n"));
  EXPECT_NE(std::string::npos, text.find("\"InnerNul\"=hex(1):61,00,62,00\n"));
  EXPECT_NE(std::string::npos, text.find("\"LineFeed\"=hex(1):61,0a,62,00\n"));
  EXPECT_NE(std::string::npos, text.find("\"ShortDword\"=hex(4):01,02,03\n"));
  EXPECT_NE(std::string::npos, text.find("\"Custom\"=hex(100):10\n"));
  size_t longest = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    longest = std::max(longest, end - start);
    start = end + 1;
  }
  EXPECT_LT(longest, 80u);

  RegistryStore again;
  std::string error;
  ASSERT_TRUE(again.parse(text, "r.reg", &error)) << error;
  EXPECT_EQ(text, again.serialize());
  uint32_t type = 0;
  EXPECT_EQ(big, valueOf(again, kHkeyUsers, ".DEFAULT\\Odd", "Big", &type));
  EXPECT_EQ(kRegMultiSz, type);
  EXPECT_EQ(sz("a\nb"), valueOf(again, kHkeyUsers, ".DEFAULT\\Odd", "LineFeed", &type));
  EXPECT_EQ(kRegSz, type);
  EXPECT_EQ("\x10", valueOf(again, kHkeyUsers, ".DEFAULT\\Odd", "Custom", &type));
  EXPECT_EQ(0x100u, type);
}

// "\\K\\K..." n levels deep.
std::string deep(int levels) {
  std::string path;
  for (int i = 0; i < levels; ++i) path += "\\K";
  return path;
}

TEST(RegistryStoreText, MalformedTextNamesTheLineAndChangesNothing) {
  struct Case {
    std::string text;
    int line;
  };
  const std::string head = "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n";  // value lines from line 4
  const std::vector<Case> cases = {
      {"", 1},
      {"\n \r\n\t\n", 1},
      {"\xEF\xBB\xBFREGEDIT4\n", 1},
      {"Windows Registry Editor Version 5.00\n", 1},
      {"\n\nREGEDIT5\n", 3},
      {"REGEDIT4\n\n\"v\"=\"before any key\"\n", 3},
      {"REGEDIT4\n[HKEY_NOWHERE\\x]\n", 2},
      {"REGEDIT4\n[HKEY_CURRENT_USER\\x\n", 2},
      {"REGEDIT4\n[-HKEY_CURRENT_USER\\x]\n", 2},
      {"REGEDIT4\n[]\n", 2},
      {head + "\"v\"=\"unterminated\n", 4},
      {head + "\"v=\"x\"\n", 4},
      {head + "\"v\"=\"bad \\n escape\"\n", 4},
      {head + "\"v\" \"x\"\n", 4},
      {head + "@\"x\"\n", 4},
      {head + "\"v\"=\"x\" junk\n", 4},
      {head + "\"v\"=dword:2a\n", 4},
      {head + "\"v\"=dword:0000002g\n", 4},
      {head + "\"v\"=dword:000000001\n", 4},
      {head + "\"v\"=hex:1,2\n", 4},
      {head + "\"v\"=hex:01,02,\n", 4},
      {head + "\"v\"=hex:01 02\n", 4},
      {head + "\"v\"=hex:0g\n", 4},
      {head + "\"v\"=hex(:01\n", 4},
      {head + "\"v\"=hex(7:01\n", 4},
      {head + "\"v\"=hex(123456789):01\n", 4},
      {head + "\"v\"=str:x\n", 4},
      {head + "\"ok\"=hex:01,\\\n  02,\\\n  zz\n", 6},
      {head + "\"ok\"=hex:01,\\\n", 4},
      {head + "\"ok\"=dword:00000001\n-\n", 5},
      // Deeper than Windows allows: 513 levels below the root.
      {"REGEDIT4\n\n[HKEY_CURRENT_USER" + deep(513) + "]\n", 3},
  };
  for (const Case& c : cases) {
    RegistryStore reg;
    RegKey k;
    ASSERT_EQ(kErrorSuccess, reg.createKey(kHkeyLocalMachine, "Kept", &k));
    reg.setValue(k, "v", kRegSz, sz("x"));
    const std::string before = reg.serialize();
    const uint64_t count = reg.changeCount();
    std::string error;
    EXPECT_FALSE(reg.parse(c.text, "m.reg", &error)) << c.text;
    EXPECT_EQ(0u, error.find("m.reg:" + std::to_string(c.line) + ": ")) << c.text << error;
    EXPECT_GT(error.size(), ("m.reg:" + std::to_string(c.line) + ": ").size()) << c.text;
    EXPECT_EQ(before, reg.serialize()) << c.text;
    EXPECT_EQ(count, reg.changeCount()) << c.text;
    EXPECT_EQ(kErrorSuccess, reg.setValue(k, "stillOpen", kRegSz, sz("y"))) << c.text;
  }
}

TEST(RegistryStoreKeys, NoKeyDeeperThan512Levels) {
  RegistryStore reg;
  std::string error;
  ASSERT_TRUE(reg.parse("REGEDIT4\n\n[HKEY_CURRENT_USER" + deep(512) + "]\n", "d.reg", &error))
      << error;
  RegKey k;
  EXPECT_EQ(kErrorSuccess, reg.openKey(kHkeyCurrentUser, deep(512).substr(1), &k));
  RegKey deeper;
  EXPECT_EQ(kErrorInvalidParameter, reg.createKey(k, "One", &deeper));
  EXPECT_EQ(kErrorInvalidParameter, reg.createKey(kHkeyLocalMachine, deep(513).substr(1), &deeper));
  EXPECT_EQ(kErrorSuccess, reg.createKey(kHkeyLocalMachine, deep(512).substr(1), &deeper));
}

TEST(RegistryStoreText, ParseReplacesContentAndStalesOpenHandles) {
  RegistryStore reg;
  RegKey old, rootCopy;
  ASSERT_EQ(kErrorSuccess, reg.createKey(kHkeyLocalMachine, "Old", &old));
  ASSERT_EQ(kErrorSuccess, reg.openKey(kHkeyLocalMachine, "", &rootCopy));
  std::string error;
  ASSERT_TRUE(reg.parse("REGEDIT4\n[HKEY_LOCAL_MACHINE\\New]\n", "r.reg", &error)) << error;
  EXPECT_EQ("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\New]\n\n", reg.serialize());
  uint32_t count = 0;
  EXPECT_EQ(kErrorKeyDeleted, reg.querySubkeyCount(old, &count));
  EXPECT_EQ(kErrorSuccess, reg.querySubkeyCount(rootCopy, &count));
  EXPECT_EQ(1u, count);
  EXPECT_EQ(kErrorSuccess, reg.closeKey(old));
  EXPECT_EQ(kErrorSuccess, reg.closeKey(rootCopy));
}

TEST(RegistryStoreKeys, CreateAndOpenFollowPathsWithoutRegardToCase) {
  RegistryStore reg;
  RegKey a, b, c, same;
  ASSERT_EQ(kErrorSuccess, reg.createKey(kHkeyLocalMachine, "Software\\Maker\\Product", &a));
  EXPECT_NE(0u, a);
  EXPECT_LT(a, kHkeyClassesRoot);
  ASSERT_EQ(kErrorSuccess, reg.openKey(kHkeyLocalMachine, "\\SOFTWARE\\\\maker\\", &b));
  EXPECT_NE(a, b);
  EXPECT_EQ(kErrorFileNotFound, reg.openKey(kHkeyLocalMachine, "Software\\Other", &c));
  EXPECT_EQ(kErrorFileNotFound, reg.openKey(kHkeyCurrentUser, "Software", &c));
  ASSERT_EQ(kErrorSuccess, reg.openKey(b, "PRODUCT", &c));
  ASSERT_EQ(kErrorSuccess, reg.openKey(c, "", &same));
  EXPECT_EQ(kErrorSuccess, reg.setValue(same, "Seen", kRegDword, std::string(4, '\0')));
  uint32_t size = 0;
  EXPECT_EQ(kErrorSuccess, reg.queryValue(a, "SEEN", nullptr, nullptr, &size));
  EXPECT_EQ(4u, size);
  EXPECT_EQ(
      "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Maker\\Product]\n"
      "\"Seen\"=dword:00000000\n\n",
      reg.serialize());

  // Roots are always open; anything else must be an open handle.
  EXPECT_EQ(kErrorSuccess, reg.closeKey(kHkeyUsers));
  EXPECT_EQ(kErrorSuccess, reg.openKey(kHkeyUsers, "\\", &c));
  EXPECT_EQ(kErrorSuccess, reg.closeKey(a));
  EXPECT_EQ(kErrorInvalidHandle, reg.closeKey(a));
  EXPECT_EQ(kErrorInvalidHandle, reg.openKey(a, "", &c));
  EXPECT_EQ(kErrorInvalidHandle, reg.openKey(0, "", &c));
  EXPECT_EQ(kErrorInvalidHandle, reg.createKey(0x80000005u, "x", &c));
  EXPECT_EQ(kErrorInvalidParameter, reg.createKey(kHkeyUsers, "bad\nname", &c));
}

TEST(RegistryStoreValues, QueryFollowsTheBufferRules) {
  RegistryStore reg;
  RegKey k;
  ASSERT_EQ(kErrorSuccess, reg.createKey(kHkeyCurrentUser, "Q", &k));
  uint32_t type = 99, size = 100;
  char buffer[16] = {};
  EXPECT_EQ(kErrorFileNotFound, reg.queryValue(k, "", &type, buffer, &size));
  EXPECT_EQ(kErrorFileNotFound, reg.queryValue(k, "missing", &type, nullptr, &size));
  ASSERT_EQ(kErrorSuccess, reg.setValue(k, "Text", kRegSz, sz("hello")));

  size = 0;
  EXPECT_EQ(kErrorSuccess, reg.queryValue(k, "text", &type, nullptr, &size));
  EXPECT_EQ(6u, size);
  EXPECT_EQ(kRegSz, type);
  size = 5;
  EXPECT_EQ(kErrorMoreData, reg.queryValue(k, "Text", nullptr, buffer, &size));
  EXPECT_EQ(6u, size);
  size = sizeof buffer;
  EXPECT_EQ(kErrorSuccess, reg.queryValue(k, "Text", nullptr, buffer, &size));
  EXPECT_EQ(6u, size);
  EXPECT_EQ(std::string("hello", 6), std::string(buffer, 6));
  EXPECT_EQ(kErrorSuccess, reg.queryValue(k, "Text", &type, nullptr, nullptr));

  // Setting again keeps the first case and the position; deleting frees it.
  ASSERT_EQ(kErrorSuccess, reg.setValue(k, "Second", kRegBinary, "\x01"));
  ASSERT_EQ(kErrorSuccess, reg.setValue(k, "TEXT", kRegDword, std::string("\x07\0\0\0", 4)));
  ASSERT_EQ(kErrorSuccess, reg.setValue(k, "", kRegSz, sz("default")));
  EXPECT_EQ(
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\Q]\n@=\"default\"\n\"Text\"=dword:00000007\n"
      "\"Second\"=hex:01\n\n",
      reg.serialize());
  EXPECT_EQ(kErrorSuccess, reg.deleteValue(k, "tExT"));
  EXPECT_EQ(kErrorFileNotFound, reg.deleteValue(k, "Text"));
  EXPECT_EQ(kErrorSuccess, reg.deleteValue(k, ""));
  EXPECT_EQ(kErrorFileNotFound, reg.queryValue(k, "", nullptr, nullptr, &size));

  // The same in a key of many values, read from text and then changed.
  std::string text = "REGEDIT4\n\n[HKEY_USERS\\Many]\n";
  for (int i = 0; i < 40; ++i)
    text += "\"V" + std::to_string(i) + "\"=\"" + std::to_string(i) + "\"\n";
  text += "\"v3\"=\"three\"\n";
  std::string error;
  ASSERT_TRUE(reg.parse(text, "many.reg", &error)) << error;
  RegKey many;
  ASSERT_EQ(kErrorSuccess, reg.openKey(kHkeyUsers, "many", &many));
  EXPECT_EQ(kErrorSuccess, reg.deleteValue(many, "v1"));
  EXPECT_EQ(kErrorFileNotFound, reg.deleteValue(many, "V1"));
  EXPECT_EQ(kErrorSuccess, reg.setValue(many, "v1", kRegSz, sz("again")));
  EXPECT_EQ(kErrorSuccess, reg.deleteValue(many, "V20"));
  std::string expected = "REGEDIT4\n\n[HKEY_USERS\\Many]\n";
  for (int i = 0; i < 40; ++i) {
    std::string name = "V" + std::to_string(i);
    std::string data = i == 3 ? "three" : std::to_string(i);
    if (i != 1 && i != 20) expected += "\"" + name + "\"=\"" + data + "\"\n";
    EXPECT_EQ(
        i == 20 ? "<" + std::to_string(kErrorFileNotFound) + ">" : sz(i == 1 ? "again" : data),
        valueOf(reg, kHkeyUsers, "Many", "v" + std::to_string(i)));
  }
  EXPECT_EQ(expected + "\"v1\"=\"again\"\n\n", reg.serialize());
}

TEST(RegistryStoreKeys, EnumKeySortsWithoutRegardToCaseAndChecksTheBuffer) {
  RegistryStore reg;
  RegKey parent, k;
  ASSERT_EQ(kErrorSuccess, reg.createKey(kHkeyClassesRoot, "P", &parent));
  const std::string name49(49, 'n');
  const std::string name50(50, 'o');
  for (const std::string& n : {std::string("beta"), std::string("Alpha"), std::string("GAMMA"),
                               std::string("a_b"), name49, name50}) {
    ASSERT_EQ(kErrorSuccess, reg.createKey(parent, n, &k));
    reg.closeKey(k);
  }
  uint32_t count = 0;
  ASSERT_EQ(kErrorSuccess, reg.querySubkeyCount(parent, &count));
  EXPECT_EQ(6u, count);

  // Upper-case order, as Windows keeps it: "A_B" sorts after "ALPHA".
  const std::vector<std::string> expected = {"Alpha", "a_b", "beta", "GAMMA", name49, name50};
  char name[50];
  uint32_t nameSize = 0;
  for (uint32_t i = 0; i < 5; ++i) {
    nameSize = sizeof name;
    ASSERT_EQ(kErrorSuccess, reg.enumKey(parent, i, name, &nameSize)) << i;
    EXPECT_EQ(expected[i], name);
    EXPECT_EQ(expected[i].size(), nameSize);
  }
  nameSize = sizeof name;
  EXPECT_EQ(kErrorMoreData, reg.enumKey(parent, 5, name, &nameSize));
  EXPECT_EQ(50u, nameSize);
  char wide[51];
  nameSize = sizeof wide;
  EXPECT_EQ(kErrorSuccess, reg.enumKey(parent, 5, wide, &nameSize));
  EXPECT_EQ(name50, wide);
  EXPECT_EQ(kErrorNoMoreItems, reg.enumKey(parent, 6, wide, &nameSize));
}

TEST(RegistryStoreKeys, DeleteKeyRulesAndStaleHandles) {
  RegistryStore reg;
  RegKey a, b, viaOther, child;
  ASSERT_EQ(kErrorSuccess, reg.createKey(kHkeyLocalMachine, "A\\B", &b));
  ASSERT_EQ(kErrorSuccess, reg.openKey(kHkeyLocalMachine, "A", &a));
  ASSERT_EQ(kErrorSuccess, reg.openKey(kHkeyLocalMachine, "a\\b", &viaOther));

  EXPECT_EQ(kErrorAccessDenied, reg.deleteKey(kHkeyLocalMachine, "A"));
  EXPECT_EQ(kErrorAccessDenied, reg.deleteKey(a, ""));
  EXPECT_EQ(kErrorAccessDenied, reg.deleteKey(kHkeyLocalMachine, ""));
  EXPECT_EQ(kErrorFileNotFound, reg.deleteKey(a, "Missing"));

  ASSERT_EQ(kErrorSuccess, reg.deleteKey(b, ""));
  uint32_t count = 9, size = 0;
  char name[8];
  uint32_t nameSize = sizeof name;
  EXPECT_EQ(kErrorKeyDeleted, reg.querySubkeyCount(viaOther, &count));
  EXPECT_EQ(kErrorKeyDeleted, reg.queryValue(b, "", nullptr, nullptr, &size));
  EXPECT_EQ(kErrorKeyDeleted, reg.setValue(b, "v", kRegSz, sz("x")));
  EXPECT_EQ(kErrorKeyDeleted, reg.deleteValue(b, "v"));
  EXPECT_EQ(kErrorKeyDeleted, reg.openKey(viaOther, "", &child));
  EXPECT_EQ(kErrorKeyDeleted, reg.createKey(viaOther, "C", &child));
  EXPECT_EQ(kErrorKeyDeleted, reg.enumKey(b, 0, name, &nameSize));
  EXPECT_EQ(kErrorKeyDeleted, reg.deleteKey(b, ""));
  EXPECT_EQ(kErrorSuccess, reg.closeKey(b));
  EXPECT_EQ(kErrorSuccess, reg.closeKey(viaOther));

  // Re-creating the name makes a new key; stale handles stay stale.
  ASSERT_EQ(kErrorSuccess, reg.createKey(a, "b", &child));
  EXPECT_EQ(kErrorInvalidHandle, reg.querySubkeyCount(b, &count));
  ASSERT_EQ(kErrorSuccess, reg.deleteKey(kHkeyLocalMachine, "\\A\\B"));
  EXPECT_EQ(kErrorKeyDeleted, reg.querySubkeyCount(child, &count));
  ASSERT_EQ(kErrorSuccess, reg.deleteKey(kHkeyLocalMachine, "a"));
  EXPECT_EQ(kErrorKeyDeleted, reg.querySubkeyCount(a, &count));
  EXPECT_EQ("REGEDIT4\n\n", reg.serialize());
}

TEST(RegistryStoreKeys, ChangeCountMovesOnChangesOnly) {
  RegistryStore reg;
  uint64_t last = reg.changeCount();
  auto changed = [&]() {
    bool moved = reg.changeCount() > last;
    last = reg.changeCount();
    return moved;
  };
  RegKey k, again;
  uint32_t size = 0, count = 0;
  char name[8];
  uint32_t nameSize = sizeof name;

  ASSERT_EQ(kErrorSuccess, reg.createKey(kHkeyCurrentUser, "X\\Y", &k));
  EXPECT_TRUE(changed());
  ASSERT_EQ(kErrorSuccess, reg.createKey(kHkeyCurrentUser, "x\\y", &again));
  EXPECT_FALSE(changed());
  reg.openKey(kHkeyCurrentUser, "X", &again);
  reg.queryValue(k, "v", nullptr, nullptr, &size);
  reg.enumKey(again, 0, name, &nameSize);
  reg.querySubkeyCount(again, &count);
  reg.closeKey(again);
  reg.deleteValue(k, "missing");
  reg.deleteKey(kHkeyCurrentUser, "X");
  EXPECT_FALSE(changed());

  reg.setValue(k, "v", kRegSz, sz("1"));
  EXPECT_TRUE(changed());
  reg.setValue(k, "V", kRegSz, sz("1"));
  EXPECT_FALSE(changed());
  reg.setValue(k, "v", kRegExpandSz, sz("1"));
  EXPECT_TRUE(changed());
  reg.deleteValue(k, "v");
  EXPECT_TRUE(changed());
  reg.deleteKey(k, "");
  EXPECT_TRUE(changed());
  std::string error;
  EXPECT_FALSE(reg.parse("junk", "r.reg", &error));
  EXPECT_FALSE(changed());
  EXPECT_TRUE(reg.parse("REGEDIT4\n", "r.reg", &error));
  EXPECT_TRUE(changed());
}

TEST(RegistryStoreVisit, EveryKeyDepthFirstWithItsValuesInOrder) {
  RegistryStore reg;
  std::string error;
  ASSERT_TRUE(
      reg.parse("REGEDIT4\n\n"
                "[HKEY_LOCAL_MACHINE\\Software\\b]\n\"Z\"=\"1\"\n@=dword:00000002\n"
                "[HKEY_LOCAL_MACHINE\\Software\\A\\Deep]\n"
                "[HKEY_USERS]\n\"Top\"=hex:01\n",
                "t.reg", &error))
      << error;
  std::vector<std::string> seen;
  reg.forEachKey(
      [&](const std::vector<std::string>& path, const std::vector<RegistryStore::Value>& values) {
        std::string line;
        for (const std::string& part : path) line += (line.empty() ? "" : "\\") + part;
        for (const RegistryStore::Value& v : values) {
          line += " " + regeditValueName(v.name) + "=";
          appendRegeditData(v.type, v.data, false, &line);
        }
        seen.push_back(line);
      });
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "HKEY_LOCAL_MACHINE",
                      "HKEY_LOCAL_MACHINE\\Software",
                      "HKEY_LOCAL_MACHINE\\Software\\A",
                      "HKEY_LOCAL_MACHINE\\Software\\A\\Deep",
                      "HKEY_LOCAL_MACHINE\\Software\\b \"Z\"=\"1\" @=dword:00000002",
                      "HKEY_CURRENT_USER",
                      "HKEY_CLASSES_ROOT",
                      "HKEY_USERS \"Top\"=hex:01",
                  }));
}

TEST(RegistryStoreVisit, ValueTextsAsRegeditWritesThem) {
  std::string out;
  appendRegeditData(kRegSz, sz("a\\\"b"), false, &out);
  EXPECT_EQ(out, "\"a\\\\\\\"b\"");
  out.clear();
  appendRegeditData(kRegDword, std::string("\x2a\x00\x00\x01", 4), false, &out);
  EXPECT_EQ(out, "dword:0100002a");
  out.clear();
  appendRegeditData(7, std::string("a\0\0", 3), false, &out);
  EXPECT_EQ(out, "hex(7):61,00,00");
  // A long list stays on one line unless it is to be wrapped.
  std::string long_(40, 'x');
  out.clear();
  appendRegeditData(kRegBinary, long_, false, &out);
  EXPECT_EQ(out.find('\n'), std::string::npos);
  out.clear();
  appendRegeditData(kRegBinary, long_, true, &out);
  EXPECT_NE(out.find("\\\n  "), std::string::npos);
  EXPECT_EQ(regeditValueName(""), "@");
  EXPECT_EQ(regeditValueName("A\"B"), "\"A\\\"B\"");
}

}  // namespace
}  // namespace zv
