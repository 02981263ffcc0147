// A Platform that forwards every call to another one; tests derive from it
// to record calls or to make chosen calls fail. Unique names are made by
// the wrapper itself, through its own exists().
#pragma once

#include "platform/platform.h"

namespace zv {

class PlatformWrapper : public Platform {
 public:
  explicit PlatformWrapper(Platform& target) : target_(target) {}
  Platform& target() { return target_; }

  std::unique_ptr<File> open(const std::string& path, FileMode mode) override {
    return target_.open(path, mode);
  }
  bool stat(const std::string& path, FileStatus* status) override {
    return target_.stat(path, status);
  }
  bool exists(const std::string& path) override { return target_.exists(path); }
  bool createDir(const std::string& path) override { return target_.createDir(path); }
  bool listDir(const std::string& path, std::vector<DirEntry>* entries) override {
    return target_.listDir(path, entries);
  }
  bool deleteFile(const std::string& path) override { return target_.deleteFile(path); }
  bool renameReplacing(const std::string& from, const std::string& to) override {
    return target_.renameReplacing(from, to);
  }
  bool renameNoReplace(const std::string& from, const std::string& to) override {
    return target_.renameNoReplace(from, to);
  }
  bool shortPath(const std::string& path, std::string* shortForm) override {
    return target_.shortPath(path, shortForm);
  }
  bool tempVariable(std::string* value) override { return target_.tempVariable(value); }
  uint32_t processId() override { return target_.processId(); }

  long regOpenKey(RegKey parent, const std::string& subkey, RegAccess access,
                  RegKey* result) override {
    return target_.regOpenKey(parent, subkey, access, result);
  }
  long regCreateKey(RegKey parent, const std::string& subkey, RegKey* result) override {
    return target_.regCreateKey(parent, subkey, result);
  }
  long regQueryValue(RegKey key, const std::string& name, uint32_t* type, void* data,
                     uint32_t* size) override {
    return target_.regQueryValue(key, name, type, data, size);
  }
  long regSetString(RegKey key, const std::string& name, const std::string& value) override {
    return target_.regSetString(key, name, value);
  }
  long regDeleteValue(RegKey key, const std::string& name) override {
    return target_.regDeleteValue(key, name);
  }
  long regDeleteKey(RegKey key, const std::string& subkey) override {
    return target_.regDeleteKey(key, subkey);
  }
  long regEnumKey(RegKey key, uint32_t index, char* name, uint32_t* nameSize) override {
    return target_.regEnumKey(key, index, name, nameSize);
  }
  long regQuerySubkeyCount(RegKey key, uint32_t* count) override {
    return target_.regQuerySubkeyCount(key, count);
  }
  long regCloseKey(RegKey key) override { return target_.regCloseKey(key); }

  std::string commandLine() override { return target_.commandLine(); }
  bool windowsDirectory(std::string* dir) override { return target_.windowsDirectory(dir); }
  bool getVersion(VersionInfo* info) override { return target_.getVersion(info); }
  bool moveAtRestart(const std::string& source, const std::string* destination) override {
    return target_.moveAtRestart(source, destination);
  }
  void enableShutdownPrivilege() override { target_.enableShutdownPrivilege(); }
  bool restartWindows() override { return target_.restartWindows(); }

  bool createLogWindow(int showState) override { return target_.createLogWindow(showState); }
  void setLogWindowClient(LogWindowClient* client) override { target_.setLogWindowClient(client); }
  void entryAppended(const std::string& text) override { target_.entryAppended(text); }
  bool pump() override { return target_.pump(); }
  int messageLoop() override { return target_.messageLoop(); }
  void closeLogWindow() override { target_.closeLogWindow(); }
  bool logWindowClosed() override { return target_.logWindowClosed(); }
  int messageBox(const std::string& text, const std::string& caption, unsigned style) override {
    return target_.messageBox(text, caption, style);
  }

 private:
  Platform& target_;
};

}  // namespace zv
