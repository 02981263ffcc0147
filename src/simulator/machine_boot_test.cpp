#include "simulator/machine_boot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "platform/registry_names.h"
#include "simulator/machine_dirs_testing.h"
#include "simulator/posix_file.h"

namespace zv {
namespace {

// A start that could not record its work, or clear the delayed moves, says
// so and fails; run again, it finishes what is left and repeats nothing.
// (What a start does and reports otherwise, the scenario cases show.)
TEST_F(MachineDirsTest, AStartThatCannotRecordItsWorkStopsAndTheNextOneRepeatsNothing) {
  const std::string progress = at("pc/") + kBootProgressFile;
  const struct {
    std::string blocked;  // made a directory, so that it cannot be written
    const char* report;
  } cases[] = {
      {at("pc/registry.reg"), R"(zvboot: delayed move: deleted C:\WINDOWS\A.OLD
zvboot: delayed move: moved C:\WINDOWS\A.DLL to C:\WINDOWS\A.OLD
zvboot: delayed move: moved C:\WINDOWS\ZVa00001 to C:\WINDOWS\A.DLL
zvboot: FAILED: cannot clear the delayed moves in registry.reg; they stay for the next start, which will not repeat those done
)"},
      {progress, R"(zvboot: delayed move: deleted C:\WINDOWS\A.OLD
zvboot: FAILED: cannot record what was done (cannot write )"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.blocked);
    std::filesystem::remove_all(at("pc"));
    // What a first run of the package has put in place, and the original.
    put("pc/drive_c/WINDOWS/A.DLL", "new A");
    put("pc/drive_c/WINDOWS/A.OLD", "old A");
    put("pc/drive_c/WINDOWS/ZVa00001", "newer A");
    std::string error;
    auto machine = SimulatedMachine::openMachine(at("pc"), &error);
    ASSERT_TRUE(machine) << error;
    const std::string a = "C:\\WINDOWS\\A.DLL", old = "C:\\WINDOWS\\A.OLD";
    machine->moveAtRestart(old, nullptr);
    machine->moveAtRestart(a, &old);
    machine->moveAtRestart("C:\\WINDOWS\\ZVa00001", &a);
    std::error_code ignored;
    std::filesystem::rename(c.blocked, c.blocked + ".aside", ignored);
    std::filesystem::create_directory(c.blocked);
    std::ostringstream first, second;
    EXPECT_EQ(bootMachine(*machine, first), 1);
    EXPECT_EQ(first.str().substr(0, std::string(c.report).size()), c.report);
    std::filesystem::remove(c.blocked);
    std::filesystem::rename(c.blocked + ".aside", c.blocked, ignored);
    machine.reset();  // the next start is another process
    machine = SimulatedMachine::openMachine(at("pc"), &error);
    EXPECT_EQ(bootMachine(*machine, second), 0) << second.str();
    std::string text;
    EXPECT_TRUE(readHostFile(at("pc/drive_c/WINDOWS/A.DLL"), &text) && text == "newer A");
    EXPECT_TRUE(readHostFile(at("pc/drive_c/WINDOWS/A.OLD"), &text) && text == "new A")
        << "a move done before is not done again";
    RegKey key;
    uint32_t type = 0, size = 0;
    ASSERT_EQ(machine->regOpenKey(kHkeyLocalMachine, kSessionManagerKey, RegAccess::kRead, &key),
              kErrorSuccess);
    EXPECT_EQ(machine->regQueryValue(key, kPendingMovesValue, &type, nullptr, &size),
              kErrorFileNotFound);
    machine->regCloseKey(key);
    EXPECT_FALSE(std::filesystem::exists(progress));
  }
}

// On Windows 98 a file of a long name replaced through its alias keeps only
// that name, as the system does it.
TEST_F(MachineDirsTest, AFileReplacedThroughItsAliasKeepsOnlyThat) {
  put("pc/drive_c/WINDOWS/Long File.dll", "old");
  put("pc/drive_c/WINDOWS/NEW.DLL", "new");
  put("pc/drive_c/WINDOWS/WININIT.INI",
      "[rename]\r\nC:\\WINDOWS\\LONGFI~1.DLL=C:\\WINDOWS\\NEW.DLL\r\n");
  std::string error, names, text;
  auto machine = SimulatedMachine::openMachine(at("pc"), &error);
  ASSERT_TRUE(machine) << error;
  std::ostringstream out;
  EXPECT_EQ(bootMachine(*machine, out), 0) << out.str();
  std::vector<DirEntry> entries;
  machine->listDir("C:\\WINDOWS", &entries);
  for (const DirEntry& e : entries) names += e.name + " ";
  EXPECT_EQ(names, "LONGFI~1.DLL WININIT.BAK ");
  EXPECT_TRUE(readHostFile(at("pc/drive_c/WINDOWS/LONGFI~1.DLL"), &text) && text == "new");
}

}  // namespace
}  // namespace zv
