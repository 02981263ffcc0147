// The log window on the real Win32 API: one top-level window whose content
// is painted and scrolled by a LogWindowClient.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

// The window handle type of <windows.h> (STRICT), declared here so that the
// header does not pull in the system macros.
struct HWND__;

namespace zv {

class Win32Screen {
 public:
  Win32Screen() = default;
  ~Win32Screen();
  Win32Screen(const Win32Screen&) = delete;
  Win32Screen& operator=(const Win32Screen&) = delete;

  bool createLogWindow(int showState);
  void setLogWindowClient(LogWindowClient* client) { client_ = client; }
  void entryAppended();
  bool pump();
  int messageLoop();
  void closeLogWindow();
  bool logWindowClosed() const { return closed_; }
  int messageBox(const std::string& text, const std::string& caption, unsigned style);

  // Called by the window procedure, also for the messages that arrive while
  // CreateWindowExA runs, before hwnd_ is set.
  std::intptr_t handleMessage(HWND__* hwnd, unsigned message, std::uintptr_t wParam,
                              std::intptr_t lParam);

 private:
  HWND__* hwnd_ = nullptr;
  LogWindowClient* client_ = nullptr;
  bool closed_ = false;
};

}  // namespace zv
