#include "platform/registry_names.h"

namespace zv {

const RegistryRoot kRegistryRoots[4] = {
    {"HKEY_LOCAL_MACHINE", "HKLM", kHkeyLocalMachine},
    {"HKEY_CURRENT_USER", "HKCU", kHkeyCurrentUser},
    {"HKEY_CLASSES_ROOT", "HKCR", kHkeyClassesRoot},
    {"HKEY_USERS", "HKU", kHkeyUsers},
};

const char kSessionManagerKey[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char kPendingMovesValue[] = "PendingFileRenameOperations";
const char kProductKey[] = "SOFTWARE\\QEL\\RUZEVU";
const char kSettingsImageKey[] = "SOFTWARE\\QEL\\RUZEVU\\ZEVRA.INI";

std::vector<std::string> splitMultiString(const std::string& data) {
  std::vector<std::string> strings;
  if (data.empty()) return strings;
  const size_t end = data.back() == '\0' ? data.size() - 1 : data.size();
  for (size_t start = 0; start < end;) {
    size_t nul = data.find('\0', start);
    if (nul == std::string::npos || nul > end) nul = end;
    strings.push_back(data.substr(start, nul - start));
    start = nul + 1;
  }
  return strings;
}

std::string joinMultiString(const std::vector<std::string>& strings) {
  std::string data;
  for (const std::string& s : strings) data += s + '\0';
  return data + '\0';
}

std::vector<std::string> pendingMoveStrings(Platform& platform) {
  RegKey key;
  if (platform.regOpenKey(kHkeyLocalMachine, kSessionManagerKey, RegAccess::kRead, &key) !=
      kErrorSuccess) {
    return {};
  }
  std::vector<std::string> strings;
  uint32_t type = 0, size = 0;
  if (platform.regQueryValue(key, kPendingMovesValue, &type, nullptr, &size) == kErrorSuccess &&
      type == kRegMultiSz && size > 0) {
    std::string data(size, '\0');
    if (platform.regQueryValue(key, kPendingMovesValue, &type, &data[0], &size) == kErrorSuccess) {
      data.resize(size);
      strings = splitMultiString(data);
    }
  }
  platform.regCloseKey(key);
  return strings;
}

}  // namespace zv
