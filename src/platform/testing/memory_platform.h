// A whole Platform held in memory, for unit tests that need files and a
// registry but not the host: nothing touches the disk, so a test may make
// thousands of runs. Files and folders behave as on Windows (names found
// without regard to case, new names keep theirs, short aliases for long
// names); the registry follows the Win32 result codes; what happens at the
// next start, the restart and the screen are recorded.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/registry_store.h"

namespace zv {

class MemoryPlatform : public Platform {
 public:
  // Drive C: with the Windows directory and its TEMP folder, an empty
  // registry, Windows 98.
  MemoryPlatform();
  ~MemoryPlatform() override;
  MemoryPlatform(const MemoryPlatform&) = delete;
  MemoryPlatform& operator=(const MemoryPlatform&) = delete;

  // What the system calls answer; a test may change them. An empty TEMP
  // is an unset one, an empty Windows directory one that cannot be found.
  std::string windowsDir = "C:\\WINDOWS";
  std::string temp = "C:\\WINDOWS\\TEMP";
  VersionInfo version{1, 4, 10};
  uint32_t pid = 4242;
  std::string commandLineText = "C:\\ZVPATCH.EXE";

  // What was recorded. A delayed move is "source -> destination", or
  // "source -> NUL" for a deletion.
  std::vector<std::string> moves;
  bool shutdownPrivilege = false;
  int restarts = 0;
  // Boxes as "caption|text|YESNO" (or OK), answered from `answers` in
  // order, then No or OK; an answer of 0 is the user closing the window.
  std::vector<std::string> boxes;
  std::vector<int> answers;
  std::vector<std::string> logLines;  // the log window's entries
  bool windowCreated = false;

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
  uint32_t processId() override { return pid; }

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

  std::string commandLine() override { return commandLineText; }
  bool windowsDirectory(std::string* dir) override;
  bool getVersion(VersionInfo* info) override;
  bool moveAtRestart(const std::string& source, const std::string* destination) override;
  void enableShutdownPrivilege() override { shutdownPrivilege = true; }
  bool restartWindows() override;

  bool createLogWindow(int showState) override;
  void setLogWindowClient(LogWindowClient* client) override { client_ = client; }
  void entryAppended(const std::string& text) override { logLines.push_back(text); }
  bool pump() override { return !windowClosed_; }
  int messageLoop() override;
  void closeLogWindow() override { windowClosed_ = true; }
  bool logWindowClosed() override { return windowClosed_; }
  int messageBox(const std::string& text, const std::string& caption, unsigned style) override;

 private:
  struct Content;
  struct Node;
  class MemFile;

  // The folder a path's last name goes in, and that name; false for a path
  // that cannot name anything (another drive, a UNC path, a character no
  // name may hold, a missing folder on the way).
  bool locate(const std::string& path, Node** folder, std::string* name);
  // The file or folder a path names, or null.
  Node* find(const std::string& path);
  static Node* child(Node* folder, const std::string& name);
  // Inserts node into folder under name, with a short alias when the name
  // is no short name.
  static Node* insert(Node* folder, const std::string& name, std::unique_ptr<Node> node);
  bool rename(const std::string& from, const std::string& to, bool replace);
  static int64_t now();

  std::unique_ptr<Node> drive_;  // C:
  RegistryStore registry_;
  LogWindowClient* client_ = nullptr;
  bool windowClosed_ = false;
};

// A MemoryPlatform with what the contract tests expect of TestPlatform: an
// empty scratch directory and a scratch key below HKEY_CURRENT_USER.
class MemoryTestPlatform {
 public:
  MemoryTestPlatform();
  MemoryPlatform& platform() { return platform_; }
  const std::string& scratchDir() const { return scratchDir_; }
  const std::string& scratchKey() const { return scratchKey_; }

 private:
  MemoryPlatform platform_;
  std::string scratchDir_ = "C:\\SCRATCH";
  std::string scratchKey_ = "Software\\zvpatch-test";
};

}  // namespace zv
