#include "platform/win32/win32_screen.h"

#include <windows.h>

namespace zv {
namespace {

const char kClassName[] = "Zevra Patch";
const char kTitle[] = "Patch Upgrade";

// The window procedure has no room for a context pointer until the window
// exists, and the first messages arrive inside CreateWindowExA.
Win32Screen* activeScreen = nullptr;

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (activeScreen == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
  return activeScreen->handleMessage(hwnd, message, wParam, lParam);
}

// Drawing on the window: the paint DC while painting, otherwise a DC taken
// on first use (a scroll request may measure text).
class WindowCanvas final : public Canvas {
 public:
  WindowCanvas(HWND hwnd, HDC paintDc) : hwnd_(hwnd), dc_(paintDc) {}
  ~WindowCanvas() override {
    if (ownDc_) ReleaseDC(hwnd_, dc_);
  }
  WindowCanvas(const WindowCanvas&) = delete;
  WindowCanvas& operator=(const WindowCanvas&) = delete;

  int textHeight(const std::string& text) override {
    SIZE size = {0, 0};
    if (!GetTextExtentPointA(dc(), text.c_str(), static_cast<int>(text.size()), &size)) return 0;
    return size.cy;
  }
  void drawText(int x, int y, const std::string& text) override {
    TextOutA(dc(), x, y, text.c_str(), static_cast<int>(text.size()));
  }
  void invalidate() override { InvalidateRect(hwnd_, nullptr, TRUE); }
  void setScrollRange(int max) override { SetScrollRange(hwnd_, SB_VERT, 0, max, TRUE); }
  void setScrollPos(int pos) override { SetScrollPos(hwnd_, SB_VERT, pos, TRUE); }

 private:
  HDC dc() {
    if (dc_ == nullptr) {
      dc_ = GetDC(hwnd_);
      ownDc_ = true;
    }
    return dc_;
  }

  HWND hwnd_;
  HDC dc_;
  bool ownDc_ = false;
};

}  // namespace

Win32Screen::~Win32Screen() {
  if (activeScreen == this) activeScreen = nullptr;
}

bool Win32Screen::createLogWindow(int showState) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA windowClass = {};
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = windowProc;
  windowClass.cbClsExtra = 0;
  windowClass.cbWndExtra = 0;
  windowClass.hInstance = instance;
  windowClass.hIcon = nullptr;
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  windowClass.lpszMenuName = nullptr;
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassA(&windowClass)) return false;

  activeScreen = this;
  closed_ = false;
  hwnd_ = CreateWindowExA(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW | WS_VSCROLL, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance,
                          nullptr);
  if (hwnd_ == nullptr) return false;
  ShowWindow(hwnd_, showState);
  UpdateWindow(hwnd_);
  return true;
}

std::intptr_t Win32Screen::handleMessage(HWND hwnd, unsigned message, std::uintptr_t wParam,
                                         std::intptr_t lParam) {
  switch (message) {
    case WM_CREATE:
      return 0;
    case WM_DESTROY:
      closed_ = true;
      PostQuitMessage(0);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      if (client_ != nullptr) {
        WindowCanvas canvas(hwnd, dc);
        client_->paint(canvas);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_VSCROLL:
      if (client_ != nullptr) {
        WindowCanvas canvas(hwnd, nullptr);
        if (client_->scroll(LOWORD(wParam), canvas)) return 0;
      }
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void Win32Screen::entryAppended() {
  if (hwnd_ != nullptr) InvalidateRect(hwnd_, nullptr, TRUE);
}

bool Win32Screen::pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    // A WM_QUIT removed here is gone for messageLoop; closed_ (set with the
    // PostQuitMessage in WM_DESTROY) remembers it.
    if (msg.message == WM_QUIT) {
      closed_ = true;
      continue;
    }
    DispatchMessageA(&msg);
  }
  return !closed_;
}

int Win32Screen::messageLoop() {
  // Once the window is gone its quit message may have been eaten by pump,
  // and GetMessageA would wait forever.
  if (closed_ || hwnd_ == nullptr) return 0;
  MSG msg;
  BOOL got;
  while ((got = GetMessageA(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) return 0;
    DispatchMessageA(&msg);
  }
  closed_ = true;
  return static_cast<int>(msg.wParam);
}

void Win32Screen::closeLogWindow() {
  if (hwnd_ != nullptr) PostMessageA(hwnd_, WM_DESTROY, 0, 0);
}

int Win32Screen::messageBox(const std::string& text, const std::string& caption, unsigned style) {
  HWND owner = hwnd_ != nullptr && IsWindow(hwnd_) ? hwnd_ : nullptr;
  const bool wasClosed = closed_;
  int answer = MessageBoxA(owner, text.c_str(), caption.c_str(), style);
  // The window closed while the box was up: no answer was given.
  if (!wasClosed && closed_) return 0;
  return answer;
}

}  // namespace zv
