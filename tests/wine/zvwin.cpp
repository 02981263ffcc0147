// zvwin: drives zvpatch.exe's windows from inside the same Wine prefix.
// X shows only captions, so boxes are found, read and answered from the
// Windows side. Every wait polls every 50 ms until its timeout.
//
//   zvwin find CLASS CAPTION [MS]        wait for a top-level window; print its handle
//   zvwin rect CLASS CAPTION [MS]        print "W H X Y" of the window (screenshots)
//   zvwin box [CAPTION] [MS]             wait for a message box; print it
//   zvwin press CAPTION ID [MS]          BM_CLICK button ID of a box; wait until it is gone
//   zvwin close [MS]                     post WM_CLOSE to the log window
//   zvwin repaint [MS]                   repaint the log window now (and wait for it)
//   zvwin wait MS [DONEFILE [IDLEFILE MARKER]]
//                                        wait for a box (10), DONEFILE to exist (40),
//                                        or MARKER in IDLEFILE while no box is up (30)
//   zvwin reg KEY...                     print the values of registry keys
//   zvwin gone EXE [MS]                  wait until no process runs EXE (e.g. wineboot.exe)
//
// reg prints "key<TAB>KEY<TAB>present|absent" per key, then one line per
// value: "val<TAB>NAME<TAB>TYPE<TAB>HEX" (NAME escaped like box texts, HEX
// the raw data). One process reads every key: each wine start costs time.
//
// A box prints as one line: box<TAB>MB_OK|MB_YESNO<TAB>caption<TAB>text,
// with backslash, tab and line feed written as \\, \t and \n.
//
// Exit codes: 0 done, 1 timed out, 2 usage, 3 found but the action failed,
// 10/30/40 as above.
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kLogClass[] = "Zevra Patch";
const char kLogCaption[] = "Patch Upgrade";
const char kBoxClass[] = "#32770";
const DWORD kPollMs = 50;

// WriteFile, not stdio: msvcrt's text mode would turn LF into CR LF.
void out(const std::string& text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written,
            nullptr);
}

void err(const std::string& text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written,
            nullptr);
}

std::string windowText(HWND hwnd) {
  int n = GetWindowTextLengthA(hwnd);
  std::vector<char> buffer(static_cast<size_t>(n) + 2);
  n = GetWindowTextA(hwnd, buffer.data(), static_cast<int>(buffer.size()));
  return std::string(buffer.data(), n > 0 ? static_cast<size_t>(n) : 0);
}

