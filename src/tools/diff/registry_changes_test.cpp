#include "tools/diff/registry_changes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zv {
namespace {

using Lines = std::vector<std::string>;

void load(RegistryStore* store, const std::string& body) {
  std::string error;
  ASSERT_TRUE(store->parse("REGEDIT4\n\n" + body, "t.reg", &error)) << error;
}

// "path: line | line" per changed key.
Lines describe(const std::vector<KeyChanges>& changes) {
  Lines out;
  for (const KeyChanges& key : changes) {
    std::string s = key.path + ":";
    for (const std::string& line : key.lines) s += " | " + line;
    out.push_back(s);
  }
  return out;
}

TEST(RegistryChanges, KeysAndValuesAddedChangedAndRemoved) {
  RegistryStore before, after;
  load(&before,
       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zevra]\n\"Version\"=\"1.0\"\n\"Old\"=\"x\"\n\"Same\"=\"s\"\n"
       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone]\n@=dword:00000001\n"
       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zevra\\Old]\n\"X\"=\"y\"\n"
       "[HKEY_CURRENT_USER\\Kept]\n\"Type\"=\"1\"\n\"Expand\"=\"x\"\n");
  load(&after,
       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\zevra]\n\"version\"=\"1.1\"\n\"Same\"=\"s\"\n"
       "\"Mode\"=dword:00000002\n"
       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zevra\\Driver]\n\"Bin\"=hex:01,ff\n"
       "[HKEY_CURRENT_USER\\Kept]\n\"Type\"=dword:00000001\n\"Expand\"=hex(2):78,00\n");
  EXPECT_EQ(
      describe(registryChanges(before, after)),
      (Lines{
          "HKEY_CURRENT_USER\\Kept: | \"Type\" changed: \"1\" -> dword:00000001 | "
          "\"Expand\" changed: \"x\" -> hex(2):78,00",
          "HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone: | key removed | @ removed (was: dword:00000001)",
          "HKEY_LOCAL_MACHINE\\SOFTWARE\\zevra: | \"version\" changed: \"1.0\" -> \"1.1\" | "
          "\"Mode\" added: dword:00000002 | \"Old\" removed (was: \"x\")",
          "HKEY_LOCAL_MACHINE\\SOFTWARE\\zevra\\Driver: | key added | \"Bin\" added: hex:01,ff",
          // A removed key keeps the case it had.
          "HKEY_LOCAL_MACHINE\\SOFTWARE\\Zevra\\Old: | key removed | \"X\" removed (was: \"y\")",
      }));
  EXPECT_EQ(describe(registryChanges(after, after)), Lines{});

  // Many values in one key, now in another order and case.
  std::string many = "[HKEY_USERS\\Many]\n", manyNow = many;
  for (int i = 0; i < 30; ++i) {
    std::string n = std::to_string(i);
    many += "\"V" + n + "\"=\"" + n + "\"\n";
    if (i != 8)
      manyNow.insert(manyNow.find(']') + 2, "\"v" + n + "\"=\"" + (i == 7 ? "seven" : n) + "\"\n");
  }
  RegistryStore manyBefore, manyAfter;
  load(&manyBefore, many);
  load(&manyAfter, manyNow + "\"New\"=\"n\"\n");
  EXPECT_EQ(describe(registryChanges(manyBefore, manyAfter)),
            Lines{"HKEY_USERS\\Many: | \"v7\" changed: \"7\" -> \"seven\" | \"New\" added: \"n\" | "
                  "\"V8\" removed (was: \"8\")"});
}

TEST(RegistryChanges, NewKeysOnTheWayToANewKeyAreImplied) {
  RegistryStore before, after;
  load(&before, "[HKEY_CURRENT_USER\\Software]\n");
  load(&after,
       "[HKEY_CURRENT_USER\\Software\\QEL]\n"
       "[HKEY_CURRENT_USER\\Software\\QEL\\App]\n\"V\"=\"1\"\n"
       "[HKEY_CURRENT_USER\\Software\\QEL\\App\\Empty]\n"
       "[HKEY_CURRENT_USER\\Software\\QEL2]\n");
  EXPECT_EQ(describe(registryChanges(before, after)),
            (Lines{"HKEY_CURRENT_USER\\Software\\QEL\\App: | key added | \"V\" added: \"1\"",
                   "HKEY_CURRENT_USER\\Software\\QEL\\App\\Empty: | key added",
                   "HKEY_CURRENT_USER\\Software\\QEL2: | key added"}));
  // Removed keys are all shown: the top one says what went.
  EXPECT_EQ(describe(registryChanges(after, before)).size(), 4u);
}

TEST(RegistryChanges, IgnoredValuesAreLeftOut) {
  RegistryStore before, after;
  const std::string key = "HKEY_LOCAL_MACHINE\\SYSTEM\\Session Manager";
  load(&before, "[" + key + "]\n");
  load(&after, "[" + key + "]\n\"Pending\"=hex(7):61,00,00\n\"Other\"=\"1\"\n");
  EXPECT_EQ(describe(registryChanges(before, after, {{key, "PENDING"}})),
            Lines{key + ": | \"Other\" added: \"1\""});
  EXPECT_EQ(describe(registryChanges(before, after)).size(), 1u);
  EXPECT_EQ(registryChanges(before, after)[0].lines.size(), 2u);
  // Its key, made for it and left behind empty, is no change either.
  RegistryStore fresh;
  load(&fresh, "");
  EXPECT_EQ(describe(registryChanges(fresh, before, {{key, "PENDING"}})), Lines{});
}

}  // namespace
}  // namespace zv
