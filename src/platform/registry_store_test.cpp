#include "platform/registry_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/registry_names.h"

namespace zv {
namespace {

std::string sz(const std::string& s) {
  return s + std::string(1, '\0');
}

// The value's type and bytes ("1:text\0"), or "<rc>" when the query fails.
std::string valueOf(RegistryStore& reg, RegKey root, const std::string& path,
                    const std::string& name) {
  RegKey k;
  uint32_t type = 0, size = 0;
  long rc = reg.openKey(root, path, &k);
  if (rc == kErrorSuccess) rc = reg.queryValue(k, name, &type, nullptr, &size);
  std::string data(size, '\0');
  if (rc == kErrorSuccess) rc = reg.queryValue(k, name, &type, &data[0], &size);
  reg.closeKey(k);
  return rc ? "<" + std::to_string(rc) + ">" : std::to_string(type) + ":" + data;
}

// "\\K\\K..." n levels deep.
std::string deep(int levels) {
  std::string path;
  for (int i = 0; i < levels; ++i) path += "\\K";
  return path;
}

TEST(RegistryStoreTest, TextRoundTripOfEveryValueKind) {
  const std::string text =
      "REGEDIT4\r\n\r\n; exported\r\n"
      "[HKEY_CURRENT_USER\\Software\\QEL]\r\n"
      "\"Name\"=\"a \\\\ b \\\" c\"\r\n"
      "@=\"unnamed\"\r\n"
      "  \"Multi\"=hex(7):61,00,62,00,00,00\t\r\n"
      "\"Bin\"=hex:01,02,FF\r\n"
      "\"Empty\"=hex:\r\n"
      "\"Num\"=DWORD:0000002A\r\n"
      "\"Exp\"=hex(2):25,00\r\n"
      "\"Wrapped\"=hex:01,02,\\\r\n    03\r\n"
      "\"Qu\\\"ote\"=\"\"\r\n\r\n"
      "[hkey_local_machine\\SOFTWARE\\Empty Leaf]\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\MixedCase]\r\n\"One\"=\"1\"\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\mixedcase\\\\Child\\]\r\n"
      "[HKEY_LOCAL_MACHINE\\software\\MIXEDCASE]\r\n\"one\"=\"first\"\r\n"
      "[HKEY_LOCAL_MACHINE]\r\n"
      "\"AtRoot\"=dword:00000001\r\n";
  RegistryStore reg;
  std::string error;
  ASSERT_TRUE(reg.parse(text, "registry.reg", &error)) << error;
  // Keys differing in case are one key with its first case.
  const std::string expected =
      "REGEDIT4\n\n"
      "[HKEY_LOCAL_MACHINE]\n\"AtRoot\"=dword:00000001\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Empty Leaf]\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\MixedCase]\n\"One\"=\"first\"\n\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\MixedCase\\Child]\n\n"
      "[HKEY_CURRENT_USER\\Software\\QEL]\n"
      "@=\"unnamed\"\n"
      "\"Name\"=\"a \\\\ b \\\" c\"\n"
      "\"Multi\"=hex(7):61,00,62,00,00,00\n"
      "\"Bin\"=hex:01,02,ff\n"
      "\"Empty\"=hex:\n"
      "\"Num\"=dword:0000002a\n"
      "\"Exp\"=hex(2):25,00\n"
      "\"Wrapped\"=hex:01,02,03\n"
      "\"Qu\\\"ote\"=\"\"\n\n";
  EXPECT_EQ(reg.serialize(), expected);
  const std::vector<std::pair<const char*, std::string>> values = {
      {"name", "1:" + sz("a \\ b \" c")},
      {"", "1:" + sz("unnamed")},
      {"Multi", std::string("7:a\0b\0\0\0", 8)},
      {"Bin", "3:\x01\x02\xff"},
      {"Num", std::string("4:\x2a\0\0\0", 6)},
      {"Exp", std::string("2:%\0", 4)},
      {"Wrapped", "3:\x01\x02\x03"},
      {"Qu\"ote", "1:" + sz("")}};
  for (const auto& [name, value] : values)
    EXPECT_EQ(valueOf(reg, kHkeyCurrentUser, "Software\\QEL", name), value) << name;
  RegistryStore again;
  ASSERT_TRUE(again.parse(expected, "registry.reg", &error)) << error;
  EXPECT_EQ(again.serialize(), expected);
}

TEST(RegistryStoreTest, MalformedTextNamesTheLineAndChangesNothing) {
  const std::string head = "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n";  // value lines from line 4
  const std::vector<std::pair<std::string, int>> cases = {
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
  RegistryStore reg;
  RegKey k;
  ASSERT_EQ(reg.createKey(kHkeyLocalMachine, "Kept", &k), kErrorSuccess);
  reg.setValue(k, "v", kRegSz, sz("x"));
  const std::string before = reg.serialize();
  const uint64_t count = reg.changeCount();
  for (const auto& [text, line] : cases) {
    std::string error;
    EXPECT_FALSE(reg.parse(text, "m.reg", &error)) << text;
    const std::string where = "m.reg:" + std::to_string(line) + ": ";
    EXPECT_EQ(error.substr(0, where.size()), where) << text << error;
    EXPECT_GT(error.size(), where.size()) << text;
    EXPECT_EQ(reg.serialize(), before) << text;
    EXPECT_EQ(reg.changeCount(), count) << text;
    EXPECT_EQ(reg.setValue(k, "v", kRegSz, sz("x")), kErrorSuccess) << "the handle stays open";
  }
  // Exactly 512 levels are allowed, by text and by handle.
  std::string error;
  ASSERT_TRUE(reg.parse("REGEDIT4\n\n[HKEY_CURRENT_USER" + deep(512) + "]\n", "d.reg", &error));
  RegKey deepest, deeper;
  EXPECT_EQ(reg.openKey(kHkeyCurrentUser, deep(512).substr(1), &deepest), kErrorSuccess);
  EXPECT_EQ(reg.createKey(deepest, "One", &deeper), kErrorInvalidParameter);
  EXPECT_EQ(reg.createKey(kHkeyLocalMachine, deep(513).substr(1), &deeper), kErrorInvalidParameter);
  EXPECT_EQ(reg.createKey(kHkeyLocalMachine, deep(512).substr(1), &deeper), kErrorSuccess);
}

}  // namespace
}  // namespace zv
