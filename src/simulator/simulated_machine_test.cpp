#include "simulator/simulated_machine.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "simulator/machine_dirs_testing.h"
#include "simulator/posix_file.h"

namespace zv {
namespace {

class SimulatedMachineTest : public MachineDirsTest {
 protected:
  std::unique_ptr<SimulatedMachine> open(const std::string& version) {
    put("pc/machine.ini", "[Machine]\r\nVersion=" + version + "\r\n");
    std::string error;
    std::unique_ptr<SimulatedMachine> m = SimulatedMachine::openMachine(at("pc"), &error);
    EXPECT_TRUE(m) << error;
    return m;
  }
};

// Windows 95/98/Me: long names get short aliases when they are made, kept in
// short-names; a machine made by hand gets them in name order on first use.
// Lookups and GetShortPathName take them; NT machines have none. Folders
// list in name order, whatever the host's order.
TEST_F(SimulatedMachineTest, LongNamesHaveStableShortAliasesOnWindows98) {
  put("pc/drive_c/Old Stuff/Program Files 1", "made by hand");
  std::filesystem::create_directories(at("pc/drive_c/Old Stuff/Program Files 2"));
  {
    std::unique_ptr<SimulatedMachine> m = open("win98");
    std::string form;
    ASSERT_TRUE(m->shortPath("C:\\Old Stuff\\Program Files 2", &form));
    EXPECT_EQ(form, "C:\\OLDSTU~1\\PROGRA~2") << "name order: Program Files 1 is ~1";
    EXPECT_TRUE(m->createDir("C:\\OLDSTU~1\\Program Files 3"));
    EXPECT_TRUE(m->open("C:\\OLDSTU~1\\readme.txt", FileMode::kWrite));
    ASSERT_TRUE(m->shortPath("C:\\Old Stuff\\Program Files 3", &form));
    EXPECT_EQ(form, "C:\\OLDSTU~1\\PROGRA~3");
    ASSERT_TRUE(m->shortPath("C:\\old stuff\\README.TXT", &form));
    EXPECT_EQ(form, "C:\\OLDSTU~1\\README.TXT");
    EXPECT_TRUE(m->exists("c:\\oldstu~1\\progra~1"));
    EXPECT_FALSE(m->shortPath("C:\\Old Stuff\\missing", &form));
    // A name that goes gives up its alias; the others keep theirs.
    EXPECT_TRUE(m->deleteFile("C:\\Old Stuff\\Program Files 1"));
    EXPECT_FALSE(m->deleteFile("C:\\Old Stuff\\Program Files 1"));
    EXPECT_TRUE(m->open("C:\\Old Stuff\\Program Files 4", FileMode::kWrite));
    ASSERT_TRUE(m->shortPath("C:\\Old Stuff\\Program Files 4", &form));
    EXPECT_EQ(form, "C:\\OLDSTU~1\\PROGRA~1");
    std::vector<DirEntry> entries;
    ASSERT_TRUE(m->listDir("C:\\Old Stuff", &entries));
    std::string names;
    for (const DirEntry& e : entries) names += e.name + " ";
    EXPECT_EQ(names, "Program Files 2 Program Files 3 Program Files 4 readme.txt ");
  }
  std::string text;
  ASSERT_TRUE(readHostFile(at("pc/short-names"), &text));
  EXPECT_EQ(text,
            "drive_c/Old Stuff\tOLDSTU~1\n"
            "drive_c/Old Stuff/Program Files 2\tPROGRA~2\n"
            "drive_c/Old Stuff/Program Files 3\tPROGRA~3\n"
            "drive_c/Old Stuff/Program Files 4\tPROGRA~1\n");
  put("pc/short-names", "drive_c/X\tNOT A SHORT NAME\n");
  std::string error;
  EXPECT_FALSE(SimulatedMachine::openMachine(at("pc"), &error));
  EXPECT_EQ(error, at("pc/short-names") + ":1: not PATH<TAB>SHORT NAME");
  put("pc/short-names", "");
  std::unique_ptr<SimulatedMachine> nt = open("nt40");
  EXPECT_FALSE(nt->exists("C:\\OLDSTU~1"));
}

}  // namespace
}  // namespace zv
