// A simulated Windows machine kept in a directory: machine.ini says which
// Windows it is, registry.reg holds its registry, drive_x/ its drives and
// events.log what its user saw and did (docs/simulator.md describes it for
// package authors).
#pragma once

#include <iostream>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/registry_store.h"
#include "simulator/events_log.h"
#include "simulator/machine_config.h"
#include "simulator/machine_lock.h"
#include "simulator/machine_paths.h"
#include "simulator/short_names.h"
#include "simulator/terminal_screen.h"

namespace zv {

class SimulatedMachine : public Platform {
 public:
  // Opens the machine in dir, creating a fresh one (Windows 98, empty
  // registry) when dir does not exist, and holds its lock until the object
  // goes. A malformed machine.ini or registry.reg gives nullptr and
  // "<file>:<line>: <problem>" in *error, as does a machine that stays in
  // use by another run; nothing is changed on disk then.
  static std::unique_ptr<SimulatedMachine> openMachine(const std::string& dir, std::string* error);

  // The machine's folder when none is named: ZVPATCH_MACHINE, else
  // ~/.zvpatch.
  static std::string defaultDir();
  // openMachine(defaultDir()), its failure written to standard error as
  // "<tool>: the simulated machine cannot start: <why>".
  static std::unique_ptr<SimulatedMachine> openDefault();

  // Where the screen writes and reads; defaults are the process's streams
  // and ZVPATCH_ANSWERS.
  void setScreenStreams(std::ostream& out, std::ostream& err, std::istream& in,
                        const std::string& answers, bool interactive);
  // The command line of the program, program path first. The program's
  // folder, the paths of its switches and TEMP are the host paths a person
  // handed over (see MachinePaths).
  void setCommandLine(const std::string& commandLine);

  const std::string& dir() const { return dir_; }
  const MachineConfig& config() const { return config_; }
  std::string hostPath(const std::string& windowsPath) const { return paths_.toHost(windowsPath); }
  bool restartRequested() const { return restartRequested_; }
  // A Windows 95/98/Me machine, whose names have short aliases.
  bool hasShortNames() const { return shortNames_ != nullptr; }
  // A file or directory made or gone by other means than this class's (the
  // restart's moves), given by host path: its short name follows.
  void noteAdded(const std::string& hostPath);
  void noteRemoved(const std::string& hostPath);

  std::unique_ptr<File> open(const std::string& path, FileMode mode) override;
  bool stat(const std::string& path, FileStatus* status) override;
  bool exists(const std::string& path) override;
  bool createDir(const std::string& path) override;
  bool listDir(const std::string& path, std::vector<DirEntry>* entries) override;
  bool deleteFile(const std::string& path) override;
  bool renameReplacing(const std::string& from, const std::string& to) override;
  bool renameNoReplace(const std::string& from, const std::string& to) override;
  bool shortPath(const std::string& path, std::string* shortForm) override;
  bool tempVariable(std::string* value) override;
  uint32_t processId() override;

  long regOpenKey(RegKey parent, const std::string& subkey, RegAccess access,
                  RegKey* result) override;
  long regCreateKey(RegKey parent, const std::string& subkey, RegKey* result) override;
  long regQueryValue(RegKey key, const std::string& name, uint32_t* type, void* data,
                     uint32_t* size) override;
  long regSetString(RegKey key, const std::string& name, const std::string& value) override;
  long regDeleteValue(RegKey key, const std::string& name) override;
  long regDeleteKey(RegKey key, const std::string& subkey) override;
  long regEnumKey(RegKey key, uint32_t index, char* name, uint32_t* nameSize) override;
  long regQuerySubkeyCount(RegKey key, uint32_t* count) override;
  long regCloseKey(RegKey key) override;

  std::string commandLine() override { return commandLine_; }
  bool windowsDirectory(std::string* dir) override;
  bool getVersion(VersionInfo* info) override;
  bool moveAtRestart(const std::string& source, const std::string* destination) override;
  void enableShutdownPrivilege() override { privilegeEnabled_ = true; }
  bool restartWindows() override;

  bool createLogWindow(int showState) override;
  void setLogWindowClient(LogWindowClient*) override {}
  void entryAppended(const std::string& text) override { screen_->entryAppended(text); }
  bool pump() override { return screen_->pump(); }
  int messageLoop() override { return screen_->messageLoop(); }
  void closeLogWindow() override { screen_->postDestroy(); }
  bool logWindowClosed() override { return screen_->closed(); }
  int messageBox(const std::string& text, const std::string& caption, unsigned style) override {
    return screen_->messageBox(text, caption, style);
  }

 private:
  explicit SimulatedMachine(const std::string& dir);
  // After a registry call: writes registry.reg when the content changed.
  long saveRegistry(long result);

  std::string dir_;
  MachineLock lock_;  // held while the machine is open
  MachineConfig config_;
  MachinePaths paths_;
  std::unique_ptr<ShortNames> shortNames_;  // Windows 95/98/Me only
  RegistryStore registry_;
  uint64_t savedChangeCount_ = 0;
  EventsLog events_;
  std::unique_ptr<TerminalScreen> screen_;
  std::string commandLine_;
  bool privilegeEnabled_ = false;
  bool restartRequested_ = false;
};

}  // namespace zv
