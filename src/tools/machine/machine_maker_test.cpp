#include "tools/machine/machine_maker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "simulator/machine_dirs_testing.h"
#include "simulator/posix_file.h"
#include "simulator/simulated_machine.h"

namespace zv {
namespace {

class MachineMakerTest : public MachineDirsTest {};

// Every Version opens as that Windows, with the product where its settings
// say it is, in the settings file or in the registry image.
TEST_F(MachineMakerTest, EveryVersionWithTheProductInstalled) {
  for (const std::string& version : allVersions()) {
    for (bool image : {false, true}) {
      SCOPED_TRACE(version + (image ? " with the registry image" : ""));
      MachineSpec spec;
      spec.version = version;
      spec.registryImage = image;
      spec.settings.push_back({"Zevra", "Version", "1.0"});
      std::string dir = top_ + "/" + version + (image ? "-image" : "");
      std::string error;
      ASSERT_TRUE(makeMachine(dir, spec, &error)) << error;
      std::unique_ptr<SimulatedMachine> m = SimulatedMachine::openMachine(dir, &error);
      ASSERT_TRUE(m) << error;
      EXPECT_EQ(m->config().version, version);
      std::string windows;
      ASSERT_TRUE(m->windowsDirectory(&windows));
      EXPECT_EQ(windows, version == "nt40" || version == "nt351" ? "C:\\WINNT" : "C:\\WINDOWS");
      EXPECT_TRUE(m->exists("C:\\ZEVRA\\ZEVRA.INI"));
      std::string settings;
      bool file = readHostFile(m->hostPath(windows + "\\ZEVRA.INI"), &settings);
      EXPECT_EQ(file, !image);
      if (file) {
        EXPECT_EQ(settings, "[Zevra]\r\nroot=C:\\ZEVRA\r\nVersion=1.0\r\n");
      }
      RegKey key;
      bool inRegistry = m->regOpenKey(kHkeyLocalMachine, "SOFTWARE\\QEL\\RUZEVU\\ZEVRA.INI\\Zevra",
                                      RegAccess::kRead, &key) == kErrorSuccess;
      EXPECT_EQ(inRegistry, image);
      if (inRegistry) m->regCloseKey(key);
    }
  }
  std::string error;
  EXPECT_FALSE(makeMachine(top_ + "/win98", MachineSpec(), &error)) << "it exists";
  MachineSpec bad;
  bad.version = "win2000";
  EXPECT_FALSE(makeMachine(top_ + "/new", bad, &error));
  EXPECT_NE(error.find("unknown version"), std::string::npos);
  bad = MachineSpec();
  bad.windowsDir = "WINDOWS";
  EXPECT_FALSE(makeMachine(top_ + "/new", bad, &error)) << "a Windows directory needs its drive";

  MachineSpec noProduct;
  size_t at = 0;
  EXPECT_EQ(readMachineOption({"--no-product"}, &at, &noProduct), 1);
  EXPECT_TRUE(noProduct.productDir.empty());
}

// Registry values by the roots' names or short names; a value the machine
// could not hold leaves no machine behind.
TEST_F(MachineMakerTest, RegistryValuesByRootNames) {
  MachineSpec spec;
  spec.registry = {{"HKLM\\SOFTWARE\\QEL\\RUZEVU\\Driver", "Version", "1.0"},
                   {"hkey_current_user\\Software\\QEL", "Path", "C:\\A \"B\""}};
  std::string dir = top_ + "/machine", error;
  ASSERT_TRUE(makeMachine(dir, spec, &error)) << error;
  std::unique_ptr<SimulatedMachine> m = SimulatedMachine::openMachine(dir, &error);
  ASSERT_TRUE(m) << error;
  for (const auto& [root, key, name, value] :
       {std::tuple{kHkeyLocalMachine, "SOFTWARE\\QEL\\RUZEVU\\Driver", "Version", "1.0"},
        std::tuple{kHkeyCurrentUser, "Software\\QEL", "Path", "C:\\A \"B\""}}) {
    RegKey handle;
    ASSERT_EQ(m->regOpenKey(root, key, RegAccess::kRead, &handle), kErrorSuccess) << key;
    char data[64] = {};
    uint32_t type = 0, size = sizeof data;
    EXPECT_EQ(m->regQueryValue(handle, name, &type, data, &size), kErrorSuccess);
    EXPECT_STREQ(data, value);
    m->regCloseKey(handle);
  }
  for (const char* key : {"HKXX\\SOFTWARE\\QEL", "HKLM", "SOFTWARE\\QEL"}) {
    MachineSpec bad;
    bad.registry = {{key, "Version", "1.0"}};
    EXPECT_FALSE(makeMachine(top_ + "/bad", bad, &error)) << key;
    EXPECT_FALSE(std::filesystem::exists(top_ + "/bad")) << key;
  }
}

}  // namespace
}  // namespace zv
