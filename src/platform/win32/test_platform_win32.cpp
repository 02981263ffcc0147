// The contract tests' platform on Win32: the real system, a scratch
// directory in the temporary directory and a scratch key in HKEY_CURRENT_USER.
#include <windows.h>

#include <cstdio>

#include <gtest/gtest.h>

#include <string>

#include "base/windows_path.h"
#include "platform/testing/test_platform.h"
#include "platform/win32/win32_platform.h"

namespace zv {
namespace {

// Distinguishes the scratch areas of one process; tests run on one thread.
unsigned nextScratchNumber() {
  static unsigned counter = 0;
  return ++counter;
}

std::string scratchName(unsigned number) {
  return "zvpatch-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(number);
}

// A short (8.3) name, so that paths in WININIT.INI read the same in the
// tests as they are written.
std::string scratchDirName(unsigned number) {
  char name[16];
  std::snprintf(name, sizeof name, "ZX%06lu",
                static_cast<unsigned long>((GetCurrentProcessId() * 100UL + number) % 1000000));
  return name;
}

void removeTree(const std::string& dir) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((dir + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = dir + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        removeTree(path);
      } else {
        // A test may leave a read-only file behind.
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(dir.c_str());
}

// RegDeleteKeyA removes only childless keys on the NT family.
void removeKeyTree(HKEY parent, const std::string& subkey) {
  HKEY key;
  if (RegOpenKeyExA(parent, subkey.c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    char name[256];
    DWORD length = sizeof name;
    // Always the first child: each one is gone after its removal.
    while (RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS) {
      removeKeyTree(key, name);
      length = sizeof name;
    }
    RegCloseKey(key);
  }
  RegDeleteKeyA(parent, subkey.c_str());
}

}  // namespace

struct TestPlatform::Impl {};

TestPlatform::TestPlatform() {
  char temp[MAX_PATH + 1];
  const DWORD n = GetTempPathA(sizeof temp, temp);
  std::string base = n > 0 && n < sizeof temp ? std::string(temp, n) : std::string(".\\");
  base = withBackslash(base);
  // A directory left by an earlier process with the same id is skipped.
  unsigned number;
  for (;;) {
    number = nextScratchNumber();
    scratchDir_ = base + scratchDirName(number);
    // On any other failure the tests fail on their own.
    if (CreateDirectoryA(scratchDir_.c_str(), nullptr) || GetLastError() != ERROR_ALREADY_EXISTS) {
      break;
    }
  }
  scratchKey_ = "Software\\" + scratchName(number);
  removeKeyTree(HKEY_CURRENT_USER, scratchKey_);
}

TestPlatform::~TestPlatform() {
  removeTree(scratchDir_);
  removeKeyTree(HKEY_CURRENT_USER, scratchKey_);
}

Platform& TestPlatform::platform() {
  return win32Platform();
}

namespace {

// What only the real system shows; the shared behaviour is in the contract
// tests.

TEST(Win32PlatformTest, AppendWritesGoToTheEndWhereverTheFilePointerIs) {
  TestPlatform tp;
  const std::string path = tp.scratchDir() + "\\a.log";
  std::unique_ptr<File> f = tp.platform().open(path, FileMode::kAppend);
  ASSERT_TRUE(f);
  ASSERT_EQ(f->write("ab", 2), 2);
  ASSERT_TRUE(f->seekToStart());
  char c = 0;
  ASSERT_EQ(f->read(&c, 1), 1);
  EXPECT_EQ(c, 'a');
  ASSERT_EQ(f->write("c", 1), 1);
  f.reset();
  FileStatus st;
  ASSERT_TRUE(tp.platform().stat(path, &st));
  EXPECT_EQ(st.size, 3);
}

TEST(Win32PlatformTest, StatTimeIsTheLastWriteTime) {
  TestPlatform tp;
  const std::string path = tp.scratchDir() + "\\t.txt";
  ASSERT_TRUE(tp.platform().open(path, FileMode::kWrite));
  FileStatus st;
  ASSERT_TRUE(tp.platform().stat(path, &st));
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  const int64_t ticks = static_cast<int64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime;
  const int64_t nowNs = (ticks - 116444736000000000LL) * 100;
  EXPECT_LE(st.modifiedNs, nowNs);
  EXPECT_GT(st.modifiedNs, nowNs - 60 * 1000000000LL);
}

TEST(Win32PlatformTest, SystemQueries) {
  Platform& p = win32Platform();
  std::string dir;
  ASSERT_TRUE(p.windowsDirectory(&dir));
  EXPECT_TRUE(p.exists(dir));
  VersionInfo version;
  ASSERT_TRUE(p.getVersion(&version));
  EXPECT_TRUE(version.platformId == 1 || version.platformId == 2);
  EXPECT_GE(version.major, 4u);
  EXPECT_NE(p.commandLine().find("zv_unit_tests"), std::string::npos);
  EXPECT_EQ(p.processId(), GetCurrentProcessId());
  std::string temp;
  if (GetEnvironmentVariableA("TEMP", nullptr, 0) > 0) {
    EXPECT_TRUE(p.tempVariable(&temp));
  }
}

class CountingClient : public LogWindowClient {
 public:
  void paint(Canvas& canvas) override {
    ++paints;
    height = canvas.textHeight("Xg");
    canvas.drawText(0, 0, "entry");
  }
  bool scroll(int, Canvas&) override { return false; }
  int paints = 0;
  int height = 0;
};

// The class is registered once per process, so this is the only test that
// makes the log window. It needs a display (xvfb-run) and skips without one.
TEST(Win32ScreenTest, ClosingTheWindowEndsThePumpAndTheFinalLoopAtOnce) {
  Platform& p = win32Platform();
  CountingClient client;
  p.setLogWindowClient(&client);
  if (!p.createLogWindow(SW_SHOWNOACTIVATE)) {
    p.setLogWindowClient(nullptr);
    GTEST_SKIP() << "no window: no display";
  }
  p.entryAppended("entry");
  EXPECT_TRUE(p.pump());
  EXPECT_GT(client.paints, 0);
  EXPECT_GT(client.height, 0);
  EXPECT_FALSE(p.logWindowClosed());

  p.closeLogWindow();
  EXPECT_FALSE(p.pump());
  EXPECT_TRUE(p.logWindowClosed());
  // pump removed the quit message; the loop must not wait for another.
  EXPECT_EQ(p.messageLoop(), 0);
  p.setLogWindowClient(nullptr);
}

}  // namespace

}  // namespace zv
