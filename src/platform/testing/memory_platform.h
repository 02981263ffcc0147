// A whole Platform held in memory, for unit tests that need files and a
// registry but not the host: nothing touches the disk, so a test may make
// thousands of runs. Files and folders behave as on Windows (names found
// without regard to case, new names keep theirs, short aliases for long
// names); the registry follows the Win32 result codes; the opens, what
// happens at the next start, the restart and the screen are recorded, and
// faults are injected on request.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
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

  // A fault hits every call of its kind on a path that contains `path`:
  // kOpen refuses an open in `mode`; kRead, kWrite, kGetStamp and kSetStamp
  // fail that call on a file opened in `mode` (a write once `after` bytes
  // have gone in); kRename refuses a rename from the path, kMove a delayed
  // move of it; kUniqueName finds every name of a template taken.
  struct Fault {
    enum Kind { kOpen, kRead, kWrite, kGetStamp, kSetStamp, kRename, kMove, kUniqueName } kind;
    std::string path;
    FileMode mode = FileMode::kRead;
    size_t after = 0;
  };
  std::vector<Fault> faults;

  // What was recorded. A delayed move is "source -> destination", or
  // "source -> NUL" for a deletion. Boxes are "caption|text|YESNO" (or
  // OK), answered from `answers` in order, then No or OK; an answer of 0
  // is the user closing the window.
  std::vector<std::pair<FileMode, std::string>> opened;
  std::vector<std::string> moves;
  bool shutdownPrivilege = false;
  int restarts = 0;
  std::vector<std::string> boxes;
  std::vector<int> answers;
  std::vector<std::string> logLines;  // the log window's entries
  bool windowCreated = false;

  // For the tests: a file's bytes ("<missing>" when there is none), a file
  // written whole (and dated), a folder's names in order, one blank after
  // each.
  std::string read(const std::string& path);
  void write(const std::string& path, const std::string& bytes, const DosStamp* stamp = nullptr);
  std::string names(const std::string& folder);

  std::unique_ptr<File> open(const std::string& path, FileMode mode) override;
  bool stat(const std::string& path, FileStatus* status) override;
  bool exists(const std::string& path) override { return find(path) != nullptr; }
  bool createDir(const std::string& path) override;
  bool listDir(const std::string& path, std::vector<DirEntry>* entries) override;
  bool deleteFile(const std::string& path) override;
  bool renameReplacing(const std::string& from, const std::string& to) override {
    return !fault(Fault::kRename, from) && rename(from, to, true);
  }
  bool renameNoReplace(const std::string& from, const std::string& to) override {
    return !fault(Fault::kRename, from) && rename(from, to, false);
  }
  bool shortPath(const std::string& path, std::string* shortForm) override;
  bool tempVariable(std::string* value) override { return answer(temp, value); }
  uint32_t processId() override { return pid; }
  std::string makeUniqueName(const std::string& pattern) override {
    return fault(Fault::kUniqueName, pattern) ? "" : Platform::makeUniqueName(pattern);
  }

  long regOpenKey(RegKey parent, const std::string& subkey, RegAccess, RegKey* result) override {
    return registry_.openKey(parent, subkey, result);
  }
  long regCreateKey(RegKey parent, const std::string& subkey, RegKey* result) override {
    return registry_.createKey(parent, subkey, result);
  }
  long regQueryValue(RegKey key, const std::string& name, uint32_t* type, void* data,
                     uint32_t* size) override {
    return registry_.queryValue(key, name, type, data, size);
  }
  long regSetString(RegKey key, const std::string& name, const std::string& value) override {
    return registry_.setValue(key, name, kRegSz, value + '\0');
  }
  long regDeleteValue(RegKey key, const std::string& name) override {
    return registry_.deleteValue(key, name);
  }
  long regDeleteKey(RegKey key, const std::string& subkey) override {
    return registry_.deleteKey(key, subkey);
  }
  long regEnumKey(RegKey key, uint32_t index, char* name, uint32_t* nameSize) override {
    return registry_.enumKey(key, index, name, nameSize);
  }
  long regQuerySubkeyCount(RegKey key, uint32_t* count) override {
    return registry_.querySubkeyCount(key, count);
  }
  long regCloseKey(RegKey key) override { return registry_.closeKey(key); }

  std::string commandLine() override { return commandLineText; }
  bool windowsDirectory(std::string* dir) override { return answer(windowsDir, dir); }
  bool getVersion(VersionInfo* info) override {
    *info = version;
    return true;
  }
  bool moveAtRestart(const std::string& source, const std::string* destination) override;
  void enableShutdownPrivilege() override { shutdownPrivilege = true; }
  bool restartWindows() override {
    ++restarts;
    return true;
  }

  bool createLogWindow(int) override {
    windowClosed_ = false;
    return windowCreated = true;
  }
  void setLogWindowClient(LogWindowClient* client) override { client_ = client; }
  void entryAppended(const std::string& text) override { logLines.push_back(text); }
  bool pump() override { return !windowClosed_; }
  // Nobody is there to close the window: the loop ends at once, as if the
  // user had.
  int messageLoop() override {
    windowClosed_ = true;
    return 0;
  }
  void closeLogWindow() override { windowClosed_ = true; }
  bool logWindowClosed() override { return windowClosed_; }
  int messageBox(const std::string& text, const std::string& caption, unsigned style) override;

 private:
  struct Node;
  class MemFile;

  static bool answer(const std::string& value, std::string* out) {
    if (value.empty()) return false;
    *out = value;
    return true;
  }
  // The fault of this kind for path (and mode), or null.
  const Fault* fault(Fault::Kind kind, const std::string& path,
                     FileMode mode = FileMode::kRead) const;
  // The folder a path's last name goes in (the drive for the root itself),
  // and that name; false for a path that cannot name anything (another
  // drive, a UNC path, a character no name may hold, a missing folder on
  // the way).
  bool locate(const std::string& path, Node** folder, std::string* name);
  // The file or folder a path names, or null.
  Node* find(const std::string& path);
  static Node* child(Node* folder, const std::string& name);
  // Inserts node into folder under name, with a short alias when the name
  // is no short name.
  static Node* insert(Node* folder, const std::string& name, std::unique_ptr<Node> node);
  bool rename(const std::string& from, const std::string& to, bool replace);

  std::unique_ptr<Node> drive_;  // C:
  RegistryStore registry_;
  LogWindowClient* client_ = nullptr;
  bool windowClosed_ = false;
};

// A MemoryPlatform with what the contract tests expect of TestPlatform: an
// empty scratch directory and a scratch key below HKEY_CURRENT_USER. It is
// the current platform while it lives.
class MemoryTestPlatform {
 public:
  MemoryTestPlatform() : previous_(Platform::setCurrent(&platform_)) {
    platform_.createDir(scratchDir_);
  }
  ~MemoryTestPlatform() { Platform::setCurrent(previous_); }
  MemoryTestPlatform(const MemoryTestPlatform&) = delete;
  MemoryTestPlatform& operator=(const MemoryTestPlatform&) = delete;
  MemoryPlatform& platform() { return platform_; }
  const std::string& scratchDir() const { return scratchDir_; }
  const std::string& scratchKey() const { return scratchKey_; }

 private:
  MemoryPlatform platform_;
  Platform* previous_;
  std::string scratchDir_ = "C:\\SCRATCH";
  std::string scratchKey_ = "Software\\zvpatch-test";
};

}  // namespace zv
