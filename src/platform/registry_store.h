// A registry in memory: keys, values and open handles, with the Win32 result
// codes and buffer rules. The simulated machine loads and saves its content
// as REGEDIT4 text; the unit tests' in-memory platform keeps it. This class
// never touches the file system.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/registry_values.h"

namespace zv {

// A value's data as REGEDIT4 writes it after "=": "text", dword:0000002a,
// hex:01,02 or hex(7):... With wrap, a long hex list goes on in lines below
// 80 columns, counted from the last line of *out, as regedit wraps it.
void appendRegeditData(uint32_t type, const std::string& data, bool wrap, std::string* out);
// A value name as REGEDIT4 writes it: "Name" with escapes, @ for the
// unnamed value.
std::string regeditValueName(const std::string& name);

// A registry tree is at most this many levels deep below its root, as on
// Windows; this also bounds every walk of the tree.
constexpr size_t kMaxKeyDepth = 512;

class RegistryStore {
 public:
  RegistryStore();
  RegistryStore(const RegistryStore&) = delete;
  RegistryStore& operator=(const RegistryStore&) = delete;

  // Replaces the whole content with a REGEDIT4 text. On malformed text
  // returns false, sets *error to "<fileName>:<line>: <what is wrong>" and
  // leaves the content unchanged. Handles open on keys below the roots
  // become stale (kErrorKeyDeleted), as if the keys had been deleted.
  bool parse(const std::string& text, const std::string& fileName, std::string* error);
  // The content as REGEDIT4 text (deterministic).
  std::string serialize() const;
  // Increases on every change of content (not on open/close/query).
  uint64_t changeCount() const { return changeCount_; }

  // Same semantics and result codes as the Win32 functions.
  long openKey(RegKey parent, const std::string& subkey, RegKey* result);
  // Opens or creates every key of the path.
  long createKey(RegKey parent, const std::string& subkey, RegKey* result);
  long queryValue(RegKey key, const std::string& name, uint32_t* type, void* data, uint32_t* size);
  long setValue(RegKey key, const std::string& name, uint32_t type, const std::string& bytes);
  long deleteValue(RegKey key, const std::string& name);
  // An empty subkey deletes the key of that handle.
  long deleteKey(RegKey key, const std::string& subkey);
  long enumKey(RegKey key, uint32_t index, char* name, uint32_t* nameSize);
  long querySubkeyCount(RegKey key, uint32_t* count);
  long closeKey(RegKey key);

  using Value = RegistryValue;
  // Visits every key, the four roots first of their trees, depth-first in
  // enumeration order: its path as names ("HKEY_LOCAL_MACHINE", "SOFTWARE",
  // ...) and its values in the order they were created.
  void forEachKey(const std::function<void(const std::vector<std::string>& path,
                                           const std::vector<Value>& values)>& visit) const;
  // The same walk, each key given by its depth (0 for a root) and its own
  // name; name and values stay valid while the content does not change.
  void forEachKeyByDepth(const std::function<void(size_t depth, const std::string& name,
                                                  const RegistryValues& values)>& visit) const;

 private:
  struct Key {
    std::string name;
    Key* parent = nullptr;  // null for a root and for a deleted key
    bool deleted = false;
    RegistryValues values;
    // By upper-cased name, which is also the enumeration order.
    std::map<std::string, std::shared_ptr<Key>> children;
  };

  long resolve(RegKey handle, Key** key) const;
  RegKey addHandle(const std::shared_ptr<Key>& key);
  std::shared_ptr<Key> sharedOf(Key* key) const;
  static Key* findPath(Key* from, const std::vector<std::string>& path);
  static Key* createPath(Key* from, const std::vector<std::string>& path, bool* created);
  static void markDeleted(Key* key);
  static void writeTree(const Key& key, const std::string& path, std::string* out);
  static void writeBlock(const Key& key, const std::string& path, std::string* out);
  template <typename Visit>
  static void visitTree(const Key& key, size_t depth, const Visit& visit);

  // HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS.
  std::shared_ptr<Key> roots_[4];
  std::map<RegKey, std::shared_ptr<Key>> handles_;
  RegKey nextHandle_ = 1;
  uint64_t changeCount_ = 0;
};

}  // namespace zv
