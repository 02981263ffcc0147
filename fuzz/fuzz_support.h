// What the fuzz targets share: a quiet trace, a scratch directory per
// process, simulated machines inside it that cannot reach the host, and the
// patch engine's surroundings on such a machine, as the program sets them up.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "base/error.h"
#include "engine/data_file.h"
#include "engine/nls_class.h"
#include "files/compressed_file.h"
#include "platform/platform_wrapper.h"
#include "platform/trace.h"
#include "simulator/simulated_machine.h"

namespace zv::fuzz {

// Stops the process, which libFuzzer reports with the input, when a
// property of the input's outcome does not hold.
inline void require(bool holds, const std::string& what) {
  if (holds) return;
  std::fprintf(stderr, "fuzz: %s\n", what.c_str());
  std::abort();
}

// This process's scratch directory on the host, made on first use (in
// memory when possible: the machine syncs every registry write) and removed
// at a normal exit; a crash leaves it for inspection. TEMP points into it.
// ZV_FUZZ_SCRATCH lets a script collect what crashed processes leave.
inline const std::string& scratchDir() {
  static const std::string* dir = [] {
    static struct : TraceOutput {
      void print(bool, const std::string&) override {}
    } silent;
    setTraceOutput(&silent);
    const char* given = std::getenv("ZV_FUZZ_SCRATCH");
    std::string made = std::string(given && *given                 ? given
                                   : access("/dev/shm", W_OK) == 0 ? "/dev/shm"
                                                                   : "/tmp") +
                       "/zvfuzz-XXXXXX";
    require(mkdtemp(&made[0]) != nullptr, "mkdtemp failed");
    std::filesystem::create_directories(made + "/TEMP");
    setenv("TEMP", (made + "/TEMP").c_str(), 1);
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(scratchDir(), ignored);
    });
    return new std::string(made);  // never destroyed: the exit handler needs it
  }();
  return *dir;
}

// A path without a drive letter would reach the host's own files (a
// relative one, those of the current directory): it goes to drive C:.
class Sandbox : public PlatformWrapper {
 public:
  using PlatformWrapper::PlatformWrapper;
  static std::string confine(const std::string& p) {
    return p.size() >= 2 && p[1] == ':' ? p : "C:\\" + p;
  }
  std::unique_ptr<File> open(const std::string& p, FileMode mode) override {
    return target().open(confine(p), mode);
  }
  bool createDir(const std::string& p) override { return target().createDir(confine(p)); }
  bool deleteFile(const std::string& p) override { return target().deleteFile(confine(p)); }
  bool renameReplacing(const std::string& from, const std::string& to) override {
    return target().renameReplacing(confine(from), confine(to));
  }
  bool renameNoReplace(const std::string& from, const std::string& to) override {
    return target().renameNoReplace(confine(from), confine(to));
  }
};

// A fresh simulated machine in scratchDir()/name, with a screen that prints
// nowhere and answers nothing (OK, or No), current behind a sandbox.
class Machine {
 public:
  explicit Machine(const std::string& name) {
    const std::string dir = scratchDir() + "/" + name;
    std::filesystem::remove_all(dir);
    std::string error;
    machine_ = SimulatedMachine::openMachine(dir, &error);
    require(machine_ != nullptr, "cannot open the machine: " + error);
    machine_->setScreenStreams(discard_, discard_, in_, "", false);
    sandbox_ = std::make_unique<Sandbox>(*machine_);
    previous_ = Platform::setCurrent(sandbox_.get());
  }
  ~Machine() { Platform::setCurrent(previous_); }

 private:
  std::ostream discard_{nullptr};  // no buffer: nothing written grows
  std::istringstream in_;
  std::unique_ptr<SimulatedMachine> machine_;
  std::unique_ptr<Sandbox> sandbox_;
  Platform* previous_ = nullptr;
};

// Every target depends on its input file: a write that fails stops it.
inline void writeFile(const std::string& path, const void* data, size_t size) {
  std::unique_ptr<File> f = Platform::current().open(path, FileMode::kWrite);
  require(f && (size == 0 || f->write(data, size) == static_cast<int64_t>(size)),
          "cannot write " + path);
}
inline void writeFile(const std::string& path, const std::string& bytes) {
  writeFile(path, bytes.data(), bytes.size());
}
// The whole file, or nothing when it cannot be read.
inline std::string readFile(const std::string& path) {
  std::string bytes;
  std::unique_ptr<File> f = Platform::current().open(path, FileMode::kRead);
  char buffer[4096];
  for (int64_t n; f && (n = f->read(buffer, sizeof buffer)) > 0;) bytes.append(buffer, n);
  return bytes;
}

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

  explicit EngineWorld(const std::string& name) : name_(name) { rebuild(); }

  // A machine as it was at the start, so that no run sees what an earlier
  // one did.
  void rebuild() {
    settings_ = ConfigData();
    machine_.reset();
    machine_ = std::make_unique<Machine>(name_);
    Platform& p = Platform::current();
    for (const char* dir : {"C:\\PKG", "C:\\PROD", "C:\\PROD\\DOC", "C:\\WINDOWS\\SYSTEM"}) {
      p.createDir(dir);
    }
    std::string messages;
    for (int n = 1; n <= 47; ++n) messages += "M" + std::to_string(n) + "\r\n";
    writeFile("C:\\PKG\\UPD.MSG", messages);
    writeFile("C:\\PKG\\ZVPATCH.001", "disk 1\r\n");
    writeFile("C:\\PKG\\NEW.DLL", "new library\r\n");
    writeFile("C:\\PKG\\CORE.DLL", "core library, version 2\r\n");
    if (compressedCore_.empty()) {  // made once, by the program itself
      compressFile("C:\\PKG\\CORE.DLL", "C:\\PKG\\CORE.DL_", false);
      compressedCore_ = readFile("C:\\PKG\\CORE.DL_");
    }
    writeFile("C:\\PKG\\CORE.DL_", compressedCore_);
    writeFile("C:\\PKG\\README.TXT", "Installed in \\ZEVRA, Windows in \\WINDOWS.\r\n");
    writeFile("C:\\PROD\\CORE.DLL", "core library, version 1\r\n");
    writeFile("C:\\PROD\\B.TXT", "b\r\n");
    writeFile("C:\\PROD\\R1.DLL", "r1\r\n");
    writeFile("C:\\PROD\\ZEVRA.INI", "[Settings]\r\nVersion=1.0\r\n\r\n[Legacy]\r\nA=1\r\n");
    writeFile("C:\\WINDOWS\\ZEVRA.INI",
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

  std::string name_;
  std::unique_ptr<Machine> machine_;
  std::unique_ptr<NLSClass> catalog_;
  std::string compressedCore_;
  ConfigData settings_;  // its profiles go before the machine they are on
};

}  // namespace zv::fuzz
