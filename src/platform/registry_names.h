// Names in the registry that the system, the product and the program share.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace zv {

struct RegistryRoot {
  const char* name;       // HKEY_LOCAL_MACHINE
  const char* shortName;  // HKLM, as package lines write it
  RegKey handle;
};
// The four roots, in the order regedit writes them.
extern const RegistryRoot kRegistryRoots[4];

// Where Windows NT keeps the moves it makes at its next start (under
// HKEY_LOCAL_MACHINE), a REG_MULTI_SZ of source, destination, source, ...
extern const char kSessionManagerKey[];
extern const char kPendingMovesValue[];
// The product's key (under HKEY_LOCAL_MACHINE), and the image of its
// settings file there.
extern const char kProductKey[];
extern const char kSettingsImageKey[];

// The strings of a REG_MULTI_SZ value (its final NUL ends the list), and
// back.
std::vector<std::string> splitMultiString(const std::string& data);
std::string joinMultiString(const std::vector<std::string>& strings);

// The strings of the pending moves of platform, as stored; none when the
// value is missing or no REG_MULTI_SZ.
std::vector<std::string> pendingMoveStrings(Platform& platform);

}  // namespace zv
