// The contract tests' platform on Win32: the real system, a scratch
// directory in the temporary directory and a scratch key in HKEY_CURRENT_USER.
#include <windows.h>

#include <string>

#include "base/windows_path.h"
#include "platform/testing/test_platform.h"
#include "platform/win32/win32_platform.h"

namespace zv {
namespace {

void removeTree(const std::string& dir) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
  for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
    const std::string name = found.cFileName, path = dir + "\\" + name;
    if (name == "." || name == "..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      removeTree(path);
    } else {
      SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);  // a test may leave it read-only
      DeleteFileA(path.c_str());
    }
  }
  if (search != INVALID_HANDLE_VALUE) FindClose(search);
  RemoveDirectoryA(dir.c_str());
}

// RegDeleteKeyA removes only childless keys on the NT family.
void removeKeyTree(HKEY parent, const std::string& subkey) {
  HKEY key;
  if (RegOpenKeyExA(parent, subkey.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    char name[256];
    // Always the first child: each one is gone after its removal.
    for (DWORD length = sizeof name;
         RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         length = sizeof name)
      removeKeyTree(key, name);
    RegCloseKey(key);
  }
  RegDeleteKeyA(parent, subkey.c_str());
}

}  // namespace

struct TestPlatform::Impl {};

TestPlatform::TestPlatform() {
  char temp[MAX_PATH + 1];
  const DWORD n = GetTempPathA(sizeof temp, temp);
  const std::string base = withBackslash(n > 0 && n < sizeof temp ? std::string(temp, n) : ".");
  // A short (8.3) name, so that paths in WININIT.INI read as they are
  // written; one left by an earlier process with the same id is skipped.
  static unsigned counter = 0;
  unsigned long number;
  do {
    number = (GetCurrentProcessId() * 100UL + ++counter) % 1000000;
    scratchDir_ = base + "ZX" + std::to_string(1000000 + number).substr(1);
  } while (!CreateDirectoryA(scratchDir_.c_str(), nullptr) &&
           GetLastError() == ERROR_ALREADY_EXISTS);
  scratchKey_ = "Software\\zvpatch-test-" + std::to_string(number);
  removeKeyTree(HKEY_CURRENT_USER, scratchKey_);
}

TestPlatform::~TestPlatform() {
  removeTree(scratchDir_);
  removeKeyTree(HKEY_CURRENT_USER, scratchKey_);
}

Platform& TestPlatform::platform() {
  return win32Platform();
}

}  // namespace zv
