// The values of one registry key: kept in the order they were created (the
// order regedit writes them in) and found by name without regard to case.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace zv {

struct RegistryValue {
  std::string name;  // "" is the unnamed value
  uint32_t type = 0;
  std::string data;
};

class RegistryValues {
 public:
  const std::vector<RegistryValue>& inOrder() const { return values_; }
  std::vector<RegistryValue>::const_iterator begin() const { return values_.begin(); }
  std::vector<RegistryValue>::const_iterator end() const { return values_.end(); }
  bool empty() const { return values_.empty(); }

  const RegistryValue* find(const std::string& name) const;
  // Adds the value, or gives the one of that name (which keeps the case of
  // its name) this type and data. Returns whether the content changed.
  bool put(const std::string& name, uint32_t type, const std::string& data);
  // Returns whether there was such a value.
  bool erase(const std::string& name);
  void clear();

 private:
  size_t position(const std::string& name) const;

  std::vector<RegistryValue> values_;
  // Positions in values_ by upper-cased name, made once the key holds more
  // than a few values (a look through a few is quicker) and from then on
  // kept in step with values_.
  std::unique_ptr<std::unordered_map<std::string, size_t>> index_;
};

}  // namespace zv