std::string className(HWND hwnd) {
  char buffer[256];
  int n = GetClassNameA(hwnd, buffer, sizeof buffer);
  return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

// The escapes of events.log.
std::string escape(const std::string& text) {
  std::string result;
  for (char c : text) {
    if (c == '\\') {
      result += "\\\\";
    } else if (c == '\t') {
      result += "\\t";
    } else if (c == '\n') {
      result += "\\n";
    } else {
      result += c;
    }
  }
  return result;
}

struct Search {
  const char* cls;
  const char* caption;  // nullptr: any caption
  HWND found;
};

BOOL CALLBACK matchTopLevel(HWND hwnd, LPARAM param) {
  Search* search = reinterpret_cast<Search*>(param);
  if (!IsWindowVisible(hwnd)) return TRUE;
  if (className(hwnd) != search->cls) return TRUE;
  if (search->caption != nullptr && windowText(hwnd) != search->caption) return TRUE;
  search->found = hwnd;
  return FALSE;
}

HWND findTopLevel(const char* cls, const char* caption) {
  Search search = {cls, caption, nullptr};
  EnumWindows(matchTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// The log window may be hidden (a minimised or hidden start): any state counts.
HWND findLogWindow() {
  return FindWindowA(kLogClass, kLogCaption);
}

BOOL CALLBACK collectStatic(HWND hwnd, LPARAM param) {
  std::string* text = reinterpret_cast<std::string*>(param);
  if (className(hwnd) == "Static") {
    std::string part = windowText(hwnd);
    if (!part.empty()) {
      if (!text->empty()) *text += '\n';
      *text += part;
    }
  }
  return TRUE;
}

std::string describeBox(HWND box) {
  std::string text;
  EnumChildWindows(box, collectStatic, reinterpret_cast<LPARAM>(&text));
  const char* style = GetDlgItem(box, IDYES) != nullptr ? "MB_YESNO" : "MB_OK";
  return std::string("box\t") + style + "\t" + escape(windowText(box)) + "\t" + escape(text) + "\n";
}

bool fileExists(const char* path) {
  return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

// Reads a file the Unix side is still appending to.
bool fileContains(const char* path, const char* marker) {
  HANDLE file =
      CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  std::string content;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
    content.append(buffer, got);
  CloseHandle(file);
  return content.find(marker) != std::string::npos;
}

// Polls until ready() returns non-zero or the timeout passes (returns 0).
template <typename F>
int poll(DWORD timeoutMs, F ready) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (int result = ready()) return result;
    if (GetTickCount() - start >= timeoutMs) return 0;
    Sleep(kPollMs);
  }
}

DWORD msArg(int argc, char** argv, int index, DWORD fallback) {
  return index < argc ? static_cast<DWORD>(std::strtoul(argv[index], nullptr, 10)) : fallback;
}

HKEY rootKey(const std::string& name) {
  if (name == "HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
  if (name == "HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
  if (name == "HKEY_CLASSES_ROOT") return HKEY_CLASSES_ROOT;
  if (name == "HKEY_USERS") return HKEY_USERS;
  return nullptr;
}

void dumpKey(const std::string& path) {
  const size_t slash = path.find('\\');
  HKEY root = rootKey(path.substr(0, slash));
  const std::string sub = slash == std::string::npos ? "" : path.substr(slash + 1);
  HKEY key = nullptr;
  if (root == nullptr || RegOpenKeyExA(root, sub.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    out("key\t" + path + "\tabsent\n");
    return;
  }
  out("key\t" + path + "\tpresent\n");
  for (DWORD index = 0;; ++index) {
    char name[16384];
    DWORD nameSize = sizeof name;
    DWORD type = 0;
    DWORD dataSize = 0;
    if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, nullptr, &dataSize) !=
        ERROR_SUCCESS) {
      break;
    }
    std::vector<BYTE> data(dataSize + 1);
    nameSize = sizeof name;
    if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data.data(), &dataSize) !=
        ERROR_SUCCESS) {
      break;
    }
    std::string line = "val\t" + escape(std::string(name, nameSize)) + "\t";
    char number[16];
    wsprintfA(number, "%lu\t", static_cast<unsigned long>(type));
    line += number;
    for (DWORD i = 0; i < dataSize; ++i) {
      wsprintfA(number, "%02x", data[i]);
      line += number;
    }
    out(line + "\n");
  }
  RegCloseKey(key);
}

bool processRuns(const char* exe) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = Process32First(snapshot, &entry); more && !found;
       more = Process32Next(snapshot, &entry)) {
    found = lstrcmpiA(entry.szExeFile, exe) == 0;
  }
  CloseHandle(snapshot);
  return found;
}

