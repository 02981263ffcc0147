// The real Win32 platform: every operation is the system call of the same
// name, with the system's results passed through.
#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <vector>

#include "platform/platform.h"
#include "platform/win32/win32_file.h"
#include "platform/win32/win32_screen.h"

namespace zv {
namespace {

HKEY toHkey(RegKey key) {
  return reinterpret_cast<HKEY>(key);
}
RegKey fromHkey(HKEY key) {
  return reinterpret_cast<RegKey>(key);
}

// FILETIME counts 100 ns steps since 1601-01-01 UTC.
constexpr int64_t kFiletimeAt1970 = 116444736000000000LL;

int64_t filetimeToNs(const FILETIME& ft) {
  const int64_t ticks =
      static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
  return (ticks - kFiletimeAt1970) * 100;
}

class Win32Platform final : public Platform {
 public:
  // ---- files
  std::unique_ptr<File> open(const std::string& path, FileMode mode) override {
    return openWin32File(path, mode);
  }

  bool stat(const std::string& path, FileStatus* status) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    status->size =
        static_cast<int64_t>((static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
    status->modifiedNs = filetimeToNs(data.ftLastWriteTime);
    status->isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
  }

  bool exists(const std::string& path) override {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  bool createDir(const std::string& path) override {
    return CreateDirectoryA(path.c_str(), nullptr) != 0;
  }

  bool listDir(const std::string& path, std::vector<DirEntry>* entries) override {
    entries->clear();
    std::string pattern = path;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/' &&
        pattern.back() != ':') {
      pattern += '\\';
    }
    pattern += '*';
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
      // Only a root directory can be empty of even "." and "..".
      if (GetLastError() != ERROR_FILE_NOT_FOUND) return false;
      const DWORD attributes = GetFileAttributesA(path.c_str());
      return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      entries->push_back({name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                          (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
    } while (FindNextFileA(search, &found));
    const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(search);
    return complete;
  }

  bool deleteFile(const std::string& path) override { return DeleteFileA(path.c_str()) != 0; }

  bool renameReplacing(const std::string& from, const std::string& to) override {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    // The Windows 95/98 family has no MoveFileEx: replace in two steps.
    if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return false;
    DeleteFileA(to.c_str());
    return MoveFileA(from.c_str(), to.c_str()) != 0;
  }

  bool shortPath(const std::string& path, std::string* shortForm) override {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
      const DWORD n =
          GetShortPathNameA(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
      if (n == 0) return false;
      // A result that does not fit gives the size it needs, NUL included.
      if (n < buffer.size()) {
        shortForm->assign(buffer.data(), n);
        return true;
      }
      buffer.resize(n);
    }
  }

  // MoveFile never replaces an existing file, on every Windows.
  bool renameNoReplace(const std::string& from, const std::string& to) override {
    return MoveFileA(from.c_str(), to.c_str()) != 0;
  }

  bool tempVariable(std::string* value) override {
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
      SetLastError(NO_ERROR);
      const DWORD n =
          GetEnvironmentVariableA("TEMP", buffer.data(), static_cast<DWORD>(buffer.size()));
      if (n == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
        value->clear();
        return true;
      }
      // A value that does not fit gives the size it needs, NUL included.
      if (n < buffer.size()) {
        value->assign(buffer.data(), n);
        return true;
      }
      buffer.resize(n);
    }
  }

  uint32_t processId() override { return GetCurrentProcessId(); }

  // ---- registry
  long regOpenKey(RegKey parent, const std::string& subkey, RegAccess access,
                  RegKey* result) override {
    HKEY key = nullptr;
    const long rc = RegOpenKeyExA(toHkey(parent), subkey.c_str(), 0,
                                  access == RegAccess::kRead ? KEY_READ : KEY_ALL_ACCESS, &key);
    *result = fromHkey(key);
    return rc;
  }

  long regCreateKey(RegKey parent, const std::string& subkey, RegKey* result) override {
    HKEY key = nullptr;
    const long rc = RegCreateKeyExA(toHkey(parent), subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                    nullptr, &key, nullptr);
    *result = fromHkey(key);
    return rc;
  }

  long regQueryValue(RegKey key, const std::string& name, uint32_t* type, void* data,
                     uint32_t* size) override {
    DWORD valueType = 0;
    DWORD valueSize = size != nullptr ? *size : 0;
    const long rc =
        RegQueryValueExA(toHkey(key), name.c_str(), nullptr, type != nullptr ? &valueType : nullptr,
                         static_cast<BYTE*>(data), size != nullptr ? &valueSize : nullptr);
    if (type != nullptr) *type = valueType;
    if (size != nullptr) *size = valueSize;
    return rc;
  }

  long regSetString(RegKey key, const std::string& name, const std::string& value) override {
    return RegSetValueExA(toHkey(key), name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1));
  }

  long regDeleteValue(RegKey key, const std::string& name) override {
    return RegDeleteValueA(toHkey(key), name.c_str());
  }

  long regDeleteKey(RegKey key, const std::string& subkey) override {
    return RegDeleteKeyA(toHkey(key), subkey.c_str());
  }

  long regEnumKey(RegKey key, uint32_t index, char* name, uint32_t* nameSize) override {
    DWORD length = *nameSize;
    const long rc =
        RegEnumKeyExA(toHkey(key), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    *nameSize = length;
    return rc;
  }

  long regQuerySubkeyCount(RegKey key, uint32_t* count) override {
    DWORD subkeys = 0;
    const long rc = RegQueryInfoKeyA(toHkey(key), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    *count = subkeys;
    return rc;
  }

  long regCloseKey(RegKey key) override { return RegCloseKey(toHkey(key)); }

  // ---- system
  std::string commandLine() override {
    const char* line = GetCommandLineA();
    return line != nullptr ? line : "";
  }

  bool windowsDirectory(std::string* dir) override {
    char buffer[260];
    const UINT n = GetWindowsDirectoryA(buffer, sizeof buffer);
    if (n == 0 || n >= sizeof buffer) return false;
    dir->assign(buffer, n);
    return true;
  }

  bool getVersion(VersionInfo* info) override {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = 148;  // sizeof(OSVERSIONINFOA)
    if (!GetVersionExA(&version)) return false;
    info->platformId = version.dwPlatformId;
    info->major = version.dwMajorVersion;
    info->minor = version.dwMinorVersion;
    return true;
  }

  bool moveAtRestart(const std::string& source, const std::string* destination) override {
    return MoveFileExA(source.c_str(), destination != nullptr ? destination->c_str() : nullptr,
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
  }

  void enableShutdownPrivilege() override {
    // Best effort: the Windows 95/98 family has no privileges, and a refusal
    // shows up as a failed restart. The token stays open for the process.
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token);
    TOKEN_PRIVILEGES privileges = {};
    LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(token, FALSE, &privileges, 16, nullptr, nullptr);
  }

  bool restartWindows() override { return ExitWindowsEx(EWX_REBOOT, 0) != 0; }

  // ---- screen
  bool createLogWindow(int showState) override { return screen_.createLogWindow(showState); }
  void setLogWindowClient(LogWindowClient* client) override { screen_.setLogWindowClient(client); }
  void entryAppended(const std::string&) override { screen_.entryAppended(); }
  bool pump() override { return screen_.pump(); }
  int messageLoop() override { return screen_.messageLoop(); }
  void closeLogWindow() override { screen_.closeLogWindow(); }
  bool logWindowClosed() override { return screen_.logWindowClosed(); }
  int messageBox(const std::string& text, const std::string& caption, unsigned style) override {
    return screen_.messageBox(text, caption, style);
  }

 private:
  Win32Screen screen_;
};

}  // namespace

Platform& win32Platform() {
  static Win32Platform platform;
  return platform;
}

}  // namespace zv
