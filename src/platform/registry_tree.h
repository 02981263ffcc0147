// The deletion of a registry key's subkeys, which the system leaves to its
// callers: a key with subkeys cannot be deleted.
#pragma once

#include <functional>
#include <string>

#include "platform/platform.h"

namespace zv {

// The call that failed while subkeys were deleted.
enum class KeyTreeStep { kCountSubkeys, kListSubkeys, kOpenSubkey, kDeleteSubkey };

struct KeyTreeFailure {
  KeyTreeStep step;
  long result;
  std::string path;    // the key the call was made on
  std::string subkey;  // for kOpenSubkey: the subkey's name
};

// Deletes every subkey of key (named path in reports), deepest first; key
// itself stays. Each failure is handed to report, if given; a subkey whose
// own subkeys could not all go is still tried, and its deletion then fails
// too. False when anything failed at this level.
bool deleteSubkeys(Platform& platform, RegKey key, const std::string& path,
                   const std::function<void(const KeyTreeFailure&)>& report = nullptr);

}  // namespace zv
