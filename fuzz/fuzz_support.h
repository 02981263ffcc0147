// What the fuzz targets share: a quiet trace, a scratch directory per
// process, and simulated machines inside it that cannot reach the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/platform_wrapper.h"
#include "simulator/simulated_machine.h"

namespace zv::fuzz {

// The host directory of this process's scratch files, made on first use
// and removed when the process exits normally. TEMP points into it.
const std::string& scratchDir();

// Discards every TracePrint line.
void silenceTrace();

// Paths without a drive letter would reach the host's own file system;
// they are moved onto drive C: of the machine. Only the scratch TEMP
// folder (without "..") is let through as a host path.
class SandboxPlatform : public PlatformWrapper {
 public:
  explicit SandboxPlatform(Platform& target) : PlatformWrapper(target) {}

  std::unique_ptr<File> open(const std::string& path, FileMode mode) override {
    return target().open(confine(path), mode);
  }
  bool stat(const std::string& path, FileStatus* status) override {
    return target().stat(confine(path), status);
  }
  bool exists(const std::string& path) override { return target().exists(confine(path)); }
  bool createDir(const std::string& path) override { return target().createDir(confine(path)); }
  bool listDir(const std::string& path, std::vector<DirEntry>* entries) override {
    return target().listDir(confine(path), entries);
  }
  bool deleteFile(const std::string& path) override { return target().deleteFile(confine(path)); }
  bool renameReplacing(const std::string& from, const std::string& to) override {
    return target().renameReplacing(confine(from), confine(to));
  }
  bool renameNoReplace(const std::string& from, const std::string& to) override {
    return target().renameNoReplace(confine(from), confine(to));
  }
  bool shortPath(const std::string& path, std::string* shortForm) override {
    return target().shortPath(confine(path), shortForm);
  }

  static std::string confine(const std::string& path);
};

// A fresh simulated machine in scratchDir()/name (anything there before is
// removed), with a screen that prints nowhere and answers nothing (boxes
// answer OK or No), installed as the current platform behind a sandbox.
class Machine {
 public:
  explicit Machine(const std::string& name);
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  SimulatedMachine& machine() { return *machine_; }
  const std::string& hostDir() const { return hostDir_; }

 private:
  std::string hostDir_;
  // No buffer: whatever is written is dropped, so nothing grows.
  std::ostream discard_{nullptr};
  std::istringstream in_;
  std::unique_ptr<SimulatedMachine> machine_;
  std::unique_ptr<SandboxPlatform> sandbox_;
  Platform* previous_ = nullptr;
};

// Writes bytes to a Windows path of the current platform; aborts when it
// cannot, as every target depends on its input file.
void writeFile(const std::string& path, const std::string& bytes);
void writeFile(const std::string& path, const uint8_t* data, size_t size);
// The whole file, or empty when it cannot be read.
std::string readFile(const std::string& path);

}  // namespace zv::fuzz
