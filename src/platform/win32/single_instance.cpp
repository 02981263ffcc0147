#include "platform/win32/single_instance.h"

#include <windows.h>

namespace zv {

namespace {
// No backslash: the Windows 95/98 family and NT 4.0 know no namespaces.
const char kMutexName[] = "zvpatch-installer-one-at-a-time";
}  // namespace

const char kAlreadyRunningText[] =
    "Another patch installation is running on this computer.\n"
    "Wait until it has finished, then start this one again.";

SingleInstance::SingleInstance() {
  HANDLE mutex = CreateMutexA(nullptr, FALSE, kMutexName);
  claimed_ = mutex != nullptr && GetLastError() != ERROR_ALREADY_EXISTS;
  mutex_ = mutex;
}

SingleInstance::~SingleInstance() {
  if (mutex_) CloseHandle(static_cast<HANDLE>(mutex_));
}

}  // namespace zv
