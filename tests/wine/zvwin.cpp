// zvwin: reads and answers zvpatch.exe's boxes from inside the same Wine
// prefix, where X would show only their captions. Waits poll every 50 ms.
//
//   zvwin wait MS [DONE [TRACE MARKER]]  a box is up (10: prints it), the file DONE
//                                        exists (40), or TRACE holds MARKER (30)
//   zvwin press HWND ID MS               click button ID of box HWND; wait until it is gone
//   zvwin close|repaint MS               close the log window, or have it painted now
//   zvwin gone EXE MS                    wait until no process runs EXE
//   zvwin reg KEY...                     the values of registry keys
//
// A box prints as box<TAB>HWND<TAB>MB_OK|MB_YESNO<TAB>caption<TAB>text; reg
// prints key<TAB>KEY<TAB>present|absent, then val<TAB>NAME<TAB>TYPE<TAB>HEX
// per value. Texts write backslash, tab and line feed as \\, \t and \n, as
// events.log does. Exit codes: 0 done, 1 timed out, 2 usage, 3 failed.
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// WriteFile, not stdio: msvcrt's text mode would turn LF into CR LF.
void out(const std::string& text) {
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written,
            nullptr);
}

std::string escape(const std::string& text) {
  std::string result;
  for (char c : text)
    result += c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\n' ? "\\n" : std::string(1, c);
  return result;
}

std::string windowText(HWND hwnd) {
  char buffer[4096];
  return std::string(buffer, static_cast<size_t>(GetWindowTextA(hwnd, buffer, sizeof buffer)));
}

std::string className(HWND hwnd) {
  char buffer[256];
  return std::string(buffer, static_cast<size_t>(GetClassNameA(hwnd, buffer, sizeof buffer)));
}

BOOL CALLBACK findBox(HWND hwnd, LPARAM found) {
  if (!IsWindowVisible(hwnd) || className(hwnd) != "#32770") return TRUE;
  *reinterpret_cast<HWND*>(found) = hwnd;
  return FALSE;
}

BOOL CALLBACK collectStatic(HWND hwnd, LPARAM param) {
  std::string* text = reinterpret_cast<std::string*>(param);
  if (className(hwnd) == "Static" && !windowText(hwnd).empty())
    *text += (text->empty() ? "" : "\n") + windowText(hwnd);
  return TRUE;
}

std::string hex(unsigned long value, int digits) {
  std::string text;
  for (; digits > 0 || value != 0; --digits, value /= 16)
    text.insert(text.begin(), "0123456789abcdef"[value % 16]);
  return text;
}

// Reads a file the Unix side is still writing.
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

bool processRuns(const char* exe) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32 entry;
  entry.dwSize = sizeof entry;
  bool found = false;
  for (BOOL more = Process32First(snapshot, &entry); more && !found;
       more = Process32Next(snapshot, &entry))
    found = lstrcmpiA(entry.szExeFile, exe) == 0;
  CloseHandle(snapshot);
  return found;
}

void dumpKey(const std::string& path) {
  const std::string root = path.substr(0, path.find('\\'));
  const std::string sub = root.size() < path.size() ? path.substr(root.size() + 1) : "";
  HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS};
  const char* names[] = {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT",
                         "HKEY_USERS"};
  HKEY key = nullptr;
  for (int i = 0; i < 4 && key == nullptr; ++i) {
    if (lstrcmpiA(root.c_str(), names[i]) == 0 &&
        RegOpenKeyExA(roots[i], sub.c_str(), 0, KEY_READ, &key) != 0)
      key = nullptr;
  }
  out("key\t" + path + (key != nullptr ? "\tpresent\n" : "\tabsent\n"));
  char name[16384];
  std::vector<BYTE> data(1 << 20);
  DWORD nameSize = sizeof name, dataSize = static_cast<DWORD>(data.size()), type = 0;
  for (DWORD index = 0; key != nullptr && RegEnumValueA(key, index, name, &nameSize, nullptr, &type,
                                                        data.data(), &dataSize) == ERROR_SUCCESS;
       ++index) {
    std::string line =
        "val\t" + escape(std::string(name, nameSize)) + "\t" + std::to_string(type) + "\t";
    for (DWORD i = 0; i < dataSize; ++i) line += hex(data[i], 2);
    out(line + "\n");
    nameSize = sizeof name;
    dataSize = static_cast<DWORD>(data.size());
  }
  if (key != nullptr) RegCloseKey(key);
}

// Polls until ready() returns non-zero (its result) or MS pass (1).
template <typename F>
int poll(const char* ms, F ready) {
  const DWORD start = GetTickCount(), timeout = std::strtoul(ms, nullptr, 10);
  for (;;) {
    if (int result = ready()) return result;
    if (GetTickCount() - start >= timeout) return 1;
    Sleep(50);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 2 ? argv[1] : "";
  if (command == "wait") {
    HWND box = nullptr;
    int result = poll(argv[2], [&] {
      EnumWindows(findBox, reinterpret_cast<LPARAM>(&box));
      if (box != nullptr) return 10;
      if (argc > 3 && GetFileAttributesA(argv[3]) != INVALID_FILE_ATTRIBUTES) return 40;
      return argc > 5 && fileContains(argv[4], argv[5]) ? 30 : 0;
    });
    if (result == 10) {
      std::string text;
      EnumChildWindows(box, collectStatic, reinterpret_cast<LPARAM>(&text));
      out("box\t" + hex(reinterpret_cast<ULONG_PTR>(box), 1) + "\t" +
          (GetDlgItem(box, IDYES) != nullptr ? "MB_YESNO\t" : "MB_OK\t") + escape(windowText(box)) +
          "\t" + escape(text) + "\n");
    }
    return result;
  }
  if (command == "press" && argc > 4) {
    HWND box = reinterpret_cast<HWND>(std::strtoul(argv[2], nullptr, 16));
    // Posted: a sent BM_CLICK would wait for the box's owner, which may be
    // busy with the next step once the box ends.
    if (!PostMessageA(GetDlgItem(box, std::atoi(argv[3])), BM_CLICK, 0, 0)) return 3;
    return poll(argv[4], [&] { return IsWindow(box) && IsWindowVisible(box) ? 0 : 2; }) == 2 ? 0
                                                                                             : 1;
  }
  if (command == "close" || command == "repaint") {
    // The log window counts in any state: a run may hide or minimise it.
    HWND log = nullptr;
    if (poll(argv[2], [&] {
          return (log = FindWindowA("Zevra Patch", "Patch Upgrade")) != nullptr ? 2 : 0;
        }) != 2)
      return 1;
    if (command == "close") return PostMessageA(log, WM_CLOSE, 0, 0) ? 0 : 3;
    // UpdateWindow sends WM_PAINT and returns once the owner has painted.
    InvalidateRect(log, nullptr, TRUE);
    return UpdateWindow(log) ? 0 : 3;
  }
  if (command == "gone" && argc > 3) {
    return poll(argv[3], [&] { return processRuns(argv[2]) ? 0 : 2; }) == 2 ? 0 : 1;
  }
  if (command == "reg") {
    for (int i = 2; i < argc; ++i) dumpKey(argv[i]);
    return 0;
  }
  out("usage: zvwin wait|press|close|repaint|gone|reg ARGS (see zvwin.cpp)\n");
  return 2;
}
