// The operating system as the installer sees it: files, registry, system and
// screen. Everything above this layer reaches the OS only through the
// process's current Platform, so the same core runs against real Win32 or
// against a simulated Windows machine, and tests can wrap it to inject faults.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zv {

// Last-write time in the DOS layout, local time, two-second resolution.
// time: bits 0-4 seconds/2, 5-10 minutes, 11-15 hours.
// date: bits 0-4 day, 5-8 month, 9-15 years since 1980.
struct DosStamp {
  uint16_t time = 0;
  uint16_t date = 0;
  bool operator==(const DosStamp& o) const { return time == o.time && date == o.date; }
};

struct FileStatus {
  int64_t size = 0;
  // Modification time at the finest resolution the system keeps, in
  // nanoseconds since 1970-01-01 UTC (100 ns steps on Win32).
  int64_t modifiedNs = 0;
  bool isDirectory = false;
};

struct DirEntry {
  std::string name;
  bool isDirectory = false;
  // A symbolic link or another reparse point (a junction): it may lead
  // anywhere, also back to a folder above it.
  bool isLink = false;
};

enum class FileMode {
  kRead,       // existing file, read only
  kWrite,      // create or truncate, read and write
  kAppend,     // create if missing, every write goes to the end
  kCreateNew,  // create, fail if the name exists; read and write
};

// An open file: unbuffered binary I/O on a descriptor, plus its DOS stamp.
class File {
 public:
  virtual ~File() = default;
  // Bytes read, 0 at the end of the file, -1 on error.
  virtual int64_t read(void* buffer, size_t count) = 0;
  // Bytes written (fewer on a full disk), -1 on error.
  virtual int64_t write(const void* data, size_t count) = 0;
  virtual bool seekToStart() = 0;
  virtual bool getStamp(DosStamp* stamp) = 0;
  virtual bool setStamp(const DosStamp& stamp) = 0;
  // Closes the file at once (the destructor closes it otherwise); false
  // when the system reports that written data may not have reached it.
  virtual bool close() = 0;
};

// Registry handles and results carry the Win32 values.
using RegKey = std::uintptr_t;
constexpr RegKey kHkeyClassesRoot = 0x80000000u;
constexpr RegKey kHkeyCurrentUser = 0x80000001u;
constexpr RegKey kHkeyLocalMachine = 0x80000002u;
constexpr RegKey kHkeyUsers = 0x80000003u;

constexpr long kErrorSuccess = 0;
constexpr long kErrorFileNotFound = 2;
constexpr long kErrorAccessDenied = 5;
constexpr long kErrorInvalidHandle = 6;
constexpr long kErrorInvalidParameter = 87;
constexpr long kErrorMoreData = 234;
constexpr long kErrorNoMoreItems = 259;
constexpr long kErrorRegistryIoFailed = 1016;
constexpr long kErrorKeyDeleted = 1018;

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegMultiSz = 7;

enum class RegAccess { kRead, kAllAccess };

struct VersionInfo {
  uint32_t platformId = 0;  // 0 Win32s, 1 Windows 95/98, 2 NT
  uint32_t major = 0;
  uint32_t minor = 0;
};
// The platform ids, with the Win32 values.
constexpr uint32_t kPlatformWin32s = 0;
constexpr uint32_t kPlatformWindows = 1;
constexpr uint32_t kPlatformNt = 2;

// Message box styles and answers, with the Win32 values.
constexpr unsigned kMbOk = 0x0;
constexpr unsigned kMbYesNo = 0x4;
constexpr int kIdOk = 1;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

// The log window as its content sees it: drawing while painting, and the
// window's own repaint and scroll-bar requests.
class Canvas {
 public:
  virtual ~Canvas() = default;
  // Height of the text in the window's font (valid while painting).
  virtual int textHeight(const std::string& text) = 0;
  virtual void drawText(int x, int y, const std::string& text) = 0;
  // Repaint the whole client area, erasing the background.
  virtual void invalidate() = 0;
  virtual void setScrollRange(int max) = 0;
  virtual void setScrollPos(int pos) = 0;
};

// The content of the log window, painted and scrolled on the platform's
// request (WM_PAINT, WM_VSCROLL).
class LogWindowClient {
 public:
  virtual ~LogWindowClient() = default;
  virtual void paint(Canvas& canvas) = 0;
  // request is the low word of WM_VSCROLL's wParam; false passes it on to
  // the default window procedure.
  virtual bool scroll(int request, Canvas& canvas) = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // The platform the program's entry installed (the real Win32 one, or the
  // simulated machine), or the one a test installed. Using none is a fault
  // of the program: it stops with a message.
  static Platform& current();
  // Installs p (not owned) as the current platform; nullptr removes it.
  // Returns the previous one.
  static Platform* setCurrent(Platform* p);