int usage() {
  err("usage: zvwin find|rect CLASS CAPTION [MS] | box [CAPTION] [MS] | press CAPTION ID [MS]"
      " | close [MS] | repaint [MS] | wait MS [DONEFILE [IDLEFILE MARKER]] | reg KEY... | gone EXE "
      "[MS]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::string command = argv[1];

  if (command == "find" || command == "rect") {
    if (argc < 4) return usage();
    HWND hwnd = nullptr;
    const char* cls = argv[2];
    const char* caption = argv[3];
    // The log window is found even while hidden; boxes only when shown.
    const bool any = std::strcmp(cls, kBoxClass) != 0;
    if (!poll(msArg(argc, argv, 4, 10000), [&] {
          hwnd = any ? FindWindowA(cls, caption) : findTopLevel(cls, caption);
          return hwnd != nullptr ? 1 : 0;
        })) {
      return 1;
    }
    if (command == "find") {
      char line[32];
      wsprintfA(line, "%08lx\n", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(hwnd)));
      out(line);
      return 0;
    }
    RECT rect;
    if (!GetWindowRect(hwnd, &rect)) return 3;
    char line[64];
    wsprintfA(line, "%ld %ld %ld %ld\n", rect.right - rect.left, rect.bottom - rect.top, rect.left,
              rect.top);
    out(line);
    return 0;
  }

  if (command == "box") {
    const char* caption = argc > 2 ? argv[2] : nullptr;
    if (caption != nullptr && caption[0] == '\0') caption = nullptr;
    HWND box = nullptr;
    if (!poll(msArg(argc, argv, 3, 10000), [&] {
          box = findTopLevel(kBoxClass, caption);
          return box != nullptr ? 1 : 0;
        })) {
      return 1;
    }
    out(describeBox(box));
    return 0;
  }

  if (command == "press") {
    if (argc < 4) return usage();
    const int id = std::atoi(argv[3]);
    const DWORD timeout = msArg(argc, argv, 4, 10000);
    HWND box = nullptr;
    if (!poll(timeout, [&] {
          box = findTopLevel(kBoxClass, argv[2]);
          return box != nullptr ? 1 : 0;
        })) {
      return 1;
    }
    HWND button = GetDlgItem(box, id);
    if (button == nullptr) {
      err("zvwin: the box has no button with that id\n");
      return 3;
    }
    // Posted: a sent BM_CLICK would wait for the box's owner, which may be
    // busy with the next step once the box ends.
    if (!PostMessageA(button, BM_CLICK, 0, 0)) return 3;
    return poll(timeout, [&] { return IsWindow(box) && IsWindowVisible(box) ? 0 : 1; }) ? 0 : 1;
  }

  if (command == "close") {
    HWND log = nullptr;
    if (!poll(msArg(argc, argv, 2, 10000), [&] {
          log = findLogWindow();
          return log != nullptr ? 1 : 0;
        })) {
      return 1;
    }
    return PostMessageA(log, WM_CLOSE, 0, 0) ? 0 : 3;
  }

  if (command == "repaint") {
    HWND log = nullptr;
    if (!poll(msArg(argc, argv, 2, 10000), [&] {
          log = findLogWindow();
          return log != nullptr ? 1 : 0;
        })) {
      return 1;
    }
    // UpdateWindow sends WM_PAINT and returns once the owner has painted.
    InvalidateRect(log, nullptr, TRUE);
    return UpdateWindow(log) ? 0 : 3;
  }

  if (command == "wait") {
    if (argc < 3) return usage();
    const char* doneFile = argc > 3 ? argv[3] : nullptr;
    const char* idleFile = argc > 5 ? argv[4] : nullptr;
    const char* marker = argc > 5 ? argv[5] : nullptr;
    HWND box = nullptr;
    int result = poll(msArg(argc, argv, 2, 10000), [&] {
      box = findTopLevel(kBoxClass, nullptr);
      if (box != nullptr) return 10;
      if (doneFile != nullptr && fileExists(doneFile)) return 40;
      if (idleFile != nullptr && fileContains(idleFile, marker)) return 30;
      return 0;
    });
    if (result == 10) out(describeBox(box));
    return result != 0 ? result : 1;
  }

  if (command == "gone") {
    if (argc < 3) return usage();
    return poll(msArg(argc, argv, 3, 10000), [&] { return processRuns(argv[2]) ? 0 : 1; }) ? 0 : 1;
  }

  if (command == "reg") {
    for (int i = 2; i < argc; ++i) dumpKey(argv[i]);
    return 0;
  }

  return usage();
}
