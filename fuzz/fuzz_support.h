// What the fuzz targets share: a machine held in memory with a quiet trace,
// and the patch engine's surroundings on it, as the program sets them up.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "base/error.h"
#include "engine/data_file.h"
#include "engine/nls_class.h"
#include "files/compressed_file.h"
#include "platform/testing/memory_platform.h"
#include "platform/trace.h"

namespace zv::fuzz {

// Stops the process, which libFuzzer reports with the input, when a
// property of the input's outcome does not hold.
inline void require(bool holds, const std::string& what) {
  if (holds) return;
  std::fprintf(stderr, "fuzz: %s\n", what.c_str());
  std::abort();
}

// A fresh Windows 98 held in memory, current while it lives: no input
// reaches the host. The trace prints nowhere; every box is answered No, or
// OK.
class Machine : public MemoryTestPlatform {
 public:
  Machine() {
    static struct : TraceOutput {
      void print(bool, const std::string&) override {}
    } silent;
    setTraceOutput(&silent);
  }

  // What the in-memory machine recorded goes, so that a long run does not grow.
  void forgetRecords() {
    platform().opened.clear();
    platform().boxes.clear();
    platform().logLines.clear();
  }
};

// FNV-1a: settings that follow from the input, the same on every run.
inline uint32_t hashOf(const uint8_t* data, size_t size) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
  return h;
}

// The engine's surroundings: a catalog whose message n reads "Mn", the
// product's settings (in ZEVRA.INI or its registry image), a package with
// its label file and files, and a product directory holding a few files.
class EngineWorld {
 public:
  static constexpr char kDefinition[] = "C:\\PKG\\UPD.DAT";

  EngineWorld() { rebuild(); }

  // A machine as it was at the start, so that no run sees what an earlier
  // one did.
  void rebuild() {
    settings_ = ConfigData();
    machine_.reset();
    machine_ = std::make_unique<Machine>();
    MemoryPlatform& p = machine_->platform();
    for (const char* dir : {"C:\\PKG", "C:\\PROD", "C:\\PROD\\DOC", "C:\\WINDOWS\\SYSTEM"}) {
      p.createDir(dir);
    }
    std::string messages;
    for (int n = 1; n <= 47; ++n) messages += "M" + std::to_string(n) + "\r\n";
    p.write("C:\\PKG\\UPD.MSG", messages);
    p.write("C:\\PKG\\ZVPATCH.001", "disk 1\r\n");
    p.write("C:\\PKG\\NEW.DLL", "new library\r\n");
    p.write("C:\\PKG\\CORE.DLL", "core library, version 2\r\n");
    if (compressedCore_.empty()) {  // made once, by the program itself
      compressFile("C:\\PKG\\CORE.DLL", "C:\\PKG\\CORE.DL_", false);
      compressedCore_ = p.read("C:\\PKG\\CORE.DL_");
    }
    p.write("C:\\PKG\\CORE.DL_", compressedCore_);
    p.write("C:\\PKG\\README.TXT", "Installed in \\ZEVRA, Windows in \\WINDOWS.\r\n");
    p.write("C:\\PROD\\CORE.DLL", "core library, version 1\r\n");
    p.write("C:\\PROD\\B.TXT", "b\r\n");
    p.write("C:\\PROD\\R1.DLL", "r1\r\n");
    p.write("C:\\PROD\\ZEVRA.INI", "[Settings]\r\nVersion=1.0\r\n\r\n[Legacy]\r\nA=1\r\n");
    p.write("C:\\WINDOWS\\ZEVRA.INI",
            "[Zevra]\r\nroot=C:\\PROD\r\n\r\n[Versions]\r\nDriver=4.00\r\nName= ABC \r\n"
            "Old=3.1\r\n\r\n[Install]\r\nPatch0=OLD0001\r\n\r\n[Options]\r\nColor=red\r\n");
    setString(kHkeyLocalMachine, "SOFTWARE\\QEL\\Driver", "Version", "1.0");
    setString(kHkeyLocalMachine, "SOFTWARE\\QEL\\Driver", "", "unnamed");
    setString(kHkeyCurrentUser, "Software\\QEL\\Old\\Sub", "K", "v");
    setString(kHkeyLocalMachine, std::string(kImage) + "\\Zevra", "root", "C:\\PROD");
    if (!catalog_) {  // read once
      catalog_ = std::make_unique<NLSClass>("C:\\PKG\\UPD.MSG");
      std::string failure;
      require(catalog_->LoadCatalog(&failure) == 1, failure);
    }
    settings_.setWindowsDir("C:\\WINDOWS");
    settings_.setProductDir("C:\\PROD");
    settings_.setProgramDir("C:\\PKG\\");
    settings_.setProductProfile(
        std::make_unique<Profile>("C:\\PROD\\ZEVRA.INI", Profile::kFileMode));
    chooseSettings(1);
  }

  // Run settings the section walk depends on, chosen by bits.
  void chooseSettings(uint32_t bits) {
    machine_->forgetRecords();
    static const OsDetection kDetections[] = {OsDetection::kWindows95, OsDetection::kWindows98,
                                              OsDetection::kNt40, OsDetection::kWindows2000};
    const OsDetection detection = kDetections[bits & 3];
    settings_.setOsDetection(detection);
    settings_.setOsClass(bits & 2 ? OsClass::kNt : OsClass::kWindows9x);
    settings_.setInteractive((bits >> 2) & 1);
    settings_.setCid((bits >> 3) & 1);
    settings_.setDebug((bits >> 4) & 1);
    settings_.setCompression((bits >> 5) & 1);
    settings_.setForce((bits >> 6) & 1);
    settings_.setBackup((bits >> 7) & 1);
    const bool inRegistry = (bits >> 8) & 1;
    settings_.setRegistryLocation(inRegistry ? 1 : 0);
    settings_.setLocationProfile(
        std::make_unique<Profile>(inRegistry ? kImage : "C:\\WINDOWS\\ZEVRA.INI",
                                  inRegistry ? Profile::kRegistryMode : Profile::kFileMode));
  }

  ConfigData& settings() { return settings_; }
  MemoryPlatform& platform() { return machine_->platform(); }
  NLSClass& catalog() { return *catalog_; }

 private:
  static constexpr char kImage[] = "SOFTWARE\\QEL\\RUZEVU\\ZEVRA.INI";

  static void setString(RegKey root, const std::string& path, const std::string& name,
                        const std::string& value) {
    Platform& p = Platform::current();
    RegKey key;
    if (p.regCreateKey(root, path, &key) != kErrorSuccess) return;
    p.regSetString(key, name, value);
    p.regCloseKey(key);
  }

  std::unique_ptr<Machine> machine_;
  std::unique_ptr<NLSClass> catalog_;
  std::string compressedCore_;
  ConfigData settings_;  // its profiles go before the machine they are on
};

}  // namespace zv::fuzz