  // ---- files. Paths are Windows paths on both targets.
  virtual std::unique_ptr<File> open(const std::string& path, FileMode mode) = 0;
  virtual bool stat(const std::string& path, FileStatus* status) = 0;
  virtual bool exists(const std::string& path) = 0;
  virtual bool createDir(const std::string& path) = 0;
  virtual bool listDir(const std::string& path, std::vector<DirEntry>* entries) = 0;
  virtual bool deleteFile(const std::string& path) = 0;
  // Renames at once, replacing an existing target (used to save a file
  // whole: write a new file, then rename it over the old one).
  virtual bool renameReplacing(const std::string& from, const std::string& to) = 0;
  // Renames at once; fails when `to` exists, which is never replaced.
  virtual bool renameNoReplace(const std::string& from, const std::string& to) = 0;
  // GetShortPathNameA: the path of an existing file or directory with each
  // component by its short (8.3) name; false when it does not exist.
  virtual bool shortPath(const std::string& path, std::string* shortForm) = 0;
  // The TEMP environment variable; false when it is not set.
  virtual bool tempVariable(std::string* value) = 0;
  virtual uint32_t processId() = 0;

  // mktemp: replaces the trailing six X's of the template by a letter and
  // five digits, so that the result names no existing file. The first
  // variants are the letters a-z before the last five digits of the process
  // id; then the number counts on, giving 2,600,000 names per template.
  // Each template resumes where its last name was found, so a package of
  // many files does not test the same names again. Empty when every
  // variant exists.
  virtual std::string makeUniqueName(const std::string& pattern);

  // ---- registry (Win32 result codes and buffer rules).
  virtual long regOpenKey(RegKey parent, const std::string& subkey, RegAccess access,
                          RegKey* result) = 0;
  // Opens or creates every key of the path.
  virtual long regCreateKey(RegKey parent, const std::string& subkey, RegKey* result) = 0;
  // An empty name is the key's unnamed value. With data null only *size is
  // set; a buffer smaller than the data gives kErrorMoreData.
  virtual long regQueryValue(RegKey key, const std::string& name, uint32_t* type, void* data,
                             uint32_t* size) = 0;
  // REG_SZ, stored with its terminating NUL.
  virtual long regSetString(RegKey key, const std::string& name, const std::string& value) = 0;
  virtual long regDeleteValue(RegKey key, const std::string& name) = 0;
  // An empty subkey deletes the open key itself.
  virtual long regDeleteKey(RegKey key, const std::string& subkey) = 0;
  // *nameSize is the buffer size in characters; on success it becomes the
  // name's length. A name that does not fit gives kErrorMoreData.
  virtual long regEnumKey(RegKey key, uint32_t index, char* name, uint32_t* nameSize) = 0;
  virtual long regQuerySubkeyCount(RegKey key, uint32_t* count) = 0;
  virtual long regCloseKey(RegKey key) = 0;

  // ---- system.
  // The raw command line, program path first.
  virtual std::string commandLine() = 0;
  // False when the Windows directory cannot be found.
  virtual bool windowsDirectory(std::string* dir) = 0;
  virtual bool getVersion(VersionInfo* info) = 0;
  // MoveFileEx with MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT;
  // a null destination deletes the source at the next start.
  virtual bool moveAtRestart(const std::string& source, const std::string* destination) = 0;
  // OpenProcessToken, LookupPrivilegeValue and AdjustTokenPrivileges for
  // SeShutdownPrivilege; results are not reported.
  virtual void enableShutdownPrivilege() = 0;
  // ExitWindowsEx(EWX_REBOOT, 0).
  virtual bool restartWindows() = 0;

  // ---- screen.
  // Registers the class and creates and shows the log window; false when
  // the class cannot be registered.
  virtual bool createLogWindow(int showState) = 0;
  virtual void setLogWindowClient(LogWindowClient* client) = 0;
  // A new entry was appended: repaint.
  virtual void entryAppended(const std::string& text) = 0;
  // Dispatches every waiting message; false once the window is closed.
  virtual bool pump() = 0;
  // The final loop, until the window is destroyed; returns the exit code.
  virtual int messageLoop() = 0;
  // PostMessage(WM_DESTROY) to the log window.
  virtual void closeLogWindow() = 0;
  virtual bool logWindowClosed() = 0;
  // A modal box owned by the log window; returns kIdOk, kIdYes or kIdNo,
  // or 0 when the user closed the window instead of answering.
  virtual int messageBox(const std::string& text, const std::string& caption, unsigned style) = 0;

 private:
  std::map<std::string, uint32_t> uniqueNameCursors_;  // template: last variant found
};

}  // namespace zv
