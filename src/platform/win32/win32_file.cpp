#include "platform/win32/win32_file.h"

#include <windows.h>

#include <limits>

namespace zv {
namespace {

class Win32File final : public File {
 public:
  Win32File(HANDLE handle, bool append) : handle_(handle), append_(append) {}
  ~Win32File() override { close(); }
  Win32File(const Win32File&) = delete;
  Win32File& operator=(const Win32File&) = delete;

  int64_t read(void* buffer, size_t count) override {
    DWORD done = 0;
    if (!ReadFile(handle_, buffer, clamp(count), &done, nullptr)) return -1;
    return done;
  }

  int64_t write(const void* data, size_t count) override {
    // Positioning before every write, rather than FILE_APPEND_DATA, also
    // works on the Windows 95/98 family.
    if (append_ && SetFilePointer(handle_, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR) {
      return -1;
    }
    DWORD done = 0;
    // A full disk may leave part of the data written.
    if (!WriteFile(handle_, data, clamp(count), &done, nullptr) && done == 0) return -1;
    return done;
  }

  bool seekToStart() override {
    return SetFilePointer(handle_, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER;
  }

  bool getStamp(DosStamp* stamp) override {
    FILETIME written;
    FILETIME local;
    WORD date = 0;
    WORD time = 0;
    if (!GetFileTime(handle_, nullptr, nullptr, &written) ||
        !FileTimeToLocalFileTime(&written, &local) ||
        !FileTimeToDosDateTime(&local, &date, &time)) {
      return false;
    }
    stamp->date = date;
    stamp->time = time;
    return true;
  }

  bool setStamp(const DosStamp& stamp) override {
    FILETIME local;
    FILETIME written;
    return DosDateTimeToFileTime(stamp.date, stamp.time, &local) &&
           LocalFileTimeToFileTime(&local, &written) &&
           SetFileTime(handle_, nullptr, nullptr, &written);
  }

  bool close() override {
    if (handle_ == INVALID_HANDLE_VALUE) return true;
    HANDLE handle = handle_;
    handle_ = INVALID_HANDLE_VALUE;
    return CloseHandle(handle) != 0;
  }

 private:
  static DWORD clamp(size_t count) {
    return count > std::numeric_limits<DWORD>::max() ? std::numeric_limits<DWORD>::max()
                                                     : static_cast<DWORD>(count);
  }

  HANDLE handle_;
  bool append_;
};

}  // namespace

std::unique_ptr<File> openWin32File(const std::string& path, FileMode mode) {
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD disposition = CREATE_ALWAYS;
  switch (mode) {
    case FileMode::kRead:
      access = GENERIC_READ;
      disposition = OPEN_EXISTING;
      break;
    case FileMode::kWrite:
      break;
    case FileMode::kAppend:
      disposition = OPEN_ALWAYS;
      break;
    case FileMode::kCreateNew:
      disposition = CREATE_NEW;
      break;
  }
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
  HANDLE handle = CreateFileA(path.c_str(), access, share | FILE_SHARE_DELETE, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  // The Windows 95/98 family refuses FILE_SHARE_DELETE as an invalid parameter.
  if (handle == INVALID_HANDLE_VALUE && GetLastError() == ERROR_INVALID_PARAMETER) {
    handle = CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  }
  if (handle == INVALID_HANDLE_VALUE) return nullptr;
  return std::make_unique<Win32File>(handle, mode == FileMode::kAppend);
}

}  // namespace zv
